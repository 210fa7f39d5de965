#pragma once
// The units the figures are shown and written in: deposits in nL/cm² inside
// the analysis, shown as L/ha or oz/ac; lengths in m or ft; speed in km/h or
// mph; by the one Metric preference.

namespace vex {

// nL/cm² to the rate unit: 0.1 for L/ha, 1.368 for oz/ac.
inline constexpr float MetricRateFactor = 0.1f;
inline constexpr float ImperialRateFactor = 1.368f;

inline float rateFactor(bool metric)
{
    return metric ? MetricRateFactor : ImperialRateFactor;
}
inline const char *rateUnit(bool metric)
{
    return metric ? "L/ha" : "oz/ac";
}
inline const char *lengthUnit(bool metric)
{
    return metric ? "m" : "ft";
}
inline const char *speedUnit(bool metric)
{
    return metric ? "km/h" : "mph";
}

} // namespace vex
