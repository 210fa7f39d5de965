#pragma once
// 95 % confidence intervals of the line's figures from resampling the stains
// of its cards: the pooled VMD, the drop density and the COV of the deposit
// at the chosen swath width.

#include "analysis/Bootstrap.h"
#include "line/LineAnalysis.h"
#include "model/CardList.h"

#include <cstdint>
#include <string>

namespace vex {

struct LineIntervals {
    bool Known = false;
    // DepositCov stays 0 to 0 when the line has no swath analysis or no
    // chosen width.
    Interval Vmd, DropDensity, DepositCov;
};

// `line` as analyseLine gave it for `cards` and `settings`: the pooled VMD
// (inside the selected size range when one cuts drops off), all drops per
// area of the cards that count, and the racetrack COV of the deposit at
// line.Deposit.SelectedWidth.  Not known for a line without drops or no
// replicate.  The figures are the same on any number of `threads`.
LineIntervals lineIntervals(const CardList &cards, const LineResults &line, const AnalysisSettings &settings,
                            int replicates, std::uint64_t seed = BootstrapSeed, int threads = 1);

// In words for the window: "95 %: VMD 397.0 - 434.3 µm, 42.35 - 44.72
// drops/cm²", or for the swath analysis "95 %: COV 0.17 - 0.35"; empty
// when not known.
std::string intervalsText(const CardIntervals &ci);
std::string intervalsText(const LineIntervals &ci, bool cov);

} // namespace vex
