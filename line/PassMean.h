#pragma once
// The mean of several passes over the same line, as pattern testing takes
// it: each pass's deposit and drop density profile laid on one grid, the
// profiles averaged position by position, and the swath analysis run on the
// mean.  The drops of every pass's cards are pooled for the spectrum.

#include "line/LineAnalysis.h"
#include "model/LinePass.h"

#include <vector>

namespace vex {

// What the analysis of one pass takes: the run's settings with the pass's
// own spray information; positions the pass lacks are the run's.
AnalysisSettings passSettings(const AnalysisSettings &settings, const LinePass &pass);

struct PassMean {
    std::vector<int> Passes; // the passes in the mean, 1-based
    // One record per point of the common grid, at its position, with the
    // mean figures and no size classes: what the views that draw a line of
    // cards draw.
    CardList Points;
    // The spray information the points lie by (the first pass's, with the
    // grid's start and spacing).
    SprayInfo Spray;
    // Passes that reach each point, 1..N.
    std::vector<int> Reach;
    // The pooled spectrum of all their cards, the mean figures per point
    // and the swath analysis of the mean.
    LineResults Line;
    // Each pass as analysed on its own, in the order of `Passes`.
    std::vector<LineResults> Each;
};

// `which` lists passes (1-based) of `passes`; an empty list takes those
// marked InMean.  Each pass's cards are placed along the line as its own
// analysis places them.  `previous` keeps the chosen swath widths.
PassMean meanOfPasses(std::vector<LinePass> &passes, std::vector<int> which, const AnalysisSettings &settings,
                      const LineResults *previous = nullptr);

} // namespace vex
