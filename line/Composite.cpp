#include "line/Composite.h"

#include "analysis/DropStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace vex {

std::int64_t compositeClassIndex(float diameter)
{
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<std::int64_t>(std::nearbyint(static_cast<double>(diameter) * 10.0));
}

CompositeAll calcCompositeAll(const CardList &cards)
{
    std::vector<const CardRecord *> all;
    for (const CardRecord &card : cards.records())
        all.push_back(&card);
    return calcCompositeAll(all);
}

CompositeAll calcCompositeAll(const std::vector<const CardRecord *> &cards)
{
    CompositeAll out;
    CompositeResult &all = out.Result;
    // Pooled by tenth of a micrometre; a map keeps memory to the classes
    // that occur whatever diameters a spread factor produces.
    std::map<std::int64_t, std::int64_t> counts;
    double stained = 0.0; // cm2
    for (const CardRecord *each : cards) {
        const CardRecord &card = *each;
        if (!card.Scanned || card.Excluded)
            continue;
        if (card.Stains.size() > 1)
            all.LargestDiameter = std::max(all.LargestDiameter, card.Stains.back().Diameter);
        all.TotalVolume += card.TotalVolume;
        all.TotalArea += card.CardArea;
        stained += card.StainCoverage * card.CardArea;
        out.MaxCardVMD = std::max(out.MaxCardVMD, static_cast<float>(card.VMD));
        for (std::size_t i = 1; i < card.Stains.size(); ++i) {
            const SizeClass &c = card.Stains[i];
            counts[compositeClassIndex(c.Diameter)] += c.Count;
            all.TotalCount += c.Count;
        }
    }

    float cumVolume = 0.0f;
    float cumNumber = 0.0f;
    for (const auto &[index, count] : counts) {
        // Index 0 (drops under 0.05 um) was never a class.
        if (index < 1 || count < 1)
            continue;
        SizeClass c;
        c.Diameter = static_cast<float>(static_cast<double>(index) / 10.0);
        // Counts are 32-bit; a pooled class beyond that is held at the limit
        // rather than wrapped.
        c.Count = static_cast<std::int32_t>(std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max()));
        c.DropVolume = static_cast<float>(dropVolume(static_cast<double>(index) / 10.0) / 1e6); // nanolitres
        const double classVolume = static_cast<double>(count) * static_cast<double>(c.DropVolume);
        c.VolumeFraction = static_cast<float>(all.TotalVolume > 0.0 ? classVolume / all.TotalVolume : 0.0);
        const float previous = cumVolume;
        cumVolume += c.VolumeFraction;
        c.CumVolumeFraction = cumVolume;
        c.NumberFraction =
            static_cast<float>(all.TotalCount > 0.0 ? static_cast<double>(c.Count) / all.TotalCount : 0.0);
        cumNumber += c.NumberFraction;
        c.CumNumberFraction = cumNumber;
        all.LargestClassCount = std::max(all.LargestClassCount, c.Count);
        all.LargestClassVolume = std::max(all.LargestClassVolume, classVolume);
        if (cumVolume >= 0.5f && previous < 0.5f) {
            const double d0 = all.Classes.back().Diameter;
            all.VMD = d0 + (static_cast<double>(c.Diameter) - d0) * (0.5 - static_cast<double>(previous)) /
                               (static_cast<double>(cumVolume) - static_cast<double>(previous));
        }
        all.Classes.push_back(c);
    }
    if (all.Classes.size() > 1)
        all.SmallestDiameter = all.Classes[1].Diameter;
    all.DropDensity = all.TotalArea > 0.0 ? all.TotalCount / all.TotalArea : 0.0;
    all.VolumeDensity = all.TotalArea > 0.0 ? all.TotalVolume / all.TotalArea : 0.0;
    out.Coverage = all.TotalArea > 0.0 ? stained / all.TotalArea : 0.0;
    return out;
}

CompositeResult calcCompositeRange(const CompositeResult &all, float rangeLow, float rangeHigh)
{
    // The pooled drop volumes are already in nanolitres.
    CompositeResult range = rangeStatistics(all.Classes, rangeLow, rangeHigh, all.TotalArea, 1.0);
    range.SmallestDiameter = all.SmallestDiameter;
    range.LargestDiameter = all.LargestDiameter;
    range.LargestClassCount = all.LargestClassCount;
    range.LargestClassVolume = all.LargestClassVolume;
    return range;
}

std::vector<CardStat> fillCardStats(const CardList &cards, bool rangeIsSelected, float rangeLow, float rangeHigh)
{
    std::vector<CardStat> stats(static_cast<std::size_t>(cards.count()) + 1);
    for (int i = 1; i <= cards.count(); ++i) {
        const CardRecord &card = cards[i];
        if (!card.Scanned || card.Excluded)
            continue;
        CardStat &s = stats[static_cast<std::size_t>(i)];
        if (rangeIsSelected) {
            const CompositeResult r = calcSingleRange(card, rangeLow, rangeHigh);
            s = {r.VMD, r.DropDensity, r.VolumeDensity};
        } else {
            s = {card.VMD, card.DropDensity, card.VolumeDensity};
        }
    }
    return stats;
}

std::vector<std::optional<SpectrumFigures>> fillCardSpectra(const CardList &cards, bool rangeIsSelected, float rangeLow,
                                                            float rangeHigh)
{
    std::vector<std::optional<SpectrumFigures>> spectra(static_cast<std::size_t>(cards.count()) + 1);
    for (int i = 1; i <= cards.count(); ++i) {
        const CardRecord &card = cards[i];
        if (!card.Scanned || card.Excluded)
            continue;
        const CompositeResult range = rangeIsSelected ? calcSingleRange(card, rangeLow, rangeHigh) : CompositeResult{};
        const ClassList &classes = rangeIsSelected ? range.Classes : card.Stains;
        if (classes.size() > 1)
            spectra[static_cast<std::size_t>(i)] = spectrumFigures(classes, rangeIsSelected ? range.VMD : card.VMD);
    }
    return spectra;
}

} // namespace vex
