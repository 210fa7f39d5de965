#pragma once
// Lines of scanned cards for the tests of the line's analysis.

#include "analysis/DropStatistics.h"
#include "intake/CardLoading.h"
#include "line/LineAnalysis.h"

#include <string>
#include <vector>

namespace vex::test {

// Five scanned cards of ten drops each, from stains of 100, 200, 400, 200
// and 100 pixels: the deposit profile rises and falls like the worked
// example.
inline CardList lineOfFive()
{
    CardList cards;
    const std::int32_t areas[] = {100, 200, 400, 200, 100};
    for (const std::int32_t a : areas) {
        CardRecord card = newCardRecord("c.bmp", "/d/", 100, 100, 1200);
        computeCardStatistics(card, std::vector<std::int32_t>(10, a), {0.0, 0.56, 0.0});
        card.Scanned = true;
        cards.add(std::move(card));
    }
    return cards;
}

// Five scanned cards of small, middling and large drops in shares that
// differ from card to card, so that each card's spectrum is its own and a
// range that cuts the small drops off changes every card's.
inline CardList lineOfMixedDrops()
{
    CardList cards;
    for (int i = 1; i <= 5; ++i) {
        CardRecord card = newCardRecord("m" + std::to_string(i) + ".bmp", "/d/", 100, 100, 1200);
        std::vector<std::int32_t> areas(static_cast<std::size_t>(10 * i), 50);
        areas.insert(areas.end(), static_cast<std::size_t>(2 * i), 150);
        areas.insert(areas.end(), 5, 400);
        computeCardStatistics(card, areas, {0.0, 0.56, 0.0});
        card.Scanned = true;
        cards.add(std::move(card));
    }
    return cards;
}

inline AnalysisSettings lineSettings(const std::string &position1 = "-20", const std::string &interval = "10")
{
    AnalysisSettings s;
    s.Spray[Sample_Position1] = position1;
    s.Spray[Sample_Interval] = interval;
    return s;
}

// For lineOfMixedDrops: a range that cuts the small drops off.
inline AnalysisSettings mixedDropsRange()
{
    AnalysisSettings s = lineSettings();
    s.HasRange = true;
    s.RangeLow = 100.0f;
    s.RangeHigh = 1e4f;
    return s;
}

} // namespace vex::test
