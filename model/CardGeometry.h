#pragma once
// Pixel size and card area from a scan resolution.  The inch is taken as 1/12
// foot and the foot as 1/3.2808 metre, not the exact 0.0254 m: results users
// already hold were computed that way.

#include "model/CardRecord.h"

#include <cstdint>

namespace vex {

// The largest resolution a card may be given, in dpi.
constexpr std::int32_t MaxResolution = 32767;

// Micrometres per pixel at dpi dots per inch.
double pixelSizeMicrons(std::int32_t dpi);

// Area of the whole image in cm2.
double cardAreaCm2(std::int32_t width, std::int32_t height, double pixelSizeX, double pixelSizeY);

// Sets Resolution, both pixel sizes and CardArea of the card.
void applyResolution(CardRecord &card, std::int32_t dpi);

} // namespace vex
