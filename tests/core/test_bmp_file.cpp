#include "intake/BmpFile.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vex {
namespace {

using test::BmpOptions;
using test::makeBmp;
using test::patternPicture;
using test::Picture;
using test::setU32;

DecodeResult decode(const std::vector<std::uint8_t> &bytes)
{
    return decodeBmp(bytes.data(), bytes.size());
}

void expectPicture(const DecodeResult &r, const Picture &p)
{
    ASSERT_TRUE(r.ok()) << r.reason();
    EXPECT_EQ(r->BitsPerPixel, 8);
    EXPECT_EQ(r->Image.Width, p.Width);
    EXPECT_EQ(r->Image.Height, p.Height);
    EXPECT_EQ(r->Image.PaletteBgr, p.PaletteBgr);
    EXPECT_EQ(r->Image.Pixels, p.bottomUp());
}

void expectRefused(const DecodeResult &r)
{
    EXPECT_FALSE(r.ok());
    EXPECT_FALSE(r.reason().empty());
    EXPECT_EQ(r->BitsPerPixel, 0);
}

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

// Offsets of header fields in a file with a 40-byte (or longer) info header.
constexpr std::size_t PixelOffsetField = 10;
constexpr std::size_t HeaderSizeField = 14;
constexpr std::size_t WidthField = 18;
constexpr std::size_t HeightField = 22;
constexpr std::size_t CompressionField = 30;
// File header, 40-byte info header and 256 four-byte entries.
constexpr std::size_t FullTableOffset = 14 + 40 + 256 * 4;

// ---- Every header layout and encoding ----------------------------------------

struct Layout {
    const char *Name;
    BmpOptions Options;
};

// Names the layout in test listings instead of dumping its bytes.
void PrintTo(const Layout &layout, std::ostream *out)
{
    *out << layout.Name;
}

const std::vector<Layout> &layouts()
{
    static const std::vector<Layout> all = {
        {"Info40", {}},
        {"Info40TopDown", {.TopDown = true}},
        {"V4", {.HeaderSize = 108}},
        {"V5", {.HeaderSize = 124}},
        {"V5TopDown", {.HeaderSize = 124, .TopDown = true}},
        {"Os2Core", {.HeaderSize = 12}},
        {"Os2Short", {.HeaderSize = 16}},
        {"Os2Full", {.HeaderSize = 64}},
        {"Rle8", {.Rle8 = true}},
        {"V5Rle8", {.HeaderSize = 124, .Rle8 = true}},
    };
    return all;
}

class BmpLayout : public ::testing::TestWithParam<Layout> {
protected:
    const BmpOptions &options() const { return GetParam().Options; }
};

TEST_P(BmpLayout, DecodesPaletteAndPixels)
{
    const Picture p = patternPicture(7, 5);
    expectPicture(decode(makeBmp(p, options())), p);
}

TEST_P(BmpLayout, DecodesRunsOfEqualPixels)
{
    const Picture p = test::runPicture(11, 6);
    expectPicture(decode(makeBmp(p, options())), p);
}

TEST_P(BmpLayout, WidthsOneToFiveIgnoreTheRowPadding)
{
    for (int width = 1; width <= 5; ++width) {
        SCOPED_TRACE(width);
        const Picture p = patternPicture(width, 4);
        expectPicture(decode(makeBmp(p, options())), p);
    }
}

TEST_P(BmpLayout, FileDecodesLikeTheBytes)
{
    const Picture p = patternPicture(9, 6);
    const std::vector<std::uint8_t> bytes = makeBmp(p, options());
    const test::TempFile file(bytes, ".bmp");
    const DecodeResult fromFile = decodeBmpFile(file.path());
    expectPicture(fromFile, p);
    EXPECT_EQ(fromFile->Image.StoredSample, decode(bytes)->Image.StoredSample);
}

// Whatever is left of a file, the decoders either refuse it with a reason or
// give a picture of the full size whose pixels, in file order, are those of
// the original up to some point and index 0 after it.
void expectRefusedOrPrefix(const DecodeResult &r, const Picture &p, std::size_t size)
{
    if (!r.ok()) {
        EXPECT_FALSE(r.reason().empty()) << "size " << size;
        EXPECT_EQ(r->BitsPerPixel, 0) << "size " << size;
        return;
    }
    ASSERT_EQ(r->Image.Width, p.Width) << "size " << size;
    ASSERT_EQ(r->Image.Height, p.Height) << "size " << size;
    EXPECT_EQ(r->Image.PaletteBgr, p.PaletteBgr) << "size " << size;
    const std::vector<std::uint8_t> expected = p.bottomUp();
    ASSERT_EQ(r->Image.Pixels.size(), expected.size()) << "size " << size;
    std::size_t same = 0;
    while (same < expected.size() && r->Image.Pixels[same] == expected[same])
        ++same;
    for (std::size_t i = same; i < expected.size(); ++i)
        EXPECT_EQ(r->Image.Pixels[i], 0) << "size " << size << ", pixel " << i;
}

TEST_P(BmpLayout, EveryTruncationIsRefusedOrKeepsAPrefix)
{
    const Picture p = patternPicture(6, 4);
    const std::vector<std::uint8_t> bytes = makeBmp(p, options());
    const test::TempFile file({}, ".bmp");
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        const DecodeResult r = decodeBmp(bytes.data(), size);
        expectRefusedOrPrefix(r, p, size);
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        file.rewrite(cut);
        const DecodeResult fromFile = decodeBmpFile(file.path());
        EXPECT_EQ(fromFile.ok(), r.ok()) << "size " << size;
        EXPECT_EQ(fromFile->Image.Pixels, r->Image.Pixels) << "size " << size;
    }
}

// The rows of a picture bottom-up, wherever it holds them.
std::vector<std::uint8_t> heldRows(const IndexedImage &image)
{
    std::vector<std::uint8_t> rows;
    for (std::int32_t y = 0; y < image.rowsHeld(); ++y)
        rows.insert(rows.end(), image.row(y), image.row(y) + image.Width);
    return rows;
}

// The old reader, which copies, is the measure of the one that maps: the
// same pictures, and every cut file refused for the same reason.
TEST_P(BmpLayout, RowsReadInPlaceAreTheCopiedOnesAndCutFilesAreRefusedAlike)
{
    const Picture p = patternPicture(6, 4);
    const std::vector<std::uint8_t> bytes = makeBmp(p, options());
    const test::TempFile file({}, ".bmp");
    for (std::size_t size = 0; size <= bytes.size(); ++size) {
        file.rewrite(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)));
        const DecodeResult copied = decodeBmpFile(file.path());
        const DecodeResult mapped = decodeBmpFile(file.path(), ColourBitmaps::Refuse, BmpRows::InPlace);
        ASSERT_EQ(mapped.ok(), copied.ok()) << "size " << size;
        EXPECT_EQ(mapped.reason(), copied.reason()) << "size " << size;
        EXPECT_EQ(heldRows(mapped->Image), heldRows(copied->Image)) << "size " << size;
        EXPECT_EQ(mapped->Image.StoredSample, copied->Image.StoredSample) << "size " << size;
        EXPECT_EQ(mapped->Image.Mapping != nullptr, mapped.ok() && !options().Rle8) << "size " << size;
        EXPECT_TRUE(mapped->Image.sourceIntact().ok());
    }
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, BmpLayout, ::testing::ValuesIn(layouts()),
                         [](const ::testing::TestParamInfo<Layout> &layout) { return std::string(layout.param.Name); });

// Compressed streams may end early by design; uncompressed files may not.
TEST(BmpEncodings, UncompressedFileNeedsEveryPixelButTheLastRowsPadding)
{
    const Picture p = patternPicture(6, 4);
    for (const Layout &layout : layouts()) {
        if (layout.Options.Rle8)
            continue;
        SCOPED_TRACE(layout.Name);
        const std::vector<std::uint8_t> bytes = makeBmp(p, layout.Options);
        // Rows of 6 are stored in 8 bytes; the last 2 bytes carry nothing.
        const std::size_t needed = bytes.size() - 2;
        for (std::size_t size = 0; size <= bytes.size(); ++size)
            EXPECT_EQ(decodeBmp(bytes.data(), size).ok(), size >= needed) << "size " << size;
    }
}

TEST(BmpEncodings, SamePictureGivesIdenticalPixelsInEveryLayout)
{
    const Picture p = test::runPicture(8, 7);
    const DecodeResult first = decode(makeBmp(p, layouts().front().Options));
    ASSERT_TRUE(first.ok()) << first.reason();
    for (const Layout &layout : layouts()) {
        SCOPED_TRACE(layout.Name);
        const DecodeResult r = decode(makeBmp(p, layout.Options));
        ASSERT_TRUE(r.ok()) << r.reason();
        EXPECT_EQ(r->Image.Pixels, first->Image.Pixels);
        EXPECT_EQ(r->Image.PaletteBgr, first->Image.PaletteBgr);
    }
}

TEST(BmpEncodings, LastRowWithoutItsPaddingIsAccepted)
{
    const Picture p = patternPicture(5, 3);
    expectPicture(decode(makeBmp(p, {.PadLastRow = false})), p);
    expectPicture(decode(makeBmp(p, {.TopDown = true, .PadLastRow = false})), p);
}

TEST(BmpEncodings, PixelsMayStartAfterAGap)
{
    const Picture p = patternPicture(5, 3);
    expectPicture(decode(makeBmp(p, {.PixelOffset = FullTableOffset + 100})), p);
    expectPicture(decode(makeBmp(p, {.Rle8 = true, .PixelOffset = FullTableOffset + 100})), p);
}

// ---- RLE8 codes -----------------------------------------------------------------

// A 5 x 3 RLE8 bitmap whose pixel data is `stream`.
std::vector<std::uint8_t> rleFile(const std::vector<int> &stream, int width = 5, int height = 3)
{
    Picture p = patternPicture(width, height, 16);
    std::vector<std::uint8_t> bytes = makeBmp(p, {.Rle8 = true});
    bytes.resize(test::naturalPixelOffset(p, {.Rle8 = true}));
    for (const int b : stream)
        bytes.push_back(static_cast<std::uint8_t>(b));
    return bytes;
}

TEST(BmpRle8, EveryEscapeCodeIsFollowed)
{
    const std::vector<int> stream = {
        0, 3, 4, 5, 6, 0, // absolute run of three, padded to an even length
        2, 9,             // encoded run: two pixels of index 9
        0, 0,             // end of line
        0, 2, 2, 1,       // delta: two right, one up
        1, 8,             // one pixel of index 8
        0, 1,             // end of bitmap
        3, 7,             // after the end: must not be drawn
    };
    const DecodeResult r = decode(rleFile(stream));
    ASSERT_TRUE(r.ok()) << r.reason();
    const std::vector<std::uint8_t> bottomUp = {
        4, 5, 6, 9, 9, // bottom row
        0, 0, 0, 0, 0, // skipped by the delta
        0, 0, 8, 0, 0, // top row
    };
    EXPECT_EQ(r->Image.Pixels, bottomUp);
}

TEST(BmpRle8, RunsPastTheRowEndAreClippedNotWrapped)
{
    const DecodeResult r = decode(rleFile({9, 5, 0, 0, 0, 7, 1, 2, 3, 4, 5, 6, 7, 0, 0, 1}));
    ASSERT_TRUE(r.ok()) << r.reason();
    const std::vector<std::uint8_t> bottomUp = {5, 5, 5, 5, 5, 1, 2, 3, 4, 5, 0, 0, 0, 0, 0};
    EXPECT_EQ(r->Image.Pixels, bottomUp);
}

TEST(BmpRle8, DeltaPastTheTopEndsThePicture)
{
    const DecodeResult r = decode(rleFile({2, 1, 0, 2, 0, 9, 4, 3, 0, 1}));
    ASSERT_TRUE(r.ok()) << r.reason();
    const std::vector<std::uint8_t> bottomUp = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(r->Image.Pixels, bottomUp);
}

TEST(BmpRle8, StreamEndingBetweenRowsKeepsTheRowsDecoded)
{
    const Picture p = test::runPicture(10, 5);
    const test::Rle8Stream stream = test::encodeRle8(p);
    ASSERT_GT(stream.EncodedRuns, 0);
    ASSERT_GT(stream.AbsoluteRuns, 0);
    const std::vector<std::uint8_t> bytes = makeBmp(p, {.Rle8 = true});
    const std::size_t offset = test::naturalPixelOffset(p, {.Rle8 = true});
    const std::vector<std::uint8_t> all = p.bottomUp();
    for (std::size_t rows = 1; rows <= stream.RowEnds.size(); ++rows) {
        SCOPED_TRACE(rows);
        const DecodeResult r = decodeBmp(bytes.data(), offset + stream.RowEnds[rows - 1]);
        ASSERT_TRUE(r.ok()) << r.reason();
        std::vector<std::uint8_t> expected(all.size(), 0);
        std::copy(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(rows * 10), expected.begin());
        EXPECT_EQ(r->Image.Pixels, expected);
    }
}

TEST(BmpRle8, StreamEndingInsideACodeIsRefused)
{
    const DecodeResult halfCode = decode(rleFile({2, 1, 0}));
    expectRefused(halfCode);
    EXPECT_TRUE(contains(halfCode.reason(), "RLE8"));
    expectRefused(decode(rleFile({0, 5, 1, 2, 3}))); // absolute run short of its pixels
    expectRefused(decode(rleFile({0, 2, 3})));       // delta short of its second byte
}

TEST(BmpRle8, NoPixelDataIsRefused)
{
    expectRefused(decode(rleFile({})));
}

TEST(BmpRle8, TopDownRleIsRefused)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4), {.Rle8 = true});
    setU32(bytes, HeightField, static_cast<std::uint32_t>(-4));
    expectRefused(decode(bytes));
}

// ---- The colour table -------------------------------------------------------------

TEST(BmpPalette, ColoursUsedZeroMeans256Entries)
{
    Picture p = patternPicture(4, 2, 16);
    const DecodeResult r = decode(makeBmp(p, {.ColoursUsed = 0, .PaletteEntries = 256}));
    ASSERT_TRUE(r.ok()) << r.reason();
    p.PaletteBgr.resize(256 * 3, 0); // the builder fills the table with black
    EXPECT_EQ(r->Image.paletteCount(), 256);
    EXPECT_EQ(r->Image.PaletteBgr, p.PaletteBgr);
    EXPECT_EQ(r->Image.Pixels, p.bottomUp());
}

TEST(BmpPalette, ShortTableIsKeptAtItsLength)
{
    const Picture p = patternPicture(4, 3, 16);
    const DecodeResult r = decode(makeBmp(p));
    expectPicture(r, p);
    EXPECT_EQ(r->Image.paletteCount(), 16);
}

TEST(BmpPalette, MoreThan256ColoursUsedIsRefusedNamingTheCount)
{
    const DecodeResult r = decode(makeBmp(patternPicture(3, 3), {.ColoursUsed = 300}));
    expectRefused(r);
    EXPECT_TRUE(contains(r.reason(), "300")) << r.reason();
}

TEST(BmpPalette, TableRunningIntoThePixelsIsRefused)
{
    expectRefused(decode(makeBmp(patternPicture(4, 4, 16), {.ColoursUsed = 256})));
}

TEST(BmpPalette, Os2CoreTableLengthIsTheRoomBeforeThePixels)
{
    const Picture p = patternPicture(5, 3, 16);
    const DecodeResult r = decode(makeBmp(p, {.HeaderSize = 12}));
    expectPicture(r, p);
    EXPECT_EQ(r->Image.paletteCount(), 16);
}

TEST(BmpPalette, IndicesBeyondTheTableAreKeptAsStored)
{
    Picture p = patternPicture(4, 2, 16);
    p.TopDownIndices[3] = 200;
    expectPicture(decode(makeBmp(p)), p);
}

// ---- The stored sample --------------------------------------------------------------

// The rows of `p` as a bottom-up file stores them, each padded with zeros to
// four bytes, cut to `count` bytes.
std::vector<std::uint8_t> paddedRows(const Picture &p, std::size_t count, bool padLastRow = true)
{
    const std::size_t stride = (static_cast<std::size_t>(p.Width) + 3) / 4 * 4;
    std::vector<std::uint8_t> bytes;
    for (int y = p.Height - 1; y >= 0; --y) {
        for (int x = 0; x < p.Width; ++x)
            bytes.push_back(p.at(x, y));
        if (padLastRow || y > 0)
            bytes.resize(bytes.size() + stride - static_cast<std::size_t>(p.Width), 0);
    }
    bytes.resize(std::min(bytes.size(), count));
    return bytes;
}

TEST(BmpStoredSample, HoldsFiveRowWidthsOfStoredBytesWithPadding)
{
    const Picture p = patternPicture(6, 8);
    for (const BmpOptions &o : {BmpOptions{}, BmpOptions{.HeaderSize = 124}, BmpOptions{.HeaderSize = 12}}) {
        SCOPED_TRACE(o.HeaderSize);
        const DecodeResult r = decode(makeBmp(p, o));
        ASSERT_TRUE(r.ok()) << r.reason();
        EXPECT_EQ(r->Image.StoredSample, paddedRows(p, 30));
    }
}

TEST(BmpStoredSample, IsShorterWhenTheFileHoldsLess)
{
    const Picture p = patternPicture(6, 2);
    EXPECT_EQ(decode(makeBmp(p))->Image.StoredSample, paddedRows(p, 16));
    EXPECT_EQ(decode(makeBmp(p, {.PadLastRow = false}))->Image.StoredSample, paddedRows(p, 14, false));
}

TEST(BmpStoredSample, IsEmptyForTopDownAndCompressedFiles)
{
    const Picture p = patternPicture(6, 8);
    const DecodeResult topDown = decode(makeBmp(p, {.TopDown = true}));
    const DecodeResult rle = decode(makeBmp(p, {.Rle8 = true}));
    ASSERT_TRUE(topDown.ok() && rle.ok());
    EXPECT_TRUE(topDown->Image.StoredSample.empty());
    EXPECT_TRUE(rle->Image.StoredSample.empty());
}

// ---- Files that are refused ----------------------------------------------------------

TEST(BmpRefuse, TwentyFourBitFileNamesItsDepth)
{
    const std::vector<std::uint8_t> bytes = makeBmp(patternPicture(3, 3), {.BitsPerPixel = 24});
    const test::TempFile file(bytes, ".bmp");
    for (const DecodeResult &r : {decode(bytes), decodeBmpFile(file.path())}) {
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r->BitsPerPixel, 24);
        EXPECT_TRUE(contains(r.reason(), "24")) << r.reason();
    }
}

TEST(BmpRefuse, ColourFileCutShortSaysSoRatherThanItsDepth)
{
    const std::vector<std::uint8_t> bytes = makeBmp(patternPicture(9, 7), {.BitsPerPixel = 24});
    const test::TempFile file({bytes.begin(), bytes.end() - 10}, ".bmp");
    for (const ColourBitmaps colour : {ColourBitmaps::Refuse, ColourBitmaps::Reduce}) {
        const DecodeResult r = decodeBmpFile(file.path(), colour);
        expectRefused(r);
        EXPECT_EQ(r.reason(), "the file is truncated");
    }
}

TEST(BmpRefuse, PixelOffsetPastTheEnd)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, PixelOffsetField, static_cast<std::uint32_t>(bytes.size() + 1));
    expectRefused(decode(bytes));
    setU32(bytes, PixelOffsetField, 0xFFFFFFFFu);
    expectRefused(decode(bytes));
}

TEST(BmpRefuse, PixelOffsetInsideTheHeader)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, PixelOffsetField, 20);
    expectRefused(decode(bytes));
}

TEST(BmpRefuse, ZeroAndNegativeSizes)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, WidthField, 0);
    expectRefused(decode(bytes));
    setU32(bytes, WidthField, 0x80000000u);
    expectRefused(decode(bytes));
    setU32(bytes, WidthField, 4);
    setU32(bytes, HeightField, 0);
    expectRefused(decode(bytes));
}

TEST(BmpRefuse, AbsurdSizesAreRefused)
{
    DecodeResult r;

    std::vector<std::uint8_t> huge = makeBmp(patternPicture(4, 4));
    setU32(huge, WidthField, 0x7FFFFFFFu);
    setU32(huge, HeightField, 0x7FFFFFFFu);
    r = decode(huge);
    expectRefused(r);
    EXPECT_TRUE(contains(r.reason(), "too large")) << r.reason();

    // Within the pixel limit, but the file holds a few bytes of it.
    std::vector<std::uint8_t> large = makeBmp(patternPicture(4, 4));
    setU32(large, WidthField, 30000);
    setU32(large, HeightField, 30000);
    r = decode(large);
    expectRefused(r);

    std::vector<std::uint8_t> rle = makeBmp(patternPicture(4, 4), {.Rle8 = true});
    setU32(rle, WidthField, 30000);
    setU32(rle, HeightField, 30000);
    r = decode(rle);
    expectRefused(r);

    std::vector<std::uint8_t> core = makeBmp(patternPicture(4, 4), {.HeaderSize = 12});
    for (const std::size_t at : {18u, 19u, 20u, 21u})
        core[at] = 0xFF; // 65535 x 65535
    r = decode(core);
    expectRefused(r);
}

TEST(BmpRefuse, NotABitmap)
{
    expectRefused(decode({}));
    expectRefused(decodeBmp(nullptr, 100));
    expectRefused(decode({'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(BmpRefuse, UnknownHeaderSize)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, HeaderSizeField, 41);
    expectRefused(decode(bytes));
}

TEST(BmpRefuse, OtherCompressionsAreNamed)
{
    std::vector<std::uint8_t> bytes = makeBmp(patternPicture(4, 4));
    setU32(bytes, CompressionField, 2);
    const DecodeResult rle4 = decode(bytes);
    expectRefused(rle4);
    EXPECT_TRUE(contains(rle4.reason(), "RLE4")) << rle4.reason();
    setU32(bytes, CompressionField, 3);
    const DecodeResult fields = decode(bytes);
    expectRefused(fields);
    EXPECT_TRUE(contains(fields.reason(), "bit-field")) << fields.reason();
}

TEST(BmpRefuse, MissingFileGivesAReason)
{
    expectRefused(decodeBmpFile("/nonexistent/folder/card.bmp"));
}

TEST(BmpRefuse, FolderAndEmptyFileGiveAReason)
{
    expectRefused(decodeBmpFile(std::filesystem::temp_directory_path().string()));
    const test::TempFile empty({}, ".bmp");
    expectRefused(decodeBmpFile(empty.path()));
}

} // namespace
} // namespace vex
