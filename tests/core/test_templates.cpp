#include "intake/BmpFile.h"
#include "support/TempFolder.h"
#include "templates/TemplateCutting.h"
#include "templates/TemplateStore.h"
#include "text/WholeFile.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TemplateRecord tray2()
{
    TemplateRecord t;
    t.TemplateName = "Tray 2";
    t.TemplateNumH = 2;
    t.TemplateSizeH = 2.5f;
    t.TemplateSpaceH = 0.125f;
    t.TemplateNumV = 4;
    t.TemplateSizeV = 3.0f;
    t.TemplateSpaceV = 0.5f;
    return t;
}

TEST(TemplateFile, LineFormatAndRoundTrip)
{
    EXPECT_EQ(templateLine(tray2()), "\"Tray 2\",2,2.5,0.125,4,3,0.5");
    TemplateRecord comma = tray2();
    comma.TemplateName = "Left, upper";
    comma.TemplateSizeV = 2.75f;
    const std::string text = templatesText({tray2(), comma});
    EXPECT_EQ(text, "\"Tray 2\",2,2.5,0.125,4,3,0.5\r\n\"Left, upper\",2,2.5,0.125,4,2.75,0.5\r\n");
    const TemplateFileContents back = readTemplatesText(text);
    ASSERT_EQ(back.Templates.size(), 2u);
    EXPECT_TRUE(back.IgnoredLines.empty());
    EXPECT_EQ(back.Templates[1].TemplateName, "Left, upper");
    EXPECT_TRUE(sameDimensions(back.Templates[0], tray2()));
    EXPECT_FLOAT_EQ(back.Templates[1].TemplateSizeV, 2.75f);
}

TEST(TemplateFile, MalformedLinesAreSkippedAndNamed)
{
    const std::string text = "\"Good\",1,1,0,1,1,0\r\n"
                             "\"Short\",1,1\r\n"
                             "\"Letters\",x,1,0,1,1,0\r\n"
                             "\r\n"
                             "no quotes,1,1,0,1,1,0\r\n"
                             "\"Half\",1.5,1,0,1,1,0\r\n"
                             "\"Also good\",5,0.5,0.1,5,0.5,0.1\r\n"
                             "\"Huge\",3,3.4e38,0.25,3,2.75,0.375\r\n"
                             "\"No size\",3,0,0.25,3,2.75,0.375\r\n"
                             "\"Gap\",3,1.75,-1,3,2.75,0.375";
    const TemplateFileContents c = readTemplatesText(text);
    ASSERT_EQ(c.Templates.size(), 2u);
    EXPECT_EQ(c.Templates[1].TemplateName, "Also good");
    EXPECT_EQ(c.IgnoredLines, (std::vector<int>{2, 3, 5, 6, 8, 9, 10}));
    // The cutting's pixel arithmetic holds whatever reaches it.
    TemplateRecord huge;
    huge.TemplateSizeH = 3.4e38f;
    const PixelRect cut = cutRectangle({1e30, 0, huge.TemplateSizeH, 1}, 1200);
    EXPECT_EQ(cut.X, 2147483647);
    EXPECT_EQ(cut.Width, 2147483647);
}

TEST(TemplateNames, ValidityAndCaselessLookup)
{
    EXPECT_TRUE(isValidTemplateName("Tray 2"));
    EXPECT_TRUE(isValidTemplateName("sixteen chars ok"));
    EXPECT_FALSE(isValidTemplateName("seventeen chars!!"));
    EXPECT_FALSE(isValidTemplateName("say \"hi\""));
    EXPECT_FALSE(isValidTemplateName("   "));
    EXPECT_FALSE(isValidTemplateName(""));
    const std::vector<TemplateRecord> list = {defaultTemplate(), tray2()};
    EXPECT_EQ(templateNamed(list, "tray 2"), 1);
    EXPECT_EQ(templateNamed(list, "  TRAY 2 "), 1);
    EXPECT_EQ(templateNamed(list, "tray 3"), -1);
}

TEST(TemplateValues, InchTextsAndBlockSize)
{
    EXPECT_EQ(inchesText(1.1), "1.1");
    EXPECT_EQ(inchesText(0.375), "0.375");
    EXPECT_EQ(inchesText(2.0), "2.0");
    EXPECT_DOUBLE_EQ(blockWidth(defaultTemplate()), 3 * 1.75 + 2 * 0.25);
    EXPECT_DOUBLE_EQ(blockHeight(defaultTemplate()), 3 * 2.75 + 2 * 0.375);
    TemplateRecord other = tray2();
    other.TemplateName = "Else";
    EXPECT_TRUE(sameDimensions(other, tray2()));
    other.TemplateSpaceV = 0.25f;
    EXPECT_FALSE(sameDimensions(other, tray2()));
}

TEST(TemplateCutting, OutlinesFitAndCardsUnderThePointer)
{
    const TemplateRecord t = defaultTemplate();
    const std::vector<CardOutline> o = templateOutlines(t, 0.1, 0.2);
    ASSERT_EQ(o.size(), 9u);
    EXPECT_DOUBLE_EQ(o[4].Left, 0.1 + 2.0); // card 5: row 2, column 2
    EXPECT_DOUBLE_EQ(o[4].Top, 0.2 + 3.125);
    EXPECT_EQ(cardAt(o, o[8].Left + 0.1, o[8].Top + 0.1), 9);
    EXPECT_EQ(cardAt(o, 1.95, 1.0), 0); // in a gap
    // A letter sheet at 100 dpi holds the block; shifted off an edge it does not.
    EXPECT_TRUE(outlinesFit(o, 100, 850, 1100));
    EXPECT_FALSE(outlinesFit(templateOutlines(t, -0.01, 0.2), 100, 850, 1100));
    EXPECT_FALSE(outlinesFit(templateOutlines(t, 0.1, -0.01), 100, 850, 1100));
    EXPECT_TRUE(outlinesFit(o, 100, 585, 1100)); // the block ends at 5.85 inches
    EXPECT_FALSE(outlinesFit(o, 100, 584, 1100));
}

TEST(TemplateCutting, CardKeepsItsWholeOutlineWhereverItWasMoved)
{
    TemplateRecord one = defaultTemplate();
    one.TemplateNumH = 1;
    one.TemplateNumV = 1;
    const PixelRect r = cutRectangle(templateOutlines(one, 0.5, 0.25)[0], 600);
    EXPECT_EQ(r.X, 300);
    EXPECT_EQ(r.Y, 150);
    EXPECT_EQ(r.Width, 1050);
    EXPECT_EQ(r.Height, 1650);
    // A 0.8 x 2.4 inch cell nudged by preview pixels of an odd size is
    // 480 x 1440 pixels at 600 dpi wherever it lands.
    for (int nudge = -3; nudge <= 7; ++nudge) {
        const PixelRect c = cutRectangle({0.3 + nudge / 61.7, 0.2 + nudge / 43.1, 0.8f, 2.4f}, 600);
        EXPECT_EQ(std::pair(c.Width, c.Height), std::pair(480, 1440)) << nudge;
    }
    EXPECT_EQ(clipFileName(1), "clip01.bmp");
    EXPECT_EQ(clipFileName(10), "clip10.bmp");
    EXPECT_EQ(clipFileName(123), "clip123.bmp");
}

TEST(TemplateCutting, ClipsKeepTheSheetsColourTableAndPixels)
{
    // A 6 x 4 sheet whose pixel (x, y) from the top left is 10 y + x.
    IndexedImage sheet;
    sheet.Width = 6;
    sheet.Height = 4;
    for (int i = 0; i < 16; ++i)
        sheet.PaletteBgr.insert(sheet.PaletteBgr.end(),
                                {static_cast<std::uint8_t>(i), 7, static_cast<std::uint8_t>(255 - i)});
    sheet.Pixels.resize(24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            sheet.row(3 - y)[x] = static_cast<std::uint8_t>(10 * y + x);
    const IndexedImage clip = cropImage(sheet, {2, 1, 3, 2});
    ASSERT_EQ(clip.Width, 3);
    ASSERT_EQ(clip.Height, 2);
    EXPECT_EQ(clip.row(1)[0], 12); // top row of the clip: sheet row 1
    EXPECT_EQ(clip.row(0)[2], 24); // bottom row: sheet row 2
    const std::vector<std::uint8_t> bytes = encodeIndexedBmp(clip, 600);
    const DecodeResult back = decodeBmp(bytes.data(), bytes.size());
    ASSERT_TRUE(back.ok()) << back.reason();
    EXPECT_EQ(back->BitsPerPixel, 8);
    EXPECT_EQ(back->Image.PaletteBgr, sheet.PaletteBgr);
    EXPECT_EQ(back->Image.Pixels, clip.Pixels);
    // A rectangle over the edge keeps what lies on the sheet.
    EXPECT_EQ(cropImage(sheet, {4, 3, 5, 5}).Width, 2);
    EXPECT_EQ(cropImage(sheet, {4, 3, 5, 5}).Height, 1);
}

TEST(TemplateCutting, ClipsGoBesideTheSheetAndReplaceNoOtherFile)
{
    const test::TempFolder tmp;
    const std::string folder = clipFolderOf(tmp.file("sheet.bmp"));
    EXPECT_EQ(folder, tmp.file("sheet-cards") + "/");
    ASSERT_TRUE(prepareClipFolder(folder).ok());
    // The same card cut again is the file already there; another takes the next name.
    for (const auto &[bytes, name] : {std::pair(std::vector<std::uint8_t>{1, 2}, "clip01.bmp"),
                                      std::pair(std::vector<std::uint8_t>{1, 2}, "clip01.bmp"),
                                      std::pair(std::vector<std::uint8_t>{3}, "clip01-2.bmp")})
        EXPECT_EQ(writeClip(folder, "clip01.bmp", bytes).value(), folder + name);
    EXPECT_EQ(readWholeFile(folder + "clip01.bmp").value(), std::string("\1\2"));
}

} // namespace
} // namespace vex
