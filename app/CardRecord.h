#pragma once
// The record of one opened card image, and the card list.  Card indices are
// 1-based everywhere in the program; the list hides the 0-based vector.

#include "analysis/SizeClass.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex {

// A pixel that is neither background nor dither colour.  Rows and columns are
// 32-bit so that images taller or wider than 32767 pixels stay correct.
struct ForegroundPixel {
    std::uint8_t Hue = 0;
    std::int32_t Row = 0;    // 1 = top image row
    std::int32_t Column = 0; // 1 = leftmost
    std::uint8_t PaletteIndex = 0;
};

struct CardRecord {
    std::string FilePath;  // folder with trailing separator, then the file name
    std::string FileTitle; // file name without folder
    std::int32_t ImageWidth = 0;
    std::int32_t ImageHeight = 0;
    double PixelSizeX = 0.0; // micrometres
    double PixelSizeY = 0.0;
    std::int32_t Resolution = 0; // dpi
    double CardArea = 0.0;       // cm2, whole image
    bool ColoursKnown = false;
    bool Scanned = false;
    float Position = 0.0f; // across the spray line
    std::uint8_t BackgroundIndex = 0;
    std::uint8_t DitherIndex = 0;
    std::array<std::int32_t, 257> PaletteHue{};
    std::array<std::int32_t, 257> HueCount{};
    std::vector<std::uint8_t> Palette; // blue, green, red per entry
    // Stain pixels bottom row first; ends with one closing record.
    std::vector<ForegroundPixel> ForegroundPixels;

    // Stain data.
    ClassList Stains;
    float SmallestDiameter = 0.0f;
    float LargestDiameter = 0.0f;
    std::int32_t RejectedCount = 0;
    double MaxVolumeFraction = 0.0;
    std::int32_t MaxClassCount = 0;
    double VMD = 0.0;
    double DropDensity = 0.0;   // drops per cm2
    double VolumeDensity = 0.0; // nL per cm2
    double TotalVolume = 0.0;   // nL
};

} // namespace vex
