#pragma once
// What a PNG file says about itself beyond its pixels: the resolution it
// records and its bits per pixel.  Qt's reader cannot tell a file that
// records no resolution from one at the screen's, so the header is read with
// libpng.

#include <cstddef>
#include <cstdint>

namespace vex {

struct PictureFacts {
    // 0 where the file records none.
    double PixelsPerMetreX = 0.0;
    double PixelsPerMetreY = 0.0;
    // 0 when the header could not be read.
    int BitsPerPixel = 0;
};

// From the PNG header and its pHYs chunk (metres only; an aspect ratio alone
// is no resolution), of the file's bytes in memory.
PictureFacts pngFacts(const std::uint8_t *data, std::size_t size);

} // namespace vex
