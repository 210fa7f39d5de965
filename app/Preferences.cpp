#include "app/Preferences.h"

#include "analysis/DropStatistics.h"

#include "model/CardGeometry.h"
#include "text/NumberText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace vex {

namespace {

constexpr double ResolutionReadOutLimit = 32500.0;

// Whole numbers are rounded half to even, as the program's integer
// conversions always did; out of range is a conversion error.
std::optional<long> toInteger(const std::string &text, long low, long high)
{
    const std::optional<double> v = parseNumber(text);
    if (!v)
        return std::nullopt;
    const double r = std::nearbyint(*v);
    if (r < static_cast<double>(low) || r > static_cast<double>(high))
        return std::nullopt;
    return static_cast<long>(r);
}

} // namespace

std::string conversionLabelText(const std::string &resolutionText)
{
    const std::optional<double> v = parseNumber(resolutionText);
    if (!v)
        return "=";
    // The range is tested on the number itself, before any integer
    // conversion, so a huge entry cannot overflow one.
    const double whole = std::trunc(*v);
    if (whole == 0.0 || whole > ResolutionReadOutLimit || whole < -ResolutionReadOutLimit)
        return "=";
    const double micrometres = ((1.0 / whole) / 12.0 / 3.2808) * 1e6;
    return "= " + formatFixed(micrometres, 2) + " " + MicroSign + "m/pixel";
}

std::string coefficientOnLeave(const std::string &text, double current)
{
    return parseNumber(text) ? text : formatCoefficient(current);
}

std::string thresholdOnLeave(const std::string &text, std::uint8_t current)
{
    const std::optional<double> v = parseNumber(text);
    if (!v)
        return std::to_string(current);
    if (*v > 100.0)
        return "100";
    return text;
}

PrefsForm prefsFormFrom(const Preferences &state, const ModuleState &module)
{
    PrefsForm f;
    f.Resolution = std::to_string(state.DefaultRes);
    for (std::size_t i = 0; i < 3; ++i)
        f.Spread[i] = formatCoefficient(module.SpreadFactor[i]);
    f.Roundness = std::to_string(state.ShapeThreshold);
    f.Hues = std::to_string(state.HueThreshold);
    f.Metric = module.Metric;
    f.Log = state.LogAnalysis;
    f.Append = state.Append;
    f.LogSprayInfo = state.LogSprayInfo;
    f.ReduceColours = state.ReduceColours;
    f.ResolutionFromFile = state.ResolutionFromFile;
    f.DenseCoverage = std::to_string(state.DenseCoveragePercent);
    f.ExtendedFigures = state.ExtendedFigures;
    f.SplitTouching = state.SplitTouching;
    f.NaturalOrder = state.NaturalOrder;
    f.WidthStep = significantText(state.SwathWidthStep, 6);
    f.CentrePattern = state.CentrePattern;
    f.ConfidenceIntervals = state.ConfidenceIntervals;
    return f;
}

bool acceptPrefs(const PrefsForm &form, Preferences &state, ModuleState &module)
{
    module.Metric = form.Metric;
    // A resolution of zero or less would give every card an infinite pixel
    // size; it is refused like any value that does not convert.
    const std::optional<long> resolution = toInteger(form.Resolution, 1, MaxResolution);
    if (!resolution)
        return false;
    state.DefaultRes = static_cast<std::int32_t>(*resolution);
    state.LogAnalysis = form.Log;
    state.Append = form.Append;
    state.LogSprayInfo = form.LogSprayInfo;
    state.ReduceColours = form.ReduceColours;
    state.ResolutionFromFile = form.ResolutionFromFile;
    state.ExtendedFigures = form.ExtendedFigures;
    state.SplitTouching = form.SplitTouching;
    state.NaturalOrder = form.NaturalOrder;
    state.CentrePattern = form.CentrePattern;
    state.ConfidenceIntervals = form.ConfidenceIntervals;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::optional<double> v = parseNumber(form.Spread[i]);
        if (!v || !spreadCoefficientSound(i, *v))
            return false;
        module.SpreadFactor[i] = *v;
    }
    const std::optional<long> roundness = toInteger(form.Roundness, 0, 255);
    if (!roundness)
        return false;
    state.ShapeThreshold = static_cast<std::uint8_t>(*roundness);
    const std::optional<long> hues = toInteger(form.Hues, 0, 255);
    if (!hues)
        return false;
    state.HueThreshold = static_cast<std::uint8_t>(*hues);
    const std::optional<long> dense = toInteger(form.DenseCoverage, 1, 100);
    if (!dense)
        return false;
    state.DenseCoveragePercent = static_cast<std::int32_t>(*dense);
    const std::optional<double> step = parseNumber(form.WidthStep);
    if (!step || !(*step >= 0.01 && *step <= 1.0))
        return false;
    state.SwathWidthStep = *step;
    return true;
}

} // namespace vex
