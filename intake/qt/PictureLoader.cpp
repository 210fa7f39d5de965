#include "intake/qt/PictureLoader.h"

#include "intake/CardLoading.h"
#include "intake/ColourReduction.h"
#include "intake/GifHeader.h"
#include "intake/Resolution.h"
#include "intake/qt/JpegPicture.h"
#include "intake/qt/PictureFacts.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPixelFormat>

#include <gif_lib.h>
#include <tiffio.h>
#include <zlib.h>

#include <cstdarg>
#include <cstdio>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace vex {
namespace {

DecodeResult failure(std::string reason, int bitsPerPixel = 0)
{
    DecodeResult r;
    r.setStatus(Status::failure(std::move(reason)));
    r->BitsPerPixel = bitsPerPixel;
    return r;
}

DecodeResult success(IndexedImage image)
{
    DecodeResult r;
    r.setStatus(Status());
    r->Image = std::move(image);
    r->BitsPerPixel = 8;
    return r;
}

std::uint64_t pixelCount(std::int64_t width, std::int64_t height)
{
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
}

// ---- GIF ----

struct GifCloser {
    void operator()(GifFileType *gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

std::string gifError(int code)
{
    // giflib leaves its code at 0 when the data simply stop.
    if (code == 0 || code == D_GIF_ERR_READ_FAILED || code == D_GIF_ERR_EOF_TOO_SOON)
        return "the file ends before the picture does (it is truncated)";
    const char *text = GifErrorString(code);
    return text != nullptr ? std::string(text) : "giflib error " + std::to_string(code);
}

// ---- TIF ----

// Qt's TIF reader leaves libtiff's warnings and errors to libtiff, which
// prints them on standard error naming no file (or a made-up one).  While a
// TIF is read on a thread, what libtiff says is gathered here instead, so
// that the user hears it with the file's name.  Errors are counted apart:
// a picture read in spite of one may hold made-up rows.
struct TifMessages {
    std::vector<std::string> Said;
    int Errors = 0;
};
thread_local TifMessages *tifMessages = nullptr;
TIFFErrorHandler previousWarningHandler = nullptr;
TIFFErrorHandler previousErrorHandler = nullptr;

void gatherTifMessage(TIFFErrorHandler previous, bool error, const char *module, const char *format, va_list arguments)
{
    if (tifMessages == nullptr) {
        if (previous != nullptr)
            previous(module, format, arguments);
        return;
    }
    char text[1024];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string said = "the TIF reader says: ";
    // Qt opens every TIF under the name "foo", and so do we; a name says nothing here.
    if (module != nullptr && std::strcmp(module, "foo") != 0)
        said += std::string(module) + ": ";
    said += text;
    std::vector<std::string> &all = tifMessages->Said;
    if (std::find(all.begin(), all.end(), said) == all.end())
        all.push_back(said);
    if (error)
        ++tifMessages->Errors;
}

void gatherTifWarning(const char *module, const char *format, va_list arguments)
{
    gatherTifMessage(previousWarningHandler, false, module, format, arguments);
}

void gatherTifError(const char *module, const char *format, va_list arguments)
{
    gatherTifMessage(previousErrorHandler, true, module, format, arguments);
}

class TifWarningsGathered {
public:
    explicit TifWarningsGathered(TifMessages &into)
    {
        static const bool installed = [] {
            previousWarningHandler = TIFFSetWarningHandler(gatherTifWarning);
            previousErrorHandler = TIFFSetErrorHandler(gatherTifError);
            return true;
        }();
        (void)installed;
        tifMessages = &into;
    }
    ~TifWarningsGathered() { tifMessages = nullptr; }
    TifWarningsGathered(const TifWarningsGathered &) = delete;
    TifWarningsGathered &operator=(const TifWarningsGathered &) = delete;
};

// The bits per pixel the first image of a TIF declares (bits per sample
// summed over the samples), read from its tags: Qt widens several layouts to
// 8 or 32 bits and so cannot tell a 4-bit palette or a 24-bit RGB file from
// what it returns.  Nothing when the tags cannot be read.
std::optional<int> tiffBitsPerPixel(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return std::nullopt;
    bool little = false;
    if (data[0] == 'I' && data[1] == 'I')
        little = true;
    else if (!(data[0] == 'M' && data[1] == 'M'))
        return std::nullopt;
    auto u16 = [little](const std::uint8_t *p) {
        return static_cast<std::uint16_t>(little ? (p[0] | (p[1] << 8)) : ((p[0] << 8) | p[1]));
    };
    auto u32 = [little, &u16](const std::uint8_t *p) {
        const std::uint32_t lo = u16(little ? p : p + 2);
        const std::uint32_t hi = u16(little ? p + 2 : p);
        return lo | (hi << 16);
    };
    // BigTIFF (43) and anything else is left to Qt.
    if (u16(data + 2) != 42)
        return std::nullopt;
    const std::uint64_t ifd = u32(data + 4);
    if (ifd + 2 > size)
        return std::nullopt;
    const int entries = u16(data + ifd);
    if (ifd + 2 + static_cast<std::uint64_t>(entries) * 12 > size)
        return std::nullopt;

    constexpr std::uint32_t MaxSamples = 16;
    std::uint32_t samples = 1; // the TIFF defaults
    std::vector<int> bitsPerSample{1};
    for (int e = 0; e < entries; ++e) {
        const std::uint8_t *entry = data + ifd + 2 + static_cast<std::size_t>(e) * 12;
        const std::uint16_t tag = u16(entry);
        const std::uint16_t type = u16(entry + 2);
        const std::uint32_t count = u32(entry + 4);
        const std::uint8_t *value = entry + 8;
        if (tag == 277) {
            samples = type == 3 ? u16(value) : u32(value);
        } else if (tag == 258 && type == 3 && count >= 1) {
            const std::uint32_t n = std::min(count, MaxSamples);
            const std::uint8_t *values = value;
            if (n > 2) {
                const std::uint64_t at = u32(value);
                if (at + std::uint64_t{n} * 2 > size)
                    return std::nullopt;
                values = data + at;
            }
            bitsPerSample.clear();
            for (std::uint32_t i = 0; i < n; ++i)
                bitsPerSample.push_back(u16(values + 2 * i));
        }
    }
    if (samples == 0 || samples > MaxSamples)
        return std::nullopt;
    int total = 0;
    for (std::uint32_t s = 0; s < samples; ++s)
        total += bitsPerSample[std::min<std::size_t>(s, bitsPerSample.size() - 1)];
    return total;
}

// What Qt's own format says about the depth, where the tags could not: a
// 32-bit format that ignores its alpha byte came from 24 bits of colour.
int formatBitsPerPixel(QImage::Format format)
{
    const QPixelFormat pixel = QImage::toPixelFormat(format);
    const int bits = pixel.bitsPerPixel();
    if (pixel.alphaUsage() == QPixelFormat::IgnoresAlpha && pixel.colorModel() == QPixelFormat::RGB &&
        (bits == 32 || bits == 64))
        return bits / 4 * 3;
    return bits;
}

// A file's bytes for libtiff, read in place.
struct TifBytes {
    const std::uint8_t *Data;
    std::size_t Size;
    std::size_t At;
};

tmsize_t tifRead(thandle_t handle, void *out, tmsize_t count)
{
    auto *bytes = static_cast<TifBytes *>(handle);
    const std::size_t n = std::min(static_cast<std::size_t>(std::max<tmsize_t>(count, 0)),
                                   bytes->At < bytes->Size ? bytes->Size - bytes->At : 0);
    if (n != 0)
        std::memcpy(out, bytes->Data + bytes->At, n);
    bytes->At += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t tifWrite(thandle_t, void *, tmsize_t)
{
    return 0;
}

toff_t tifSeek(thandle_t handle, toff_t offset, int whence)
{
    auto *bytes = static_cast<TifBytes *>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = bytes->At;
    else if (whence == SEEK_END)
        base = bytes->Size;
    const std::uint64_t at = base + offset;
    if (at < base)
        return static_cast<toff_t>(-1);
    bytes->At = static_cast<std::size_t>(std::min<std::uint64_t>(at, SIZE_MAX));
    return at;
}

int tifClose(thandle_t)
{
    return 0;
}

toff_t tifSize(thandle_t handle)
{
    return static_cast<TifBytes *>(handle)->Size;
}

int tifMap(thandle_t handle, void **base, toff_t *size)
{
    auto *bytes = static_cast<TifBytes *>(handle);
    *base = const_cast<std::uint8_t *>(bytes->Data);
    *size = bytes->Size;
    return 1;
}

void tifUnmap(thandle_t, void *, toff_t)
{}

struct TifCloser {
    void operator()(TIFF *tiff) const { TIFFClose(tiff); }
};

// What libtiff reads of a TIF's first image before any pixel: the
// resolution, and whether its strips or tiles lie within the file.
struct TifLayout {
    bool Opened = false;
    bool Whole = false;
    double PixelsPerMetreX = 0.0;
    double PixelsPerMetreY = 0.0;
};

TifLayout tifLayout(const std::uint8_t *data, std::size_t size)
{
    TifLayout layout;
    TifBytes bytes{data, size, 0};
    const std::unique_ptr<TIFF, TifCloser> tiff(
        TIFFClientOpen("foo", "r", &bytes, tifRead, tifWrite, tifSeek, tifClose, tifSize, tifMap, tifUnmap));
    if (!tiff)
        return layout;
    layout.Opened = true;
    const bool tiled = TIFFIsTiled(tiff.get()) != 0;
    const std::uint32_t pieces = tiled ? TIFFNumberOfTiles(tiff.get()) : TIFFNumberOfStrips(tiff.get());
    layout.Whole = pieces > 0;
    for (std::uint32_t i = 0; i < pieces && layout.Whole; ++i) {
        int offsetError = 0;
        int countError = 0;
        const std::uint64_t offset = TIFFGetStrileOffsetWithErr(tiff.get(), i, &offsetError);
        const std::uint64_t count = TIFFGetStrileByteCountWithErr(tiff.get(), i, &countError);
        layout.Whole = offsetError == 0 && countError == 0 && offset <= size && count <= size - offset;
    }
    float x = 0.0f;
    float y = 0.0f;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    const bool both = TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &x) == 1 &&
                      TIFFGetField(tiff.get(), TIFFTAG_YRESOLUTION, &y) == 1;
    if (!both || !(x > 0.0f) || !(y > 0.0f))
        return layout;
    // No unit: an aspect ratio only.
    if (unit == RESUNIT_INCH) {
        layout.PixelsPerMetreX = x * 100.0 / 2.54;
        layout.PixelsPerMetreY = y * 100.0 / 2.54;
    } else if (unit == RESUNIT_CENTIMETER) {
        layout.PixelsPerMetreX = x * 100.0;
        layout.PixelsPerMetreY = y * 100.0;
    }
    return layout;
}

// ---- PNG ----

// Why a PNG's chunks are not whole, or empty: every chunk up to the end
// chunk must be in the file with its checksum right.  libpng itself only
// warns about a damaged ancillary chunk and drops it, and that may be the
// one recording the resolution.
std::string pngDamage(const std::uint8_t *data, std::size_t size)
{
    auto u32 = [](const std::uint8_t *p) {
        return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
               static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
    };
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(data, signature, 8) != 0)
        return "it is not a PNG file";
    std::size_t at = 8;
    while (true) {
        if (size - at < 12)
            return "it ends before its last chunk";
        const std::uint32_t length = u32(data + at);
        const std::string type(reinterpret_cast<const char *>(data + at + 4), 4);
        if (length > 0x7FFFFFFFu || length > size - at - 12)
            return "it ends inside its " + type + " chunk";
        const auto crc =
            static_cast<std::uint32_t>(::crc32(::crc32(0L, nullptr, 0), data + at + 4, static_cast<uInt>(length + 4)));
        if (crc != u32(data + at + 8 + length))
            return "the checksum of its " + type + " chunk is wrong";
        at += std::size_t{12} + length;
        if (type == "IEND")
            return {};
    }
}

// ---- Qt's readers ----

// The picture as the analysis takes it: palette and 8-bit grey pictures
// keep their indices, every other picture is reduced to 256 colours.
DecodeResult fromQImage(const QImage &picture, const std::string &kind, int sourceBits)
{
    IndexedImage image;
    image.Width = picture.width();
    image.Height = picture.height();
    const QImage::Format format = picture.format();
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Grayscale8 || format == QImage::Format_Mono ||
        format == QImage::Format_MonoLSB) {
        const QImage indexed = format == QImage::Format_Mono || format == QImage::Format_MonoLSB
                                   ? picture.convertToFormat(QImage::Format_Indexed8)
                                   : picture;
        if (indexed.format() == QImage::Format_Indexed8) {
            const QList<QRgb> table = indexed.colorTable();
            if (table.isEmpty() || table.size() > 256)
                return failure("the " + kind + " image has no usable colour table");
            for (const QRgb c : table)
                image.PaletteBgr.insert(image.PaletteBgr.end(),
                                        {static_cast<std::uint8_t>(qBlue(c)), static_cast<std::uint8_t>(qGreen(c)),
                                         static_cast<std::uint8_t>(qRed(c))});
        } else {
            for (int i = 0; i < 256; ++i) {
                const auto grey = static_cast<std::uint8_t>(i);
                image.PaletteBgr.insert(image.PaletteBgr.end(), {grey, grey, grey});
            }
        }
        image.Pixels.resize(static_cast<std::size_t>(pixelCount(image.Width, image.Height)));
        for (std::int32_t y = 0; y < image.Height; ++y)
            std::memcpy(image.row(image.Height - 1 - y), indexed.constScanLine(y),
                        static_cast<std::size_t>(image.Width));
        return success(std::move(image));
    }

    ColourImage colour;
    colour.Width = picture.width();
    colour.Height = picture.height();
    colour.SourceBits = sourceBits;
    colour.Bgr.resize(static_cast<std::size_t>(pixelCount(colour.Width, colour.Height)) * 3);
    // 16-bit channels are rounded to 8 bits: v * 257 comes back as v.
    auto eight = [](quint16 v) { return static_cast<std::uint8_t>((v * 255u + 32767u) / 65535u); };
    const bool wide = format == QImage::Format_RGBX64 || format == QImage::Format_RGBA64 ||
                      format == QImage::Format_RGBA64_Premultiplied;
    const QImage source = wide || format == QImage::Format_Grayscale16 || format == QImage::Format_RGB32 ||
                                  format == QImage::Format_ARGB32
                              ? picture
                              : picture.convertToFormat(QImage::Format_ARGB32);
    for (std::int32_t y = 0; y < colour.Height; ++y) {
        std::uint8_t *out = colour.row(colour.Height - 1 - y);
        if (wide) {
            const auto *in = reinterpret_cast<const QRgba64 *>(source.constScanLine(y));
            for (std::int32_t x = 0; x < colour.Width; ++x, out += 3) {
                const QRgba64 c = format == QImage::Format_RGBA64_Premultiplied ? in[x].unpremultiplied() : in[x];
                out[0] = eight(c.blue());
                out[1] = eight(c.green());
                out[2] = eight(c.red());
            }
        } else if (format == QImage::Format_Grayscale16) {
            const auto *in = reinterpret_cast<const quint16 *>(source.constScanLine(y));
            for (std::int32_t x = 0; x < colour.Width; ++x, out += 3)
                out[0] = out[1] = out[2] = eight(in[x]);
        } else {
            const auto *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
            for (std::int32_t x = 0; x < colour.Width; ++x, out += 3) {
                out[0] = static_cast<std::uint8_t>(qBlue(in[x]));
                out[1] = static_cast<std::uint8_t>(qGreen(in[x]));
                out[2] = static_cast<std::uint8_t>(qRed(in[x]));
            }
        }
    }
    ReducedPicture reduced = reduceColours(colour);
    DecodeResult r = success(std::move(reduced.Image));
    r->Reduction = reduced.Reduction;
    return r;
}

// Reads the picture of an open reader after the size check; kind names the
// format in messages, fileBytes is the size of the file.
DecodeResult readWithQt(QImageReader &reader, const std::string &kind, int sourceBits, std::size_t fileBytes)
{
    const QSize size = reader.size();
    if (!size.isValid())
        return failure("the " + kind + " image's size cannot be read");
    if (const Status fits = checkPictureSize(size.width(), size.height(), sourceBits, fileBytes); !fits.ok())
        return failure(fits.reason());
    // Qt refuses pictures above 256 MB by default; large cards at high
    // resolution are bigger than that yet within what we accept.
    constexpr int NeededMegabytes = static_cast<int>(BmpMaxPixels >> 20) * 8;
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < NeededMegabytes)
        QImageReader::setAllocationLimit(NeededMegabytes);
    // Qt would turn a JPEG on its side by its orientation tag; the card is
    // analysed as stored, as every other format is.
    reader.setAutoTransform(false);
    try {
        const QImage::Format format = reader.imageFormat();
        const QImage picture = reader.read();
        if (picture.isNull()) {
            // Qt says "Unable to read image data" whatever went wrong; a
            // picture of that size that cannot be had now is a lack of memory.
            if (QImage(size, format == QImage::Format_Invalid ? QImage::Format_ARGB32 : format).isNull())
                return failure(NotEnoughMemoryReason);
            return failure("the " + kind + " image cannot be decoded (" + reader.errorString().toStdString() + ")");
        }
        return fromQImage(picture, kind, sourceBits);
    } catch (const std::bad_alloc &) {
        return failure(NotEnoughMemoryReason);
    } catch (const std::exception &e) {
        return failure(std::string("the colours cannot be reduced: ") + e.what());
    }
}

// The file's bytes as a device for Qt's readers, without a copy.
class BytesDevice {
public:
    BytesDevice(const std::uint8_t *data, std::size_t size)
        : bytes_(QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size))),
          buffer_(&bytes_)
    {
        buffer_.open(QIODevice::ReadOnly);
    }
    QIODevice *device() { return &buffer_; }

private:
    QByteArray bytes_;
    QBuffer buffer_;
};

DecodeResult decodeGif(const std::uint8_t *data, std::size_t size);
DecodeResult decodeTif(const std::uint8_t *data, std::size_t size, bool reduce);
DecodeResult readTif(QImageReader &reader, const std::uint8_t *data, std::size_t size, bool reduce);
DecodeResult decodePng(const std::uint8_t *data, std::size_t size);

// ---- Reading a file once ----

// The whole file, read once: every decoder reads it from here, and the
// result keeps it as its Source.
Status mapFile(const std::string &path, std::shared_ptr<const MappedFile> &source)
{
    if (const Status file = checkCardFile(path); !file.ok())
        return file;
    auto mapping = std::make_shared<MappedFile>();
    if (const Status opened = mapping->open(path); !opened.ok())
        return opened.reason() == std::strerror(ENOMEM) ? Status::failure(NotEnoughMemoryReason) : opened;
    source = std::move(mapping);
    return {};
}

// Decodes the source's bytes as `kind`.  A picture read from a file that
// was rewritten meanwhile may mix two versions and is refused.
DecodeResult decodeSource(std::shared_ptr<const MappedFile> source, PictureKind kind, const IntakeOptions &options,
                          BmpRows rows)
{
    if (kind == PictureKind::Bmp)
        return decodeBmpSource(std::move(source), options.ReduceColours ? ColourBitmaps::Reduce : ColourBitmaps::Refuse,
                               rows);
    DecodeResult r;
    try {
        const std::uint8_t *data = source->data();
        const std::size_t size = source->size();
        if (kind == PictureKind::Gif)
            r = decodeGif(data, size);
        else if (kind == PictureKind::Tif)
            r = decodeTif(data, size, options.ReduceColours);
        else if (kind == PictureKind::Png)
            r = decodePng(data, size);
        else
            r = decodeJpeg(data, size);
    } catch (const std::bad_alloc &) {
        return failure(NotEnoughMemoryReason);
    }
    if (r.ok())
        if (const Status whole = source->intact(); !whole.ok())
            return failure(whole.reason());
    r->Source = std::move(source);
    return r;
}

DecodeResult decodeFile(const std::string &path, PictureKind kind, const IntakeOptions &options = {})
{
    std::shared_ptr<const MappedFile> source;
    if (const Status mapped = mapFile(path, source); !mapped.ok())
        return failure(mapped.reason());
    return decodeSource(std::move(source), kind, options, BmpRows::Copied);
}

// ---- GIF, TIF and PNG from their bytes ----

// giflib reads the file's bytes through this.
struct GifBytes {
    const std::uint8_t *Data;
    std::size_t Size;
    std::size_t At;
};

int readGifBytes(GifFileType *gif, GifByteType *out, int count)
{
    auto *bytes = static_cast<GifBytes *>(gif->UserData);
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(count, 0)), bytes->Size - bytes->At);
    if (n != 0)
        std::memcpy(out, bytes->Data + bytes->At, n);
    bytes->At += n;
    return static_cast<int>(n);
}

DecodeResult decodeGif(const std::uint8_t *data, std::size_t size)
{
    // The header is judged before giflib sees the file, so that the user is
    // told about the colour resolution rather than a decoding error.
    const GifHeaderResult header = checkGifHeader(data, std::min<std::size_t>(size, GifScreenDescriptorEnd));
    if (!header.SignatureValid || !header.Complete)
        return failure("not a valid GIF image");
    if (header.ColourDepth != 8)
        return failure("the GIF has a colour resolution of " + std::to_string(header.ColourDepth) + " bits",
                       header.ColourDepth);
    if (header.Width <= 0 || header.Height <= 0)
        return failure("the GIF screen size " + std::to_string(header.Width) + " x " + std::to_string(header.Height) +
                       " is not valid");
    if (pixelCount(header.Width, header.Height) > BmpMaxPixels)
        return failure("the image size " + std::to_string(header.Width) + " x " + std::to_string(header.Height) +
                       " is too large");

    int error = 0;
    GifBytes bytes{data, size, 0};
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&bytes, readGifBytes, &error));
    if (!gif)
        return failure("the GIF cannot be opened: " + gifError(error));
    // DGifSlurp already returns interlaced frames in display row order.
    if (DGifSlurp(gif.get()) != GIF_OK)
        return failure("the GIF cannot be decoded: " + gifError(gif->Error));
    if (gif->ImageCount < 1 || gif->SavedImages == nullptr)
        return failure("the GIF holds no image");

    const SavedImage &frame = gif->SavedImages[0];
    const ColorMapObject *map = frame.ImageDesc.ColorMap != nullptr ? frame.ImageDesc.ColorMap : gif->SColorMap;
    if (map == nullptr || map->Colors == nullptr || map->ColorCount < 1 || map->ColorCount > 256)
        return failure("the GIF has no usable colour table");

    IndexedImage image;
    image.Width = gif->SWidth;
    image.Height = gif->SHeight;
    image.PaletteBgr.reserve(static_cast<std::size_t>(map->ColorCount) * 3);
    for (int i = 0; i < map->ColorCount; ++i) {
        const GifColorType &c = map->Colors[i];
        image.PaletteBgr.insert(image.PaletteBgr.end(), {c.Blue, c.Green, c.Red});
    }
    image.Pixels.assign(static_cast<std::size_t>(pixelCount(image.Width, image.Height)),
                        static_cast<std::uint8_t>(gif->SBackGroundColor & 0xFF));

    const GifImageDesc &desc = frame.ImageDesc;
    if (frame.RasterBits != nullptr && desc.Width > 0 && desc.Height > 0) {
        const std::int64_t left = desc.Left;
        const std::int64_t top = desc.Top;
        const std::int64_t x0 = std::max<std::int64_t>(left, 0);
        const std::int64_t x1 = std::min<std::int64_t>(left + desc.Width, image.Width);
        for (std::int64_t fy = 0; fy < desc.Height && x0 < x1; ++fy) {
            const std::int64_t y = top + fy;
            if (y < 0 || y >= image.Height)
                continue;
            const GifByteType *src = frame.RasterBits + fy * desc.Width + (x0 - left);
            std::uint8_t *dst = image.row(static_cast<std::int32_t>(image.Height - 1 - y)) + x0;
            std::memcpy(dst, src, static_cast<std::size_t>(x1 - x0));
        }
    }
    return success(std::move(image));
}

DecodeResult decodeTif(const std::uint8_t *data, std::size_t size, bool reduce)
{
    TifMessages messages;
    const TifWarningsGathered gathered(messages);
    const TifLayout layout = tifLayout(data, size);
    DecodeResult r;
    if (!layout.Opened || !layout.Whole) {
        // A TIF cut short loses its directory (which writers put last) or
        // the end of its pixels.
        std::string reason = DamagedFileReason;
        if (!messages.Said.empty())
            reason += " (" + messages.Said.back() + ")";
        else if (layout.Opened)
            reason += " (its picture data run past its end)";
        return failure(reason);
    }
    BytesDevice device(data, size);
    QImageReader reader(device.device(), "tiff");
    reader.setAutoDetectImageFormat(false);
    if (!reader.canRead())
        r = failure("the file cannot be read as a TIF image (" + reader.errorString().toStdString() + ")");
    else
        r = readTif(reader, data, size, reduce);
    // libtiff goes on after some errors with rows it made up.
    if (r.ok() && messages.Errors > 0)
        return failure(std::string(DamagedFileReason) + " (" + messages.Said.back() + ")");
    r->PixelsPerMetreX = r.ok() ? layout.PixelsPerMetreX : 0.0;
    r->PixelsPerMetreY = r.ok() ? layout.PixelsPerMetreY : 0.0;
    if (!r.ok() && !messages.Said.empty()) {
        // Why libtiff gave up says more than Qt's "unable to read".
        r.setStatus(Status::failure(r.reason() + " (" + messages.Said.back() + ")"));
        return r;
    }
    r->Warnings = std::move(messages.Said);
    // Only the first page of a TIF is read: the user is told, lest a scan of
    // several cards pass for one.
    if (r.ok()) {
        BytesDevice pages(data, size);
        if (const int count = QImageReader(pages.device(), "tiff").imageCount(); count > 1)
            r->Warnings.push_back("the TIF file holds " + std::to_string(count) +
                                  " pages; page 1 is analysed, the others are not");
    }
    return r;
}

DecodeResult readTif(QImageReader &reader, const std::uint8_t *data, std::size_t size, bool reduce)
{
    const std::optional<int> fileBits = tiffBitsPerPixel(data, size);
    const QImage::Format format = reader.imageFormat();
    if (reduce)
        return readWithQt(reader, "TIF", fileBits.value_or(formatBitsPerPixel(format)), size);
    // Greyscale 8-bit scans are accepted as indices into a table of 256
    // greys: that is the palette they imply, and Qt itself writes an indexed
    // picture whose table is exactly that ramp as a greyscale TIF, so
    // refusing them would refuse palette pictures too.
    const bool indexedLike = format == QImage::Format_Indexed8 || format == QImage::Format_Grayscale8;
    if ((fileBits && *fileBits != 8) || !indexedLike) {
        const int bits = fileBits.value_or(formatBitsPerPixel(format));
        if (bits == 8)
            return failure("the TIF image cannot be read as an 8-bit palette picture");
        return failure("the TIF image has " + std::to_string(bits) + " bits per pixel", bits);
    }
    DecodeResult r = readWithQt(reader, "TIF", 8, size);
    if (r.ok() && r->Reduction.FromBits != 0)
        return failure("the TIF image cannot be read as an 8-bit palette picture");
    return r;
}

DecodeResult decodePng(const std::uint8_t *data, std::size_t size)
{
    if (const std::string damage = pngDamage(data, size); !damage.empty())
        return failure(std::string(DamagedFileReason) + " (" + damage + ")");
    BytesDevice device(data, size);
    QImageReader reader(device.device(), "png");
    reader.setAutoDetectImageFormat(false);
    if (!reader.canRead())
        return failure("the file cannot be read as a PNG image (" + reader.errorString().toStdString() + ")");
    const PictureFacts facts = pngFacts(data, size);
    DecodeResult r = readWithQt(reader, "PNG", facts.BitsPerPixel != 0 ? facts.BitsPerPixel : 24, size);
    // Every chunk is whole: what libpng cannot decode is damage inside them.
    if (!r.ok() && r.reason().rfind("the PNG image cannot be decoded", 0) == 0)
        return failure(std::string(DamagedFileReason) + " (its picture data cannot be decoded)");
    r->PixelsPerMetreX = facts.PixelsPerMetreX;
    r->PixelsPerMetreY = facts.PixelsPerMetreY;
    return r;
}

} // namespace

DecodeResult loadIndexedImage(const std::string &path, const IntakeOptions &options, BmpRows rows)
{
    // Every format: a pipe named card.gif would otherwise be read for ever.
    if (const Status file = checkCardFile(path); !file.ok())
        return failure(file.reason());
    const std::string ext = lowerCaseExtension(path);
    if (!(ext == "bmp" || ext == "gif" || ext == "tif" ||
          (options.ReduceColours && (ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "tiff"))))
        return failure("the file type is not supported");
    std::shared_ptr<const MappedFile> source;
    if (const Status mapped = mapFile(path, source); !mapped.ok())
        return failure(mapped.reason());
    // The content decides how the file is read; the name only which files
    // are cards.
    const PictureKind named = pictureKindOfName(path);
    const PictureKind kind = sniffPicture(source->data(), source->size());
    if (kind == PictureKind::Unknown)
        return failure("the file is not a picture: it holds none of BMP, GIF, TIF, PNG or JPEG");
    if (!options.ReduceColours && (kind == PictureKind::Png || kind == PictureKind::Jpeg))
        return failure("the file is a " + pictureKindName(kind) + " picture, not a " + pictureKindName(named) +
                       " one; " + pictureKindName(kind) +
                       " pictures are opened only when colour pictures are reduced to 256 colours");
    DecodeResult r = decodeSource(std::move(source), kind, options, rows);
    if (r.ok() && kind != named)
        r->Warnings.insert(r->Warnings.begin(), "the file is a " + pictureKindName(kind) + " picture, not a " +
                                                    pictureKindName(named) + " one, and was read as what it is");
    return r;
}

DecodeResult decodeGifFile(const std::string &path)
{
    return decodeFile(path, PictureKind::Gif);
}

DecodeResult decodeTifFile(const std::string &path, const IntakeOptions &options)
{
    return decodeFile(path, PictureKind::Tif, options);
}

DecodeResult decodePngOrJpegFile(const std::string &path, bool png)
{
    return decodeFile(path, png ? PictureKind::Png : PictureKind::Jpeg, IntakeOptions{true});
}

namespace {

// A colour JPEG read straight to its colours, with the resolution Qt would
// give it; nothing where Qt's reader is to read it.
std::optional<ColourPicture> jpegColours(const std::string &path)
{
    std::shared_ptr<const MappedFile> source;
    if (!mapFile(path, source).ok() || sniffPicture(source->data(), source->size()) != PictureKind::Jpeg)
        return std::nullopt;
    std::optional<JpegColours> decoded = decodeJpegColours(source->data(), source->size());
    if (!decoded)
        return std::nullopt;
    ColourPicture read;
    read.Colour = std::move(decoded->Colour);
    // As Qt takes the JFIF density, and its own default where there is none.
    const QImage plain(1, 1, QImage::Format_RGB32);
    int perMetreX = plain.dotsPerMeterX();
    int perMetreY = plain.dotsPerMeterY();
    if (decoded->DensityUnit == 1) {
        perMetreX = static_cast<int>(100. * decoded->DensityX / 2.54);
        perMetreY = static_cast<int>(100. * decoded->DensityY / 2.54);
    } else if (decoded->DensityUnit == 2) {
        perMetreX = static_cast<int>(100. * decoded->DensityX);
        perMetreY = static_cast<int>(100. * decoded->DensityY);
    }
    read.RecordedDpi = recordedResolution(perMetreX, perMetreY);
    return read;
}

} // namespace

Result<ColourPicture> readColourPicture(const std::string &path, bool forShowing)
{
    if (!forShowing)
        if (std::optional<ColourPicture> direct = jpegColours(path))
            return std::move(*direct);
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    ColourPicture read;
    read.Picture = reader.read();
    if (read.Picture.isNull())
        return Result<ColourPicture>(
            Status::failure("the picture cannot be read (" + reader.errorString().toStdString() + ")"));
    // Qt gives 96 dpi where a file records nothing: below a scanner's.
    read.RecordedDpi = recordedResolution(read.Picture.dotsPerMeterX(), read.Picture.dotsPerMeterY());
    ColourImage &c = read.Colour;
    c.Width = read.Picture.width();
    c.Height = read.Picture.height();
    // The colours as eight bits each, whatever the file held.
    c.SourceBits = 24;
    c.Bgr.resize(static_cast<std::size_t>(c.Width) * static_cast<std::size_t>(c.Height) * 3);
    if (read.Picture.format() == QImage::Format_RGB32) {
        // What Qt decodes a colour JPEG to: taken as it is, without a
        // conversion of the whole picture first.
        for (int y = 0; y < c.Height; ++y) {
            const auto *in = reinterpret_cast<const QRgb *>(read.Picture.constScanLine(y));
            std::uint8_t *out = c.row(c.Height - 1 - y);
            for (int x = 0; x < c.Width; ++x, out += 3) {
                const QRgb rgb = in[x];
                out[0] = static_cast<std::uint8_t>(rgb);
                out[1] = static_cast<std::uint8_t>(rgb >> 8);
                out[2] = static_cast<std::uint8_t>(rgb >> 16);
            }
        }
        read.Picture = forShowing ? read.Picture.convertToFormat(QImage::Format_RGB888) : QImage();
        return read;
    }
    read.Picture = read.Picture.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < c.Height; ++y) {
        const std::uint8_t *in = read.Picture.constScanLine(y);
        std::uint8_t *out = c.row(c.Height - 1 - y);
        for (int x = 0; x < c.Width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    if (!forShowing)
        read.Picture = QImage();
    return read;
}

QImage toQImage(const IndexedImage &image)
{
    if (image.Width <= 0 || image.Height <= 0 || image.rowsHeld() < image.Height)
        return {};
    QImage picture(image.Width, image.Height, QImage::Format_Indexed8);
    if (picture.isNull())
        return {};
    QList<QRgb> table;
    table.reserve(image.paletteCount());
    for (int i = 0; i < image.paletteCount(); ++i) {
        const std::uint8_t *bgr = image.PaletteBgr.data() + 3 * i;
        table.push_back(qRgb(bgr[2], bgr[1], bgr[0]));
    }
    picture.setColorTable(table);
    for (std::int32_t y = 0; y < image.Height; ++y)
        std::memcpy(picture.scanLine(y), image.row(image.Height - 1 - y), static_cast<std::size_t>(image.Width));
    return picture;
}

} // namespace vex
