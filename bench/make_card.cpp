// Writes a synthetic card scan for the colour pass benchmark: an uncompressed
// 8-bit bottom-up bitmap with a yellow background, a dither colour scattered
// through it, and round blue stains of many sizes with a lighter rim, plus a
// few single-pixel specks.  The same arguments always give the same file.
//
//   make_card <out.bmp> <width> <height> [stain share, default 0.15] [seed, default 1]

#include "tools/cardgen/Random.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::uint8_t Background = 1;
constexpr std::uint8_t Dither = 2;
constexpr std::uint8_t FirstCore = 3; // five dark stain shades
constexpr std::uint8_t FirstRim = 8;  // three light ones
constexpr int CoreShades = 5;
constexpr int RimShades = 3;

using vex::cardgen::Random;

struct Card {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<std::uint8_t> Pixels; // row 0 = bottom
    std::uint8_t &at(std::int64_t x, std::int64_t y) { return Pixels[static_cast<std::size_t>(y * Width + x)]; }
};

bool isClear(std::uint8_t index)
{
    return index == Background || index == Dither;
}

// Paints a stain; returns how many clear pixels it covered.
std::int64_t paintStain(Card &card, double cx, double cy, double radius, std::uint8_t core, std::uint8_t rim)
{
    std::int64_t covered = 0;
    const double rimStart = std::max(0.0, radius - 1.5);
    const auto y0 = static_cast<std::int64_t>(std::max(0.0, std::floor(cy - radius)));
    const auto y1 = static_cast<std::int64_t>(std::min(card.Height - 1.0, std::ceil(cy + radius)));
    for (std::int64_t y = y0; y <= y1; ++y) {
        const double dy = static_cast<double>(y) + 0.5 - cy;
        const double half = std::sqrt(std::max(0.0, radius * radius - dy * dy));
        const auto x0 = static_cast<std::int64_t>(std::max(0.0, std::ceil(cx - half - 0.5)));
        const auto x1 = static_cast<std::int64_t>(std::min(card.Width - 1.0, std::floor(cx + half - 0.5)));
        for (std::int64_t x = x0; x <= x1; ++x) {
            const double dx = static_cast<double>(x) + 0.5 - cx;
            std::uint8_t &p = card.at(x, y);
            covered += isClear(p) ? 1 : 0;
            p = dx * dx + dy * dy >= rimStart * rimStart ? rim : core;
        }
    }
    return covered;
}

Card makeCard(std::int32_t width, std::int32_t height, double share, std::uint64_t seed)
{
    Random random(seed);
    Card card;
    card.Width = width;
    card.Height = height;
    card.Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    // Scanner dithering mixes in about one pixel in five of a second colour.
    for (std::uint8_t &p : card.Pixels)
        p = random.below(5) == 0 ? Dither : Background;

    // Diameters from 3 to 160 pixels (about 60 um to 3.4 mm at 1200 dpi),
    // small ones far more common, as on a sprayed card.
    const double area = static_cast<double>(width) * height;
    const auto target = static_cast<std::int64_t>(share * area);
    std::int64_t stained = 0;
    while (stained < target) {
        const double u = random.unit();
        const double diameter = 3.0 * std::pow(160.0 / 3.0, u * u);
        const double cx = random.unit() * width;
        const double cy = random.unit() * height;
        const auto core = static_cast<std::uint8_t>(FirstCore + random.below(CoreShades));
        const auto rim = static_cast<std::uint8_t>(FirstRim + random.below(RimShades));
        stained += paintStain(card, cx, cy, diameter / 2.0, core, rim);
    }
    // Dust: one pixel in 5000, any stain colour or black.
    const auto specks = static_cast<std::int64_t>(area / 5000.0);
    for (std::int64_t i = 0; i < specks; ++i) {
        std::uint8_t &p = card.at(random.below(width), random.below(height));
        const auto pick = random.below(1 + CoreShades + RimShades);
        p = pick == 0 ? std::uint8_t{0} : static_cast<std::uint8_t>(FirstCore - 1 + pick);
    }
    return card;
}

void put16(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

bool writeBmp(const std::string &path, const Card &card)
{
    const std::uint32_t stride = (static_cast<std::uint32_t>(card.Width) + 3u) / 4u * 4u;
    const std::uint32_t offset = 14 + 40 + 256 * 4;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(card.Height);
    const std::uint32_t pixelsPerMetre = 47244; // 1200 dpi

    std::vector<std::uint8_t> head;
    head.push_back('B');
    head.push_back('M');
    put32(head, offset + imageSize);
    put32(head, 0);
    put32(head, offset);
    put32(head, 40);
    put32(head, static_cast<std::uint32_t>(card.Width));
    put32(head, static_cast<std::uint32_t>(card.Height)); // positive: bottom-up
    put16(head, 1);
    put16(head, 8);
    put32(head, 0); // uncompressed
    put32(head, imageSize);
    put32(head, pixelsPerMetre);
    put32(head, pixelsPerMetre);
    put32(head, 256);
    put32(head, 0);

    // Red, green, blue; written blue first.
    auto colour = [&head](int r, int g, int b) {
        head.insert(head.end(), {static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(g),
                                 static_cast<std::uint8_t>(r), std::uint8_t{0}});
    };
    colour(0, 0, 0);
    colour(236, 214, 62); // background
    colour(222, 198, 88); // dither
    for (int i = 0; i < CoreShades; ++i)
        colour(20 + 10 * i, 40 + 12 * i, 120 + 20 * i);
    for (int i = 0; i < RimShades; ++i)
        colour(110 + 20 * i, 140 + 20 * i, 200 + 15 * i);
    for (int i = FirstRim + RimShades; i < 256; ++i)
        colour(i, i, i);

    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size();
    std::vector<std::uint8_t> row(stride, 0);
    for (std::int32_t y = 0; ok && y < card.Height; ++y) {
        std::copy_n(card.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * card.Width, card.Width, row.begin());
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s <out.bmp> <width> <height> [stain share] [seed]\n", argv[0]);
        return 2;
    }
    const long width = std::strtol(argv[2], nullptr, 10);
    const long height = std::strtol(argv[3], nullptr, 10);
    const double share = argc > 4 ? std::strtod(argv[4], nullptr) : 0.15;
    const auto seed = argc > 5 ? std::strtoull(argv[5], nullptr, 10) : 1ull;
    if (width < 1 || height < 1 || width > 65535 || height > 65535 || !(share >= 0.0 && share < 0.9)) {
        std::fprintf(stderr, "width and height must be 1..65535, the stain share 0..0.9\n");
        return 2;
    }
    const Card card = makeCard(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), share, seed);
    std::int64_t stain = 0;
    for (const std::uint8_t p : card.Pixels)
        stain += isClear(p) ? 0 : 1;
    if (!writeBmp(argv[1], card)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %ld x %ld, %lld stain pixels (%.2f %%)\n", argv[1], width, height, static_cast<long long>(stain),
                100.0 * static_cast<double>(stain) / (static_cast<double>(width) * static_cast<double>(height)));
    return 0;
}
