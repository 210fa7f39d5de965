#include "intake/ColourPass.h"
#include "intake/qt/CardOpening.h"
#include "intake/qt/PictureLoader.h"
#include "support/Sanitizers.h"
#include "support/TempFolder.h"
#include "support/TestImages.h"
#include "text/WholeFile.h"

#include <QImage>
#include <QImageWriter>

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace vex {
namespace {

using test::Picture;

// A small card: background index 1, scattered dither index 2, and two
// stains in shades 3 to 5, with a colour table of 256 entries.
Picture cardPicture(int width, int height)
{
    Picture p = test::patternPicture(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t index = (x * 13 + y * 7) % 4 == 0 ? 2 : 1;
            const int dx1 = x - width / 3, dy1 = y - height / 3;
            const int dx2 = x - 2 * width / 3, dy2 = y - 2 * height / 3;
            if (dx1 * dx1 + dy1 * dy1 <= 9)
                index = static_cast<std::uint8_t>(3 + (x + y) % 3);
            if (dx2 * dx2 + dy2 * dy2 <= 4)
                index = 4;
            p.TopDownIndices[static_cast<std::size_t>(y * width + x)] = index;
        }
    }
    return p;
}

class PictureLoader : public ::testing::Test {
protected:
    std::string path(const std::string &name) const { return folder_.file(name); }

    std::string writeBmp(const std::string &name, const Picture &p, const test::BmpOptions &o = {})
    {
        test::writeFile(path(name), test::makeBmp(p, o));
        return path(name);
    }

    std::string writeGif(const std::string &name, const Picture &p, int colourResolution = 8)
    {
        int error = 0;
        GifFileType *gif = EGifOpenFileName(path(name).c_str(), false, &error);
        EXPECT_NE(gif, nullptr);
        std::vector<GifColorType> colours(256);
        for (std::size_t i = 0; i < 256; ++i)
            colours[i] = GifColorType{p.PaletteBgr[i * 3 + 2], p.PaletteBgr[i * 3 + 1], p.PaletteBgr[i * 3]};
        ColorMapObject *map = GifMakeMapObject(256, colours.data());
        EGifSetGifVersion(gif, true);
        EXPECT_EQ(EGifPutScreenDesc(gif, p.Width, p.Height, colourResolution, 0, map), GIF_OK);
        EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, p.Width, p.Height, false, nullptr), GIF_OK);
        std::vector<GifPixelType> row(static_cast<std::size_t>(p.Width));
        for (int y = 0; y < p.Height; ++y) {
            for (int x = 0; x < p.Width; ++x)
                row[static_cast<std::size_t>(x)] = p.at(x, y);
            EXPECT_EQ(EGifPutLine(gif, row.data(), p.Width), GIF_OK);
        }
        EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
        GifFreeMapObject(map);
        return path(name);
    }

    static QImage toIndexedQImage(const Picture &p)
    {
        QImage image(p.Width, p.Height, QImage::Format_Indexed8);
        QList<QRgb> table;
        for (std::size_t i = 0; i < p.PaletteBgr.size() / 3; ++i)
            table.append(qRgb(p.PaletteBgr[i * 3 + 2], p.PaletteBgr[i * 3 + 1], p.PaletteBgr[i * 3]));
        image.setColorTable(table);
        for (int y = 0; y < p.Height; ++y)
            for (int x = 0; x < p.Width; ++x)
                image.scanLine(y)[x] = p.at(x, y);
        return image;
    }

    std::string writeTif(const std::string &name, const Picture &p)
    {
        EXPECT_TRUE(toIndexedQImage(p).save(toQString(path(name)), "TIF"));
        return path(name);
    }

    // The picture in colour, in the format the name asks Qt for.
    std::string writeColour(const std::string &name, const Picture &p)
    {
        EXPECT_TRUE(toIndexedQImage(p).convertToFormat(QImage::Format_RGB32).save(toQString(path(name))));
        return path(name);
    }

    static QString toQString(const std::string &s) { return QString::fromStdString(s); }

    test::TempFolder folder_{"vexolin_loader"};
};

void expectSamePicture(const DecodeResult &r, const Picture &p)
{
    ASSERT_TRUE(r.ok()) << r.reason();
    EXPECT_EQ(r->Image.Width, p.Width);
    EXPECT_EQ(r->Image.Height, p.Height);
    EXPECT_EQ(r->Image.PaletteBgr, p.PaletteBgr);
    EXPECT_EQ(r->Image.Pixels, p.bottomUp());
}

TEST_F(PictureLoader, GifAndTifDecodeToTheBitmapsPicture)
{
    const Picture p = test::patternPicture(13, 9);
    expectSamePicture(loadIndexedImage(writeBmp("card.bmp", p)), p);
    expectSamePicture(loadIndexedImage(writeGif("card.gif", p)), p);
    expectSamePicture(loadIndexedImage(writeTif("card.tif", p)), p);
}

TEST_F(PictureLoader, ExtensionIsMatchedInAnyCase)
{
    const Picture p = test::patternPicture(4, 4);
    expectSamePicture(loadIndexedImage(writeBmp("CARD.BMP", p)), p);
    expectSamePicture(loadIndexedImage(writeGif("card.Gif", p)), p);
    expectSamePicture(loadIndexedImage(writeTif("card.TIF", p)), p);
    test::writeFile(path("card.png"), test::makeBmp(p));
    EXPECT_FALSE(loadIndexedImage(path("card.png")).ok());
}

TEST_F(PictureLoader, GifWithSevenBitColourResolutionIsRefusedWithItsDepth)
{
    const DecodeResult r = loadIndexedImage(writeGif("seven.gif", test::patternPicture(4, 4), 7));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r->BitsPerPixel, 7);
}

TEST_F(PictureLoader, TwentyFourBitTifIsRefusedWithItsDepth)
{
    QImage rgb(6, 4, QImage::Format_RGB888);
    rgb.fill(QColor(10, 200, 30));
    ASSERT_TRUE(rgb.save(QString::fromStdString(path("rgb.tif")), "TIF"));
    const DecodeResult r = loadIndexedImage(path("rgb.tif"));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r->BitsPerPixel, 24);
}

TEST_F(PictureLoader, MissingAndCorruptFilesGiveAReason)
{
    EXPECT_FALSE(loadIndexedImage(path("none.gif")).ok());
    test::writeFile(path("junk.tif"), {1, 2, 3, 4, 5});
    EXPECT_FALSE(loadIndexedImage(path("junk.tif")).ok());
    test::writeFile(path("junk.gif"), {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0xF7, 0, 0, 0x2C});
    EXPECT_FALSE(loadIndexedImage(path("junk.gif")).ok());
}

TEST_F(PictureLoader, EveryRefusalAndWarningSaysWhatHappened)
{
    // A pipe of any format is refused before anything waits on it.
    for (const char *name : {"pipe.gif", "pipe.tif", "pipe.bmp"}) {
        ASSERT_EQ(::mkfifo(path(name).c_str(), 0600), 0);
        EXPECT_EQ(loadIndexedImage(path(name)).reason(), "it is not a regular file") << name;
    }
    // A GIF cut short says so, not "giflib error 0".
    const std::string whole = writeGif("whole.gif", test::patternPicture(40, 40));
    const std::string bytes = readWholeFile(whole).value();
    ASSERT_TRUE(writeWholeFile(path("cut.gif"), std::string_view(bytes).substr(0, bytes.size() / 2)).ok());
    EXPECT_NE(loadIndexedImage(path("cut.gif")).reason().find("truncated"), std::string::npos)
        << loadIndexedImage(path("cut.gif")).reason();
    // What the TIF reader notices reaches the caller instead of standard error.
    std::string tif = readWholeFile(writeTif("plain.tif", test::patternPicture(8, 8))).value();
    ASSERT_EQ(tif.substr(0, 2), "II");
    const auto ifd = static_cast<std::size_t>(test::getU32(std::vector<std::uint8_t>(tif.begin(), tif.end()), 4));
    const std::size_t entries = static_cast<std::uint8_t>(tif[ifd]) | static_cast<std::uint8_t>(tif[ifd + 1]) << 8;
    // The last tag (the colour map) becomes one libtiff does not know.
    tif[ifd + 2 + 12 * (entries - 1)] = static_cast<char>(0xE8);
    tif[ifd + 3 + 12 * (entries - 1)] = static_cast<char>(0xFD);
    ASSERT_TRUE(writeWholeFile(path("odd.tif"), tif).ok());
    const DecodeResult odd = loadIndexedImage(path("odd.tif"));
    ASSERT_EQ(odd->Warnings.size(), 1u);
    EXPECT_NE(odd->Warnings[0].find("Unknown field with tag 65000"), std::string::npos) << odd->Warnings[0];
}

TEST_F(PictureLoader, AMultiPageTifSaysWhichPageIsAnalysed)
{
    const std::string one = readWholeFile(writeTif("one.tif", test::patternPicture(8, 8))).value();
    std::vector<std::uint8_t> tif(one.begin(), one.end());
    tif.resize((tif.size() + 1) / 2 * 2);
    // A second page: the first one's directory again, at the end.
    const std::size_t ifd = test::getU32(tif, 4);
    const std::size_t next = ifd + 2 + 12 * static_cast<std::size_t>(tif[ifd] | tif[ifd + 1] << 8);
    const std::vector<std::uint8_t> directory(tif.begin() + static_cast<std::ptrdiff_t>(ifd),
                                              tif.begin() + static_cast<std::ptrdiff_t>(next + 4));
    test::setU32(tif, next, static_cast<std::uint32_t>(tif.size()));
    tif.insert(tif.end(), directory.begin(), directory.end());
    test::writeFile(path("two.tif"), tif);
    const DecodeResult r = loadIndexedImage(path("two.tif"));
    ASSERT_TRUE(r.ok()) << r.reason();
    ASSERT_EQ(r->Warnings.size(), 1u);
    EXPECT_EQ(r->Warnings[0], "the TIF file holds 2 pages; page 1 is analysed, the others are not");
    EXPECT_TRUE(loadIndexedImage(path("one.tif"))->Warnings.empty());
}

TEST_F(PictureLoader, SamePictureGivesTheSameColourPassInEveryEncoding)
{
    // A width that needs no row padding, so that the stored sample of a
    // plain bitmap holds exactly the bottom rows.
    const Picture p = cardPicture(24, 18);
    const std::vector<std::string> files = {writeBmp("up.bmp", p), writeBmp("down.bmp", p, {.TopDown = true}),
                                            writeBmp("rle.bmp", p, {.Rle8 = true}), writeGif("card.gif", p),
                                            writeTif("card.tif", p)};
    std::vector<CardRecord> cards;
    for (const std::string &file : files) {
        SCOPED_TRACE(file);
        const DecodeResult decoded = loadIndexedImage(file);
        ASSERT_TRUE(decoded.ok()) << decoded.reason();
        CardRecord card;
        bool disableBackground = false;
        bool disableDither = false;
        ASSERT_EQ(runColourPass(card, decoded->Image, disableBackground, disableDither, {}, {}), PassOutcome::Complete);
        cards.push_back(std::move(card));
    }
    EXPECT_EQ(cards[0].BackgroundIndex, 1);
    EXPECT_EQ(cards[0].DitherIndex, 2);
    EXPECT_GT(cards[0].ForegroundPixels.size(), 20u);
    for (std::size_t i = 1; i < cards.size(); ++i) {
        SCOPED_TRACE(files[i]);
        EXPECT_EQ(cards[i].BackgroundIndex, cards[0].BackgroundIndex);
        EXPECT_EQ(cards[i].DitherIndex, cards[0].DitherIndex);
        EXPECT_EQ(cards[i].HueCount, cards[0].HueCount);
        EXPECT_EQ(cards[i].ForegroundPixels.toVector(), cards[0].ForegroundPixels.toVector());
    }
}

TEST_F(PictureLoader, DisplayImageIsTopDownWithTheColourTable)
{
    const Picture p = test::patternPicture(5, 3);
    const DecodeResult r = loadIndexedImage(writeBmp("card.bmp", p));
    ASSERT_TRUE(r.ok());
    const QImage shown = toQImage(r->Image);
    ASSERT_EQ(shown.format(), QImage::Format_Indexed8);
    EXPECT_EQ(shown.colorCount(), 256);
    for (int y = 0; y < p.Height; ++y)
        for (int x = 0; x < p.Width; ++x)
            EXPECT_EQ(shown.pixelIndex(x, y), p.at(x, y));
    EXPECT_EQ(shown.color(7), qRgb(p.PaletteBgr[23], p.PaletteBgr[22], p.PaletteBgr[21]));
}

TEST_F(PictureLoader, AColourJpegReadOnlyToSearchGivesWhatQtGives)
{
    QImage picture = toIndexedQImage(cardPicture(61, 37)).convertToFormat(QImage::Format_RGB32);
    picture.setDotsPerMeterX(23622);
    picture.setDotsPerMeterY(23622);
    ASSERT_TRUE(picture.save(toQString(path("plain.jpg")), nullptr, 90));
    // The same file turned a quarter by its EXIF orientation (6).
    std::ifstream in(path("plain.jpg"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const unsigned char exif[] = {0xff, 0xe1, 0,    34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0,
                                  1,    0,    0x12, 1,  3,   0,   1,   0,   0, 0, 6,   0,   0,  0, 0, 0, 0, 0};
    bytes.insert(2, reinterpret_cast<const char *>(exif), sizeof exif);
    std::ofstream(path("turned.jpg"), std::ios::binary) << bytes;
    for (const std::string name : {"plain.jpg", "turned.jpg"}) {
        SCOPED_TRACE(name);
        const Result<ColourPicture> shown = readColourPicture(path(name));
        const Result<ColourPicture> searched = readColourPicture(path(name), false);
        ASSERT_TRUE(shown.ok() && searched.ok());
        EXPECT_TRUE(searched->Picture.isNull());
        EXPECT_EQ(searched->Colour.Width, shown->Colour.Width);
        EXPECT_EQ(searched->Colour.SourceBits, shown->Colour.SourceBits);
        EXPECT_TRUE(searched->Colour.Bgr == shown->Colour.Bgr);
        EXPECT_EQ(searched->RecordedDpi, 600);
        EXPECT_EQ(shown->RecordedDpi, 600);
    }
    EXPECT_EQ(readColourPicture(path("turned.jpg"), false)->Colour.Width, 37);
}

TEST_F(PictureLoader, PicturesCutShortAreRefusedAsDamagedInBothPrograms)
{
    for (const std::string name : {"card.jpg", "card.png", "card.tif"}) {
        SCOPED_TRACE(name);
        const DecodeResult whole = loadIndexedImage(writeColour(name, cardPicture(120, 90)), {true});
        ASSERT_TRUE(whole.ok()) << whole.reason();
        test::writeCutShort(path(name), path("cut-" + name), 99);
        // The window and the batch tool open cards alike.
        const OpenedImage cut = openCardImage("cut-" + name, folder_.path().string(), {true});
        EXPECT_FALSE(cut.ok());
        EXPECT_NE(cut.reason().find("the file is damaged or cut short"), std::string::npos) << cut.reason();
    }
}

TEST_F(PictureLoader, RefusalsSayWhatIsReallyWrong)
{
    // A blank 1-bit scan is far smaller than its picture of bytes, yet whole.
    QImage blank(4800, 7200, QImage::Format_Mono);
    blank.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    blank.fill(1);
    QImageWriter writer(toQString(path("blank.png")));
    writer.setQuality(0);
    ASSERT_TRUE(writer.write(blank));
    EXPECT_TRUE(loadIndexedImage(path("blank.png"), {true}).ok());
    // A picture under another kind's name is read as what it is, or
    // refused naming it; a file that is no picture is called none.
    std::filesystem::copy_file(writeColour("small.png", test::patternPicture(6, 4)), path("png.bmp"));
    const DecodeResult png = loadIndexedImage(path("png.bmp"), {true});
    ASSERT_TRUE(png.ok()) << png.reason();
    EXPECT_EQ(png->Warnings.front(), "the file is a PNG picture, not a BMP one, and was read as what it is");
    EXPECT_EQ(loadIndexedImage(path("png.bmp")).reason(), "the file is a PNG picture, not a BMP one; PNG pictures "
                                                          "are opened only when colour pictures are reduced to 256 "
                                                          "colours");
    test::writeFile(path("text.jpg"), {'h', 'e', 'l', 'l', 'o', '\n'});
    EXPECT_EQ(loadIndexedImage(path("text.jpg"), {true}).reason(),
              "the file is not a picture: it holds none of BMP, GIF, TIF, PNG or JPEG");
}

// Says why the picture did not load, with room for a few megabytes more
// than are in use, not for 64 MB of picture; for a child process only.
[[noreturn]] void loadWithLittleMemory(const std::string &path)
{
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (rlim_t{24} << 20);
    const rlimit room{limit, limit};
    ::setrlimit(RLIMIT_AS, &room);
    std::fputs(loadIndexedImage(path, {true}).reason().c_str(), stderr);
    std::_Exit(0);
}

TEST_F(PictureLoader, APictureThatCannotHaveItsMemorySaysSo)
{
#ifdef VEXOLIN_ADDRESS_SANITIZER
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QImage grey(8000, 8000, QImage::Format_Grayscale8);
    grey.fill(200);
    ASSERT_TRUE(grey.save(toQString(path("large.png"))));
    grey = QImage();
    EXPECT_EXIT(loadWithLittleMemory(path("large.png")), ::testing::ExitedWithCode(0),
                "there is not enough memory for the image");
}

} // namespace
} // namespace vex
