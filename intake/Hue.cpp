#include "intake/Hue.h"

#include <algorithm>

namespace vex {

std::uint8_t hueOf(int r, int g, int b)
{
    const int high = std::max({r, g, b});
    const int low = std::min({r, g, b});
    const double spread = static_cast<double>(high - low);

    // Sector of the colour hexagon (0..6, red at 0), or -2 for a grey, which
    // has no hue; the -2 is what makes greys land on 169 below.
    double sector = -2.0;
    if (high != low) {
        if (high == r)
            sector = static_cast<double>(g - b) / spread;
        else if (high == g)
            sector = 2.0 + static_cast<double>(b - r) / spread;
        else
            sector = 4.0 + static_cast<double>(r - g) / spread;
    }

    // Each step is rounded to single precision, as the saved hues were.
    float h = static_cast<float>(sector);
    h = static_cast<float>(static_cast<double>(h) / 6.0);
    if (h < 0.0f)
        h = static_cast<float>(static_cast<double>(h) + 1.0);
    else if (h > 1.0f)
        h = static_cast<float>(static_cast<double>(h) - 1.0);

    // The product is exact in double, so truncation sees the single-precision
    // hue itself: for a grey 0.66666663f x 255 = 169.99999 gives 169, where an
    // all-double computation (2/3 x 255 = 170.00000000000003) would give 170.
    const double scaled = static_cast<double>(h) * 255.0;
    return static_cast<std::uint8_t>(static_cast<int>(scaled));
}

} // namespace vex
