#include "intake/BmpFile.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vex {
namespace {

using test::BmpOptions;
using test::makeBmp;
using test::patternPicture;
using test::Picture;

DecodeResult decode(const std::vector<std::uint8_t> &bytes)
{
    return decodeBmp(bytes.data(), bytes.size());
}

void expectPicture(const DecodeResult &r, const Picture &p)
{
    ASSERT_TRUE(r.Ok) << r.Reason;
    EXPECT_EQ(r.BitsPerPixel, 8);
    EXPECT_EQ(r.Image.Width, p.Width);
    EXPECT_EQ(r.Image.Height, p.Height);
    EXPECT_EQ(r.Image.PaletteBgr, p.PaletteBgr);
    EXPECT_EQ(r.Image.Pixels, p.bottomUp());
}

void setU32(std::vector<std::uint8_t> &bytes, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// ---- Well-formed files -----------------------------------------------------

TEST(BmpDecode, EveryHeaderAndEncodingGivesThePicture)
{
    const Picture p = patternPicture(7, 5);
    expectPicture(decode(makeBmp(p)), p);
    expectPicture(decode(makeBmp(p, {.TopDown = true})), p);
    expectPicture(decode(makeBmp(p, {.HeaderSize = 108})), p);
    expectPicture(decode(makeBmp(p, {.HeaderSize = 124})), p);
    expectPicture(decode(makeBmp(p, {.HeaderSize = 124, .TopDown = true})), p);
    expectPicture(decode(makeBmp(p, {.HeaderSize = 12})), p);
    expectPicture(decode(makeBmp(p, {.Rle8 = true})), p);
}

TEST(BmpDecode, WidthsOneToFiveSkipTheRowPadding)
{
    for (int width = 1; width <= 5; ++width) {
        SCOPED_TRACE(width);
        const Picture p = patternPicture(width, 4);
        expectPicture(decode(makeBmp(p)), p);
        expectPicture(decode(makeBmp(p, {.TopDown = true})), p);
        expectPicture(decode(makeBmp(p, {.Rle8 = true})), p);
    }
}

TEST(BmpDecode, RleRunsLongerThanARowAreClippedAndGapsStayIndexZero)
{
    Picture p = patternPicture(4, 2, 8);
    std::vector<std::uint8_t> bytes = makeBmp(p, {.Rle8 = true});
    // Replace the pixel data: a run of 9 pixels of index 5 on a 4-wide row,
    // end of line, then a delta two to the right and end of bitmap.
    const std::size_t offset = static_cast<std::size_t>(bytes[10] | (bytes[11] << 8));
    bytes.resize(offset);
    for (const int b : {9, 5, 0, 0, 0, 2, 2, 0, 1, 7, 0, 1})
        bytes.push_back(static_cast<std::uint8_t>(b));
    const DecodeResult r = decode(bytes);
    ASSERT_TRUE(r.Ok) << r.Reason;
    EXPECT_EQ(r.Image.Pixels, (std::vector<std::uint8_t>{5, 5, 5, 5, 0, 0, 7, 0}));
}

TEST(BmpDecode, ColoursUsedZeroMeans256Entries)
{
    const Picture p = patternPicture(4, 2);
    expectPicture(decode(makeBmp(p, {.ColoursUsed = 0})), p);
}

TEST(BmpDecode, ShortColourTableIsKept)
{
    const Picture p = patternPicture(4, 3, 16);
    const DecodeResult r = decode(makeBmp(p));
    expectPicture(r, p);
    EXPECT_EQ(r.Image.paletteCount(), 16);
}

TEST(BmpDecode, PixelsMayStartAfterAGap)
{
    const Picture p = patternPicture(5, 3);
    expectPicture(decode(makeBmp(p, {.PixelOffset = 14 + 40 + 1024 + 100})), p);
}

TEST(BmpDecode, LastRowWithoutItsPaddingIsAccepted)
{
    const Picture p = patternPicture(5, 3);
    expectPicture(decode(makeBmp(p, {.PadLastRow = false})), p);
}

TEST(BmpDecode, StoredSampleOnlyForUncompressedBottomUpFiles)
{
    const Picture p = patternPicture(6, 8);
    const std::vector<std::uint8_t> bytes = makeBmp(p);
    const DecodeResult r = decode(bytes);
    ASSERT_TRUE(r.Ok);
    // The first 5 x width bytes of pixel data as stored, padding included.
    const std::size_t offset = 14 + 40 + 1024;
    EXPECT_EQ(r.Image.StoredSample,
              std::vector<std::uint8_t>(bytes.begin() + offset, bytes.begin() + offset + 30));
    EXPECT_TRUE(decode(makeBmp(p, {.TopDown = true})).Image.StoredSample.empty());
    EXPECT_TRUE(decode(makeBmp(p, {.Rle8 = true})).Image.StoredSample.empty());
}

TEST(BmpDecode, FileDecodesLikeTheBytes)
{
    const Picture p = patternPicture(9, 6);
    const auto path = std::filesystem::temp_directory_path() / "vexolin_bmp_file_test.bmp";
    for (const BmpOptions &o : {BmpOptions{}, BmpOptions{.TopDown = true}, BmpOptions{.Rle8 = true}}) {
        const std::vector<std::uint8_t> bytes = makeBmp(p, o);
        test::writeFile(path, bytes);
        const DecodeResult fromFile = decodeBmpFile(path.string());
        expectPicture(fromFile, p);
        EXPECT_EQ(fromFile.Image.StoredSample, decode(bytes).Image.StoredSample);
    }
    std::filesystem::remove(path);
}

// ---- Files that are refused -------------------------------------------------

TEST(BmpRefuse, TwentyFourBitFileNamesItsDepth)
{
    const DecodeResult r = decode(makeBmp(patternPicture(3, 3), {.BitsPerPixel = 24}));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.BitsPerPixel, 24);
}

TEST(BmpRefuse, MoreThan256ColoursUsed)
{
    const DecodeResult r = decode(makeBmp(patternPicture(3, 3), {.ColoursUsed = 300}));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.BitsPerPixel, 0);
    EXPECT_NE(r.Reason.find("300"), std::string::npos);
}

TEST(BmpRefuse, EveryTruncationIsRefusedCleanly)
{
    for (const BmpOptions &o : {BmpOptions{}, BmpOptions{.HeaderSize = 124, .TopDown = true}, BmpOptions{.Rle8 = true},
                                BmpOptions{.HeaderSize = 12}}) {
        const std::vector<std::uint8_t> bytes = makeBmp(patternPicture(6, 4), o);
        // The padding of the last row carries nothing and may be missing.
        const std::size_t lastPadding = 2;
        for (std::size_t size = 0; size < bytes.size(); ++size) {
            const DecodeResult r = decodeBmp(bytes.data(), size);
            // An RLE8 stream may end early and still be a picture; an
            // uncompressed one that lacks pixels never is.
            if (!o.Rle8 && size < bytes.size() - lastPadding) {
                EXPECT_FALSE(r.Ok) << "size " << size;
            }
            if (!r.Ok) {
                EXPECT_FALSE(r.Reason.empty());
            }
        }
    }
}

TEST(BmpRefuse, PixelOffsetPastTheEnd)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, 10, static_cast<std::uint32_t>(bytes.size() + 1));
    EXPECT_FALSE(decode(bytes).Ok);
    setU32(bytes, 10, 0xFFFFFFFFu);
    EXPECT_FALSE(decode(bytes).Ok);
}

TEST(BmpRefuse, PixelOffsetInsideTheHeader)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, 10, 20);
    EXPECT_FALSE(decode(bytes).Ok);
}

TEST(BmpRefuse, AbsurdSizesWithoutReservingMemory)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, 18, 0x7FFFFFFFu); // width
    setU32(bytes, 22, 0x7FFFFFFFu); // height
    const DecodeResult huge = decode(bytes);
    EXPECT_FALSE(huge.Ok);
    EXPECT_NE(huge.Reason.find("too large"), std::string::npos);
    setU32(bytes, 18, 0);
    EXPECT_FALSE(decode(bytes).Ok);
    setU32(bytes, 18, 0x80000000u); // negative width
    EXPECT_FALSE(decode(bytes).Ok);

    // A compressed file claiming a picture far beyond what its bytes can describe.
    std::vector<std::uint8_t> rle = makeBmp(patternPicture(4, 4), {.Rle8 = true});
    setU32(rle, 18, 30000);
    setU32(rle, 22, 30000);
    EXPECT_FALSE(decode(rle).Ok);
}

TEST(BmpRefuse, NotABitmapAndUnknownHeaders)
{
    EXPECT_FALSE(decode({}).Ok);
    EXPECT_FALSE(decode({'G', 'I', 'F', '8', '9', 'a'}).Ok);
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, 14, 41);
    EXPECT_FALSE(decode(bytes).Ok);
    EXPECT_FALSE(decodeBmpFile("/nonexistent/folder/card.bmp").Ok);
    EXPECT_FALSE(decodeBmpFile("/nonexistent/folder/card.bmp").Reason.empty());
}

TEST(BmpRefuse, OtherCompressionsOfEightBitFiles)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, 30, 2); // RLE4
    const DecodeResult r = decode(bytes);
    EXPECT_FALSE(r.Ok);
    EXPECT_NE(r.Reason.find("RLE4"), std::string::npos);
}

TEST(BmpRefuse, TopDownRleIsRefused)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4), {.Rle8 = true});
    setU32(bytes, 22, static_cast<std::uint32_t>(-4));
    EXPECT_FALSE(decode(bytes).Ok);
}

} // namespace
} // namespace vex
