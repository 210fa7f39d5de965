#pragma once
// Decodes any card image into the 8-bit palettised picture: BMP by
// decodeBmpFile, GIF by giflib, JPEG by libjpeg, TIF and PNG by Qt's readers
// (which keep the data as stored, 16-bit channels included), their recorded
// resolution by libtiff and libpng.  Colour pictures are reduced to 256
// colours when the options ask for it.  Each file is read once, and what its
// decoder reports as missing or corrupt refuses the picture.

#include "intake/BmpFile.h"
#include "intake/CardLoading.h"
#include "intake/ColourImage.h"
#include "intake/IndexedImage.h"

#include <QImage>

#include <cstdint>
#include <string>

namespace vex {

// Files named as cards are read (isCardFileName: bmp, gif or tif in any
// case, and with colour reduction png, jpg, jpeg and tiff), each by what its
// content is: a PNG named .bmp is read as a PNG, with a warning that says
// so, and a file that is no picture is refused as such.  Any other name is
// refused with a reason.  `rows` tells where an uncompressed 8-bit bitmap's
// rows go (see decodeBmpFile).
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
// pictures keep their indices as TIFs do, all others are reduced.  The
// decoders named by these functions are used whatever the content is.
DecodeResult decodePngOrJpegFile(const std::string &path, bool png);

// Any picture Qt reads, in its colours and turned as its camera says it is
// seen: the picture as Qt holds it (RGB888, for showing), its colours
// bottom-up as the card finder takes them, and the resolution its file
// records (0 for none).  Without `forShowing`, Picture is left null: a
// caller that only searches the colours spares its conversion and memory.
struct ColourPicture {
    QImage Picture;
    ColourImage Colour;
    std::int32_t RecordedDpi = 0;
};
Result<ColourPicture> readColourPicture(const std::string &path, bool forShowing = true);

// For display: Format_Indexed8 with the picture's colour table and the rows
// top-down, as QImage keeps them.  A null QImage for an empty picture.
QImage toQImage(const IndexedImage &image);

} // namespace vex
