#pragma once
// What a card's picture can show: the smallest stain its resolution
// resolves, the drop that stain stands for, and what the user is told when
// the picture cannot be trusted as it is (too coarse, a "drop" larger than
// any spray gives).

#include "model/CardRecord.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex {

// A stain must be this many pixels across to be told from noise and JPEG
// blocks; below it neither its size nor its colour is measured.
inline constexpr double PixelsAcrossSmallestStain = 3.0;
// Below this a picture loses the fine drops of most sprays (a 300 dpi pixel
// is 85 um across).
inline constexpr std::int32_t LowestSoundDpi = 300;
// The coarsest agricultural nozzles give few drops beyond 1 mm and hardly any
// beyond 2 mm; a larger "drop" is stains run together, or no drop at all.
inline constexpr double LargestPlausibleDropUm = 2000.0;

// The stain diameter, um, the resolution resolves.
double smallestDetectableStainUm(std::int32_t resolutionDpi);
// That stain as a drop, by the spread factor.
double smallestDetectableDropUm(std::int32_t resolutionDpi, const std::array<double, 3> &spread);

// "Smallest detectable drop: 127 µm", of the card's resolution and the
// spread factor, for the window beside the card's figures.
std::string smallestDropText(const CardRecord &card, const std::array<double, 3> &spread);

// What is said of an analysed card about what its picture can show: its
// resolution below LowestSoundDpi, its largest drop beyond
// LargestPlausibleDropUm.  (A card too dense is told by denseCardWarning.)
std::vector<std::string> cardLimitWarnings(const CardRecord &card, const std::array<double, 3> &spread);

} // namespace vex
