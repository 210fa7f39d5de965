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

inline AnalysisSettings lineSettings(const std::string &position1 = "-20", const std::string &interval = "10")
{
    AnalysisSettings s;
    s.Spray[Sample_Position1] = position1;
    s.Spray[Sample_Interval] = interval;
    return s;
}

} // namespace vex::test
