#pragma once
// What must hold for any input, checked after the code under test returns.
// A broken promise stops the fuzzer like a crash would.

#include "analysis/DropStatistics.h"
#include "analysis/StainScan.h"
#include "app/CardRecord.h"
#include "intake/ColourPass.h"
#include "intake/IndexedImage.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace vex::fuzz {

inline void require(bool condition)
{
    if (!condition)
        std::abort();
}

inline void requireWellFormed(const IndexedImage &image)
{
    require(image.Width > 0 && image.Height > 0);
    require(image.Pixels.size() == static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height));
    require(!image.PaletteBgr.empty() && image.PaletteBgr.size() <= 768 && image.PaletteBgr.size() % 3 == 0);
}

// Colour pass, scan and statistics on a picture, as opening and scanning a
// card does with every question answered yes.
inline void analyse(const IndexedImage &image)
{
    CardRecord card;
    card.ImageWidth = image.Width;
    card.ImageHeight = image.Height;
    card.PixelSizeX = card.PixelSizeY = 25400.0 / 1200.0;
    card.CardArea = 1.0;
    bool noBackgroundWarning = false;
    bool noDitherWarning = false;
    const PassOutcome outcome = runColourPass(card, image, noBackgroundWarning, noDitherWarning, {}, {});
    require(outcome == PassOutcome::Complete);

    std::uint64_t stainPixels = 0;
    for (const std::uint8_t index : image.Pixels)
        stainPixels += index != card.BackgroundIndex && index != card.DitherIndex ? 1 : 0;
    require(card.ForegroundPixels.size() == stainPixels);
    std::uint64_t counted = 0;
    for (const std::int32_t count : card.HueCount)
        counted += static_cast<std::uint64_t>(count);
    require(counted == stainPixels);

    const ScanResult scan = traceStains(card.ForegroundPixels, ScanSettings{});
    require(!scan.Cancelled);
    computeCardStatistics(card, scan.AcceptedAreas, {0.0, 0.56, 0.0});
    if (!scan.AcceptedAreas.empty()) {
        require(std::isfinite(card.VMD) && card.VMD > 0.0);
        require(card.VMD <= card.LargestDiameter + 1e-3);
    }
}

} // namespace vex::fuzz
