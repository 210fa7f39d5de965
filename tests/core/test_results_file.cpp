// The results file of a known line of three cards, line by line, and the
// rules that vary with units, positions, unscanned cards and typed texts.

#include "analysis/ScanLog.h"
#include "intake/CardLoading.h"
#include "line/ApplicatorFigures.h"
#include "line/CardPositions.h"
#include "line/ResultsFile.h"
#include "line/StainTable.h"
#include "line/Swath.h"
#include "line/SwathDisplay.h"
#include "model/Units.h"
#include "report/Report.h"
#include "support/LineCards.h"
#include "text/NumberText.h"
#include "text/Windows1252.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace vex {
namespace {

// Three cards at -10, 0 and 10 m; deposit 10, 40, 10 nL/cm2 and drop
// density 2, 4, 2; two pooled classes.
struct KnownLine {
    CardList Cards;
    SprayInfo Spray;
    std::vector<CardStat> Stats;
    SwathProfile Deposit;
    SwathProfile DropDensity;
    ResultsInputs In;

    explicit KnownLine(int cards = 3,
                       const std::vector<CardStat> &stats = {{}, {100, 2, 10}, {200, 4, 40}, {150, 2, 10}})
        : Stats(stats)
    {
        for (int i = 0; i < cards; ++i) {
            CardRecord c = newCardRecord(std::string(1, static_cast<char>('a' + i)) + ".bmp", "/d/", 10, 10, 600);
            c.Scanned = true;
            Cards.add(c);
        }
        Spray[AC_Type] = "Thrush";
        Spray[AC_Registration] = "ZK-ABC";
        Spray[AC_Owner] = "Ag Air";
        Spray[AC_Speed] = "200";
        Spray[AC_Height] = "3";
        Spray[Spray_Product] = "Water";
        Spray[Spray_ActiveRate] = "1";
        Spray[Spray_SprayRate] = "20";
        Spray[Nozzle_Type] = "CP";
        Spray[Nozzle_Number] = "40";
        Spray[Sampler_Type] = "WSP";
        Spray[Sample_Position1] = "-10";
        Spray[Sample_Interval] = "10";
        Spray[Comment] = "calm";
        CompositeResult c;
        SizeClass a;
        a.Diameter = 100;
        a.Count = 6;
        a.VolumeFraction = 0.25f;
        a.CumVolumeFraction = 0.25f;
        a.NumberFraction = 0.75f;
        a.CumNumberFraction = 0.75f;
        SizeClass b;
        b.Diameter = 200;
        b.Count = 2;
        b.VolumeFraction = 0.75f;
        b.CumVolumeFraction = 1.0f;
        b.NumberFraction = 0.25f;
        b.CumNumberFraction = 1.0f;
        c.Classes.push_back(a);
        c.Classes.push_back(b);
        c.TotalArea = 4;
        c.VMD = 166.666;
        c.DropDensity = 2;
        c.VolumeDensity = 20;
        In.Reported = c;
        refresh();
    }

    // Positions, swath analysis and multiswath from the current spray information.
    void refresh()
    {
        assignCardPositions(Cards, Spray);
        Deposit = {};
        DropDensity = {};
        swathAnalysis(Stats, positionValue(Spray[Sample_Position1]), positionValue(Spray[Sample_Interval]), Deposit,
                      DropDensity);
        buildMultiswath(Deposit);
        buildMultiswath(DropDensity);
        In.Spray = &Spray;
        In.Cards = &Cards;
        In.Stats = &Stats;
        In.Deposit = &Deposit;
        In.DropDensity = &DropDensity;
    }
};

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &l : lines)
        text += l + "\r\n";
    return toWindows1252(text);
}

std::vector<std::string> linesOf(const std::string &bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = bytes.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(bytes.substr(start, at - start));
    return lines;
}

TEST(ResultsTxt, WholeFileOfAKnownLine)
{
    KnownLine line;
    const std::vector<std::string> expected = {
        "Vexolin -- Quarrow Droplet Analysis Program",
        "Swath Deposit Analysis",
        "--------------------------------------------------",
        "",
        "Spray Information:",
        "------------------",
        "Aircraft Type:          Thrush",
        "Aircraft Registration:  ZK-ABC",
        "Aircraft Owner:         Ag Air",
        "Aircraft Swath:          m",
        "Aircraft Speed:         200 km/h",
        "Aircraft Height:        3 m",
        "Product Sprayed:        Water",
        "Active Rate:            1 L/ha",
        "Spray Rate:             20 L/ha",
        "Nozzles:                40× CP",
        "Analysis Device:        WSP",
        "Spread Factor:          0 + 0.56d - 0d²",
        "Sampler1 Position:      -10 m",
        "Sampler Separation:     10 m",
        "Comment:                calm",
        "--------------------------------------------------",
        "",
        "Results:",
        "--------",
        "Droplet Size Range:     0.00 -- 200.00 µm",
        "Selected Size Range:    0.00 -- 200.00 µm",
        "Drop Roundness:         100",
        "% Valid Hues:           0",
        "Composite VMD:          166.67 µm",
        "Ave. Drop Density:      2.00 drops/cm²",
        "Ave. Volume Density:    20.00 nL/cm² = 2.000 L/ha",
        "",
        "",
        "Card   Position   VMD     Drop Density   Deposit Volume   Filename",
        "         (m)      (µm)       (#/cm²)         (L/ha)",
        "  1        -10   100.00        2.00          1.000        a.bmp",
        "  2          0   200.00        4.00          4.000        b.bmp",
        "  3         10   150.00        2.00          1.000        c.bmp",
        "",
        "",
        " Diameter    Count       Volume       Cumulative    Drop Density     Number      Cumulative",
        "   (µm)                 Fraction%      V.F. (%)       (#/cm²)       Fraction%     N.F. (%)",
        "  100.000       6        25.00          25.00          1.500          75.00         75.00",
        "  200.000       2        75.00         100.00          0.500          25.00        100.00",
        "",
        "",
        "Swath Analysis:",
        "---------------",
        "  Swath     ------ Deposit (L/ha) ------      --- Drop Density (#/cm²) ---",
        "Width (m)    COV    Mean     Max     Min       COV    Mean     Max     Min     COV b/f  COV b/f",
        "    10   ***0.00    6.00    6.00    6.00      0.00    8.00    8.00    8.00        0.00     0.00",
        "    20      0.47    3.00    4.00    2.00   ***0.00    4.00    4.00    4.00        0.47     0.00",
        "",
        "Multiswath Profiles:",
        "--------------------",
        "Block Size: 0-10m      0-20m",
        "",
        "Position   Deposit   Drop Density",
        "  (m)       (L/ha)     (#/cm²)",
        "    -10      1.000       2.000",
        "      0      5.000       4.000",
        "     10      6.000       4.000",
        "     20      6.000       4.000",
        "     30      6.000       4.000",
        "     40      5.000       4.000",
        "     50      1.000       4.000",
        "     60      0.000       4.000",
        "     70      0.000       4.000",
        "     80      0.000       4.000",
        "     90      0.000       2.000",
        "    100      0.000       0.000",
    };
    EXPECT_EQ(resultsTxt(line.In), joined(expected));
}

TEST(ResultsCsv, WholeFileOfAKnownLine)
{
    KnownLine line;
    const std::vector<std::string> expected = {
        "Vexolin -- Quarrow Droplet Analysis Program",
        "Swath Deposit Analysis",
        "--------------------------------------------------",
        "",
        "Spray Information:",
        "------------------",
        "Aircraft Type:,,Thrush",
        "Aircraft Registration:,,ZK-ABC",
        "Aircraft Owner:,,Ag Air",
        "Aircraft Swath:,, m",
        "Aircraft Speed:,,200 km/h",
        "Aircraft Height:,,3 m",
        "Product Sprayed:,,Water",
        "Active Rate:,,1 L/ha",
        "Spray Rate:,,20 L/ha",
        "Nozzles:,,40× CP",
        "Analysis Device:,,WSP",
        "Spread Factor:,,0 + 0.56d - 0d²",
        "Sampler1 Position:,,-10 m",
        "Sampler Separation:,,10 m",
        "Comment:,,calm",
        "--------------------------------------------------",
        "",
        "Results:",
        "--------",
        "Droplet Size Range:,,0.00 -- 200.00 µm",
        "Selected Size Range:,,0.00 -- 200.00 µm",
        "Drop Roundness:,,100",
        "% Valid Hues:,,0",
        "Composite VMD:,,166.67µm",
        "Ave. Drop Density:,,2.00 drops/cm²",
        "Ave. Volume Density:,,20.00 nL/cm² = 2.000 L/ha",
        "",
        "",
        "Card,Position,VMD,Drop Density,Deposit Volume,Filename",
        ",(m),(µm),(#/cm²),(L/ha)",
        "1,-10,100.0,2.00,1.00,a.bmp",
        "2,0,200.0,4.00,4.00,b.bmp",
        "3,10,150.0,2.00,1.00,c.bmp",
        "",
        "",
        "Diameter,Count,Volume,Cumulative,Drop Density,Number,Cumulative",
        "(µm),,Fraction%,V.F. (%),(#/cm²),Fraction%,N.F. (%)",
        "100.00,6,25.00,25.00,1.500,75.00,75.00",
        "200.00,2,75.00,100.00,0.500,25.00,100.00",
        "",
        "",
        "Swath Analysis:",
        "---------------",
        "Swath,,-------,Deposit,(L/ha),-------,,-------,Drop Density,(#/cm²),-------,COV b/f,COV b/f",
        "Width (m),,COV,Mean,Max,Min,,COV,Mean,Max,Min,Deposit,Drop Density",
        "10,        *****,0.00,6.00,6.00,6.00,,0.00,8.00,8.00,8.00,0.00,0.00",
        "20,,0.47,3.00,4.00,2.00,        *****,0.00,4.00,4.00,4.00,0.47,0.00",
        "",
        "Multiswath Profiles",
        "Block Size:,0-10m,0-20m",
        "",
        "Position,Deposit,Drop Density",
        "(m),(L/ha),(#/cm²)",
        "-10,1.000,2.000",
        "0,5.000,4.000",
        "10,6.000,4.000",
        "20,6.000,4.000",
        "30,6.000,4.000",
        "40,5.000,4.000",
        "50,1.000,4.000",
        "60,0.000,4.000",
        "70,0.000,4.000",
        "80,0.000,4.000",
        "90,0.000,2.000",
        "100,0.000,0.000",
        "",
    };
    EXPECT_EQ(resultsCsv(line.In), joined(expected));
}

TEST(ResultsFileUnits, UsUnitsEverywhere)
{
    KnownLine line;
    line.In.Metric = false;
    line.In.RateFactor = 1.368f;
    line.In.RateUnit = "oz/ac";
    const std::string txt = resultsTxt(line.In);
    EXPECT_NE(txt.find("Aircraft Speed:         200 mph\r\n"), std::string::npos);
    EXPECT_NE(txt.find("Sampler1 Position:      -10 ft\r\n"), std::string::npos);
    EXPECT_NE(txt.find(toWindows1252("20.00 nL/cm\u00b2 = 27.360 oz/ac")), std::string::npos);
    EXPECT_NE(txt.find("Width (ft)"), std::string::npos);
    EXPECT_EQ(txt.find(" m\r\n"), std::string::npos);
    EXPECT_EQ(txt.find("L/ha"), std::string::npos);
    EXPECT_EQ(txt.find("km/h"), std::string::npos);
    // Card 2's deposit: 40 nL/cm2 x 1.368.
    EXPECT_NE(txt.find("  2          0   200.00        4.00         54.720        b.bmp"), std::string::npos);
    const std::string csv = resultsCsv(line.In);
    EXPECT_NE(csv.find("2,0,200.0,4.00,54.72,b.bmp\r\n"), std::string::npos);
    EXPECT_NE(csv.find("(ft),(oz/ac),"), std::string::npos);
}

TEST(ResultsFilePositions, HalfSpacingOffsetsShowOneDecimal)
{
    KnownLine line;
    line.Spray[Sample_Position1] = "-45";
    line.refresh();
    const std::vector<std::string> rows = linesOf(resultsTxt(line.In));
    EXPECT_NE(std::find(rows.begin(), rows.end(), "  1      -45.0   100.00        2.00          1.000        a.bmp"),
              rows.end());
    EXPECT_NE(std::find(rows.begin(), rows.end(), "Block Size: 0-10.0m    0-20.0m"), rows.end());
    // Multiswath places keep card 1's half-spacing offset: -4.5 spacings.
    EXPECT_NE(std::find(rows.begin(), rows.end(), "  -45.0      1.000       2.000"), rows.end());
    const std::string csv = resultsCsv(line.In);
    EXPECT_NE(csv.find("\r\n1,-45.0,100.0,"), std::string::npos);
}

TEST(ResultsFileCards, UnscannedCardsHaveNoRowAndTheOthersKeepTheirNumbers)
{
    KnownLine line(5, {{}, {100, 2, 10}, {120, 3, 20}, {0, 0, 0}, {120, 3, 20}, {100, 2, 10}});
    CardRecord &third = line.Cards[3];
    third.Scanned = false;
    line.refresh();
    const std::string csv = resultsCsv(line.In);
    for (const char *row : {"\r\n1,-10,", "\r\n2,0,", "\r\n4,20,", "\r\n5,30,"})
        EXPECT_NE(csv.find(row), std::string::npos) << row;
    EXPECT_EQ(csv.find("\r\n3,10,"), std::string::npos);
    const std::vector<std::string> rows = linesOf(resultsTxt(line.In));
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const std::string &r) { return r.find(".bmp") != std::string::npos; }),
              4);
}

TEST(ResultsFileCards, AReducedCardSaysSoAtTheEndOfItsRow)
{
    KnownLine line(2, {{}, {100, 2, 10}, {120, 3, 20}});
    line.Cards[2].ReducedFromBits = 48;
    line.Cards[2].ReducedColours = 12;
    line.Cards[2].ReducedExactly = true;
    line.refresh();
    const std::string csv = resultsCsv(line.In);
    EXPECT_NE(csv.find(line.Cards[2].FileTitle + ",reduced from 48 bits to 12 colours\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(line.Cards[1].FileTitle + "\r\n"), std::string::npos);
    const std::vector<std::string> rows = linesOf(resultsTxt(line.In));
    EXPECT_NE(std::find(rows.begin(), rows.end(), "  1        -10   100.00        2.00          1.000        a.bmp"),
              rows.end());
    EXPECT_NE(std::find(rows.begin(), rows.end(),
                        "  2          0   120.00        3.00          2.000        b.bmp  "
                        "(reduced from 48 bits to 12 colours)"),
              rows.end());
}

TEST(ResultsFileSwath, OneMarkerPerProfileOnItsSelectedWidth)
{
    KnownLine line(6, {{}, {100, 2, 10}, {120, 3, 30}, {130, 5, 60}, {130, 5, 50}, {120, 3, 20}, {100, 2, 5}});
    line.Deposit.SelectedWidth = 4;
    line.DropDensity.SelectedWidth = 2;
    const std::vector<std::string> rows = linesOf(resultsTxt(line.In));
    int deposit = 0;
    int density = 0;
    for (const std::string &r : rows) {
        if (r.size() >= 12 && r.compare(9, 3, "***") == 0) {
            ++deposit;
            EXPECT_EQ(r.substr(0, 6), "    40");
        }
        if (r.size() >= 46 && r.compare(43, 3, "***") == 0) {
            ++density;
            EXPECT_EQ(r.substr(0, 6), "    20");
        }
    }
    EXPECT_EQ(deposit, 1);
    EXPECT_EQ(density, 1);
    const std::string csv = resultsCsv(line.In);
    std::size_t markers = 0;
    for (std::size_t at = 0; (at = csv.find("        *****", at)) != std::string::npos; ++at)
        ++markers;
    EXPECT_EQ(markers, 2u);
}

TEST(ResultsFileSwath, AircraftSwathScalesTheDepositFigures)
{
    KnownLine line;
    line.Spray[AC_Swath] = "40";
    // Width 2 of 10 m over a 40 m swath: half of the unscaled figures.
    const std::vector<std::string> rows = linesOf(resultsTxt(line.In));
    EXPECT_NE(
        std::find(rows.begin(), rows.end(),
                  "    20      0.47    1.50    2.00    1.00   ***0.00    2.00    2.00    2.00        0.47     0.00"),
        rows.end());
    line.Spray[AC_Swath] = "";
    const std::vector<std::string> plain = linesOf(resultsTxt(line.In));
    EXPECT_NE(
        std::find(plain.begin(), plain.end(),
                  "    20      0.47    3.00    4.00    2.00   ***0.00    4.00    4.00    4.00        0.47     0.00"),
        plain.end());
}

TEST(ResultsFileLayout, FieldPastItsColumnGoesOnANewLine)
{
    KnownLine line;
    line.Spray[Sample_Position1] = "-123456789012";
    line.refresh();
    const std::vector<std::string> rows = linesOf(resultsTxt(line.In));
    // The card number ends at column 3; the position, 13 characters and
    // more, cannot end at 14 behind it and starts a line of its own.
    const auto one = std::find(rows.begin(), rows.end(), "  1");
    ASSERT_NE(one, rows.end());
    // (Held in single precision, as positions are.)
    EXPECT_EQ((one + 1)->substr(0, 9), "-12345679");
    EXPECT_GT((one + 1)->find("100.00"), 14u);
}

TEST(ResultsFileTexts, TypedTextsWithCommasQuotesAndLineBreaks)
{
    EXPECT_EQ(csvField("plain"), "plain");
    EXPECT_EQ(csvField("Smith, J."), "\"Smith, J.\"");
    EXPECT_EQ(csvField("12\" nozzle"), "\"12\"\" nozzle\"");
    EXPECT_EQ(csvField("two\nlines"), "two lines");
    KnownLine line;
    line.Spray[Comment] = "windy, then calm";
    line.Spray[AC_Owner] = "Ag \"Air\"";
    const std::string csv = resultsCsv(line.In);
    EXPECT_NE(csv.find("\r\nComment:,,\"windy, then calm\"\r\n"), std::string::npos);
    EXPECT_NE(csv.find("\r\nAircraft Owner:,,\"Ag \"\"Air\"\"\"\r\n"), std::string::npos);
    // A comment of several lines stays on the line of its label.
    line.Spray[Comment] = "first\nsecond";
    EXPECT_NE(resultsTxt(line.In).find("Comment:                first second\r\n"), std::string::npos);
}

TEST(ResultsFileTexts, TypedTextsAndNamesNeverEndOrForgeALine)
{
    KnownLine line;
    line.Spray[Comment] = "calm\r\nComposite VMD:          9999.00 \xc2\xb5m";
    line.Spray[AC_Type] = "Thrush\x1b[2J\t510\x7f";
    line.Cards[2].FileTitle = "b\rc\n.bmp";
    for (const std::string &file :
         {resultsTxt(line.In), resultsCsv(line.In), stainTableRows(line.Cards[2], {StainRecord{}}, {})}) {
        std::size_t vmdLines = 0;
        for (const std::string &row : linesOf(file)) {
            vmdLines += row.rfind("Composite VMD:", 0) == 0 ? 1 : 0;
            EXPECT_EQ(std::count_if(row.begin(), row.end(), [](char c) { return (c >= 0 && c < 0x20) || c == 0x7f; }),
                      0)
                << row;
        }
        EXPECT_LE(vmdLines, 1u);
        EXPECT_EQ(std::count(file.begin(), file.end(), '\r'), std::count(file.begin(), file.end(), '\n'));
    }
    EXPECT_NE(resultsTxt(line.In).find("Aircraft Type:          Thrush [2J 510 \r\n"), std::string::npos);
    EXPECT_NE(resultsCsv(line.In).find(",b c .bmp\r\n"), std::string::npos);
}

TEST(ResultsFileTexts, TextsASpreadsheetWouldRunStayTextAndNumbersStayNumbers)
{
    KnownLine line;
    line.Spray[AC_Owner] = "=HYPERLINK(\"http://x\",\"y\")";
    line.Spray[Spray_Product] = "@SUM(A1)";
    line.Spray[Nozzle_Number] = " +1+1";
    line.Spray[Spray_ActiveRate] = "-3.5";
    line.Cards[1].FileTitle = "-2+3.bmp";
    const std::string csv = resultsCsv(line.In);
    EXPECT_NE(csv.find("\r\nAircraft Owner:,,\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"\r\n"), std::string::npos);
    EXPECT_NE(csv.find("\r\nProduct Sprayed:,,\"'@SUM(A1)\"\r\n"), std::string::npos);
    EXPECT_NE(csv.find("\r\nNozzles:,,\"' +1+1\xd7 CP\"\r\n"), std::string::npos);
    EXPECT_NE(csv.find(",\"'-2+3.bmp\"\r\n"), std::string::npos);
    EXPECT_NE(stainTableRows(line.Cards[1], {StainRecord{}}, {}).find("\"'-2+3.bmp\",1,"), std::string::npos);
    // Typed numbers are left as they are, a sign and all.
    EXPECT_NE(csv.find("\r\nActive Rate:,,-3.5 L/ha\r\n"), std::string::npos);
    EXPECT_NE(csv.find("\r\nSampler1 Position:,,-10 m\r\n"), std::string::npos);
    EXPECT_EQ(csvTextField("-7,5"), "\"-7,5\"");
}

TEST(ResultsFileTexts, SpreadFactorText)
{
    EXPECT_EQ(spreadFactorText({0.0, 0.56, 0.0}), "0 + 0.56d - 0d\u00b2");
    EXPECT_EQ(spreadFactorText({1.5, -0.5, 0.001}), "1.5 - 0.5d + 0.001d\u00b2");
    EXPECT_EQ(resultsWriteError("No space left on device"),
              "There was an error writing the data file.\r\rError: No space left on device");
}

TEST(ResultsFileLayout, TheFinalNameChoosesTheLayout)
{
    EXPECT_TRUE(resultsAsCsv("/d/results.CSV", 1));
    EXPECT_FALSE(resultsAsCsv("/d/results.txt", 2));
    EXPECT_TRUE(resultsAsCsv("/d/results", 2));
    EXPECT_FALSE(resultsAsCsv("/d/results.dat", 1));
}

TEST(ResultsRangeLog, RangeSectionOfACardLog)
{
    CardRecord card = newCardRecord("a.bmp", "/d/", 1000, 1000, 1200);
    CompositeResult range;
    SizeClass c;
    c.Area = 50;
    c.Count = 10;
    c.Diameter = 100.5f;
    c.VolumeFraction = 1.0f;
    c.CumVolumeFraction = 1.0f;
    c.NumberFraction = 1.0f;
    c.CumNumberFraction = 1.0f;
    range.Classes.push_back(c);
    range.VMD = 100.5;
    range.DropDensity = 2.5;
    range.VolumeDensity = 3.25;
    const std::vector<std::string> lines = linesOf(scanLogRangeSection(card, range, 80.0f, 150.0f, true));
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0], toWindows1252("Droplet Size Range:         80.00 -- 150.00 \u00b5m"));
    EXPECT_EQ(lines[1], toWindows1252("VMD:                        100.50 \u00b5m"));
    EXPECT_EQ(lines[2], toWindows1252("Drop Density:               2.50 drops/cm\u00b2"));
    EXPECT_EQ(lines[3], toWindows1252("Volume Density:             3.25 nL/cm\u00b2 = 0.325 L/ha"));
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "Results:");
    EXPECT_EQ(lines[9].substr(0, 16), "   50        10 ");
    const std::vector<std::string> none = linesOf(scanLogRangeSection(card, CompositeResult{}, 80.0f, 150.0f, false));
    EXPECT_EQ(none[7], std::string(30, '-') + " NO DROPS FOUND " + std::string(30, '-'));
    EXPECT_NE(none[3].find(" oz/ac"), std::string::npos);
}

TEST(ResultsFileExtended, RowsAndResultsGiveTheSpectrumTheirOtherFiguresComeFrom)
{
    CardList cards = test::lineOfMixedDrops();
    cards[3].Excluded = true;
    AnalysisSettings s = test::mixedDropsRange();
    const std::string um = " \u00b5m";
    s.Extended = true;
    for (const bool range : {false, true}) {
        s.HasRange = range;
        const LineResults line = analyseLine(cards, s);
        ResultsInputs in = lineResultsInputs(cards, line, s);
        const std::vector<std::string> csv = linesOf(resultsCsv(in));
        const std::string txt = resultsTxt(in);
        for (int i = 1; i <= 5; ++i) {
            const CompositeResult r = range ? calcSingleRange(cards[i], s.RangeLow, s.RangeHigh) : CompositeResult{};
            const SpectrumFigures f =
                spectrumFigures(range ? r.Classes : cards[i].Stains, range ? r.VMD : cards[i].VMD);
            const std::string row = *std::find_if(
                csv.begin(), csv.end(), [i](const std::string &l) { return l.rfind(std::to_string(i) + ",", 0) == 0; });
            const std::string own = i == 3 ? ",,,,"
                                           : "," + formatFixed(f.Dv01, 1) + "," + formatFixed(f.Dv09, 1) + "," +
                                                 formatFixed(f.RelativeSpan, 2) + "," + formatFixed(f.Nmd, 1);
            // A card left out has none; the estimate for overlap follows,
            // blank for cards without one, then the card's spray quality class.
            const std::string tail = "," + (i == 3 ? std::string() : cardSprayQuality(cards[i], s.Quality).Class) + ",";
            EXPECT_EQ(row.substr(row.size() - own.size() - 6 - tail.size()), own + ",,,,,," + tail) << row;
            const std::string bracket =
                "; relative span " + formatFixed(f.RelativeSpan, 2) + "; NMD " + formatFixed(f.Nmd, 2) + um + "]";
            EXPECT_EQ(txt.find(toWindows1252(bracket)) != std::string::npos, i != 3) << bracket;
        }
        const CompositeResult &pooled = range ? line.Range : line.All;
        const SpectrumFigures p = spectrumFigures(pooled.Classes, pooled.VMD);
        for (const std::string &l :
             {"Dv0.1:,," + formatFixed(p.Dv01, 2) + um, "Dv0.9:,," + formatFixed(p.Dv09, 2) + um,
              "Relative Span:,," + formatFixed(p.RelativeSpan, 2), "NMD:,," + formatFixed(p.Nmd, 2) + um,
              "Deposit Width:,," + proposalText(line.Deposit, line.FineDeposit, line.Interval, true),
              "Drop Density Width:,," + proposalText(line.DropDensity, line.FineDropDensity, line.Interval, true),
              patternCentreText(line.Centre, false, true)})
            EXPECT_NE(std::find(csv.begin(), csv.end(), toWindows1252(l)), csv.end()) << l;
        in.Extended = false;
        const std::string plain = resultsTxt(in) + resultsCsv(in);
        for (const char *extended : {"Dv0.1", "NMD", "Width:", "Pattern centre"})
            EXPECT_EQ(plain.find(extended), std::string::npos) << extended;
    }
}

// Each card's estimate for overlap at the end of its row, and in the pooled
// densities only when asked, which every results file then says.
TEST(ResultsFileExtended, EstimatesForOverlapEndTheRowsAndArePooledWhenAsked)
{
    CardList cards = test::lineOfMixedDrops();
    cards[3].Excluded = true;
    double area = 0.0, density = 0.0, deposit = 0.0;
    for (int i = 1; i <= cards.count(); ++i) {
        OverlapFigures &o = cards[i].Summary.Overlap;
        o.Estimated = i != 2; // card 2 keeps its count
        o.EstimatedDropDensity = 10.0 * i;
        o.EstimatedDropDensityCi = {9.0 * i, 11.0 * i};
        o.EstimatedDeposit = 100.0 * i;
        o.EstimatedDepositCi = {90.0 * i, 110.0 * i};
        if (i == 3)
            continue;
        area += cards[i].CardArea;
        density += cards[i].CardArea * (i == 2 ? cards[i].DropDensity : 10.0 * i);
        deposit += cards[i].CardArea * (i == 2 ? cards[i].VolumeDensity : 100.0 * i);
    }
    AnalysisSettings s = test::mixedDropsRange();
    s.Extended = true;
    const LineResults counted = analyseLine(cards, s);
    s.PoolEstimates = true;
    const LineResults line = analyseLine(cards, s);
    EXPECT_NEAR(line.All.DropDensity, density / area, 1e-9 * density / area);
    EXPECT_NEAR(line.All.VolumeDensity, deposit / area, 1e-9 * deposit / area);
    EXPECT_NE(counted.All.DropDensity, line.All.DropDensity);
    const std::string csv = resultsCsv(lineResultsInputs(cards, line, s));
    const double rate = static_cast<double>(rateFactor(true));
    EXPECT_NE(csv.find(",40.00,36.00,44.00," + formatFixed(400.0 * rate, 2) + "," + formatFixed(360.0 * rate, 2) + "," +
                       formatFixed(440.0 * rate, 2) + ","), // the class and density verdict follow
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("Pooled Densities:,,each card's estimate for overlap\r\n"), std::string::npos);
    EXPECT_NE(resultsTxt(lineResultsInputs(cards, line, s)).find("[estimated 40.00 drops/cm"), std::string::npos);
    EXPECT_EQ(overlapEstimateText(cards[4], true), "Estimated: 40.0 \u00b1 4.0 drops/cm\u00b2, " +
                                                       formatFixed(400.0 * rate, 1) + " \u00b1 " +
                                                       formatFixed(40.0 * rate, 1) + " L/ha (95 %)");
    EXPECT_EQ(overlapEstimateText(cards[2], true), "");
}

TEST(ResultsFileSwath, CentredPassesAreSaidUnderTheHeadingEvenWithoutTheExtendedFigures)
{
    CardList cards = test::lineOfFive();
    AnalysisSettings s = test::lineSettings("-10"); // the pattern lies 10 m off the flight line
    for (const bool centre : {false, true}) {
        s.CentrePattern = centre;
        const LineResults line = analyseLine(cards, s);
        ASSERT_EQ(line.Centred, centre);
        const ResultsInputs in = lineResultsInputs(cards, line, s);
        const std::string said = toWindows1252(patternCentreText(line.Centre, true, true));
        const std::string heading = "Swath Analysis:\r\n---------------\r\n";
        EXPECT_EQ(resultsTxt(in).find(heading + said + "\r\n") != std::string::npos, centre);
        EXPECT_EQ(resultsCsv(in).find(heading + csvField(said) + "\r\n") != std::string::npos, centre);
    }
}

TEST(ResultsFileSettings, CutStainsAreSaidUnderTheThresholdsInTheReportAndOnlyWhenCut)
{
    CardList cards = test::lineOfFive();
    AnalysisSettings s = test::lineSettings("-10");
    for (const bool split : {false, true}) {
        s.Scan.SplitTouching = split;
        const LineResults line = analyseLine(cards, s);
        const ResultsInputs in = lineResultsInputs(cards, line, s);
        EXPECT_EQ(
            resultsTxt(in).find("% Valid Hues:           0\r\nTouching Stains:        cut apart before testing\r\n") !=
                std::string::npos,
            split);
        EXPECT_EQ(resultsCsv(in).find("% Valid Hues:,,0\r\nTouching Stains:,,cut apart before testing\r\n") !=
                      std::string::npos,
                  split);
        EXPECT_EQ(reportExtendedLine(reportInputsFor(cards, line, s)),
                  split ? "Touching stains were cut apart before testing." : "");
    }
}

} // namespace
} // namespace vex
