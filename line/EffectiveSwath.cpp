#include "line/EffectiveSwath.h"

#include "line/SwathDisplay.h"
#include "text/NumberText.h"

#include <cmath>

namespace vex {

std::optional<double> nominalSprayRate(const SprayInfo &spray)
{
    const std::optional<double> rate = parseNumber(spray[Spray_SprayRate]);
    if (!rate || !std::isfinite(*rate) || !(*rate > 0.0))
        return std::nullopt;
    return rate;
}

namespace {

EffectiveWidth widestWithin(const SwathProfile &profile, const std::vector<FineWidth> &fine, double target,
                            bool backAndForth, float interval, double factor, const SprayInfo &spray)
{
    EffectiveWidth e;
    // Single precision COVs against a target typed in two decimals: a COV
    // that prints as the target is within it.
    const double slack = 1e-6;
    for (const FineWidth &w : fine) {
        const double cov = backAndForth ? w.CovBackAndForth : w.Cov;
        if (cov <= target + slack && (!e.Known || w.Width > e.Width)) {
            e.Known = true;
            // The steps add up to widths like 4.800000000000001.
            e.Width = std::round(w.Width * 1e9) / 1e9;
            e.Cov = cov;
        }
    }
    if (!e.Known)
        return e;
    e.WidthLength = e.Width * static_cast<double>(interval);
    // At whole widths the whole-spacing analysis's own mean, as the widths
    // table reports it.
    const double whole = std::round(e.Width);
    float mean = 0.0f;
    if (std::fabs(e.Width - whole) < 1e-9 && whole >= 1.0 && whole < static_cast<double>(profile.Widths.size())) {
        const WidthStats &w = profile.Widths[static_cast<std::size_t>(whole)];
        mean = backAndForth ? w.MeanBackAndForth : w.Mean;
    } else {
        mean = (backAndForth ? backAndForthAt(profile.Profile, profile.K, profile.F, e.Width)
                             : racetrackAt(profile.Profile, e.Width))
                   .Mean;
    }
    e.Mean = static_cast<double>(mean) * factor * swathRatioAt(e.Width, spray);
    return e;
}

} // namespace

EffectiveSwath effectiveSwath(const SwathProfile &profile, const std::vector<FineWidth> &fine, double target,
                              float interval, double factor, const SprayInfo &spray, bool withRecovery)
{
    EffectiveSwath s;
    s.Target = target;
    s.OneWay = widestWithin(profile, fine, target, false, interval, factor, spray);
    s.BackAndForth = widestWithin(profile, fine, target, true, interval, factor, spray);
    if (withRecovery)
        if (const std::optional<double> rate = nominalSprayRate(spray))
            for (EffectiveWidth *e : {&s.OneWay, &s.BackAndForth})
                if (e->Known)
                    e->RecoveredShare = e->Mean / *rate;
    return s;
}

} // namespace vex
