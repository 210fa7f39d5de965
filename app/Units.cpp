#include "app/Units.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace vex {

std::string formatFixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "NaN" : (value > 0 ? "Infinity" : "-Infinity");
    if (decimals < 0)
        decimals = 0;
    std::vector<char> buffer(static_cast<std::size_t>(decimals) + 400);
    std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
    std::string text = buffer.data();
    // A value that rounds to zero is shown without a minus sign.
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
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

} // namespace vex
