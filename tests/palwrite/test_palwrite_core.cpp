// Palwrite's own classes: the 24-bit buffer, the halftone palette and its
// nearest-colour rule, and the quick lookup that must agree with it.

#include "DibSection.h"
#include "Palette.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using palwrite::DibSection;
using palwrite::HalfToneLookup;
using palwrite::Palette;

TEST(DibSectionTest, RowsArePaddedToFourBytes)
{
    const std::int64_t expected[] = {4, 8, 12, 12, 16};
    for (int w = 1; w <= 5; ++w)
        EXPECT_EQ(DibSection::BytesPerScanLine(w), expected[w - 1]) << w;
}

TEST(DibSectionTest, PictureRowsAreStoredBottomUp)
{
    // 2 x 2, 32-bit, top row blue-ish (1, 2, 3) and (4, 5, 6), bottom (7, 8, 9) and (10, 11, 12).
    const std::uint8_t pixels[] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0};
    DibSection dib;
    ASSERT_TRUE(dib.CreateFromPicture(pixels, 2, 2, 8, 32));
    const std::uint8_t *bits = dib.DIBSectionBitsPtr();
    EXPECT_EQ(bits[0], 7); // first stored row is the bottom one
    EXPECT_EQ(bits[5], 12);
    EXPECT_EQ(bits[8], 1); // second stored row, after 6 bytes and 2 of padding
    EXPECT_FALSE(dib.Create(0, 5));
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
    EXPECT_FALSE(dib.Create(100000, 100000)); // beyond what a BMP can state
}

TEST(HalfTonePalette, EntriesOfTheCube)
{
    Palette p;
    EXPECT_EQ(p.Count(), 0);
    EXPECT_EQ(p.ClosestIndex(10, 20, 30), 0);
    p.CreateHalfTone();
    EXPECT_EQ(p.Count(), 256);
    EXPECT_EQ(p.Red(2), 64);
    EXPECT_EQ(p.Green(6), 64);
    EXPECT_EQ(p.Red(125), 255);
    EXPECT_EQ(p.Blue(125), 255);
    EXPECT_EQ(p.Red(5), 255); // levels 0, 64, 128, 192 and 255
    for (int i = 126; i <= 256; ++i)
        EXPECT_EQ(p.Red(i) + p.Green(i) + p.Blue(i), 0) << i;
    EXPECT_THROW(p.Red(257), std::out_of_range);
    EXPECT_THROW(p.Red(0), std::out_of_range);
}

TEST(HalfTonePalette, ClosestIndexCases)
{
    Palette p;
    p.CreateHalfTone();
    EXPECT_EQ(p.ClosestIndex(64, 0, 0), 2);
    EXPECT_EQ(p.ClosestIndex(200, 200, 200), 94);
    EXPECT_EQ(p.ClosestIndex(0, 0, 0), 1);
    EXPECT_EQ(p.ClosestIndex(96, 0, 0), 2); // a tie goes to the lower index
    EXPECT_EQ(p.ClosestIndex(255, 0, 0), 5);
    EXPECT_EQ(p.ClosestIndex(255, 255, 255), 125);
}

TEST(HalfTonePalette, LookupAgreesWithTheSearchNearEveryTiePoint)
{
    Palette p;
    p.CreateHalfTone();
    const HalfToneLookup lookup;
    // Every colour whose components all lie within 3 of a level or of a
    // midpoint between two levels: where the nearest level changes.
    std::vector<int> near;
    for (const int point : {0, 32, 64, 96, 128, 160, 192, 223, 224, 255})
        for (int d = -3; d <= 3; ++d)
            if (point + d >= 0 && point + d <= 255)
                near.push_back(point + d);
    long long differences = 0;
    for (const int r : near)
        for (const int g : near)
            for (const int b : near)
                differences += lookup(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                      static_cast<std::uint8_t>(b)) != p.ClosestIndex(r, g, b);
    EXPECT_EQ(differences, 0);
}

#ifdef NDEBUG
// All 2^24 colours take seconds in an optimised build; an unoptimised
// (sanitizer) build keeps the tie-point test above.
TEST(HalfTonePalette, LookupAgreesWithTheSearchForEveryColour)
{
    Palette p;
    p.CreateHalfTone();
    const HalfToneLookup lookup;
    long long differences = 0;
    for (int b = 0; b < 256; ++b)
        for (int g = 0; g < 256; ++g)
            for (int r = 0; r < 256; ++r)
                differences += lookup(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                      static_cast<std::uint8_t>(b)) != p.ClosestIndex(r, g, b);
    EXPECT_EQ(differences, 0);
}
#endif

} // namespace
