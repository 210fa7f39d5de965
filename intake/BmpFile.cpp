#include "intake/BmpFile.h"

#include "intake/CardLoading.h"
#include "intake/ColourReduction.h"

#include "model/LargeBuffer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace vex {
namespace {

constexpr std::size_t FileHeaderSize = 14;
// Uncompressed rows with padding are read in blocks of about this size: large
// enough to keep the number of reads small, small enough to stay in cache.
constexpr std::uint64_t RowBlockBytes = std::uint64_t{1} << 20;

std::uint16_t readU16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t readU32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t readS32(const std::uint8_t *p)
{
    return static_cast<std::int32_t>(readU32(p));
}

bool isKnownHeaderSize(std::uint32_t size)
{
    switch (size) {
    case BmpCoreHeaderSize:
    case BmpOs2ShortHeaderSize:
    case BmpInfoHeaderSize:
    case BmpV2HeaderSize:
    case BmpV3HeaderSize:
    case BmpOs2HeaderSize:
    case BmpV4HeaderSize:
    case BmpV5HeaderSize:
        return true;
    default:
        return false;
    }
}

bool isKnownDepth(std::uint16_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// OS/2 2.x gives values 3 and 4 other meanings than Windows does, and users
// should be told what the file really holds.
std::string compressionReason(std::uint32_t compression, bool os2)
{
    if (os2 && compression == 3)
        return "Huffman compression is not supported";
    if (os2 && compression == 4)
        return "RLE24 compression is not supported";
    switch (compression) {
    case BmpRle4:
        return "RLE4 compression is not supported";
    case BmpBitFields:
        return "bit-field compression is not supported";
    case BmpJpeg:
        return "JPEG compression is not supported";
    case BmpPng:
        return "PNG compression is not supported";
    default:
        return "compression type " + std::to_string(compression) + " is not supported";
    }
}

std::uint64_t rowStride(std::int64_t width)
{
    return (static_cast<std::uint64_t>(width) + 3u) / 4u * 4u;
}

std::uint64_t absoluteHeight(const BmpInfo &info)
{
    const std::int64_t h = info.Height;
    return static_cast<std::uint64_t>(h < 0 ? -h : h);
}

Result<BmpInfo> headerFailure(std::string reason)
{
    return Status::failure(std::move(reason));
}

// `available` bytes of the file are at `data`: the whole file, or at least
// its headers and colour table; `fileSize` is the length of the whole file.
Result<BmpInfo> parseHeaderPrefix(const std::uint8_t *data, std::size_t available, std::uint64_t fileSize)
{
    if (data == nullptr || available < 2 || data[0] != 'B' || data[1] != 'M')
        return headerFailure("not a bitmap file (no BM signature)");
    if (available < FileHeaderSize + 4)
        return headerFailure("the file is truncated");

    BmpInfo info;
    info.PixelOffset = readU32(data + 10);
    info.HeaderSize = readU32(data + 14);
    if (!isKnownHeaderSize(info.HeaderSize))
        return headerFailure("the bitmap header size " + std::to_string(info.HeaderSize) + " is not supported");
    if (available < FileHeaderSize + info.HeaderSize)
        return headerFailure("the file is truncated");

    const std::uint8_t *h = data + FileHeaderSize;
    const bool core = info.HeaderSize == BmpCoreHeaderSize;
    const bool os2 = info.HeaderSize == BmpOs2ShortHeaderSize || info.HeaderSize == BmpOs2HeaderSize;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t coloursUsed = 0;
    if (core) {
        width = readU16(h + 4);
        height = readU16(h + 6);
        info.BitsPerPixel = readU16(h + 10);
    } else {
        width = readS32(h + 4);
        height = readS32(h + 8);
        info.BitsPerPixel = readU16(h + 14);
        if (info.HeaderSize >= BmpInfoHeaderSize) {
            info.Compression = readU32(h + 16);
            coloursUsed = readU32(h + 32);
            info.PixelsPerMetreX = readS32(h + 24);
            info.PixelsPerMetreY = readS32(h + 28);
        }
    }
    info.Width = static_cast<std::int32_t>(width);
    info.Height = static_cast<std::int32_t>(height);
    info.TopDown = height < 0;

    if (width <= 0)
        return headerFailure("the image width " + std::to_string(width) + " is not valid");
    if (height == 0)
        return headerFailure("the image height is 0");
    const std::uint64_t rows = absoluteHeight(info);
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * rows;
    const std::string sizeText = std::to_string(width) + " x " + std::to_string(rows);
    if (pixels > BmpMaxPixels)
        return headerFailure("the image size " + sizeText + " is too large");

    if (!isKnownDepth(info.BitsPerPixel)) {
        // JPEG and PNG bitmaps store depth 0: the compression is the news.
        if (!os2 && (info.Compression == BmpJpeg || info.Compression == BmpPng))
            return headerFailure(compressionReason(info.Compression, os2));
        return headerFailure("the bit depth " + std::to_string(info.BitsPerPixel) + " is not valid");
    }
    if (info.PixelOffset > fileSize)
        return headerFailure("the pixel data offset lies past the end of the file");
    const std::uint64_t tableStart = FileHeaderSize + info.HeaderSize;
    if (info.PixelOffset < tableStart)
        return headerFailure("the pixel data offset lies inside the bitmap header");

    if (info.BitsPerPixel != 8) {
        // Only the depth matters to the caller; the rest is informative.
        const std::uint32_t implied = info.BitsPerPixel < 8 ? (1u << info.BitsPerPixel) : 0u;
        info.PaletteCount = (coloursUsed == 0 || (implied != 0 && coloursUsed > implied)) ? implied : coloursUsed;
        return info;
    }

    if (info.Compression != BmpRgb && info.Compression != BmpRle8)
        return headerFailure(compressionReason(info.Compression, os2));
    if (info.Compression == BmpRle8 && info.TopDown)
        return headerFailure("a top-down bitmap cannot be RLE8-compressed");

    if (core) {
        // An OS/2 1.x header has no count field; writers that store fewer
        // than 256 entries place the pixels right after them, so the room
        // before the pixels tells the count.
        const std::uint64_t room = (info.PixelOffset - tableStart) / 3u;
        info.PaletteCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(room, 256u));
        if (info.PaletteCount == 0)
            return headerFailure("the bitmap has no colour table");
    } else {
        const std::uint64_t count = coloursUsed == 0 ? 256u : coloursUsed;
        if (count > 256)
            return headerFailure("the colour table has " + std::to_string(count) +
                                 " entries; an 8-bit bitmap has at most 256");
        if (tableStart + count * 4u > info.PixelOffset)
            return headerFailure("the colour table runs into the pixel data");
        info.PaletteCount = static_cast<std::uint32_t>(count);
    }

    if (info.Compression == BmpRgb) {
        // The padding of the last row carries nothing; some writers leave it out.
        const std::uint64_t needed = rowStride(width) * (rows - 1) + static_cast<std::uint64_t>(width);
        if (info.PixelOffset + needed > fileSize)
            return headerFailure("the file is truncated");
    } else {
        if (info.PixelOffset == fileSize)
            return headerFailure("the file is truncated");
        if (pixels > BmpMaxRlePixelsPerByte * fileSize)
            return headerFailure("the image size " + sizeText + " is too large for a compressed file of " +
                                 std::to_string(fileSize) + " bytes");
    }

    return info;
}

DecodeResult decodeFailure(std::string reason, int bitsPerPixel = 0)
{
    DecodeResult r;
    r.setStatus(Status::failure(std::move(reason)));
    r->BitsPerPixel = bitsPerPixel;
    return r;
}

DecodeResult depthFailure(const BmpInfo &info)
{
    return decodeFailure("the bitmap has " + std::to_string(info.BitsPerPixel) +
                             " bits per pixel; only 8-bit bitmaps can be analysed",
                         info.BitsPerPixel);
}

// The picture without its pixels.  `data` holds at least the headers and the
// colour table, which parseHeaderPrefix has checked.
IndexedImage emptyImage(const BmpInfo &info, const std::uint8_t *data)
{
    IndexedImage image;
    image.Width = info.Width;
    image.Height = static_cast<std::int32_t>(absoluteHeight(info));
    const std::size_t entrySize = info.HeaderSize == BmpCoreHeaderSize ? 3 : 4;
    const std::uint8_t *entry = data + FileHeaderSize + info.HeaderSize;
    image.PaletteBgr.reserve(std::size_t{3} * info.PaletteCount);
    for (std::uint32_t i = 0; i < info.PaletteCount; ++i, entry += entrySize)
        image.PaletteBgr.insert(image.PaletteBgr.end(), entry, entry + 3);
    return image;
}

// Where uncompressed rows come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies `count` bytes from `offset` on; false when they cannot all be read.
    virtual bool read(std::uint64_t offset, std::uint8_t *out, std::size_t count) = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    bool read(std::uint64_t offset, std::uint8_t *out, std::size_t count) override
    {
        if (offset > size_ || count > size_ - offset)
            return false;
        if (count != 0)
            std::memcpy(out, data_ + offset, count);
        return true;
    }

private:
    const std::uint8_t *data_;
    std::size_t size_;
};

// Fills image.Pixels (and StoredSample for bottom-up files) from uncompressed
// rows; parseHeaderPrefix has checked that the file holds them.
bool readUncompressedRows(const BmpInfo &info, std::uint64_t fileSize, ByteSource &source, IndexedImage &image)
{
    const std::uint64_t width = static_cast<std::uint64_t>(info.Width);
    const std::uint64_t rows = absoluteHeight(info);
    const std::uint64_t stride = rowStride(info.Width);
    reserveLarge(image.Pixels, static_cast<std::size_t>(width * rows));
    image.Pixels.resize(static_cast<std::size_t>(width * rows));

    if (!info.TopDown) {
        const std::uint64_t sample = std::min<std::uint64_t>(5u * width, fileSize - info.PixelOffset);
        image.StoredSample.resize(static_cast<std::size_t>(sample));
        if (!source.read(info.PixelOffset, image.StoredSample.data(), image.StoredSample.size()))
            return false;
        if (stride == width)
            return source.read(info.PixelOffset, image.Pixels.data(), image.Pixels.size());
    }

    const std::uint64_t blockRows = std::max<std::uint64_t>(1u, RowBlockBytes / stride);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min(blockRows, rows) * stride));
    for (std::uint64_t first = 0; first < rows; first += blockRows) {
        const std::uint64_t count = std::min(blockRows, rows - first);
        const std::uint64_t bytes = (count - 1) * stride + width;
        if (!source.read(info.PixelOffset + first * stride, block.data(), static_cast<std::size_t>(bytes)))
            return false;
        for (std::uint64_t r = 0; r < count; ++r) {
            const std::uint64_t fileRow = first + r;
            const std::uint64_t target = info.TopDown ? rows - 1 - fileRow : fileRow;
            std::memcpy(image.row(static_cast<std::int32_t>(target)), block.data() + r * stride,
                        static_cast<std::size_t>(width));
        }
    }
    return true;
}

// Decodes the RLE8 stream that starts at `data`; returns an empty string on
// success, else the reason.  Codes that reach past a row or the picture are
// clipped instead of wrapping, and pixels never written stay index 0.
std::string decodeRle8(const std::uint8_t *data, std::size_t size, IndexedImage &image)
{
    const std::int64_t width = image.Width;
    const std::int64_t height = image.Height;
    reserveLarge(image.Pixels, static_cast<std::size_t>(width * height));
    image.Pixels.assign(static_cast<std::size_t>(width * height), 0);
    const std::string truncated = "the file is truncated inside an RLE8 code";

    std::size_t i = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
    auto visible = [&](std::int64_t count) -> std::size_t {
        if (y >= height || x >= width)
            return 0;
        return static_cast<std::size_t>(std::min(count, width - x));
    };
    auto target = [&]() { return image.row(static_cast<std::int32_t>(y)) + x; };

    // Once y passes the top row nothing more can be drawn.
    while (y < height) {
        // Data that ends between codes ends the picture, as an end-of-bitmap
        // code would: writers that stop after the last row lose nothing.
        if (i == size)
            return {};
        if (size - i < 2)
            return truncated;
        const std::uint8_t first = data[i];
        const std::uint8_t second = data[i + 1];
        i += 2;
        if (first != 0) {
            if (const std::size_t n = visible(first))
                std::memset(target(), second, n);
            x += first;
            continue;
        }
        switch (second) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return {};
        case 2: // delta: move right and up
            if (size - i < 2)
                return truncated;
            x += data[i];
            y += data[i + 1];
            i += 2;
            break;
        default: { // absolute run, padded to a 16-bit boundary
            const std::size_t count = second;
            if (size - i < count)
                return truncated;
            if (const std::size_t n = visible(static_cast<std::int64_t>(count)))
                std::memcpy(target(), data + i, n);
            x += static_cast<std::int64_t>(count);
            i += count;
            // A missing pad byte at the very end loses no pixel.
            if ((count & 1u) != 0 && i < size)
                ++i;
            break;
        }
        }
    }
    return {};
}

// How the pixels of a 16, 24 or 32-bit bitmap hold their channels.
struct ColourLayout {
    std::uint64_t Stride = 0;
    std::uint64_t RowBytes = 0;
    std::array<std::uint32_t, 3> Masks{}; // blue, green, red; 24-bit files need none
};

struct CheckedLayout {
    ColourLayout Layout;
    // The file ends before its rows do: what the user hears, whatever the depth.
    bool Truncated = false;
};

bool contiguous(std::uint32_t mask)
{
    if (mask == 0)
        return true;
    const std::uint32_t shifted = mask >> std::countr_zero(mask);
    return (shifted & (shifted + 1)) == 0;
}

// Checks what the headers say of a colour bitmap against the file: the
// compression, the masks and that the file holds every row.
Result<CheckedLayout> colourLayout(const BmpInfo &info, const std::uint8_t *data, std::size_t available,
                                   std::uint64_t fileSize)
{
    Result<CheckedLayout> r;
    const bool os2 = info.HeaderSize == BmpOs2ShortHeaderSize || info.HeaderSize == BmpOs2HeaderSize;
    const std::uint16_t bits = info.BitsPerPixel;
    if (bits != 16 && bits != 24 && bits != 32) {
        r.setStatus(Status::failure("the bitmap has " + std::to_string(bits) + " bits per pixel"));
        return r;
    }
    ColourLayout &layout = r->Layout;
    const bool fields = !os2 && (info.Compression == BmpBitFields || info.Compression == BmpAlphaBitFields);
    if (info.Compression != BmpRgb && !(fields && bits != 24)) {
        r.setStatus(Status::failure(compressionReason(info.Compression, os2)));
        return r;
    }
    if (info.TopDown && info.Compression != BmpRgb && !fields) {
        r.setStatus(Status::failure("a top-down bitmap cannot be compressed"));
        return r;
    }
    if (fields) {
        // Version 2 and later headers hold the masks; a 40-byte header is
        // followed by them.
        const std::size_t at = FileHeaderSize + (info.HeaderSize >= BmpV2HeaderSize ? 40 : info.HeaderSize);
        if (available < at + 12 || info.PixelOffset < at + 12) {
            r.setStatus(Status::failure("the bit masks are missing"));
            return r;
        }
        layout.Masks = {readU32(data + at + 8), readU32(data + at + 4), readU32(data + at)};
        const std::uint32_t depthMask = bits == 32 ? 0xFFFFFFFFu : 0xFFFFu;
        for (const std::uint32_t m : layout.Masks)
            if (!contiguous(m) || (m & ~depthMask) != 0) {
                r.setStatus(Status::failure("the bit masks are not valid"));
                return r;
            }
    } else if (bits == 16) {
        layout.Masks = {0x001Fu, 0x03E0u, 0x7C00u};
    } else if (bits == 32) {
        layout.Masks = {0x000000FFu, 0x0000FF00u, 0x00FF0000u};
    }
    const std::uint64_t width = static_cast<std::uint64_t>(info.Width);
    layout.RowBytes = width * bits / 8;
    layout.Stride = (width * bits + 31) / 32 * 4;
    if (info.PixelOffset + layout.Stride * (absoluteHeight(info) - 1) + layout.RowBytes > fileSize) {
        r.setStatus(Status::failure("the file is truncated"));
        r->Truncated = true;
        return r;
    }
    r.setStatus(Status());
    return r;
}

// One channel of a masked pixel, scaled to 8 bits.
struct Channel {
    explicit Channel(std::uint32_t mask)
        : Mask(mask), Shift(mask == 0 ? 0 : std::countr_zero(mask)), Max(mask == 0 ? 0 : mask >> Shift)
    {}
    std::uint8_t operator()(std::uint32_t pixel) const
    {
        if (Max == 0)
            return 0;
        const std::uint64_t v = (pixel & Mask) >> Shift;
        return static_cast<std::uint8_t>((v * 255u + Max / 2) / Max);
    }
    std::uint32_t Mask;
    int Shift;
    std::uint64_t Max;
};

void convertRow(const std::uint8_t *in, std::uint8_t *out, std::uint64_t width, std::uint16_t bits,
                const std::array<Channel, 3> &channels)
{
    if (bits == 24) {
        std::memcpy(out, in, static_cast<std::size_t>(width * 3));
        return;
    }
    const bool plain32 =
        bits == 32 && channels[0].Mask == 0xFFu && channels[1].Mask == 0xFF00u && channels[2].Mask == 0xFF0000u;
    for (std::uint64_t x = 0; x < width; ++x, out += 3) {
        if (plain32) {
            out[0] = in[4 * x];
            out[1] = in[4 * x + 1];
            out[2] = in[4 * x + 2];
            continue;
        }
        const std::uint32_t pixel = bits == 16 ? readU16(in + 2 * x) : readU32(in + 4 * x);
        for (std::size_t c = 0; c < 3; ++c)
            out[c] = channels[c](pixel);
    }
}

// Reads the rows of a colour bitmap into a picture, bottom row first.
bool readColourRows(const BmpInfo &info, const ColourLayout &layout, ByteSource &source, ColourImage &picture)
{
    const std::uint64_t width = static_cast<std::uint64_t>(info.Width);
    const std::uint64_t rows = absoluteHeight(info);
    picture.Width = info.Width;
    picture.Height = static_cast<std::int32_t>(rows);
    picture.SourceBits = info.BitsPerPixel;
    reserveLarge(picture.Bgr, static_cast<std::size_t>(width * rows * 3));
    picture.Bgr.resize(static_cast<std::size_t>(width * rows * 3));
    const std::array<Channel, 3> channels{Channel(layout.Masks[0]), Channel(layout.Masks[1]), Channel(layout.Masks[2])};
    const bool direct = info.BitsPerPixel == 24 && !info.TopDown && layout.Stride == layout.RowBytes;
    if (direct)
        return source.read(info.PixelOffset, picture.Bgr.data(), picture.Bgr.size());
    const std::uint64_t blockRows = std::max<std::uint64_t>(1u, RowBlockBytes / layout.Stride);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min(blockRows, rows) * layout.Stride));
    for (std::uint64_t first = 0; first < rows; first += blockRows) {
        const std::uint64_t count = std::min(blockRows, rows - first);
        const std::uint64_t bytes = (count - 1) * layout.Stride + layout.RowBytes;
        if (!source.read(info.PixelOffset + first * layout.Stride, block.data(), static_cast<std::size_t>(bytes)))
            return false;
        for (std::uint64_t r = 0; r < count; ++r) {
            const std::uint64_t fileRow = first + r;
            const std::uint64_t target = info.TopDown ? rows - 1 - fileRow : fileRow;
            convertRow(block.data() + r * layout.Stride, picture.row(static_cast<std::int32_t>(target)), width,
                       info.BitsPerPixel, channels);
        }
    }
    return true;
}

DecodeResult decodeSuccess(IndexedImage image)
{
    DecodeResult r;
    r.setStatus(Status());
    r->Image = std::move(image);
    r->BitsPerPixel = 8;
    return r;
}

const std::string OutOfMemory = NotEnoughMemoryReason;

DecodeResult withResolution(DecodeResult r, const BmpInfo &info)
{
    r->PixelsPerMetreX = std::max(info.PixelsPerMetreX, 0);
    r->PixelsPerMetreY = std::max(info.PixelsPerMetreY, 0);
    return r;
}

// The colour picture goes once it is reduced: the two are never both kept
// longer than the reduction needs.
DecodeResult reducedSuccess(ColourImage picture, const BmpInfo &info)
{
    ReducedPicture reduced = reduceColours(picture);
    picture = ColourImage();
    DecodeResult r = decodeSuccess(std::move(reduced.Image));
    r->Reduction = reduced.Reduction;
    return withResolution(std::move(r), info);
}

} // namespace

Result<BmpInfo> parseBmpHeader(const std::uint8_t *data, std::size_t size)
{
    return parseHeaderPrefix(data, data == nullptr ? 0 : size, data == nullptr ? 0 : size);
}

DecodeResult decodeBmp(const std::uint8_t *data, std::size_t size, ColourBitmaps colour)
{
    const Result<BmpInfo> header = parseBmpHeader(data, size);
    if (!header.ok())
        return decodeFailure(header.reason());
    const BmpInfo &info = *header;
    try {
        if (info.BitsPerPixel != 8) {
            // A file cut short is damaged at any depth: its depth is no news.
            const Result<CheckedLayout> layout = colourLayout(info, data, size, size);
            if (layout->Truncated)
                return decodeFailure(layout.reason());
            if (colour == ColourBitmaps::Refuse)
                return depthFailure(info);
            if (!layout.ok())
                return decodeFailure(layout.reason(), info.BitsPerPixel);
            MemorySource source(data, size);
            ColourImage picture;
            if (!readColourRows(info, layout->Layout, source, picture))
                return decodeFailure("the file is truncated");
            return reducedSuccess(std::move(picture), info);
        }
        IndexedImage image = emptyImage(info, data);
        if (info.Compression == BmpRle8) {
            const std::string reason = decodeRle8(data + info.PixelOffset, size - info.PixelOffset, image);
            if (!reason.empty())
                return decodeFailure(reason);
        } else {
            MemorySource source(data, size);
            if (!readUncompressedRows(info, size, source, image))
                return decodeFailure("the file is truncated");
        }
        return withResolution(decodeSuccess(std::move(image)), info);
    } catch (const std::bad_alloc &) {
        return decodeFailure(OutOfMemory);
    } catch (const std::exception &e) {
        return decodeFailure(std::string("the colours cannot be reduced: ") + e.what());
    }
}

namespace {

// The picture of an uncompressed 8-bit bitmap whose rows stay in the mapped
// file; nothing when the file is of another kind, and the caller decodes it
// from the same bytes.
std::optional<DecodeResult> decodeInPlace(const std::shared_ptr<const MappedFile> &mapping)
{
    const std::uint8_t *data = mapping->data();
    const Result<BmpInfo> header = parseBmpHeader(data, mapping->size());
    if (!header.ok() || header->BitsPerPixel != 8 || header->Compression != BmpRgb)
        return std::nullopt;
    const BmpInfo &info = *header;
    IndexedImage image = emptyImage(info, data);
    const std::uint64_t width = static_cast<std::uint64_t>(info.Width);
    const auto stride = static_cast<std::ptrdiff_t>(rowStride(info.Width));
    const std::uint8_t *first = data + info.PixelOffset;
    if (info.TopDown) {
        image.MappedBottomRow = first + static_cast<std::ptrdiff_t>(absoluteHeight(info) - 1) * stride;
        image.MappedRowStep = -stride;
    } else {
        const std::uint64_t sample = std::min<std::uint64_t>(5u * width, mapping->size() - info.PixelOffset);
        image.StoredSample.assign(first, first + sample);
        image.MappedBottomRow = first;
        image.MappedRowStep = stride;
    }
    image.Mapping = mapping;
    return withResolution(decodeSuccess(std::move(image)), info);
}

} // namespace

DecodeResult decodeBmpSource(std::shared_ptr<const MappedFile> source, ColourBitmaps colour, BmpRows rows)
{
    try {
        std::optional<DecodeResult> decoded;
        if (rows == BmpRows::InPlace)
            decoded = decodeInPlace(source);
        if (!decoded)
            decoded = decodeBmp(source->data(), source->size(), colour);
        // Rows copied from a file rewritten meanwhile may mix two versions.
        if (decoded->ok() && !(*decoded)->Image.Mapping)
            if (const Status whole = source->intact(); !whole.ok())
                return decodeFailure(whole.reason());
        (*decoded)->Source = std::move(source);
        return std::move(*decoded);
    } catch (const std::bad_alloc &) {
        return decodeFailure(OutOfMemory);
    }
}

DecodeResult decodeBmpFile(const std::string &path, ColourBitmaps colour, BmpRows rows)
{
    if (const Status file = checkCardFile(path); !file.ok())
        return decodeFailure(file.reason());
    auto mapping = std::make_shared<MappedFile>();
    if (const Status opened = mapping->open(path); !opened.ok())
        return decodeFailure(opened.reason() == std::strerror(ENOMEM) ? OutOfMemory : opened.reason());
    return decodeBmpSource(std::move(mapping), colour, rows);
}

} // namespace vex
