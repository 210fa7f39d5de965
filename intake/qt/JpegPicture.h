#pragma once
// JPEG cards decoded with libjpeg itself rather than through Qt: Qt's reader
// prints libjpeg's warnings and returns whatever it could decode, so that a
// file cut short became a card of grey rows.  Here every warning that data
// are missing or corrupt refuses the picture.

#include "intake/BmpFile.h"

#include <cstddef>
#include <cstdint>

namespace vex {

// Greyscale JPEGs as indices into a table of 256 greys, all others reduced
// to 256 colours; the resolution from the JFIF density (dots per inch or per
// centimetre; density unit 0 is only an aspect ratio).
DecodeResult decodeJpeg(const std::uint8_t *data, std::size_t size);

} // namespace vex
