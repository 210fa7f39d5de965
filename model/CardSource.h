#pragma once
// Where a card cut from a larger picture came from: a photo of one card or
// a scanned sheet of several.  The card's own file is a straightened copy;
// the picture and the corners are what it can be cut again from, and what
// the Find Cards window shows again when that picture is opened once more.

#include <array>
#include <cstdint>
#include <string>

namespace vex {

struct CardSource {
    friend bool operator==(const CardSource &, const CardSource &) = default;
    struct Corner {
        friend bool operator==(const Corner &, const Corner &) = default;
        double X = 0.0;
        double Y = 0.0;
    };
    std::string PicturePath;
    std::int32_t Index = 1; // the card's place in the picture's reading order, from 1
    // In the picture's pixels, clockwise from the card's top left.
    std::array<Corner, 4> Corners{};
    // The card size the card was straightened to, millimetres, the long side first.
    double WidthMm = 76.0;
    double HeightMm = 26.0;
};

} // namespace vex
