#include "app/Preferences.h"

#include "analysis/DropStatistics.h"
#include "line/SettingsTable.h"

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
    const AnalysisSettings &a = state.Analysis;
    f.Resolution = std::to_string(a.Resolution);
    for (std::size_t i = 0; i < 3; ++i)
        f.Spread[i] = formatCoefficient(module.SpreadFactor[i]);
    f.Roundness = std::to_string(a.Scan.ShapeThreshold);
    f.Hues = std::to_string(a.Scan.HueThreshold);
    f.Metric = module.Metric;
    f.Log = a.Log;
    f.Append = a.Append;
    f.LogSprayInfo = a.LogSprayInfo;
    for (const SettingDecl &d : settingsTable()) {
        if (!d.Widget)
            continue;
        if (d.Kind == SettingKind::Flag)
            f.Flags[d.Name] = d.Get(a) != 0.0;
        else
            f.Numbers[d.Name] = settingFieldText(d, a);
    }
    f.ConfidenceIntervals = state.ConfidenceIntervals;
    return f;
}

bool acceptPrefs(const PrefsForm &form, Preferences &state, ModuleState &module, std::string *problem)
{
    const auto refuse = [problem](std::string why) {
        if (problem)
            *problem = std::move(why);
        return false;
    };
    AnalysisSettings &a = state.Analysis;
    module.Metric = form.Metric;
    // A resolution of zero or less would give every card an infinite pixel
    // size; it is refused like any value that does not convert.
    const std::optional<long> resolution = toInteger(form.Resolution, 1, MaxResolution);
    if (!resolution)
        return refuse(InvalidPrefsMessage);
    a.Resolution = static_cast<std::int32_t>(*resolution);
    a.Log = form.Log;
    a.Append = form.Append;
    a.LogSprayInfo = form.LogSprayInfo;
    for (const auto &[name, on] : form.Flags)
        if (const SettingDecl *d = findSetting(name))
            d->Set(a, on ? 1.0 : 0.0);
    state.ConfidenceIntervals = form.ConfidenceIntervals;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::optional<double> v = parseNumber(form.Spread[i]);
        if (!v || !spreadCoefficientSound(i, *v))
            return refuse(InvalidPrefsMessage);
        module.SpreadFactor[i] = *v;
    }
    const std::optional<long> roundness = toInteger(form.Roundness, 0, 255);
    if (!roundness)
        return refuse(InvalidPrefsMessage);
    a.Scan.ShapeThreshold = static_cast<std::uint8_t>(*roundness);
    const std::optional<long> hues = toInteger(form.Hues, 0, 255);
    if (!hues)
        return refuse(InvalidPrefsMessage);
    a.Scan.HueThreshold = static_cast<std::uint8_t>(*hues);
    for (const SettingDecl &d : settingsTable()) {
        const auto typed = form.Numbers.find(d.Name);
        if (typed == form.Numbers.end())
            continue;
        const std::optional<double> v = settingFromField(d, typed->second);
        if (!v)
            return refuse(std::string(d.Title) + " must be " + d.mustBe() + ".");
        d.setUserValue(a, *v);
    }
    return true;
}

} // namespace vex
