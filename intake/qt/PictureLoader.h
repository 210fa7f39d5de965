#pragma once
// Decodes any card image into the 8-bit palettised picture: BMP by
// decodeBmpFile, GIF by giflib, TIF by Qt's reader.

#include "intake/BmpFile.h"
#include "intake/IndexedImage.h"

#include <QImage>

#include <string>

namespace vex {

// Chooses the decoder by the extension of the path, in any case: bmp, gif or
// tif.  Any other extension is refused with a reason.
DecodeResult loadIndexedImage(const std::string &path);

// The logical screen filled with the background index and the first frame
// drawn on it, clipped to the screen.  A GIF whose colour resolution is not
// 8 bits is refused with that depth in BitsPerPixel.
DecodeResult decodeGifFile(const std::string &path);

// Palette TIFs, and 8-bit greyscale ones as indices into a 256-grey table.
// Anything else is refused with the file's bits per pixel.
DecodeResult decodeTifFile(const std::string &path);

// For display: Format_Indexed8 with the picture's colour table and the rows
// top-down, as QImage keeps them.  A null QImage for an empty picture.
QImage toQImage(const IndexedImage &image);

} // namespace vex
