#include "line/CardLimits.h"

#include "analysis/DropStatistics.h"

#include <cmath>
#include <cstdio>

namespace vex {

double smallestDetectableStainUm(std::int32_t resolutionDpi)
{
    constexpr double MicrometresPerInch = 25400.0;
    return resolutionDpi > 0 ? PixelsAcrossSmallestStain * MicrometresPerInch / resolutionDpi : 0.0;
}

double smallestDetectableDropUm(std::int32_t resolutionDpi, const std::array<double, 3> &spread)
{
    return dropDiameter(smallestDetectableStainUm(resolutionDpi), spread);
}

std::string smallestDropText(const CardRecord &card, const std::array<double, 3> &spread)
{
    char text[80];
    std::snprintf(text, sizeof text, "Smallest detectable drop: %.0f \u00b5m",
                  smallestDetectableDropUm(card.Resolution, spread));
    return text;
}

std::vector<std::string> cardLimitWarnings(const CardRecord &card, const std::array<double, 3> &spread)
{
    std::vector<std::string> said;
    char text[300];
    if (card.Resolution < LowestSoundDpi) {
        std::snprintf(text, sizeof text,
                      "the card's resolution, %d dpi, is below %d dpi: stains under %.0f um (drops under %.0f um) "
                      "are not seen, and the figures leave them out",
                      card.Resolution, LowestSoundDpi, smallestDetectableStainUm(card.Resolution),
                      smallestDetectableDropUm(card.Resolution, spread));
        said.emplace_back(text);
    }
    if (card.Stains.size() > 1 && card.LargestDiameter > LargestPlausibleDropUm) {
        std::snprintf(text, sizeof text,
                      "its largest drop, %.0f um, is larger than any spray drop (%.0f um): stains have run "
                      "together, or the card is not what it seems",
                      static_cast<double>(card.LargestDiameter), LargestPlausibleDropUm);
        said.emplace_back(text);
    }
    return said;
}

} // namespace vex
