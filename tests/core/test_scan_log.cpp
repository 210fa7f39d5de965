#include "analysis/ScanLog.h"
#include "support/CommaLocale.h"
#include "support/TempFolder.h"
#include "support/WriteFaults.h"
#include "text/Windows1252.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vex {
namespace {

std::string sp(std::size_t n)
{
    return std::string(n, ' ');
}

CardRecord twoClassCard(const std::string &folder = "/cards/")
{
    CardRecord card;
    card.FileTitle = "card1.bmp";
    card.FilePath = folder + card.FileTitle;
    card.Resolution = 1200;
    card.ImageWidth = 2400;
    card.ImageHeight = 3600;
    card.PixelSizeX = card.PixelSizeY = 25400.0 / 1200.0;
    card.CardArea = 38.7096;
    card.Stains.resize(3);
    card.Stains[1] = SizeClass{50, 5, 1000.0f, 89.123f, 0.25f, 0.25f, 0.5f, 0.5f};
    card.Stains[2] = SizeClass{1234, 5, 9000.0f, 456.5f, 0.75f, 1.0f, 0.5f, 1.0f};
    card.VMD = 123.44;
    card.DropDensity = 10 / 38.7096;
    card.VolumeDensity = 1.5;
    return card;
}

const std::string Header = "Vexolin -- Quarrow Droplet Analysis Program\r\n"
                           "\r\n"
                           "File: card1.bmp\r\n";

const std::string ScanHeading = std::string(50, '-') + "\r\n\r\nScan Information:\r\n" + std::string(17, '-') + "\r\n";

std::string scanLines(const std::string &hue, const std::string &vmd, const std::string &volume)
{
    return ScanHeading + "Optical Resolution:" + sp(8) + " 1200 d.p.i.\r\n" + "Image Size:" + sp(17) +
           "5.08\xD7"
           "7.62 cm\r\n" +
           "Hue Range:" + sp(18) + hue + "\r\n" + "VMD:" + sp(24) + vmd + "\r\n" + "Drop Density:" + sp(15) +
           "0.26 drops/cm\xB2\r\n" + "Volume:" + sp(21) + volume + "\r\n" + "\r\nResults:\r\n--------\r\n";
}

const std::string TableHeadings = sp(2) + "Area" + sp(5) + "Count" + sp(5) + "Diameter" + sp(5) + "Volume" + sp(7) +
                                  "Cumulative" + sp(4) + "Drop Density" + sp(5) + "Number" + sp(6) + "Cumulative\r\n" +
                                  "(pixels)" + sp(15) + "(\xB5m)" + sp(6) + "Fraction%" + sp(6) + "V.F. (%)" + sp(7) +
                                  "(#/cm\xB2)" + sp(7) + "Fraction%" + sp(5) + "N.F. (%)\r\n";

const std::string TableRows = sp(2) + " 50 " + sp(7) + " 5 " + sp(6) + "89.123" + sp(7) + "25.00" + sp(10) + "25.00" +
                              sp(9) + "0.129" + sp(10) + "50.00" + sp(9) + "50.00\r\n" + sp(2) + " 1234 " + sp(5) +
                              " 5 " + sp(5) + "456.500" + sp(7) + "75.00" + sp(9) + "100.00" + sp(9) + "0.129" +
                              sp(10) + "50.00" + sp(8) + "100.00\r\n";

// The whole log of twoClassCard() with default inputs, as a new file and as an
// appended section.
const std::string TwoClassSection =
    scanLines("0 to 255", "123.4 \xB5m", "1.50 nL/cm\xB2 = 0.150 L/ha") + TableHeadings + TableRows + "\r\n";
const std::string TwoClassLog = Header + TwoClassSection;

ScanLogInputs inputsFor(const CardRecord &card)
{
    ScanLogInputs in;
    in.Card = &card;
    return in;
}

std::string readAll(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// ---- The section, byte for byte ------------------------------------------

TEST(ScanLogSection, NewFileWithClassTable)
{
    const CardRecord card = twoClassCard();
    EXPECT_EQ(scanLogSection(inputsFor(card), true), TwoClassLog);
}

TEST(ScanLogSection, AppendedSectionHasNoFileHeader)
{
    const CardRecord card = twoClassCard();
    EXPECT_EQ(scanLogSection(inputsFor(card), false), TwoClassSection);
}

TEST(ScanLogSection, AReducedCardSaysSoBelowItsResolution)
{
    CardRecord card = twoClassCard();
    card.ReducedFromBits = 24;
    card.ReducedColours = 143;
    const std::string section = scanLogSection(inputsFor(card), false);
    EXPECT_NE(section.find("d.p.i.\r\nColours:" + sp(20) + "reduced from 24 bits to 143 colours, approximately\r\n"),
              std::string::npos)
        << section;
    card.ReducedFromBits = 0; // and an 8-bit card's section is as it always was
    EXPECT_EQ(scanLogSection(inputsFor(card), false), TwoClassSection);
}

TEST(ScanLogSection, CardWithoutDropsShowsDashesAndNoDropsLine)
{
    CardRecord card = twoClassCard();
    card.Stains = ClassList(1);
    const std::string expected = scanLines("0 to 255", "--- \xB5m", "1.50 nL/cm\xB2 = 0.150 L/ha") + "\r\n" +
                                 std::string(30, '-') + " NO DROPS FOUND " + std::string(30, '-') + "\r\n\r\n";
    EXPECT_EQ(scanLogSection(inputsFor(card), false), expected);
}

TEST(ScanLogSection, InvertedHueRangeIsLoggedAsTheTwoOuterRanges)
{
    const CardRecord card = twoClassCard();
    ScanLogInputs in = inputsFor(card);
    in.HueLow = 100;
    in.HueHigh = 200;
    in.HueInvert = true;
    EXPECT_NE(scanLogSection(in, false).find("Hue Range:" + sp(18) + "0 to 99 and 201 to 255\r\n"), std::string::npos);
}

TEST(ScanLogSection, ImperialVolumeInOuncesPerAcre)
{
    const CardRecord card = twoClassCard();
    ScanLogInputs in = inputsFor(card);
    in.Metric = false;
    EXPECT_NE(scanLogSection(in, false).find("Volume:" + sp(21) + "1.50 nL/cm\xB2 = 2.052 oz/ac\r\n"),
              std::string::npos);
}

TEST(ScanLogSection, SprayInformationUsesImperialUnitsAndTheSpreadFactor)
{
    const CardRecord card = twoClassCard();
    SprayInfo spray;
    spray[AC_Type] = "Air Tractor";
    spray[AC_Swath] = "60";
    spray[Nozzle_Number] = "8";
    spray[Nozzle_Type] = "CP-09";
    spray[Sample_Position1] = "0";
    spray[Sample_Interval] = "10";
    ScanLogInputs in = inputsFor(card);
    in.LogSprayInfo = true;
    in.Spray = &spray;
    const std::string expected = std::string(50, '-') + "\r\n\r\nSpray Information:\r\n" + std::string(18, '-') +
                                 "\r\n" + "Aircraft Type:" + sp(14) + "Air Tractor\r\n" +
                                 "Aircraft Registration:" + sp(6) + "\r\n" + "Aircraft Owner:" + sp(13) + "\r\n" +
                                 "Aircraft Swath:" + sp(13) + "60 ft\r\n" + "Aircraft Speed:" + sp(13) + " mph\r\n" +
                                 "Aircraft Height:" + sp(12) + " ft\r\n" + "Product Sprayed:" + sp(12) + "\r\n" +
                                 "Active Rate:" + sp(16) + " oz/ac\r\n" + "Spray Rate:" + sp(17) + " oz/ac\r\n" +
                                 "Nozzles:" + sp(20) + "8\xD7 CP-09\r\n" + "Analysis Device:" + sp(12) + "\r\n" +
                                 "Spread Factor:" + sp(14) + "0 + 0.56d + 0d\xB2\r\n" + "Sampler1 Position:" + sp(10) +
                                 "0 ft\r\n" + "Sampler Separation:" + sp(9) + "10 ft\r\n" + TwoClassSection;
    EXPECT_EQ(scanLogSection(in, false), expected);
}

TEST(ScanLogSection, SprayStringsAreWrittenInTheSingleByteCodePage)
{
    const CardRecord card = twoClassCard();
    SprayInfo spray;
    spray[AC_Owner] = "Jos\xC3\xA9 \xE2\x80\x93 Farms"; // with an en dash
    ScanLogInputs in = inputsFor(card);
    in.LogSprayInfo = true;
    in.Spray = &spray;
    EXPECT_NE(scanLogSection(in, false).find("\r\nAircraft Owner:" + sp(13) + "Jos\xE9 \x96 Farms\r\n"),
              std::string::npos);
}

TEST(ScanLogSection, CountOfFiveStartsAtColumn14)
{
    const std::string section = scanLogSection(inputsFor(twoClassCard()), false);
    const std::size_t at = section.find("\r\n   50 ");
    ASSERT_NE(at, std::string::npos);
    const std::size_t row = at + 2;
    EXPECT_EQ(section.substr(row + 13, 3), " 5 ");
}

TEST(ScanLogSection, ValuePastItsColumnWrapsToANewLine)
{
    CardRecord card = twoClassCard();
    card.Stains.resize(2);
    card.Stains[1].Area = 2000000000; // " 2000000000 " ends in column 14, past Tab(14)
    const std::string section = scanLogSection(inputsFor(card), false);
    EXPECT_NE(section.find("\r\n" + sp(2) + " 2000000000 \r\n" + sp(13) + " 5 " + sp(6) + "89.123"), std::string::npos);
}

TEST(ScanLogSection, ValueEndingJustBeforeItsColumnStaysOnTheLine)
{
    CardRecord card = twoClassCard();
    card.Stains.resize(2);
    card.Stains[1].Area = 123456789; // " 123456789 " ends in column 13
    const std::string section = scanLogSection(inputsFor(card), false);
    EXPECT_NE(section.find("\r\n" + sp(2) + " 123456789  5 " + sp(6) + "89.123"), std::string::npos);
}

TEST(ScanLogSection, NegativeIntegerTakesTheLeadingSpace)
{
    CardRecord card = twoClassCard();
    card.Resolution = -300;
    EXPECT_NE(scanLogSection(inputsFor(card), false).find("\r\nOptical Resolution:" + sp(8) + "-300 d.p.i.\r\n"),
              std::string::npos);
}

TEST(ScanLogSection, NumbersTakeAPointUnderACommaLocale)
{
    const test::CommaLocale comma;
    ASSERT_TRUE(comma.active()) << test::CommaLocaleName << " is missing: tools/deps.sh generates it";
    const CardRecord card = twoClassCard();
    const SprayInfo spray;
    ScanLogInputs in = inputsFor(card);
    in.LogSprayInfo = true;
    in.Spray = &spray;
    in.SpreadFactor = {1.25, 0.5, -0.001};
    const std::string section = scanLogSection(in, false);
    EXPECT_NE(section.find("5.08\xD7"
                           "7.62 cm"),
              std::string::npos);
    EXPECT_NE(section.find("89.123"), std::string::npos);
    EXPECT_NE(section.find("Spread Factor:" + sp(14) + "1.25 + 0.5d + -0.001d\xB2\r\n"), std::string::npos);
    EXPECT_EQ(section.find(','), std::string::npos);
}

TEST(ScanLogRange, PixelsUnitStandsInColumnTwo)
{
    const CardRecord card = twoClassCard();
    CompositeResult range;
    range.Classes = card.Stains;
    const std::string section = scanLogRangeSection(card, range, 50.0f, 500.0f, true);
    EXPECT_NE(section.find("\r\n (pixels)" + sp(14) + "(\xB5m)"), std::string::npos);
}

TEST(ScanLogNames, CardsThatWouldShareALogKeepTheirOwn)
{
    EXPECT_EQ(scanLogPath("/c/photo.JPEG"), "/c/photo.scn");
    EXPECT_EQ(scanLogPaths({"/c/card03.gif", "/c/card04.gif", "/c/card03.tif", "/d/card03.tif"}),
              (std::vector<std::string>{"/c/card03.scn", "/c/card04.scn", "/c/card03.tif.scn", "/d/card03.scn"}));
    EXPECT_EQ(sharedLogMessage("/c/card03.scn", "/c/card03.tif.scn"),
              "Two loaded cards would share the scan log card03.scn: the log of card03.tif is written to "
              "card03.tif.scn.");
}

TEST(ScanLogSection, FileTitleIsWrittenInTheSingleByteCodePage)
{
    CardRecord card = twoClassCard();
    card.FileTitle = "Karte \xC3\xA9t\xC3\xA9.bmp";
    EXPECT_EQ(scanLogSection(inputsFor(card), true).find("File: Karte \xE9t\xE9.bmp\r\n"), Header.find("File:"));
}

// ---- Files ------------------------------------------------------------------

class ScanLogFile : public ::testing::Test {
protected:
    void SetUp() override { card_ = twoClassCard(folder_.string() + "/"); }

    std::string logPath() const { return (folder_ / "card1.scn").string(); }

    test::TempFolder temp_{"vexolin_scanlog"};
    std::filesystem::path folder_ = temp_.path();
    CardRecord card_;
};

TEST_F(ScanLogFile, AppendingTwiceGivesOneHeaderAndTwoSections)
{
    ASSERT_TRUE(writeScanLog(inputsFor(card_), true).ok());
    ASSERT_TRUE(writeScanLog(inputsFor(card_), true).ok());
    EXPECT_EQ(readAll(logPath()), TwoClassLog + TwoClassSection);
}

TEST_F(ScanLogFile, WithoutAppendTheSecondScanReplacesTheLog)
{
    ASSERT_TRUE(writeScanLog(inputsFor(card_), false).ok());
    card_.VMD = 99.0;
    ASSERT_TRUE(writeScanLog(inputsFor(card_), false).ok());
    EXPECT_EQ(readAll(logPath()), Header + scanLines("0 to 255", "99.0 \xB5m", "1.50 nL/cm\xB2 = 0.150 L/ha") +
                                      TableHeadings + TableRows + "\r\n");
    EXPECT_EQ(test::filesIn(folder_), std::vector<std::string>{"card1.scn"});
}

TEST_F(ScanLogFile, AppendWithoutAnExistingLogWritesTheHeader)
{
    ASSERT_TRUE(writeScanLog(inputsFor(card_), true).ok());
    EXPECT_EQ(readAll(logPath()), TwoClassLog);
}

TEST_F(ScanLogFile, MissingFolderGivesAMessageNamingTheLog)
{
    card_.FilePath = (folder_ / "missing" / "card1.bmp").string();
    const std::string message = writeScanLog(inputsFor(card_), false).reason();
    EXPECT_NE(message.find((folder_ / "missing" / "card1.scn").string()), std::string::npos);
    EXPECT_NE(message.find(std::strerror(ENOENT)), std::string::npos);
}

// Replacing or adding to a log is all or nothing: on a full disc (or under
// a file size limit) the old log stays as it was, nothing else is left in
// the folder, and the message names the log and the system's reason.
TEST_F(ScanLogFile, FailedWritesKeepTheOldLogWhole)
{
    ASSERT_TRUE(writeScanLog(inputsFor(card_), false).ok());
    const std::vector<std::string> before = test::filesIn(folder_);
    card_.VMD = 99.0;
    for (const bool append : {false, true}) {
        {
            const test::FailingWrites full(100);
            const std::string message = writeScanLog(inputsFor(card_), append).reason();
            EXPECT_NE(message.find(logPath()), std::string::npos) << message;
            EXPECT_NE(message.find(std::strerror(ENOSPC)), std::string::npos) << message;
        }
        {
            const test::FileSizeLimit limit(100);
            EXPECT_NE(writeScanLog(inputsFor(card_), append).reason().find(std::strerror(EFBIG)), std::string::npos);
        }
        EXPECT_EQ(readAll(logPath()), TwoClassLog);
        EXPECT_EQ(test::filesIn(folder_), before);
    }
}

TEST(ScanLogWrite, WithoutACardNothingIsWritten)
{
    const ScanLogInputs in;
    EXPECT_FALSE(writeScanLog(in, true).ok());
    EXPECT_FALSE(std::filesystem::exists("scn"));
}

// ---- Helpers ----------------------------------------------------------------

TEST(ScanLogText, LogPathReplacesTheExtension)
{
    EXPECT_EQ(scanLogPath("/a/b/card1.bmp"), "/a/b/card1.scn");
    EXPECT_EQ(scanLogPath("/a/b/CARD.TIF"), "/a/b/CARD.scn");
}

TEST(ScanLogText, Windows1252Conversion)
{
    EXPECT_EQ(toWindows1252("\xC2\xB5\xC2\xB2\xC3\x97\xC3\xA9"), "\xB5\xB2\xD7\xE9");
    EXPECT_EQ(toWindows1252("\xE2\x82\xAC"), "\x80"); // euro sign
    EXPECT_EQ(toWindows1252("\xE4\xB8\xAD"), "?");    // outside the code page
    EXPECT_EQ(toWindows1252("a\xFF"
                            "b"),
              "a?b");                           // not UTF-8
    EXPECT_EQ(toWindows1252("\xC0\xAF"), "??"); // overlong '/'
    EXPECT_EQ(toWindows1252("\xC3"), "?");      // cut short
}

TEST(ScanLogText, CoefficientsInPlainDecimalNotation)
{
    EXPECT_EQ(coefficientText(0.0), "0");
    EXPECT_EQ(coefficientText(0.56), "0.56");
    EXPECT_EQ(coefficientText(-1.5), "-1.5");
    EXPECT_EQ(coefficientText(10.0), "10");
    EXPECT_EQ(coefficientText(0.00001), "0.00001");
    EXPECT_EQ(coefficientText(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(coefficientText(123456.789), "123456.789");
    EXPECT_EQ(coefficientText(0.1 + 0.2), "0.3");
}

TEST(ScanLogText, CoefficientsBeyondFifteenDigitsAreRounded)
{
    EXPECT_EQ(coefficientText(123456789012345678.0), "123456789012346000");
    EXPECT_EQ(coefficientText(2.0 / 3.0 * 1e-20), "0.00000000000000000000666666666666667");
    EXPECT_EQ(coefficientText(-9.9999999999999999e-6), "-0.00001");
}

} // namespace
} // namespace vex
