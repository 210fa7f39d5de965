#pragma once
// Our own reader for Windows and OS/2 bitmaps.  Card scans are 8-bit
// palettised bitmaps; 16, 24 and 32-bit colour bitmaps are decoded and reduced
// to 8 bits when the caller asks for it, and otherwise recognised only so that
// the user can be told which depth the file has.
//
// Nothing a file contains may make these functions read outside the data,
// overflow or allocate more than the picture the file really describes.

#include "intake/ColourImage.h"
#include "intake/IndexedImage.h"
#include "text/Result.h"
#include "text/Status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vex {

// Compression values of the bitmap info header.
inline constexpr std::uint32_t BmpRgb = 0;
inline constexpr std::uint32_t BmpRle8 = 1;
inline constexpr std::uint32_t BmpRle4 = 2;
inline constexpr std::uint32_t BmpBitFields = 3;
inline constexpr std::uint32_t BmpJpeg = 4;
inline constexpr std::uint32_t BmpPng = 5;
inline constexpr std::uint32_t BmpAlphaBitFields = 6;

// Info header sizes that are understood.
inline constexpr std::uint32_t BmpCoreHeaderSize = 12;     // OS/2 1.x
inline constexpr std::uint32_t BmpOs2ShortHeaderSize = 16; // OS/2 2.x, fields after the depth left out
inline constexpr std::uint32_t BmpInfoHeaderSize = 40;
inline constexpr std::uint32_t BmpV2HeaderSize = 52;
inline constexpr std::uint32_t BmpV3HeaderSize = 56;
inline constexpr std::uint32_t BmpOs2HeaderSize = 64; // OS/2 2.x
inline constexpr std::uint32_t BmpV4HeaderSize = 108;
inline constexpr std::uint32_t BmpV5HeaderSize = 124;

// Limits that keep a small hostile file from reserving gigabytes.
inline constexpr std::uint64_t BmpMaxPixels = std::uint64_t{1} << 30;
// An RLE8 file may describe at most this many pixels per byte of file.
inline constexpr std::uint64_t BmpMaxRlePixelsPerByte = 4096;

struct BmpInfo {
    std::int32_t Width = 0;
    std::int32_t Height = 0; // as stored: negative = top-down
    std::uint16_t BitsPerPixel = 0;
    std::uint32_t Compression = 0;
    std::uint32_t PixelOffset = 0;
    std::uint32_t HeaderSize = 0;
    // Effective colour-table entries.  Checked against the file only for
    // 8-bit bitmaps; for other depths it is what the header implies.
    std::uint32_t PaletteCount = 0;
    bool TopDown = false;
    // The resolution the header records; 0 where it records none.
    std::int32_t PixelsPerMetreX = 0;
    std::int32_t PixelsPerMetreY = 0;
};

// Checks the file and info headers and whether a file of `size` bytes can
// hold what they describe.  A well-formed bitmap at another depth than 8 bits
// is Ok: its depth is in Info.BitsPerPixel.  For 8-bit bitmaps the
// compression and the colour table are checked as well.  A reason is short,
// without the file name.
Result<BmpInfo> parseBmpHeader(const std::uint8_t *data, std::size_t size);

struct DecodedPicture {
    IndexedImage Image;
    // 8 on success; the file's depth when it is a readable picture at another
    // depth (the caller names the depth to the user); 0 for every other failure.
    int BitsPerPixel = 0;
    // What the decoder noticed on the way in a picture it could read.
    std::vector<std::string> Warnings;
    // The resolution the file records, in pixels per metre; 0 where it
    // records none.
    double PixelsPerMetreX = 0.0;
    double PixelsPerMetreY = 0.0;
    // How a colour picture became the 8-bit one (FromBits 0: it was 8-bit).
    ColourReduction Reduction;
    // The file's bytes exactly as they were decoded, for whatever must
    // describe the same version of the file (its checksum); empty for a
    // picture decoded from bytes in memory.
    std::shared_ptr<const MappedFile> Source;
};
// A failure's reason is short, without the file name.
using DecodeResult = Result<DecodedPicture>;

// Whether a colour picture is refused with its depth, as the program always
// did, or decoded and reduced to 256 colours.
enum class ColourBitmaps { Refuse, Reduce };

// Decodes an 8-bit uncompressed or RLE8 bitmap.  Pixels hold the indices as
// stored, so an index may be beyond the colour table of a careless writer.
DecodeResult decodeBmp(const std::uint8_t *data, std::size_t size, ColourBitmaps colour = ColourBitmaps::Refuse);

// Where the rows of an uncompressed 8-bit bitmap file go: copied into the
// picture's Pixels, or left in the file, which the picture then maps and
// reads in place (IndexedImage::Mapping).  Every other encoding is decoded
// into Pixels either way.
enum class BmpRows { Copied, InPlace };

// The same from a file, read once: the picture and Source are the same
// bytes.  Truncation is reported as such, never as the file's depth.
DecodeResult decodeBmpFile(const std::string &path, ColourBitmaps colour = ColourBitmaps::Refuse,
                           BmpRows rows = BmpRows::Copied);

// The same from a file already read (mapped) whole; it becomes the result's Source.
DecodeResult decodeBmpSource(std::shared_ptr<const MappedFile> source, ColourBitmaps colour = ColourBitmaps::Refuse,
                             BmpRows rows = BmpRows::Copied);

} // namespace vex
