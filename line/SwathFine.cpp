#include "line/SwathFine.h"

#include <algorithm>
#include <cmath>

namespace vex {

BlockStats racetrackAt(const std::vector<float> &profile, double width)
{
    if (!(width > 0.0) || profile.empty())
        return {};
    const auto cards = static_cast<double>(profile.size());
    const long samples = std::max(1L, std::lround(width));
    std::vector<double> combined(static_cast<std::size_t>(samples));
    for (long m = 0; m < samples; ++m) {
        const double x = static_cast<double>(m) * width / static_cast<double>(samples);
        // Every pass whose profile reaches x: x + k width inside (-1, cards).
        const auto first = static_cast<long>(std::ceil((-1.0 - x) / width));
        const auto last = static_cast<long>(std::floor((cards - x) / width));
        double sum = 0.0;
        for (long k = first; k <= last; ++k)
            sum += profileAt(profile, x + static_cast<double>(k) * width);
        combined[static_cast<std::size_t>(m)] = sum;
    }
    return repeatStatistics(combined, samples - 1);
}

BlockStats backAndForthAt(const std::vector<float> &profile, std::int32_t k, float f, double width)
{
    if (!(width > 0.0) || profile.empty())
        return {};
    const auto cards = static_cast<double>(profile.size());
    // A pass flown back leaves at card index t what the outward pass leaves
    // at -t - 2k - 2f: the mirror image about the flight line.
    const double mirror = 2.0 * static_cast<double>(k) + 2.0 * static_cast<double>(f);
    const long samples = std::max(2L, std::lround(2.0 * width));
    std::vector<double> combined(static_cast<std::size_t>(samples));
    for (long m = 0; m < samples; ++m) {
        const double x = static_cast<double>(m) * 2.0 * width / static_cast<double>(samples);
        double sum = 0.0;
        // Pass p lies p widths out; even passes are flown out, odd ones back.
        const auto outFirst = static_cast<long>(std::floor((x - cards) / width));
        const auto outLast = static_cast<long>(std::ceil((x + 1.0) / width));
        for (long p = outFirst; p <= outLast; ++p)
            if (p % 2 == 0)
                sum += profileAt(profile, x - static_cast<double>(p) * width);
        const auto backFirst = static_cast<long>(std::floor((x - 1.0 + mirror) / width));
        const auto backLast = static_cast<long>(std::ceil((x + cards + mirror) / width));
        for (long p = backFirst; p <= backLast; ++p)
            if (p % 2 != 0)
                sum += profileAt(profile, -(x - static_cast<double>(p) * width) - mirror);
        combined[static_cast<std::size_t>(m)] = sum;
    }
    // Two repeats' worth of deviations over two repeats' degrees of freedom,
    // as at whole widths.
    return repeatStatistics(combined, samples - 2);
}

std::vector<FineWidth> fineWidths(const SwathProfile &profile, double step)
{
    std::vector<FineWidth> out;
    const auto widest = static_cast<double>(profile.Widths.size()) - 1.0;
    if (!(step > 0.0) || step > 1.0 || widest < 1.0)
        return out;
    // Each width costs a sweep of the line; a line of thousands of cards
    // would otherwise spend minutes on widths no aircraft flies.
    const auto steps = std::min(static_cast<long>(std::floor((widest - 1.0) / step + 1e-9)), MaxFineWidths - 1);
    for (long j = 0; j <= steps; ++j) {
        const double width = 1.0 + static_cast<double>(j) * step;
        FineWidth w;
        const double whole = std::round(width);
        if (std::fabs(width - whole) < 1e-9) {
            const WidthStats &at = profile.Widths[static_cast<std::size_t>(whole)];
            w = {whole, at.Cov, at.CovBackAndForth};
        } else {
            w.Width = width;
            w.Cov = racetrackAt(profile.Profile, width).Cov;
            w.CovBackAndForth = backAndForthAt(profile.Profile, profile.K, profile.F, width).Cov;
        }
        out.push_back(w);
    }
    return out;
}

CovSpread covNear(const std::vector<FineWidth> &widths, double width)
{
    CovSpread s;
    double total = 0.0;
    int n = 0;
    for (const FineWidth &w : widths) {
        if (std::fabs(w.Width - width) > 1.0 + 1e-9)
            continue;
        s.Min = n == 0 ? w.Cov : std::min(s.Min, w.Cov);
        s.Max = n == 0 ? w.Cov : std::max(s.Max, w.Cov);
        total += w.Cov;
        ++n;
    }
    s.Known = n > 0;
    s.Mean = n > 0 ? static_cast<float>(total / n) : 0.0f;
    return s;
}

PatternCentre patternCentre(const SwathProfile &profile, float interval)
{
    PatternCentre c;
    const std::vector<float> &p = profile.Profile;
    double total = 0.0;
    double moment = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        total += p[i];
        moment += static_cast<double>(p[i]) * static_cast<double>(i);
    }
    if (!(total > 0.0))
        return c;
    c.Known = true;
    const double origin = static_cast<double>(profile.K) + static_cast<double>(profile.F);
    const double spacing = interval;
    c.Centroid = (origin + moment / total) * spacing;

    // The first rise through half the mean and the last fall through it,
    // on the profile linear between cards and nothing one spacing beyond.
    const double level = 0.5 * total / static_cast<double>(p.size());
    const auto at = [&](std::int64_t i) {
        return i < 0 || i >= static_cast<std::int64_t>(p.size()) ? 0.0
                                                                 : static_cast<double>(p[static_cast<std::size_t>(i)]);
    };
    const auto n = static_cast<std::int64_t>(p.size());
    double rise = 0.0;
    for (std::int64_t i = 0; i <= n; ++i)
        if (at(i) >= level) {
            rise = static_cast<double>(i - 1) + (level - at(i - 1)) / (at(i) - at(i - 1));
            break;
        }
    double fall = static_cast<double>(n - 1);
    for (std::int64_t i = n - 1; i >= -1; --i)
        if (at(i) >= level) {
            fall = static_cast<double>(i) + (at(i) - level) / (at(i) - at(i + 1));
            break;
        }
    c.HalfMeanCentre = (origin + (rise + fall) / 2.0) * spacing;
    return c;
}

} // namespace vex
