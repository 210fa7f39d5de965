#include "templates/TemplateCutting.h"

#include "text/WholeFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace fs = std::filesystem;

namespace vex {

namespace {

// Rounded, halves to even, and held inside 32 bits: a conversion of a value
// beyond them would be undefined, and no sheet is that large.
std::int32_t whole(double v)
{
    constexpr double Largest = 2147483647.0;
    const double r = std::nearbyint(v);
    if (!(r >= -Largest))
        return std::isnan(r) ? 0 : -2147483647;
    return r > Largest ? 2147483647 : static_cast<std::int32_t>(r);
}

void put16(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xFFu));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFFu));
}

void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

} // namespace

std::vector<CardOutline> templateOutlines(const TemplateRecord &t, double offsetLeft, double offsetTop)
{
    std::vector<CardOutline> outlines;
    for (int r = 1; r <= t.TemplateNumV; ++r)
        for (int c = 1; c <= t.TemplateNumH; ++c)
            outlines.push_back({offsetLeft + (c - 1) * static_cast<double>(t.TemplateSizeH + t.TemplateSpaceH),
                                offsetTop + (r - 1) * static_cast<double>(t.TemplateSizeV + t.TemplateSpaceV),
                                t.TemplateSizeH, t.TemplateSizeV});
    return outlines;
}

bool outlinesFit(const std::vector<CardOutline> &outlines, int resolution, std::int32_t imageWidth,
                 std::int32_t imageHeight)
{
    for (const CardOutline &o : outlines) {
        if (o.Left < 0.0 || o.Top < 0.0)
            return false;
        if (whole((o.Left + o.Width) * resolution) > imageWidth || whole((o.Top + o.Height) * resolution) > imageHeight)
            return false;
    }
    return true;
}

int offsetWithinSheet(int wanted, int current, double blockInches, double sheetInches, double pixelsPerInch)
{
    const double room = std::floor((sheetInches - blockInches) * pixelsPerInch + 1e-9);
    if (!(room >= 0.0))
        return current;
    return std::clamp(wanted, 0, static_cast<int>(std::min(room, 1e9)));
}

int cardAt(const std::vector<CardOutline> &outlines, double x, double y)
{
    for (std::size_t k = 0; k < outlines.size(); ++k)
        if (outlines[k].contains(x, y))
            return static_cast<int>(k) + 1;
    return 0;
}

PixelRect cutRectangle(const CardOutline &outline, int resolution)
{
    // The size is rounded on its own, not as the difference of the rounded
    // edges: an outline moved by a fraction of a pixel keeps its size.
    return {whole(outline.Left * resolution), whole(outline.Top * resolution), whole(outline.Width * resolution),
            whole(outline.Height * resolution)};
}

std::string cutShortText(int number, const PixelRect &rect, const IndexedImage &clip)
{
    if (clip.Width >= rect.Width && clip.Height >= rect.Height)
        return {};
    return "Card " + std::to_string(number) + " reaches past the edge of the sheet: it was cut short to " +
           std::to_string(clip.Width) + " x " + std::to_string(clip.Height) + " pixels of its " +
           std::to_string(rect.Width) + " x " + std::to_string(rect.Height) + ".";
}

std::string clipFileName(int number)
{
    char text[32];
    std::snprintf(text, sizeof text, "clip%02d.bmp", number);
    return text;
}

IndexedImage cropImage(const IndexedImage &image, const PixelRect &rect)
{
    IndexedImage out;
    out.PaletteBgr = image.PaletteBgr;
    const std::int32_t x0 = std::clamp(rect.X, 0, image.Width);
    const std::int32_t y0 = std::clamp(rect.Y, 0, image.Height);
    const std::int32_t x1 = std::clamp(rect.X + std::max(rect.Width, 0), 0, image.Width);
    const std::int32_t y1 = std::clamp(rect.Y + std::max(rect.Height, 0), 0, image.Height);
    out.Width = x1 - x0;
    out.Height = y1 - y0;
    out.Pixels.resize(static_cast<std::size_t>(out.Width) * static_cast<std::size_t>(out.Height));
    // Rows are kept bottom-up: the crop's bottom row is the sheet's row y1 - 1.
    for (std::int32_t r = 0; r < out.Height; ++r) {
        const std::int32_t sheetRowFromTop = y1 - 1 - r;
        const std::uint8_t *from = image.row(image.Height - 1 - sheetRowFromTop) + x0;
        std::copy_n(from, out.Width, out.row(r));
    }
    return out;
}

std::string clipFolderOf(const std::string &sheetPath)
{
    const fs::path sheet(sheetPath);
    std::string stem = sheet.stem().string();
    if (stem.empty())
        stem = sheet.filename().string();
    return (sheet.parent_path() / (stem + "-cards")).string() + "/";
}

Status prepareClipFolder(const std::string &folder)
{
    // Without the closing '/' a file of the name is seen as the file it is.
    std::string name = folder;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    std::error_code ec;
    const fs::path dir(name);
    const fs::file_status st = fs::status(dir, ec);
    if (fs::exists(st) && !fs::is_directory(st))
        return Status::failure(name + " is a file, not a folder.");
    if (!fs::exists(st) && !fs::create_directories(dir, ec) && ec)
        return Status::failure(name + " cannot be made: " + ec.message() + ".");
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        return Status::failure(name + " cannot be written to: " + std::strerror(errno) + ".");
    return {};
}

Result<std::string> writeClip(const std::string &folder, const std::string &name,
                              const std::vector<std::uint8_t> &bytes)
{
    const std::string_view content(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    const fs::path file(name);
    const std::string stem = file.stem().string();
    const std::string extension = file.extension().string();
    for (int n = 1; n < 10000; ++n) {
        const std::string path = folder + (n == 1 ? name : stem + "-" + std::to_string(n) + extension);
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(path, ec);
        if (fs::exists(st)) {
            // A cut of the same sheet again: the very same card need not be written twice.
            if (fs::is_regular_file(st) && fs::file_size(path, ec) == bytes.size() && !ec) {
                if (const Result<std::string> there = readWholeFile(path); there.ok() && *there == content)
                    return path;
            }
            continue;
        }
        Status written = writeWholeFile(path, content);
        if (!written.ok())
            return {written, path};
        return path;
    }
    return Status::failure("No free name for " + name + " is left in " + folder + ".");
}

std::vector<std::uint8_t> encodeIndexedBmp(const IndexedImage &image, int resolution)
{
    const auto width = static_cast<std::uint32_t>(std::max(image.Width, 0));
    const auto height = static_cast<std::uint32_t>(std::max(image.Height, 0));
    const std::uint32_t stride = (width + 3u) / 4u * 4u;
    const auto colours = static_cast<std::uint32_t>(image.paletteCount());
    const std::uint32_t offset = 14 + 40 + 4 * colours;
    const std::uint32_t imageSize = stride * height;
    const auto ppm = static_cast<std::uint32_t>(std::lround(std::max(resolution, 1) / 0.0254));
    std::vector<std::uint8_t> out;
    out.reserve(offset + imageSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + imageSize);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, width);
    put32(out, height);
    put16(out, 1);
    put16(out, 8);
    put32(out, 0);
    put32(out, imageSize);
    put32(out, ppm);
    put32(out, ppm);
    put32(out, colours);
    put32(out, 0);
    for (std::uint32_t i = 0; i < colours; ++i) {
        const std::uint8_t *bgr = image.PaletteBgr.data() + 3 * i;
        out.insert(out.end(), {bgr[0], bgr[1], bgr[2], std::uint8_t{0}});
    }
    for (std::uint32_t r = 0; r < height; ++r) {
        const std::uint8_t *row = image.row(static_cast<std::int32_t>(r));
        out.insert(out.end(), row, row + width);
        out.insert(out.end(), stride - width, std::uint8_t{0});
    }
    return out;
}

} // namespace vex
