// Any bytes as a bitmap file: the reader must refuse cleanly or hand over a
// picture that the colour pass and the scan can take.  Every input goes
// through both readers, from memory and from a file, and they must agree.
#include "FuzzChecks.h"
#include "intake/BmpFile.h"
#include "intake/CardLoading.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace vex;
using fuzz::require;

constexpr std::size_t FileHeaderSize = 14;

std::uint32_t u32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool knownHeaderSize(std::uint32_t size)
{
    return size == 12 || size == 16 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 ||
           size == 124;
}

// What parseBmpHeader promises about a header it accepts.
void requireHeaderPromises(const BmpInfo &info, const std::uint8_t *data, std::size_t size)
{
    require(size >= FileHeaderSize + 4 && data[0] == 'B' && data[1] == 'M');
    require(info.HeaderSize == u32(data + 14) && knownHeaderSize(info.HeaderSize));
    require(info.PixelOffset == u32(data + 10));
    require(info.Width > 0 && info.Height != 0 && info.TopDown == (info.Height < 0));
    const std::uint64_t rows = info.Height < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(info.Height))
                                               : static_cast<std::uint64_t>(info.Height);
    require(static_cast<std::uint64_t>(info.Width) * rows <= BmpMaxPixels);
    const std::uint64_t tableStart = FileHeaderSize + info.HeaderSize;
    require(info.PixelOffset >= tableStart && info.PixelOffset <= size);
    const std::uint16_t b = info.BitsPerPixel;
    require(b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32);
    if (b != 8)
        return;
    require(info.Compression == BmpRgb || info.Compression == BmpRle8);
    require(!(info.Compression == BmpRle8 && info.TopDown));
    require(info.PaletteCount >= 1 && info.PaletteCount <= 256);
    const std::uint64_t entry = info.HeaderSize == BmpCoreHeaderSize ? 3 : 4;
    require(tableStart + entry * info.PaletteCount <= info.PixelOffset);
    if (info.Compression == BmpRgb) {
        const std::uint64_t stride = (static_cast<std::uint64_t>(info.Width) + 3) / 4 * 4;
        require(info.PixelOffset + stride * (rows - 1) + static_cast<std::uint64_t>(info.Width) <= size);
    }
}

// Uncompressed rows byte by byte from the file layout.
void requireUncompressedPicture(const BmpInfo &info, const IndexedImage &image, const std::uint8_t *data,
                                std::size_t size)
{
    const std::size_t width = static_cast<std::size_t>(image.Width);
    const std::size_t rows = static_cast<std::size_t>(image.Height);
    const std::size_t stride = (width + 3) / 4 * 4;
    for (std::size_t r = 0; r < rows; ++r) {
        const std::size_t fileRow = info.TopDown ? rows - 1 - r : r;
        const std::uint8_t *stored = data + info.PixelOffset + fileRow * stride;
        for (std::size_t x = 0; x < width; ++x)
            require(image.row(static_cast<std::int32_t>(r))[x] == stored[x]);
    }
    if (info.TopDown) {
        require(image.StoredSample.empty());
    } else {
        const std::size_t n = std::min(5 * width, size - info.PixelOffset);
        require(image.StoredSample.size() == n);
        for (std::size_t i = 0; i < n; ++i)
            require(image.StoredSample[i] == data[info.PixelOffset + i]);
    }
}

// RLE8 one pixel at a time, every write checked against the picture.
// Returns false where the stream ends inside a code.
bool plainRle8(const std::uint8_t *p, std::size_t n, std::int64_t width, std::int64_t height,
               std::vector<std::uint8_t> &pixels)
{
    pixels.assign(static_cast<std::size_t>(width * height), 0);
    auto put = [&](std::int64_t x, std::int64_t y, std::uint8_t v) {
        if (x < width && y < height)
            pixels[static_cast<std::size_t>(y * width + x)] = v;
    };
    std::size_t i = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
    while (y < height) {
        if (i == n)
            return true;
        if (n - i < 2)
            return false;
        const std::uint8_t a = p[i];
        const std::uint8_t b = p[i + 1];
        i += 2;
        if (a != 0) {
            for (int k = 0; k < a; ++k)
                put(x++, y, b);
        } else if (b == 0) {
            x = 0;
            ++y;
        } else if (b == 1) {
            return true;
        } else if (b == 2) {
            if (n - i < 2)
                return false;
            x += p[i];
            y += p[i + 1];
            i += 2;
        } else {
            if (n - i < b)
                return false;
            for (int k = 0; k < b; ++k)
                put(x++, y, p[i++]);
            if ((b & 1) != 0 && i < n)
                ++i;
        }
    }
    return true;
}

// The file reader gets the same bytes through a memory-backed file, so the
// check costs no disk and leaves nothing behind.
std::string writeToMemoryFile(const std::uint8_t *data, std::size_t size)
{
    static const int fd = memfd_create("fuzz_bmp", MFD_CLOEXEC);
    if (fd < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    if (ftruncate(fd, 0) != 0 || (size != 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
        std::perror("writing the memory file");
        std::abort();
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Result<BmpInfo> header = parseBmpHeader(data, size);
    const DecodeResult decoded = decodeBmp(data, size);

    if (header.ok())
        requireHeaderPromises(*header, data, size);
    else
        require(!header.reason().empty());

    // The decoder refuses what the header check refuses, for the same reason.
    if (!header.ok()) {
        require(!decoded.ok() && decoded.reason() == header.reason() && decoded->BitsPerPixel == 0);
    } else if (header->BitsPerPixel != 8) {
        require(!decoded.ok() && !decoded.reason().empty() && decoded->BitsPerPixel == header->BitsPerPixel);
    } else if (header->Compression == BmpRgb) {
        // The header check has already made sure the rows are all there.
        require(decoded.ok());
    }

    if (decoded.ok()) {
        require(decoded->BitsPerPixel == 8 && decoded.reason().empty());
        const IndexedImage &image = decoded->Image;
        fuzz::requireWellFormed(image);
        const BmpInfo &info = *header;
        require(image.Width == info.Width);
        require(static_cast<std::int64_t>(image.Height) ==
                (info.Height < 0 ? -static_cast<std::int64_t>(info.Height) : info.Height));
        require(image.PaletteBgr.size() == std::size_t{3} * info.PaletteCount);
        if (info.Compression == BmpRgb) {
            requireUncompressedPicture(info, image, data, size);
        } else {
            require(image.StoredSample.empty());
            std::vector<std::uint8_t> plain;
            require(plainRle8(data + info.PixelOffset, size - info.PixelOffset, image.Width, image.Height, plain));
            require(plain == image.Pixels);
        }
    } else {
        require(!decoded.reason().empty());
        if (header.ok() && header->BitsPerPixel == 8) {
            std::vector<std::uint8_t> plain;
            const BmpInfo &info = *header;
            const std::int64_t rows = info.Height < 0 ? -static_cast<std::int64_t>(info.Height) : info.Height;
            require(!plainRle8(data + info.PixelOffset, size - info.PixelOffset, info.Width, rows, plain));
        }
    }

    // Both readers see the same file.
    const std::string file = writeToMemoryFile(data, size);
    const DecodeResult fromFile = decodeBmpFile(file);
    require(fromFile.ok() == decoded.ok());
    require(fromFile->BitsPerPixel == decoded->BitsPerPixel);
    if (decoded.ok())
        require(fuzz::samePicture(fromFile->Image, decoded->Image));
    else if (size != 0)
        require(fromFile.reason() == decoded.reason());

    if (decoded.ok() && decoded->Image.Pixels.size() <= (std::size_t{1} << 20))
        fuzz::analyse(decoded->Image);

    // Colour bitmaps, reduced: a well-formed picture whose pixels stay within
    // a table of at most 256 colours, the same from memory and from the file.
    if (header.ok() && header->BitsPerPixel >= 16) {
        const DecodeResult colour = decodeBmp(data, size, ColourBitmaps::Reduce);
        const DecodeResult colourFromFile = decodeBmpFile(file, ColourBitmaps::Reduce);
        require(colour.ok() == colourFromFile.ok());
        if (!colour.ok()) {
            require(!colour.reason().empty());
            return 0;
        }
        fuzz::requireWellFormed(colour->Image);
        require(fuzz::samePicture(colour->Image, colourFromFile->Image));
        require(colour->Reduction.FromBits == header->BitsPerPixel);
        require(colour->Reduction.Colours >= 1 && colour->Reduction.Colours <= 256);
        require(pixelsBeyondTable(colour->Image.Pixels, colour->Image.paletteCount()) == 0);
        if (colour->Image.Pixels.size() <= (std::size_t{1} << 20))
            fuzz::analyse(colour->Image);
    }
    return 0;
}
