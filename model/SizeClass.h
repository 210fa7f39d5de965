#pragma once
// One drop size class of a card or of the whole line.  Counts and areas are
// 32-bit: a busy card easily holds more than 32767 drops of one size.

#include <cstdint>
#include <vector>

namespace vex {

struct SizeClass {
    friend bool operator==(const SizeClass &, const SizeClass &) = default;
    std::int32_t Area = 0;   // stain area in pixels that defines the class
    std::int32_t Count = 0;  // drops in the class
    float DropVolume = 0.0f; // cubic micrometres, one drop
    float Diameter = 0.0f;   // drop diameter, micrometres
    float VolumeFraction = 0.0f;
    float CumVolumeFraction = 0.0f;
    float NumberFraction = 0.0f;
    float CumNumberFraction = 0.0f;
};

// Element 0 is all zero and is never a class: it is the class before class 1.
using ClassList = std::vector<SizeClass>;

} // namespace vex
