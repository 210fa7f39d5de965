#pragma once
// Separation of stains that touch: the distance of each stain pixel from
// the card around it has a peak at the middle of every drop, and a stain
// made of several drops is cut along the valleys between them.

#include <cstdint>
#include <vector>

namespace vex {

// One row's run of a stain's pixels, columns First..Last (1-based, as the
// pixel list numbers them).
struct StainSpan {
    std::int32_t Row = 0;
    std::int32_t First = 0;
    std::int32_t Last = 0;
    std::size_t IndexOffset = 0; // of its first pixel in the list's index bytes
};

struct StainParts {
    std::int32_t Count = 1;
    // The part (0..Count-1) of every pixel, spans in order and left to right
    // within each; empty when the stain stays whole.
    std::vector<std::int32_t> PartOf;
};

// A stain whose distance map has two or more peaks, each at least
// `minPeak` pixels from the edge of the stain, is cut by a watershed from
// those peaks; every pixel goes to one part.
StainParts splitStain(const std::vector<StainSpan> &spans, double minPeak = 2.0);

} // namespace vex
