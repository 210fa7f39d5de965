#include "intake/qt/PictureFacts.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace vex {
namespace {

// The file's bytes as libpng reads them.
struct PngBytes {
    const std::uint8_t *Data;
    std::size_t Size;
    std::size_t At;
};

void readPngBytes(png_structp png, png_bytep out, png_size_t count)
{
    auto *bytes = static_cast<PngBytes *>(png_get_io_ptr(png));
    if (count > bytes->Size - bytes->At)
        png_error(png, "the file ends early");
    std::memcpy(out, bytes->Data + bytes->At, count);
    bytes->At += count;
}

// libpng reports errors by longjmp to the jump buffer of its read struct;
// this keeps it from printing on standard error as well.
void quietPngWarning(png_structp, png_const_charp)
{}
void pngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Kept free of objects with destructors: a longjmp skips them.
bool readPngHeader(PngBytes &bytes, PictureFacts &facts)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, quietPngWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        return false;
    }
    png_set_read_fn(png, &bytes, readPngBytes);
    png_read_info(png, info);
    facts.BitsPerPixel = png_get_bit_depth(png, info) * png_get_channels(png, info);
    png_uint_32 x = 0;
    png_uint_32 y = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) != 0 && unit == PNG_RESOLUTION_METER) {
        facts.PixelsPerMetreX = static_cast<double>(x);
        facts.PixelsPerMetreY = static_cast<double>(y);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

PictureFacts pngFacts(const std::uint8_t *data, std::size_t size)
{
    PictureFacts facts;
    PngBytes bytes{data, size, 0};
    if (data == nullptr || !readPngHeader(bytes, facts))
        return {};
    return facts;
}

} // namespace vex
