#include "line/SprayInfoRules.h"

#include "analysis/DropStatistics.h"

#include "line/CardPositions.h"
#include "line/SprayInfoSettings.h"
#include "text/NumberText.h"

#include <algorithm>

namespace vex {

std::string sprayCoefficientOnOpen(double value)
{
    return formatOptional(value, 1, 12);
}

std::string sprayCoefficientOnLeave(const std::string &text)
{
    const std::optional<double> v = parseNumber(text);
    return v ? formatOptional(*v, 2, 7) : text;
}

std::string sampleBoxText(const std::string &text)
{
    const std::optional<double> v = parseNumber(text);
    return v ? formatFixed(*v, 1) : text;
}

std::array<std::string, 7> sprayUnitCaptions(bool metric)
{
    if (metric)
        return {"m", "km/h", "m", "L/ha", "L/ha", "m", "m"};
    return {"ft", "mph", "ft", "oz/ac", "oz/ac", "ft", "ft"};
}

SprayCheck checkSprayInfo(const std::array<std::string, 3> &spread, const std::string &samplePosition,
                          const std::string &sampleInterval)
{
    using Box = SprayCheck::Box;
    const Box spreadBoxes[3] = {Box::Spread0, Box::Spread1, Box::Spread2};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::optional<double> v = parseNumber(spread[i]);
        if (!v || !spreadCoefficientSound(i, *v))
            return {spreadBoxes[i], "Invalid Spread Factor value."};
    }
    const std::optional<double> position = parseNumber(samplePosition);
    if (!position || !positionSound(*position))
        return {Box::SamplePosition, "Invalid Sampler1 position."};
    const std::optional<double> interval = parseNumber(sampleInterval);
    if (!interval || !cardPositionsSound(*position, *interval))
        return {Box::SampleInterval, "Invalid Sampler Interval value."};
    return {};
}

std::string sprayValueProblem(int entry, const std::string &text)
{
    const bool number = entry == AC_Swath || entry == AC_Speed || entry == AC_Height || entry == Spray_ActiveRate ||
                        entry == Spray_SprayRate || entry == Sample_Position1 || entry == Sample_Interval;
    if ((!number && entry != Nozzle_Number) || text.empty())
        return {};
    const std::string said = std::string(sprayInfoKey(entry)) + "=" + text + ": ";
    if (entry == Nozzle_Number)
        return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })
                   ? std::string()
                   : said + "the number of nozzles must be a whole number";
    const std::optional<double> v = parseNumber(text);
    if (!v) {
        // The window's boxes turn a typed comma into the point, so a value
        // with a comma is never one it stores: said, not guessed at.
        std::string pointed = text;
        std::replace(pointed.begin(), pointed.end(), ',', '.');
        return said + "not a number" +
               (parseNumber(pointed) ? " (decimals are written with a point: " + pointed + ")" : std::string());
    }
    if (entry == Sample_Position1 && !positionSound(*v))
        return said + "card 1's position must lie within a million units of the flight line";
    if (entry == Sample_Interval && !spacingSound(*v))
        return said + "the card spacing must not be 0 and lie within a million units";
    return {};
}

} // namespace vex
