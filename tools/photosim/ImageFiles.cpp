// JPEG and PNG through libjpeg and libpng: the OpenCV this program builds on
// has no image codecs, and libjpeg gives the control a phone's encoder has
// (quality, chroma subsampling, the resolution in the header).

#include "tools/photosim/PhotoSimulator.h"

#include <opencv2/imgproc.hpp>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <png.h>

namespace vex::photosim {
namespace {

struct JpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

void jpegFailed(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError *>(info->err)->Jump, 1);
}

void jpegQuiet(j_common_ptr, int)
{}

} // namespace

std::vector<std::uint8_t> encodeJpeg(const cv::Mat &bgr, int quality, bool subsample420, double dpi)
{
    cv::Mat rgb;
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = jpegFailed;
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(error.Jump) != 0) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(rgb.cols);
    info.image_height = static_cast<JDIMENSION>(rgb.rows);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    const int factor = subsample420 ? 2 : 1;
    info.comp_info[0].h_samp_factor = factor;
    info.comp_info[0].v_samp_factor = factor;
    info.comp_info[1].h_samp_factor = 1;
    info.comp_info[1].v_samp_factor = 1;
    info.comp_info[2].h_samp_factor = 1;
    info.comp_info[2].v_samp_factor = 1;
    if (dpi > 0.0) {
        info.density_unit = 1;
        info.X_density = static_cast<UINT16>(std::lround(dpi));
        info.Y_density = info.X_density;
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rgb.ptr<JSAMPLE>(static_cast<int>(info.next_scanline));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

cv::Mat decodeJpeg(const std::vector<std::uint8_t> &bytes)
{
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = jpegFailed;
    error.Manager.emit_message = jpegQuiet;
    cv::Mat rgb;
    if (setjmp(error.Jump) != 0) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    rgb.create(static_cast<int>(info.output_height), static_cast<int>(info.output_width), CV_8UC3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rgb.ptr<JSAMPLE>(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

std::vector<std::uint8_t> encodePng(const cv::Mat &bgr, double dpi)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr)
        return {};
    png_infop info = png_create_info_struct(png);
    std::vector<std::uint8_t> bytes;
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, png_size_t length) {
            auto *out = static_cast<std::vector<std::uint8_t> *>(png_get_io_ptr(p));
            out->insert(out->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bgr.cols), static_cast<png_uint_32>(bgr.rows), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (dpi > 0.0) {
        const auto perMetre = static_cast<png_uint_32>(std::lround(dpi / 0.0254));
        png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    png_set_bgr(png);
    for (int y = 0; y < bgr.rows; ++y)
        png_write_row(png, bgr.ptr<png_byte>(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

} // namespace vex::photosim
