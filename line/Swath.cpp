#include "line/Swath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vex {

namespace {

constexpr float CovLimit = 0.3f;

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

} // namespace

// Sampled at any fixed offset from the cards, such a profile sums to the
// same total as the cards themselves, so the mirrored passes lay down
// exactly the deposit the outward ones do.
double profileAt(const std::vector<float> &profile, double t)
{
    const auto n = static_cast<std::int64_t>(profile.size());
    auto value = [&](std::int64_t i) {
        return i < 0 || i >= n ? 0.0 : static_cast<double>(profile[static_cast<std::size_t>(i)]);
    };
    const double below = std::floor(t);
    if (below < -1.0 || below > static_cast<double>(n))
        return 0.0;
    const auto i = static_cast<std::int64_t>(below);
    const double frac = t - below;
    return frac == 0.0 ? value(i) : value(i) * (1.0 - frac) + value(i + 1) * frac;
}

PositionNumbers positionNumbers(float position1, float interval)
{
    PositionNumbers p;
    if (!(interval != 0.0f) || !std::isfinite(position1) || !std::isfinite(interval))
        return p;
    const float ratio = position1 / interval;
    const float whole = std::trunc(ratio);
    if (std::fabs(whole) > static_cast<float>(std::numeric_limits<std::int32_t>::max() / 4))
        return p;
    p.K = static_cast<std::int32_t>(whole);
    p.F = ratio - whole;
    p.Placed = true;
    return p;
}

float sampleStdDev(const std::vector<float> &values)
{
    const std::size_t n = values.size();
    if (n <= 1)
        return 0.0f;
    double sum = 0.0;
    for (const float v : values)
        sum += v;
    const double mean = sum / static_cast<double>(n);
    double squares = 0.0;
    for (const float v : values)
        squares += (v - mean) * (v - mean);
    return static_cast<float>(std::sqrt(squares / static_cast<double>(n - 1)));
}

BlockStats repeatStatistics(const std::vector<double> &v, long freedom)
{
    BlockStats out;
    double total = 0.0;
    double largest = 0.0;
    double smallest = 1000000.0;
    for (const double x : v) {
        total += x;
        largest = std::max(largest, x);
        smallest = std::min(smallest, x);
    }
    const double mean = v.empty() ? 0.0 : total / static_cast<double>(v.size());
    out.Mean = static_cast<float>(mean);
    out.Max = static_cast<float>(largest);
    out.Min = static_cast<float>(smallest);
    if (freedom > 0 && mean > 0.0) {
        double squares = 0.0;
        for (const double x : v)
            squares += (x - mean) * (x - mean);
        out.Cov = static_cast<float>(std::sqrt(squares / static_cast<double>(freedom)) / mean);
    }
    return out;
}

BlockStats blockStatistics(const std::vector<float> &profile, std::int32_t n)
{
    BlockStats s;
    if (n < 1)
        return s;
    std::vector<float> block(static_cast<std::size_t>(n), 0.0f);
    s.Max = 0.0f;
    s.Min = 1000000.0f;
    double total = 0.0;
    for (std::int32_t i = 0; i < n; ++i) {
        double sum = 0.0;
        for (std::size_t j = static_cast<std::size_t>(i); j < profile.size(); j += static_cast<std::size_t>(n))
            sum += profile[j];
        block[static_cast<std::size_t>(i)] = static_cast<float>(sum);
        s.Max = std::max(s.Max, block[static_cast<std::size_t>(i)]);
        s.Min = std::min(s.Min, block[static_cast<std::size_t>(i)]);
        total += block[static_cast<std::size_t>(i)];
    }
    s.Mean = static_cast<float>(total / n);
    s.Cov = s.Mean > 0.0f ? sampleStdDev(block) / s.Mean : 0.0f;
    return s;
}

namespace {

// What the outward and the returning pass leave at the grid numbers where
// either leaves anything, worked out once for all widths: interpolating
// anew for every pass of every width made a long line cost far more than
// the sums themselves.  The returning pass lies mirrored about the flight
// line, so a line far from it has two short stretches of deposit with
// nothing between them; only the stretches are kept, as a grid across the
// whole gap cost memory and time by where the cards lay, not by how many
// there are.
struct PassStretch {
    std::int64_t Top = 0; // grid number of element 0; the others go down
    std::vector<double> Out;
    std::vector<double> Back;
};

struct PassGrid {
    std::int64_t Low = 0;
    std::int64_t High = -1;
    std::vector<PassStretch> Stretches; // from the top of the grid down
};

PassGrid passGrid(const std::vector<float> &profile, std::int32_t k, float f)
{
    PassGrid grid;
    const auto cards = static_cast<std::int64_t>(profile.size());
    const double shift = 2.0 * static_cast<double>(f);
    grid.Low = std::min<std::int64_t>(k, -k - cards - 2) - 1;
    grid.High = std::max<std::int64_t>(k + cards, -k + 2) + 1;
    // Outside these the profile is nothing (one spacing beyond the outer
    // cards), so the sums skip only zeros and stay what a sweep of every
    // grid number gave.  |2f| < 2 places the mirrored stretch.
    std::int64_t spans[2][2] = {{k - 1, k + cards + 1}, {-k - cards - 3, -k + 3}};
    for (auto &span : spans) {
        span[0] = std::max(span[0], grid.Low);
        span[1] = std::min(span[1], grid.High);
    }
    if (spans[0][0] < spans[1][0])
        std::swap(spans[0], spans[1]);                       // the upper one first
    std::vector<std::pair<std::int64_t, std::int64_t>> kept; // high, low
    for (const auto &span : spans) {
        if (!kept.empty() && span[1] >= kept.back().second - 1) {
            kept.back().first = std::max(kept.back().first, span[1]);
            kept.back().second = std::min(kept.back().second, span[0]);
        } else {
            kept.emplace_back(span[1], span[0]);
        }
    }
    for (const auto &[high, low] : kept) {
        PassStretch stretch;
        stretch.Top = high;
        for (std::int64_t g = high; g >= low; --g) {
            // A pass flown back leaves at -x what a pass flown out leaves
            // at +x: at grid number g it leaves what the outward pass leaves
            // at -g - 2f.
            stretch.Out.push_back(profileAt(profile, static_cast<double>(g - k)));
            stretch.Back.push_back(profileAt(profile, -static_cast<double>(g) - shift - k));
        }
        grid.Stretches.push_back(std::move(stretch));
    }
    return grid;
}

BlockStats backAndForthOnGrid(const PassGrid &grid, std::int32_t k, std::int32_t n)
{
    // Flown back and forth the pattern repeats every two passes, so its
    // block is two widths long.
    const std::int64_t period = 2 * static_cast<std::int64_t>(n);
    std::vector<double> combined(static_cast<std::size_t>(period), 0.0);
    // Block place i at grid number g = k + i takes pass p's deposit at
    // g - p n.  Turned round, every grid number gives to two places, r and
    // r + n with r = (g - k) mod n: the outward deposit to the one whose
    // pass number is even, the returning deposit to the other.  One sweep
    // of the grid, from its top down, adds every term in the order the
    // passes come, so the sums are those pass by pass.
    for (const PassStretch &stretch : grid.Stretches) {
        std::int64_t q = floorDiv(stretch.Top - k, n);
        std::int64_t r = stretch.Top - k - q * n;
        for (std::size_t at = 0; at < stretch.Out.size(); ++at) {
            // At place r the pass is -q, at place r + n it is 1 - q.
            const bool outHere = q % 2 == 0;
            combined[static_cast<std::size_t>(r)] += outHere ? stretch.Out[at] : stretch.Back[at];
            combined[static_cast<std::size_t>(r + n)] += outHere ? stretch.Back[at] : stretch.Out[at];
            if (--r < 0) {
                r += n;
                --q;
            }
        }
    }
    // Two blocks' worth of deviations over two blocks' degrees of freedom:
    // a profile symmetric about the centre line gives exactly the racetrack
    // COV, as the two patterns then lay the same deposit.
    return repeatStatistics(combined, n > 1 ? 2L * (n - 1) : 0L);
}

} // namespace

BlockStats backAndForthStatistics(const std::vector<float> &profile, std::int32_t k, float f, std::int32_t n)
{
    if (n < 1 || profile.empty())
        return {};
    return backAndForthOnGrid(passGrid(profile, k, f), k, n);
}

std::int32_t proposeWidth(const std::vector<WidthStats> &widths)
{
    const auto count = static_cast<std::int32_t>(widths.size()) - 1; // widths 1..count
    if (count < 1)
        return 0;
    for (std::int32_t n = count - 1; n >= 1; --n) {
        const auto at = [&](std::int32_t w) { return widths[static_cast<std::size_t>(w)].Cov; };
        if (at(n + 1) > CovLimit && at(n) <= CovLimit)
            return n;
    }
    return count;
}

void swathAnalysis(const std::vector<CardStat> &cardStats, float position1, float interval, SwathProfile &deposit,
                   SwathProfile &dropDensity)
{
    const PositionNumbers numbers = positionNumbers(position1, interval);
    const std::size_t cards = cardStats.empty() ? 0 : cardStats.size() - 1;
    for (SwathProfile *p : {&deposit, &dropDensity}) {
        p->K = numbers.K;
        p->F = numbers.F;
        p->Profile.assign(cards, 0.0f);
        p->Widths.assign(cards == 0 ? 1 : cards, WidthStats{});
        p->LargestCov = 0.0f;
    }
    for (std::size_t i = 1; i <= cards; ++i) {
        deposit.Profile[i - 1] = static_cast<float>(cardStats[i].VolumeDensity);
        dropDensity.Profile[i - 1] = static_cast<float>(cardStats[i].DropDensity);
    }
    for (SwathProfile *p : {&deposit, &dropDensity}) {
        const PassGrid grid = cards > 0 ? passGrid(p->Profile, p->K, p->F) : PassGrid{};
        for (std::size_t n = 1; n + 1 <= cards; ++n) {
            const auto width = static_cast<std::int32_t>(n);
            const BlockStats race = blockStatistics(p->Profile, width);
            const BlockStats turn = backAndForthOnGrid(grid, p->K, width);
            p->Widths[n] = {race.Cov, race.Mean, race.Max, race.Min, turn.Cov, turn.Mean, turn.Max, turn.Min};
            p->LargestCov = std::max(p->LargestCov, race.Cov);
        }
        if (p->SelectedWidth == 0 || p->SelectedWidth > static_cast<std::int32_t>(cards) - 1)
            p->SelectedWidth = proposeWidth(p->Widths);
    }
}

void buildMultiswath(SwathProfile &profile)
{
    profile.Multiswath.clear();
    profile.MultiswathMax = 0.0f;
    profile.Passes = 0;
    const std::int32_t w = profile.SelectedWidth;
    const auto cards = static_cast<std::int64_t>(profile.Profile.size());
    if (w < 1 || cards == 0)
        return;
    profile.Passes = std::max<std::int32_t>(
        5, static_cast<std::int32_t>(std::nearbyint(static_cast<double>(cards - 1) / w + 0.49999)));
    const std::int64_t low = profile.K;
    const std::int64_t shift = std::max<std::int64_t>(0, cards + low - w);
    const std::int64_t top = static_cast<std::int64_t>(w) * profile.Passes + shift;
    // The passes reach this far; beyond, the profile runs on with nothing
    // to the far side of the flight line, but not across a gap that only a
    // line far from the flight line has.
    const std::int64_t reached = cards + static_cast<std::int64_t>(w) * (profile.Passes - 1);
    const std::int64_t size = std::min(top - low + 1, reached + MaxMultiswathTail);
    profile.Multiswath.assign(static_cast<std::size_t>(std::max<std::int64_t>(0, size)), 0.0f);
    for (std::int32_t p = 0; p < profile.Passes; ++p)
        for (std::int64_t j = 0; j < cards; ++j) {
            const std::int64_t at = j + static_cast<std::int64_t>(w) * p;
            if (at >= 0 && at < static_cast<std::int64_t>(profile.Multiswath.size()))
                profile.Multiswath[static_cast<std::size_t>(at)] += profile.Profile[static_cast<std::size_t>(j)];
        }
    for (const float v : profile.Multiswath)
        profile.MultiswathMax = std::max(profile.MultiswathMax, v);
}

} // namespace vex
