#include "Palette.h"

#include <cstdlib>
#include <stdexcept>

namespace palwrite {

namespace {

constexpr int Levels[5] = {0, 64, 128, 192, 255};

} // namespace

std::uint8_t Palette::Red(std::int32_t entry) const
{
    if (entry < 1 || entry > count_)
        throw std::out_of_range("palette entry");
    return entries_[static_cast<std::size_t>(entry)].R;
}

std::uint8_t Palette::Green(std::int32_t entry) const
{
    if (entry < 1 || entry > count_)
        throw std::out_of_range("palette entry");
    return entries_[static_cast<std::size_t>(entry)].G;
}

std::uint8_t Palette::Blue(std::int32_t entry) const
{
    if (entry < 1 || entry > count_)
        throw std::out_of_range("palette entry");
    return entries_[static_cast<std::size_t>(entry)].B;
}

void Palette::CreateHalfTone()
{
    count_ = 256;
    entries_.fill({});
    std::size_t next = 1;
    for (const int b : Levels)
        for (const int g : Levels)
            for (const int r : Levels)
                entries_[next++] = {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                    static_cast<std::uint8_t>(b)};
}

std::int32_t Palette::ClosestIndex(int red, int green, int blue) const
{
    int bestR = 255;
    int bestG = 255;
    int bestB = 255;
    std::int32_t best = 0;
    for (std::int32_t i = 1; i <= count_; ++i) {
        const Entry &e = entries_[static_cast<std::size_t>(i)];
        if (e.R == red && e.G == green && e.B == blue)
            return i;
        const int dr = std::abs(red - e.R);
        const int dg = std::abs(green - e.G);
        const int db = std::abs(blue - e.B);
        if (dr + dg + db < bestR + bestG + bestB) {
            bestR = dr;
            bestG = dg;
            bestB = db;
            best = i;
        }
    }
    return best;
}

HalfToneLookup::HalfToneLookup()
{
    for (int c = 0; c < 256; ++c) {
        int level = 0;
        for (int l = 1; l < 5; ++l)
            if (std::abs(c - Levels[l]) < std::abs(c - Levels[level]))
                level = l;
        red_[static_cast<std::size_t>(c)] = level;
        green_[static_cast<std::size_t>(c)] = 5 * level;
        blue_[static_cast<std::size_t>(c)] = 25 * level;
    }
}

} // namespace palwrite
