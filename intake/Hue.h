#pragma once
// The hue of a colour-table entry on the 0..255 scale that stain colours are
// classified by.

#include <cstdint>

namespace vex {

// Hue of the colour (r, g, b), each 0..255: red 0, yellow 42, green 85,
// cyan 127, blue 170, magenta 212; every grey, black and white included,
// gives 169.  The intermediate values pass through 32-bit floats on purpose:
// hues saved by earlier versions of the program came out of that arithmetic,
// and a result one step off would move stains between colour classes.
// (HueOf in the old design.)
std::uint8_t hueOf(int r, int g, int b);

} // namespace vex
