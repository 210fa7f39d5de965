#include "line/PassMean.h"

#include "analysis/DropStatistics.h"
#include "line/CardPositions.h"
#include "line/LineGrid.h"
#include "text/NumberText.h"

#include <algorithm>
#include <cmath>

namespace vex {

AnalysisSettings passSettings(const AnalysisSettings &settings, const LinePass &pass)
{
    AnalysisSettings s = settings;
    s.Spray = pass.Spray;
    for (const int entry : {static_cast<int>(Sample_Position1), static_cast<int>(Sample_Interval)})
        if (s.Spray[entry].empty())
            s.Spray[entry] = settings.Spray[entry];
    return s;
}

PassMean meanOfPasses(std::vector<LinePass> &passes, std::vector<int> which, const AnalysisSettings &settings,
                      const LineResults *previous)
{
    PassMean mean;
    if (which.empty())
        for (std::size_t p = 0; p < passes.size(); ++p)
            if (passes[p].InMean)
                which.push_back(static_cast<int>(p) + 1);
    which.erase(
        std::remove_if(which.begin(), which.end(), [&](int p) { return p < 1 || p > static_cast<int>(passes.size()); }),
        which.end());
    mean.Passes = which;
    if (which.empty())
        return mean;

    // Each pass on its own grid.
    std::vector<LineGrid> grids;
    std::vector<const CardRecord *> pooled;
    for (const int p : which) {
        LinePass &pass = passes[static_cast<std::size_t>(p) - 1];
        const AnalysisSettings s = passSettings(settings, pass);
        mean.Each.push_back(analyseLine(pass.Cards, s));
        grids.push_back(lineGrid(pass.Cards, mean.Each.back().Stats, s.Spray));
        for (const CardRecord &card : pass.Cards.records())
            pooled.push_back(&card);
    }

    // The common grid: the first pass's spacing and places, reaching over
    // every pass.
    const LinePass &first = passes[static_cast<std::size_t>(which.front()) - 1];
    const AnalysisSettings firstSettings = passSettings(settings, first);
    const double interval = positionValue(firstSettings.Spray[Sample_Interval]);
    LineResults &line = mean.Line;
    line.Interval = static_cast<float>(interval);
    poolLine(line, calcCompositeAll(pooled), settings);

    double low = 0.0;
    double high = 0.0;
    bool any = false;
    for (const LineGrid &g : grids) {
        if (g.points() < 1 || !g.Problem.empty())
            continue;
        const double start = g.Position1;
        const double end = start + static_cast<double>(g.Interval) * (g.points() - 1);
        low = any ? std::min(low, start) : start;
        high = any ? std::max(high, end) : end;
        any = true;
    }
    mean.Spray = firstSettings.Spray;
    if (!any || !(interval > 0.0))
        return mean;
    const double origin = grids.front().points() >= 1 && grids.front().Problem.empty()
                              ? static_cast<double>(grids.front().Position1)
                              : low;
    const double start = origin + std::floor((low - origin) / interval + 1e-6) * interval;
    const double steps = std::floor((high - start) / interval + 1e-6);
    int cardsInPasses = 0;
    for (const int p : which)
        cardsInPasses += passes[static_cast<std::size_t>(p) - 1].Cards.count();
    if (steps + 1.0 > maxGridPoints(cardsInPasses)) {
        line.SwathProblem = "the passes lie too far apart for a spacing of " + mean.Spray[Sample_Interval];
        return mean;
    }
    const int points = static_cast<int>(steps) + 1;

    // Each pass taken onto the common grid where it reaches, then the mean
    // of those that reach each point.
    std::vector<CardStat> sum(static_cast<std::size_t>(points) + 1);
    mean.Reach.assign(static_cast<std::size_t>(points) + 1, 0);
    for (const LineGrid &g : grids) {
        if (g.points() < 1 || !g.Problem.empty())
            continue;
        std::vector<double> positions;
        std::vector<CardStat> figures;
        for (int k = 0; k < g.points(); ++k) {
            positions.push_back(static_cast<double>(g.Position1) + static_cast<double>(g.Interval) * k);
            figures.push_back(g.Stats[static_cast<std::size_t>(k) + 1]);
        }
        const std::vector<CardStat> on = interpolateOntoGrid(positions, figures, start, interval, points);
        const double tolerance = 1e-6 * interval;
        for (int k = 0; k < points; ++k) {
            const double x = start + interval * k;
            if (x < positions.front() - tolerance || x > positions.back() + tolerance)
                continue;
            const auto at = static_cast<std::size_t>(k) + 1;
            sum[at] = {sum[at].Vmd + on[at].Vmd, sum[at].DropDensity + on[at].DropDensity,
                       sum[at].VolumeDensity + on[at].VolumeDensity};
            ++mean.Reach[at];
        }
    }
    line.Stats.assign(static_cast<std::size_t>(points) + 1, CardStat{});
    for (std::size_t k = 1; k < sum.size(); ++k)
        if (mean.Reach[k] > 0) {
            const double n = mean.Reach[k];
            line.Stats[k] = {sum[k].Vmd / n, sum[k].DropDensity / n, sum[k].VolumeDensity / n};
        }

    mean.Spray[Sample_Position1] = significantText(start, 9);
    for (int k = 1; k <= points; ++k) {
        CardRecord point;
        point.Position = static_cast<float>(start + interval * (k - 1));
        point.FileTitle = "Mean at " + significantText(static_cast<double>(point.Position), 7);
        point.Scanned = mean.Reach[static_cast<std::size_t>(k)] > 0;
        const CardStat &s = line.Stats[static_cast<std::size_t>(k)];
        point.VMD = s.Vmd;
        point.DropDensity = s.DropDensity;
        point.VolumeDensity = s.VolumeDensity;
        mean.Points.add(std::move(point));
    }
    if (previous) {
        line.Deposit.SelectedWidth = previous->Deposit.SelectedWidth;
        line.DropDensity.SelectedWidth = previous->DropDensity.SelectedWidth;
    }
    // Interpolated where a pass was, or where its points miss the common grid.
    line.Interpolated =
        std::any_of(mean.Each.begin(), mean.Each.end(), [](const LineResults &r) { return r.Interpolated; }) ||
        std::any_of(grids.begin(), grids.end(), [&](const LineGrid &g) {
            const double offset = (static_cast<double>(g.Position1) - start) / interval;
            return g.Interval != static_cast<float>(interval) || std::fabs(offset - std::round(offset)) > 1e-6;
        });
    if (points >= 2) {
        line.HasSwath = true;
        runSwathAnalysis(line, line.Stats, static_cast<float>(start), settings);
    }
    return mean;
}

} // namespace vex
