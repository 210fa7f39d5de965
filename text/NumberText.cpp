#include "text/NumberText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <vector>

namespace vex {

namespace {

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
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

std::string formatFixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "NaN" : (value > 0 ? "Infinity" : "-Infinity");
    decimals = std::clamp(decimals, 0, 60);
    // to_chars rounds exactly, as printf does, but never looks at the C
    // locale: under a comma locale printf would write "252,5" into files.
    std::vector<char> buffer(static_cast<std::size_t>(decimals) + 400);
    const auto end =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals).ptr;
    std::string text(buffer.data(), end);
    // A value that rounds to zero is shown without a minus sign.
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

std::size_t textLength(const std::string &utf8)
{
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string formatOptional(double value, int minDecimals, int maxDecimals)
{
    std::string text = formatFixed(value, maxDecimals);
    const auto point = text.find('.');
    if (point == std::string::npos)
        return text;
    std::size_t keep = text.size();
    while (keep > point + 1 + static_cast<std::size_t>(minDecimals) && text[keep - 1] == '0')
        --keep;
    if (keep == point + 1)
        --keep; // no decimals left: drop the point too
    text.resize(keep);
    return text;
}

std::string formatCoefficient(double value)
{
    return formatOptional(value, 2, 12);
}

std::string significantText(double value, int digits)
{
    if (!std::isfinite(value))
        return formatFixed(value, 0);
    if (value == 0.0)
        return "0";
    digits = std::clamp(digits, 1, 17);
    // Rounding is left to to_chars (exact, and free of the C locale); the
    // digits are then placed around the point by hand.
    char buffer[40];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, digits - 1).ptr;
    const std::string mantissa(buffer, end);
    const std::size_t e = mantissa.find('e');
    std::string figures = mantissa.substr(0, 1) + (e > 2 ? mantissa.substr(2, e - 2) : std::string());
    const int exponent = std::stoi(mantissa.substr(e + 1));
    while (figures.size() > 1 && figures.back() == '0')
        figures.pop_back();
    std::string text;
    const auto whole = static_cast<std::size_t>(std::max(0, exponent + 1));
    if (exponent < 0)
        text = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + figures;
    else if (whole >= figures.size())
        text = figures + std::string(whole - figures.size(), '0');
    else
        text = figures.substr(0, whole) + "." + figures.substr(whole);
    return value < 0.0 ? "-" + text : text;
}

} // namespace vex
