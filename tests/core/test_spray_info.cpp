#include "line/SprayInfoSettings.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(SprayInfo, KeysInTheirOrder)
{
    EXPECT_STREQ(sprayInfoKey(1), "AC_Type");
    EXPECT_STREQ(sprayInfoKey(12), "Sampler_Type");
    EXPECT_STREQ(sprayInfoKey(13), "Sample_Position1");
    EXPECT_STREQ(sprayInfoKey(14), "Sample_Interval");
    EXPECT_STREQ(sprayInfoKey(15), "Comment");
    EXPECT_STREQ(sprayInfoKey(16), "");
}

TEST(SprayInfo, PositionAndIntervalStartEmptyEveryRun)
{
    MemorySettingsStore store;
    for (int e = 1; e <= SprayInfoCount; ++e)
        store.setRaw("SprayInfo", sprayInfoKey(e), "v" + std::to_string(e));
    const SprayInfo info = readSprayInfo(store);
    EXPECT_EQ(info[AC_Type], "v1");
    EXPECT_EQ(info[Sampler_Type], "v12");
    EXPECT_EQ(info[Comment], "v15");
    EXPECT_EQ(info[Sample_Position1], "");
    EXPECT_EQ(info[Sample_Interval], "");
    EXPECT_EQ(store.values().at({"SprayInfo", "Sample_Position1"}), "v13") << "the stored value stays";
}

TEST(SprayInfo, SaveWritesAllFifteenEmptyOnesAsBlanks)
{
    MemorySettingsStore store;
    SprayInfo info;
    info[AC_Swath] = "24.5";
    EXPECT_TRUE(saveSprayInfo(store, info).ok());
    EXPECT_EQ(store.values().size(), 15u);
    EXPECT_EQ(store.values().at({"SprayInfo", "AC_Swath"}), "24.5");
    EXPECT_EQ(store.values().at({"SprayInfo", "Comment"}), " ");
}

} // namespace
} // namespace vex

#include "line/SprayInfoRules.h"

namespace vex {
namespace {

TEST(SprayInfoForm, BoxFormats)
{
    EXPECT_EQ(sprayCoefficientOnOpen(0.56), "0.56");
    EXPECT_EQ(sprayCoefficientOnOpen(0.0), "0.0");
    EXPECT_EQ(sprayCoefficientOnLeave("0.5"), "0.50");
    EXPECT_EQ(sprayCoefficientOnLeave("0.123456789"), "0.1234568");
    EXPECT_EQ(sprayCoefficientOnLeave("x1"), "x1");
    EXPECT_EQ(sampleBoxText("-50"), "-50.0");
    EXPECT_EQ(sampleBoxText("abc"), "abc");
    EXPECT_EQ(sampleBoxText(""), "");
}

TEST(SprayInfoForm, UnitCaptions)
{
    const std::array<std::string, 7> metric = {"m", "km/h", "m", "L/ha", "L/ha", "m", "m"};
    const std::array<std::string, 7> us = {"ft", "mph", "ft", "oz/ac", "oz/ac", "ft", "ft"};
    EXPECT_EQ(sprayUnitCaptions(true), metric);
    EXPECT_EQ(sprayUnitCaptions(false), us);
}

TEST(SprayInfoForm, ChecksInOrderWithTheFailingBox)
{
    using Box = SprayCheck::Box;
    EXPECT_TRUE(checkSprayInfo({"0", "0.56", "0"}, "-50", "10").ok());
    SprayCheck c = checkSprayInfo({"0", "", "0"}, "x", "0");
    EXPECT_EQ(c.Failing, Box::Spread1);
    EXPECT_EQ(c.Message, "Invalid Spread Factor value.");
    c = checkSprayInfo({"0", "1", "0"}, "x", "0");
    EXPECT_EQ(c.Failing, Box::SamplePosition);
    EXPECT_EQ(c.Message, "Invalid Sampler1 position.");
    c = checkSprayInfo({"0", "1", "0"}, "1", "ten");
    EXPECT_EQ(c.Failing, Box::SampleInterval);
    EXPECT_EQ(c.Message, "Invalid Sampler Interval value.");
    for (const char *zero : {"0", "0.0", "-0"})
        EXPECT_EQ(checkSprayInfo({"0", "1", "0"}, "1", zero).Message, "Invalid Sampler Interval value.");
    EXPECT_TRUE(checkSprayInfo({"0", "1", "0"}, "1", "-10").ok());
    EXPECT_EQ(checkSprayInfo({"0", "1", "0"}, "1000000", "0.01").Failing, Box::SampleInterval);
    // After "Reset Values" every box is empty: the spread factor fails first.
    EXPECT_EQ(checkSprayInfo({"", "", ""}, "", "").Failing, Box::Spread0);
}

} // namespace
} // namespace vex
