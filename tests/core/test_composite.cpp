#include "analysis/DropStatistics.h"
#include "intake/CardLoading.h"
#include "line/Composite.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace vex {

namespace {

// A scanned card whose classes have the given drop diameters and counts;
// its totals are what a scan would have stored.
CardRecord cardWith(const std::vector<std::pair<float, std::int32_t>> &classes, double area = 10.0)
{
    CardRecord card = newCardRecord("c.bmp", "/d/", 100, 100, 1200);
    card.Scanned = true;
    card.CardArea = area;
    double volume = 0.0;
    for (const auto &[diameter, count] : classes) {
        SizeClass c;
        c.Diameter = diameter;
        c.Count = count;
        c.DropVolume = static_cast<float>(dropVolume(diameter));
        volume += static_cast<double>(c.DropVolume) * count;
        card.Stains.push_back(c);
    }
    card.TotalVolume = volume / 1e6;
    card.VMD = classes.empty() ? 0.0 : classes.front().first;
    card.DropDensity = 1.0;
    card.VolumeDensity = 2.0;
    if (card.Stains.size() > 1) {
        card.SmallestDiameter = card.Stains[1].Diameter;
        card.LargestDiameter = card.Stains.back().Diameter;
    }
    return card;
}

CardList listOf(std::vector<CardRecord> cards)
{
    CardList list;
    for (CardRecord &c : cards)
        list.add(std::move(c));
    return list;
}

TEST(CompositePooling, ClassesAreTenthsOfAMicronHalvesToEven)
{
    EXPECT_EQ(compositeClassIndex(150.04f), 1500);
    EXPECT_EQ(compositeClassIndex(149.96f), 1500);
    EXPECT_EQ(compositeClassIndex(0.25f), 2);
    EXPECT_EQ(compositeClassIndex(0.75f), 8);
    EXPECT_EQ(compositeClassIndex(1.25f), 12);
    EXPECT_EQ(compositeClassIndex(1.75f), 18);
}

TEST(CompositePooling, NearbyDiametersOfTwoCardsShareAClass)
{
    const CompositeAll c = calcCompositeAll(listOf({cardWith({{150.04f, 3}}), cardWith({{149.96f, 2}})}));
    ASSERT_EQ(c.Result.Classes.size(), 2u);
    EXPECT_FLOAT_EQ(c.Result.Classes[1].Diameter, 150.0f);
    EXPECT_EQ(c.Result.Classes[1].Count, 5);
    EXPECT_EQ(c.Result.Classes[1].Area, 0);
    EXPECT_DOUBLE_EQ(c.Result.TotalCount, 5.0);
    const double nl = 4.0 / 3.0 * std::numbers::pi * 75.0 * 75.0 * 75.0 / 1e6;
    EXPECT_FLOAT_EQ(c.Result.Classes[1].DropVolume, static_cast<float>(nl));
}

TEST(CompositePooling, UnscannedCardsContributeNothing)
{
    CardRecord loaded = cardWith({{300.0f, 50}}, 99.0);
    loaded.Scanned = false;
    const CompositeAll c = calcCompositeAll(listOf({cardWith({{100.0f, 4}}, 10.0), loaded}));
    ASSERT_EQ(c.Result.Classes.size(), 2u);
    EXPECT_DOUBLE_EQ(c.Result.TotalArea, 10.0);
    EXPECT_DOUBLE_EQ(c.Result.TotalCount, 4.0);
    EXPECT_FLOAT_EQ(c.Result.LargestDiameter, 100.0f);
}

TEST(CompositePooling, DensityIsAllDropsOverAllArea)
{
    // 10 drops on 10 cm2 and 90 drops on 30 cm2: 100 / 40, not the mean of 1 and 3.
    const CompositeAll c = calcCompositeAll(listOf({cardWith({{100.0f, 10}}, 10.0), cardWith({{200.0f, 90}}, 30.0)}));
    EXPECT_DOUBLE_EQ(c.Result.DropDensity, 2.5);
    EXPECT_DOUBLE_EQ(c.Result.VolumeDensity, c.Result.TotalVolume / 40.0);
    EXPECT_DOUBLE_EQ(c.Result.SmallestDiameter, 100.0);
    EXPECT_EQ(c.Result.LargestClassCount, 90);
}

TEST(CompositePooling, VolumeFractionsAreSharesOfTheCardsOwnVolumes)
{
    CardRecord a = cardWith({{100.0f, 10}, {200.0f, 10}});
    a.TotalVolume *= 2.0; // as if the card's own total held more than its classes
    const CompositeAll c = calcCompositeAll(listOf({a}));
    float sum = 0.0f;
    for (std::size_t i = 1; i < c.Result.Classes.size(); ++i)
        sum += c.Result.Classes[i].VolumeFraction;
    EXPECT_NEAR(sum, 0.5f, 1e-4f);
    EXPECT_FLOAT_EQ(c.Result.Classes.back().CumNumberFraction, 1.0f);
}

TEST(CompositeVmd, FirstClassWithHalfTheVolumeInterpolatesFromZero)
{
    // One class holds all the volume: VMD = d1 x 0.5 / C1.
    const CompositeAll c = calcCompositeAll(listOf({cardWith({{200.0f, 10}})}));
    const SizeClass &first = c.Result.Classes[1];
    EXPECT_NEAR(c.Result.VMD, 200.0 * 0.5 / first.CumVolumeFraction, 1e-9);
    // Over a range starting at that class, the VMD is its own diameter.
    const CompositeResult r = calcCompositeRange(c.Result, 150.0f, 300.0f);
    EXPECT_DOUBLE_EQ(r.VMD, 200.0);
}

TEST(CompositeVmd, MaxCardVmdIsTheLargestScannedCardsVmd)
{
    CardRecord a = cardWith({{100.0f, 1}});
    a.VMD = 321.5;
    CardRecord b = cardWith({{100.0f, 1}});
    b.VMD = 120.0;
    EXPECT_FLOAT_EQ(calcCompositeAll(listOf({a, b})).MaxCardVMD, 321.5f);
}

TEST(CompositeRange, KeepsTheClassesInsideWithRangeFractions)
{
    const CompositeAll c = calcCompositeAll(listOf({cardWith({{100.0f, 10}, {200.0f, 5}, {300.0f, 2}})}));
    const CompositeResult r = calcCompositeRange(c.Result, 150.0f, 250.0f);
    ASSERT_EQ(r.Classes.size(), 2u);
    EXPECT_FLOAT_EQ(r.Classes[1].Diameter, 200.0f);
    EXPECT_DOUBLE_EQ(r.TotalCount, 5.0);
    EXPECT_FLOAT_EQ(r.Classes[1].VolumeFraction, 1.0f);
    EXPECT_DOUBLE_EQ(r.DropDensity, 5.0 / 10.0);
    EXPECT_DOUBLE_EQ(r.VolumeDensity, r.TotalVolume / 10.0);
    EXPECT_DOUBLE_EQ(r.SmallestDiameter, c.Result.SmallestDiameter);
    EXPECT_FLOAT_EQ(r.LargestDiameter, c.Result.LargestDiameter);
}

TEST(CompositeRange, RangeHoldingOnlyTheFirstClassStillHasItsDrops)
{
    const CompositeAll c = calcCompositeAll(listOf({cardWith({{100.0f, 10}, {200.0f, 5}})}));
    const CompositeResult r = calcCompositeRange(c.Result, 0.0f, 150.0f);
    ASSERT_EQ(r.Classes.size(), 2u);
    EXPECT_DOUBLE_EQ(r.TotalCount, 10.0);
    EXPECT_DOUBLE_EQ(r.VMD, 100.0);
}

TEST(CompositeRange, RangeBetweenOrBeyondTheClassesIsEmpty)
{
    const CompositeAll c = calcCompositeAll(listOf({cardWith({{100.0f, 10}, {200.0f, 5}})}));
    for (const auto &[low, high] : {std::pair{120.0f, 180.0f}, std::pair{250.0f, 400.0f}, std::pair{0.0f, 50.0f}}) {
        const CompositeResult r = calcCompositeRange(c.Result, low, high);
        EXPECT_EQ(r.Classes.size(), 1u) << low;
        EXPECT_DOUBLE_EQ(r.VMD, 0.0);
        EXPECT_DOUBLE_EQ(r.DropDensity, 0.0);
        EXPECT_DOUBLE_EQ(r.VolumeDensity, 0.0);
    }
}

TEST(CompositeCounts, MoreThan32767DropsOfOneSizeAreCounted)
{
    const CompositeAll c = calcCompositeAll(listOf({cardWith({{100.0f, 20000}}), cardWith({{100.0f, 12768}})}));
    ASSERT_EQ(c.Result.Classes.size(), 2u);
    EXPECT_EQ(c.Result.Classes[1].Count, 32768);
    EXPECT_EQ(c.Result.LargestClassCount, 32768);
    EXPECT_FLOAT_EQ(c.Result.Classes[1].NumberFraction, 1.0f);
}

TEST(CompositeEmpty, NoScannedCardGivesAnEmptyComposite)
{
    CardRecord loaded = cardWith({{100.0f, 5}});
    loaded.Scanned = false;
    const CompositeAll c = calcCompositeAll(listOf({loaded}));
    EXPECT_EQ(c.Result.Classes.size(), 1u);
    EXPECT_DOUBLE_EQ(c.Result.VMD, 0.0);
    EXPECT_DOUBLE_EQ(c.Result.DropDensity, 0.0);
    EXPECT_DOUBLE_EQ(c.Result.VolumeDensity, 0.0);
    EXPECT_DOUBLE_EQ(c.Result.SmallestDiameter, 0.0);
    EXPECT_FLOAT_EQ(c.MaxCardVMD, 0.0f);
    // Scanned without drops: area counts, drops do not.
    CardRecord empty = cardWith({}, 7.0);
    const CompositeAll e = calcCompositeAll(listOf({empty}));
    EXPECT_EQ(e.Result.Classes.size(), 1u);
    EXPECT_DOUBLE_EQ(e.Result.TotalArea, 7.0);
    EXPECT_DOUBLE_EQ(e.Result.DropDensity, 0.0);
}

TEST(CardStats, OwnFiguresOrThoseInsideTheRange)
{
    CardRecord scanned = newCardRecord("a.bmp", "/d/", 1000, 1000, 1200);
    std::vector<std::int32_t> areas(10, 50);
    areas.push_back(400);
    computeCardStatistics(scanned, areas, {0.0, 0.56, 0.0});
    scanned.Scanned = true;
    CardRecord loaded = newCardRecord("b.bmp", "/d/", 1000, 1000, 1200);
    const CardList cards = listOf({scanned, loaded});
    const std::vector<CardStat> all = fillCardStats(cards, false, 0.0f, 1e6f);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_DOUBLE_EQ(all[1].Vmd, scanned.VMD);
    EXPECT_DOUBLE_EQ(all[1].DropDensity, scanned.DropDensity);
    EXPECT_DOUBLE_EQ(all[2].Vmd, 0.0);
    const float cut = scanned.Stains[1].Diameter + 1.0f;
    const std::vector<CardStat> range = fillCardStats(cards, true, cut, 1e6f);
    const CompositeResult expected = calcSingleRange(scanned, cut, 1e6f);
    EXPECT_DOUBLE_EQ(range[1].Vmd, expected.VMD);
    EXPECT_DOUBLE_EQ(range[1].DropDensity, 1.0 / scanned.CardArea);
    EXPECT_DOUBLE_EQ(range[2].DropDensity, 0.0);
}

} // namespace
} // namespace vex
