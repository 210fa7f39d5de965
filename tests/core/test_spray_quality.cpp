#include "line/ApplicatorFigures.h"
#include "line/DensityTarget.h"
#include "line/SprayQuality.h"
#include "line/SwathDisplay.h"
#include "model/Units.h"
#include "support/LineCards.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(SprayQuality, EachFigureReachesItsClassOnTheBoundAndTheFinerClassWins)
{
    const QualityTable &t = defaultQualityTable();
    // On a bound: the class the bound starts; just below: the class before.
    EXPECT_EQ(classifySpray(t, 110.3, 248.1).Class, "Medium");
    EXPECT_EQ(classifySpray(t, 110.29, 248.1).Class, "Fine");
    EXPECT_EQ(classifySpray(t, 302.5, 658.6).Class, "Ultra Coarse");
    EXPECT_EQ(classifySpray(t, 1.0, 20.0).Class, "Very Fine");
    // Coarse by Dv0.1 but Medium by VMD: Medium.
    const SprayQuality q = classifySpray(t, 170.0, 300.0);
    EXPECT_EQ(q.ByDv01, "Coarse");
    EXPECT_EQ(q.ByVmd, "Medium");
    EXPECT_EQ(q.Class, "Medium");
    EXPECT_FALSE(classifySpray(t, 0.0, 0.0).Known); // no drops, no class
}

TEST(SprayQuality, ALaboratoryTableLoadsAndABadOneIsRefusedWithItsLine)
{
    const Result<QualityTable> own =
        parseQualityTable("class,dv01_um,vmd_um\r\nF,0,0\r\nM,100,200\r\n\r\nC,150,300\r\n");
    ASSERT_TRUE(own.ok()) << own.reason();
    ASSERT_EQ(own->size(), 3u);
    EXPECT_EQ(classifySpray(*own, 150.0, 299.0).Class, "M");
    EXPECT_EQ(classifySpray(*own, 150.0, 300.0).Class, "C");
    for (const auto &[text, line] :
         {std::pair{"F,0,0\nM,100,200\nC,90,300\n", "line 3"}, std::pair{"F,0,0\nM,100\n", "line 2"},
          std::pair{"F,0,0\nM,1o0,200\n", "line 2"}, std::pair{"class,dv01_um,vmd_um\nF,0,0\n", "two classes"}}) {
        const Result<QualityTable> bad = parseQualityTable(text);
        EXPECT_FALSE(bad.ok()) << text;
        EXPECT_NE(bad.reason().find(line), std::string::npos) << bad.reason();
    }
}

TEST(SprayQuality, TheEffectiveSwathIsTheWidestFineWidthWithinTheTargetAndItsRecoveredShare)
{
    CardList cards = test::lineOfFive();
    AnalysisSettings s = test::lineSettings();
    s.Spray[Spray_SprayRate] = "2";
    const LineResults line = analyseLine(cards, s);
    for (const double target : {0.05, 0.2, 0.6}) {
        s.CovTarget = target;
        const EffectiveSwath e = lineEffectiveSwath(line, s, true);
        double widest = 0.0;
        for (const FineWidth &w : line.FineDeposit)
            if (w.Cov <= target)
                widest = std::max(widest, w.Width);
        ASSERT_EQ(e.OneWay.Known, widest > 0.0) << target;
        if (!e.OneWay.Known)
            continue;
        EXPECT_NEAR(e.OneWay.Width, widest, 1e-9);
        EXPECT_LE(e.OneWay.Cov, target + 1e-6);
        const double mean =
            racetrackAt(line.Deposit.Profile, widest).Mean * rateFactor(s.Metric) * swathRatioAt(widest, s.Spray);
        EXPECT_NEAR(e.OneWay.Mean, mean, 1e-4 * mean);
        ASSERT_TRUE(e.OneWay.RecoveredShare.has_value());
        EXPECT_NEAR(*e.OneWay.RecoveredShare, e.OneWay.Mean / 2.0, 1e-12);
    }
    // Without a spray rate nothing is said to be recovered.
    s.Spray[Spray_SprayRate] = "";
    EXPECT_FALSE(lineEffectiveSwath(line, s, true).OneWay.RecoveredShare.has_value());
}

TEST(SprayQuality, DensityTargetsComeFromPresetsOrRangesAndIncludeTheirEnds)
{
    ASSERT_TRUE(parseDensityTarget("fungicide").has_value());
    EXPECT_EQ(parseDensityTarget("fungicide")->Low, 50.0);
    EXPECT_EQ(parseDensityTarget("25-35")->High, 35.0);
    EXPECT_FALSE(parseDensityTarget("35-25").has_value());
    EXPECT_FALSE(parseDensityTarget("lots").has_value());
    EXPECT_EQ(densityVerdict(20, 30, 20.0), DensityVerdict::Within);
    EXPECT_EQ(densityVerdict(20, 30, 30.01), DensityVerdict::Above);
    EXPECT_EQ(densityVerdict(20, 30, 19.9), DensityVerdict::Below);
    EXPECT_DOUBLE_EQ(shareWithin(20, 30, {10, 25, 30, 31}), 0.5);
}

} // namespace
} // namespace vex
