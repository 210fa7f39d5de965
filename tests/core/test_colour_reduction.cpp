// Colour pictures reduced to the 8-bit picture the analysis reads.

#include "intake/BmpFile.h"
#include "intake/ColourReduction.h"
#include "intake/Hue.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace vex {
namespace {

ColourImage pictureOf(const std::vector<std::array<std::uint8_t, 3>> &bgr, int width)
{
    ColourImage p;
    p.Width = width;
    p.Height = static_cast<std::int32_t>(bgr.size()) / width;
    for (const auto &c : bgr)
        p.Bgr.insert(p.Bgr.end(), c.begin(), c.end());
    return p;
}

std::array<std::uint8_t, 3> entry(const IndexedImage &image, std::uint8_t index)
{
    return {image.PaletteBgr[3u * index], image.PaletteBgr[3u * index + 1], image.PaletteBgr[3u * index + 2]};
}

// A yellow card with noise on every pixel and a blue patch: thousands of colours.
ColourImage noisyPhoto()
{
    std::vector<std::array<std::uint8_t, 3>> bgr;
    std::uint32_t seed = 12345;
    auto noise = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<int>(seed >> 28) - 8;
    };
    auto clamp = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const bool stain = x >= 40 && x < 60 && y >= 40 && y < 60;
            const int b = stain ? 160 : 110, g = stain ? 60 : 215, r = stain ? 40 : 230;
            bgr.push_back({clamp(b + noise()), clamp(g + noise()), clamp(r + noise())});
        }
    return pictureOf(bgr, 100);
}

TEST(ColourReduction, FewColoursAreKeptMostFrequentFirstFromIndexOne)
{
    const std::array<std::uint8_t, 3> yellow{120, 222, 236}, blue{150, 50, 30}, red{0, 0, 200};
    // Yellow 4 times, blue and red twice each: the tie goes by the value
    // 0xRRGGBB, and blue's (0x1E3296) is below red's (0xC80000).
    const ReducedPicture r = reduceColours(pictureOf({yellow, red, yellow, blue, yellow, red, blue, yellow}, 4));
    EXPECT_TRUE(r.Reduction.Exact);
    EXPECT_EQ(r.Reduction.Colours, 3);
    EXPECT_EQ(r.Image.paletteCount(), 4);
    EXPECT_EQ(entry(r.Image, 0), (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(entry(r.Image, 1), yellow);
    EXPECT_EQ(entry(r.Image, 2), blue);
    EXPECT_EQ(entry(r.Image, 3), red);
    EXPECT_EQ(r.Image.Pixels, (std::vector<std::uint8_t>{1, 3, 1, 2, 1, 3, 2, 1}));

    // With all 256 entries taken, the rarest colour is the one at index 0.
    std::vector<std::array<std::uint8_t, 3>> many;
    for (int i = 0; i < 256; ++i)
        for (int n = 0; n < (i == 7 ? 1 : 2); ++n)
            many.push_back({static_cast<std::uint8_t>(i), 9, 9});
    many.push_back({0, 9, 9});
    const ReducedPicture all = reduceColours(pictureOf(many, static_cast<int>(many.size())));
    EXPECT_TRUE(all.Reduction.Exact);
    EXPECT_EQ(all.Reduction.Colours, 256);
    EXPECT_EQ(entry(all.Image, 0), (std::array<std::uint8_t, 3>{7, 9, 9}));
    EXPECT_EQ(entry(all.Image, 1), (std::array<std::uint8_t, 3>{0, 9, 9}));
}

TEST(ColourReduction, APhotoGetsFewColoursThatKeepHueAndTheSameTableEveryTime)
{
    const ColourImage photo = noisyPhoto();
    const ReducedPicture a = reduceColours(photo);
    const ReducedPicture b = reduceColours(photo);
    EXPECT_FALSE(a.Reduction.Exact);
    EXPECT_EQ(a.Image.PaletteBgr, b.Image.PaletteBgr);
    EXPECT_EQ(a.Image.Pixels, b.Image.Pixels);
    std::set<std::uint8_t> card, stain;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            (x >= 40 && x < 60 && y >= 40 && y < 60 ? stain : card).insert(a.Image.Pixels[y * 100u + x]);
    // The noisy card is one colour, as the colour pass expects a background.
    EXPECT_EQ(card, (std::set<std::uint8_t>{1}));
    ASSERT_EQ(stain.size(), 1u);
    const auto blue = entry(a.Image, *stain.begin());
    EXPECT_NEAR(hueOf(blue[2], blue[1], blue[0]), hueOf(40, 60, 160), 3);
    EXPECT_NEAR(entry(a.Image, 1)[1], 215, 3); // and the card stays its yellow
}

TEST(ColourReduction, SixteenTwentyFourAndThirtyTwoBitBitmapsGiveTheColoursOfTheirPixels)
{
    // Colours that 5 and 6-bit channels hold exactly.
    test::Picture p = test::patternPicture(13, 7);
    for (std::size_t i = 0; i < p.PaletteBgr.size(); ++i)
        p.PaletteBgr[i] = (i * 7 + i / 3) % 5 < 2 ? 0 : 255;
    for (const auto &[bits, header] : {std::pair{16, 108u}, {24, 40u}, {32, 40u}}) {
        SCOPED_TRACE(bits);
        test::BmpOptions o;
        o.BitsPerPixel = bits;
        o.HeaderSize = header;
        const std::vector<std::uint8_t> bytes = test::makeBmp(p, o);
        EXPECT_EQ(decodeBmp(bytes.data(), bytes.size())->BitsPerPixel, bits);
        const DecodeResult r = decodeBmp(bytes.data(), bytes.size(), ColourBitmaps::Reduce);
        ASSERT_TRUE(r.ok()) << r.reason();
        EXPECT_EQ(r->Reduction.FromBits, bits);
        EXPECT_DOUBLE_EQ(r->PixelsPerMetreX, 23622.0);
        for (int y = 0; y < p.Height; ++y)
            for (int x = 0; x < p.Width; ++x) {
                const std::uint8_t *want = &p.PaletteBgr[p.at(x, y) * 3u];
                const std::uint8_t got = r->Image.row(p.Height - 1 - y)[x];
                ASSERT_EQ(entry(r->Image, got), (std::array<std::uint8_t, 3>{want[0], want[1], want[2]}));
            }
    }
}

TEST(ColourReduction, TellsHowFarItIsAndStopsWhenAskedAlsoDeepInADecoder)
{
    const ColourImage photo = noisyPhoto();
    std::vector<double> told;
    reduceColours(photo, [&](double done) { return told.push_back(done), true; });
    EXPECT_TRUE(told.size() >= 3 && std::is_sorted(told.begin(), told.end()));
    EXPECT_TRUE(told.front() == 0.0 && told.back() == 1.0);
    EXPECT_THROW(reduceColours(photo, [](double done) { return done < 0.5; }), ReductionStopped);
    test::BmpOptions o;
    o.BitsPerPixel = 24;
    const std::vector<std::uint8_t> bytes = test::makeBmp(test::patternPicture(13, 7), o);
    auto watch = std::make_unique<ReductionWatch>([](double) { return false; });
    EXPECT_FALSE(decodeBmp(bytes.data(), bytes.size(), ColourBitmaps::Reduce).ok());
    watch.reset();
    EXPECT_TRUE(decodeBmp(bytes.data(), bytes.size(), ColourBitmaps::Reduce).ok());
}

} // namespace
} // namespace vex
