#pragma once
// A decoded 8-bit palettised picture, whatever file it came from.  Rows are
// kept in the order of a bottom-up bitmap (row 0 is the bottom image row), so
// every encoding gives the colour pass the same picture.

#include <cstdint>
#include <vector>

namespace vex {

struct IndexedImage {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    // Blue, green, red byte of each colour-table entry, in the file's order;
    // 1..256 entries.
    std::vector<std::uint8_t> PaletteBgr;
    // Height rows of Width index bytes, no padding; row 0 = bottom image row.
    std::vector<std::uint8_t> Pixels;
    // For an uncompressed bottom-up bitmap only: the first 5 x Width bytes of
    // pixel data exactly as stored (row padding included; fewer when the
    // picture holds less).  The
    // colour pass samples these when present, so that results match those
    // users already hold for such files.  Empty for every other encoding.
    std::vector<std::uint8_t> StoredSample;

    int paletteCount() const { return static_cast<int>(PaletteBgr.size() / 3); }
    const std::uint8_t *row(std::int32_t bottomUpRow) const
    {
        return Pixels.data() + static_cast<std::size_t>(bottomUpRow) * static_cast<std::size_t>(Width);
    }
    std::uint8_t *row(std::int32_t bottomUpRow)
    {
        return Pixels.data() + static_cast<std::size_t>(bottomUpRow) * static_cast<std::size_t>(Width);
    }
};

} // namespace vex
