#pragma once
// What a PNG or JPEG file says about itself beyond its pixels: the
// resolution it records and its bits per pixel.  Qt's readers cannot tell a
// file that records no resolution from one at the screen's, so the headers
// are read with the format's own library.

#include <string>

namespace vex {

struct PictureFacts {
    // 0 where the file records none.
    double PixelsPerMetreX = 0.0;
    double PixelsPerMetreY = 0.0;
    // 0 when the header could not be read.
    int BitsPerPixel = 0;
};

// From the PNG header and its pHYs chunk (metres only; an aspect ratio alone
// is no resolution).
PictureFacts pngFacts(const std::string &path);

// From the JPEG header and its JFIF density (dots per inch or per
// centimetre; density unit 0 is only an aspect ratio).
PictureFacts jpegFacts(const std::string &path);

} // namespace vex
