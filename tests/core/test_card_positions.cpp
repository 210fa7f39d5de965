#include "intake/CardLoading.h"
#include "line/CardPositions.h"
#include "line/SprayInfoSettings.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

CardList cards(int n)
{
    CardList list;
    for (int i = 0; i < n; ++i)
        list.add(newCardRecord("c" + std::to_string(i) + ".bmp", "/d/", 10, 10, 600));
    return list;
}

TEST(CardPositions, AssignedInLoadingOrder)
{
    CardList list = cards(4);
    SprayInfo spray;
    spray[Sample_Position1] = "-45.5";
    spray[Sample_Interval] = "10";
    assignCardPositions(list, spray);
    EXPECT_FLOAT_EQ(list[1].Position, -45.5f);
    EXPECT_FLOAT_EQ(list[4].Position, -15.5f);
    // After a card is removed the later ones move up a place.
    list.remove(2);
    assignCardPositions(list, spray);
    EXPECT_FLOAT_EQ(list[2].Position, -35.5f);
    // Texts that are not numbers count as 0.
    spray[Sample_Interval] = "";
    assignCardPositions(list, spray);
    EXPECT_FLOAT_EQ(list[3].Position, -45.5f);
}

TEST(CardPositions, FirstDuplicatePairIsFound)
{
    CardList list = cards(4);
    for (int i = 1; i <= 4; ++i)
        list[i].Position = static_cast<float>(i);
    EXPECT_FALSE(firstDuplicatePosition(list));
    list[4].Position = 2.0f;
    list[3].Position = 1.0f;
    const auto pair = firstDuplicatePosition(list);
    ASSERT_TRUE(pair);
    EXPECT_EQ(pair->first, 1);
    EXPECT_EQ(pair->second, 3);
}

TEST(CardPosWindow, OpensWithMemoryThenStoreThenDefaults)
{
    MemorySettingsStore store;
    SprayInfo spray;
    CardPosValues v = cardPosOpening(spray, store);
    EXPECT_FLOAT_EQ(v.Position1, -50.0f);
    EXPECT_FLOAT_EQ(v.Spacing, 10.0f);
    store.setRaw(SprayInfoSection, "Sample_Position1", "-30");
    store.setRaw(SprayInfoSection, "Sample_Interval", "7.5");
    v = cardPosOpening(spray, store);
    EXPECT_FLOAT_EQ(v.Position1, -30.0f);
    EXPECT_FLOAT_EQ(v.Spacing, 7.5f);
    spray[Sample_Position1] = "-12";
    v = cardPosOpening(spray, store);
    EXPECT_FLOAT_EQ(v.Position1, -12.0f);
    EXPECT_FLOAT_EQ(v.Spacing, 7.5f);
}

TEST(CardPosWindow, WholeNumbersWhenBothTextsEndInZero)
{
    EXPECT_EQ(positionDecimals("-50.0", "10.0"), 0);
    EXPECT_EQ(positionDecimals("-45.5", "10.0"), 1);
    EXPECT_EQ(positionDecimals("-50.0", "2.5"), 1);
    EXPECT_EQ(positionDecimals("", "10"), 1);
    const CardPosValues whole{-50.0f, 10.0f};
    EXPECT_EQ(cardPositionText(whole, 1, 0), "-50");
    EXPECT_EQ(cardPositionText(whole, 2, 0), "-40");
    const CardPosValues half{-45.5f, 10.0f};
    EXPECT_EQ(cardPositionText(half, 2, 1), "-35.5");
}

TEST(CardPosWindow, BadEntriesGiveTheCurrentValueBack)
{
    float position = -50.0f;
    EXPECT_EQ(editPositionBox("abc", position, false), "-50.0");
    EXPECT_EQ(editPositionBox("", position, false), "-50.0");
    EXPECT_EQ(editPositionBox("-42", position, false), "-42");
    EXPECT_FLOAT_EQ(position, -42.0f);
    float spacing = 10.0f;
    EXPECT_EQ(editPositionBox("-5", spacing, true), "10.0");
    EXPECT_EQ(editPositionBox("0", spacing, true), "10.0");
    EXPECT_FLOAT_EQ(spacing, 10.0f);
    EXPECT_EQ(editPositionBox("2.5", spacing, true), "2.5");
    EXPECT_FLOAT_EQ(spacing, 2.5f);
    EXPECT_EQ(editPositionBox("1e60", spacing, true), "2.5"); // beyond single precision
}

} // namespace
} // namespace vex
