#include "app/Preferences.h"

#include "line/SprayQuality.h"

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

// Typed whole numbers that are not whole are refused, not rounded.
std::optional<long> toWhole(const std::string &text, long low, long high)
{
    const std::optional<double> v = parseNumber(text);
    if (!v || *v != std::trunc(*v) || *v < static_cast<double>(low) || *v > static_cast<double>(high))
        return std::nullopt;
    return static_cast<long>(*v);
}

// The sides parseCardSize takes, in millimetres.
constexpr double MinCardSideMm = 5.0;
constexpr double MaxCardSideMm = 500.0;

// The drop filters are percentages, whatever a byte could hold.
constexpr long ThresholdHigh = 100;

std::string wholeNumberFrom(long low, long high)
{
    return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

std::string numberText(double v)
{
    return significantText(v, 6);
}

const char *const SpreadTitle[3] = {"Spread Factor (constant)", "Spread Factor (D coefficient)",
                                    "Spread Factor (D\u00b2 coefficient)"};

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
    return v ? text : std::to_string(current);
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
    f.QualityTable = state.QualityTablePath;
    f.FindCards = state.FindCards;
    f.CardSize = cardSizeText(state.FoundCardSize);
    f.AlwaysShowOverlapEstimate = state.AlwaysShowOverlapEstimate;
    return f;
}

bool acceptPrefs(const PrefsForm &form, Preferences &state, ModuleState &module, std::string *problem,
                 std::string *field)
{
    const auto refuse = [problem, field](std::string why, std::string widget) {
        if (problem)
            *problem = std::move(why) + ".";
        if (field)
            *field = std::move(widget);
        return false;
    };
    AnalysisSettings &a = state.Analysis;
    module.Metric = form.Metric;
    // A resolution of zero or less would give every card an infinite pixel
    // size; it is refused like any value that does not convert.
    const std::optional<long> resolution = toInteger(form.Resolution, 1, MaxResolution);
    if (!resolution)
        return refuse("Default Resolution must be a number of dots per inch from 1 to " + std::to_string(MaxResolution),
                      "ResCombo");
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
            return refuse(std::string(SpreadTitle[i]) + " must be a number from " + numberText(-SpreadLimit[i]) +
                              " to " + numberText(SpreadLimit[i]),
                          "SpreadText" + std::to_string(i));
        module.SpreadFactor[i] = *v;
    }
    const std::optional<long> roundness = toWhole(form.Roundness, 0, ThresholdHigh);
    if (!roundness)
        return refuse("Roundness must be " + wholeNumberFrom(0, ThresholdHigh), "txtRoundness");
    a.Scan.ShapeThreshold = static_cast<std::uint8_t>(*roundness);
    const std::optional<long> hues = toWhole(form.Hues, 0, ThresholdHigh);
    if (!hues)
        return refuse("% Valid Hues must be " + wholeNumberFrom(0, ThresholdHigh), "txtHues");
    a.Scan.HueThreshold = static_cast<std::uint8_t>(*hues);
    for (const SettingDecl &d : settingsTable()) {
        const auto typed = form.Numbers.find(d.Name);
        if (typed == form.Numbers.end())
            continue;
        const std::optional<double> typedValue = parseNumber(typed->second);
        const bool whole = !typedValue || d.Kind != SettingKind::Whole || *typedValue == std::trunc(*typedValue);
        const std::optional<double> v = settingFromField(d, typed->second);
        if (!v || !whole)
            return refuse(std::string(d.Title) + " must be " + d.mustBe(), d.Widget ? d.Widget : "");
        d.setUserValue(a, *v);
    }
    if (a.DensityTargetHigh > 0.0 && a.DensityTargetLow > a.DensityTargetHigh)
        return refuse("Density target from must not lie above Density target to", "txtDensityTargetLow");
    if (form.QualityTable.empty()) {
        a.Quality = defaultQualityTable();
    } else {
        Result<QualityTable> table = readQualityTable(form.QualityTable);
        if (!table.ok())
            return refuse(table.reason(), "QualityTableText");
        a.Quality = std::move(*table);
    }
    state.QualityTablePath = form.QualityTable;
    state.FindCards = form.FindCards;
    state.AlwaysShowOverlapEstimate = form.AlwaysShowOverlapEstimate;
    const std::optional<CardSize> size = parseCardSize(form.CardSize);
    if (!size)
        return refuse("Card size must be a width and a height in millimetres, each from " + numberText(MinCardSideMm) +
                          " to " + numberText(MaxCardSideMm) + ", as 76 x 26",
                      "CardSizeCombo");
    state.FoundCardSize = *size;
    return true;
}

std::string prefsTooltip(const SettingDecl &d)
{
    std::string tip = d.Tooltip ? d.Tooltip : "";
    if (d.Kind == SettingKind::Flag)
        return tip + "\nDefault: " + (d.Default != 0.0 ? "on." : "off.");
    const auto text = [&d](double v) {
        return d.Kind == SettingKind::Whole ? std::to_string(std::llround(v)) : numberText(v);
    };
    return tip + "\nFrom " + text(d.Low) + " to " + text(d.High) + "; default " + text(d.Default) + ".";
}

} // namespace vex
