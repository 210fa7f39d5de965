#include "intake/CardLoading.h"
#include "line/CardPositions.h"
#include "line/Swath.h"
#include "line/SwathDisplay.h"
#include "report/Report.h"
#include "support/LineCards.h"
#include "support/RecordingTarget.h"
#include "text/NumberText.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace vex {
namespace {

using test::RecordingTarget;

struct Line {
    CardList Cards;
    SprayInfo Spray;
    ReportInputs In;

    explicit Line(int count, float first = -10.0f, float spacing = 10.0f)
    {
        for (int i = 0; i < count; ++i) {
            CardRecord c = newCardRecord("c" + std::to_string(i + 1) + ".bmp", "/d/", 10, 10, 600);
            c.Scanned = true;
            c.DropDensity = 2.0 + i;
            c.VolumeDensity = 10.0 + i;
            Cards.add(c);
        }
        Spray[Sample_Position1] = formatted(first);
        Spray[Sample_Interval] = formatted(spacing);
        Spray[AC_Swath] = "20";
        Spray[AC_Speed] = "200";
        assignCardPositions(Cards, Spray);
        In.Spray = Spray;
        In.Cards = &Cards;
        In.Stats.assign(static_cast<std::size_t>(count) + 1, CardStat{});
        for (int i = 1; i <= count; ++i)
            In.Stats[static_cast<std::size_t>(i)] = {100.0 + i, 2.0 + i, 10.0 + i};
        SizeClass a;
        a.Diameter = 100;
        a.Count = 5;
        a.VolumeFraction = 0.4f;
        a.CumVolumeFraction = 0.4f;
        SizeClass b;
        b.Diameter = 200;
        b.Count = 2;
        b.VolumeFraction = 0.6f;
        b.CumVolumeFraction = 1.0f;
        In.CompositeAll.Classes.push_back(a);
        In.CompositeAll.Classes.push_back(b);
        In.CompositeAll.LargestDiameter = 200;
        In.CompositeAll.TotalArea = 10;
        In.CompositeAll.TotalVolume = 1;
        In.CompositeAll.LargestClassVolume = 0.6;
        In.CompositeAll.LargestClassCount = 5;
        In.CompositeAll.VMD = 150;
        In.CompositeAll.DropDensity = 0.7;
        In.CompositeAll.VolumeDensity = 12.5;
        swathAnalysis(In.Stats, first, spacing, In.Deposit, In.DropDensity);
    }
    static std::string formatted(float v) { return std::to_string(static_cast<int>(v)); }
};

int pagesDrawn(const RecordingTarget &t)
{
    std::set<int> pages;
    for (const auto &text : t.Texts)
        pages.insert(text.Page);
    return static_cast<int>(pages.size());
}

TEST(ReportPages, OnePageOrAllFourWithThreeBreaks)
{
    Line line(5);
    RecordingTarget three;
    drawReport(three, false, 3, line.In);
    EXPECT_EQ(three.NewPages, 0);
    EXPECT_EQ(three.Clears, 1);
    EXPECT_TRUE(three.has("Composite Results"));
    EXPECT_FALSE(three.has("Analysis Parameters"));
    EXPECT_FALSE(three.has("Swath Analysis"));

    RecordingTarget all;
    std::vector<int> progress;
    drawReport(all, true, 0, line.In, [&progress](int page) { progress.push_back(page); });
    EXPECT_EQ(all.NewPages, 3);
    EXPECT_EQ(all.Clears, 0);
    EXPECT_EQ(pagesDrawn(all), 4);
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3, 4}));
    const char *subtitles[4] = {"Analysis Parameters", "Drop Size Statistics", "Composite Results", "Swath Analysis"};
    for (int p = 0; p < 4; ++p) {
        const RecordingTarget::Text *t = all.find(subtitles[p]);
        ASSERT_NE(t, nullptr) << subtitles[p];
        EXPECT_EQ(t->Page, p + 1);
        EXPECT_DOUBLE_EQ(t->Y, 10.15);
    }
}

TEST(ReportPages, SpreadFormulaAndParameterLines)
{
    EXPECT_EQ(reportSpreadFormula({0.0, -0.2, 0.0}), "0 - 0.2d + 0d\u00b2");
    EXPECT_EQ(reportSpreadFormula({0.0, 0.56, 0.0}), "0 + 0.56d + 0d\u00b2");
    EXPECT_EQ(reportSpreadFormula({1.5, 0.5, -0.001}), "1.5 + 0.5d - 0.001d\u00b2");
    Line line(3);
    line.In.Spray[AC_Type] = "Thrush";
    std::array<std::string, 14> lines = reportParameterLines(line.In);
    EXPECT_EQ(lines[0], "Type:  Thrush");
    EXPECT_EQ(lines[3], "Swath:  20 m");
    EXPECT_EQ(lines[4], "Speed:  200 km/h");
    EXPECT_EQ(lines[11], "Active Rate:   L/ha");
    line.In.Metric = false;
    lines = reportParameterLines(line.In);
    EXPECT_EQ(lines[3], "Swath:  20 ft");
    EXPECT_EQ(lines[4], "Speed:  200 mph");
    EXPECT_EQ(lines[5], "Height:   ft");
    EXPECT_EQ(lines[12], "Spray Rate:   oz/ac");
}

TEST(ReportPages, UsUnitsConvertTheVolumeDensity)
{
    Line line(3);
    line.In.Metric = false;
    RecordingTarget t;
    drawReport(t, true, 1, line.In);
    EXPECT_TRUE(t.has("Ave. Volume Density:  12.50 nL/cm\u00b2 = 17.100 oz/ac"));
    EXPECT_TRUE(t.has("Composite VMD:  150.00 \u00b5m"));
    EXPECT_TRUE(t.has("Droplet Size Range:  0.00 -- 200.00 \u00b5m"));
    RecordingTarget page3;
    drawReport(page3, true, 3, line.In);
    EXPECT_TRUE(page3.has("Card Position (ft)"));
    EXPECT_TRUE(page3.has("oz/ac"));
}

TEST(ReportPages, PositiveCardsStillStartTheAxisAtZero)
{
    Line line(3, 20.0f, 10.0f); // cards at 20, 30, 40
    RecordingTarget t;
    drawReport(t, true, 3, line.In);
    const RecordingTarget::Text *zero = t.find("0");
    bool zeroOnAxis = false;
    for (const auto &text : t.Texts)
        if (text.Value == "0" && std::abs(text.Y - (1.5 - 0.125)) < 1e-9)
            zeroOnAxis = true;
    EXPECT_NE(zero, nullptr);
    EXPECT_TRUE(zeroOnAxis);
    EXPECT_TRUE(t.has("40"));
}

int positionLabels(const RecordingTarget &t)
{
    int n = 0;
    for (const auto &text : t.Texts)
        if (std::abs(text.Y - (1.5 - 0.125)) < 1e-9)
            ++n;
    return n;
}

TEST(ReportPages, MoreThan25CardsLabelEveryKthPosition)
{
    Line few(25, 0.0f, 2.0f);
    RecordingTarget a;
    drawReport(a, true, 3, few.In);
    EXPECT_EQ(positionLabels(a), 25);
    Line edge(26, 0.0f, 2.0f); // 0..50 m: Int(50 / 2 / 10) = 2
    RecordingTarget e;
    drawReport(e, true, 3, edge.In);
    EXPECT_EQ(positionLabels(e), 13);
    Line many(30, 0.0f, 2.0f); // 0..58 m: every second position
    RecordingTarget b;
    drawReport(b, true, 3, many.In);
    EXPECT_EQ(positionLabels(b), 15);
}

TEST(ReportFonts, PreviewScalesAndSmallSizesTakeTheSmallFace)
{
    EXPECT_EQ(reportFont(12, true, 30).Face, "Arial");
    EXPECT_DOUBLE_EQ(reportFont(12, true, 30).Points, 12);
    // A preview with 42 points to the inch: 12 points become 7.
    const ReportFont seven = reportFont(12, false, 42);
    EXPECT_DOUBLE_EQ(seven.Points, 7.0);
    EXPECT_EQ(seven.Face, "Small Fonts");
    const ReportFont above = reportFont(12, false, 42.5);
    EXPECT_GT(above.Points, 7.0);
    EXPECT_EQ(above.Face, "Arial");
    EXPECT_EQ(reportFont(7, true, 72).Face, "Small Fonts");
}

TEST(ReportPages, FewerThanThreeCardsHaveNoSwathPage)
{
    Line line(2);
    RecordingTarget t;
    drawReport(t, true, 4, line.In);
    EXPECT_TRUE(t.has("The swath analysis needs at least three cards."));
    EXPECT_EQ(t.Circles, 0);
    drawReport(t, true, 3, Line(1).In);
    EXPECT_EQ(t.Circles, 3); // one card's point on each graph: a line of no length draws nothing
    Line five(5);
    RecordingTarget s;
    drawReport(s, true, 4, five.In);
    EXPECT_EQ(s.Circles, 8); // four widths for each profile
    EXPECT_TRUE(s.has("Deposit Profile "));
    EXPECT_TRUE(s.has("Drop Density Profile "));
}

TEST(ReportPages, DataLinesAreAThirtySecondOfAnInchOnPaper)
{
    Line line(4);
    RecordingTarget paper;
    drawReport(paper, true, 3, line.In);
    bool thick = false;
    for (const auto &l : paper.Lines)
        thick = thick || l.Width == 300.0 / 32.0;
    EXPECT_TRUE(thick);
    RecordingTarget preview;
    drawReport(preview, false, 3, line.In);
    bool three = false;
    for (const auto &l : preview.Lines)
        three = three || l.Width == 3.0;
    EXPECT_TRUE(three);
    // The line's own figures as dotted references.
    int dotted = 0;
    for (const auto &l : paper.Lines)
        dotted += l.Dotted ? 1 : 0;
    EXPECT_EQ(dotted, 3);
}

TEST(ReportPages, PageOneSaysWhenItWasPrintedAndHowTheCardsWereScanned)
{
    CardList cards = test::lineOfFive();
    cards[2].Resolution = 600;
    cards[1].StainCoverage = 0.5; // the line's: 10 % of five cards of one size
    AnalysisSettings s = test::lineSettings();
    s.Scan.HueLow = 150;
    s.Scan.HueHigh = 190;
    ReportInputs in = reportInputsFor(cards, analyseLine(cards, s), s);
    EXPECT_TRUE(std::regex_match(in.PrintedAt, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d)"))) << in.PrintedAt;
    in.PrintedAt = "2031-02-03 04:05";
    RecordingTarget t;
    drawReport(t, true, 1, in);
    in.HueInvert = true;
    drawReport(t, true, 1, in);
    for (const char *said : {"Printed 2031-02-03 04:05", "Card Resolution:  600, 1200 dpi", "Valid Hues:  150 - 190",
                             "Valid Hues:  outside 150 - 190", "Coverage:  10.0 %"})
        EXPECT_TRUE(t.has(said)) << said;
}

TEST(ReportPages, PageOneGivesTheEstimateForOverlapOfADenseCardAndWithTheExtendedFigures)
{
    CardList cards;
    cards.add(test::lineOfFive()[3]);
    OverlapFigures &o = cards[1].Summary.Overlap;
    o = {.Estimated = true,
         .EstimatedDropDensity = 300,
         .EstimatedDropDensityCi = {250, 350},
         .EstimatedDeposit = 50,
         .EstimatedDepositCi = {40, 60}};
    AnalysisSettings s = test::lineSettings();
    RecordingTarget t;
    auto page1 = [&] {
        t = RecordingTarget();
        drawReport(t, true, 1, reportInputsFor(cards, analyseLine(cards, s), s));
        return t.allText();
    };
    const std::string said = "Estimated Drop Density:  300.00 drops/cm\u00b2 (95 %: 250.00 to 350.00) "
                             "Estimated Deposit:  5.000 L/ha (95 %: 4.000 to 6.000)";
    EXPECT_EQ(page1().find("Estimated"), std::string::npos);
    cards[1].StainCoverage = 0.25; // dense, as the window says
    EXPECT_NE(page1().find("Coverage:  25.0 % " + said), std::string::npos) << page1();
    cards[1].StainCoverage = 0.1;
    s.Extended = true; // a stain 3 pixels across at 1200 dpi, 63.5 um, from a drop of 36 um
    EXPECT_NE(page1().find("Smallest Detectable Drop:  36 \u00b5m Valid Hues"), std::string::npos) << page1();
    EXPECT_NE(page1().find(said), std::string::npos);
    // Still on the page, whose gaps narrow to make room.
    const auto low = std::min_element(t.Texts.begin(), t.Texts.end(), [](auto &a, auto &b) { return a.Y < b.Y; });
    EXPECT_GT(low->Y - low->Points / 72.0 * 1.2, 0.25);
}

TEST(ReportPages, PageThreeJudgesEachCardAgainstTheDensityTarget)
{
    CardList cards = test::lineOfMixedDrops(); // 17 to 65 drops on 0.045 cm²
    AnalysisSettings s = test::lineSettings();
    s.DensityTargetLow = 500;
    s.DensityTargetHigh = 1000;
    RecordingTarget plain;
    drawReport(plain, true, 0, reportInputsFor(cards, analyseLine(cards, s), s));
    s.Extended = true;
    RecordingTarget t;
    drawReport(t, true, 0, reportInputsFor(cards, analyseLine(cards, s), s));
    EXPECT_NE(t.allText().find("Below the target (red): card 1; within (green): card 2, 3; above (blue): card 4, 5."),
              std::string::npos);
    EXPECT_EQ(t.Circles - plain.Circles, 5);
    EXPECT_EQ(t.Rectangles.size() - plain.Rectangles.size(), 1u); // page 2's frame of the class's colour
}

TEST(ReportPages, PageTwoGivesTheSpectrumFiguresOfTheReportedComposite)
{
    CardList cards = test::lineOfMixedDrops();
    const AnalysisSettings s = test::mixedDropsRange(); // the range's figures, not the line's
    const LineResults line = analyseLine(cards, s);
    const SpectrumFigures f = spectrumFigures(line.Range.Classes, line.Range.VMD);
    RecordingTarget t;
    drawReport(t, true, 2, reportInputsFor(cards, line, s));
    EXPECT_TRUE(t.has("Composite (100.00 -- 10000.00 \u00b5m)"));
    for (const double um : {line.Range.VMD, f.Dv01, f.Dv09, f.Nmd})
        EXPECT_TRUE(t.has(formatFixed(um, 2) + " \u00b5m")) << um;
    EXPECT_TRUE(t.has(formatFixed(f.RelativeSpan, 2)));
}

TEST(ReportPages, PageTwoOfALineWithoutDropsFramesEmptyGraphsOnPercentAxes)
{
    CardList cards;
    CardRecord card = newCardRecord("blank.bmp", "/d/", 100, 100, 1200);
    computeCardStatistics(card, {}, {0.0, 0.56, 0.0});
    card.Scanned = true;
    cards.add(std::move(card));
    const AnalysisSettings s = test::lineSettings();
    RecordingTarget t;
    drawReport(t, true, 2, reportInputsFor(cards, analyseLine(cards, s), s));
    EXPECT_TRUE(t.has("(#/cm\u00b2)"));
    const RecordingTarget::Box &frame = t.Rectangles.at(0);
    std::vector<std::string> axis;
    for (const auto &text : t.Texts)
        if (text.X > frame.Right && text.Y > frame.Bottom && text.Y < frame.Top + 0.1)
            axis.push_back(text.Value);
    EXPECT_EQ(axis, (std::vector<std::string>{"0", "25", "50", "75", "100"}));
}

TEST(ReportPages, PageFourProposesWidthsDrawsBothCurvesAndKeepsItsTextApart)
{
    for (const int count : {3, 9}) {
        Line line(count);
        ReportInputs &in = line.In;
        in.FineDeposit = fineWidths(in.Deposit, 0.25);
        in.FineDropDensity = fineWidths(in.DropDensity, 0.25);
        in.Centre = patternCentre(in.Deposit, 10.0f);
        in.Centred = true;
        in.SwathNote = "Left out of the line: c2.bmp; the swath analysis interpolates over their places.";
        RecordingTarget t;
        drawReport(t, true, 4, in);
        const std::string words = t.allText();
        for (const std::string &said :
             {"Chosen width: " + proposalText(in.Deposit, in.FineDeposit, 10.0f, true),
              "Chosen width: " + proposalText(in.DropDensity, in.FineDropDensity, 10.0f, true),
              patternCentreText(in.Centre, true, true), std::string("one way back and forth"),
              std::string("in a crosswind the back-and-forth COV promises more evenness")})
            EXPECT_NE(words.find(said), std::string::npos) << said;
        // Both curves a segment per step between fine widths, and their keys.
        EXPECT_EQ(std::count_if(t.Lines.begin(), t.Lines.end(), [](const auto &l) { return l.Width == 300.0 / 64.0; }),
                  2 * static_cast<long>(in.FineDeposit.size() + in.FineDropDensity.size()));
        EXPECT_EQ(t.crowdedTexts(0.125), std::vector<std::string>()) << count;
    }
}

} // namespace
} // namespace vex
