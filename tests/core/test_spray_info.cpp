#include "line/SprayInfo.h"

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
    const SprayInfo info = ReadSprayInfo(store);
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
    EXPECT_TRUE(SaveSprayInfo(store, info).empty());
    EXPECT_EQ(store.values().size(), 15u);
    EXPECT_EQ(store.values().at({"SprayInfo", "AC_Swath"}), "24.5");
    EXPECT_EQ(store.values().at({"SprayInfo", "Comment"}), " ");
}

} // namespace
} // namespace vex
