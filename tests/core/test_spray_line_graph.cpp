#include "intake/CardLoading.h"
#include "line/SprayLineGraph.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(NiceTickStep, QuarterHalfOneOrTwoPowersOfTen)
{
    EXPECT_DOUBLE_EQ(niceTickStep(1.1f), 0.25);
    // 0.33 is 3.3 x 0.1: from 3 up to 6 the step is the power of ten itself.
    EXPECT_NEAR(niceTickStep(0.33f), 0.1, 1e-12);
    EXPECT_NEAR(niceTickStep(0.29f), 0.05, 1e-12);
    EXPECT_DOUBLE_EQ(niceTickStep(250.0f), 50.0);
    EXPECT_DOUBLE_EQ(niceTickStep(700.0f), 200.0);
    for (const double p : {0.01, 1.0, 100.0, 10000.0}) {
        EXPECT_NEAR(niceTickStep(static_cast<float>(1.5 * p)), 0.5 * p, 1e-9 * p) << p;
        EXPECT_NEAR(niceTickStep(static_cast<float>(6.0 * p)), 2.0 * p, 1e-9 * p) << p;
        EXPECT_NEAR(niceTickStep(static_cast<float>(p)), 0.25 * p, 1e-9 * p) << p;
    }
    EXPECT_DOUBLE_EQ(niceTickStep(0.0f), 1.0);
}

TEST(SprayLineLabels, TickTexts)
{
    EXPECT_EQ(tickLabel(50.0, 50.0, false), "50");
    EXPECT_EQ(tickLabel(0.25, 0.25, false), "0.25");
    EXPECT_EQ(tickLabel(0.5, 0.25, false), "0.5");
    EXPECT_EQ(tickLabel(2.0, 0.5, true), "2.0");
    EXPECT_EQ(tickLabel(2.0, 1.0, true), "2");
}

CardList cardsAt(const std::vector<float> &positions)
{
    CardList cards;
    for (const float p : positions) {
        CardRecord c = newCardRecord("c.bmp", "/d/", 10, 10, 600);
        c.Position = p;
        c.Scanned = true;
        cards.add(c);
    }
    return cards;
}

TEST(SprayLineScaleTest, ZeroStaysInsideAndMarginsAreATenth)
{
    const CardList negative = cardsAt({-50, -40, -30});
    const std::vector<CardStat> stats(4);
    const SprayLineScale s = sprayLineScale(negative, stats, 0.0f, 0.1f);
    EXPECT_DOUBLE_EQ(s.PMin, -50.0);
    EXPECT_DOUBLE_EQ(s.PMax, 0.0);
    EXPECT_DOUBLE_EQ(s.Range, 50.0);
    EXPECT_DOUBLE_EQ(s.Left, -55.0);
    EXPECT_DOUBLE_EQ(s.Width, 60.0);
}

TEST(SprayLineScaleTest, MaximaFollowTheCardsAndTheFirstCardsRangeFigures)
{
    CardList cards = cardsAt({0, 10});
    cards[1].DropDensity = 5.0;
    cards[1].VolumeDensity = 10.0;
    cards[2].DropDensity = 8.0;
    cards[2].VolumeDensity = 30.0;
    std::vector<CardStat> stats = {{}, {300.0, 12.0, 40.0}, {250.0, 1.0, 1.0}};
    const SprayLineScale s = sprayLineScale(cards, stats, 200.0f, 0.1f);
    EXPECT_FLOAT_EQ(s.M1, 330.0f);
    EXPECT_FLOAT_EQ(s.M2, 13.2f);
    EXPECT_FLOAT_EQ(s.M3, static_cast<float>(1.1 * 0.1f * 40.0));
}

TEST(SprayLineLabels, EveryKthPositionForLongLines)
{
    EXPECT_EQ(positionLabelEvery(25, 48, 2), 1);
    EXPECT_EQ(positionLabelEvery(30, 58, 2), 2);
    EXPECT_EQ(positionLabelEvery(100, 990, 10), 9);
    EXPECT_EQ(positionLabelEvery(30, 58, 0), 1);
}

TEST(SprayLineLabels, CardLabelSize)
{
    const LabelSize wide = cardLabelSize(100, 5, 5.0); // 100 px per card
    EXPECT_EQ(wide.Width, 20);
    EXPECT_EQ(wide.Height, 25);
    const LabelSize narrow = cardLabelSize(100, 50, 6.5); // 13 px per card
    EXPECT_EQ(narrow.Width, 10);
    EXPECT_EQ(narrow.Height, 12); // 12.5 to the even
}

TEST(SprayLineReadOut, TextsPointsAndSide)
{
    CardList cards = cardsAt({-20, 0, 20});
    cards[2].FileTitle = "mid.bmp";
    std::vector<CardStat> stats = {{}, {100, 1, 1}, {200.0, 4.5, 30.0}, {100, 1, 1}};
    SprayLineScale scale;
    scale.M1 = 400.0f;
    scale.M2 = 9.0f;
    scale.M3 = 6.0f;
    const CardReadOut r = cardReadOut(cards, stats, scale, 2, 0.1f, "L/ha");
    EXPECT_DOUBLE_EQ(r.X, 0.0);
    EXPECT_DOUBLE_EQ(r.Y[0], 2.5);
    EXPECT_DOUBLE_EQ(r.Y[1], 1.5);
    EXPECT_NEAR(r.Y[2], 0.5, 1e-7);
    EXPECT_FALSE(r.RightSide); // at the middle of the line: to the left
    EXPECT_EQ(r.Caption, "Quarrow Vexolin -- mid.bmp");
    EXPECT_EQ(r.Texts[0], " 200.00 \u00b5m ");
    EXPECT_EQ(r.Texts[1], " 4.50 drops/cm\u00b2 ");
    EXPECT_EQ(r.Texts[2], " 3.00 L/ha ");
    EXPECT_TRUE(cardReadOut(cards, stats, scale, 1, 0.1f, "L/ha").RightSide);
}

} // namespace
} // namespace vex
