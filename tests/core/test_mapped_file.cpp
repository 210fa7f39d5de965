#include "intake/MappedFile.h"

#include "intake/BmpFile.h"
#include "intake/CardLoading.h"
#include "intake/ColourPass.h"
#include "line/LineAnalysis.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include <unistd.h>

namespace vex {
namespace {

const std::size_t Page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));

TEST(MappedFile, ReadsTheFileAsItIsAndStaysIntact)
{
    const test::TempFile file(std::vector<std::uint8_t>(3 * Page, 0xAB), ".bin");
    MappedFile mapped;
    ASSERT_TRUE(mapped.open(file.path()).ok());
    ASSERT_EQ(mapped.size(), 3 * Page);
    EXPECT_EQ(mapped.data()[3 * Page - 1], 0xAB);
    EXPECT_TRUE(mapped.intact().ok());
    MappedFile moved = std::move(mapped);
    EXPECT_FALSE(mapped.isOpen());
    EXPECT_TRUE(moved.intact().ok());
}

TEST(MappedFile, AFileCutShortWhileMappedReadsZerosInsteadOfEndingTheProcess)
{
    const test::TempFile file(std::vector<std::uint8_t>(3 * Page, 0xAB), ".bin");
    MappedFile mapped;
    ASSERT_TRUE(mapped.open(file.path()).ok());
    std::filesystem::resize_file(file.path(), Page);
    EXPECT_EQ(mapped.data()[2 * Page + 5], 0);
    EXPECT_EQ(mapped.data()[0], 0xAB);
    EXPECT_EQ(mapped.intact().reason(), "the file was cut short while it was read");
}

TEST(MappedFile, AFileRewrittenWhileMappedIsNoLongerIntact)
{
    const test::TempFile file(std::vector<std::uint8_t>(Page, 1), ".bin");
    MappedFile mapped;
    ASSERT_TRUE(mapped.open(file.path()).ok());
    file.rewrite(std::vector<std::uint8_t>(Page, 2));
    std::filesystem::last_write_time(file.path(),
                                     std::filesystem::last_write_time(file.path()) + std::chrono::seconds(2));
    EXPECT_EQ(mapped.intact().reason(), "the file changed while it was read");
}

TEST(MappedFile, EmptyAndMissingFilesAreRefused)
{
    const test::TempFile empty({}, ".bin");
    MappedFile mapped;
    EXPECT_EQ(mapped.open(empty.path()).reason(), "the file is empty");
    EXPECT_FALSE(mapped.open(empty.path() + ".gone").ok());
    EXPECT_FALSE(mapped.intact().ok());
}

// The analysis reads a card's rows in place after it was opened: a file cut
// short in between gives no figures, as a copy that came up short gave none.
TEST(MappedFile, ACardCutShortAfterOpeningIsLeftOut)
{
    const test::Picture p = test::patternPicture(2000, 8);
    const test::TempFile file(test::makeBmp(p), ".bmp");
    const DecodeResult decoded = decodeBmpFile(file.path(), ColourBitmaps::Refuse, BmpRows::InPlace);
    ASSERT_TRUE(decoded.ok());
    std::filesystem::resize_file(file.path(), 4000);
    CardRecord card = newCardRecord("card.bmp", "/tmp", decoded->Image.Width, decoded->Image.Height, 600);
    AnalysisSettings settings;
    settings.Log = false;
    const CardFigures figures = analyseCard(card, decoded->Image, settings);
    EXPECT_EQ(figures.Figures.reason(), "the file was cut short while it was read");
    EXPECT_FALSE(card.Scanned);
}

// The colour pass counts a card's stain pixels, then collects them: a file
// rewritten in between may hold more than was counted, which must neither
// run past the list nor leave it out of step with its runs.
TEST(MappedFile, AFileRewrittenBetweenTheSweepsOfTheColourPassKeepsTheListWhole)
{
    test::Picture p = test::patternPicture(300, 40, 4);
    std::fill(p.TopDownIndices.begin(), p.TopDownIndices.end(), std::uint8_t{1});
    const test::TempFile file(test::makeBmp(p), ".bmp");
    const DecodeResult decoded = decodeBmpFile(file.path(), ColourBitmaps::Refuse, BmpRows::InPlace);
    ASSERT_TRUE(decoded.ok());
    for (std::size_t i = 0; i < p.TopDownIndices.size(); i += 2)
        p.TopDownIndices[i] = 3;
    CardRecord card;
    card.BackgroundIndex = card.DitherIndex = 1;
    PassCallbacks callbacks;
    callbacks.Progress = [&](std::int32_t row) {
        if (row == 0)
            file.rewrite(test::makeBmp(p));
    };
    ASSERT_EQ(collectForegroundPixels(card, decoded->Image, callbacks), PassOutcome::Complete);
    std::size_t pixels = 0;
    for (const ForegroundPixelList::Run &run : card.ForegroundPixels.runs())
        pixels += static_cast<std::size_t>(run.Length);
    EXPECT_EQ(pixels, card.ForegroundPixels.size());
    EXPECT_FALSE(decoded->Image.sourceIntact().ok());
}

} // namespace
} // namespace vex
