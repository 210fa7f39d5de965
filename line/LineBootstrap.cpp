#include "line/LineBootstrap.h"

#include "analysis/DropStatistics.h"
#include "line/Composite.h"
#include "line/LineGrid.h"
#include "line/Swath.h"
#include "text/NumberText.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace vex {

namespace {

// What a replicate needs of one class of one card, worked out once so that
// a replicate is one Poisson draw and a few additions per class.
struct CardClass {
    std::uint32_t Sampler = 0;
    std::int32_t Pooled = -1; // its pooled class in the dense list; -1 for none
    double Volume = 0.0;      // one drop, cubic micrometres
    bool InRange = false;     // inside the selected range, as the card's own figures take it
};

struct CountedCard {
    int Index = 0; // in the card list
    double Area = 0.0;
    std::size_t First = 0; // its classes in the flat list
    std::size_t End = 0;
};

} // namespace

// Stains are resampled within each card, card by card, never the cards
// themselves.  The cards are the trial's fixed places across the deposit
// profile, not exchangeable samples of one spray: drawing cards with
// replacement would reshuffle the very profile whose COV is asked for (a
// card drawn twice, its neighbour not at all), and a line holds only 5 to
// 30 cards, each with a deposit of its own.  What would differ at each card
// if the pass were flown again is which drops happened to land on it, and
// that is what resampling its stains mimics.
LineIntervals lineIntervals(const CardList &cards, const LineResults &line, const AnalysisSettings &settings,
                            int replicates, std::uint64_t seed, int threads)
{
    LineIntervals out;
    if (replicates <= 0)
        return out;
    const bool range = line.RangeSelected;

    // The pooled classes, dense, in the order calcCompositeAll lists them;
    // with a range selected only those inside it, as calcCompositeRange
    // keeps them.  Drops under 0.05 um were never a pooled class; they still
    // count as drops and volume of the line.
    std::vector<std::int64_t> tenths;
    for (const CardRecord &card : cards.records())
        if (card.Scanned && !card.Excluded)
            for (std::size_t k = 1; k < card.Stains.size(); ++k)
                if (card.Stains[k].Count > 0)
                    tenths.push_back(compositeClassIndex(card.Stains[k].Diameter));
    std::sort(tenths.begin(), tenths.end());
    tenths.erase(std::unique(tenths.begin(), tenths.end()), tenths.end());
    std::vector<ResampledClass> pooled;
    std::vector<std::int32_t> pooledAt(tenths.size(), -1);
    for (std::size_t i = 0; i < tenths.size(); ++i) {
        const auto diameter = static_cast<float>(static_cast<double>(tenths[i]) / 10.0);
        if (tenths[i] < 1 || (range && !(diameter >= settings.RangeLow && diameter <= settings.RangeHigh)))
            continue;
        const auto nl = static_cast<float>(dropVolume(static_cast<double>(tenths[i]) / 10.0) / 1e6);
        pooledAt[i] = static_cast<std::int32_t>(pooled.size());
        pooled.push_back({diameter, nl});
    }

    CountSamplers samplers;
    std::vector<CardClass> classes;
    std::vector<CountedCard> counted;
    double totalArea = 0.0;
    for (int i = 1; i <= cards.count(); ++i) {
        const CardRecord &card = cards[i];
        if (!card.Scanned || card.Excluded)
            continue;
        totalArea += card.CardArea;
        CountedCard c{i, card.CardArea, classes.size(), classes.size()};
        for (std::size_t k = 1; k < card.Stains.size(); ++k) {
            const SizeClass &s = card.Stains[k];
            if (s.Count <= 0)
                continue;
            const auto at = std::lower_bound(tenths.begin(), tenths.end(), compositeClassIndex(s.Diameter));
            // Class diameters rise with stain area, so the classes inside
            // the range are those whose diameters lie in it.
            const bool inRange = !range || (s.Diameter >= settings.RangeLow && s.Diameter <= settings.RangeHigh);
            classes.push_back({samplers.indexOf(s.Count), pooledAt[static_cast<std::size_t>(at - tenths.begin())],
                               static_cast<double>(s.DropVolume), inRange});
        }
        c.End = classes.size();
        counted.push_back(c);
    }
    if (classes.empty())
        return out;

    const std::int32_t width = line.Deposit.SelectedWidth;
    const bool swath =
        line.HasSwath && width >= 1 &&
        width < lineGrid(cards, std::vector<CardStat>(static_cast<std::size_t>(cards.count()) + 1), settings.Spray)
                    .points();

    // Each replicate draws from a seed of its own, so that the replicates
    // can be shared among threads in any way and still give the same
    // figures as one thread taking them in turn.
    struct Replicates {
        std::vector<double> Vmd, Density, Cov;
    };
    auto run = [&](int first, int end, CountSamplers draws, Replicates &into) {
        std::vector<CardStat> stats(static_cast<std::size_t>(cards.count()) + 1);
        std::vector<std::int64_t> pooledCounts(pooled.size());
        std::vector<float> profile;
        for (int r = first; r < end; ++r) {
            BootstrapRandom random(replicateSeed(seed, static_cast<std::uint64_t>(r)));
            std::fill(pooledCounts.begin(), pooledCounts.end(), 0);
            std::int64_t drops = 0;
            double cardVolumes = 0.0; // cubic micrometres
            for (const CountedCard &card : counted) {
                double volume = 0.0;
                double inRange = 0.0;
                for (std::size_t k = card.First; k < card.End; ++k) {
                    const CardClass &c = classes[k];
                    const std::int64_t n = draws.draw(c.Sampler, random);
                    drops += n;
                    if (c.Pooled >= 0)
                        pooledCounts[static_cast<std::size_t>(c.Pooled)] += n;
                    volume += static_cast<double>(n) * c.Volume;
                    if (c.InRange)
                        inRange += static_cast<double>(n) * c.Volume;
                }
                cardVolumes += volume;
                stats[static_cast<std::size_t>(card.Index)].VolumeDensity =
                    card.Area > 0.0 ? (range ? inRange : volume) / 1e6 / card.Area : 0.0;
            }
            into.Density.push_back(totalArea > 0.0 ? static_cast<double>(drops) / totalArea : 0.0);

            // The pooled fractions are shares of the cards' own volumes, or
            // of the pooled volume inside a range, as the line's figures
            // are.  A replicate without drops (in the range) has no VMD and
            // no deposit to spread: it is left out of those figures.
            double pooledVolume = 0.0;
            for (std::size_t i = 0; i < pooled.size(); ++i)
                pooledVolume += static_cast<double>(pooledCounts[i]) * pooled[i].Volume;
            if (pooledVolume > 0.0)
                into.Vmd.push_back(resampledDiameters(pooled, pooledCounts, range ? pooledVolume : cardVolumes / 1e6,
                                                      {0.5}, range)[0]);
            if (!swath)
                continue;
            // The cards keep their positions; only their deposit changes.
            const LineGrid grid = lineGrid(cards, stats, settings.Spray);
            profile.clear();
            for (int p = 1; p <= grid.points(); ++p)
                profile.push_back(static_cast<float>(grid.Stats[static_cast<std::size_t>(p)].VolumeDensity));
            const BlockStats block = blockStatistics(profile, width);
            if (block.Mean > 0.0f)
                into.Cov.push_back(block.Cov);
        }
    };
    // The samplers fill a cache as they draw: each thread has its own.
    const int parts = std::clamp(threads, 1, replicates);
    std::vector<Replicates> done(static_cast<std::size_t>(parts));
    std::vector<std::exception_ptr> failed(static_cast<std::size_t>(parts));
    {
        const auto part = [&](int t) {
            run(replicates * t / parts, replicates * (t + 1) / parts, samplers, done[static_cast<std::size_t>(t)]);
        };
        std::vector<std::jthread> helpers;
        helpers.reserve(static_cast<std::size_t>(parts));
        int started = 1;
        // A part whose thread the system will not give is run here.
        for (; started < parts; ++started) {
            try {
                helpers.emplace_back([&, t = started] {
                    try {
                        part(t);
                    } catch (...) {
                        failed[static_cast<std::size_t>(t)] = std::current_exception();
                    }
                });
            } catch (const std::system_error &) {
                break;
            }
        }
        for (int t = started; t < parts; ++t)
            part(t);
        part(0);
    }
    for (const std::exception_ptr &failure : failed)
        if (failure)
            std::rethrow_exception(failure);
    Replicates all;
    for (Replicates &part : done) {
        all.Vmd.insert(all.Vmd.end(), part.Vmd.begin(), part.Vmd.end());
        all.Density.insert(all.Density.end(), part.Density.begin(), part.Density.end());
        all.Cov.insert(all.Cov.end(), part.Cov.begin(), part.Cov.end());
    }
    out.Known = true;
    out.Vmd = percentileInterval(std::move(all.Vmd));
    out.DropDensity = percentileInterval(std::move(all.Density));
    out.DepositCov = percentileInterval(std::move(all.Cov));
    return out;
}

namespace {

std::string sizesAndDensity(const Interval &vmd, const Interval &density)
{
    const std::string um = std::string(" ") + MicroSign + "m";
    return "95 %: VMD " + formatFixed(vmd.Low, 1) + " - " + formatFixed(vmd.High, 1) + um + ", " +
           formatFixed(density.Low, 2) + " - " + formatFixed(density.High, 2) + " drops/cm" + SuperscriptTwo;
}

} // namespace

std::string intervalsText(const CardIntervals &ci)
{
    return ci.Known ? sizesAndDensity(ci.Vmd, ci.DropDensity) : std::string();
}

std::string intervalsText(const LineIntervals &ci, bool cov)
{
    if (!ci.Known)
        return {};
    if (cov)
        return "95 %: COV " + formatFixed(ci.DepositCov.Low, 2) + " - " + formatFixed(ci.DepositCov.High, 2);
    return sizesAndDensity(ci.Vmd, ci.DropDensity);
}

} // namespace vex
