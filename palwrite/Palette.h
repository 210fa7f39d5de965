#pragma once
// A table of up to 256 colours, numbered from 1, with the halftone colour
// cube and the nearest-colour rule of the writer.

#include <array>
#include <cstdint>

namespace palwrite {

class Palette {
public:
    std::int32_t Count() const { return count_; }
    std::uint8_t Red(std::int32_t entry) const;
    std::uint8_t Green(std::int32_t entry) const;
    std::uint8_t Blue(std::int32_t entry) const;
    // 256 entries: the 5 x 5 x 5 cube of levels 0, 64, 128, 192, 255 with red
    // varying fastest, then black.
    void CreateHalfTone();
    // The nearest entry by city-block distance, ties to the lowest index;
    // 0 when no entry is nearer than 765.
    std::int32_t ClosestIndex(int red, int green, int blue) const;

private:
    struct Entry {
        std::uint8_t R = 0, G = 0, B = 0;
    };
    std::int32_t count_ = 0;
    std::array<Entry, 257> entries_{};
};

// ClosestIndex of the halftone palette without searching it: the distance
// adds up over the three components and every combination of levels is an
// entry, so each component picks its own nearest level (the lower one on a
// tie), which is also the lowest index among the nearest entries.
class HalfToneLookup {
public:
    HalfToneLookup();
    std::int32_t operator()(std::uint8_t red, std::uint8_t green, std::uint8_t blue) const
    {
        return 1 + red_[red] + green_[green] + blue_[blue];
    }

private:
    std::array<std::int32_t, 256> red_{};
    std::array<std::int32_t, 256> green_{};
    std::array<std::int32_t, 256> blue_{};
};

} // namespace palwrite
