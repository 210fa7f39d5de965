#include "line/Swath.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vex {
namespace {

std::vector<CardStat> statsOf(const std::vector<double> &deposit)
{
    std::vector<CardStat> s(deposit.size() + 1);
    for (std::size_t i = 0; i < deposit.size(); ++i) {
        s[i + 1].VolumeDensity = deposit[i];
        s[i + 1].DropDensity = deposit[i] * 2.0;
    }
    return s;
}

TEST(SwathPositions, CardOneBetweenSpacings)
{
    const PositionNumbers p = positionNumbers(-45.0f, 10.0f);
    EXPECT_EQ(p.K, -4);
    EXPECT_FLOAT_EQ(p.F, -0.5f);
    const PositionNumbers q = positionNumbers(-50.0f, 10.0f);
    EXPECT_EQ(q.K, -5);
    EXPECT_FLOAT_EQ(q.F, 0.0f);
    const PositionNumbers r = positionNumbers(12.0f, 5.0f);
    EXPECT_EQ(r.K, 2);
    EXPECT_NEAR(r.F, 0.4f, 1e-6f);
    // Card 1's true place: (K + F) x spacing.
    EXPECT_FLOAT_EQ((static_cast<float>(p.K) + p.F) * 10.0f, -45.0f);
    EXPECT_EQ(positionNumbers(5.0f, 0.0f).K, 0);
}

TEST(SwathStdDev, AgreesWithTheTextbookAndSurvivesLargeCloseValues)
{
    EXPECT_FLOAT_EQ(sampleStdDev({}), 0.0f);
    EXPECT_FLOAT_EQ(sampleStdDev({5.0f}), 0.0f);
    EXPECT_NEAR(sampleStdDev({60.0f, 40.0f}), 14.1421356f, 1e-5f);
    EXPECT_NEAR(sampleStdDev({2, 4, 4, 4, 5, 5, 7, 9}), 2.1380899f, 1e-6f);
    // Single precision sums of squares would leave nothing of these.
    EXPECT_NEAR(sampleStdDev({10000001.0f, 10000002.0f, 10000003.0f}), 1.0f, 1e-6f);
}

TEST(SwathBlocks, FiveCardExample)
{
    const std::vector<float> profile = {10, 20, 40, 20, 10};
    const BlockStats w1 = blockStatistics(profile, 1);
    EXPECT_FLOAT_EQ(w1.Mean, 100.0f);
    EXPECT_FLOAT_EQ(w1.Cov, 0.0f);
    const BlockStats w2 = blockStatistics(profile, 2);
    EXPECT_FLOAT_EQ(w2.Mean, 50.0f);
    EXPECT_FLOAT_EQ(w2.Max, 60.0f);
    EXPECT_FLOAT_EQ(w2.Min, 40.0f);
    EXPECT_NEAR(w2.Cov, 0.283f, 5e-4f);
    const BlockStats w3 = blockStatistics(profile, 3);
    EXPECT_NEAR(w3.Mean, 33.333f, 1e-3f);
    EXPECT_NEAR(w3.Cov, 0.173f, 5e-4f);
    const BlockStats w4 = blockStatistics(profile, 4);
    EXPECT_FLOAT_EQ(w4.Mean, 25.0f);
    EXPECT_NEAR(w4.Cov, 0.4f, 1e-6f);
}

TEST(SwathAnalysis, FiveCardExampleProposesWidthThree)
{
    SwathProfile deposit;
    SwathProfile density;
    swathAnalysis(statsOf({10, 20, 40, 20, 10}), -20.0f, 10.0f, deposit, density);
    EXPECT_EQ(deposit.K, -2);
    ASSERT_EQ(deposit.Widths.size(), 5u);
    EXPECT_NEAR(deposit.Widths[2].Cov, 0.283f, 5e-4f);
    EXPECT_NEAR(deposit.Widths[3].Cov, 0.173f, 5e-4f);
    EXPECT_NEAR(deposit.Widths[4].Cov, 0.4f, 1e-6f);
    EXPECT_EQ(deposit.SelectedWidth, 3);
    EXPECT_NEAR(deposit.LargestCov, 0.4f, 1e-6f);
    // The drop density profile is analysed the same way, on its own figures.
    EXPECT_FLOAT_EQ(density.Profile[2], 80.0f);
    EXPECT_EQ(density.SelectedWidth, 3);
    // A chosen width survives the next analysis.
    deposit.SelectedWidth = 2;
    swathAnalysis(statsOf({10, 20, 40, 20, 10}), -20.0f, 10.0f, deposit, density);
    EXPECT_EQ(deposit.SelectedWidth, 2);
}

TEST(SwathAnalysis, ZeroProfileProposesTheWidestWidth)
{
    SwathProfile deposit;
    SwathProfile density;
    swathAnalysis(statsOf({0, 0, 0, 0, 0, 0}), -25.0f, 10.0f, deposit, density);
    for (std::size_t n = 1; n < deposit.Widths.size(); ++n) {
        EXPECT_FLOAT_EQ(deposit.Widths[n].Cov, 0.0f);
        EXPECT_FLOAT_EQ(deposit.Widths[n].Mean, 0.0f);
        EXPECT_FLOAT_EQ(deposit.Widths[n].CovBackAndForth, 0.0f);
    }
    EXPECT_EQ(deposit.SelectedWidth, 5);
}

TEST(SwathAnalysis, TwoCardsHaveOneWidthOfCovZero)
{
    SwathProfile deposit;
    SwathProfile density;
    swathAnalysis(statsOf({5, 9}), 0.0f, 10.0f, deposit, density);
    ASSERT_EQ(deposit.Widths.size(), 2u);
    EXPECT_FLOAT_EQ(deposit.Widths[1].Cov, 0.0f);
    EXPECT_EQ(deposit.SelectedWidth, 1);
}

TEST(SwathProposal, WidestWidthBeforeTheCovPassesThirtyPercent)
{
    std::vector<WidthStats> w(6);
    const float covs[] = {0.0f, 0.05f, 0.2f, 0.31f, 0.25f, 0.5f};
    for (std::size_t i = 1; i < 6; ++i)
        w[i].Cov = covs[i];
    // Down from width 4: 4 has 0.25 <= 0.3 < 0.5 at width 5.
    EXPECT_EQ(proposeWidth(w), 4);
    w[5].Cov = 0.1f;
    // No step at 4; at 2: 0.2 <= 0.3 < 0.31.
    EXPECT_EQ(proposeWidth(w), 2);
    w[3].Cov = 0.3f; // exactly 30 % is still acceptable
    EXPECT_EQ(proposeWidth(w), 5);
}

TEST(SwathMultiswath, PassesAreAtLeastFive)
{
    SwathProfile p;
    p.Profile.assign(11, 1.0f);
    p.SelectedWidth = 3;
    buildMultiswath(p);
    EXPECT_EQ(p.Passes, 5);
    p.Profile.assign(41, 1.0f);
    p.SelectedWidth = 5; // 40 / 5 + 0.49999 = 8.49999
    buildMultiswath(p);
    EXPECT_EQ(p.Passes, 8);
}

TEST(SwathMultiswath, PassesAddUpShiftedByTheWidth)
{
    SwathProfile p;
    p.K = 0;
    p.Profile = {1.0f, 2.0f, 3.0f};
    p.SelectedWidth = 1;
    buildMultiswath(p);
    EXPECT_EQ(p.Passes, 5);
    const std::vector<float> expected = {1, 3, 6, 6, 6, 5, 3, 0};
    EXPECT_EQ(p.Multiswath, expected);
    EXPECT_FLOAT_EQ(p.MultiswathMax, 6.0f);
    p.SelectedWidth = 0;
    buildMultiswath(p);
    EXPECT_TRUE(p.Multiswath.empty());
    EXPECT_EQ(p.Passes, 0);
}

TEST(SwathBackAndForth, SymmetricProfileGivesTheRacetrackFigures)
{
    const std::vector<float> profile = {10, 20, 40, 20, 10};
    for (std::int32_t n = 1; n <= 4; ++n) {
        const BlockStats race = blockStatistics(profile, n);
        const BlockStats turn = backAndForthStatistics(profile, -2, 0.0f, n);
        EXPECT_NEAR(turn.Cov, race.Cov, 1e-6f) << n;
        EXPECT_NEAR(turn.Mean, race.Mean, 1e-4f) << n;
        EXPECT_FLOAT_EQ(turn.Max, race.Max) << n;
        EXPECT_FLOAT_EQ(turn.Min, race.Min) << n;
    }
}

TEST(SwathBackAndForth, OneSidedProfileLeavesAGapFlownBackAndForth)
{
    // Cards at 0, 10 and 20 m: the way back lays its deposit over the same
    // three places, so every fourth place gets nothing at a width of two.
    const BlockStats turn = backAndForthStatistics({3, 2, 1}, 0, 0.0f, 2);
    EXPECT_FLOAT_EQ(turn.Mean, 3.0f);
    EXPECT_FLOAT_EQ(turn.Max, 4.0f);
    EXPECT_FLOAT_EQ(turn.Min, 0.0f);
    EXPECT_NEAR(turn.Cov, std::sqrt(6.0f) / 3.0f, 1e-6f);
    const BlockStats race = blockStatistics({3, 2, 1}, 2);
    EXPECT_NEAR(race.Cov, std::sqrt(2.0f) / 3.0f, 1e-6f);
}

TEST(SwathBackAndForth, MirroredPlacesBetweenCardsAreInterpolated)
{
    // Card 1 at 2.5 m with 10 m spacing: mirrored cards fall a quarter of a
    // spacing off the grid, between two cards, and are interpolated.
    const PositionNumbers p = positionNumbers(2.5f, 10.0f);
    const BlockStats turn = backAndForthStatistics({4, 8}, p.K, p.F, 1);
    // The returning pass leaves 2, 6 and 4 (halfway between 0 and 4, 4 and
    // 8, 8 and 0) a spacing apart: places 2.5 m and 12.5 m get 4 + 6 and
    // 8 + 2 + 4.  No deposit is lost, so the mean stays the racetrack mean.
    EXPECT_FLOAT_EQ(turn.Mean, blockStatistics({4, 8}, 1).Mean);
    EXPECT_FLOAT_EQ(turn.Min, 10.0f);
    EXPECT_FLOAT_EQ(turn.Max, 14.0f);
}

} // namespace
} // namespace vex

#include "line/SwathDisplay.h"
#include "text/NumberText.h"

namespace vex {
namespace {

TEST(SwathDisplayTest, AxisTops)
{
    EXPECT_DOUBLE_EQ(covAxisTop(0.4f), 1.0);
    EXPECT_DOUBLE_EQ(covAxisTop(1.0f), 1.2);
    EXPECT_DOUBLE_EQ(covAxisTop(1.26f), 1.6);
    EXPECT_DOUBLE_EQ(profileAxisTop(0.5), 1.0);
    EXPECT_DOUBLE_EQ(profileAxisTop(10.0), 12.0);
    EXPECT_DOUBLE_EQ(profileAxisTop(3.33), 4.0);
}

TEST(SwathDisplayTest, DepositNormalisedToTheAircraftsSwath)
{
    SwathProfile deposit;
    SwathProfile density;
    std::vector<CardStat> stats(6);
    const double profile[] = {10, 20, 40, 20, 10};
    for (std::size_t i = 0; i < 5; ++i) {
        stats[i + 1].VolumeDensity = profile[i];
        stats[i + 1].DropDensity = profile[i];
    }
    swathAnalysis(stats, -20.0f, 10.0f, deposit, density);
    buildMultiswath(deposit);
    buildMultiswath(density);
    SprayInfo spray;
    spray[Sample_Interval] = "10";
    // Width 3 x 10 m over a 60 m swath: half.
    spray[AC_Swath] = "60";
    const SwathDisplay d = swathDisplay(deposit, DepositProfile, true, spray);
    EXPECT_DOUBLE_EQ(d.Ratio, 0.5);
    EXPECT_DOUBLE_EQ(d.Factor, static_cast<double>(0.1f));
    EXPECT_EQ(d.Unit, "L/ha");
    EXPECT_EQ(d.LengthUnit, "m");
    EXPECT_EQ(d.CovText, "0.17");
    EXPECT_EQ(d.MeanText, formatFixed(deposit.Widths[3].Mean * static_cast<double>(0.1f) * 0.5, 2) + " L/ha");
    EXPECT_EQ(d.Title, "Deposit Profile  (5 passes)");
    spray[AC_Swath] = "";
    const SwathDisplay us = swathDisplay(density, DropDensityProfile, false, spray);
    EXPECT_DOUBLE_EQ(us.Ratio, 1.0);
    EXPECT_EQ(us.Unit, "drops/cm\u00b2");
    EXPECT_EQ(us.LengthUnit, "ft");
    EXPECT_EQ(us.MaxMinText, "40.00 / 30.00");
    EXPECT_EQ(us.Title, "Drop Density Profile  (" + std::to_string(density.Passes) + " passes)");
}

} // namespace
} // namespace vex
