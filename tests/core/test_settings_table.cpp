#include "app/Batch.h"
#include "line/SettingsTable.h"
#include "support/TempFolder.h"
#include "trial/TrialFile.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vex {
namespace {

// A sound value other than the default, as the user gives it.
double otherValue(const SettingDecl &d)
{
    if (d.Kind == SettingKind::Flag)
        return d.Default != 0.0 ? 0.0 : 1.0;
    const double v = d.Low + (d.High - d.Low) / 4.0;
    return d.Kind == SettingKind::Whole ? std::round(v) : v;
}

TEST(SettingsTable, EveryEntryRoundTripsThroughTheSettingsFileTheTrialAndTheBatchOptions)
{
    AnalysisSettings changed;
    std::vector<std::string> args;
    for (const SettingDecl &d : settingsTable()) {
        ASSERT_NE(otherValue(d), d.Default) << d.Name;
        d.setUserValue(changed, otherValue(d));
        if (d.Kind == SettingKind::Flag && d.Option)
            args.emplace_back(otherValue(d) != 0.0 ? d.Option : d.Negation);
        else if (d.Option)
            args.push_back(std::string(d.Option) + "=" +
                           (d.Kind == SettingKind::Whole ? std::to_string(std::llround(otherValue(d)))
                                                         : doubleSettingText(otherValue(d))));
    }
    MemorySettingsStore store;
    ASSERT_TRUE(writeTableSettings(store, changed).ok());
    AnalysisSettings read;
    std::vector<std::string> reset;
    readTableSettings(store, read, reset);
    EXPECT_TRUE(reset.empty());

    test::TempFolder folder;
    Trial trial;
    trial.Settings = changed;
    trial.Passes.resize(1);
    const std::string path = (folder.path() / "t.vexolin").string();
    ASSERT_TRUE(saveTrial(path, trial).ok());
    const Result<Trial> opened = openTrial(path);
    ASSERT_TRUE(opened.ok()) << opened.reason();

    args.emplace_back("card.bmp");
    const BatchArguments parsed = parseBatchArguments(args);
    ASSERT_EQ(parsed.What, BatchArguments::Kind::Run) << parsed.Error;
    for (const SettingDecl &d : settingsTable()) {
        if (d.InFile) {
            EXPECT_EQ(d.userValue(read), otherValue(d)) << d.Name;
        }
        if (d.Column) {
            EXPECT_EQ(d.userValue(opened->Settings), otherValue(d)) << d.Name;
        }
        if (d.Option) {
            EXPECT_EQ(parsed.Options.setting(d.Name), otherValue(d)) << d.Name;
        }
    }
}

TEST(SettingsTable, ValuesOutOfRangeAreRefusedNamingTheSettingAndItsRange)
{
    MemorySettingsStore store;
    std::vector<std::string> expected;
    for (const SettingDecl &d : settingsTable()) {
        if (d.Kind == SettingKind::Flag)
            continue;
        const double beyond = d.Kind == SettingKind::Whole ? d.High + 1 : d.High * 2 + 1;
        const std::string text =
            d.Kind == SettingKind::Whole ? std::to_string(std::llround(beyond)) : doubleSettingText(beyond);
        if (d.InFile) {
            store.setRaw(PrefsSection, d.Name, text);
            expected.push_back(std::string(PrefsSection) + "/" + d.Name + " = " + text);
        }
        if (d.Option) {
            const BatchArguments r = parseBatchArguments({d.Option, text, "a.bmp"});
            EXPECT_EQ(r.Error, std::string(d.Option) + " must be " + d.mustBe());
        }
        EXPECT_FALSE(settingFromField(d, text)) << d.Name;
    }
    AnalysisSettings read;
    read.Resolution = 5;
    std::vector<std::string> reset;
    readTableSettings(store, read, reset);
    EXPECT_EQ(reset, expected);
    EXPECT_EQ(read, AnalysisSettings());
}

} // namespace
} // namespace vex
