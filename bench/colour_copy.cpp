// Writes a 24-bit copy of an 8-bit card bitmap, pixel for pixel, for the
// benchmark of colour reduction.
//
//   colour_copy <in.bmp> <out.bmp>

#include "intake/BmpFile.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void put32(std::FILE *f, std::uint32_t v)
{
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

void put16(std::FILE *f, std::uint16_t v)
{
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <in.bmp> <out.bmp>\n", argv[0]);
        return 2;
    }
    const vex::DecodeResult in = vex::decodeBmpFile(argv[1]);
    if (!in.ok()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], in.reason().c_str());
        return 1;
    }
    const vex::IndexedImage &image = in->Image;
    const std::size_t width = static_cast<std::size_t>(image.Width);
    const std::size_t stride = (width * 3 + 3) / 4 * 4;
    const std::uint64_t size = stride * static_cast<std::uint64_t>(image.Height);
    std::FILE *out = std::fopen(argv[2], "wb");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    std::fwrite("BM", 1, 2, out);
    put32(out, static_cast<std::uint32_t>(54 + size));
    put32(out, 0);
    put32(out, 54);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(image.Width));
    put32(out, static_cast<std::uint32_t>(image.Height));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(size));
    put32(out, static_cast<std::uint32_t>(in->PixelsPerMetreX));
    put32(out, static_cast<std::uint32_t>(in->PixelsPerMetreY));
    put32(out, 0);
    put32(out, 0);
    std::vector<std::uint8_t> row(stride, 0);
    for (std::int32_t y = 0; y < image.Height; ++y) {
        const std::uint8_t *p = image.row(y);
        for (std::size_t x = 0; x < width; ++x)
            for (std::size_t c = 0; c < 3; ++c)
                row[3 * x + c] = image.PaletteBgr[3u * p[x] + c];
        std::fwrite(row.data(), 1, row.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
