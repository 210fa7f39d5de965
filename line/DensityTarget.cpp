#include "line/DensityTarget.h"

#include "text/NumberText.h"

#include <array>
#include <cmath>

namespace vex {

std::span<const DensityPreset> densityPresets()
{
    static constexpr std::array<DensityPreset, 3> presets{{{"insecticide", "Insecticides", 20.0, 30.0},
                                                           {"herbicide", "Contact herbicides", 30.0, 40.0},
                                                           {"fungicide", "Fungicides", 50.0, 70.0}}};
    return presets;
}

std::optional<DensityRange> parseDensityTarget(std::string_view text)
{
    for (const DensityPreset &p : densityPresets())
        if (text == p.Name)
            return DensityRange{p.Low, p.High};
    const std::size_t dash = text.find('-', 1);
    if (dash == std::string_view::npos)
        return std::nullopt;
    const std::optional<double> low = parseNumber(std::string(text.substr(0, dash)));
    const std::optional<double> high = parseNumber(std::string(text.substr(dash + 1)));
    if (!low || !high || !std::isfinite(*high) || *low < 0.0 || !(*high > *low) || *high > 1.0e6)
        return std::nullopt;
    return DensityRange{*low, *high};
}

DensityVerdict densityVerdict(double low, double high, double density)
{
    if (density < low)
        return DensityVerdict::Below;
    return density > high ? DensityVerdict::Above : DensityVerdict::Within;
}

const char *densityVerdictText(DensityVerdict v)
{
    switch (v) {
    case DensityVerdict::Below:
        return "below";
    case DensityVerdict::Within:
        return "within";
    case DensityVerdict::Above:
        return "above";
    }
    return "";
}

std::size_t countWithin(double low, double high, const std::vector<double> &densities)
{
    std::size_t within = 0;
    for (const double d : densities)
        within += densityVerdict(low, high, d) == DensityVerdict::Within ? 1 : 0;
    return within;
}

double shareWithin(double low, double high, const std::vector<double> &densities)
{
    if (densities.empty())
        return 0.0;
    return static_cast<double>(countWithin(low, high, densities)) / static_cast<double>(densities.size());
}

} // namespace vex
