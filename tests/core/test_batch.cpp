#include "app/Batch.h"

#include "analysis/DropStatistics.h"
#include "analysis/ScanLog.h"
#include "intake/CardLoading.h"
#include "line/CardPositions.h"
#include "line/SwathDisplay.h"
#include "support/CommaLocale.h"
#include "support/LineCards.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include <filesystem>

namespace vex {
namespace {

BatchArguments parse(std::vector<std::string> args)
{
    return parseBatchArguments(args);
}

// ---- Command line ---------------------------------------------------------

TEST(BatchArguments, CardsInTheOrderGivenWithDefaults)
{
    const BatchArguments r = parse({"b.bmp", "a.bmp", "c.tif"});
    ASSERT_EQ(r.What, BatchArguments::Kind::Run);
    EXPECT_EQ(r.Options.Cards, (std::vector<std::string>{"b.bmp", "a.bmp", "c.tif"}));
    EXPECT_TRUE(r.Options.Settings.empty());
    EXPECT_EQ(r.Options.HueLow, 0);
    EXPECT_EQ(r.Options.HueHigh, 255);
    EXPECT_FALSE(r.Options.Json);
    EXPECT_FALSE(r.Options.Jobs || r.Options.Quiet);
}

TEST(BatchArguments, EveryOptionWithSeparateAndJoinedValues)
{
    const BatchArguments r = parse({"--dpi", "600", "--hue=150-190", "--invert", "--roundness", "40", "--valid-hues=25",
                                    "--spread", "1,0.5,-0.001", "--no-dither", "--table-background", "--no-log",
                                    "--append", "--json", "--jobs", "4", "--quiet", "card.bmp"});
    ASSERT_EQ(r.What, BatchArguments::Kind::Run) << r.Error;
    const BatchOptions &o = r.Options;
    EXPECT_EQ(o.setting("DefaultRes"), 600.0);
    EXPECT_EQ(o.HueLow, 150);
    EXPECT_EQ(o.HueHigh, 190);
    EXPECT_EQ(o.setting("HueInvert"), 1.0);
    EXPECT_EQ(o.setting("ShapeThreshold"), 40.0);
    EXPECT_EQ(o.setting("HueThreshold"), 25.0);
    ASSERT_TRUE(o.Spread.has_value());
    EXPECT_EQ(*o.Spread, (std::array<double, 3>{1.0, 0.5, -0.001}));
    EXPECT_TRUE(o.setting("NoDither") == 1.0 && o.setting("TableBackground") == 1.0 && o.setting("Append") == 1.0 &&
                o.Json);
    EXPECT_EQ(o.setting("LogAnalysis"), 0.0);
    EXPECT_EQ(std::tuple(o.Jobs, o.Quiet), std::tuple(4, true));
}

TEST(BatchArguments, UsageErrors)
{
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {},
             {"--dpi", "0", "a.bmp"},
             {"--dpi", "40000", "a.bmp"},
             {"--dpi", "12x", "a.bmp"},
             {"--hue", "200-100", "a.bmp"},
             {"--hue", "0-256", "a.bmp"},
             {"--hue", "17", "a.bmp"},
             {"--roundness", "300", "a.bmp"},
             {"--spread", "1,2", "a.bmp"},
             {"--spread", "1,2,3,4", "a.bmp"},
             {"--spread", "1,x,3", "a.bmp"},
             {"--frobnicate", "a.bmp"},
             {"--json=yes", "a.bmp"},
             {"a.bmp", "--dpi"},
             {"--jobs", "0", "a.bmp"},
             {"--jobs=257", "a.bmp"},
             {"--quiet=yes", "a.bmp"},
         }) {
        const BatchArguments r = parseBatchArguments(args);
        EXPECT_EQ(r.What, BatchArguments::Kind::Error) << ::testing::PrintToString(args);
        EXPECT_FALSE(r.Error.empty());
    }
}

TEST(BatchArguments, HelpAndDoubleDash)
{
    EXPECT_EQ(parse({"--help"}).What, BatchArguments::Kind::Help);
    const BatchArguments r = parse({"--", "--odd-name.bmp"});
    ASSERT_EQ(r.What, BatchArguments::Kind::Run);
    EXPECT_EQ(r.Options.Cards, std::vector<std::string>{"--odd-name.bmp"});
}

TEST(BatchFolders, CardFilesByNameWithoutSubfolders)
{
    const test::TempFolder dir;
    for (const char *name : {"card10.bmp", "card9.bmp", "Card1.GIF", "notes.txt", "photo.png", "card9.scn",
                             "sub/card0.bmp", "folder.bmp/card0.bmp"})
        dir.touch(name);
    std::filesystem::create_symlink(dir.file("nowhere.bmp"), dir.file("broken.bmp"));
    const auto names = [&](bool reduce, bool natural) {
        std::vector<std::string> files = cardFilesOf(dir.path().string(), IntakeOptions{reduce}, natural).value();
        for (std::string &f : files)
            f = std::filesystem::path(f).lexically_relative(dir.path()).string();
        return files;
    };
    EXPECT_EQ(names(false, false), (std::vector<std::string>{"Card1.GIF", "card10.bmp", "card9.bmp"}));
    EXPECT_EQ(names(false, true), (std::vector<std::string>{"Card1.GIF", "card9.bmp", "card10.bmp"}));
    EXPECT_EQ(names(true, true), (std::vector<std::string>{"Card1.GIF", "card9.bmp", "card10.bmp", "photo.png"}));
    const auto gone = cardFilesOf(dir.file("gone"), {}, false);
    EXPECT_TRUE(!gone.ok() && gone->empty());
}

TEST(BatchFolders, FoldersStandForTheirCardsInTheArgumentsPlace)
{
    const test::TempFolder dir;
    const std::string b = dir.touch("line/b.bmp");
    const std::string a = dir.touch("line/a.tif");
    dir.touch("empty/notes.txt");
    const std::vector<BatchEntry> e = batchEntries({"z.bmp", dir.file("line"), dir.file("empty"), "gone/"}, {}, false);
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(std::tuple(e[0].Path, e[1].Path, e[2].Path, e[3].Path, e[4].Path),
              std::tuple("z.bmp", a, b, dir.file("empty"), "gone/"));
    EXPECT_EQ(std::tuple(e[0].Problem + e[1].Problem + e[2].Problem + e[4].Problem, e[3].Problem),
              std::tuple("", "the folder holds no card file"));
}

TEST(BatchFolders, ProgressGivesThePaceAndTheTimeLeftOnceThereIsOne)
{
    EXPECT_EQ(batchProgressText(0, 10, 0.05, 3.0), "0/10 cards");
    EXPECT_EQ(batchProgressText(500, 10000, 0.0, 20.0), "500/10000 cards, 25.0 cards/s, 6 min 20 s left");
    EXPECT_EQ(batchProgressText(0, 8, 0.5, 64.0), "0/8 cards, 128.0 s per card, 16 min 00 s left");
    EXPECT_EQ(batchProgressText(1, 10000, 0.0, 1.0), "1/10000 cards, 1.00 cards/s, 2 h 46 min left");
    EXPECT_EQ(batchProgressText(8, 8, 0.0, 4.0), "8/8 cards, 2.00 cards/s");
}

TEST(BatchArguments, TrialOptionsAndWhatCannotGoWithThem)
{
    const BatchArguments r = parse({"--trial=t.vexolin", "--pass", "2", "--json", "--swath=9", "--save-trial=u"});
    ASSERT_EQ(r.What, BatchArguments::Kind::Run) << r.Error;
    EXPECT_EQ(std::tuple(*r.Options.FromTrial, *r.Options.Pass, *r.Options.SaveTrial), std::tuple("t.vexolin", 2, "u"));
    for (const auto &[args, said] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--trial", "t", "a.bmp"}, "no card image can be given with --trial"},
             {{"--no-dither", "--trial", "t", "--hue=1-2"},
              "--no-dither cannot be given with --trial: the stored "
              "cards are not scanned again"},
             {{"--pass", "1", "a.bmp"}, "--pass needs --trial"},
             {{"--mean-of-passes", "a.bmp"}, "--mean-of-passes needs --trial"},
             {{"--trial", "t", "--pass", "1", "--mean-of-passes"}, "cannot be given together"},
             {{"--trial", "t", "--pass", "0"}, "--pass must be"},
         }) {
        const BatchArguments e = parse(args);
        EXPECT_EQ(e.What, BatchArguments::Kind::Error) << said;
        EXPECT_NE(e.Error.find(said), std::string::npos) << e.Error;
    }
}

TEST(BatchArguments, AnOutputMayNotTakeTheFileOfACardTheTrialALogOrAnotherOutput)
{
    const test::TempFolder dir;
    const std::string card = dir.touch("card01.bmp");
    std::filesystem::create_symlink(card, dir.file("link.bmp"));
    CardList stored; // the trial's
    stored.add(CardRecord{});
    stored[1].FilePath = dir.touch("old/card02.bmp");
    const auto clash = [&](std::vector<std::string> args) {
        args.push_back(args.front() == "--trial" ? "--json" : "c.bmp");
        return batchOutputClash(parse(args).Options, {card}, {dir.file("card01.scn")}, Trial(), stored).reason();
    };
    EXPECT_EQ(clash({"--report", dir.file("old/../link.bmp")}), "--report " + dir.file("old/../link.bmp") +
                                                                    " is the same file as the card " + card +
                                                                    "; nothing is written");
    EXPECT_EQ(clash({"--results", "x.pdf", "--report", "./x.pdf"}),
              "--report ./x.pdf is the same file as --results x.pdf; nothing is written");
    EXPECT_NE(clash({"--stains", dir.file("card01.scn")}).find("the same file as the scan log"), std::string::npos);
    EXPECT_NE(clash({"--trial", dir.file("t"), "--save-trial", dir.file("t")}).find("the same file as --trial"),
              std::string::npos);
    EXPECT_NE(clash({"--results", dir.file("old/card02.bmp")}).find("as the trial's card"), std::string::npos);
    EXPECT_EQ(clash({"--results", "r.txt", "--report", "r.pdf", "--stains", "/dev/null", "--save-trial", "/dev/null"}),
              "");
}

TEST(BatchSettingsTest, OptionsOverridePreferencesAndTheRestFollowThem)
{
    Preferences preferences;
    preferences.Analysis.Resolution = 600;
    preferences.Analysis.Scan.ShapeThreshold = 70;
    preferences.Analysis.Scan.HueThreshold = 5;
    preferences.Analysis.Log = false;
    preferences.Analysis.Append = true;
    ModuleState module;
    module.SpreadFactor = {1.0, 0.6, 0.0};
    module.Metric = false;

    const AnalysisSettings fromPreferences = resolveBatchSettings(parse({"a.bmp"}).Options, preferences, module);
    EXPECT_EQ(fromPreferences.Resolution, 600);
    EXPECT_EQ(fromPreferences.Scan.ShapeThreshold, 70);
    EXPECT_EQ(fromPreferences.Scan.HueThreshold, 5);
    EXPECT_EQ(fromPreferences.Spread, module.SpreadFactor);
    EXPECT_FALSE(fromPreferences.Log);
    EXPECT_TRUE(fromPreferences.Append);
    EXPECT_FALSE(fromPreferences.Metric);

    const AnalysisSettings overridden =
        resolveBatchSettings(parse({"--dpi", "1200", "--roundness", "100", "--valid-hues", "0", "--spread", "0,0.56,0",
                                    "--log", "--no-append", "a.bmp"})
                                 .Options,
                             preferences, module);
    EXPECT_EQ(overridden.Resolution, 1200);
    EXPECT_EQ(overridden.Scan.ShapeThreshold, 100);
    EXPECT_EQ(overridden.Scan.HueThreshold, 0);
    EXPECT_EQ(overridden.Spread, (std::array<double, 3>{0.0, 0.56, 0.0}));
    EXPECT_TRUE(overridden.Log);
    EXPECT_FALSE(overridden.Append);
}

// ---- One card -------------------------------------------------------------

// 40 x 30: background 1, every third pixel of the bottom rows dither 2,
// three blue 3 x 3 stains and one 1 x 1, and a yellow speck.
IndexedImage smallCard()
{
    IndexedImage image;
    image.Width = 40;
    image.Height = 30;
    image.PaletteBgr.assign(256 * 3, 0);
    auto colour = [&](int i, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        image.PaletteBgr[static_cast<std::size_t>(i) * 3] = b;
        image.PaletteBgr[static_cast<std::size_t>(i) * 3 + 1] = g;
        image.PaletteBgr[static_cast<std::size_t>(i) * 3 + 2] = r;
    };
    colour(1, 255, 255, 255);
    colour(2, 240, 240, 240);
    colour(3, 0, 0, 255);
    colour(4, 255, 255, 0);
    image.Pixels.assign(40 * 30, 1);
    auto set = [&](int x, int bottomRow, std::uint8_t index) {
        image.Pixels[static_cast<std::size_t>(bottomRow) * 40 + static_cast<std::size_t>(x)] = index;
    };
    for (int y = 0; y < 30; ++y)
        for (int x = y % 3; x < 40; x += 3)
            if ((x + y) % 2 == 0)
                set(x, y, 2);
    for (const int left : {5, 15, 25})
        for (int y = 10; y < 13; ++y)
            for (int x = left; x < left + 3; ++x)
                set(x, y, 3);
    set(35, 20, 3);
    set(35, 25, 4);
    return image;
}

class BatchCard : public ::testing::Test {
protected:
    void SetUp() override
    {
        card_ = newCardRecord("card.bmp", folder_.string() + "/", 40, 30, 1200);
        settings_.Log = false;
    }
    test::TempFolder temp_{"vexolin_batch"};
    std::filesystem::path folder_ = temp_.path();
    CardRecord card_;
    AnalysisSettings settings_;
};

TEST_F(BatchCard, AnalysesWithTheAnswersOfYesToAll)
{
    settings_.Scan.HueLow = 150;
    settings_.Scan.HueHigh = 190;
    const CardFigures f = analyseCard(card_, smallCard(), settings_);
    EXPECT_FALSE(f.Cancelled);
    EXPECT_EQ(card_.BackgroundIndex, 1);
    EXPECT_EQ(card_.DitherIndex, 2);
    EXPECT_EQ(f.ForegroundPixels, 29u);
    EXPECT_EQ(f.Accepted, 4);
    EXPECT_EQ(card_.RejectedCount, 1);
    EXPECT_TRUE(card_.Scanned);
    ASSERT_EQ(card_.Stains.size(), 3u);
    EXPECT_EQ(card_.Stains[1].Count, 1);
    EXPECT_EQ(card_.Stains[2].Count, 3);
    EXPECT_DOUBLE_EQ(f.CoveragePercent, 28.0 / 1200.0 * 100.0);
    EXPECT_DOUBLE_EQ(f.Nmd, interpolatedDiameter(card_.Stains, 0.5, false));
    EXPECT_LE(f.Dv01, card_.VMD);
    EXPECT_GE(f.Dv09, card_.VMD);
    EXPECT_DOUBLE_EQ(f.RelativeSpan, (f.Dv09 - f.Dv01) / card_.VMD);
}

TEST_F(BatchCard, RejectedStainsAndTheOverlapEstimateAreReported)
{
    settings_.Scan.HueLow = 150;
    settings_.Scan.HueHigh = 190;
    const CardFigures f = analyseCard(card_, smallCard(), settings_);
    // The yellow speck: one pixel with no hue in the range.
    const RejectedFigures &r = f.Rejected;
    EXPECT_EQ(r.Count, 1);
    EXPECT_EQ(r.CountBy[static_cast<std::size_t>(RejectReason::NoValidHue)], 1);
    EXPECT_EQ(r.AreaPixels, 1);
    EXPECT_DOUBLE_EQ(r.AreaShare, 1.0 / 29.0);
    const double speck =
        static_cast<float>(dropVolume(dropDiameter(stainDiameter(1, card_.PixelSizeX), settings_.Spread))) / 1e6;
    EXPECT_DOUBLE_EQ(r.DepositNlPerCm2, speck / card_.CardArea);
    EXPECT_DOUBLE_EQ(r.DepositShare, r.DepositNlPerCm2 / card_.VolumeDensity);
    // Poisson: n = -ln(1 - c) / a with a the mean area of the four drops.
    const double c = 29.0 / 1200.0;
    const double a = 28.0 / 4.0 * card_.PixelSizeX * card_.PixelSizeY * 1e-8;
    EXPECT_DOUBLE_EQ(f.Overlap.Coverage, c);
    EXPECT_NEAR(f.Overlap.CorrectedDropDensity, -std::log(1.0 - c) / a, 1e-9 * f.Overlap.CorrectedDropDensity);
    EXPECT_NEAR(f.Overlap.HiddenShare, 1.0 - std::pow(1.0 - c, 4.0), 1e-12);
    // What the window shows under the figures; 2.4 % coverage is not dense.
    EXPECT_EQ(rejectedStainsText(card_), "Rejected: 1 stain, 3.4 % of stain area");
    EXPECT_EQ(denseCardWarning(card_, 0.2), "");
    EXPECT_EQ(denseCardWarning(card_, 0.02),
              "The card is too dense for reliable drop counts: stains cover 2.4 % of it (more than 2 %).");
}

TEST_F(BatchCard, NoToTheDitherQuestionKeepsDitherAsStains)
{
    settings_.NoDither = true;
    const CardFigures f = analyseCard(card_, smallCard(), settings_);
    EXPECT_EQ(card_.DitherIndex, card_.BackgroundIndex);
    EXPECT_GT(f.ForegroundPixels, 29u);
}

TEST_F(BatchCard, NoToTheBackgroundQuestionTakesTheFirstTableEntry)
{
    settings_.TableBackground = true;
    analyseCard(card_, smallCard(), settings_);
    EXPECT_EQ(card_.BackgroundIndex, 0);
}

TEST_F(BatchCard, ResolutionOfTheSettingsIsApplied)
{
    settings_.Resolution = 600;
    analyseCard(card_, smallCard(), settings_);
    EXPECT_EQ(card_.Resolution, 600);
    EXPECT_DOUBLE_EQ(card_.PixelSizeX, 2.0 * newCardRecord("x.bmp", "/", 1, 1, 1200).PixelSizeX);
}

TEST_F(BatchCard, LogIsWrittenBesideTheCardWhenAsked)
{
    settings_.Log = true;
    const CardFigures f = analyseCard(card_, smallCard(), settings_);
    EXPECT_TRUE(f.Log.ok());
    EXPECT_TRUE(std::filesystem::exists(folder_ / "card.scn"));
}

TEST_F(BatchCard, CardWithoutValidStainsReportsZeros)
{
    settings_.Scan.HueLow = 0;
    settings_.Scan.HueHigh = 10;
    const CardFigures f = analyseCard(card_, smallCard(), settings_);
    EXPECT_EQ(f.Accepted, 0);
    EXPECT_EQ(card_.Stains.size(), 1u);
    EXPECT_EQ(card_.RejectedCount, 5);
    EXPECT_EQ(f.Dv01, 0.0);
    EXPECT_EQ(f.RelativeSpan, 0.0);
    EXPECT_EQ(f.CoveragePercent, 0.0);
}

TEST_F(BatchCard, CancelInTheColourPassStopsEverything)
{
    BatchProgress progress;
    progress.Pass.CancelRequested = [] { return true; };
    const CardFigures f = analyseCard(card_, smallCard(), settings_, progress);
    EXPECT_TRUE(f.Cancelled);
    EXPECT_FALSE(card_.Scanned);
}

} // namespace
} // namespace vex

namespace vex {
namespace {
using test::lineOfFive;

TEST(BatchLineArguments, PositionsSwathRangeAndUnits)
{
    const BatchArguments r = parse({"--positions", "-45,10", "--swath=60", "--range", "100-400.5", "--us", "a.bmp"});
    ASSERT_EQ(r.What, BatchArguments::Kind::Run) << r.Error;
    ASSERT_TRUE(r.Options.Positions);
    EXPECT_EQ(r.Options.Positions->first, "-45");
    EXPECT_EQ(r.Options.Positions->second, "10");
    EXPECT_EQ(r.Options.Swath, "60");
    ASSERT_TRUE(r.Options.Range);
    EXPECT_FLOAT_EQ(r.Options.Range->first, 100.0f);
    EXPECT_FLOAT_EQ(r.Options.Range->second, 400.5f);
    EXPECT_EQ(r.Options.setting("Metric"), 0.0);
    EXPECT_EQ(parse({"--metric", "a.bmp"}).Options.setting("Metric"), 1.0);
    for (const std::vector<std::string> &bad : {std::vector<std::string>{"--positions", "-45", "a.bmp"},
                                                {"--positions", "0,0", "a.bmp"},
                                                {"--positions", "1,-5", "a.bmp"},
                                                {"--swath", "0", "a.bmp"},
                                                {"--range", "400-100", "a.bmp"},
                                                {"--range", "abc", "a.bmp"},
                                                {"--metric=1", "a.bmp"}})
        EXPECT_EQ(parse(bad).What, BatchArguments::Kind::Error) << bad[0] << " " << bad[1];
}

TEST(BatchLineArguments, SprayNumbersThatCannotBeReadAreUsageErrorsInAnyLocale)
{
    const test::CommaLocale comma;
    auto error = [](std::vector<std::string> args) {
        args.push_back("a.bmp");
        const BatchArguments r = parse(args);
        return r.What == BatchArguments::Kind::Error ? r.Error : std::string("(accepted)");
    };
    EXPECT_NE(error({"--info", "Sample_Interval=abc"}).find("Sample_Interval=abc: not a number"), std::string::npos);
    EXPECT_NE(
        error({"--info=AC_Speed=7,5"}).find("AC_Speed=7,5: not a number (decimals are written with a point: 7.5)"),
        std::string::npos);
    EXPECT_NE(error({"--info", "Nozzle_Number=4.5"}).find("Nozzle_Number"), std::string::npos);
    EXPECT_NE(error({"--positions", "1000000,0.01"}).find("steps of 0.0625"), std::string::npos);
    EXPECT_NE(error({"--info", "Sample_Position1=1000000", "--info", "Sample_Interval=0.003"}).find("too fine"),
              std::string::npos);
    // Read with the point whatever the locale; texts stay texts.
    const BatchArguments r =
        parse({"--info", "Sample_Interval=7.5", "--info", "Comment=7,5", "--info", "AC_Swath=", "a.bmp"});
    ASSERT_EQ(r.What, BatchArguments::Kind::Run) << r.Error;
    const AnalysisSettings s = resolveBatchSettings(r.Options, Preferences(), ModuleState());
    EXPECT_EQ(positionValue(s.Spray[Sample_Interval]), 7.5f);
}

TEST(BatchLineArguments, StoredPositionsUnlessGiven)
{
    BatchOptions o;
    const Preferences preferences;
    ModuleState module;
    module.Metric = false;
    AnalysisSettings s = resolveBatchSettings(o, preferences, module, {"-30", "5"});
    EXPECT_EQ(s.Spray[Sample_Position1], "-30");
    EXPECT_EQ(s.Spray[Sample_Interval], "5");
    EXPECT_FALSE(s.Metric);
    EXPECT_FALSE(s.HasRange);
    o.Positions = std::make_pair(std::string("-45"), std::string("10"));
    o.Range = std::make_pair(50.0f, 300.0f);
    o.Settings.emplace_back("Metric", 1.0);
    o.Swath = "40";
    s = resolveBatchSettings(o, preferences, module, {"-30", "5"});
    EXPECT_EQ(s.Spray[Sample_Position1], "-45");
    EXPECT_EQ(s.Spray[AC_Swath], "40");
    EXPECT_TRUE(s.Metric);
    EXPECT_TRUE(s.HasRange);
    EXPECT_FLOAT_EQ(s.RangeHigh, 300.0f);
}

TEST(BatchLine, SwathRatioNormalisesToTheAircraftsSwath)
{
    SprayInfo spray;
    spray[Sample_Interval] = "10";
    EXPECT_DOUBLE_EQ(swathRatio(3, spray), 1.0);
    spray[AC_Swath] = "60";
    EXPECT_DOUBLE_EQ(swathRatio(3, spray), 0.5);
    spray[AC_Swath] = "0";
    EXPECT_DOUBLE_EQ(swathRatio(3, spray), 1.0);
    spray[AC_Swath] = "wide";
    EXPECT_DOUBLE_EQ(swathRatio(3, spray), 1.0);
}

TEST(BatchLine, PositionsCompositeStatsAndSwath)
{
    CardList cards = lineOfFive();
    AnalysisSettings s;
    s.Spray[Sample_Position1] = "-20";
    s.Spray[Sample_Interval] = "10";
    const LineResults line = analyseLine(cards, s);
    EXPECT_FLOAT_EQ(cards[1].Position, -20.0f);
    EXPECT_FLOAT_EQ(cards[5].Position, 20.0f);
    EXPECT_DOUBLE_EQ(line.All.TotalCount, 50.0);
    EXPECT_FALSE(line.RangeSelected);
    ASSERT_EQ(line.Stats.size(), 6u);
    EXPECT_DOUBLE_EQ(line.Stats[3].VolumeDensity, cards[3].VolumeDensity);
    ASSERT_TRUE(line.HasSwath);
    EXPECT_EQ(line.Deposit.K, -2);
    EXPECT_EQ(line.Deposit.Widths.size(), 5u);
    EXPECT_GE(line.Deposit.Passes, 5);
    EXPECT_FALSE(line.Deposit.Multiswath.empty());
    // Symmetric about the centre line: both patterns lay the same deposit.
    for (std::size_t n = 1; n < 5; ++n)
        EXPECT_NEAR(line.Deposit.Widths[n].Cov, line.Deposit.Widths[n].CovBackAndForth, 1e-5f) << n;
}

TEST(BatchLine, RangeThatCutsTheLineIsReported)
{
    CardList cards = lineOfFive();
    AnalysisSettings s;
    s.Spray[Sample_Position1] = "-20";
    s.Spray[Sample_Interval] = "10";
    s.HasRange = true;
    s.RangeLow = 0.0f;
    s.RangeHigh = 32755.0f;
    EXPECT_FALSE(analyseLine(cards, s).RangeSelected); // takes in every drop
    s.RangeLow = cards[1].Stains[1].Diameter + 1.0f;
    const LineResults line = analyseLine(cards, s);
    ASSERT_TRUE(line.RangeSelected);
    EXPECT_DOUBLE_EQ(line.Range.TotalCount, 30.0);
    // The cards' figures are those inside the range: the edge cards lose everything.
    EXPECT_DOUBLE_EQ(line.Stats[1].DropDensity, 0.0);
    EXPECT_GT(line.Stats[3].DropDensity, 0.0);
}

TEST(BatchLine, ALineWithAFigureThatIsNoNumberIsNotReported)
{
    CardList cards = lineOfFive();
    AnalysisSettings s;
    s.Spray[Sample_Position1] = "-20";
    s.Spray[Sample_Interval] = "10";
    LineResults line = analyseLine(cards, s);
    EXPECT_TRUE(checkLineFigures(line).ok());
    line.Deposit.Widths[2].MaxBackAndForth = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(checkLineFigures(line).ok());
}

TEST(BatchLine, OneCardHasNoSwath)
{
    CardList cards;
    cards.add(newCardRecord("c.bmp", "/d/", 100, 100, 1200));
    AnalysisSettings s;
    EXPECT_FALSE(analyseLine(cards, s).HasSwath);
}

} // namespace
} // namespace vex

namespace vex {
namespace {

TEST(BatchResultsOptions, ResultsFileAndSprayInformation)
{
    const BatchArguments r =
        parse({"--results", "out.csv", "--info=AC_Owner=Ag, Air", "--info", "Sample_Interval=5", "a.bmp"});
    ASSERT_EQ(r.What, BatchArguments::Kind::Run) << r.Error;
    EXPECT_EQ(r.Options.Results, "out.csv");
    ASSERT_EQ(r.Options.Info.size(), 2u);
    EXPECT_EQ(r.Options.Info[0].first, AC_Owner);
    EXPECT_EQ(r.Options.Info[0].second, "Ag, Air");
    const AnalysisSettings s = resolveBatchSettings(r.Options, Preferences{}, ModuleState{}, {"-50", "10"});
    EXPECT_EQ(s.Spray[AC_Owner], "Ag, Air");
    EXPECT_EQ(s.Spray[Sample_Interval], "5"); // typed as information, it places the cards
    EXPECT_EQ(s.Spray[Sample_Position1], "-50");
    EXPECT_EQ(parse({"--info", "Nothing=1", "a.bmp"}).What, BatchArguments::Kind::Error);
    EXPECT_EQ(parse({"--info", "AC_Type", "a.bmp"}).What, BatchArguments::Kind::Error);
    EXPECT_TRUE(wantsCsv("x.CSV"));
    EXPECT_TRUE(wantsCsv("dir.d/x.csv"));
    EXPECT_FALSE(wantsCsv("x.txt"));
    EXPECT_FALSE(wantsCsv("csv"));
}

} // namespace
} // namespace vex
