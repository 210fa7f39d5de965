#pragma once
// A 24-bit picture held in memory: rows from the bottom up, three bytes per
// pixel (blue, green, red), each row padded to a multiple of four bytes.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace palwrite {

class DibSection {
public:
    // False (and no picture held) for a size of zero or below, or one whose
    // buffer would not fit in memory.
    bool Create(std::int32_t width, std::int32_t height);
    // Fills the picture from rows of 24-bit or 32-bit blue-green-red pixels
    // starting at the top, `stride` bytes apart.
    bool CreateFromPicture(const void *pixels, std::int32_t width, std::int32_t height, std::int64_t stride,
                           int bitsPerPixel);
    void ClearUp();

    std::int32_t Width() const { return width_; }
    std::int32_t Height() const { return height_; }
    // Width x 3 rounded up to a multiple of 4.
    static std::int64_t BytesPerScanLine(std::int32_t width);
    std::int64_t BytesPerScanLine() const { return BytesPerScanLine(width_); }
    const std::uint8_t *DIBSectionBitsPtr() const { return bits_.empty() ? nullptr : bits_.data(); }
    std::uint8_t *DIBSectionBitsPtr() { return bits_.empty() ? nullptr : bits_.data(); }

private:
    std::int32_t width_ = 0;
    std::int32_t height_ = 0;
    std::vector<std::uint8_t> bits_;
};

} // namespace palwrite
