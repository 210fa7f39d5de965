#include "intake/qt/PictureFacts.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

namespace vex {
namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

// libpng reports errors by longjmp to the jump buffer of its read struct;
// this keeps it from printing on standard error as well.
void quietPngWarning(png_structp, png_const_charp)
{}
void pngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// Kept free of objects with destructors: a longjmp skips them.
bool readPngHeader(std::FILE *file, PictureFacts &facts)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, quietPngWarning);
    if (png == nullptr)
        return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        return false;
    }
    png_init_io(png, file);
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

struct JpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

void jpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError *>(info->err)->Jump, 1);
}

void jpegQuietMessage(j_common_ptr, int)
{}

bool readJpegHeader(std::FILE *file, PictureFacts &facts)
{
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = jpegErrorExit;
    error.Manager.emit_message = jpegQuietMessage;
    if (setjmp(error.Jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    facts.BitsPerPixel = 8 * info.num_components;
    constexpr double CentimetresPerMetre = 100.0;
    constexpr double InchesPerMetre = 100.0 / 2.54;
    if (info.saw_JFIF_marker && (info.density_unit == 1 || info.density_unit == 2)) {
        const double perMetre = info.density_unit == 1 ? InchesPerMetre : CentimetresPerMetre;
        facts.PixelsPerMetreX = info.X_density * perMetre;
        facts.PixelsPerMetreY = info.Y_density * perMetre;
    }
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

namespace {

PictureFacts factsFrom(const std::string &path, bool (*readHeader)(std::FILE *, PictureFacts &))
{
    PictureFacts facts;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file || !readHeader(file.get(), facts))
        return {};
    return facts;
}

} // namespace

PictureFacts pngFacts(const std::string &path)
{
    return factsFrom(path, readPngHeader);
}

PictureFacts jpegFacts(const std::string &path)
{
    return factsFrom(path, readJpegHeader);
}

} // namespace vex
