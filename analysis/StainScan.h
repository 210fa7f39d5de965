#pragma once
// Groups the stain pixels of a card into stains, row by row from the bottom
// of the image up, and decides which stains count as drops.
//
// The tracing rules (a run joins only the first open stain it touches, the
// fold of a second leg into the first where two legs meet) are kept exactly
// as they have always been, so that counts stay comparable with results
// users already hold, even where a cleaner labelling would differ.

#include "model/CardRecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
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

// Why a stain was not counted as a drop.
enum class RejectReason : std::uint8_t {
    NoValidHue,      // not one pixel of a hue in the range
    NotRound,        // its area is too far from the disc of its extent
    TooFewValidHues, // fewer pixels of a valid hue than "% Valid Hues" asks
};
inline constexpr std::size_t RejectReasons = 3;

// The rejected stains of a card, counted by reason and by area: a card of
// millions of specks keeps a table the size of its largest stain, not a
// record per speck.
class RejectedTally {
public:
    void add(std::int32_t area, RejectReason reason)
    {
        const auto r = static_cast<std::size_t>(reason);
        ++count_[r];
        area_[r] += area;
        if (area >= 0 && area < SmallAreas) {
            if (static_cast<std::size_t>(area) >= small_.size())
                small_.resize(static_cast<std::size_t>(area) + 1, 0);
            ++small_[static_cast<std::size_t>(area)];
        } else {
            ++large_[area];
        }
    }
    std::int32_t count(RejectReason reason) const { return count_[static_cast<std::size_t>(reason)]; }
    std::int64_t area(RejectReason reason) const { return area_[static_cast<std::size_t>(reason)]; }
    std::int64_t totalArea() const { return area_[0] + area_[1] + area_[2]; }
    // f(area, how many stains of that area), areas ascending.
    template <class F>
    void forEachArea(F &&f) const
    {
        for (std::size_t a = 0; a < small_.size(); ++a)
            if (small_[a] != 0)
                f(static_cast<std::int32_t>(a), small_[a]);
        for (const auto &[a, n] : large_)
            f(a, n);
    }

private:
    static constexpr std::int32_t SmallAreas = 4096;
    std::array<std::int32_t, RejectReasons> count_{};
    std::array<std::int64_t, RejectReasons> area_{};
    std::vector<std::int64_t> small_;
    std::map<std::int32_t, std::int64_t> large_;
};

struct ScanResult {
    bool Cancelled = false;
    // Areas in pixels of the accepted stains, in the order they were closed.
    std::vector<std::int32_t> AcceptedAreas;
    std::int32_t RejectedCount = 0;
    RejectedTally Rejected;
};

// Traces the stains of `pixels`, which must end with its closing record.
// On cancel the result holds nothing of the partial scan.
ScanResult traceStains(const ForegroundPixelList &pixels, const ScanSettings &settings,
                       const ScanCallbacks &callbacks = {});

} // namespace vex
