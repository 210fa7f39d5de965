#include "app/Preferences.h"
#include "text/NumberText.h"

#include "support/CommaLocale.h"
#include "support/TempFolder.h"
#include "text/WholeFile.h"

#include <cstring>

#include <gtest/gtest.h>

namespace vex {
namespace {

const std::string Micro = "\u00b5";

TEST(PrefsNumbers, ReadWithAPointUnderACommaLocale)
{
    const test::CommaLocale comma;
    ASSERT_TRUE(comma.active()) << test::CommaLocaleName << " is missing: tools/deps.sh generates it";
    EXPECT_EQ(parseNumber("7.5"), 7.5);
    EXPECT_EQ(parseNumber("+0.56"), 0.56);
    EXPECT_EQ(formatFixed(252.5, 1), "252.5");
}

TEST(PrefsNumbers, WhatCountsAsANumber)
{
    EXPECT_EQ(parseNumber("1200"), 1200.0);
    EXPECT_EQ(parseNumber(" 0.56 "), 0.56);
    EXPECT_EQ(parseNumber("-.5"), -0.5);
    EXPECT_EQ(parseNumber("5."), 5.0);
    EXPECT_EQ(parseNumber("1e3"), 1000.0);
    for (const char *bad : {"", " ", "-", ".", "1.2.3", "12a", "e5", "1e", "--1", "1 2"})
        EXPECT_FALSE(parseNumber(bad)) << bad;
}

TEST(PrefsResolution, ReadOutOfThePixelSize)
{
    EXPECT_EQ(conversionLabelText("2000"), "= 12.70 " + Micro + "m/pixel");
    EXPECT_EQ(conversionLabelText("1200"), "= 21.17 " + Micro + "m/pixel");
    EXPECT_EQ(conversionLabelText("32500"), "= 0.78 " + Micro + "m/pixel");
    for (const char *none : {"40000", "32501", "0", "0.4", "abc", ""})
        EXPECT_EQ(conversionLabelText(none), "=") << none;
    // Far beyond any integer type: still only "=".
    EXPECT_EQ(conversionLabelText("1e300"), "=");
}

TEST(PrefsBoxes, CoefficientsShowTwoToTwelveDecimals)
{
    EXPECT_EQ(formatCoefficient(0.56), "0.56");
    EXPECT_EQ(formatCoefficient(0.0), "0.00");
    EXPECT_EQ(formatCoefficient(1.5), "1.50");
    EXPECT_EQ(formatCoefficient(0.000123456789012345), "0.000123456789");
    EXPECT_EQ(formatCoefficient(-2.0), "-2.00");
}

TEST(PrefsBoxes, LeavingRestoresOrLimits)
{
    EXPECT_EQ(coefficientOnLeave("abc", 0.56), "0.56");
    EXPECT_EQ(coefficientOnLeave("-", 1.0), "1.00");
    EXPECT_EQ(coefficientOnLeave("0.7", 0.56), "0.7");
    EXPECT_EQ(thresholdOnLeave("150", 20), "150"); // for Accept to refuse, not cut to 100
    EXPECT_EQ(thresholdOnLeave("", 20), "20");
    EXPECT_EQ(thresholdOnLeave("55", 20), "55");
}

KeyEdit key(const std::string &text, int caret, char32_t c, bool decimal = true, bool minus = true, int selected = 0)
{
    return numericKey(text, caret, selected, c, decimal, minus);
}

TEST(NumericKeys, DigitsPassAndEverythingElseIsDiscarded)
{
    for (char32_t c = U'0'; c <= U'9'; ++c)
        EXPECT_EQ(key("12", 2, c, false, false).What, KeyEdit::Kind::Pass);
    for (const char32_t c : {U'a', U' ', U'+', U'e', U'\b', U'\u00b5'})
        EXPECT_EQ(key("12", 2, c).What, KeyEdit::Kind::Discard) << static_cast<int>(c);
}

TEST(NumericKeys, PointOnlyOnceAndOnlyWhereAllowed)
{
    EXPECT_EQ(key("12", 1, U'.').What, KeyEdit::Kind::Pass);
    EXPECT_EQ(key("0.56", 4, U'.').What, KeyEdit::Kind::Discard);
    EXPECT_EQ(key("12", 1, U'.', false).What, KeyEdit::Kind::Discard);
    // The point inside the selection is typed over, so a new one may come.
    EXPECT_EQ(key("0.56", 1, U'.', true, true, 2).What, KeyEdit::Kind::Pass);
    EXPECT_EQ(key("0.56", 0, U'.', true, true, 1).What, KeyEdit::Kind::Discard);
    // A comma locale's keyboard types ',': the box takes it as the point.
    const KeyEdit comma = key("7", 1, U',');
    EXPECT_EQ(comma.What, KeyEdit::Kind::Replace);
    EXPECT_EQ(comma.Text, "7.");
    EXPECT_EQ(comma.Caret, 2);
    EXPECT_EQ(key("7.5", 3, U',').What, KeyEdit::Kind::Discard);
}

TEST(NumericKeys, MinusTogglesALeadingSignAndTheCaretStaysOnItsDigit)
{
    const KeyEdit once = key("0.56", 2, U'-');
    ASSERT_EQ(once.What, KeyEdit::Kind::Replace);
    EXPECT_EQ(once.Text, "-0.56");
    EXPECT_EQ(once.Caret, 3);
    const KeyEdit twice = key(once.Text, once.Caret, U'-');
    ASSERT_EQ(twice.What, KeyEdit::Kind::Replace);
    EXPECT_EQ(twice.Text, "0.56");
    EXPECT_EQ(twice.Caret, 2);
    EXPECT_EQ(key("-5", 0, U'-').Caret, 0);
    EXPECT_EQ(key("12", 1, U'-', true, false).What, KeyEdit::Kind::Discard);
    // Typing "-40" over the whole of "-50.0" gives "-40", not "4050.0".
    const KeyEdit over = key("-50.0", 0, U'-', true, true, 5);
    EXPECT_EQ(over.Text, "-");
    EXPECT_EQ(over.Caret, 1);
}

TEST(PrefsAccept, TakesEveryValueOver)
{
    Preferences state;
    ModuleState module;
    PrefsForm f = prefsFormFrom(state, module);
    EXPECT_EQ(f.Resolution, "1200");
    EXPECT_EQ(f.Spread[1], "0.56");
    f.Resolution = "1000";
    f.Spread[0] = "1.5";
    f.Spread[2] = "-0.001";
    f.Roundness = "40";
    f.Hues = "55";
    f.Numbers["DenseCoveragePercent"] = "35";
    f.Flags["ReduceColours"] = true;
    f.Metric = false;
    f.Log = false;
    f.Append = true;
    f.LogSprayInfo = true;
    ASSERT_TRUE(acceptPrefs(f, state, module));
    EXPECT_EQ(state.Analysis.Resolution, 1000);
    EXPECT_EQ(module.SpreadFactor[0], 1.5);
    EXPECT_EQ(module.SpreadFactor[2], -0.001);
    EXPECT_EQ(state.Analysis.Scan.ShapeThreshold, 40);
    EXPECT_EQ(state.Analysis.Scan.HueThreshold, 55);
    EXPECT_DOUBLE_EQ(state.Analysis.DenseCoverage, 0.35);
    EXPECT_TRUE(state.Analysis.Intake.ReduceColours);
    EXPECT_FALSE(module.Metric);
    EXPECT_FALSE(state.Analysis.Log);
    EXPECT_TRUE(state.Analysis.Append);
    EXPECT_TRUE(state.Analysis.LogSprayInfo);
    EXPECT_EQ(prefsFormFrom(state, module).Resolution, "1000");
}

TEST(PrefsAccept, StopsAtTheFirstBadValueKeepingWhatCameBefore)
{
    Preferences state;
    ModuleState module;
    PrefsForm f = prefsFormFrom(state, module);
    f.Metric = false;
    f.Log = false;
    f.Spread[0] = "2";
    f.Spread[1] = "x";
    f.Roundness = "10";
    EXPECT_FALSE(acceptPrefs(f, state, module));
    EXPECT_FALSE(module.Metric);      // before the error
    EXPECT_FALSE(state.Analysis.Log); // before the error
    EXPECT_EQ(module.SpreadFactor[0], 2.0);
    EXPECT_EQ(module.SpreadFactor[1], 0.56);            // the bad one
    EXPECT_EQ(state.Analysis.Scan.ShapeThreshold, 100); // after it
}

TEST(PrefsAccept, ResolutionMustBeAWholeNumberFrom1To32767)
{
    Preferences state;
    ModuleState module;
    PrefsForm f = prefsFormFrom(state, module);
    for (const char *bad : {"32768", "0", "-5", "abc", ""}) {
        f.Resolution = bad;
        EXPECT_FALSE(acceptPrefs(f, state, module)) << bad;
        EXPECT_EQ(state.Analysis.Resolution, 1200) << bad;
    }
    f.Resolution = "32767";
    EXPECT_TRUE(acceptPrefs(f, state, module));
    EXPECT_EQ(state.Analysis.Resolution, 32767);
    // Halves go to the even neighbour, as the program's conversions always did.
    f.Resolution = "600.5";
    EXPECT_TRUE(acceptPrefs(f, state, module));
    EXPECT_EQ(state.Analysis.Resolution, 600);
}

TEST(PrefsAccept, ThresholdsAboveAByteAreInvalid)
{
    Preferences state;
    ModuleState module;
    PrefsForm f = prefsFormFrom(state, module);
    f.Hues = "101";
    EXPECT_FALSE(acceptPrefs(f, state, module));
    f.Hues = "100";
    EXPECT_TRUE(acceptPrefs(f, state, module));
    EXPECT_EQ(state.Analysis.Scan.HueThreshold, 100);
    // A share of the card: 1 to 100 %.
    // The settings table's fields name themselves and their range.
    for (const char *dense : {"0", "101", "x"}) {
        f.Numbers["DenseCoveragePercent"] = dense;
        std::string why;
        EXPECT_FALSE(acceptPrefs(f, state, module, &why)) << dense;
        EXPECT_EQ(why, "Dense coverage must be a whole number from 1 to 100.");
    }
}

TEST(PrefsAccept, ARefusalNamesTheFieldAndItsRange)
{
    const char *const cases[][3] = {
        {"ResCombo", "-7", "Default Resolution must be a number of dots per inch from 1 to 32767."},
        {"SpreadText1", "200", "Spread Factor (D coefficient) must be a number from -100 to 100."},
        {"txtRoundness", "-7", "Roundness must be a whole number from 0 to 100."},
        {"txtHues", "1.5", "% Valid Hues must be a whole number from 0 to 100."},
        {"txtDenseCoverage", "-7", "Dense coverage must be a whole number from 1 to 100."},
        {"txtDensityTargetLow", "40", "Density target from must not lie above Density target to."},
        {"QualityTableText", "", ": Spray quality table, line 2: bounds must rise from class to class."}};
    const test::TempFolder folder;
    const std::string table = folder.file("classes.csv");
    ASSERT_TRUE(writeWholeFile(table, "F,0,0\nM,0,100\n").ok());
    for (const auto &[field, typed, message] : cases) {
        Preferences state;
        ModuleState module;
        PrefsForm f = prefsFormFrom(state, module);
        const std::map<std::string, std::string *> box{{"ResCombo", &f.Resolution},
                                                       {"SpreadText1", &f.Spread[1]},
                                                       {"txtRoundness", &f.Roundness},
                                                       {"txtHues", &f.Hues},
                                                       {"txtDenseCoverage", &f.Numbers["DenseCoveragePercent"]},
                                                       {"txtDensityTargetLow", &f.Numbers["DensityTargetLow"]},
                                                       {"QualityTableText", &f.QualityTable}};
        *box.at(field) = field == std::string("QualityTableText") ? table : typed;
        f.Numbers["DensityTargetHigh"] = "30";
        std::string why, named;
        EXPECT_FALSE(acceptPrefs(f, state, module, &why, &named)) << field;
        EXPECT_EQ(why.substr(why.size() - std::min(why.size(), std::strlen(message))), message);
        EXPECT_EQ(named, field);
    }
}

} // namespace
} // namespace vex
