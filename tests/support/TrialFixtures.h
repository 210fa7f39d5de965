#pragma once
// A small trial whose every stored value differs from its default (so that
// a value the file drops shows), the comparison of two trials value by
// value, and SQL run on a saved file as another program would.

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
    c.Stains.push_back({.Area = 3,
                        .Count = 40000,
                        .DropVolume = 1.0f / 7.0f,
                        .Diameter = 51.3f,
                        .VolumeFraction = 0.1f,
                        .CumVolumeFraction = 0.1f,
                        .NumberFraction = 0.7f,
                        .CumNumberFraction = 0.7f});
    c.Stains.push_back({9, 12, 2.0e6f / 3.0f, 97.7f, 0.25f, 0.35f, 0.2f, 0.9f});
    c.Stains.push_back({70, 1, 3.3e7f, 301.9f, 0.65f, 1.0000001f, 0.1f, 1.0f});
    c.SmallestDiameter = 51.3f;
    c.LargestDiameter = 301.9f;
    c.RejectedCount = 38;
    c.RejectedArea = 3'000'000'000;
    c.StainCoverage = 0.123456789012345678;
    c.RejectedAreaShare = 0.061;
    c.CorrectedDropDensity = 1e-300;
    c.HiddenShare = 2.0 / 3.0;
    c.SplitStains = 4;
    c.SplitParts = 9;
    c.MaxVolumeFraction = 0.65;
    c.MaxClassCount = 40000;
    c.VMD = 250.125;
    c.DropDensity = 17.5e3;
    c.VolumeDensity = 1.0 / 9.0;
    c.TotalVolume = 123456.789;
    c.Summary = {.ForegroundPixels = 9'000'000'001,
                 .Accepted = 40013,
                 .Dv01 = 60.5,
                 .Dv09 = 280.25,
                 .RelativeSpan = 0.876,
                 .Nmd = 55.1,
                 .CoveragePercent = 12.3456789,
                 .Rejected = {.Count = 38,
                              .AreaPixels = 3'000'000'000,
                              .AreaCm2 = 0.0123,
                              .AreaShare = 0.061,
                              .CountBy = {1, 2, 35},
                              .AreaBy = {10, 2'000'000'000, 999'999'990},
                              .DepositNlPerCm2 = 4.5,
                              .DepositShare = 0.02},
                 .Overlap = {.Coverage = 0.1234, .CorrectedDropDensity = 1.0e5 / 3.0, .HiddenShare = 0.3}};
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
    t.NaturalOrder = true;
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
    EXPECT_EQ(actual.NaturalOrder, expected.NaturalOrder);
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

} // namespace vex::test
