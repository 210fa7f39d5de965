#pragma once
// The swath analysis between whole card spacings: the combined deposit of
// passes any distance apart, the offset of the pattern from the flight
// line, and how much the COV changes near the proposed width.
//
// The profile is taken as it lies between the cards, linear from card to
// card and falling to nothing one spacing beyond the outer cards.  The
// combined deposit repeats every width (every two widths when passes are
// flown back and forth); it is sampled at as many evenly spaced points of
// one repeat as the repeat holds card spacings, starting at card 1.  At a
// whole width those points are the cards' own places, so the figures are
// those of the whole-spacing analysis.

#include "line/Swath.h"

#include <vector>

namespace vex {

// Passes `width` spacings apart (width above 0), all flown the same way.
BlockStats racetrackAt(const std::vector<float> &profile, double width);
// Passes `width` spacings apart, every second one flown back; `k` and `f`
// place the cards on the spacing grid (see PositionNumbers).
BlockStats backAndForthAt(const std::vector<float> &profile, std::int32_t k, float f, double width);

struct FineWidth {
    double Width = 0.0; // in card spacings
    float Cov = 0.0f;
    float CovBackAndForth = 0.0f;
};

// Widths from one spacing to the widest whole width in steps of `step`
// spacings (0 < step <= 1), and at most MaxFineWidths of them.  At whole
// widths the profile's own width figures are taken, so both tables agree
// to the last digit.
inline constexpr long MaxFineWidths = 2000;
std::vector<FineWidth> fineWidths(const SwathProfile &profile, double step);

// The COV (racetrack) over the widths within one spacing of `width`.
struct CovSpread {
    bool Known = false;
    float Min = 0.0f;
    float Mean = 0.0f;
    float Max = 0.0f;
};
CovSpread covNear(const std::vector<FineWidth> &widths, double width);

// Where the deposit pattern lies across the line, in the line's length unit
// from the flight line: the centroid of the profile (the same for the
// profile linear between cards), and the middle of the span over which the
// profile lies above half its mean.  `known` is false for a profile without
// deposit.
struct PatternCentre {
    bool Known = false;
    double Centroid = 0.0;
    double HalfMeanCentre = 0.0;
};
PatternCentre patternCentre(const SwathProfile &profile, float interval);

} // namespace vex
