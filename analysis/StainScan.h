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
    friend bool operator==(const ScanSettings &, const ScanSettings &) = default;
    std::uint8_t HueLow = 0;
    std::uint8_t HueHigh = 255;
    // Valid hues lie outside HueLow..HueHigh.
    bool HueInvert = false;
    // "Drop Roundness" and "% Valid Hues" preferences, 0..255.
    std::uint8_t ShapeThreshold = 100;
    std::uint8_t HueThreshold = 0;
    // A record of every stain, for the stain table; off, the scan keeps
    // only what the figures need.
    bool KeepStains = false;
    // Stains made of several touching drops are cut apart by a watershed
    // and each part tested on its own.
    bool SplitTouching = false;
    // With KeepStains, the pixels of every stain as well, so that a picture
    // can show which stain each pixel went to.  Only the window asks.
    bool KeepPixels = false;
};

// The limits as the tests compare them: single precision.
float shapeLimit(std::uint8_t shapeThreshold);
float hueLimit(std::uint8_t hueThreshold);

bool hueIsValid(std::uint8_t hue, const ScanSettings &settings);

struct ScanCallbacks {
    // Asked at the start of every image row; true stops the scan.
    std::function<bool()> CancelRequested;
    // The index (1-based) of the last list entry read that is a multiple of
    // 25, told once the runs of a row are read when it has moved on: a row
    // of a dense card holds hundreds of such entries, and a call for each
    // cost the batch tool more than the tracing of the row.
    std::function<void(std::uint64_t)> Progress;
    // After every row: where the window lets pending events run.
    std::function<void()> RowDone;
};

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

// How the scan ended with a stain: one of the reasons above, or
// Folded: a leg the trace gave to a stain it met, whose area was counted
// with that stain and which is neither a drop nor rejected itself.
enum class StainOutcome : std::uint8_t { NoValidHue, NotRound, TooFewValidHues, Accepted, Folded };

// One stain as the stain table shows it.  Coordinates are pixels from the
// left and top edges, 0-based.
struct StainRecord {
    std::int64_t Pixels = 0;       // its own pixels: the rows of a card add up to its stain pixels
    std::int64_t MeasuredArea = 0; // the area the tests used and the drop is sized from
    double CentroidX = 0.0;        // of its own pixels
    double CentroidY = 0.0;
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    double MeanHue = 0.0;
    double Roundness = 0.0; // |1 - area / disc of its extent|, as compared with "Drop Roundness"
    StainOutcome Outcome = StainOutcome::Accepted;
    std::int32_t Part = 0; // k of Parts when the stain was cut apart, else 0
    std::int32_t Parts = 0;
};

// A row's run of pixels of one stain, in the coordinates of StainRecord;
// Stain is the stain's index among the scan's records.
struct StainRun {
    std::int32_t Row = 0;
    std::int32_t First = 0;
    std::int32_t Last = 0;
    std::int32_t Stain = 0;
};

struct ScanResult {
    bool Cancelled = false;
    std::uint64_t StainPixels = 0;
    // Areas in pixels of the accepted stains, in the order they were closed.
    std::vector<std::int32_t> AcceptedAreas;
    std::int32_t RejectedCount = 0;
    RejectedTally Rejected;
    // With SplitTouching: stains cut apart, and the parts they gave.
    std::int32_t SplitStains = 0;
    std::int32_t SplitParts = 0;
    std::vector<StainRecord> Stains; // with KeepStains, in closing order
    std::vector<StainRun> StainRuns; // with KeepPixels, every stain's own pixels
};

// Traces the stains of `pixels`, which must end with its closing record.
// On cancel the result holds nothing of the partial scan.
ScanResult traceStains(const ForegroundPixelList &pixels, const ScanSettings &settings,
                       const ScanCallbacks &callbacks = {});

} // namespace vex
