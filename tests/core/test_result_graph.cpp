#include "analysis/DropStatistics.h"
#include "analysis/ResultGraph.h"
#include "intake/CardLoading.h"
#include "model/CardGeometry.h"
#include "text/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vex {
namespace {

// Two classes at 1200 dpi: 10 stains of 50 pixels and 2 of 200.
CardRecord twoClassCard()
{
    CardRecord card = newCardRecord("card.bmp", "/cards/", 1000, 2000, 1200);
    std::vector<std::int32_t> areas(10, 50);
    areas.push_back(200);
    areas.push_back(200);
    computeCardStatistics(card, areas, {0.0, 0.56, 0.0});
    return card;
}

TEST(GraphScale, DensityTopRoundsUpToTheNextTenth)
{
    EXPECT_DOUBLE_EQ(densityTop(42.0, 100.0), 0.5);
    EXPECT_DOUBLE_EQ(densityTop(40.0, 100.0), 0.4);
    EXPECT_DOUBLE_EQ(densityTop(1.0, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(densityTop(0.0, 5.0), 0.0);
    EXPECT_DOUBLE_EQ(densityTop(3.0, 0.0), 0.0);
}

TEST(GraphScale, CardTopPerMode)
{
    const CardRecord card = twoClassCard();
    EXPECT_DOUBLE_EQ(cardGraphTop(card, VolumeFractionMode), card.MaxVolumeFraction * 1.1);
    EXPECT_DOUBLE_EQ(cardGraphTop(card, CumulativeMode), 1.0);
    EXPECT_DOUBLE_EQ(cardGraphTop(card, DensityMode), densityTop(10.0, card.CardArea));
}

TEST(GraphScale, CompositeTopPerMode)
{
    CompositeResult c;
    c.LargestClassVolume = 3.0;
    c.TotalVolume = 10.0;
    c.LargestClassCount = 42;
    c.TotalArea = 100.0;
    EXPECT_DOUBLE_EQ(compositeGraphTop(c, VolumeFractionMode), 0.33);
    EXPECT_DOUBLE_EQ(compositeGraphTop(c, CumulativeMode), 1.0);
    EXPECT_DOUBLE_EQ(compositeGraphTop(c, DensityMode), 0.5);
    c.TotalVolume = 0.0;
    EXPECT_DOUBLE_EQ(compositeGraphTop(c, VolumeFractionMode), 0.0);
}

TEST(GraphScale, RightEndIsTheLinesLargestDiameterElseTheLargestScanned)
{
    CompositeResult all;
    EXPECT_DOUBLE_EQ(graphRight(all, 250.5f), 250.5);
    all.LargestDiameter = 300.0f;
    EXPECT_DOUBLE_EQ(graphRight(all, 250.5f), 300.0);
}

TEST(GraphScale, MappingPutsTheBaseTwoPixelsAboveTheEdgeAndInverts)
{
    const GraphMapping m{500.0, 0.5, 250, 102};
    EXPECT_DOUBLE_EQ(m.pixelX(0.0), 0.0);
    EXPECT_DOUBLE_EQ(m.pixelX(500.0), 250.0);
    EXPECT_DOUBLE_EQ(m.pixelY(0.0), 100.0);
    EXPECT_DOUBLE_EQ(m.pixelY(0.5), 0.0);
    EXPECT_DOUBLE_EQ(m.pixelY(0.25), 50.0);
    for (const double x : {0.0, 12.5, 333.0})
        EXPECT_NEAR(m.valueX(m.pixelX(x)), x, 1e-12);
    for (const double y : {0.0, 0.1, 0.5})
        EXPECT_NEAR(m.valueY(m.pixelY(y)), y, 1e-12);
    // An empty scale stays finite.
    const GraphMapping empty{0.0, 0.0, 250, 102};
    EXPECT_TRUE(std::isfinite(empty.pixelX(10.0)));
    EXPECT_TRUE(std::isfinite(empty.pixelY(0.3)));
}

TEST(GraphOutline, RunsFromTheOriginThroughEveryClassAndBackAlongTheBase)
{
    const CardRecord card = twoClassCard();
    const std::vector<GraphPoint> vf = graphOutline(card.Stains, VolumeFractionMode, card.CardArea);
    ASSERT_EQ(vf.size(), 4u);
    EXPECT_DOUBLE_EQ(vf[0].X, 0.0);
    EXPECT_DOUBLE_EQ(vf[0].Y, 0.0);
    EXPECT_DOUBLE_EQ(vf[1].X, card.Stains[1].Diameter);
    EXPECT_DOUBLE_EQ(vf[1].Y, card.Stains[1].VolumeFraction);
    EXPECT_DOUBLE_EQ(vf[2].X, card.Stains[2].Diameter);
    EXPECT_DOUBLE_EQ(vf[2].Y, card.Stains[2].VolumeFraction);
    EXPECT_DOUBLE_EQ(vf[3].X, card.Stains[2].Diameter);
    EXPECT_DOUBLE_EQ(vf[3].Y, 0.0);

    const std::vector<GraphPoint> cvf = graphOutline(card.Stains, CumulativeMode, card.CardArea);
    EXPECT_DOUBLE_EQ(cvf[2].Y, card.Stains[2].CumVolumeFraction);
    // Beyond the card's largest drop the cumulative line stays where it
    // got to, out to the end of the line's axis.
    const std::vector<GraphPoint> longer = graphOutline(card.Stains, CumulativeMode, card.CardArea, 1000.0);
    ASSERT_EQ(longer.size(), 5u);
    EXPECT_DOUBLE_EQ(longer[3].X, 1000.0);
    EXPECT_DOUBLE_EQ(longer[3].Y, card.Stains[2].CumVolumeFraction);
    EXPECT_DOUBLE_EQ(longer[4].X, 1000.0);
    EXPECT_EQ(graphOutline(card.Stains, VolumeFractionMode, card.CardArea, 1000.0).size(), 4u);
    const std::vector<GraphPoint> density = graphOutline(card.Stains, DensityMode, card.CardArea);
    EXPECT_DOUBLE_EQ(density[1].Y, 10.0 / card.CardArea);
    EXPECT_DOUBLE_EQ(density[2].Y, 2.0 / card.CardArea);
}

TEST(GraphPictures, CardWithoutClassesShowsOnlyTheBand)
{
    CardRecord card = newCardRecord("card.bmp", "/cards/", 100, 100, 1200);
    GraphInputs in;
    in.Card = &card;
    in.RangeLow = 10.0f;
    in.RangeHigh = 90.0f;
    in.MaxScannedDiameter = 120.0f;
    const GraphPicture p = drawResult(in);
    EXPECT_FALSE(p.HasGraph);
    EXPECT_FALSE(p.HasMarker);
    EXPECT_TRUE(p.Outline.empty());
    EXPECT_DOUBLE_EQ(p.BandLow, 10.0);
    EXPECT_DOUBLE_EQ(p.BandHigh, 90.0);
}

TEST(GraphPictures, ScannedCardGetsItsScaleOutlineAndMarker)
{
    const CardRecord card = twoClassCard();
    GraphInputs in;
    in.Card = &card;
    in.Mode = DensityMode;
    in.CurrentVmd = card.VMD;
    in.MaxScannedDiameter = card.LargestDiameter;
    const GraphPicture p = drawResult(in);
    EXPECT_TRUE(p.HasGraph);
    EXPECT_TRUE(p.HasMarker);
    EXPECT_DOUBLE_EQ(p.Vmd, card.VMD);
    EXPECT_DOUBLE_EQ(p.Mapping.Right, card.LargestDiameter);
    EXPECT_DOUBLE_EQ(p.Mapping.Top, densityTop(10.0, card.CardArea));
    EXPECT_EQ(p.Outline.size(), 4u);
}

TEST(GraphPictures, FractionAxisStopsAt100Percent)
{
    // One class holds all the volume.
    CardRecord card = newCardRecord("card.bmp", "/cards/", 1000, 2000, 1200);
    computeCardStatistics(card, {100, 100}, {0.0, 0.56, 0.0});
    GraphInputs in;
    in.Card = &card;
    EXPECT_EQ(histogramLabels(1.0, drawResult(in).Mapping.Top, in.Mode).Y2, "100%");
}

TEST(GraphPictures, CompositeViewDrawsThePooledClasses)
{
    const CardRecord card = twoClassCard();
    CompositeResult all;
    all.Classes = card.Stains;
    all.TotalArea = card.CardArea;
    all.TotalVolume = card.TotalVolume;
    all.LargestClassVolume = card.TotalVolume / 2.0;
    all.LargestDiameter = card.LargestDiameter;
    GraphInputs in;
    in.Card = nullptr;
    in.Composite = true;
    in.CompositeAll = &all;
    const GraphPicture p = drawResult(in);
    EXPECT_TRUE(p.HasGraph);
    EXPECT_DOUBLE_EQ(p.Mapping.Top, 0.55);
    const CompositeResult none;
    in.CompositeAll = &none;
    const GraphPicture empty = drawResult(in);
    EXPECT_FALSE(empty.HasGraph);
    EXPECT_TRUE(empty.HasMarker);
}

TEST(GraphLabels, PercentModesRoundTheTopToATenthOfAPercent)
{
    const HistogramLabels l = histogramLabels(312.345, 0.08361, VolumeFractionMode);
    EXPECT_EQ(l.X1, "0.0");
    EXPECT_EQ(l.X2, "312.3");
    EXPECT_EQ(l.Y2, "8.4%");
    EXPECT_EQ(l.Y1, "0%");
    EXPECT_EQ(histogramLabels(100.0, 1.0, CumulativeMode).Y2, "100%");
    EXPECT_EQ(histogramLabels(100.0, 0.25, CumulativeMode).Y2, "25%");
}

TEST(GraphLabels, DensityModeShowsTheTopAsItIs)
{
    const HistogramLabels l = histogramLabels(80.0, 0.5, DensityMode);
    EXPECT_EQ(l.Y2, "0.5");
    EXPECT_EQ(l.Y1, "0");
    // Single precision: 0.3 reads as 0.3, not 0.300000011920929.
    EXPECT_EQ(histogramLabels(80.0, 0.3, DensityMode).Y2, "0.3");
    EXPECT_EQ(histogramLabels(80.0, 12.0, DensityMode).Y2, "12");
}

TEST(GraphLabels, FrameCaptions)
{
    EXPECT_EQ(resultFrameCaption(1, false), "Scan Results  (Volume Fraction)");
    EXPECT_EQ(resultFrameCaption(2, false), "Scan Results  (Cumulative Volume Fraction)");
    EXPECT_EQ(resultFrameCaption(3, false), "Scan Results  (drops/cm\u00b2)");
    EXPECT_EQ(resultFrameCaption(1, true), "Composite Results  (Volume Fraction)");
}

TEST(StatsLabels, TextsOfTheWorkedExample)
{
    // 100 pixels at 1200 dpi: D 133.75 um, VMD 66.88 um.
    CardRecord card = newCardRecord("card.bmp", "/cards/", 1000, 2000, 1200);
    computeCardStatistics(card, {100}, {0.0, 0.56, 0.0});
    const StatsTexts metric = statsTexts(card.VMD, card.DropDensity, card.VolumeDensity, 0.1f, "L/ha");
    EXPECT_EQ(metric.Vmd, "66.9 \u00b5m");
    EXPECT_EQ(metric.Drops, formatFixed(1.0 / card.CardArea, 2) + " drops/cm\u00b2");
    EXPECT_EQ(metric.Volume, formatFixed(card.VolumeDensity * static_cast<double>(0.1f), 3) + " L/ha");
    const StatsTexts imperial = statsTexts(card.VMD, card.DropDensity, card.VolumeDensity, 1.368f, "oz/ac");
    EXPECT_EQ(imperial.Volume, formatFixed(card.VolumeDensity * static_cast<double>(1.368f), 3) + " oz/ac");
    EXPECT_EQ(statsTexts(0.0, 0.0, 0.0, 0.1f, "L/ha").Drops, "0.00 drops/cm\u00b2");
}

TEST(StatsLabels, SourceFollowsTheRangeAndTheView)
{
    const CardRecord card = twoClassCard();
    CompositeResult single;
    single.VMD = 1.0;
    CompositeResult all;
    all.VMD = 2.0;
    all.SmallestDiameter = 10.0;
    all.LargestDiameter = 100.0f;
    CompositeResult range;
    range.VMD = 3.0;
    // Whole spectrum: the card's own figures.
    EXPECT_DOUBLE_EQ(shownStats(false, all, range, &card, single, 0.0f, 32755.0f).Vmd, card.VMD);
    // The upper end cuts the largest class off.
    EXPECT_DOUBLE_EQ(shownStats(false, all, range, &card, single, 0.0f, card.LargestDiameter - 1.0f).Vmd, 1.0);
    // The low end at the smallest diameter counts as a cut, as it always has.
    EXPECT_DOUBLE_EQ(shownStats(false, all, range, &card, single, card.SmallestDiameter, 32755.0f).Vmd, 1.0);
    EXPECT_DOUBLE_EQ(shownStats(true, all, range, &card, single, 0.0f, 32755.0f).Vmd, 2.0);
    EXPECT_DOUBLE_EQ(shownStats(true, all, range, &card, single, 11.0f, 32755.0f).Vmd, 3.0);
    EXPECT_DOUBLE_EQ(shownStats(false, all, range, nullptr, single, 0.0f, 1.0f).Vmd, 0.0);
}

TEST(RangeSelection, LeftEndPushesTheRightEndOneMicronAhead)
{
    float low = 0.0f;
    float high = 100.0f;
    setRangeLow(low, high, 40.0f);
    EXPECT_EQ(low, 40.0f);
    EXPECT_EQ(high, 100.0f);
    setRangeLow(low, high, 100.0f);
    EXPECT_EQ(high, 101.0f);
    setRangeLow(low, high, 150.5f);
    EXPECT_EQ(low, 150.5f);
    EXPECT_EQ(high, 151.5f);
}

TEST(RangeSelection, RightEndPullsTheLeftEndOneMicronBehind)
{
    float low = 50.0f;
    float high = 100.0f;
    setRangeHigh(low, high, 50.0f);
    EXPECT_EQ(low, 50.0f); // equal is not below
    setRangeHigh(low, high, 20.0f);
    EXPECT_EQ(high, 20.0f);
    EXPECT_EQ(low, 19.0f);
}

TEST(RangeSelection, MouseReadOutIsClampedToTheLargestScannedDiameter)
{
    EXPECT_DOUBLE_EQ(clampToScanned(500.0, 312.5f), 312.5);
    EXPECT_DOUBLE_EQ(clampToScanned(-3.0, 312.5f), 0.0);
    EXPECT_DOUBLE_EQ(clampToScanned(100.0, 312.5f), 100.0);
    EXPECT_DOUBLE_EQ(clampToScanned(100.0, 0.0f), 0.0);
}

TEST(RangeSelection, ReadOutTexts)
{
    EXPECT_EQ(graphToolTip(123.9, 0.0456, VolumeFractionMode), "123\u00b5m / 4.6%");
    EXPECT_EQ(graphToolTip(80.2, 0.5, CumulativeMode), "80\u00b5m / 50.0%");
    EXPECT_EQ(graphToolTip(80.2, 0.44, DensityMode), "80\u00b5m / 0.4");
    EXPECT_EQ(sizeRangeText(123.46, false), "123");
    EXPECT_EQ(sizeRangeText(123.46, true), "123.5");
}

} // namespace
} // namespace vex
