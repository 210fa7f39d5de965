#include "analysis/ColourMask.h"
#include "analysis/StainScan.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

// Five entries: background, dither, and colours of hue 99, 100 and 200, 201
// and a grey.
CardRecord maskCard()
{
    CardRecord card;
    card.ColoursKnown = true;
    card.BackgroundIndex = 0;
    card.DitherIndex = 1;
    const std::int32_t hues[] = {42, 42, 99, 100, 200, 201, 169};
    for (std::size_t i = 0; i < std::size(hues); ++i) {
        card.PaletteHue[i] = hues[i];
        card.Palette.insert(card.Palette.end(), {static_cast<std::uint8_t>(10 + i), static_cast<std::uint8_t>(20 + i),
                                                 static_cast<std::uint8_t>(30 + i)});
    }
    return card;
}

bool shown(const std::vector<std::uint8_t> &masked, const CardRecord &card, std::size_t entry)
{
    return std::equal(masked.begin() + static_cast<std::ptrdiff_t>(3 * entry),
                      masked.begin() + static_cast<std::ptrdiff_t>(3 * entry + 3),
                      card.Palette.begin() + static_cast<std::ptrdiff_t>(3 * entry));
}

TEST(ColourMask, RangeEndsAreShownAndHuesOutsideMasked)
{
    const CardRecord card = maskCard();
    const std::vector<std::uint8_t> m = maskedPaletteBgr(card, 100, 200, false, false);
    ASSERT_EQ(m.size(), card.Palette.size());
    EXPECT_FALSE(shown(m, card, 2)); // 99
    EXPECT_TRUE(shown(m, card, 3));  // 100
    EXPECT_TRUE(shown(m, card, 4));  // 200
    EXPECT_FALSE(shown(m, card, 5)); // 201
    EXPECT_TRUE(shown(m, card, 6));  // grey 169
    EXPECT_EQ(m[6], 0);
    EXPECT_EQ(m[7], 0);
}

TEST(ColourMask, InvertShowsBothEndsWhileTheScanRejectsThem)
{
    const CardRecord card = maskCard();
    const std::vector<std::uint8_t> m = maskedPaletteBgr(card, 100, 200, true, false);
    EXPECT_TRUE(shown(m, card, 2));  // 99
    EXPECT_TRUE(shown(m, card, 3));  // 100, shown ...
    EXPECT_TRUE(shown(m, card, 4));  // 200
    EXPECT_TRUE(shown(m, card, 5));  // 201
    EXPECT_FALSE(shown(m, card, 6)); // 169 inside
    ScanSettings inverted;
    inverted.HueLow = 100;
    inverted.HueHigh = 200;
    inverted.HueInvert = true;
    EXPECT_FALSE(hueIsValid(100, inverted)); // ... but not valid to the scan
    EXPECT_FALSE(hueIsValid(200, inverted));
    EXPECT_TRUE(hueIsValid(99, inverted));
    for (int hue = 101; hue <= 199; ++hue)
        EXPECT_FALSE(maskShowsHue(hue, 100, 200, true)) << hue;
}

TEST(ColourMask, GreyIsMaskedBy0To168AndShownBy0To169)
{
    EXPECT_FALSE(maskShowsHue(169, 0, 168, false));
    EXPECT_TRUE(maskShowsHue(169, 0, 169, false));
}

TEST(ColourMask, BackgroundAndDitherTakeTheMaskColourWhateverTheirHue)
{
    const CardRecord card = maskCard();
    for (const bool invert : {false, true}) {
        const std::vector<std::uint8_t> white = maskedPaletteBgr(card, 0, 255, invert, true);
        for (std::size_t i = 0; i < 6; ++i)
            EXPECT_EQ(white[i], 255) << i;
    }
    const std::vector<std::uint8_t> black = maskedPaletteBgr(card, 0, 255, false, false);
    EXPECT_EQ(black[0], 0);
    EXPECT_EQ(black[5], 0);
    EXPECT_TRUE(shown(black, card, 2));
}

TEST(ColourMask, OnlyTheColourTableChanges)
{
    CardRecord card = maskCard();
    // A full table of 256 entries: the mask gives 256 entries back.
    card.Palette.resize(256 * 3, 7);
    const std::vector<std::uint8_t> m = maskedPaletteBgr(card, 0, 50, false, false);
    EXPECT_EQ(m.size(), 256u * 3u);
}

TEST(HueSliders, LowOntoHighPushesHighOneUp)
{
    EXPECT_EQ(moveLowSlider({10, 20}, 20).High, 21);
    EXPECT_EQ(moveLowSlider({10, 20}, 30).High, 31);
    const SliderValues kept = moveLowSlider({10, 20}, 15);
    EXPECT_EQ(kept.Low, 15);
    EXPECT_EQ(kept.High, 20);
}

TEST(HueSliders, HighOntoLowPullsLowOneDown)
{
    const SliderValues v = moveHighSlider({10, 20}, 10);
    EXPECT_EQ(v.High, 10);
    EXPECT_EQ(v.Low, 9);
    EXPECT_EQ(moveHighSlider({10, 20}, 3).Low, 2);
}

TEST(HueSliders, RangeNeverEmptiesAtTheEndsOfTheScale)
{
    const SliderValues top = moveLowSlider({10, 255}, 255);
    EXPECT_EQ(top.Low, 254);
    EXPECT_EQ(top.High, 255);
    const SliderValues bottom = moveHighSlider({0, 20}, 0);
    EXPECT_EQ(bottom.Low, 0);
    EXPECT_EQ(bottom.High, 1);
    for (int v = -5; v <= 260; ++v) {
        const SliderValues a = moveLowSlider({100, 150}, v);
        const SliderValues b = moveHighSlider({100, 150}, v);
        EXPECT_LT(a.Low, a.High);
        EXPECT_LT(b.Low, b.High);
        EXPECT_LE(a.High, 255);
        EXPECT_GE(b.Low, 0);
    }
}

TEST(HueHistogram, ScaleTopsFiveAboveTheLargestCount)
{
    CardRecord card;
    card.HueCount[170] = 120;
    card.HueCount[20] = 7;
    card.HueCount[256] = 99999; // beyond the scale: not drawn
    std::array<Rgb, 257> colours{};
    colours[170] = {1, 2, 3};
    const HueHistogram h = hueHistogram(&card, colours, 150, 190, false);
    EXPECT_DOUBLE_EQ(h.Top, 125.0);
    EXPECT_EQ(h.Counts.size(), 256u);
    EXPECT_EQ(h.Counts[170], 120);
    EXPECT_EQ(h.Colours[170], (Rgb{1, 2, 3}));
    ASSERT_EQ(h.ValidBands.size(), 1u);
    EXPECT_EQ(h.ValidBands[0].From, 150);
    EXPECT_EQ(h.ValidBands[0].To, 190);
}

TEST(HueHistogram, InvertedRangeMarksBothOuterParts)
{
    const HueHistogram h = hueHistogram(nullptr, {}, 150, 190, true);
    EXPECT_DOUBLE_EQ(h.Top, 5.0);
    ASSERT_EQ(h.ValidBands.size(), 2u);
    EXPECT_EQ(h.ValidBands[0].From, 0);
    EXPECT_EQ(h.ValidBands[0].To, 150);
    EXPECT_EQ(h.ValidBands[1].From, 190);
    EXPECT_EQ(h.ValidBands[1].To, 255);
}

} // namespace
} // namespace vex
