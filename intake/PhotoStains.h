#pragma once
// Stains of a photographed card: from the straightened colour picture of a
// card (a phone photo, a JPEG) to the 8-bit card the colour pass and the
// stain scan take, without the 256-colour reduction.
//
// The reduction gives each pixel the nearest of a few colours; on a photo the
// blurred blue-on-yellow edges then fall to whatever colour lies nearest
// (grey or green), stains grow or join, and small stains whose colour the
// JPEG spread out fall to the paper.  Here instead each pixel is compared
// with the paper around it:
//
// - the paper's colour is estimated locally (from the paper pixels of every
//   half millimetre, smoothed over a few millimetres), so that light falling
//   off across the card moves nothing: every pixel is divided by the paper
//   colour at its place, which takes out light that multiplies every colour;
// - the stain colour is the typical colour of stain interiors, as a contrast
//   against the paper; each pixel's share of the way from paper to stain is
//   its contrast projected onto that of the stain.  Blur and JPEG mix
//   colours linearly, so the pixel halfway between paper and stain (share
//   0.5) lies on the stain's true edge, and areas come out without bias;
// - a stain too small to reach half the stain colour (blurred, its colour
//   spread by JPEG's chroma subsampling) is still found where it differs
//   from the paper by clearly more than the paper's own noise, and is given
//   as many pixels as the stain colour it holds in all (the sum of its
//   shares), the most strongly coloured ones.
//
// The card handed on: the paper is entry 1 of the colour table and the
// only colour the colour pass takes as background; every stain pixel keeps
// the hue of its stain (the pixel's colour with the paper's share taken
// out).  Each stain colour is repeated over eleven table entries, taken in
// turn by column, so that no single entry makes up a tenth of the rows the
// colour pass samples: a large stain on the card's lower edge is never taken
// for a dither colour.

#include "intake/BmpFile.h"
#include "intake/ColourImage.h"
#include "intake/IndexedImage.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vex {

// A colour picture in memory, blue-green-red bytes, rows from the top; the
// step between rows in bytes (a cv::Mat's step).
struct BgrView {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    const std::uint8_t *TopRow = nullptr;
    std::ptrdiff_t RowStep = 0;
};

// What the segmentation found out about the card, for logs and checks.
struct PhotoStainFacts {
    // Median paper colour and the typical stain colour (B, G, R).
    std::array<double, 3> Paper{};
    std::array<double, 3> Stain{};
    // The standard deviation of the paper's share of the way to the stain
    // colour: the picture's noise.
    double Noise = 0.0;
    // Share of the card covered by stain pixels, 0..1.
    double Coverage = 0.0;
    // Stains found below half the stain colour and sized by their colour.
    std::int64_t FaintStains = 0;
    // Stains of touching drops cut apart into their drops.
    std::int64_t CutStains = 0;
    // True when the card showed too few stain pixels to learn the stain
    // colour from, and a blue stain on yellow paper was assumed.
    bool AssumedStainColour = false;
};

struct PhotoCard {
    IndexedImage Image;
    ColourReduction Reduction;
    PhotoStainFacts Facts;
};

// The 8-bit card of a straightened photographed card at `dpi` on the card.
// Throws std::bad_alloc (or std::exception from OpenCV) when memory runs out.
PhotoCard segmentPhotoCard(const BgrView &card, double dpi);
// The same for a decoded picture of a card.
PhotoCard segmentPhotoCard(const ColourImage &card, double dpi);

// The segmented card as the pipeline takes a card's decoded file: its
// resolution recorded as `dpi`, its reduction noted (noteDecodedFacts), the
// figures then worked out by analyseCard as for any card.
DecodedPicture decodedPhotoCard(PhotoCard card, double dpi);

} // namespace vex
