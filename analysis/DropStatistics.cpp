#include "analysis/DropStatistics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vex {

namespace {

// Shares of a total that may be zero: a spread factor of (0, 0, 0) gives
// drops without volume, and 0 / 0 must not reach the labels as NaN.
double share(double part, double total)
{
    return total > 0.0 ? part / total : 0.0;
}

// The point where the cumulative fraction of class k first reaches `target`,
// interpolated from the class before it (class 0: 0 um, 0).
double interpolate(double d0, double c0, double d1, double c1, double target)
{
    return d0 + (d1 - d0) * (target - c0) / (c1 - c0);
}

} // namespace

double stainDiameter(std::int64_t area, double pixelSizeX)
{
    return 2.0 * std::sqrt(static_cast<double>(area) * pixelSizeX * pixelSizeX / std::numbers::pi);
}

float dropDiameter(double d, const SpreadFactors &spread)
{
    return static_cast<float>(spread[0] + spread[1] * d + spread[2] * d * d);
}

double dropVolume(double diameter)
{
    const double half = diameter / 2.0;
    return 4.0 / 3.0 * std::numbers::pi * std::pow(half, 3.0);
}

void computeCardStatistics(CardRecord &card, const std::vector<std::int32_t> &acceptedAreas,
                           const SpreadFactors &spread)
{
    if (acceptedAreas.empty()) {
        card.Stains = ClassList(1);
        return;
    }
    // The classes are the distinct areas.  Small areas, nearly all of them,
    // are counted in a table; the few large ones are sorted, which keeps one
    // huge stain from costing gigabytes.  Sorting millions of specks would
    // cost more than the whole scan.
    const std::int32_t largest = *std::max_element(acceptedAreas.begin(), acceptedAreas.end());
    const std::int32_t Tabled = std::clamp(largest + 1, 1, 1 << 16);
    std::vector<std::int32_t> small(static_cast<std::size_t>(Tabled), 0);
    std::vector<std::int32_t> areas;
    for (const std::int32_t area : acceptedAreas) {
        if (area >= 0 && area < Tabled)
            ++small[static_cast<std::size_t>(area)];
        else
            areas.push_back(area);
    }
    std::sort(areas.begin(), areas.end());
    areas.erase(std::unique(areas.begin(), areas.end()), areas.end());
    std::vector<std::int32_t> tabledAreas;
    for (std::int32_t a = 0; a < Tabled; ++a)
        if (small[static_cast<std::size_t>(a)] > 0)
            tabledAreas.push_back(a);
    // Negative areas (none come from the scan) sort before the table's.
    const auto negatives = std::lower_bound(areas.begin(), areas.end(), 0) - areas.begin();
    areas.insert(areas.begin() + negatives, tabledAreas.begin(), tabledAreas.end());
    // Class numbers of the tabled areas, for the count below.
    for (std::size_t k = 0; k < areas.size(); ++k)
        if (areas[k] >= 0 && areas[k] < Tabled)
            small[static_cast<std::size_t>(areas[k])] = static_cast<std::int32_t>(k);

    ClassList classes(areas.size() + 1);
    for (std::size_t k = 0; k < areas.size(); ++k) {
        SizeClass &c = classes[k + 1];
        c.Area = areas[k];
        c.Diameter = dropDiameter(stainDiameter(c.Area, card.PixelSizeX), spread);
        c.DropVolume = static_cast<float>(dropVolume(c.Diameter));
    }

    // Summed in closing order, as the total has always been formed.
    double totalVolume = 0.0;
    std::int32_t largestCount = 0;
    for (const std::int32_t area : acceptedAreas) {
        const std::size_t at =
            area >= 0 && area < Tabled
                ? static_cast<std::size_t>(small[static_cast<std::size_t>(area)])
                : static_cast<std::size_t>(std::lower_bound(areas.begin(), areas.end(), area) - areas.begin());
        SizeClass &c = classes[at + 1];
        ++c.Count;
        totalVolume += static_cast<double>(c.DropVolume);
        largestCount = std::max(largestCount, c.Count);
    }

    const double drops = static_cast<double>(acceptedAreas.size());
    double largestFraction = 0.0;
    float cumVolume = 0.0f;
    float cumNumber = 0.0f;
    for (std::size_t k = 1; k < classes.size(); ++k) {
        SizeClass &c = classes[k];
        c.VolumeFraction =
            static_cast<float>(share(static_cast<double>(c.Count) * static_cast<double>(c.DropVolume), totalVolume));
        largestFraction = std::max(largestFraction, static_cast<double>(c.VolumeFraction));
        cumVolume += c.VolumeFraction;
        c.CumVolumeFraction = cumVolume;
        c.NumberFraction = static_cast<float>(static_cast<double>(c.Count) / drops);
        cumNumber += c.NumberFraction;
        c.CumNumberFraction = cumNumber;
    }

    card.Stains = std::move(classes);
    card.VMD = interpolatedDiameter(card.Stains, 0.5, true);
    card.MaxVolumeFraction = largestFraction;
    card.TotalVolume = totalVolume / 1e6;
    card.VolumeDensity = share(card.TotalVolume, card.CardArea);
    card.MaxClassCount = largestCount;
    card.SmallestDiameter = card.Stains[1].Diameter;
    card.LargestDiameter = card.Stains.back().Diameter;
    card.DropDensity = share(drops, card.CardArea);
}

SpectrumFigures spectrumFigures(const ClassList &classes, double vmd)
{
    SpectrumFigures s;
    if (classes.size() < 2)
        return s;
    s.Dv01 = interpolatedDiameter(classes, 0.1, true);
    s.Dv09 = interpolatedDiameter(classes, 0.9, true);
    s.Nmd = interpolatedDiameter(classes, 0.5, false);
    s.RelativeSpan = vmd > 0.0 ? (s.Dv09 - s.Dv01) / vmd : 0.0;
    return s;
}

bool spreadCoefficientSound(std::size_t index, double value)
{
    return index < 3 && std::isfinite(value) && std::fabs(value) <= SpreadLimit[index];
}

Status checkCardFigures(const CardRecord &card)
{
    bool finite = std::isfinite(card.VMD) && std::isfinite(card.DropDensity) && std::isfinite(card.VolumeDensity) &&
                  std::isfinite(card.TotalVolume) && std::isfinite(card.MaxVolumeFraction);
    for (const SizeClass &c : card.Stains)
        finite = finite && std::isfinite(c.Diameter) && std::isfinite(c.DropVolume) &&
                 std::isfinite(c.VolumeFraction) && std::isfinite(c.CumVolumeFraction);
    if (finite)
        return {};
    return Status::failure("its drop sizes or volumes are beyond what can be computed; check the spread factor");
}

double interpolatedDiameter(const ClassList &classes, double target, bool byVolume)
{
    double previousDiameter = 0.0;
    double previousCum = 0.0;
    for (std::size_t k = 1; k < classes.size(); ++k) {
        const double diameter = classes[k].Diameter;
        const double cum = byVolume ? classes[k].CumVolumeFraction : classes[k].CumNumberFraction;
        if (cum >= target && previousCum < target)
            return interpolate(previousDiameter, previousCum, diameter, cum, target);
        previousDiameter = diameter;
        previousCum = cum;
    }
    return 0.0;
}

CompositeResult rangeStatistics(const ClassList &stains, float rangeLow, float rangeHigh, double totalArea,
                                double volumeUnitsPerNl)
{
    CompositeResult range;
    range.TotalArea = totalArea;
    const std::size_t n = stains.empty() ? 0 : stains.size() - 1;

    std::size_t first = n + 1;
    for (std::size_t i = 1; i <= n; ++i) {
        if (stains[i].Diameter >= rangeLow) {
            first = i;
            break;
        }
    }
    // Down to class 1: a range that holds only the smallest class still
    // holds drops.
    std::size_t last = 0;
    for (std::size_t i = n; i >= 1; --i) {
        if (stains[i].Diameter <= rangeHigh) {
            last = i;
            break;
        }
    }
    if (first > last)
        return range;

    range.Classes.assign(stains.begin() + static_cast<std::ptrdiff_t>(first),
                         stains.begin() + static_cast<std::ptrdiff_t>(last) + 1);
    range.Classes.insert(range.Classes.begin(), SizeClass{});
    for (std::size_t i = 1; i < range.Classes.size(); ++i) {
        const SizeClass &c = range.Classes[i];
        range.TotalVolume += static_cast<double>(c.Count) * static_cast<double>(c.DropVolume);
        range.TotalCount += c.Count;
    }
    if (range.TotalCount > 0.0) {
        float cumNumber = 0.0f;
        float previous = 0.0f; // cumulative volume fraction of the class before
        for (std::size_t i = 1; i < range.Classes.size(); ++i) {
            SizeClass &c = range.Classes[i];
            c.NumberFraction = static_cast<float>(c.Count / range.TotalCount);
            cumNumber += c.NumberFraction;
            c.CumNumberFraction = cumNumber;
            c.VolumeFraction = static_cast<float>(
                share(static_cast<double>(c.Count) * static_cast<double>(c.DropVolume), range.TotalVolume));
            c.CumVolumeFraction = previous + c.VolumeFraction;
            const float cum = c.CumVolumeFraction;
            if (cum >= 0.5f && previous < 0.5f) {
                // Inside a range the first class is not interpolated from
                // zero: a range that starts with half its volume reports
                // that class's own diameter.
                range.VMD = previous == 0.0f
                                ? static_cast<double>(c.Diameter)
                                : interpolate(range.Classes[i - 1].Diameter, previous, c.Diameter, cum, 0.5);
            }
            previous = cum;
        }
    }
    range.DropDensity = share(range.TotalCount, range.TotalArea);
    range.VolumeDensity = share(range.TotalVolume / volumeUnitsPerNl, range.TotalArea);
    return range;
}

CompositeResult calcSingleRange(const CardRecord &card, float rangeLow, float rangeHigh)
{
    // A card's drop volumes are in cubic micrometres.
    return rangeStatistics(card.Stains, rangeLow, rangeHigh, card.CardArea, 1e6);
}

bool lineRangeSelected(const CompositeResult &compositeAll, float rangeLow, float rangeHigh)
{
    return static_cast<float>(compositeAll.SmallestDiameter) < rangeLow || rangeHigh < compositeAll.LargestDiameter;
}

bool rangeSelected(bool compositeShown, const CompositeResult &compositeAll, const CardRecord &current, float rangeLow,
                   float rangeHigh)
{
    if (compositeShown)
        return lineRangeSelected(compositeAll, rangeLow, rangeHigh);
    return current.SmallestDiameter < rangeLow || rangeHigh < current.LargestDiameter;
}

double currentVmd(bool compositeShown, bool rangeIsSelected, const CompositeResult &compositeAll,
                  const CompositeResult &compositeRange, const CompositeResult &singleRange, const CardRecord &current)
{
    if (compositeShown)
        return rangeIsSelected ? compositeRange.VMD : compositeAll.VMD;
    return rangeIsSelected ? singleRange.VMD : current.VMD;
}

} // namespace vex
