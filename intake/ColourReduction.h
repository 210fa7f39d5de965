#pragma once
// Reduction of a colour picture to the 8-bit picture the colour pass and the
// scan work on, without dithering: dithering would turn stain edges into
// speckle.
//
// A picture of at most 256 distinct colours keeps every colour exactly.  Its
// colours fill the table from index 1 on, most frequent first, ties by the
// value 0xRRGGBB; index 0 holds black and no pixel, because the colour pass
// never proposes index 0 as background or dither (a 256th colour, the least
// frequent, takes index 0).  So a 24-bit copy of an 8-bit card gives the
// same background, dither, stains and figures as the card itself.
//
// A picture of more colours (a photo, a JPEG) gets its table by k-means in
// CIELAB, where distances follow perceived colour and hue is kept, from a
// fixed sample with a fixed seed, so that the same file always gives the same
// picture; centres closer than a just clearly visible difference are then
// merged, so that the card's background is one or two colours again, as the
// colour pass expects.  Each pixel takes the nearest table colour; no error
// is spread.

#include "intake/ColourImage.h"
#include "intake/IndexedImage.h"

#include <functional>
#include <stdexcept>

namespace vex {

struct ReducedPicture {
    IndexedImage Image;
    ColourReduction Reduction;
};

// How far a reduction is, from 0 to 1, told from the thread it runs on now
// and then; false stops it with ReductionStopped.
using ReductionProgress = std::function<bool(double done)>;
struct ReductionStopped : std::runtime_error {
    ReductionStopped() : std::runtime_error("the reduction of the colours was stopped") {}
};

// Tells `progress` of the reductions this thread makes while it lives, for a
// reduction deep inside a decoder (a photo opened as a card).
class ReductionWatch {
public:
    explicit ReductionWatch(ReductionProgress progress);
    ~ReductionWatch();
    ReductionWatch(const ReductionWatch &) = delete;
    ReductionWatch &operator=(const ReductionWatch &) = delete;

private:
    ReductionProgress progress_;
    const ReductionProgress *outer_;
};

// Throws (std::bad_alloc, or std::exception from the k-means) when memory
// runs out; the caller turns that into a refusal of the card.  Without
// `progress`, the thread's watch is told, if there is one.
ReducedPicture reduceColours(const ColourImage &picture, const ReductionProgress &progress = {});

} // namespace vex
