#include "intake/qt/JpegPicture.h"

#include "intake/CardLoading.h"
#include "intake/ColourReduction.h"
#include "model/LargeBuffer.h"

#include <cstdio> // jpeglib.h needs FILE
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <string>

namespace vex {
namespace {

struct JpegErrors {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    // The error that ended the decoding.
    int FatalCode;
    char Fatal[JMSG_LENGTH_MAX];
    // The first warning that data are missing or corrupt.
    bool Damaged;
    char Damage[JMSG_LENGTH_MAX];
};

void jpegFatal(j_common_ptr info)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    errors->FatalCode = errors->Manager.msg_code;
    errors->Manager.format_message(info, errors->Fatal);
    std::longjmp(errors->Jump, 1);
}

// libjpeg goes on after these with made-up data: the end of the file
// replaced by an end marker, bytes skipped, a scan left incomplete.  Its
// other warnings (an unknown JFIF revision or colour transform, a bad ICC
// profile) leave the pixels as stored.
bool lostData(int code)
{
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_NOT_SEQUENTIAL:
        return true;
    default:
        return false;
    }
}

void jpegMessage(j_common_ptr info, int level)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    if (level >= 0 || errors->Damaged || !lostData(errors->Manager.msg_code))
        return;
    errors->Damaged = true;
    errors->Manager.format_message(info, errors->Damage);
}

struct JpegReader {
    jpeg_decompress_struct Info{};
    JpegErrors Errors{};
    JpegReader()
    {
        Info.err = jpeg_std_error(&Errors.Manager);
        Errors.Manager.error_exit = jpegFatal;
        Errors.Manager.emit_message = jpegMessage;
    }
    // Safe on a struct that was never created: libjpeg frees only what it holds.
    ~JpegReader() { jpeg_destroy_decompress(&Info); }
    JpegReader(const JpegReader &) = delete;
    JpegReader &operator=(const JpegReader &) = delete;
};

// The functions that call libjpeg keep free of objects with destructors: a
// longjmp skips them.

bool readHeader(JpegReader &r, const std::uint8_t *data, std::size_t size)
{
    if (setjmp(r.Errors.Jump) != 0)
        return false;
    jpeg_create_decompress(&r.Info);
    jpeg_mem_src(&r.Info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&r.Info, TRUE);
    // Four-channel files are Adobe's inverted CMYK; everything else of
    // colour comes as blue, green, red, the order a colour picture keeps.
    if (r.Info.jpeg_color_space == JCS_CMYK || r.Info.jpeg_color_space == JCS_YCCK)
        r.Info.out_color_space = JCS_CMYK;
    else if (r.Info.num_components != 1)
        r.Info.out_color_space = JCS_EXT_BGR;
    r.Info.dct_method = JDCT_ISLOW;
    r.Info.do_fancy_upsampling = TRUE;
    jpeg_calc_output_dimensions(&r.Info);
    return true;
}

// Rows go bottom row first, rowBytes apart from `bottom`; CMYK rows pass
// through `cmyk` on their way.
bool readRows(JpegReader &r, std::uint8_t *bottom, std::size_t rowBytes, std::uint8_t *cmyk)
{
    if (setjmp(r.Errors.Jump) != 0)
        return false;
    jpeg_start_decompress(&r.Info);
    const JDIMENSION height = r.Info.output_height;
    while (r.Info.output_scanline < height) {
        std::uint8_t *target = bottom + static_cast<std::size_t>(height - 1 - r.Info.output_scanline) * rowBytes;
        JSAMPROW row = cmyk != nullptr ? cmyk : target;
        if (jpeg_read_scanlines(&r.Info, &row, 1) != 1)
            return false;
        if (cmyk != nullptr)
            for (JDIMENSION x = 0; x < r.Info.output_width; ++x, target += 3) {
                const unsigned k = cmyk[4 * x + 3];
                target[0] = static_cast<std::uint8_t>(k * cmyk[4 * x + 2] / 255);
                target[1] = static_cast<std::uint8_t>(k * cmyk[4 * x + 1] / 255);
                target[2] = static_cast<std::uint8_t>(k * cmyk[4 * x] / 255);
            }
    }
    // The rest of the file up to its end marker, which may still tell of damage.
    jpeg_finish_decompress(&r.Info);
    return true;
}

DecodeResult failure(std::string reason)
{
    DecodeResult r;
    r.setStatus(Status::failure(std::move(reason)));
    return r;
}

DecodeResult fatalFailure(const JpegErrors &errors)
{
    switch (errors.FatalCode) {
    case JERR_OUT_OF_MEMORY:
        return failure(NotEnoughMemoryReason);
    case JERR_BAD_PRECISION:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_NOTIMPL:
        return failure("the JPEG image cannot be decoded (" + std::string(errors.Fatal) + ")");
    default:
        return failure(std::string(DamagedFileReason) + " (the JPEG reader says: " + errors.Fatal + ")");
    }
}

// The orientation an EXIF block records (1, as stored, where it records
// none); 0 where the block cannot be read.
int exifOrientation(const std::uint8_t *data, std::size_t size)
{
    constexpr std::size_t Header = 6; // "Exif\0\0"
    if (size < Header + 8 || std::memcmp(data, "Exif\0\0", Header) != 0)
        return 1;
    const std::uint8_t *tiff = data + Header;
    const std::size_t length = size - Header;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return 0;
    auto read16 = [&](std::size_t at) {
        return little ? static_cast<unsigned>(tiff[at] | tiff[at + 1] << 8)
                      : static_cast<unsigned>(tiff[at] << 8 | tiff[at + 1]);
    };
    auto read32 = [&](std::size_t at) {
        return little ? static_cast<std::size_t>(read16(at)) | static_cast<std::size_t>(read16(at + 2)) << 16
                      : static_cast<std::size_t>(read16(at)) << 16 | static_cast<std::size_t>(read16(at + 2));
    };
    const std::size_t ifd = read32(4);
    if (ifd + 2 > length)
        return 0;
    const unsigned entries = read16(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = ifd + 2 + 12 * static_cast<std::size_t>(i);
        if (entry + 12 > length)
            return 0;
        if (read16(entry) == 0x0112)
            return read16(entry + 2) == 3 ? static_cast<int>(read16(entry + 8)) : 0;
    }
    return 1;
}

bool readColourHeader(JpegReader &r, const std::uint8_t *data, std::size_t size)
{
    if (setjmp(r.Errors.Jump) != 0)
        return false;
    jpeg_create_decompress(&r.Info);
    jpeg_mem_src(&r.Info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&r.Info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&r.Info, TRUE);
    r.Info.out_color_space = JCS_EXT_BGR;
    r.Info.dct_method = JDCT_ISLOW;
    r.Info.do_fancy_upsampling = TRUE;
    jpeg_calc_output_dimensions(&r.Info);
    return true;
}

} // namespace

std::optional<JpegColours> decodeJpegColours(const std::uint8_t *data, std::size_t size)
{
    JpegReader reader;
    if (!readColourHeader(reader, data, size))
        return std::nullopt;
    const jpeg_decompress_struct &info = reader.Info;
    if (info.num_components != 3 || info.jpeg_color_space != JCS_YCbCr || info.data_precision != 8 ||
        info.output_components != 3)
        return std::nullopt;
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next)
        if (marker->marker == JPEG_APP0 + 1 && exifOrientation(marker->data, marker->data_length) != 1)
            return std::nullopt;
    const auto width = static_cast<std::int32_t>(info.output_width);
    const auto height = static_cast<std::int32_t>(info.output_height);
    if (!checkPictureSize(width, height, 24, size).ok())
        return std::nullopt;
    try {
        JpegColours out;
        ColourImage &colour = out.Colour;
        colour.Width = width;
        colour.Height = height;
        colour.SourceBits = 24;
        const auto bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
        reserveLarge(colour.Bgr, bytes);
        colour.Bgr.resize(bytes);
        if (!readRows(reader, colour.Bgr.data(), static_cast<std::size_t>(width) * 3, nullptr) || reader.Errors.Damaged)
            return std::nullopt;
        if (info.saw_JFIF_marker) {
            out.DensityUnit = info.density_unit;
            out.DensityX = info.X_density;
            out.DensityY = info.Y_density;
        }
        return out;
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

DecodeResult decodeJpeg(const std::uint8_t *data, std::size_t size)
{
    JpegReader reader;
    if (!readHeader(reader, data, size))
        return fatalFailure(reader.Errors);
    const jpeg_decompress_struct &info = reader.Info;
    const auto width = static_cast<std::int32_t>(info.output_width);
    const auto height = static_cast<std::int32_t>(info.output_height);
    const int sourceBits = 8 * info.num_components;
    if (const Status fits = checkPictureSize(width, height, sourceBits, size); !fits.ok())
        return failure(fits.reason());

    try {
        DecodeResult r;
        if (info.output_components == 1) {
            IndexedImage image;
            image.Width = width;
            image.Height = height;
            for (int i = 0; i < 256; ++i)
                image.PaletteBgr.insert(image.PaletteBgr.end(), 3, static_cast<std::uint8_t>(i));
            const auto bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
            reserveLarge(image.Pixels, bytes);
            image.Pixels.resize(bytes);
            if (!readRows(reader, image.Pixels.data(), static_cast<std::size_t>(width), nullptr))
                return fatalFailure(reader.Errors);
            r->Image = std::move(image);
        } else {
            ColourImage colour;
            colour.Width = width;
            colour.Height = height;
            colour.SourceBits = sourceBits;
            const auto bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
            reserveLarge(colour.Bgr, bytes);
            colour.Bgr.resize(bytes);
            std::vector<std::uint8_t> cmyk(info.out_color_space == JCS_CMYK ? static_cast<std::size_t>(width) * 4 : 0);
            if (!readRows(reader, colour.Bgr.data(), static_cast<std::size_t>(width) * 3,
                          cmyk.empty() ? nullptr : cmyk.data()))
                return fatalFailure(reader.Errors);
            if (reader.Errors.Damaged)
                return failure(std::string(DamagedFileReason) + " (the JPEG reader says: " + reader.Errors.Damage +
                               ")");
            ReducedPicture reduced = reduceColours(colour);
            colour = ColourImage();
            r->Image = std::move(reduced.Image);
            r->Reduction = reduced.Reduction;
        }
        if (reader.Errors.Damaged)
            return failure(std::string(DamagedFileReason) + " (the JPEG reader says: " + reader.Errors.Damage + ")");
        r.setStatus(Status());
        r->BitsPerPixel = 8;
        constexpr double CentimetresPerMetre = 100.0;
        constexpr double InchesPerMetre = 100.0 / 2.54;
        if (info.saw_JFIF_marker && (info.density_unit == 1 || info.density_unit == 2)) {
            const double perMetre = info.density_unit == 1 ? InchesPerMetre : CentimetresPerMetre;
            r->PixelsPerMetreX = info.X_density * perMetre;
            r->PixelsPerMetreY = info.Y_density * perMetre;
        }
        return r;
    } catch (const std::bad_alloc &) {
        return failure(NotEnoughMemoryReason);
    } catch (const std::exception &e) {
        return failure(std::string("the colours cannot be reduced: ") + e.what());
    }
}

} // namespace vex
