#pragma once
// Groups the stain pixels of a card into stains, row by row from the bottom
// of the image up, and decides which stains count as drops.
//
// The tracing rules (a run joins only the first open stain it touches, the
// fold of a second leg into the first where two legs meet) are kept exactly
// as they have always been, so that counts stay comparable with results
// users already hold, even where a cleaner labelling would differ.

#include "model/CardRecord.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace vex {

struct ScanSettings {
    std::uint8_t HueLow = 0;
    std::uint8_t HueHigh = 255;
    // Valid hues lie outside HueLow..HueHigh.
    bool HueInvert = false;
    // "Drop Roundness" and "% Valid Hues" preferences, 0..255.
    std::uint8_t ShapeThreshold = 100;
    std::uint8_t HueThreshold = 0;
};

// The limits as the tests compare them: single precision.
float shapeLimit(std::uint8_t shapeThreshold);
float hueLimit(std::uint8_t hueThreshold);

bool hueIsValid(std::uint8_t hue, const ScanSettings &settings);

struct ScanCallbacks {
    // Asked at the start of every image row; true stops the scan.
    std::function<bool()> CancelRequested;
    // The index (1-based) of the last list entry read that is a multiple of 25.
    std::function<void(std::uint64_t)> Progress;
    // After every row: where the window lets pending events run.
    std::function<void()> RowDone;
};

struct ScanResult {
    bool Cancelled = false;
    // Areas in pixels of the accepted stains, in the order they were closed.
    std::vector<std::int32_t> AcceptedAreas;
    std::int32_t RejectedCount = 0;
};

// Traces the stains of `pixels`, which must end with its closing record.
// On cancel the result holds nothing of the partial scan.
ScanResult traceStains(const ForegroundPixelList &pixels, const ScanSettings &settings,
                       const ScanCallbacks &callbacks = {});

} // namespace vex
