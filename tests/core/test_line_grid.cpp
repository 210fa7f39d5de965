#include "line/CardPositions.h"
#include "line/LineGrid.h"
#include "line/PassMean.h"
#include "support/LineCards.h"

#include <gtest/gtest.h>

#include <chrono>

namespace vex {
namespace {

using test::lineOfFive;
using test::lineSettings;

TEST(LineGrid, TypedPositionsAndLeftOutCardsReachTheSwathAnalysis)
{
    CardList cards = lineOfFive();
    const AnalysisSettings s = lineSettings();
    const LineResults plain = analyseLine(cards, s);
    EXPECT_FALSE(plain.Interpolated);
    const std::vector<float> profile = plain.Deposit.Profile;
    ASSERT_EQ(profile.size(), 5u);

    // A torn card: its drops leave the pooled spectrum and the swath
    // analysis interpolates over its place.
    cards[3].Excluded = true;
    const LineResults torn = analyseLine(cards, s);
    EXPECT_TRUE(torn.Interpolated);
    EXPECT_DOUBLE_EQ(torn.All.TotalCount, 40.0);
    EXPECT_DOUBLE_EQ(torn.Stats[3].VolumeDensity, 0.0);
    ASSERT_EQ(torn.Deposit.Profile.size(), 5u);
    EXPECT_FLOAT_EQ(torn.Deposit.Profile[2], (profile[1] + profile[3]) / 2.0f);
    EXPECT_NE(torn.Deposit.Widths[2].Cov, plain.Deposit.Widths[2].Cov);
    // Said where the swath analysis is written, and only then.
    const std::string note = "Left out of the line: c.bmp; the swath analysis interpolates over their places.";
    EXPECT_NE(resultsTxt(lineResultsInputs(cards, torn, s)).find(note + "\r\n"), std::string::npos);
    const CardList whole = lineOfFive();
    EXPECT_TRUE(lineResultsInputs(whole, plain, s).SwathNote.empty());

    // The last card lay 20 units further out: two points more, interpolated
    // between the last two cards, and the multiswath starts at card 1.
    cards[3].Excluded = false;
    cards[5].PositionEdited = true;
    cards[5].EditedPosition = 40.0f;
    const LineResults moved = analyseLine(cards, s);
    EXPECT_FLOAT_EQ(cards[5].Position, 40.0f);
    ASSERT_EQ(moved.Deposit.Profile.size(), 7u);
    EXPECT_EQ(moved.Deposit.Widths.size(), 7u);
    EXPECT_NEAR(moved.Deposit.Profile[4], profile[3] + (profile[4] - profile[3]) / 3.0f, 1e-4f);
    EXPECT_FLOAT_EQ(moved.Deposit.Profile[6], profile[4]);
    EXPECT_EQ(moved.Deposit.K, -2);

    // Moved up the line, a card takes the place its new rank gives.
    cards[5].PositionEdited = false;
    cards.move(3, 1);
    assignCardPositions(cards, s.Spray);
    EXPECT_DOUBLE_EQ(cards[1].VolumeDensity, plain.Stats[3].VolumeDensity);
    EXPECT_FLOAT_EQ(cards[1].Position, -20.0f);
    EXPECT_FLOAT_EQ(cards[3].Position, 0.0f);
}

TEST(LineGrid, CardsSpreadFarBeyondTheirSpacingAreRefusedNotAllocated)
{
    CardList cards = lineOfFive();
    cards[5].PositionEdited = true;
    cards[5].EditedPosition = 900000.0f;
    const LineResults line = analyseLine(cards, lineSettings("-20", "0.01"));
    EXPECT_FALSE(line.HasSwath);
    EXPECT_FALSE(line.SwathProblem.empty());
    // The grid's points are bounded by the cards: 203 points for five
    // cards are a typing error too.
    cards[5].EditedPosition = 2000.0f;
    EXPECT_FALSE(analyseLine(cards, lineSettings()).SwathProblem.empty());
}

TEST(LineGrid, ALineFarFromTheFlightLineCostsWhatItsCardsCost)
{
    CardList cards = lineOfFive();
    const LineResults near = analyseLine(cards, lineSettings());
    const auto start = std::chrono::steady_clock::now();
    for (const char *position1 : {"1000000", "-1000000"}) {
        // Card 1 some 3e8 spacings out: the passes flown back lie as far
        // on the other side, and the multiswath profile reaches the flight
        // line; a grid across either gap took gigabytes.
        const LineResults far = analyseLine(cards, lineSettings(position1, "0.003"));
        ASSERT_TRUE(far.HasSwath) << position1;
        EXPECT_TRUE(checkLineFigures(far).ok());
        for (std::size_t n = 1; n < near.Deposit.Widths.size(); ++n)
            EXPECT_EQ(far.Deposit.Widths[n].Cov, near.Deposit.Widths[n].Cov) << n;
        EXPECT_LE(far.Deposit.Multiswath.size(),
                  5u + 4u * static_cast<std::size_t>(far.Deposit.Passes) + static_cast<std::size_t>(MaxMultiswathTail));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(PassMean, TwoIdenticalPassesAreOnePassAndTheMeanIsPositionByPosition)
{
    std::vector<LinePass> passes(2);
    for (LinePass &p : passes) {
        p.Cards = lineOfFive();
        p.Spray = lineSettings().Spray;
    }
    const AnalysisSettings s = lineSettings();
    CardList single = lineOfFive();
    const LineResults one = analyseLine(single, s);
    const PassMean same = meanOfPasses(passes, {}, s);
    EXPECT_EQ(same.Passes, (std::vector<int>{1, 2}));
    EXPECT_DOUBLE_EQ(same.Line.All.VMD, one.All.VMD);
    EXPECT_DOUBLE_EQ(same.Line.All.VolumeDensity, one.All.VolumeDensity);
    EXPECT_EQ(same.Line.Deposit.Profile, one.Deposit.Profile);
    EXPECT_EQ(same.Line.Deposit.SelectedWidth, one.Deposit.SelectedWidth);
    for (std::size_t n = 1; n < one.Deposit.Widths.size(); ++n) {
        EXPECT_EQ(same.Line.Deposit.Widths[n].Cov, one.Deposit.Widths[n].Cov) << n;
        EXPECT_EQ(same.Line.Deposit.Widths[n].CovBackAndForth, one.Deposit.Widths[n].CovBackAndForth) << n;
    }
    EXPECT_FALSE(same.Line.Interpolated);
    ASSERT_EQ(same.Points.count(), 5);
    EXPECT_FLOAT_EQ(same.Points[5].Position, 20.0f);

    // The second pass flown one spacing further out: where both reach, the
    // mean of the two; at each end, the one pass that reaches.
    passes[1].Spray[Sample_Position1] = "-10";
    const PassMean shifted = meanOfPasses(passes, {}, s);
    ASSERT_EQ(shifted.Line.Deposit.Profile.size(), 6u);
    const std::vector<float> &p = one.Deposit.Profile;
    EXPECT_FLOAT_EQ(shifted.Line.Deposit.Profile[0], p[0]);
    EXPECT_FLOAT_EQ(shifted.Line.Deposit.Profile[2], (p[2] + p[1]) / 2.0f);
    EXPECT_FLOAT_EQ(shifted.Line.Deposit.Profile[5], p[4]);
    EXPECT_EQ(shifted.Reach, (std::vector<int>{0, 1, 2, 2, 2, 2, 1}));
    // Only the passes asked for.
    EXPECT_EQ(meanOfPasses(passes, {2}, s).Line.Deposit.K, -1);
}

} // namespace
} // namespace vex
