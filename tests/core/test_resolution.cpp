#include "intake/CardLoading.h"
#include "intake/Resolution.h"
#include "line/StaleFigures.h"
#include "model/CardGeometry.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

CardList threeCards(bool firstScanned)
{
    CardList cards;
    for (const char *n : {"a.bmp", "b.bmp", "c.bmp"})
        cards.add(newCardRecord(n, "/d", 1000, 500, 1200));
    cards[1].Scanned = firstScanned;
    return cards;
}

TEST(ResolutionEntry, OnlyPositiveNumbersAreTaken)
{
    EXPECT_EQ(parseResolutionEntry("600"), 600);
    EXPECT_EQ(parseResolutionEntry(" 600 "), 600);
    EXPECT_EQ(parseResolutionEntry("599.9"), 599);
    EXPECT_FALSE(parseResolutionEntry("0").has_value());
    EXPECT_FALSE(parseResolutionEntry("0.5").has_value());
    EXPECT_FALSE(parseResolutionEntry("-600").has_value());
    EXPECT_FALSE(parseResolutionEntry("six").has_value());
    EXPECT_FALSE(parseResolutionEntry("").has_value());
    EXPECT_FALSE(parseResolutionEntry("40000").has_value());
}

TEST(ResolutionGrid, ChangingAScannedCardMarksItAndTheFlagStays)
{
    CardList cards = threeCards(true);
    ResolutionGrid grid(cards);
    EXPECT_EQ(grid.text(0), "1200");
    EXPECT_TRUE(grid.enter(0, "600"));
    EXPECT_TRUE(grid.changed(0));
    EXPECT_TRUE(grid.anyChanged());
    EXPECT_TRUE(grid.enter(0, "1200"));
    EXPECT_FALSE(grid.changed(0));
    EXPECT_TRUE(grid.anyChanged());
    EXPECT_TRUE(grid.cardsToReanalyse().empty());
}

TEST(ResolutionGrid, UnscannedCardsNeverAsk)
{
    CardList cards = threeCards(false);
    ResolutionGrid grid(cards);
    EXPECT_TRUE(grid.enter(1, "600"));
    EXPECT_FALSE(grid.changed(1));
    EXPECT_FALSE(grid.anyChanged());
}

TEST(ResolutionGrid, BadEntriesLeaveTheCell)
{
    CardList cards = threeCards(true);
    ResolutionGrid grid(cards);
    for (const char *bad : {"0", "-5", "abc"}) {
        EXPECT_FALSE(grid.enter(0, bad));
        EXPECT_EQ(grid.text(0), "1200");
        EXPECT_FALSE(grid.anyChanged());
    }
}

TEST(ResolutionGrid, ApplyToAllMarksScannedCardsThatDiffer)
{
    CardList cards = threeCards(true);
    cards[3].Scanned = true;
    cards[3].Resolution = 600;
    ResolutionGrid grid(cards);
    ASSERT_TRUE(grid.enter(1, "600"));
    ASSERT_TRUE(grid.applyToAll(1));
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(grid.text(r), "600");
    EXPECT_TRUE(grid.changed(0));
    EXPECT_FALSE(grid.changed(1)); // not scanned
    EXPECT_FALSE(grid.changed(2)); // already at 600
    EXPECT_EQ(grid.cardsToReanalyse(), std::vector<int>{1});
}

TEST(ResolutionGrid, AcceptSetsEveryCard)
{
    CardList cards = threeCards(false);
    ResolutionGrid grid(cards);
    grid.enter(2, "600");
    ResolutionGrid untouched(cards);
    EXPECT_EQ(cards[3].Resolution, 1200) << "the cards change only on accept";
    grid.accept(cards);
    EXPECT_EQ(cards[3].Resolution, 600);
    EXPECT_NEAR(cards[3].PixelSizeX, 1e6 / (600 * 12 * 3.2808), 1e-9);
    EXPECT_EQ(cards[3].PixelSizeY, cards[3].PixelSizeX);
    EXPECT_NEAR(cards[3].CardArea, 8.960773, 1e-6);
    EXPECT_EQ(cards[1].Resolution, 1200);
}

TEST(CardInfo, MetricAndImperialTexts)
{
    const CardRecord card = newCardRecord("a.bmp", "/d", 1000, 500, 600);
    const CardInfoTexts m = cardInfoTexts(card, true);
    EXPECT_EQ(m.Resolution1, "42.3 \u00b5m/pixel");
    EXPECT_EQ(m.Resolution2, "600 d.p.i.");
    EXPECT_EQ(m.Size1, "1000\u00d7500 pixels");
    EXPECT_EQ(m.Size2, "4.23\u00d72.12 cm");
    EXPECT_EQ(m.Area, "8.96 cm \u00b2");
    const CardInfoTexts i = cardInfoTexts(card, false);
    EXPECT_EQ(i.Size2, "1.67\u00d70.83 inches");
    EXPECT_EQ(i.Area, "1.39 inches \u00b2");
}

TEST(StaleFigures, NameTheSettingsChangedSinceTheScanAndTheResolutionTheFileRecords)
{
    CardRecord card = newCardRecord("a.bmp", "/d", 1000, 500, 1200);
    card.RecordedResolution = 600;
    AnalysisSettings now;
    EXPECT_EQ(cardTabNote(card, now).Tooltip, "file records 600 dpi, set to 1200 dpi");
    card.Scanned = true;
    noteFiguresBasis(card, now);
    EXPECT_EQ(staleFiguresText(card, now), "");
    // The resolution put right without a new scan: the figures stay those of 1200 dpi.
    applyResolution(card, 600);
    EXPECT_EQ(resolutionMismatchText(card), "file records 600 dpi, analysed at 1200 dpi");
    now.Scan.HueLow = 150;
    now.Scan.ShapeThreshold = 90;
    now.Scan.SplitTouching = true;
    now.Spread[1] = 0.5;
    EXPECT_EQ(staleFiguresText(card, now), "figures from 1200 dpi, hues 0 to 255, roundness 100, touching stains not "
                                           "cut apart, spread factor 0, 0.56, 0: scan again");
    EXPECT_EQ(cardTabNote(card, now).Tooltip,
              "file records 600 dpi, analysed at 1200 dpi\n" + staleFiguresText(card, now));
    noteFiguresBasis(card, now);
    EXPECT_FALSE(cardTabNote(card, now).Marked);
    // Figures opened from a trial are taken as made under its settings.
    CardList opened;
    opened[opened.add(card)].Basis = {};
    now.Scan.HueThreshold = 5;
    EXPECT_EQ(staleFiguresText(opened[1], now), "");
    noteOpenedFigures(opened, now);
    now.Scan.HueInvert = true;
    EXPECT_EQ(staleFiguresText(opened[1], now), "figures from hues 150 to 255: scan again");
    EXPECT_EQ(staleLineText(opened, now), "figures of 1 card from other settings: scan again");
}

} // namespace
} // namespace vex
