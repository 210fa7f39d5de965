#include "tools/cardgen/CardGenerator.h"

#include "tools/cardgen/Random.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <numeric>
#include <sstream>

namespace vex::cardgen {

namespace {

constexpr int PlacementTries = 60;

// A disc in doubled coordinates, so that every test is on integers: the
// pixel (x, y) belongs to it when (2x + 1 - Cx)^2 + (2y + 1 - Cy)^2 <= R4.
struct DoubledDisc {
    std::int64_t Cx = 0;
    std::int64_t Cy = 0;
    std::int64_t R4 = 0; // (2 r)^2
};

std::int64_t floorHalf(std::int64_t v)
{
    return v >= 0 ? v / 2 : -((-v + 1) / 2);
}

std::int64_t ceilHalf(std::int64_t v)
{
    return -floorHalf(-v);
}

// Columns x0..x1 of row y inside the disc; false when the row misses it.
bool rowSpan(const DoubledDisc &d, std::int64_t y, std::int64_t &x0, std::int64_t &x1)
{
    const std::int64_t dy = 2 * y + 1 - d.Cy;
    const std::int64_t rest = d.R4 - dy * dy;
    if (rest < 0)
        return false;
    auto half = static_cast<std::int64_t>(std::sqrt(static_cast<double>(rest)));
    while (half * half > rest)
        --half;
    while ((half + 1) * (half + 1) <= rest)
        ++half;
    // |2x + 1 - Cx| <= half
    x0 = ceilHalf(d.Cx - half - 1);
    x1 = floorHalf(d.Cx + half - 1);
    return x0 <= x1;
}

class Painter {
public:
    Painter(Card &card, const CardSpec &spec) : card_(card), spec_(spec), blocked_(card.Pixels.size(), 0) {}

    // The disc's rows lie in y0..y1; false if any pixel of it falls outside
    // the drawable area or, when `clear` is asked, on or next to something
    // already drawn.
    bool fits(const DoubledDisc &d, std::int64_t y0, std::int64_t y1, bool clear = true) const
    {
        const std::int64_t lastRow = static_cast<std::int64_t>(card_.Height) - 1 - spec_.ClearBottomRows;
        bool any = false;
        for (std::int64_t y = y0; y <= y1; ++y) {
            std::int64_t x0 = 0;
            std::int64_t x1 = 0;
            if (!rowSpan(d, y, x0, x1))
                continue;
            any = true;
            // One clear pixel all round, so no stain touches the image edge.
            if (y < 1 || y > lastRow || x0 < 1 || x1 > card_.Width - 2)
                return false;
            for (std::int64_t x = x0; clear && x <= x1; ++x)
                if (blocked_[index(x, y)] != 0)
                    return false;
        }
        return any;
    }

    std::int64_t stained() const { return stained_; }

    // Draws the disc in blue, darker inside, and returns its pixel count.
    std::int64_t paint(const DoubledDisc &d, std::int64_t y0, std::int64_t y1, Random &random)
    {
        std::int64_t area = 0;
        // Pixels within about 1.5 px of the edge form the lighter rim.
        const double r = std::sqrt(static_cast<double>(d.R4)) / 2.0;
        const double rimStart = std::max(0.0, r - 1.5);
        const int coreShade = static_cast<int>(random.below(StainShades / 2));
        for (std::int64_t y = y0; y <= y1; ++y) {
            std::int64_t x0 = 0;
            std::int64_t x1 = 0;
            if (!rowSpan(d, y, x0, x1))
                continue;
            for (std::int64_t x = x0; x <= x1; ++x) {
                const double dx = (static_cast<double>(2 * x + 1 - d.Cx)) / 2.0;
                const double dy = (static_cast<double>(2 * y + 1 - d.Cy)) / 2.0;
                const bool rim = dx * dx + dy * dy >= rimStart * rimStart;
                const int shade = rim ? StainShades / 2 + static_cast<int>(random.below(StainShades / 2)) : coreShade;
                put(x, y, static_cast<std::uint8_t>(FirstStainIndex + shade));
                ++area;
            }
        }
        return area;
    }

    // A speck of dust of 1 x 1, 2 x 1, 1 x 2 or 2 x 2 pixels at (x, y).
    std::int64_t dust(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, Random &random)
    {
        const std::int64_t lastRow = static_cast<std::int64_t>(card_.Height) - 1 - spec_.ClearBottomRows;
        if (x < 1 || y < 1 || x + w - 1 > card_.Width - 2 || y + h - 1 > lastRow)
            return 0;
        for (std::int64_t j = y; j < y + h; ++j)
            for (std::int64_t i = x; i < x + w; ++i)
                if (blocked_[index(i, j)] != 0)
                    return 0;
        for (std::int64_t j = y; j < y + h; ++j)
            for (std::int64_t i = x; i < x + w; ++i)
                put(i, j, static_cast<std::uint8_t>(FirstDustIndex + random.below(DustShades)));
        return w * h;
    }

private:
    std::size_t index(std::int64_t x, std::int64_t y) const { return static_cast<std::size_t>(y * card_.Width + x); }

    // Draws one pixel and keeps its eight neighbours free of anything else.
    void put(std::int64_t x, std::int64_t y, std::uint8_t colour)
    {
        std::uint8_t &pixel = card_.Pixels[index(x, y)];
        if (pixel < FirstStainIndex)
            ++stained_;
        pixel = colour;
        for (std::int64_t j = std::max<std::int64_t>(0, y - 1); j <= std::min<std::int64_t>(card_.Height - 1, y + 1);
             ++j)
            for (std::int64_t i = std::max<std::int64_t>(0, x - 1); i <= std::min<std::int64_t>(card_.Width - 1, x + 1);
                 ++i)
                blocked_[index(i, j)] = 1;
    }

    Card &card_;
    const CardSpec &spec_;
    std::vector<std::uint8_t> blocked_;
    std::int64_t stained_ = 0;
};

// Normal with mean 0 and deviation 1 (Box and Muller).
double normal(Random &random)
{
    const double u = 1.0 - random.unit(); // (0, 1]
    const double v = random.unit();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * v);
}

Disc discOf(const DoubledDisc &d)
{
    Disc disc;
    disc.CentreX = static_cast<double>(d.Cx) / 2.0;
    disc.CentreY = static_cast<double>(d.Cy) / 2.0;
    disc.Radius = std::sqrt(static_cast<double>(d.R4)) / 2.0;
    return disc;
}

// Overlap mode: drops at random until the union covers the share asked.
void dropAtRandom(Card &card, const CardSpec &spec, Painter &painter, Random &random)
{
    const auto goal = static_cast<std::int64_t>(
        std::ceil(spec.Coverage * static_cast<double>(spec.Width) * static_cast<double>(spec.Height)));
    int misses = 0;
    while (painter.stained() < goal && misses < 1000) {
        const double diameter =
            std::clamp(spec.MedianDiameter * std::exp(spec.Sigma * normal(random)), spec.MinDiameter, spec.MaxDiameter);
        DoubledDisc d;
        d.R4 = std::max<std::int64_t>(1, std::llround(diameter * diameter));
        const auto reach = static_cast<std::int64_t>(std::ceil(diameter / 2.0)) + 1;
        d.Cx = random.below(2 * static_cast<std::int64_t>(spec.Width));
        d.Cy = random.below(2 * static_cast<std::int64_t>(spec.Height));
        const std::int64_t y0 = std::max<std::int64_t>(0, d.Cy / 2 - reach);
        const std::int64_t y1 = std::min<std::int64_t>(spec.Height - 1, d.Cy / 2 + reach);
        if (!painter.fits(d, y0, y1, false)) {
            ++misses;
            continue;
        }
        misses = 0;
        Disc disc = discOf(d);
        disc.Area = painter.paint(d, y0, y1, random);
        card.Discs.push_back(disc);
    }
}

std::array<Colour, 256> cardPalette()
{
    std::array<Colour, 256> p{};
    p[BackgroundIndex] = {236, 222, 120}; // the yellow of water-sensitive paper
    p[DitherIndex] = {228, 212, 104};
    // Blue, from a dark core to a light rim; all near the blue of the hue scale.
    const std::array<Colour, StainShades> blues = {{
        {20, 30, 110},
        {25, 40, 130},
        {30, 50, 150},
        {35, 60, 165},
        {70, 90, 190},
        {90, 110, 205},
        {110, 130, 215},
        {130, 150, 225},
    }};
    for (int i = 0; i < StainShades; ++i)
        p[static_cast<std::size_t>(FirstStainIndex + i)] = blues[static_cast<std::size_t>(i)];
    const std::array<Colour, DustShades> dust = {{{150, 120, 30}, {170, 140, 40}, {120, 95, 25}}};
    for (int i = 0; i < DustShades; ++i)
        p[static_cast<std::size_t>(FirstDustIndex + i)] = dust[static_cast<std::size_t>(i)];
    // The rest a grey ramp, as scanners fill unused entries.
    for (int i = FirstDustIndex + DustShades; i < 256; ++i)
        p[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                          static_cast<std::uint8_t>(i)};
    return p;
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

std::string checkSpec(const CardSpec &spec)
{
    if (spec.Width < 8 || spec.Height < 8 || spec.Width > 30000 || spec.Height > 30000)
        return "width and height must be 8 to 30000 pixels";
    if (static_cast<std::int64_t>(spec.Width) * spec.Height > 400'000'000)
        return "the card may hold at most 400 million pixels";
    if (spec.Dpi < 1 || spec.Dpi > 20000)
        return "the resolution must be 1 to 20000 dpi";
    if (spec.Discs < 0 || spec.DustSpecks < 0)
        return "the disc and dust counts must not be negative";
    if (!(spec.MinDiameter >= 1.0) || !(spec.MaxDiameter >= spec.MinDiameter) ||
        spec.MaxDiameter > std::min(spec.Width, spec.Height) - 4)
        return "diameters must run from at least 1 pixel to less than the card's narrow side";
    if (!(spec.DitherShare >= 0.0 && spec.DitherShare < 0.5))
        return "the dither share must be 0 to 0.5";
    if (spec.ClearBottomRows < 0 || spec.ClearBottomRows > spec.Height / 2)
        return "the clear bottom rows must be 0 to half the height";
    if (spec.Overlap && !(spec.Coverage > 0.0 && spec.Coverage <= 0.7))
        return "the coverage must be more than 0 and at most 0.7";
    if (spec.Overlap && !(spec.MedianDiameter >= 1.0 && spec.Sigma >= 0.0 && spec.Sigma <= 2.0))
        return "the median diameter must be at least 1 pixel and the spread 0 to 2";
    return {};
}

Card generateCard(const CardSpec &spec)
{
    Random random(spec.Seed);
    Card card;
    card.Width = spec.Width;
    card.Height = spec.Height;
    card.Dpi = spec.Dpi;
    card.Palette = cardPalette();
    card.Pixels.resize(static_cast<std::size_t>(spec.Width) * static_cast<std::size_t>(spec.Height));
    // An integer threshold keeps the dither pattern free of rounding doubts.
    const auto ditherBelow = static_cast<std::uint64_t>(spec.DitherShare * 65536.0);
    for (std::uint8_t &p : card.Pixels)
        p = (random.next() & 0xFFFFu) < ditherBelow ? DitherIndex : BackgroundIndex;

    Painter painter(card, spec);
    if (spec.Overlap)
        dropAtRandom(card, spec, painter, random);
    const double ratio = spec.MaxDiameter / spec.MinDiameter;
    for (std::int64_t n = 0; !spec.Overlap && n < spec.Discs; ++n) {
        const double u = random.unit();
        const double diameter = spec.MinDiameter * std::pow(ratio, u * u * u);
        DoubledDisc d;
        d.R4 = std::max<std::int64_t>(1, std::llround(diameter * diameter));
        const auto reach = static_cast<std::int64_t>(std::ceil(diameter / 2.0)) + 1;
        for (int attempt = 0; attempt < PlacementTries; ++attempt) {
            d.Cx = random.below(2 * static_cast<std::int64_t>(spec.Width));
            d.Cy = random.below(2 * static_cast<std::int64_t>(spec.Height));
            const std::int64_t y0 = std::max<std::int64_t>(0, d.Cy / 2 - reach);
            const std::int64_t y1 = std::min<std::int64_t>(spec.Height - 1, d.Cy / 2 + reach);
            if (!painter.fits(d, y0, y1))
                continue;
            Disc disc = discOf(d);
            disc.Area = painter.paint(d, y0, y1, random);
            card.Discs.push_back(disc);
            break;
        }
    }
    for (std::int64_t n = 0; n < spec.DustSpecks; ++n) {
        for (int attempt = 0; attempt < PlacementTries; ++attempt) {
            const std::int64_t w = 1 + random.below(2);
            const std::int64_t h = 1 + random.below(2);
            const std::int64_t area = painter.dust(random.below(spec.Width), random.below(spec.Height), w, h, random);
            if (area > 0) {
                card.DustAreas.push_back(area);
                break;
            }
        }
    }
    card.StainedPixels =
        painter.stained() - std::accumulate(card.DustAreas.begin(), card.DustAreas.end(), std::int64_t{0});
    return card;
}

std::vector<std::uint8_t> encodeBmp(const Card &card)
{
    const auto width = static_cast<std::uint32_t>(card.Width);
    const auto height = static_cast<std::uint32_t>(card.Height);
    const std::uint32_t stride = (width + 3u) / 4u * 4u;
    const std::uint32_t offset = 14 + 40 + 256 * 4;
    const std::uint32_t imageSize = stride * height;
    const auto pixelsPerMetre = static_cast<std::uint32_t>(std::lround(card.Dpi / 0.0254));

    std::vector<std::uint8_t> out;
    out.reserve(offset + imageSize);
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + imageSize);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, width);
    put32(out, height); // positive: bottom row first
    put16(out, 1);
    put16(out, 8);
    put32(out, 0); // uncompressed
    put32(out, imageSize);
    put32(out, pixelsPerMetre);
    put32(out, pixelsPerMetre);
    put32(out, 256);
    put32(out, 0);
    for (const Colour &c : card.Palette)
        out.insert(out.end(), {c.B, c.G, c.R, std::uint8_t{0}});
    for (std::uint32_t row = height; row-- > 0;) {
        const auto first = card.Pixels.begin() + static_cast<std::ptrdiff_t>(row) * card.Width;
        out.insert(out.end(), first, first + card.Width);
        out.insert(out.end(), stride - width, std::uint8_t{0});
    }
    return out;
}

std::string writeBmp(const Card &card, const std::string &path)
{
    const std::vector<std::uint8_t> bytes = encodeBmp(card);
    const std::string temporary = path + ".part";
    std::FILE *file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return temporary + ": " + std::strerror(errno);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = errno;
    if (std::fclose(file) != 0 || !written) {
        std::remove(temporary.c_str());
        return path + ": " + std::strerror(written ? errno : writeError);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameError = errno;
        std::remove(temporary.c_str());
        return path + ": " + std::strerror(renameError);
    }
    return {};
}

std::string truthText(const Card &card)
{
    std::ostringstream out;
    for (const Disc &d : card.Discs)
        out << d.CentreX << ' ' << d.CentreY << ' ' << d.Radius << ' ' << d.Area << '\n';
    for (const std::int64_t a : card.DustAreas)
        out << "dust " << a << '\n';
    return out.str();
}

CardSpec lineCardSpec(const CardSpec &base, int index, int cards)
{
    CardSpec spec = base;
    const double middle = (cards - 1) / 2.0;
    const double spread = std::max(1.0, cards / 4.0);
    const double z = (index - middle) / spread;
    const double share = std::exp(-0.5 * z * z);
    // The edges of the swath still catch a few fine drops.
    spec.Discs = std::max<std::int64_t>(5, std::llround(static_cast<double>(base.Discs) * share));
    spec.MaxDiameter = base.MinDiameter + (base.MaxDiameter - base.MinDiameter) * (0.4 + 0.6 * share);
    spec.Seed = base.Seed * 1000003u + static_cast<std::uint64_t>(index);
    return spec;
}

} // namespace vex::cardgen
