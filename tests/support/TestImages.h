#pragma once
// Bitmap files written by the tests themselves, byte by byte, so that every
// header variant and encoding can be checked against a picture whose pixels
// the test chose.  No Qt here: the core tests use it too.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
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
    int paletteCount() const { return static_cast<int>(PaletteBgr.size() / 3); }
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

// A colour table whose entries all differ from each other in every channel
// pair, so that a swapped channel or a shifted entry shows.
inline std::vector<std::uint8_t> distinctPalette(int colours)
{
    std::vector<std::uint8_t> bgr;
    for (int i = 0; i < colours; ++i) {
        bgr.push_back(static_cast<std::uint8_t>(i));
        bgr.push_back(static_cast<std::uint8_t>(255 - i));
        bgr.push_back(static_cast<std::uint8_t>(i * 3));
    }
    return bgr;
}

// A picture whose every pixel differs from its neighbours, so that a row or
// column out of place shows.
inline Picture patternPicture(int width, int height, int colours = 256)
{
    Picture p;
    p.Width = width;
    p.Height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.TopDownIndices.push_back(static_cast<std::uint8_t>((x * 7 + y * 31 + 1) % colours));
    p.PaletteBgr = distinctPalette(colours);
    return p;
}

// A picture of runs one to four pixels long, the length changing from row to
// row, so that an RLE8 encoding of it needs encoded runs and absolute runs.
inline Picture runPicture(int width, int height)
{
    Picture p;
    p.Width = width;
    p.Height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.TopDownIndices.push_back(static_cast<std::uint8_t>((x / (1 + y % 4) * 17 + y * 5 + 3) % 256));
    p.PaletteBgr = distinctPalette(256);
    return p;
}

struct BmpOptions {
    std::uint32_t HeaderSize = 40; // 12 and 16/64 (OS/2 1.x, 2.x), 40, 108 (V4), 124 (V5)
    bool TopDown = false;
    bool Rle8 = false;
    int BitsPerPixel = 8;             // 8, 24, 32 (blue, green, red, 0) or 16 (5-6-5 bit fields)
    std::int64_t ColoursUsed = -1;    // the header field; -1: the number of entries written
    std::int64_t PaletteEntries = -1; // entries written; -1: the picture's; missing ones are black
    std::int64_t PixelOffset = -1;    // -1: right after the colour table
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

inline void setU32(std::vector<std::uint8_t> &bytes, std::size_t at, std::uint32_t v)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint32_t getU32(const std::vector<std::uint8_t> &bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
    return v;
}

// An RLE8 pixel stream and what it is made of, so that a test can cut it
// between rows and can see that both kinds of run were used.
struct Rle8Stream {
    std::vector<std::uint8_t> Bytes;
    // Stream length after each row's end-of-line (end-of-bitmap for the last).
    std::vector<std::size_t> RowEnds;
    int EncodedRuns = 0;
    int AbsoluteRuns = 0;
};

// One row: two or more equal pixels as an encoded run; stretches of three or
// more pixels unlike their right neighbour in absolute mode (padded to an
// even length); anything shorter as runs of one.
inline void encodeRle8Row(Rle8Stream &out, const std::uint8_t *row, int width)
{
    std::vector<std::uint8_t> &b = out.Bytes;
    int x = 0;
    while (x < width) {
        int same = 1;
        while (x + same < width && same < 255 && row[x + same] == row[x])
            ++same;
        if (same >= 2) {
            b.push_back(static_cast<std::uint8_t>(same));
            b.push_back(row[x]);
            ++out.EncodedRuns;
            x += same;
            continue;
        }
        int literal = 1;
        while (x + literal < width && literal < 255 &&
               (x + literal + 1 >= width || row[x + literal] != row[x + literal + 1]))
            ++literal;
        if (literal >= 3) {
            b.push_back(0);
            b.push_back(static_cast<std::uint8_t>(literal));
            b.insert(b.end(), row + x, row + x + literal);
            if (literal % 2 == 1)
                b.push_back(0);
            ++out.AbsoluteRuns;
        } else {
            for (int k = 0; k < literal; ++k) {
                b.push_back(1);
                b.push_back(row[x + k]);
                ++out.EncodedRuns;
            }
        }
        x += literal;
    }
}

// The whole picture, bottom row first as RLE8 bitmaps store it.
inline Rle8Stream encodeRle8(const Picture &p)
{
    Rle8Stream s;
    for (int r = 0; r < p.Height; ++r) {
        const int y = p.Height - 1 - r;
        encodeRle8Row(s, p.TopDownIndices.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(p.Width),
                      p.Width);
        s.Bytes.push_back(0);
        s.Bytes.push_back(r + 1 == p.Height ? 1 : 0);
        s.RowEnds.push_back(s.Bytes.size());
    }
    return s;
}

inline std::size_t paletteEntriesWritten(const Picture &p, const BmpOptions &o)
{
    if (o.BitsPerPixel != 8)
        return 0;
    return o.PaletteEntries >= 0 ? static_cast<std::size_t>(o.PaletteEntries) : p.PaletteBgr.size() / 3;
}

// Where the pixels start when the options leave the offset alone.
inline std::size_t naturalPixelOffset(const Picture &p, const BmpOptions &o)
{
    return 14 + o.HeaderSize + paletteEntriesWritten(p, o) * (o.HeaderSize == 12 ? 3u : 4u);
}

inline std::vector<std::uint8_t> makeBmp(const Picture &p, const BmpOptions &o = {})
{
    const bool core = o.HeaderSize == 12;
    const std::size_t entries = paletteEntriesWritten(p, o);

    std::vector<std::uint8_t> pixels;
    if (o.BitsPerPixel == 24 || o.BitsPerPixel == 32 || o.BitsPerPixel == 16) {
        const std::size_t bytes = static_cast<std::size_t>(o.BitsPerPixel / 8);
        const std::size_t stride = (static_cast<std::size_t>(p.Width) * bytes + 3) / 4 * 4;
        for (int r = 0; r < p.Height; ++r) {
            const int y = o.TopDown ? r : p.Height - 1 - r;
            for (int x = 0; x < p.Width; ++x) {
                const std::uint8_t *bgr = &p.PaletteBgr[p.at(x, y) * 3u];
                if (o.BitsPerPixel == 16) {
                    put16(pixels, static_cast<std::uint32_t>((bgr[2] >> 3) << 11 | (bgr[1] >> 2) << 5 | bgr[0] >> 3));
                    continue;
                }
                pixels.insert(pixels.end(), bgr, bgr + 3);
                if (o.BitsPerPixel == 32)
                    pixels.push_back(0);
            }
            pixels.resize(pixels.size() + stride - static_cast<std::size_t>(p.Width) * bytes, 0);
        }
    } else if (o.Rle8) {
        pixels = encodeRle8(p).Bytes;
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

    const std::size_t naturalOffset = naturalPixelOffset(p, o);
    const std::size_t offset = o.PixelOffset >= 0 ? static_cast<std::size_t>(o.PixelOffset) : naturalOffset;
    const auto height = static_cast<std::uint32_t>(o.TopDown ? -p.Height : p.Height);

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
        put32(out, height);
        put16(out, 1);
        put16(out, static_cast<std::uint32_t>(o.BitsPerPixel));
        if (o.HeaderSize > 16) {
            put32(out, o.Rle8 ? 1 : o.BitsPerPixel == 16 ? 3 : 0);
            put32(out, static_cast<std::uint32_t>(pixels.size()));
            put32(out, 23622); // 600 dpi
            put32(out, 23622);
            put32(out,
                  static_cast<std::uint32_t>(o.ColoursUsed >= 0 ? o.ColoursUsed : static_cast<std::int64_t>(entries)));
            put32(out, 0);
            out.resize(out.size() + (o.HeaderSize - 40), 0);
            if (o.BitsPerPixel == 16) { // red, green, blue masks, in headers of 52 bytes and more
                setU32(out, 14 + 40, 0xF800u);
                setU32(out, 14 + 44, 0x07E0u);
                setU32(out, 14 + 48, 0x001Fu);
            }
        }
    }
    for (std::size_t i = 0; i < entries; ++i) {
        for (std::size_t c = 0; c < 3; ++c)
            out.push_back(i * 3 + c < p.PaletteBgr.size() ? p.PaletteBgr[i * 3 + c] : 0);
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

inline std::vector<std::uint8_t> readFile(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The first `percent` per cent of a file's bytes written to `cut`, as a
// copy that stopped early leaves it.
inline void writeCutShort(const std::filesystem::path &whole, const std::filesystem::path &cut, int percent)
{
    const std::vector<std::uint8_t> bytes = readFile(whole);
    writeFile(cut, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() * percent / 100)});
}

// A file of the given bytes under a name no other test run uses, removed
// again when the object goes.  The name ends in `suffix`.
class TempFile {
public:
    TempFile(const std::vector<std::uint8_t> &bytes, const std::string &suffix)
    {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("vexolin_test_" + std::to_string(seed()) + "_" + std::to_string(seed()) + suffix);
        writeFile(path_, bytes);
    }
    ~TempFile()
    {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    // Replaces the contents, keeping the name.
    void rewrite(const std::vector<std::uint8_t> &bytes) const { writeFile(path_, bytes); }
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

} // namespace vex::test
