#pragma once
// Bitmap files written by the tests themselves, byte by byte, so that every
// header variant and encoding can be checked against a known picture.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vex::test {

// A picture: indices top row first, and a colour table of B, G, R triples.
struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> TopDownIndices;
    std::vector<std::uint8_t> PaletteBgr;

    std::uint8_t at(int x, int topRow) const
    {
        return TopDownIndices[static_cast<std::size_t>(topRow) * static_cast<std::size_t>(Width) +
                              static_cast<std::size_t>(x)];
    }
    // The rows in the order the decoders hand them over: bottom row first.
    std::vector<std::uint8_t> bottomUp() const
    {
        std::vector<std::uint8_t> rows;
        for (int y = Height - 1; y >= 0; --y)
            for (int x = 0; x < Width; ++x)
                rows.push_back(at(x, y));
        return rows;
    }
};

// A picture whose every pixel differs from its neighbours and whose colours
// are all distinct, so that a row or column out of place shows.
inline Picture patternPicture(int width, int height, int colours = 256)
{
    Picture p;
    p.Width = width;
    p.Height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.TopDownIndices.push_back(static_cast<std::uint8_t>((x * 7 + y * 31 + 1) % colours));
    for (int i = 0; i < colours; ++i) {
        p.PaletteBgr.push_back(static_cast<std::uint8_t>(i));
        p.PaletteBgr.push_back(static_cast<std::uint8_t>(255 - i));
        p.PaletteBgr.push_back(static_cast<std::uint8_t>(i * 3));
    }
    return p;
}

struct BmpOptions {
    std::uint32_t HeaderSize = 40; // 12 (OS/2 1.x), 40, 108 (V4), 124 (V5)
    bool TopDown = false;
    bool Rle8 = false;
    int BitsPerPixel = 8;           // 8 or 24
    std::int64_t ColoursUsed = -1;  // -1: the palette size
    std::int64_t PixelOffset = -1;  // -1: right after the colour table
    bool PadLastRow = true;
};

inline void put16(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void put32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    put16(out, v & 0xFFFFu);
    put16(out, v >> 16);
}

// RLE8 for one row: repeated pixels as encoded runs, the rest in absolute
// mode where three or more differ, else as runs of one.
inline void encodeRle8Row(std::vector<std::uint8_t> &out, const std::uint8_t *row, int width)
{
    int x = 0;
    while (x < width) {
        int same = 1;
        while (x + same < width && same < 255 && row[x + same] == row[x])
            ++same;
        if (same >= 2) {
            out.push_back(static_cast<std::uint8_t>(same));
            out.push_back(row[x]);
            x += same;
            continue;
        }
        int literal = 1;
        while (x + literal < width && literal < 255 &&
               (x + literal + 1 >= width || row[x + literal] != row[x + literal + 1]))
            ++literal;
        if (literal >= 3) {
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(literal));
            out.insert(out.end(), row + x, row + x + literal);
            if (literal % 2 == 1)
                out.push_back(0);
        } else {
            for (int k = 0; k < literal; ++k) {
                out.push_back(1);
                out.push_back(row[x + k]);
            }
        }
        x += literal;
    }
}

inline std::vector<std::uint8_t> makeBmp(const Picture &p, const BmpOptions &o = {})
{
    const bool core = o.HeaderSize == 12;
    const std::size_t entrySize = core ? 3 : 4;
    const std::size_t entries = o.BitsPerPixel == 8 ? p.PaletteBgr.size() / 3 : 0;

    std::vector<std::uint8_t> pixels;
    if (o.BitsPerPixel == 24) {
        const std::size_t stride = (static_cast<std::size_t>(p.Width) * 3 + 3) / 4 * 4;
        for (int r = 0; r < p.Height; ++r) {
            const int y = o.TopDown ? r : p.Height - 1 - r;
            for (int x = 0; x < p.Width; ++x)
                for (int c = 0; c < 3; ++c)
                    pixels.push_back(p.PaletteBgr[p.at(x, y) * 3u + static_cast<unsigned>(c)]);
            pixels.resize(pixels.size() + stride - static_cast<std::size_t>(p.Width) * 3, 0);
        }
    } else if (o.Rle8) {
        for (int r = 0; r < p.Height; ++r) {
            const int y = p.Height - 1 - r;
            encodeRle8Row(pixels, p.TopDownIndices.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(p.Width), p.Width);
            pixels.push_back(0);
            pixels.push_back(r + 1 == p.Height ? 1 : 0);
        }
    } else {
        const std::size_t stride = (static_cast<std::size_t>(p.Width) + 3) / 4 * 4;
        for (int r = 0; r < p.Height; ++r) {
            const int y = o.TopDown ? r : p.Height - 1 - r;
            for (int x = 0; x < p.Width; ++x)
                pixels.push_back(p.at(x, y));
            if (o.PadLastRow || r + 1 < p.Height)
                pixels.resize(pixels.size() + stride - static_cast<std::size_t>(p.Width), 0);
        }
    }

    const std::size_t tableStart = 14 + o.HeaderSize;
    const std::size_t naturalOffset = tableStart + entries * entrySize;
    const std::size_t offset = o.PixelOffset >= 0 ? static_cast<std::size_t>(o.PixelOffset) : naturalOffset;

    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, static_cast<std::uint32_t>(std::max(offset, naturalOffset) + pixels.size()));
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(offset));
    put32(out, o.HeaderSize);
    if (core) {
        put16(out, static_cast<std::uint32_t>(p.Width));
        put16(out, static_cast<std::uint32_t>(p.Height));
        put16(out, 1);
        put16(out, static_cast<std::uint32_t>(o.BitsPerPixel));
    } else {
        put32(out, static_cast<std::uint32_t>(p.Width));
        put32(out, static_cast<std::uint32_t>(o.TopDown ? -p.Height : p.Height));
        put16(out, 1);
        put16(out, static_cast<std::uint32_t>(o.BitsPerPixel));
        put32(out, o.Rle8 ? 1 : 0);
        put32(out, static_cast<std::uint32_t>(pixels.size()));
        put32(out, 23622); // 600 dpi
        put32(out, 23622);
        put32(out, static_cast<std::uint32_t>(o.ColoursUsed >= 0 ? o.ColoursUsed : static_cast<std::int64_t>(entries)));
        put32(out, 0);
        out.resize(out.size() + (o.HeaderSize - 40), 0);
    }
    for (std::size_t i = 0; i < entries; ++i) {
        out.insert(out.end(), p.PaletteBgr.begin() + static_cast<std::ptrdiff_t>(i * 3),
                   p.PaletteBgr.begin() + static_cast<std::ptrdiff_t>(i * 3 + 3));
        if (!core)
            out.push_back(0);
    }
    out.resize(std::max(out.size(), offset), 0);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

inline void writeFile(const std::filesystem::path &path, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace vex::test
