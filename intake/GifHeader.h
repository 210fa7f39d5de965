#pragma once
// The checks a GIF passes before it is decoded: its signature and the colour
// resolution in its logical screen descriptor.

#include <cstddef>
#include <cstdint>

namespace vex {

// Signature, screen size, packed fields and the two bytes after them.
inline constexpr std::size_t GifScreenDescriptorEnd = 13;

struct GifHeaderResult {
    // "GIF87a" or "GIF89a" in any mix of upper and lower case.
    bool SignatureValid = false;
    // Bits of colour resolution, 1..8.  This, and not the size of the global
    // colour table, is what decides whether a card can be analysed.
    int ColourDepth = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    // False when the data ends before the screen descriptor does; the fields
    // whose bytes are present are filled all the same.
    bool Complete = false;
};

GifHeaderResult checkGifHeader(const std::uint8_t *data, std::size_t size);

} // namespace vex
