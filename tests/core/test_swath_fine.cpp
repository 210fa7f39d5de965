#include "line/LineAnalysis.h"
#include "line/SwathFine.h"
#include "support/LineCards.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(SwathFine, AtWholeSpacingsTheInterpolatedFiguresAreTheCardsOwn)
{
    // Lopsided, off the grid by a fraction, and with a hole: nothing the
    // sums could get right by symmetry.
    const std::vector<float> profile = {3, 9, 27, 0, 14, 40, 33, 8, 5, 1};
    for (const auto &[k, f] : {std::pair{-5, 0.0f}, std::pair{-4, -0.5f}, std::pair{2, 0.25f}}) {
        for (std::int32_t n = 1; n < static_cast<std::int32_t>(profile.size()); ++n) {
            SCOPED_TRACE(testing::Message() << "k " << k << " f " << f << " width " << n);
            const BlockStats race = blockStatistics(profile, n);
            const BlockStats fineRace = racetrackAt(profile, n);
            EXPECT_NEAR(fineRace.Cov, race.Cov, 2e-6f);
            EXPECT_NEAR(fineRace.Mean, race.Mean, 2e-5f);
            EXPECT_FLOAT_EQ(fineRace.Max, race.Max);
            EXPECT_FLOAT_EQ(fineRace.Min, race.Min);
            const BlockStats turn = backAndForthStatistics(profile, k, f, n);
            EXPECT_NEAR(backAndForthAt(profile, k, f, n).Cov, turn.Cov, 2e-6f);
            EXPECT_NEAR(backAndForthAt(profile, k, f, n).Mean, turn.Mean, 2e-5f);
        }
    }
    // Between whole widths the figures move on smoothly, and the table takes
    // the whole-width ones as they are.
    CardList cards = test::lineOfFive();
    const LineResults line = analyseLine(cards, test::lineSettings());
    ASSERT_EQ(line.FineDeposit.size(), 31u); // 1.0, 1.1, ... 4.0
    EXPECT_DOUBLE_EQ(line.FineDeposit[10].Width, 2.0);
    EXPECT_EQ(line.FineDeposit[10].Cov, line.Deposit.Widths[2].Cov);
    EXPECT_EQ(line.FineDeposit[30].CovBackAndForth, line.Deposit.Widths[4].CovBackAndForth);
    EXPECT_GT(line.FineDeposit[15].Cov, 0.0f);
    EXPECT_NE(line.FineDeposit[15].Cov, line.FineDeposit[10].Cov);
    const CovSpread near = covNear(line.FineDeposit, 3.0);
    EXPECT_TRUE(near.Known);
    EXPECT_LE(near.Min, line.Deposit.Widths[3].Cov);
    EXPECT_GE(near.Max, line.Deposit.Widths[4].Cov); // 4.0 lies within one spacing
}

TEST(SwathFine, AShiftedPatternIsFoundAndCentredBack)
{
    CardList cards = test::lineOfFive();
    AnalysisSettings s = test::lineSettings("-20", "10");
    const LineResults onLine = analyseLine(cards, s);
    ASSERT_TRUE(onLine.Centre.Known);
    EXPECT_NEAR(onLine.Centre.Centroid, 0.0, 1e-9);
    EXPECT_NEAR(onLine.Centre.HalfMeanCentre, 0.0, 1e-9);

    s.Spray[Sample_Position1] = "-10"; // the pattern one spacing out
    const LineResults shifted = analyseLine(cards, s);
    EXPECT_NEAR(shifted.Centre.Centroid, 10.0, 1e-9);
    EXPECT_NEAR(shifted.Centre.HalfMeanCentre, 10.0, 1e-9);
    EXPECT_FALSE(shifted.Centred);
    EXPECT_NE(shifted.Deposit.Widths[3].CovBackAndForth, onLine.Deposit.Widths[3].CovBackAndForth);

    s.CentrePattern = true;
    const LineResults centred = analyseLine(cards, s);
    EXPECT_TRUE(centred.Centred);
    EXPECT_NEAR(centred.Centre.Centroid, 10.0, 1e-9); // where it was found
    for (std::size_t n = 1; n < onLine.Deposit.Widths.size(); ++n) {
        EXPECT_EQ(centred.Deposit.Widths[n].Cov, onLine.Deposit.Widths[n].Cov) << n;
        EXPECT_EQ(centred.Deposit.Widths[n].CovBackAndForth, onLine.Deposit.Widths[n].CovBackAndForth) << n;
    }
    ASSERT_EQ(centred.FineDeposit.size(), onLine.FineDeposit.size());
    for (std::size_t j = 0; j < onLine.FineDeposit.size(); ++j)
        EXPECT_EQ(centred.FineDeposit[j].CovBackAndForth, onLine.FineDeposit[j].CovBackAndForth) << j;
    // The cards stay where they lay.
    EXPECT_FLOAT_EQ(cards[1].Position, -10.0f);
}

} // namespace
} // namespace vex
