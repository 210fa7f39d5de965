#include "analysis/DropStatistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace vex {
namespace {

const SpreadFactors DefaultSpread{0.0, 0.56, 0.0};

CardRecord cardAt(double dpi, double areaCm2 = 10.0)
{
    CardRecord card;
    card.PixelSizeX = card.PixelSizeY = 25400.0 / dpi;
    card.CardArea = areaCm2;
    return card;
}

CardRecord scanned(const std::vector<std::int32_t> &areas, SpreadFactors spread = DefaultSpread, double dpi = 1200.0,
                   double areaCm2 = 10.0)
{
    CardRecord card = cardAt(dpi, areaCm2);
    computeCardStatistics(card, areas, spread);
    return card;
}

// ---- Drop size of one stain -------------------------------------------------

TEST(DropSize, WorkedExampleAt1200Dpi)
{
    const double d = stainDiameter(100, 25400.0 / 1200.0);
    EXPECT_NEAR(d, 238.84, 0.005);
    const float drop = dropDiameter(d, DefaultSpread);
    EXPECT_NEAR(drop, 133.75, 0.005);
    EXPECT_EQ(drop, static_cast<float>(0.56 * d));
}

TEST(DropSize, VolumeIsFormedFromTheStoredSinglePrecisionDiameter)
{
    const float drop = dropDiameter(stainDiameter(100, 25400.0 / 1200.0), DefaultSpread);
    const float half = drop / 2.0f;
    EXPECT_EQ(static_cast<float>(dropVolume(drop)),
              static_cast<float>(4.0 / 3.0 * std::numbers::pi * std::pow(static_cast<double>(half), 3.0)));
    EXPECT_NEAR(dropVolume(10.0f), 523.599f, 0.001f);
}

// The line's pooled classes (tenths of a micrometre, nanolitres, single
// precision) keep the very volumes they were always given, cubed by
// multiplication, for every class up to 10 mm.
TEST(DropSize, PooledClassVolumesAreThoseOfEarlierResults)
{
    int differing = 0;
    for (int tenth = 1; tenth <= 100000; ++tenth) {
        const double half = tenth / 20.0;
        differing += static_cast<float>(dropVolume(tenth / 10.0) / 1e6) !=
                     static_cast<float>(4.0 / 3.0 * std::numbers::pi * half * half * half / 1e6);
    }
    EXPECT_EQ(differing, 0);
}

TEST(DropSize, QuadraticSpreadFactorUsesAllThreeCoefficients)
{
    EXPECT_FLOAT_EQ(dropDiameter(100.0, {10.0, 0.5, 0.001}), 10.0f + 50.0f + 10.0f);
    EXPECT_FLOAT_EQ(dropDiameter(123.0, {10.0, 0.0, 0.0}), 10.0f);
}

// ---- Classes of one card -----------------------------------------------------

TEST(CardStatistics, SingleStainWorkedExample)
{
    const CardRecord card = scanned({100});
    ASSERT_EQ(card.Stains.size(), 2u);
    const SizeClass &c = card.Stains[1];
    EXPECT_EQ(c.Area, 100);
    EXPECT_EQ(c.Count, 1);
    EXPECT_NEAR(c.Diameter, 133.75, 0.005);
    EXPECT_FLOAT_EQ(c.VolumeFraction, 1.0f);
    EXPECT_FLOAT_EQ(c.CumNumberFraction, 1.0f);
    EXPECT_NEAR(card.VMD, 66.88, 0.005);
    EXPECT_DOUBLE_EQ(card.VMD, static_cast<double>(c.Diameter) / 2.0);
    EXPECT_DOUBLE_EQ(card.DropDensity, 0.1);
    EXPECT_DOUBLE_EQ(card.TotalVolume, static_cast<double>(c.DropVolume) / 1e6);
    EXPECT_DOUBLE_EQ(card.VolumeDensity, card.TotalVolume / 10.0);
    EXPECT_EQ(card.SmallestDiameter, c.Diameter);
    EXPECT_EQ(card.LargestDiameter, c.Diameter);
    EXPECT_EQ(card.MaxClassCount, 1);
    EXPECT_DOUBLE_EQ(card.MaxVolumeFraction, 1.0);
}

TEST(CardStatistics, ElementZeroStaysEmpty)
{
    const CardRecord card = scanned({5, 9});
    EXPECT_EQ(card.Stains[0].Area, 0);
    EXPECT_EQ(card.Stains[0].Count, 0);
    EXPECT_EQ(card.Stains[0].Diameter, 0.0f);
    EXPECT_EQ(card.Stains[0].CumVolumeFraction, 0.0f);
}

TEST(CardStatistics, TwentyStainsOfOneAreaAreOneClass)
{
    const CardRecord card = scanned(std::vector<std::int32_t>(20, 50));
    ASSERT_EQ(card.Stains.size(), 2u);
    EXPECT_EQ(card.Stains[1].Count, 20);
    EXPECT_EQ(card.MaxClassCount, 20);
    EXPECT_DOUBLE_EQ(card.DropDensity, 2.0);
}

TEST(CardStatistics, AreasOneApartAreSeparateClassesInAscendingOrder)
{
    const CardRecord card = scanned({51, 50, 51});
    ASSERT_EQ(card.Stains.size(), 3u);
    EXPECT_EQ(card.Stains[1].Area, 50);
    EXPECT_EQ(card.Stains[1].Count, 1);
    EXPECT_EQ(card.Stains[2].Area, 51);
    EXPECT_EQ(card.Stains[2].Count, 2);
    EXPECT_FLOAT_EQ(card.Stains[2].CumNumberFraction, 1.0f);
    EXPECT_FLOAT_EQ(card.Stains[1].NumberFraction, 1.0f / 3.0f);
}

TEST(CardStatistics, SpreadFactorTenGivesEveryDropTenMicronsInSeparateClasses)
{
    const CardRecord card = scanned({50, 51}, {10.0, 0.0, 0.0});
    ASSERT_EQ(card.Stains.size(), 3u);
    EXPECT_EQ(card.Stains[1].Diameter, 10.0f);
    EXPECT_EQ(card.Stains[2].Diameter, 10.0f);
    // Equal volumes: class 1 holds exactly half, so the VMD is its diameter.
    EXPECT_EQ(card.Stains[1].CumVolumeFraction, 0.5f);
    EXPECT_DOUBLE_EQ(card.VMD, 10.0);
}

TEST(CardStatistics, VmdInterpolatesBetweenTheClassesAroundOneHalf)
{
    // Classes of 1, 8 and 27 volume units (drop diameters 1, 2, 3 um with a
    // pure linear spread): cumulative 1/36, 9/36, 1.
    CardRecord card = cardAt(1.0);
    card.PixelSizeX = std::sqrt(std::numbers::pi) / 2.0; // stain diameter = sqrt(area)
    computeCardStatistics(card, {1, 4, 9}, {0.0, 1.0, 0.0});
    ASSERT_EQ(card.Stains.size(), 4u);
    EXPECT_NEAR(card.Stains[3].Diameter, 3.0f, 1e-5f);
    const double c2 = card.Stains[2].CumVolumeFraction;
    EXPECT_NEAR(c2, 9.0 / 36.0, 1e-6);
    EXPECT_NEAR(card.VMD, 2.0 + (0.5 - c2) / (1.0 - c2), 1e-5);
}

TEST(CardStatistics, CountsAbove32767DoNotOverflow)
{
    const CardRecord card = scanned(std::vector<std::int32_t>(40000, 3));
    EXPECT_EQ(card.Stains[1].Count, 40000);
    EXPECT_EQ(card.MaxClassCount, 40000);
}

TEST(CardStatistics, NoAreasLeavesOnlyElementZeroAndTheTotals)
{
    CardRecord card = scanned({100});
    const double vmd = card.VMD;
    computeCardStatistics(card, {}, DefaultSpread);
    EXPECT_EQ(card.Stains.size(), 1u);
    EXPECT_EQ(card.VMD, vmd);
}

TEST(CardStatistics, DropsWithoutVolumeGiveZeroFractionsNotNaN)
{
    const CardRecord card = scanned({4, 9}, {0.0, 0.0, 0.0});
    EXPECT_EQ(card.Stains[1].VolumeFraction, 0.0f);
    EXPECT_FALSE(std::isnan(card.VMD));
}

TEST(CardStatistics, FiguresBeyondAnyNumberAreNamedNotReported)
{
    EXPECT_TRUE(checkCardFigures(scanned({10, 20})).ok());
    const CardRecord wild = scanned({10, 20}, {0.0, 1e300, 0.0});
    EXPECT_EQ(checkCardFigures(wild).reason(),
              "its drop sizes or volumes are beyond what can be computed; check the spread factor");
}

TEST(CardStatistics, PercentileDiametersFollowTheVmdRule)
{
    const CardRecord card = scanned({10, 20, 40, 80, 160});
    EXPECT_DOUBLE_EQ(interpolatedDiameter(card.Stains, 0.5, true), card.VMD);
    const double dv01 = interpolatedDiameter(card.Stains, 0.1, true);
    const double dv09 = interpolatedDiameter(card.Stains, 0.9, true);
    EXPECT_LT(dv01, card.VMD);
    EXPECT_GT(dv09, card.VMD);
    // Five drops, one per class: 50 % of the number lies below the point
    // 2.5 / 5 between classes 2 and 3.
    const double d2 = card.Stains[2].Diameter;
    const double d3 = card.Stains[3].Diameter;
    const double c2 = card.Stains[2].CumNumberFraction;
    const double c3 = card.Stains[3].CumNumberFraction;
    EXPECT_NEAR(interpolatedDiameter(card.Stains, 0.5, false), d2 + (d3 - d2) * (0.5 - c2) / (c3 - c2), 1e-9);
    EXPECT_EQ(interpolatedDiameter(ClassList(1), 0.5, true), 0.0);
}

// ---- Statistics inside a size range ----------------------------------------

// Four classes with drop diameters of about 56, 80, 113 and 160 um.
CardRecord fourClasses()
{
    return scanned({10, 20, 20, 40, 80});
}

TEST(SingleRange, WholeSpectrumKeepsEveryClass)
{
    const CardRecord card = fourClasses();
    const CompositeResult r = calcSingleRange(card, 0.0f, 32755.0f);
    ASSERT_EQ(r.Classes.size(), 5u);
    EXPECT_DOUBLE_EQ(r.TotalCount, 5.0);
    EXPECT_DOUBLE_EQ(r.TotalArea, 10.0);
    EXPECT_DOUBLE_EQ(r.DropDensity, 0.5);
    EXPECT_NEAR(r.VolumeDensity, card.VolumeDensity, 1e-12);
}

TEST(SingleRange, RangeHoldingOnlyTheFirstClassStillHoldsItsDrops)
{
    const CardRecord card = fourClasses();
    const CompositeResult r = calcSingleRange(card, 0.0f, card.Stains[1].Diameter);
    ASSERT_EQ(r.Classes.size(), 2u);
    EXPECT_EQ(r.Classes[1].Area, 10);
    EXPECT_DOUBLE_EQ(r.TotalCount, 1.0);
    // The first class of a range is not interpolated from zero.
    EXPECT_DOUBLE_EQ(r.VMD, static_cast<double>(card.Stains[1].Diameter));
    EXPECT_DOUBLE_EQ(r.DropDensity, 0.1);
}

TEST(SingleRange, RangeAboveTheOnlyClassIsEmpty)
{
    const CardRecord card = scanned({100});
    const CompositeResult r = calcSingleRange(card, card.Stains[1].Diameter + 1.0f, 32755.0f);
    EXPECT_EQ(r.Classes.size(), 1u);
    EXPECT_EQ(r.VMD, 0.0);
    EXPECT_EQ(r.DropDensity, 0.0);
    EXPECT_EQ(r.VolumeDensity, 0.0);
}

TEST(SingleRange, RangeBetweenTwoClassesIsEmpty)
{
    const CardRecord card = fourClasses();
    const CompositeResult r = calcSingleRange(card, card.Stains[2].Diameter + 1.0f, card.Stains[3].Diameter - 1.0f);
    EXPECT_EQ(r.Classes.size(), 1u);
    EXPECT_EQ(r.TotalCount, 0.0);
    EXPECT_EQ(r.VMD, 0.0);
}

TEST(SingleRange, ClassesFromTheThirdOnAreMovedDownWithFractionsOfTheRange)
{
    const CardRecord card = fourClasses();
    const CompositeResult r = calcSingleRange(card, card.Stains[3].Diameter, 32755.0f);
    ASSERT_EQ(r.Classes.size(), 3u);
    EXPECT_EQ(r.Classes[1].Area, 40);
    EXPECT_EQ(r.Classes[2].Area, 80);
    const double v1 = static_cast<double>(card.Stains[3].DropVolume);
    const double v2 = static_cast<double>(card.Stains[4].DropVolume);
    EXPECT_NEAR(r.TotalVolume, v1 + v2, 1e-6 * (v1 + v2));
    EXPECT_FLOAT_EQ(r.Classes[1].VolumeFraction, static_cast<float>(v1 / (v1 + v2)));
    EXPECT_FLOAT_EQ(r.Classes[2].CumVolumeFraction, 1.0f);
    EXPECT_FLOAT_EQ(r.Classes[1].NumberFraction, 0.5f);
    // Area 80 holds more than half of the volume: interpolated from class 1.
    const double p = r.Classes[1].CumVolumeFraction;
    const double c = r.Classes[2].CumVolumeFraction;
    const double d1 = r.Classes[1].Diameter;
    const double d2 = r.Classes[2].Diameter;
    EXPECT_NEAR(r.VMD, d1 + (d2 - d1) * (0.5 - p) / (c - p), 1e-9);
    EXPECT_NEAR(r.VolumeDensity, (v1 + v2) / 1e6 / 10.0, 1e-12);
}

TEST(SingleRange, RangeWhoseFirstClassHoldsHalfReportsThatDiameter)
{
    // Eight drops of area 40 against one of area 41: the first class of the
    // range holds most of its volume.
    const CardRecord card = scanned({10, 40, 40, 40, 40, 40, 40, 40, 40, 41});
    const CompositeResult r = calcSingleRange(card, card.Stains[2].Diameter, 32755.0f);
    ASSERT_EQ(r.Classes.size(), 3u);
    EXPECT_GE(r.Classes[1].CumVolumeFraction, 0.5f);
    EXPECT_DOUBLE_EQ(r.VMD, static_cast<double>(card.Stains[2].Diameter));
}

TEST(RangeSelection, WholeSpectrumIsNotASelection)
{
    const CardRecord card = fourClasses();
    CompositeResult all;
    EXPECT_FALSE(rangeSelected(false, all, card, 0.0f, 32755.0f));
    EXPECT_TRUE(rangeSelected(false, all, card, card.SmallestDiameter + 0.5f, 32755.0f));
    EXPECT_TRUE(rangeSelected(false, all, card, 0.0f, card.LargestDiameter - 0.5f));
}

TEST(RangeSelection, CompositeViewJudgesByTheCompositeLimits)
{
    const CardRecord card = fourClasses();
    CompositeResult all;
    all.SmallestDiameter = 20.0;
    all.LargestDiameter = 300.0f;
    EXPECT_FALSE(rangeSelected(true, all, card, 10.0f, 400.0f));
    EXPECT_TRUE(rangeSelected(true, all, card, 10.0f, 299.0f));
    EXPECT_TRUE(rangeSelected(true, all, card, 21.0f, 400.0f));
}

TEST(RangeSelection, CurrentVmdPicksTheResultOnDisplay)
{
    CardRecord card;
    card.VMD = 1.0;
    CompositeResult all, range, single;
    all.VMD = 2.0;
    range.VMD = 3.0;
    single.VMD = 4.0;
    EXPECT_EQ(currentVmd(false, false, all, range, single, card), 1.0);
    EXPECT_EQ(currentVmd(true, false, all, range, single, card), 2.0);
    EXPECT_EQ(currentVmd(true, true, all, range, single, card), 3.0);
    EXPECT_EQ(currentVmd(false, true, all, range, single, card), 4.0);
}

} // namespace
} // namespace vex
