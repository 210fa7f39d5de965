#pragma once
// What must hold for any input, checked after the code under test returns.
// A broken promise stops the fuzzer like a crash would, so the input is kept.
//
// Where the code under test is fast and clever (word-at-a-time scans, block
// copies), the checks redo the work the slow and obvious way and compare.

#include "analysis/DropStatistics.h"
#include "analysis/StainScan.h"
#include "intake/ColourPass.h"
#include "intake/Hue.h"
#include "intake/IndexedImage.h"
#include "model/CardRecord.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vex::fuzz {

// A trap rather than abort(): no handler, no unwinding, and the stack the
// fuzzer prints ends at the broken promise.
inline void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

inline void requireWellFormed(const IndexedImage &image)
{
    require(image.Width > 0 && image.Height > 0);
    require(image.Pixels.size() == static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height));
    require(image.PaletteBgr.size() >= 3 && image.PaletteBgr.size() <= 768 && image.PaletteBgr.size() % 3 == 0);
    require(image.StoredSample.size() <= std::size_t{5} * static_cast<std::size_t>(image.Width));
}

inline bool samePicture(const IndexedImage &a, const IndexedImage &b)
{
    return a.Width == b.Width && a.Height == b.Height && a.PaletteBgr == b.PaletteBgr && a.Pixels == b.Pixels &&
           a.StoredSample == b.StoredSample;
}

// Rows the pixel buffer really holds: a buffer short of the stated size is
// read only as far as it goes.
inline std::int32_t rowsHeld(const IndexedImage &image)
{
    if (image.Width <= 0)
        return std::max(image.Height, 0);
    const std::size_t full = image.Pixels.size() / static_cast<std::size_t>(image.Width);
    return static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(std::max(image.Height, 0)), full));
}

inline ColourSample plainSample(const IndexedImage &image)
{
    ColourSample sample;
    if (!image.StoredSample.empty()) {
        for (const std::uint8_t index : image.StoredSample)
            ++sample.Counts[index];
        sample.Size = static_cast<std::int64_t>(image.StoredSample.size());
        return sample;
    }
    const std::size_t rows = static_cast<std::size_t>(std::clamp(image.Height, 0, 5));
    const std::size_t bytes = std::min(rows * static_cast<std::size_t>(std::max(image.Width, 0)), image.Pixels.size());
    for (std::size_t i = 0; i < bytes; ++i)
        ++sample.Counts[image.Pixels[i]];
    sample.Size = static_cast<std::int64_t>(bytes);
    return sample;
}

// The two leaders by sorting: most frequent first, lower index first on a tie,
// an index never seen counting as none.
inline LeadingColours plainLeaders(const std::array<std::int64_t, 256> &counts)
{
    std::vector<int> order;
    for (int i = 1; i < 256; ++i)
        order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return counts[static_cast<std::size_t>(a)] > counts[static_cast<std::size_t>(b)];
    });
    LeadingColours lead;
    const std::int64_t first = counts[static_cast<std::size_t>(order[0])];
    const std::int64_t second = counts[static_cast<std::size_t>(order[1])];
    if (first > 0) {
        lead.First = static_cast<std::uint8_t>(order[0]);
        lead.FirstCount = first;
    }
    if (second > 0) {
        lead.Second = static_cast<std::uint8_t>(order[1]);
        lead.SecondCount = second;
    }
    return lead;
}

// What the pixel pass must have left in the card, computed pixel by pixel.
inline void requirePassResult(const CardRecord &card, const IndexedImage &image)
{
    require(card.ColoursKnown);
    const int entries = std::min(image.paletteCount(), 256);
    require(card.Palette.size() == static_cast<std::size_t>(3 * entries));
    require(std::equal(card.Palette.begin(), card.Palette.end(), image.PaletteBgr.begin()));
    for (int i = 0; i < 257; ++i) {
        const std::int32_t hue = card.PaletteHue[static_cast<std::size_t>(i)];
        if (i < entries) {
            const std::uint8_t *bgr = image.PaletteBgr.data() + 3 * i;
            require(hue == hueOf(bgr[2], bgr[1], bgr[0]));
        } else {
            require(hue == 0);
        }
    }

    const std::int32_t width = std::max(image.Width, 0);
    const std::int32_t height = rowsHeld(image);
    std::vector<ForegroundPixel> expected;
    std::array<std::int32_t, 257> hueCount{};
    std::int32_t lastRow = height;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t index = image.row(y)[x];
            if (index == card.BackgroundIndex || index == card.DitherIndex)
                continue;
            ForegroundPixel p;
            p.Hue = static_cast<std::uint8_t>(card.PaletteHue[index]);
            p.Row = height - y;
            p.Column = x + 1;
            p.PaletteIndex = index;
            expected.push_back(p);
            ++hueCount[p.Hue];
            lastRow = p.Row;
        }
    }
    ForegroundPixel closing;
    closing.Hue = static_cast<std::uint8_t>(card.PaletteHue[0]);
    closing.Row = lastRow;
    closing.Column = width;
    closing.PaletteIndex = 0;
    expected.push_back(closing);

    require(card.ForegroundPixels.closed());
    require(card.ForegroundPixels.size() + 1 == expected.size());
    require(card.ForegroundPixels.toVector() == expected);
    require(card.HueCount == hueCount);

    // Runs are maximal: two runs of one row never touch.
    const auto &runs = card.ForegroundPixels.runs();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        require(runs[i].Length > 0);
        if (i > 0 && runs[i - 1].Row == runs[i].Row)
            require(runs[i - 1].Column + runs[i - 1].Length < runs[i].Column);
    }
}

// Colour pass, scan and statistics on a picture, as opening and scanning a
// card does with every question answered yes.  Callers may leave the scan
// out for rows thousands of pixels wide, to spend the run on the decoder.
inline void analyse(const IndexedImage &image, bool scanToo = true)
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
    require(!noBackgroundWarning && !noDitherWarning);

    // The choice, redone from a sample counted byte by byte.
    const ColourSample sample = plainSample(image);
    const ColourSample fast = sampleColours(image);
    require(fast.Size == sample.Size && fast.Counts == sample.Counts);
    const LeadingColours lead = plainLeaders(sample.Counts);
    const LeadingColours fastLead = leadingColours(sample.Counts);
    require(fastLead.First == lead.First && fastLead.FirstCount == lead.FirstCount && fastLead.Second == lead.Second &&
            fastLead.SecondCount == lead.SecondCount);
    const std::uint8_t background = lead.FirstCount > sample.Counts[0] ? lead.First : 0;
    const bool dither = sample.Size > 0 && lead.SecondCount * 10 > sample.Size;
    require(card.BackgroundIndex == background);
    require(card.DitherIndex == (dither ? lead.Second : background));

    requirePassResult(card, image);
    if (!scanToo)
        return;

    const ScanResult scan = traceStains(card.ForegroundPixels, ScanSettings{});
    require(!scan.Cancelled);
    // No bound on the sum: a folded leg's area may count in more than one stain.
    for (const std::int32_t a : scan.AcceptedAreas)
        require(a > 0);
    computeCardStatistics(card, scan.AcceptedAreas, {0.0, 0.56, 0.0});
    if (!scan.AcceptedAreas.empty()) {
        require(std::isfinite(card.VMD) && card.VMD > 0.0);
        require(card.VMD <= card.LargestDiameter + 1e-3);
    }
}

} // namespace vex::fuzz
