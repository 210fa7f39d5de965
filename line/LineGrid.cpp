#include "line/LineGrid.h"

#include "line/CardPositions.h"
#include "line/Swath.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace vex {

namespace {

CardStat mix(const CardStat &a, const CardStat &b, double t)
{
    return {a.Vmd + (b.Vmd - a.Vmd) * t, a.DropDensity + (b.DropDensity - a.DropDensity) * t,
            a.VolumeDensity + (b.VolumeDensity - a.VolumeDensity) * t};
}

} // namespace

int maxGridPoints(int cards)
{
    return static_cast<int>(
        std::min<long long>(MaxGridPoints, static_cast<long long>(GridPointsPerCard) * (std::max(cards, 1) + 1)));
}

std::vector<CardStat> interpolateOntoGrid(const std::vector<double> &positions, const std::vector<CardStat> &figures,
                                          double start, double interval, int points)
{
    std::vector<CardStat> grid(static_cast<std::size_t>(std::max(points, 0)) + 1);
    std::size_t right = 0;
    for (int g = 0; g < points; ++g) {
        const double x = start + interval * g;
        while (right < positions.size() && positions[right] < x)
            ++right;
        CardStat &out = grid[static_cast<std::size_t>(g) + 1];
        if (right < positions.size() && positions[right] == x)
            out = figures[right];
        else if (right == 0)
            out = figures.front();
        else if (right == positions.size())
            out = figures.back();
        else
            out = mix(figures[right - 1], figures[right],
                      (x - positions[right - 1]) / (positions[right] - positions[right - 1]));
    }
    return grid;
}

LineGrid lineGrid(const CardList &cards, const std::vector<CardStat> &stats, const SprayInfo &spray)
{
    LineGrid grid;
    grid.Interval = positionValue(spray[Sample_Interval]);
    grid.Position1 = positionValue(spray[Sample_Position1]);
    bool regular = true;
    for (int i = 1; i <= cards.count(); ++i)
        regular = regular && !cards[i].Excluded && cards[i].Position == defaultCardPosition(spray, i);
    if (grid.Interval != 0.0f && !positionNumbers(grid.Position1, grid.Interval).Placed) {
        grid.Stats.assign(1, CardStat{});
        grid.Problem = "card 1's position " + spray[Sample_Position1] + " lies too many spacings of " +
                       spray[Sample_Interval] + " from the flight line to place the cards";
        return grid;
    }
    if (regular || !(grid.Interval > 0.0f)) {
        grid.Stats = stats;
        return grid;
    }
    grid.Regular = false;

    // The cards that count, by position; cards at one place give their mean.
    std::map<double, std::pair<CardStat, int>> at;
    for (int i = 1; i <= cards.count(); ++i) {
        if (cards[i].Excluded || !std::isfinite(cards[i].Position))
            continue;
        const CardStat s = static_cast<std::size_t>(i) < stats.size() ? stats[static_cast<std::size_t>(i)] : CardStat{};
        auto &[sum, n] = at[cards[i].Position];
        sum = {sum.Vmd + s.Vmd, sum.DropDensity + s.DropDensity, sum.VolumeDensity + s.VolumeDensity};
        ++n;
    }
    grid.Stats.assign(1, CardStat{});
    if (at.empty())
        return grid;
    std::vector<double> positions;
    std::vector<CardStat> figures;
    for (const auto &[position, sum] : at) {
        positions.push_back(position);
        const double n = sum.second;
        figures.push_back({sum.first.Vmd / n, sum.first.DropDensity / n, sum.first.VolumeDensity / n});
    }
    const double interval = grid.Interval;
    // A line whose span is a whole number of spacings but for rounding keeps
    // its last card.
    const double steps = std::floor((positions.back() - positions.front()) / interval + 1e-6);
    if (steps + 1.0 > maxGridPoints(cards.count())) {
        grid.Problem = "the cards lie too far apart for a spacing of " + spray[Sample_Interval] +
                       ": check the positions typed for single cards";
        return grid;
    }
    grid.Position1 = static_cast<float>(positions.front());
    grid.Stats = interpolateOntoGrid(positions, figures, positions.front(), interval, static_cast<int>(steps) + 1);
    return grid;
}

} // namespace vex
