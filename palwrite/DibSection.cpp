#include "DibSection.h"

#include <cstring>
#include <limits>
#include <new>

namespace palwrite {

std::int64_t DibSection::BytesPerScanLine(std::int32_t width)
{
    return (static_cast<std::int64_t>(width) * 3 + 3) & ~static_cast<std::int64_t>(3);
}

void DibSection::ClearUp()
{
    width_ = 0;
    height_ = 0;
    std::vector<std::uint8_t>().swap(bits_);
}

bool DibSection::Create(std::int32_t width, std::int32_t height)
{
    ClearUp();
    if (width <= 0 || height <= 0)
        return false;
    const std::int64_t size = BytesPerScanLine(width) * height;
    if (size > std::numeric_limits<std::int32_t>::max())
        return false; // a BMP states its image size in 32 bits
    try {
        bits_.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

bool DibSection::CreateFromPicture(const void *pixels, std::int32_t width, std::int32_t height, std::int64_t stride,
                                   int bitsPerPixel)
{
    if (!Create(width, height))
        return false;
    const auto *source = static_cast<const std::uint8_t *>(pixels);
    const std::int64_t line = BytesPerScanLine();
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t *from = source + static_cast<std::int64_t>(y) * stride;
        std::uint8_t *to = bits_.data() + static_cast<std::int64_t>(height - 1 - y) * line;
        if (bitsPerPixel == 24) {
            std::memcpy(to, from, static_cast<std::size_t>(width) * 3);
        } else {
            for (std::int32_t x = 0; x < width; ++x) {
                to[3 * x] = from[4 * x];
                to[3 * x + 1] = from[4 * x + 1];
                to[3 * x + 2] = from[4 * x + 2];
            }
        }
    }
    return true;
}

} // namespace palwrite
