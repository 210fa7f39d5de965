#pragma once
// A small trial whose every stored value differs from its default (so that
// a value the file drops shows), the comparison of two trials value by
// value, and SQL run on a saved file as another program would.

#include "analysis/DropStatistics.h"
#include "intake/CardLoading.h"
#include "trial/Trial.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace vex::test {

// A card scanned at 600 dpi, every figure and three size classes set.
inline CardRecord scannedCard(const std::filesystem::path &file)
{
    CardRecord c = newCardRecord(file.filename().string(), file.parent_path().string(), 640, 480, 600);
    c.RecordedResolution = 300;
    c.ReducedFromBits = 24;
    c.ReducedColours = 143;
    c.ReducedExactly = true;
    c.ColoursKnown = true;
    c.Scanned = true;
    c.Position = -12.3f;
    c.PositionEdited = true;
    c.EditedPosition = 1.0f / 3.0f;
    c.Excluded = true;
    c.FileSize = 5'000'000'123;
    c.ContentHash = std::string(63, 'e') + "7";
    c.FileState = CardFileState::Changed;
    c.BackgroundIndex = 7;
    c.DitherIndex = 250;
    for (int i = 0; i < 257; ++i) {
        c.PaletteHue[static_cast<std::size_t>(i)] = (i * 37) % 256;
        c.HueCount[static_cast<std::size_t>(i)] = i * i * 1009 + 3;
    }
    for (int i = 0; i < 600; ++i)
        c.Palette.push_back(static_cast<std::uint8_t>(i * 7));
    // The classes and the figures that follow from them, as a scan gives
    // them: an opened trial refuses figures that contradict each other.
    std::vector<std::int32_t> areas(40000, 3);
    areas.insert(areas.end(), 12, 9);
    areas.push_back(70);
    computeCardStatistics(c, areas, {0.1, 0.56789, 1e-4});
    const SpectrumFigures spectrum = spectrumFigures(c.Stains, c.VMD);
    c.RejectedCount = 38;
    c.RejectedArea = 3'000'000'000;
    c.StainCoverage = 0.123456789012345678;
    c.RejectedAreaShare = 0.061;
    c.CorrectedDropDensity = 1e-300;
    c.HiddenShare = 2.0 / 3.0;
    c.SplitStains = 4;
    c.SplitParts = 9;
    c.Summary = {.ForegroundPixels = 9'000'000'001,
                 .Accepted = 40013,
                 .Dv01 = spectrum.Dv01,
                 .Dv09 = spectrum.Dv09,
                 .RelativeSpan = spectrum.RelativeSpan,
                 .Nmd = spectrum.Nmd,
                 .CoveragePercent = 12.3456789,
                 .Rejected = {.Count = 38,
                              .AreaPixels = 3'000'000'000,
                              .AreaCm2 = 0.0123,
                              .AreaShare = 0.061,
                              .CountBy = {1, 2, 35},
                              .AreaBy = {10, 2'000'000'000, 999'999'990},
                              .DepositNlPerCm2 = 4.5,
                              .DepositShare = 0.02},
                 .Overlap = {.Coverage = c.StainCoverage,
                             .CorrectedDropDensity = c.CorrectedDropDensity,
                             .HiddenShare = c.HiddenShare}};
    return c;
}

// Two passes: a named one with a scanned and a new card below `cards`, and
// one whose scanned card lies in `elsewhere`.
inline Trial sampleTrial(const std::filesystem::path &cards, const std::filesystem::path &elsewhere)
{
    Trial t;
    AnalysisSettings &s = t.Settings;
    s.Resolution = 600;
    s.ResolutionFromFile = true;
    s.Intake.ReduceColours = true;
    s.Scan = {.HueLow = 150,
              .HueHigh = 190,
              .HueInvert = true,
              .ShapeThreshold = 77,
              .HueThreshold = 12,
              .KeepStains = false,
              .SplitTouching = true};
    s.Spread = {0.1, 0.56789, -1.0 / 3.0};
    s.NoDither = s.TableBackground = s.Extended = s.HasRange = true;
    s.Metric = false;
    s.DenseCoverage = 0.3;
    s.RangeLow = 100.5f;
    s.RangeHigh = 1e4f / 3.0f;
    t.Settings.NaturalOrder = true;
    t.CurrentPass = 2;
    t.Passes.resize(2);
    t.Passes[0].Name = "Nord \u00fcber Feld 3";
    t.Passes[0].InMean = false;
    t.Passes[0].OrderEdited = true;
    t.Passes[0].Spray[AC_Type] = "Air Tractor 502";
    t.Passes[0].Spray[Comment] = "wind 3,5 m/s \u2014 \"gusty\"";
    t.Passes[0].Cards.add(scannedCard(cards / "card01.bmp"));
    t.Passes[0].Cards.add(newCardRecord("card 02.tif", cards.string(), 300, 200, 1200));
    t.Passes[1].Name = defaultPassName(2);
    t.Passes[1].Cards.add(scannedCard(elsewhere / "card03.bmp"));
    // Cards cut from a photo beside the cards and from a sheet elsewhere.
    t.Passes[0].Cards[1].Source = CardSource{
        (cards / "field.jpg").string(), 2, {{{10.5, 20.0}, {800.25, 31.0}, {790.0, 300.0}, {-3.5, 290.0}}}, 52.0, 26.0};
    t.Passes[1].Cards[1].Source = CardSource{(elsewhere / "sheet.tif").string(), 7, {}, 76.0, 26.0};
    return t;
}

// The trial as it opens again: what the file does not keep left out.
inline Trial asOpened(Trial trial)
{
    for (LinePass &pass : trial.Passes)
        for (CardRecord &card : pass.Cards.records()) {
            card.ColoursKnown = false;
            card.FileState = CardFileState::Present;
            card.ForegroundPixels.clear();
        }
    return trial;
}

inline void expectSameTrial(const Trial &actual, const Trial &expected)
{
    EXPECT_TRUE(actual.Settings == expected.Settings);
    EXPECT_EQ(actual.Settings.NaturalOrder, expected.Settings.NaturalOrder);
    EXPECT_EQ(actual.CurrentPass, expected.CurrentPass);
    ASSERT_EQ(actual.Passes.size(), expected.Passes.size());
    for (std::size_t p = 0; p < expected.Passes.size(); ++p) {
        const LinePass &a = actual.Passes[p];
        const LinePass &e = expected.Passes[p];
        EXPECT_EQ(a.Name, e.Name);
        EXPECT_EQ(std::pair(a.InMean, a.OrderEdited), std::pair(e.InMean, e.OrderEdited));
        EXPECT_EQ(a.Spray.Values, e.Spray.Values);
        ASSERT_EQ(a.Cards.count(), e.Cards.count());
        for (int k = 1; k <= e.Cards.count(); ++k) {
            const CardRecord &x = a.Cards[k];
            const CardRecord &y = e.Cards[k];
            SCOPED_TRACE(y.FilePath);
            EXPECT_EQ(x.FilePath, y.FilePath);
            EXPECT_TRUE(x.Summary == y.Summary);
            EXPECT_TRUE(x.Stains == y.Stains);
            EXPECT_TRUE(x.HueCount == y.HueCount && x.PaletteHue == y.PaletteHue && x.Palette == y.Palette);
            EXPECT_TRUE(x == y) << "a value outside the summary, classes and hue tables";
        }
    }
}

// Runs SQL on a saved trial as another program could; false when it fails.
inline bool runSql(const std::string &path, const std::string &sql)
{
    sqlite3 *db = nullptr;
    const bool done = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                      sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return done;
}

// Turns a saved trial into one as the version before the content's checksum
// saved it: format 1, no checksum.  Its values can then be edited with SQL
// and reach the reader's checks.
inline bool asPreviousFormat(const std::string &path)
{
    return runSql(path, "UPDATE vexolin SET value = '1' WHERE key = 'schema_version';"
                        "DELETE FROM vexolin WHERE key = 'content_sha256'");
}

} // namespace vex::test
