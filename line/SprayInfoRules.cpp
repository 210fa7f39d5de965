#include "line/SprayInfoRules.h"

#include "analysis/DropStatistics.h"

#include "line/CardPositions.h"
#include "text/NumberText.h"

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
    if (!interval || !spacingSound(*interval))
        return {Box::SampleInterval, "Invalid Sampler Interval value."};
    return {};
}

} // namespace vex
