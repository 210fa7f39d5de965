#include "app/Preferences.h"

#include "app/CardGeometry.h"
#include "app/Units.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <charconv>

namespace vex {

namespace {

constexpr double ResolutionReadOutLimit = 32500.0;

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

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

std::optional<double> parseNumber(const std::string &text)
{
    const std::string t = trimmed(text);
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
        ++i;
        ++digits;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-'))
            ++j;
        std::size_t exponentDigits = 0;
        while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) {
            ++j;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
        i = j;
    }
    if (i != t.size())
        return std::nullopt;
    // from_chars reads "7.5" as 7.5 whatever the C locale says (strtod
    // stops at the point under a comma locale); it takes no '+'.
    const std::size_t from = t[0] == '+' ? 1 : 0;
    double value = 0.0;
    const auto [end, error] = std::from_chars(t.data() + from, t.data() + t.size(), value);
    if (error != std::errc() || end != t.data() + t.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

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

std::string formatCoefficient(double value)
{
    return formatOptional(value, 2, 12);
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

KeyEdit numericKey(const std::string &text, int selectionStart, int selectionLength, char32_t key,
                   bool allowDecimal, bool allowMinus)
{
    KeyEdit edit;
    if (key >= U'0' && key <= U'9') {
        edit.What = KeyEdit::Kind::Pass;
        return edit;
    }
    const auto size = static_cast<int>(text.size());
    const int start = std::clamp(selectionStart, 0, size);
    const int end = std::clamp(start + std::max(selectionLength, 0), start, size);
    const std::string before = text.substr(0, static_cast<std::size_t>(start));
    const std::string after = text.substr(static_cast<std::size_t>(end));
    // A comma is taken as the decimal point that a comma locale's keyboard
    // types; the box, and so every file, holds ".".
    if (key == U'.' || key == U',') {
        if (!allowDecimal)
            return edit;
        // A point inside the selection is about to be typed over.
        if ((before + after).find('.') != std::string::npos)
            return edit;
        if (key == U'.') {
            edit.What = KeyEdit::Kind::Pass;
        } else {
            edit.What = KeyEdit::Kind::Replace;
            edit.Text = before + "." + after;
            edit.Caret = start + 1;
        }
        return edit;
    }
    if (key == U'-' && allowMinus) {
        // Typing over a selection replaces it: the selection goes, then
        // the sign of what is left changes.
        const std::string rest = before + after;
        edit.What = KeyEdit::Kind::Replace;
        if (!rest.empty() && rest.front() == '-') {
            edit.Text = rest.substr(1);
            edit.Caret = std::max(0, start - 1);
        } else {
            edit.Text = "-" + rest;
            edit.Caret = start + 1;
        }
        return edit;
    }
    return edit;
}

PrefsForm prefsFormFrom(const MainWindowState &state, const ModuleState &module)
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
    return f;
}

bool acceptPrefs(const PrefsForm &form, MainWindowState &state, ModuleState &module)
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
    return true;
}

} // namespace vex
