#include "intake/qt/PictureLoader.h"

#include "intake/CardLoading.h"
#include "intake/ColourReduction.h"
#include "intake/GifHeader.h"
#include "intake/qt/PictureFacts.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPixelFormat>

#include <gif_lib.h>
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace vex {
namespace {

DecodeResult failure(std::string reason, int bitsPerPixel = 0)
{
    DecodeResult r;
    r.Outcome = Status::failure(std::move(reason));
    r.BitsPerPixel = bitsPerPixel;
    return r;
}

DecodeResult success(IndexedImage image)
{
    DecodeResult r;
    r.Outcome = Status();
    r.Image = std::move(image);
    r.BitsPerPixel = 8;
    return r;
}

QString toQString(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
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
// that the user hears it with the file's name.
thread_local std::vector<std::string> *tifMessages = nullptr;
TIFFErrorHandler previousWarningHandler = nullptr;
TIFFErrorHandler previousErrorHandler = nullptr;

void gatherTifMessage(TIFFErrorHandler previous, const char *module, const char *format, va_list arguments)
{
    if (tifMessages == nullptr) {
        if (previous != nullptr)
            previous(module, format, arguments);
        return;
    }
    char text[1024];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string said = "the TIF reader says: ";
    // Qt opens every TIF under the name "foo"; a name says nothing here.
    if (module != nullptr && std::strcmp(module, "foo") != 0)
        said += std::string(module) + ": ";
    said += text;
    if (std::find(tifMessages->begin(), tifMessages->end(), said) == tifMessages->end())
        tifMessages->push_back(said);
}

void gatherTifWarning(const char *module, const char *format, va_list arguments)
{
    gatherTifMessage(previousWarningHandler, module, format, arguments);
}

void gatherTifError(const char *module, const char *format, va_list arguments)
{
    gatherTifMessage(previousErrorHandler, module, format, arguments);
}

class TifWarningsGathered {
public:
    explicit TifWarningsGathered(std::vector<std::string> &into)
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
std::optional<int> tiffBitsPerPixel(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(8);
    if (head.size() < 8)
        return std::nullopt;
    bool little = false;
    if (head.startsWith("II"))
        little = true;
    else if (!head.startsWith("MM"))
        return std::nullopt;
    auto u16 = [little](const char *p) {
        const auto a = static_cast<std::uint8_t>(p[0]);
        const auto b = static_cast<std::uint8_t>(p[1]);
        return static_cast<std::uint16_t>(little ? (a | (b << 8)) : ((a << 8) | b));
    };
    auto u32 = [little, &u16](const char *p) {
        const std::uint32_t lo = u16(little ? p : p + 2);
        const std::uint32_t hi = u16(little ? p + 2 : p);
        return lo | (hi << 16);
    };
    // BigTIFF (43) and anything else is left to Qt.
    if (u16(head.constData() + 2) != 42)
        return std::nullopt;
    if (!file.seek(u32(head.constData() + 4)))
        return std::nullopt;
    const QByteArray countBytes = file.read(2);
    if (countBytes.size() < 2)
        return std::nullopt;
    const int entries = u16(countBytes.constData());
    const QByteArray table = file.read(static_cast<qint64>(entries) * 12);
    if (table.size() < entries * 12)
        return std::nullopt;

    constexpr std::uint32_t MaxSamples = 16;
    std::uint32_t samples = 1; // the TIFF defaults
    std::vector<int> bitsPerSample{1};
    for (int e = 0; e < entries; ++e) {
        const char *entry = table.constData() + e * 12;
        const std::uint16_t tag = u16(entry);
        const std::uint16_t type = u16(entry + 2);
        const std::uint32_t count = u32(entry + 4);
        const char *value = entry + 8;
        if (tag == 277) {
            samples = type == 3 ? u16(value) : u32(value);
        } else if (tag == 258 && type == 3 && count >= 1) {
            const std::uint32_t n = std::min(count, MaxSamples);
            QByteArray values;
            if (n <= 2) {
                values = QByteArray(value, 4);
            } else {
                const qint64 back = file.pos();
                if (!file.seek(u32(value)))
                    return std::nullopt;
                values = file.read(static_cast<qint64>(n) * 2);
                file.seek(back);
                if (values.size() < static_cast<qsizetype>(n) * 2)
                    return std::nullopt;
            }
            bitsPerSample.clear();
            for (std::uint32_t i = 0; i < n; ++i)
                bitsPerSample.push_back(u16(values.constData() + 2 * i));
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

// How much larger than its file a decoded picture may be.  Deflate (PNG,
// TIF) gives at most about 1000 to 1; JPEG of a textured card far less.
constexpr double MaxBytesPerFileByte = 2000.0;

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
    r.Reduction = reduced.Reduction;
    return r;
}

// Reads the picture of an open reader after the size check; kind names the
// format in messages.
DecodeResult readWithQt(QImageReader &reader, const std::string &kind, int sourceBits)
{
    const QSize size = reader.size();
    if (!size.isValid())
        return failure("the " + kind + " image's size cannot be read");
    if (pixelCount(size.width(), size.height()) > BmpMaxPixels)
        return failure("the image size " + std::to_string(size.width()) + " x " + std::to_string(size.height()) +
                       " is too large");
    // A few hundred bytes may claim a picture of gigabytes; no card scan
    // compresses that well, so such a file is taken as damaged before
    // anything is allocated for it.
    const double fileBytes = static_cast<double>(QFileInfo(reader.fileName()).size());
    const double pictureBytes = static_cast<double>(pixelCount(std::max(size.width(), 0), std::max(size.height(), 0))) *
                                std::max(sourceBits, 8) / 8.0;
    if (pictureBytes > MaxBytesPerFileByte * std::max(fileBytes, 1.0))
        return failure("the file is too small for an image of " + std::to_string(size.width()) + " x " +
                       std::to_string(size.height()) + " pixels: it is damaged");
    // Qt refuses pictures above 256 MB by default; large cards at high
    // resolution are bigger than that yet within what we accept.
    constexpr int NeededMegabytes = static_cast<int>(BmpMaxPixels >> 20) * 8;
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < NeededMegabytes)
        QImageReader::setAllocationLimit(NeededMegabytes);
    // Qt would turn a JPEG on its side by its orientation tag; the card is
    // analysed as stored, as every other format is.
    reader.setAutoTransform(false);
    try {
        const QImage picture = reader.read();
        if (picture.isNull())
            return failure("the " + kind + " image cannot be decoded (" + reader.errorString().toStdString() + ")");
        return fromQImage(picture, kind, sourceBits);
    } catch (const std::bad_alloc &) {
        return failure("there is not enough memory for the image");
    } catch (const std::exception &e) {
        return failure(std::string("the colours cannot be reduced: ") + e.what());
    }
}

// XResolution and YResolution with their unit, as libtiff reads them.
std::pair<double, double> tiffPixelsPerMetre(const std::string &path)
{
    TIFF *tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr)
        return {0.0, 0.0};
    float x = 0.0f;
    float y = 0.0f;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    const bool both =
        TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) == 1 && TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y) == 1;
    TIFFClose(tiff);
    if (!both || !(x > 0.0f) || !(y > 0.0f))
        return {0.0, 0.0};
    if (unit == RESUNIT_INCH)
        return {x * 100.0 / 2.54, y * 100.0 / 2.54};
    if (unit == RESUNIT_CENTIMETER)
        return {x * 100.0, y * 100.0};
    return {0.0, 0.0}; // no unit: an aspect ratio only
}

} // namespace

DecodeResult loadIndexedImage(const std::string &path, const IntakeOptions &options, BmpRows rows)
{
    // Every format: a pipe named card.gif would otherwise be read for ever.
    if (const Status file = checkCardFile(path); !file.ok())
        return failure(file.reason());
    const std::string ext = lowerCaseExtension(path);
    if (ext == "bmp")
        return decodeBmpFile(path, options.ReduceColours ? ColourBitmaps::Reduce : ColourBitmaps::Refuse, rows);
    if (ext == "gif")
        return decodeGifFile(path);
    if (ext == "tif" || (options.ReduceColours && ext == "tiff"))
        return decodeTifFile(path, options);
    if (options.ReduceColours && (ext == "png" || ext == "jpg" || ext == "jpeg"))
        return decodePngOrJpegFile(path, ext == "png");
    return failure("the file type is not supported");
}

DecodeResult decodeGifFile(const std::string &path)
{
    if (const Status file = checkCardFile(path); !file.ok())
        return failure(file.reason());
    const QString name = toQString(path);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString().toStdString());
    const QByteArray head = file.read(static_cast<qint64>(GifScreenDescriptorEnd));
    file.close();

    // The header is judged before giflib sees the file, so that the user is
    // told about the colour resolution rather than a decoding error.
    const GifHeaderResult header =
        checkGifHeader(reinterpret_cast<const std::uint8_t *>(head.constData()), static_cast<std::size_t>(head.size()));
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
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpenFileName(path.c_str(), &error));
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

namespace {
DecodeResult readTif(const std::string &path, bool reduce);
} // namespace

DecodeResult decodeTifFile(const std::string &path, const IntakeOptions &options)
{
    if (const Status file = checkCardFile(path); !file.ok())
        return failure(file.reason());
    std::vector<std::string> warnings;
    const TifWarningsGathered gathered(warnings);
    DecodeResult result = readTif(path, options.ReduceColours);
    if (!result.ok() && !warnings.empty()) {
        // Why libtiff gave up says more than Qt's "unable to read".
        result.Outcome = Status::failure(result.reason() + " (" + warnings.back() + ")");
        warnings.clear();
    }
    // Only the first page of a TIF is read: the user is told, lest a scan of
    // several cards pass for one.
    if (const int pages = result.ok() ? QImageReader(toQString(path), "tiff").imageCount() : 0; pages > 1)
        warnings.push_back("the TIF file holds " + std::to_string(pages) +
                           " pages; page 1 is analysed, the others are not");
    result.Warnings = std::move(warnings);
    return result;
}

namespace {

DecodeResult readTif(const std::string &path, bool reduce)
{
    const QString name = toQString(path);
    QImageReader reader(name, "tiff");
    reader.setAutoDetectImageFormat(false);
    if (!reader.canRead())
        return failure("the file cannot be read as a TIF image (" + reader.errorString().toStdString() + ")");

    const std::optional<int> fileBits = tiffBitsPerPixel(name);
    const QImage::Format format = reader.imageFormat();
    if (reduce) {
        DecodeResult r = readWithQt(reader, "TIF", fileBits.value_or(formatBitsPerPixel(format)));
        const auto [x, y] = tiffPixelsPerMetre(path);
        r.PixelsPerMetreX = x;
        r.PixelsPerMetreY = y;
        return r;
    }
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

    DecodeResult r = readWithQt(reader, "TIF", 8);
    if (r.ok() && r.Reduction.FromBits != 0)
        return failure("the TIF image cannot be read as an 8-bit palette picture");
    const auto [x, y] = tiffPixelsPerMetre(path);
    r.PixelsPerMetreX = x;
    r.PixelsPerMetreY = y;
    return r;
}

} // namespace

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

namespace vex {

DecodeResult decodePngOrJpegFile(const std::string &path, bool png)
{
    if (const Status file = checkCardFile(path); !file.ok())
        return failure(file.reason());
    const QString name = toQString(path);
    const char *format = png ? "png" : "jpeg";
    const std::string kind = png ? "PNG" : "JPEG";
    QImageReader reader(name, format);
    // Only the format the name says: a GIF named card.png is not read as one.
    reader.setAutoDetectImageFormat(false);
    if (!reader.canRead())
        return failure("the file cannot be read as a " + kind + " image (" + reader.errorString().toStdString() + ")");
    const PictureFacts facts = png ? pngFacts(path) : jpegFacts(path);
    DecodeResult r = readWithQt(reader, kind, facts.BitsPerPixel != 0 ? facts.BitsPerPixel : 24);
    r.PixelsPerMetreX = facts.PixelsPerMetreX;
    r.PixelsPerMetreY = facts.PixelsPerMetreY;
    return r;
}

} // namespace vex
