#include "intake/ColourPass.h"

#include "intake/Hue.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vex {
namespace {

// A picture filled with one index; 16 distinct palette colours.
IndexedImage picture(std::int32_t width, std::int32_t height, std::uint8_t fill)
{
    IndexedImage image;
    image.Width = width;
    image.Height = height;
    image.Pixels.assign(static_cast<std::size_t>(width * height), fill);
    for (int i = 0; i < 16; ++i)
        image.PaletteBgr.insert(image.PaletteBgr.end(),
                                {static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 16),
                                 static_cast<std::uint8_t>(i * 7)});
    return image;
}

void put(IndexedImage &image, int x, int y, std::uint8_t index)
{
    image.row(y)[x] = index;
}

// The first 5 x Width bytes of the picture laid out as a bottom-up bitmap
// stores it, rows padded to four bytes with `pad`.
std::vector<std::uint8_t> storedSample(const IndexedImage &image, std::uint8_t pad)
{
    std::vector<std::uint8_t> bytes;
    const int stride = (image.Width + 3) / 4 * 4;
    for (int y = 0; y < image.Height; ++y) {
        bytes.insert(bytes.end(), image.row(y), image.row(y) + image.Width);
        bytes.insert(bytes.end(), static_cast<std::size_t>(stride - image.Width), pad);
    }
    bytes.resize(std::min(bytes.size(), static_cast<std::size_t>(5 * image.Width)));
    return bytes;
}

// Stain pixels found one by one, to hold the word-at-a-time scan against.
std::vector<ForegroundPixel> slowStainPixels(const CardRecord &card, const IndexedImage &image)
{
    std::vector<ForegroundPixel> all;
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x) {
            const std::uint8_t i = image.row(y)[x];
            if (i != card.BackgroundIndex && i != card.DitherIndex)
                all.push_back({static_cast<std::uint8_t>(card.PaletteHue[i]), image.Height - y, x + 1, i});
        }
    return all;
}

struct Asked {
    int Background = 0;
    int Dither = 0;
    std::uint8_t Proposed = 0;
};

// Questions that count their calls and answer Yes, No (0) or Yes to All.
ColourQuestions answering(Asked &asked, char answer)
{
    ColourQuestions q;
    q.AskBackground = [&asked, answer](std::uint8_t proposed, bool &disable) {
        ++asked.Background;
        asked.Proposed = proposed;
        disable = answer == 'A';
        return answer == 'N' ? std::uint8_t{0} : proposed;
    };
    q.AskDither = [&asked, answer](std::uint8_t background, std::uint8_t candidate, bool &disable) {
        ++asked.Dither;
        asked.Proposed = candidate;
        disable = answer == 'A';
        return answer == 'N' ? background : candidate;
    };
    return q;
}

ColourSample sampleOf(std::int64_t size, std::initializer_list<std::pair<int, std::int64_t>> counts)
{
    ColourSample s;
    s.Size = size;
    for (const auto &[index, n] : counts)
        s.Counts[static_cast<std::size_t>(index)] = n;
    return s;
}

TEST(ColourSampling, BottomFiveRowsOrFewer)
{
    IndexedImage tall = picture(4, 8, 9);
    for (int y = 0; y < 5; ++y)
        put(tall, 1, y, 3);
    const ColourSample s = sampleColours(tall);
    EXPECT_EQ(s.Size, 20);
    EXPECT_EQ(s.Counts[3], 5);
    EXPECT_EQ(s.Counts[9], 15);
    EXPECT_EQ(sampleColours(picture(4, 3, 9)).Size, 12);
}

TEST(ColourSampling, LeadingColoursIgnoreIndexZeroAndKeepLowerOnTies)
{
    ColourSample s = sampleOf(0, {{0, 90}, {6, 4}, {3, 4}, {9, 4}});
    LeadingColours lead = leadingColours(s.Counts);
    EXPECT_EQ(lead.First, 3);
    EXPECT_EQ(lead.Second, 6);
    lead = leadingColours(sampleOf(0, {{2, 5}, {8, 9}}).Counts);
    EXPECT_EQ(lead.First, 8);
    EXPECT_EQ(lead.Second, 2) << "a new leader demotes the old one";
}

TEST(BackgroundChoice, IndexZeroAtLeastAsFrequentIsTakenUnasked)
{
    Asked asked;
    bool noBackground = false, noDither = false;
    EXPECT_EQ(
        chooseColours(sampleOf(100, {{0, 50}, {17, 50}}), noBackground, noDither, answering(asked, 'Y')).Background, 0);
    EXPECT_EQ(asked.Background, 0);
}

TEST(BackgroundChoice, DisabledWarningTakesLeaderUnasked)
{
    Asked asked;
    bool noBackground = true, noDither = false;
    EXPECT_EQ(
        chooseColours(sampleOf(100, {{0, 40}, {17, 60}}), noBackground, noDither, answering(asked, 'Y')).Background,
        17);
    EXPECT_EQ(asked.Background, 0);
}

TEST(BackgroundChoice, AnswersDecideAndYesToAllSilencesLaterCards)
{
    const ColourSample s = sampleOf(100, {{0, 40}, {17, 60}});
    bool noBackground = false, noDither = false;
    Asked asked;
    EXPECT_EQ(chooseColours(s, noBackground, noDither, answering(asked, 'N')).Background, 0);
    EXPECT_EQ(asked.Proposed, 17);
    EXPECT_EQ(chooseColours(s, noBackground, noDither, answering(asked, 'A')).Background, 17);
    EXPECT_TRUE(noBackground);
    chooseColours(s, noBackground, noDither, answering(asked, 'N'));
    EXPECT_EQ(asked.Background, 2);
}

TEST(DitherChoice, AskedOnlyAboveOneTenthOfTheSample)
{
    bool noBackground = true, noDither = false;
    Asked asked;
    ColourChoice c =
        chooseColours(sampleOf(5000, {{4, 4000}, {8, 500}}), noBackground, noDither, answering(asked, 'Y'));
    EXPECT_EQ(asked.Dither, 0);
    EXPECT_EQ(c.Dither, 4) << "no dither: the background index";
    c = chooseColours(sampleOf(5000, {{4, 4000}, {8, 501}}), noBackground, noDither, answering(asked, 'Y'));
    EXPECT_EQ(asked.Dither, 1);
    EXPECT_EQ(c.Dither, 8);
}

TEST(DitherChoice, NoGivesBackgroundAndDisabledWarningTakesCandidate)
{
    const ColourSample s = sampleOf(5000, {{4, 4000}, {8, 1000}});
    bool noBackground = true, noDither = false;
    Asked asked;
    EXPECT_EQ(chooseColours(s, noBackground, noDither, answering(asked, 'N')).Dither, 4);
    noDither = true;
    EXPECT_EQ(chooseColours(s, noBackground, noDither, answering(asked, 'N')).Dither, 8);
    EXPECT_EQ(asked.Dither, 1);
}

TEST(DitherChoice, LowPictureMeasuresAgainstItsRealSample)
{
    IndexedImage low = picture(100, 2, 4);
    for (int x = 0; x < 30; ++x)
        put(low, x, 0, 8); // 30 of 200, though only 6 % of five rows' worth
    bool noBackground = true, noDither = false;
    Asked asked;
    EXPECT_EQ(chooseColours(sampleColours(low), noBackground, noDither, answering(asked, 'Y')).Dither, 8);
    EXPECT_EQ(asked.Dither, 1);
    EXPECT_FALSE(ditherSuspected(sampleColours(picture(0, 0, 0)), {}));
}

TEST(CardPalette, HuesFollowTheBlueGreenRedEntries)
{
    IndexedImage image;
    image.PaletteBgr = {255, 0, 0, /**/ 0, 0, 255, /**/ 0, 255, 255};
    CardRecord card;
    setCardPalette(card, image);
    EXPECT_EQ(card.Palette, image.PaletteBgr);
    EXPECT_EQ(card.PaletteHue[0], hueOf(0, 0, 255));
    EXPECT_EQ(card.PaletteHue[1], hueOf(255, 0, 0));
    EXPECT_EQ(card.PaletteHue[2], hueOf(255, 255, 0));
    EXPECT_EQ(card.PaletteHue[3], 0);
    EXPECT_EQ(card.ForegroundPixels.hueTable()[2], card.PaletteHue[2]);
}

class PixelPass : public ::testing::Test {
protected:
    PassOutcome run(const IndexedImage &image, PassCallbacks callbacks = {})
    {
        return runColourPass(card, image, noBackground, noDither, {}, callbacks);
    }
    CardRecord card;
    bool noBackground = true;
    bool noDither = true;
};

TEST_F(PixelPass, RowsCountFromTheTopAndColumnsFromOne)
{
    IndexedImage image = picture(4, 3, 1);
    put(image, 0, 0, 5);
    put(image, 3, 2, 6);
    ASSERT_EQ(run(image), PassOutcome::Complete);
    const std::vector<ForegroundPixel> all = card.ForegroundPixels.toVector();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], (ForegroundPixel{static_cast<std::uint8_t>(card.PaletteHue[5]), 3, 1, 5}));
    EXPECT_EQ(all[1], (ForegroundPixel{static_cast<std::uint8_t>(card.PaletteHue[6]), 1, 4, 6}));
    EXPECT_EQ(all[2], (ForegroundPixel{static_cast<std::uint8_t>(card.PaletteHue[0]), 1, 4, 0})) << "closing";
    EXPECT_TRUE(card.ColoursKnown);
}

TEST_F(PixelPass, ClosingRecordOfCardWithoutStainsSitsOnBottomRow)
{
    ASSERT_EQ(run(picture(6, 7, 2)), PassOutcome::Complete);
    EXPECT_EQ(card.ForegroundPixels.size(), 0u);
    EXPECT_EQ(card.ForegroundPixels.closing().Row, 7);
    EXPECT_EQ(card.ForegroundPixels.closing().Column, 6);
}

// Odd widths and scattered dither put run ends on every byte of a word.
TEST_F(PixelPass, MatchesPixelByPixelScanAndHueCounts)
{
    std::mt19937 engine(7u);
    for (int width = 1; width <= 41; width += 4) {
        IndexedImage image = picture(width, 9, 1);
        for (std::uint8_t &p : image.Pixels) {
            const auto roll = engine() % 10;
            p = roll < 4 ? std::uint8_t{1} : roll < 6 ? std::uint8_t{2} : static_cast<std::uint8_t>(engine() % 20);
        }
        image.StoredSample.assign(static_cast<std::size_t>(5 * width), 1);
        std::fill_n(image.StoredSample.begin(), width, std::uint8_t{2}); // a fifth: dither
        card = CardRecord{};
        ASSERT_EQ(run(image), PassOutcome::Complete);
        ASSERT_EQ(card.DitherIndex, 2);
        EXPECT_EQ(card.ForegroundPixels.indices().capacity(), card.ForegroundPixels.size()) << "counted up front";
        EXPECT_EQ(card.ForegroundPixels.runs().capacity(), card.ForegroundPixels.runs().size());
        std::vector<ForegroundPixel> all = card.ForegroundPixels.toVector();
        all.pop_back();
        EXPECT_EQ(all, slowStainPixels(card, image)) << "width " << width;
        std::array<std::int32_t, 257> hues{};
        for (const ForegroundPixel &p : all)
            ++hues[p.Hue];
        EXPECT_EQ(card.HueCount, hues);
    }
}

// Rows of whole words, of words and a few pixels, and of more than 64
// words, with runs across word boundaries and up to the row's end.
TEST_F(PixelPass, WideRowsMatchThePixelByPixelScan)
{
    std::mt19937 engine(11u);
    for (const int width : {63, 64, 65, 128, 200, 4160, 4171}) {
        IndexedImage image = picture(width, 6, 1);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < width;) {
                const int length = 1 + static_cast<int>(engine() % (y == 5 ? 300 : 40));
                const auto index = static_cast<std::uint8_t>(engine() % 3 == 0 ? 1 : engine() % 16);
                for (int end = std::min(x + length, width); x < end; ++x)
                    put(image, x, y, index);
            }
        card = CardRecord{};
        ASSERT_EQ(run(image), PassOutcome::Complete);
        std::vector<ForegroundPixel> all = card.ForegroundPixels.toVector();
        all.pop_back();
        EXPECT_EQ(all, slowStainPixels(card, image)) << "width " << width;
        EXPECT_EQ(card.ForegroundPixels.runs().capacity(), card.ForegroundPixels.runs().size());
    }
}

TEST_F(PixelPass, ProgressEveryTenthRowThenHeight)
{
    std::vector<std::int32_t> seen;
    run(picture(3, 25, 1), {{}, [&](std::int32_t y) { seen.push_back(y); }});
    EXPECT_EQ(seen, (std::vector<std::int32_t>{0, 10, 20, 25}));
}

TEST_F(PixelPass, CancelLeavesColoursUnknownAndNextPassRebuilds)
{
    IndexedImage image = picture(40, 30, 1);
    for (int y = 0; y < 30; ++y)
        put(image, y % 8, y, 3);
    CardRecord fresh;
    runColourPass(fresh, image, noBackground, noDither, {}, {});
    ASSERT_EQ(fresh.ForegroundPixels.size(), 30u);

    for (int stopAt : {0, 15}) {
        int row = 0;
        const PassCallbacks cancelling{[&] { return row++ == stopAt; }, {}};
        EXPECT_EQ(run(image, cancelling), PassOutcome::Cancelled);
        EXPECT_FALSE(card.ColoursKnown);
        EXPECT_EQ(card.ForegroundPixels.size(), 0u);
        ASSERT_EQ(run(image), PassOutcome::Complete);
        ASSERT_EQ(run(image), PassOutcome::Complete) << "a repeat must not add to the last one";
        EXPECT_EQ(card.ForegroundPixels.toVector(), fresh.ForegroundPixels.toVector());
        EXPECT_EQ(card.HueCount, fresh.HueCount);
    }
}

TEST_F(PixelPass, StoredSampleGivesSameListUnlessPaddingSwaysTheChoice)
{
    IndexedImage image = picture(7, 12, 1);
    for (int y = 0; y < 12; ++y)
        put(image, (3 * y) % 7, y, static_cast<std::uint8_t>(3 + y % 4));
    CardRecord plain;
    runColourPass(plain, image, noBackground, noDither, {}, {});
    image.StoredSample = storedSample(image, 1);
    run(image);
    EXPECT_EQ(card.ForegroundPixels.toVector(), plain.ForegroundPixels.toVector());

    // Three wide: three padding bytes of 9 in a 15-byte sample look like a
    // dither colour, yet no pixel has index 9.
    IndexedImage narrow = picture(3, 5, 4);
    put(narrow, 1, 4, 6);
    narrow.StoredSample = storedSample(narrow, 9);
    EXPECT_EQ(sampleColours(narrow).Counts[9], 3);
    run(narrow);
    EXPECT_EQ(card.DitherIndex, 9);
    ASSERT_EQ(card.ForegroundPixels.size(), 1u);
    EXPECT_EQ(card.ForegroundPixels.toVector()[0].PaletteIndex, 6);
    narrow.StoredSample.clear();
    run(narrow);
    EXPECT_EQ(card.DitherIndex, 4);
    EXPECT_EQ(card.ForegroundPixels.toVector()[0].PaletteIndex, 6);
}

} // namespace
} // namespace vex
