#pragma once
// The drops of every scanned card pooled into one spectrum for the whole
// line, the same inside a selected size range, and the per-card figures the
// line graphs, the swath analysis and the results file read.

#include "analysis/DropStatistics.h"
#include "model/CardList.h"
#include "model/CardStat.h"
#include "model/CompositeResult.h"
#include "model/SprayInfo.h"

#include <optional>
#include <vector>

namespace vex {

// The pooled diameter class of a drop: its diameter to the nearest 0.1 um,
// halves to the even tenth, as a whole number of tenths.
std::int64_t compositeClassIndex(float diameter);

struct CompositeAll {
    CompositeResult Result;
    float MaxCardVMD = 0.0f; // the largest VMD of one scanned card
    // The share of the cards' area that stains cover, accepted or not: each
    // card's coverage weighted by its area, as the densities pool drops.
    double Coverage = 0.0;
};

// Pools the scanned cards that are not left out of the line.  Each drop
// counts once; the volume fractions are shares of the cards' own total
// volumes.  With no such card, or none with drops, the result is empty: no
// classes, VMD and densities 0.
CompositeAll calcCompositeAll(const CardList &cards);
// The same over the cards of several passes.
CompositeAll calcCompositeAll(const std::vector<const CardRecord *> &cards);

// The pooled classes inside the range, with fractions as shares of the range.
CompositeResult calcCompositeRange(const CompositeResult &all, float rangeLow, float rangeHigh);

// Index 1..CardCount (element 0 unused); unscanned cards and those left out
// of the line stay 0.  With a
// range selected, each card's figures are those inside the range.
std::vector<CardStat> fillCardStats(const CardList &cards, bool rangeIsSelected, float rangeLow, float rangeHigh);
// Each card's Dv0.1, Dv0.9, relative span and NMD, taken as fillCardStats
// takes its figures; none where those figures come from no spectrum (a card
// left out or unscanned, no drops in the range, a point of a mean).
std::vector<std::optional<SpectrumFigures>> fillCardSpectra(const CardList &cards, bool rangeIsSelected, float rangeLow,
                                                            float rangeHigh);

} // namespace vex
