#include "app/AppState.h"
#include "model/CardGeometry.h"

#include "model/Units.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

// Values worked out by hand from the foot of 3.2808 m^-1; the exact inch
// (25400/dpi) differs in the fifth digit, which is what these tests guard.
TEST(CardGeometry, PixelSizeUsesTheFootOf3Point2808)
{
    EXPECT_NEAR(pixelSizeMicrons(600), 42.333848112926, 1e-9);
    EXPECT_NEAR(pixelSizeMicrons(1200), 21.166924056463, 1e-9);
    EXPECT_NEAR(pixelSizeMicrons(2000), 12.700154433878, 1e-9);
    EXPECT_GT(pixelSizeMicrons(600) - 25400.0 / 600, 4e-4);
}

TEST(CardGeometry, CardAreaOfA1000By500Image)
{
    CardRecord card;
    card.ImageWidth = 1000;
    card.ImageHeight = 500;
    applyResolution(card, 600);
    EXPECT_EQ(card.Resolution, 600);
    EXPECT_EQ(card.PixelSizeX, card.PixelSizeY);
    EXPECT_NEAR(card.CardArea, 8.960773480242, 1e-9);
    applyResolution(card, 1200);
    EXPECT_NEAR(card.CardArea, 2.240193370060, 1e-9);
    applyResolution(card, 2000);
    EXPECT_NEAR(card.CardArea, 0.806469613222, 1e-9);
}

TEST(CardGeometry, WideImagesDoNotOverflow)
{
    EXPECT_NEAR(cardAreaCm2(60000, 60000, 10.0, 10.0), 3600.0, 1e-6);
}

TEST(HueColour, RunBoundaries)
{
    const auto t = buildHueColour();
    EXPECT_EQ(t[0], (Rgb{255, 0, 0}));
    EXPECT_EQ(t[41], (Rgb{255, 246, 0}));
    EXPECT_EQ(t[42], (Rgb{255, 255, 0})); // 256 taken as full
    EXPECT_EQ(t[83], (Rgb{10, 255, 0}));
    EXPECT_EQ(t[84], (Rgb{0, 255, 0}));
    EXPECT_EQ(t[126], (Rgb{0, 255, 255}));
    EXPECT_EQ(t[168], (Rgb{0, 0, 255}));
    EXPECT_EQ(t[210], (Rgb{255, 0, 255}));
    EXPECT_EQ(t[251], (Rgb{255, 0, 10}));
    EXPECT_EQ(t[252], (Rgb{255, 0, 0}));
    EXPECT_EQ(t[256], (Rgb{255, 0, 0}));
}

TEST(HueColour, EveryHueHasAColourToShow)
{
    for (const Rgb &c : buildHueColour())
        EXPECT_TRUE(c.Red > 0 || c.Green > 0 || c.Blue > 0);
}

CardRecord named(const std::string &title)
{
    CardRecord c;
    c.FileTitle = title;
    return c;
}

TEST(CardList, IndicesAreOneBasedAndRemovalShiftsDown)
{
    CardList cards;
    EXPECT_EQ(cards.count(), 0);
    EXPECT_EQ(cards.add(named("a")), 1);
    EXPECT_EQ(cards.add(named("b")), 2);
    EXPECT_EQ(cards.add(named("c")), 3);
    cards.remove(1);
    ASSERT_EQ(cards.count(), 2);
    EXPECT_EQ(cards[1].FileTitle, "b");
    EXPECT_EQ(cards[2].FileTitle, "c");
    cards.remove(7); // out of range: nothing happens
    EXPECT_EQ(cards.count(), 2);
    EXPECT_THROW((void)cards[3], std::out_of_range);
}

TEST(CardList, CurrentCardAfterClosing)
{
    EXPECT_EQ(currentAfterClose(3, 2), 2); // last of three
    EXPECT_EQ(currentAfterClose(1, 2), 1); // first of three: former card 2
    EXPECT_EQ(currentAfterClose(2, 2), 2);
    EXPECT_EQ(currentAfterClose(1, 0), 1); // nothing left
}

TEST(CardList, NextAndPreviousWrapAround)
{
    EXPECT_EQ(nextCard(3, 3), 1);
    EXPECT_EQ(nextCard(1, 3), 2);
    EXPECT_EQ(previousCard(1, 3), 3);
    EXPECT_EQ(previousCard(2, 3), 1);
    EXPECT_EQ(nextCard(1, 1), 1);
    EXPECT_EQ(previousCard(1, 0), 1);
}

TEST(CardList, MaxScannedDiameterIgnoresUnscannedCards)
{
    CardList cards;
    EXPECT_EQ(maxScannedDiameter(cards), 0.0f);
    CardRecord a = named("a");
    a.Scanned = true;
    a.LargestDiameter = 310.5f;
    CardRecord b = named("b");
    b.LargestDiameter = 900.0f; // not scanned
    CardRecord c = named("c");
    c.Scanned = true;
    c.LargestDiameter = 120.0f;
    cards.add(a);
    cards.add(b);
    cards.add(c);
    EXPECT_EQ(maxScannedDiameter(cards), 310.5f);
}

TEST(Units, RateFactorsAndUnits)
{
    EXPECT_EQ(rateFactor(false), 1.368f);
    EXPECT_STREQ(rateUnit(false), "oz/ac");
    EXPECT_EQ(rateFactor(true), 0.1f);
    EXPECT_STREQ(rateUnit(true), "L/ha");
}

} // namespace
} // namespace vex
