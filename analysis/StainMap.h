#pragma once
// Which stain every pixel of a card went to, from the runs a scan kept with
// KeepPixels: what the picture of the card shows over each stain, and the
// stain under the pointer.

#include "analysis/StainScan.h"

#include <cstdint>
#include <vector>

namespace vex {

// What a pixel of the outline picture shows: nothing, the edge of a stain
// (1 + its outcome), or the cut between two parts of a stain cut apart.
enum class OutlineCode : std::uint8_t {
    None = 0,
    NoValidHue = 1,
    NotRound = 2,
    TooFewValidHues = 3,
    Accepted = 4,
    Folded = 5,
    Cut = 6,
};
inline constexpr int OutlineCodes = 7;

OutlineCode outlineCode(StainOutcome outcome);

class StainMap {
public:
    StainMap() = default;
    StainMap(std::vector<StainRun> runs, std::vector<StainRecord> stains);

    bool empty() const { return stains_.empty(); }
    const std::vector<StainRecord> &stains() const { return stains_; }
    // The index of the stain pixel (x, y) went to; -1 for the card.
    std::int32_t stainAt(std::int32_t x, std::int32_t y) const;
    // Row after row, one code for every pixel of a width x height picture:
    // the pixels of a stain that border on anything but the stain itself
    // (the card, the picture's edge, another stain) carry its outcome, those
    // that border on another part of the same cut stain the cut.
    std::vector<std::uint8_t> outlines(std::int32_t width, std::int32_t height) const;
    // How many stains ended with each outcome, by OutlineCode; Cut counts
    // the stains cut apart.
    std::vector<std::int64_t> counts() const;

private:
    // The stain pixel (x, y) went to, from the runs of row y only.
    std::int32_t stainIn(std::size_t rowFirst, std::size_t rowEnd, std::int32_t x) const;
    // The first run of each stain that was cut: parts of one stain share it.
    std::int32_t wholeOf(std::int32_t stain) const;
    void fillRow(std::int32_t y, std::int32_t width, std::vector<std::int32_t> &labels) const;

    std::vector<StainRun> runs_; // by row, then column
    std::vector<StainRecord> stains_;
    std::int32_t firstRow_ = 0;
    std::vector<std::size_t> rowStart_; // per row from firstRow_, one past the last
};

} // namespace vex
