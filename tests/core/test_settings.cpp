#include "app/AppState.h"
#include "app/Preferences.h"
#include "line/CardPositions.h"
#include "text/Settings.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(Settings, FirstRunGivesEveryDefault)
{
    MemorySettingsStore store;
    ModuleState module;
    const Preferences w = readPreferences(store, module, "/home/u");
    EXPECT_EQ(readSetting(store, "Prefs", "DefaultRes", "1200"), "1200");
    EXPECT_EQ(w.Analysis.Resolution, 1200);
    EXPECT_EQ(module.SpreadFactor[0], 0.0);
    EXPECT_EQ(module.SpreadFactor[1], 0.56);
    EXPECT_EQ(module.SpreadFactor[2], 0.0);
    EXPECT_TRUE(w.Analysis.Log);
    EXPECT_FALSE(w.Analysis.Append);
    EXPECT_FALSE(w.Analysis.LogSprayInfo);
    EXPECT_TRUE(w.MouseCoords);
    EXPECT_EQ(w.Analysis.Scan.ShapeThreshold, 100);
    EXPECT_EQ(w.Analysis.Scan.HueThreshold, 0);
    EXPECT_EQ(w.InitialDir, "/home/u");
    EXPECT_EQ(w.HistogramColor, (Rgb{125, 190, 255}));
    EXPECT_TRUE(store.values().empty()) << "reading must not create entries";
}

TEST(Settings, EveryPreferenceSurvivesCloseAndStart)
{
    MemorySettingsStore store;
    ModuleState module;
    Preferences w = readPreferences(store, module, "/home/u");
    w.Analysis.Resolution = 2000;
    module.SpreadFactor = {0.125, 0.75, -0.0003};
    w.Analysis.Log = false;
    w.Analysis.Append = true;
    w.Analysis.LogSprayInfo = true;
    w.InitialDir = "/data/cards";
    w.Analysis.Scan.ShapeThreshold = 85;
    w.Analysis.Scan.HueThreshold = 40;
    w.Analysis.Intake.ReduceColours = true;
    w.Analysis.ResolutionFromFile = true;
    w.FindCards = true;
    w.FoundCardSize = {52.5, 26};
    w.AlwaysShowOverlapEstimate = true;
    module.Metric = false;
    EXPECT_TRUE(writePreferences(store, module, w).ok());

    ModuleState module2;
    module2.Metric = readBoolSetting(store, "Prefs", "Metric", true);
    const Preferences r = readPreferences(store, module2, "/home/u");
    EXPECT_EQ(r.Analysis.Resolution, 2000);
    EXPECT_EQ(module2.SpreadFactor, module.SpreadFactor);
    EXPECT_FALSE(r.Analysis.Log);
    EXPECT_TRUE(r.Analysis.Append);
    EXPECT_TRUE(r.Analysis.LogSprayInfo);
    EXPECT_EQ(r.InitialDir, "/data/cards");
    EXPECT_EQ(r.Analysis.Scan.ShapeThreshold, 85);
    EXPECT_EQ(r.Analysis.Scan.HueThreshold, 40);
    EXPECT_TRUE(r.Analysis.Intake.ReduceColours && r.Analysis.ResolutionFromFile);
    EXPECT_TRUE(r.FindCards && r.AlwaysShowOverlapEstimate);
    EXPECT_EQ(r.FoundCardSize, (CardSize{52.5, 26}));
    EXPECT_FALSE(module2.Metric);
}

TEST(Settings, StoredTextsAreThePlainForms)
{
    MemorySettingsStore store;
    ModuleState module;
    Preferences w = readPreferences(store, module, "");
    ASSERT_TRUE(writePreferences(store, module, w).ok());
    EXPECT_EQ(store.values().at({"Prefs", "DefaultRes"}), "1200");
    EXPECT_EQ(store.values().at({"Prefs", "SpreadFactor1"}), "0.56");
    EXPECT_EQ(store.values().at({"Prefs", "SpreadFactor0"}), "0");
    EXPECT_EQ(store.values().at({"Prefs", "LogAnalysis"}), "True");
    EXPECT_EQ(store.values().at({"Prefs", "Append"}), "False");
    EXPECT_EQ(store.values().at({"Prefs", "Metric"}), "True");
    EXPECT_EQ(store.values().at({"Prefs", "ShapeThreshold"}), "100");
    // Colour reduction and the file's resolution are off until asked for.
    EXPECT_EQ(store.values().at({"Prefs", "ReduceColours"}), "False");
    EXPECT_EQ(store.values().at({"Prefs", "ResolutionFromFile"}), "False");
    EXPECT_EQ(store.values().at({"Prefs", "DenseCoveragePercent"}), "20");
    // Figures beyond today's and cut stains change files: off until asked for.
    EXPECT_EQ(store.values().at({"Prefs", "ExtendedFigures"}), "False");
    EXPECT_EQ(store.values().at({"Prefs", "SplitTouching"}), "False");
    EXPECT_EQ(store.values().at({"Prefs", "NaturalOrder"}), "False");
    EXPECT_EQ(store.values().at({"Prefs", "SwathWidthStep"}), "0.1");
    EXPECT_EQ(store.values().at({"Prefs", "CentrePattern"}), "False");
    EXPECT_EQ(store.values().at({"Prefs", "ConfidenceIntervals"}), "False");
    EXPECT_EQ(store.values().at({"Prefs", "HueHigh"}), "255");
    EXPECT_EQ(store.values().at({"Prefs", "CovTarget"}), "0.2");
    EXPECT_EQ(store.values().at({"Prefs", "DensityTargetHigh"}), "0");
    EXPECT_EQ(store.values().size(), 31u);
}

TEST(Settings, EmptyValueIsStoredAsOneBlank)
{
    MemorySettingsStore store;
    EXPECT_TRUE(writeSetting(store, "Settings", "InitialDir", "").ok());
    EXPECT_EQ(store.values().at({"Settings", "InitialDir"}), " ");
    EXPECT_EQ(readSetting(store, "Settings", "InitialDir", "C:"), " ");
}

TEST(Settings, UnconvertibleValuesFallBackToTheKeysDefault)
{
    MemorySettingsStore store;
    store.setRaw("Prefs", "DefaultRes", "twelve hundred");
    store.setRaw("Prefs", "LogAnalysis", "Yes");
    store.setRaw("Prefs", "Append", "1");
    store.setRaw("Prefs", "SpreadFactor1", "0,56");
    store.setRaw("Prefs", "ShapeThreshold", "300");
    store.setRaw("Prefs", "HueThreshold", "-1");
    ModuleState module;
    const Preferences w = readPreferences(store, module, "");
    EXPECT_EQ(w.Analysis.Resolution, 1200);
    EXPECT_TRUE(w.Analysis.Log);
    EXPECT_FALSE(w.Analysis.Append);
    EXPECT_EQ(module.SpreadFactor[1], 0.56);
    EXPECT_EQ(w.Analysis.Scan.ShapeThreshold, 100);
    EXPECT_EQ(w.Analysis.Scan.HueThreshold, 0);
}

TEST(Settings, ResolutionOutsideTheCardRangeFallsBack)
{
    MemorySettingsStore store;
    ModuleState module;
    for (const char *bad : {"0", "-600", "32768", "99999999999999999999"}) {
        store.setRaw("Prefs", "DefaultRes", bad);
        EXPECT_EQ(readPreferences(store, module, "").Analysis.Resolution, 1200) << bad;
    }
    store.setRaw("Prefs", "DefaultRes", "32767");
    EXPECT_EQ(readPreferences(store, module, "").Analysis.Resolution, 32767);
}

TEST(Settings, NumbersBeyondTheirSoundRangeFallBackAndAreNamed)
{
    MemorySettingsStore store;
    store.setRaw("Prefs", "SpreadFactor1", "1e300");
    store.setRaw("Prefs", "SpreadFactor2", "-0.5");
    store.setRaw("Prefs", "HueThreshold", "300");
    store.setRaw("SprayInfo", "Sample_Interval", "0");
    store.setRaw("Prefs", "CardSize", "2x76");
    ModuleState module;
    std::vector<std::string> reset;
    EXPECT_EQ(readPreferences(store, module, "", &reset).FoundCardSize, CardSize{});
    EXPECT_EQ(module.SpreadFactor[1], 0.56);
    EXPECT_EQ(module.SpreadFactor[2], -0.5);
    EXPECT_EQ(storedCardPositions(store, reset), (std::pair<std::string, std::string>{"-50", "10"}));
    // The settings table's first, in its order, then the module's.
    EXPECT_EQ(reset, (std::vector<std::string>{"Prefs/HueThreshold = 300", "Prefs/SpreadFactor1 = 1e300",
                                               "Prefs/CardSize = 2x76", "SprayInfo/Sample_Interval = 0"}));
    EXPECT_EQ(resetSettingsMessage({"Prefs/SpreadFactor1 = 1e300"}),
              "These settings held values Vexolin cannot use and were set back to their defaults:\r"
              "Prefs/SpreadFactor1 = 1e300");
    // A spacing too fine to part card 2 from card 1 at its place goes too.
    store.setRaw("SprayInfo", "Sample_Position1", "1000000");
    store.setRaw("SprayInfo", "Sample_Interval", "0.01");
    reset.clear();
    EXPECT_EQ(storedCardPositions(store, reset), (std::pair<std::string, std::string>{"1000000", "10"}));
    EXPECT_EQ(reset, std::vector<std::string>{"SprayInfo/Sample_Interval = 0.01"});
    // The preferences window refuses what the store would not keep.
    Preferences state;
    PrefsForm form = prefsFormFrom(state, module);
    form.Spread[0] = "5000";
    EXPECT_FALSE(acceptPrefs(form, state, module));
}

TEST(Settings, BooleansThatAreNeitherTrueNorFalseAreNamedLikeBadNumbers)
{
    MemorySettingsStore store;
    store.setRaw("Prefs", "SplitTouching", "maybe");
    store.setRaw("Prefs", "Metric", "Yes");
    store.setRaw("Prefs", "NaturalOrder", " true ");
    ModuleState module;
    std::vector<std::string> reset;
    const Preferences w = readPreferences(store, module, "", &reset);
    EXPECT_FALSE(w.Analysis.Scan.SplitTouching);
    EXPECT_TRUE(w.Analysis.NaturalOrder);
    EXPECT_EQ(reset, (std::vector<std::string>{"Prefs/SplitTouching = maybe", "Prefs/Metric = Yes"}));
}

TEST(SettingConversions, BooleansAcceptOnlyTrueAndFalse)
{
    EXPECT_EQ(settingToBool("True"), true);
    EXPECT_EQ(settingToBool("false"), false);
    EXPECT_EQ(settingToBool(" TRUE "), true);
    EXPECT_FALSE(settingToBool("Yes").has_value());
    EXPECT_FALSE(settingToBool("").has_value());
    EXPECT_FALSE(settingToBool("-1").has_value());
}

TEST(SettingConversions, DoublesRoundTripThroughTheirShortestText)
{
    for (double v : {0.56, 0.1, 1e-7, -0.00035, 123456.789, 0.0})
        EXPECT_EQ(settingToDouble(doubleSettingText(v)), v) << doubleSettingText(v);
    EXPECT_EQ(doubleSettingText(0.56), "0.56");
    EXPECT_EQ(settingToDouble(" 0.00 "), 0.0);
    EXPECT_FALSE(settingToDouble("0.5x").has_value());
    EXPECT_FALSE(settingToDouble("nan").has_value());
}

TEST(SettingConversions, IntegersRejectTrailingText)
{
    EXPECT_EQ(settingToInteger("600", 1, 32767), 600);
    EXPECT_EQ(settingToInteger("+600", 1, 32767), 600);
    EXPECT_FALSE(settingToInteger("600dpi", 1, 32767).has_value());
    EXPECT_FALSE(settingToInteger("6.5", 1, 32767).has_value());
}

} // namespace
} // namespace vex
