#include "templates/TemplateCutting.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

int cardAt(const std::vector<CardOutline> &outlines, double x, double y)
{
    for (std::size_t k = 0; k < outlines.size(); ++k)
        if (outlines[k].contains(x, y))
            return static_cast<int>(k) + 1;
    return 0;
}

PixelRect cutRectangle(const CardOutline &outline, const TemplateRecord &t, int resolution)
{
    return {whole(outline.Left * resolution), whole(outline.Top * resolution),
            whole((static_cast<double>(t.TemplateSizeH) - 0.25) * resolution),
            whole((static_cast<double>(t.TemplateSizeV) - 0.25) * resolution)};
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
