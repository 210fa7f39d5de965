#pragma once
// Decodes any card image into the 8-bit palettised picture: BMP by
// decodeBmpFile, GIF by giflib, TIF, PNG and JPEG by Qt's readers (which keep
// the data as stored, 16-bit channels included), their recorded resolution
// by libtiff, libpng and libjpeg.  Colour pictures are reduced to 256 colours
// when the options ask for it.

#include "intake/BmpFile.h"
#include "intake/CardLoading.h"
#include "intake/IndexedImage.h"

#include <QImage>

#include <string>

namespace vex {

// Chooses the decoder by the extension of the path, in any case: bmp, gif or
// tif, and with colour reduction png, jpg, jpeg and tiff.  Any other
// extension is refused with a reason.  `rows` tells where an uncompressed
// 8-bit bitmap's rows go (see decodeBmpFile).
DecodeResult loadIndexedImage(const std::string &path, const IntakeOptions &options = {},
                              BmpRows rows = BmpRows::Copied);

// The logical screen filled with the background index and the first frame
// drawn on it, clipped to the screen.  A GIF whose colour resolution is not
// 8 bits is refused with that depth in BitsPerPixel.
DecodeResult decodeGifFile(const std::string &path);

// Palette TIFs, and 8-bit greyscale ones as indices into a 256-grey table.
// Anything else is refused with the file's bits per pixel, or with colour
// reduction reduced to 256 colours.
DecodeResult decodeTifFile(const std::string &path, const IntakeOptions &options = {});

// PNG and JPEG files, with colour reduction only: palette and 8-bit grey
// pictures keep their indices as TIFs do, all others are reduced.
DecodeResult decodePngOrJpegFile(const std::string &path, bool png);

// For display: Format_Indexed8 with the picture's colour table and the rows
// top-down, as QImage keeps them.  A null QImage for an empty picture.
QImage toQImage(const IndexedImage &image);

} // namespace vex
