#pragma once
// A colour as the program keeps it: red, green and blue bytes.

#include <cstdint>

namespace vex {

struct Rgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

} // namespace vex
