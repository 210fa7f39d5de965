#pragma once
// The effective swath: the widest width, among the widths between whole
// card spacings, whose COV stays at or below a target, for passes flown one
// way and back and forth; the mean deposit there and, given the nominal
// spray rate, the share of it the cards recovered.

#include "line/Swath.h"
#include "line/SwathFine.h"
#include "model/SprayInfo.h"

#include <optional>
#include <vector>

namespace vex {

struct EffectiveWidth {
    bool Known = false; // false when no width reaches the target
    double Width = 0.0; // in card spacings
    double WidthLength = 0.0;
    double Cov = 0.0;
    double Mean = 0.0; // in the unit the widths' means are reported in
    std::optional<double> RecoveredShare;
};

struct EffectiveSwath {
    double Target = 0.20;
    EffectiveWidth OneWay;
    EffectiveWidth BackAndForth;
};

// The COV targets every output lists beside the chosen one.
inline constexpr double CovTargets[] = {0.10, 0.15, 0.20, 0.25};

// `factor` turns the profile's values into the reported unit (the rate
// factor for the deposit, 1 for the drop density); the mean is normalised
// to the aircraft's swath as the whole widths' means are.  With
// `withRecovery`, the recovered share against the spray information's
// spray rate, when one is given.
EffectiveSwath effectiveSwath(const SwathProfile &profile, const std::vector<FineWidth> &fine, double target,
                              float interval, double factor, const SprayInfo &spray, bool withRecovery);

// The nominal spray rate typed in the spray information, when it is a
// number above 0.
std::optional<double> nominalSprayRate(const SprayInfo &spray);

} // namespace vex
