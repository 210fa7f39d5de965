#include "intake/Hue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace vex {
namespace {

TEST(Hue, PrimaryAndSecondaryColours)
{
    EXPECT_EQ(hueOf(255, 0, 0), 0);
    EXPECT_EQ(hueOf(255, 255, 0), 42);
    EXPECT_EQ(hueOf(0, 255, 0), 85);
    EXPECT_EQ(hueOf(0, 255, 255), 127);
    EXPECT_EQ(hueOf(0, 0, 255), 170);
    EXPECT_EQ(hueOf(255, 0, 255), 212);
}

// A grey's hue goes through 0.66666663f; computed in double throughout it
// would be 2/3 x 255 = 170.00000000000003 and come out as 170.
TEST(Hue, EveryGreyIs169)
{
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(hueOf(v, v, v), 169) << "grey " << v;
}

// 4 - 2/5 = 3.6 is 3.5999999f; a sixth of that rounds to 0.59999996f, and
// x 255 stays below 153.  Dividing the unrounded 3.6 would give 153.
TEST(Hue, SectorIsRoundedToSinglePrecisionBeforeDividing)
{
    EXPECT_EQ(hueOf(0, 2, 5), 152);
}

// The hexcone hue in double precision, by another route (degrees, modulo).
double referenceHue(int r, int g, int b)
{
    const int high = std::max({r, g, b});
    const double c = high - std::min({r, g, b});
    double sector = 0.0;
    if (high == r)
        sector = std::fmod((g - b) / c + 6.0, 6.0);
    else if (high == g)
        sector = (b - r) / c + 2.0;
    else
        sector = (r - g) / c + 4.0;
    return sector * 60.0 / 360.0 * 255.0;
}

TEST(Hue, AgreesWithDoublePrecisionHueAwayFromStepBoundaries)
{
    std::mt19937 engine(20240611u);
    int compared = 0;
    int skipped = 0;
    while (compared + skipped < 5000) {
        const auto bits = engine();
        const int r = static_cast<int>(bits & 0xFFu);
        const int g = static_cast<int>((bits >> 8) & 0xFFu);
        const int b = static_cast<int>((bits >> 16) & 0xFFu);
        if (r == g && g == b)
            continue;
        const double exact = referenceHue(r, g, b);
        // Single-precision steps may fall on either side of a whole hue.
        if (std::abs(exact - std::round(exact)) < 1e-4) {
            ++skipped;
            continue;
        }
        ++compared;
        EXPECT_EQ(hueOf(r, g, b), static_cast<int>(exact)) << r << "," << g << "," << b;
    }
    EXPECT_LT(skipped, 150) << "under 3 % of the colours may be left out";
}

} // namespace
} // namespace vex
