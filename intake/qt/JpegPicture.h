#pragma once
// JPEG cards decoded with libjpeg itself rather than through Qt: Qt's reader
// prints libjpeg's warnings and returns whatever it could decode, so that a
// file cut short became a card of grey rows.  Here every warning that data
// are missing or corrupt refuses the picture.

#include "intake/BmpFile.h"
#include "intake/ColourImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace vex {

// Greyscale JPEGs as indices into a table of 256 greys, all others reduced
// to 256 colours; the resolution from the JFIF density (dots per inch or per
// centimetre; density unit 0 is only an aspect ratio).
DecodeResult decodeJpeg(const std::uint8_t *data, std::size_t size);

// A colour JPEG (three components of 8 bits, YCbCr) in its colours, bottom
// row first, decoded as Qt decodes it but without its round trip through
// 32-bit pixels; its JFIF density where it records one in dots per inch or
// per centimetre (DensityUnit 1 or 2).  Nothing for any other JPEG, a
// damaged one, or one whose EXIF orientation asks for turning: those are
// left to Qt's reader, which says what it makes of them.
struct JpegColours {
    ColourImage Colour;
    int DensityUnit = 0;
    int DensityX = 0;
    int DensityY = 0;
};
std::optional<JpegColours> decodeJpegColours(const std::uint8_t *data, std::size_t size);

} // namespace vex
