#pragma once
// A decoded 8-bit palettised picture, whatever file it came from.  Rows are
// kept in the order of a bottom-up bitmap (row 0 is the bottom image row), so
// every encoding gives the colour pass the same picture.

#include "intake/MappedFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vex {

struct IndexedImage {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    // Blue, green, red byte of each colour-table entry, in the file's order;
    // 1..256 entries.
    std::vector<std::uint8_t> PaletteBgr;
    // Height rows of Width index bytes, no padding; row 0 = bottom image row.
    // Empty when the rows are read in place from the file (Mapping).
    std::vector<std::uint8_t> Pixels;
    // For an uncompressed bottom-up bitmap only: the first 5 x Width bytes of
    // pixel data exactly as stored (row padding included; fewer when the
    // picture holds less).  The
    // colour pass samples these when present, so that results match those
    // users already hold for such files.  Empty for every other encoding.
    std::vector<std::uint8_t> StoredSample;
    // An uncompressed 8-bit bitmap's rows as the file stores them, padding
    // and all, instead of a copy in Pixels: the bottom image row and the step
    // in bytes to the row above it (negative for a top-down file).
    std::shared_ptr<const MappedFile> Mapping;
    const std::uint8_t *MappedBottomRow = nullptr;
    std::ptrdiff_t MappedRowStep = 0;

    int paletteCount() const { return static_cast<int>(PaletteBgr.size() / 3); }
    const std::uint8_t *row(std::int32_t bottomUpRow) const
    {
        if (MappedBottomRow != nullptr)
            return MappedBottomRow + static_cast<std::ptrdiff_t>(bottomUpRow) * MappedRowStep;
        return Pixels.data() + static_cast<std::size_t>(bottomUpRow) * static_cast<std::size_t>(Width);
    }
    // Rows of a picture held in Pixels only: the decoders fill them.
    std::uint8_t *row(std::int32_t bottomUpRow)
    {
        return Pixels.data() + static_cast<std::size_t>(bottomUpRow) * static_cast<std::size_t>(Width);
    }
    // The rows the picture holds in full: Height, but a picture whose
    // Pixels are short of its size is read only as far as it goes.
    std::int32_t rowsHeld() const
    {
        if (MappedBottomRow != nullptr || Width <= 0)
            return std::max(Height, 0);
        return static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(std::max(Height, 0)),
                                                               Pixels.size() / static_cast<std::size_t>(Width)));
    }
    // Fine unless the rows are read in place from a file that has since
    // been cut short or changed; then what was read from it is not to be used.
    Status sourceIntact() const { return Mapping ? Mapping->intact() : Status(); }
};

} // namespace vex
