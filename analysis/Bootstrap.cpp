#include "analysis/Bootstrap.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vex {

namespace {

// Below this mean a draw looks its value up among the cumulative
// probabilities, a step or two from where the guide puts it; above it that
// table grows long (and its guide's entries would outgrow a byte), and the
// transformed rejection, whose logarithms cost several times a look-up,
// costs the same at any mean.
constexpr double InversionBelow = 64.0;

// log k!: exactly for small k, where the series is too coarse, and from
// Stirling's series for log Gamma(k + 1) beyond, whose error there is below
// 1e-12.  Our own, as lgamma may differ in its last bits between libraries.
double logFactorial(std::int64_t k)
{
    if (k < 10) {
        double product = 1.0;
        for (std::int64_t i = 2; i <= k; ++i)
            product *= static_cast<double>(i);
        return std::log(product);
    }
    const double x = static_cast<double>(k) + 1.0;
    const double x2 = x * x;
    const double halfLogTwoPi = 0.91893853320467274178;
    const double series = (1.0 / 12.0 - (1.0 / 360.0 - (1.0 / 1260.0 - 1.0 / (1680.0 * x2)) / x2) / x2) / x;
    return (x - 0.5) * std::log(x) - x + halfLogTwoPi + series;
}

} // namespace

MersenneTwister64::MersenneTwister64(std::uint64_t seed)
{
    state_[0] = seed;
    for (std::size_t i = 1; i < State; ++i)
        state_[i] = 6364136223846793005u * (state_[i - 1] ^ (state_[i - 1] >> 62)) + i;
}

void MersenneTwister64::refill()
{
    constexpr std::uint64_t Upper = ~std::uint64_t{0} << 31;
    constexpr std::uint64_t Lower = ~Upper;
    constexpr std::uint64_t Twist = 0xB5026F5AA96619E9u;
    // Each word takes the old value of the next and the one half the state
    // away, new or old as the order of the steps has it: no step of a loop
    // depends on another's result, so the loops run as vector code.
    auto next = [](std::uint64_t word, std::uint64_t following, std::uint64_t away) {
        const std::uint64_t y = (word & Upper) | (following & Lower);
        return away ^ (y >> 1) ^ ((std::uint64_t{0} - (y & 1u)) & Twist);
    };
    std::size_t k = 0;
    for (; k < State - Shift; ++k)
        state_[k] = next(state_[k], state_[k + 1], state_[k + Shift]);
    for (; k < State - 1; ++k)
        state_[k] = next(state_[k], state_[k + 1], state_[k - (State - Shift)]);
    state_[State - 1] = next(state_[State - 1], state_[0], state_[Shift - 1]);
    for (std::size_t i = 0; i < State; ++i) {
        std::uint64_t y = state_[i];
        y ^= (y >> 29) & 0x5555555555555555u;
        y ^= (y << 17) & 0x71D67FFFEDA60000u;
        y ^= (y << 37) & 0xFFF7EEE000000000u;
        out_[i] = y ^ (y >> 43);
    }
    next_ = 0;
}

PoissonSampler::PoissonSampler(double mean) : mean_(std::max(mean, 0.0))
{
    if (mean_ < InversionBelow) {
        // Rounding can leave the sum a hair under 1: a u beyond it falls
        // into the last entry, as the tail beyond weighs nothing.
        double p = std::exp(-mean_);
        double sum = p;
        cumulative_.push_back(sum);
        for (int k = 1;; ++k) {
            p *= mean_ / k;
            if (sum + p == sum)
                break;
            sum += p;
            cumulative_.push_back(sum);
        }
        std::size_t k = 0;
        for (int g = 0; g < GuideSteps; ++g) {
            while (k + 1 < cumulative_.size() && g / static_cast<double>(GuideSteps) >= cumulative_[k])
                ++k;
            guide_.push_back(static_cast<std::uint8_t>(k));
        }
        return;
    }
    // Hörmann's transformed rejection with squeeze (PTRS), with the
    // constants of his paper for means of 10 and more.
    const double root = std::sqrt(mean_);
    b_ = 0.931 + 2.53 * root;
    a_ = -0.059 + 0.02483 * b_;
    logInvAlpha_ = std::log(1.1239 + 1.1328 / (b_ - 3.4));
    vr_ = 0.9277 - 3.6224 / (b_ - 2.0);
    logMean_ = std::log(mean_);
    firstLogFactorial_ = static_cast<std::int64_t>(std::max(mean_ - 8.0 * root, 0.0));
    logFactorials_.assign(static_cast<std::size_t>(16.0 * root) + 2, std::numeric_limits<double>::quiet_NaN());
}

double PoissonSampler::logFactorialNear(std::int64_t k) const
{
    const std::int64_t at = k - firstLogFactorial_;
    if (at < 0 || at >= static_cast<std::int64_t>(logFactorials_.size()))
        return logFactorial(k);
    double &known = logFactorials_[static_cast<std::size_t>(at)];
    if (std::isnan(known))
        known = logFactorial(k);
    return known;
}

std::int64_t PoissonSampler::rejectionDraw(BootstrapRandom &random) const
{
    for (;;) {
        const double u = random.uniform() - 0.5;
        const double v = random.uniform();
        const double us = 0.5 - std::fabs(u);
        if (us <= 0.0)
            continue;
        const double k = std::floor((2.0 * a_ / us + b_) * u + mean_ + 0.43);
        if (k < 0.0)
            continue;
        if (us >= 0.07 && v <= vr_)
            return static_cast<std::int64_t>(k);
        if (us < 0.013 && v > us)
            continue;
        const auto whole = static_cast<std::int64_t>(k);
        if (std::log(v) + logInvAlpha_ - std::log(a_ / (us * us) + b_) <=
            -mean_ + k * logMean_ - logFactorialNear(whole))
            return whole;
    }
}

std::uint32_t CountSamplers::indexOf(std::int32_t count)
{
    const auto [at, added] = index_.try_emplace(count, static_cast<std::uint32_t>(samplers_.size()));
    if (added)
        samplers_.emplace_back(count);
    return at->second;
}

Interval percentileInterval(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const auto at = [&](double p) {
        const double place = p * static_cast<double>(values.size() - 1);
        const auto below = static_cast<std::size_t>(std::floor(place));
        const std::size_t above = std::min(below + 1, values.size() - 1);
        return values[below] + (values[above] - values[below]) * (place - static_cast<double>(below));
    };
    return {at(0.025), at(0.975)};
}

std::vector<double> resampledDiameters(const std::vector<ResampledClass> &classes,
                                       const std::vector<std::int64_t> &counts, double totalVolume,
                                       const std::vector<double> &shares, bool firstAtOwnDiameter)
{
    std::vector<double> out(shares.size(), 0.0);
    if (!(totalVolume > 0.0))
        return out;
    std::size_t next = 0;
    double previousDiameter = 0.0;
    double previousCum = 0.0;
    double cumVolume = 0.0;
    for (std::size_t k = 0; k < classes.size() && next < shares.size(); ++k) {
        if (counts[k] <= 0)
            continue;
        cumVolume += static_cast<double>(counts[k]) * classes[k].Volume;
        const double cum = cumVolume / totalVolume;
        const double diameter = classes[k].Diameter;
        for (; next < shares.size() && cum >= shares[next] && previousCum < shares[next]; ++next) {
            out[next] = firstAtOwnDiameter && previousCum == 0.0
                            ? diameter
                            : previousDiameter +
                                  (diameter - previousDiameter) * (shares[next] - previousCum) / (cum - previousCum);
        }
        previousDiameter = diameter;
        previousCum = cum;
    }
    return out;
}

CardIntervals cardIntervals(const CardRecord &card, int replicates, std::uint64_t seed)
{
    CardIntervals out;
    if (!card.Scanned || replicates <= 0)
        return out;
    std::vector<ResampledClass> classes;
    CountSamplers samplers;
    std::vector<std::uint32_t> draws;
    for (std::size_t k = 1; k < card.Stains.size(); ++k) {
        const SizeClass &c = card.Stains[k];
        if (c.Count <= 0)
            continue;
        classes.push_back({c.Diameter, c.DropVolume});
        draws.push_back(samplers.indexOf(c.Count));
    }
    if (classes.empty())
        return out;

    // Every stain drawn a Poisson(1) number of times, independently, is the
    // bootstrap's resampling with the total left free; a class of c stains
    // then holds a Poisson(c) number, one draw per class however many
    // stains a card has.
    BootstrapRandom random(seed);
    std::vector<std::int64_t> counts(classes.size());
    const std::vector<double> shares = {0.1, 0.5, 0.9};
    std::vector<double> vmd;
    std::vector<double> dv01;
    std::vector<double> dv09;
    std::vector<double> density;
    for (int r = 0; r < replicates; ++r) {
        std::int64_t drops = 0;
        double volume = 0.0;
        for (std::size_t k = 0; k < classes.size(); ++k) {
            counts[k] = samplers.draw(draws[k], random);
            drops += counts[k];
            volume += static_cast<double>(counts[k]) * classes[k].Volume;
        }
        density.push_back(card.CardArea > 0.0 ? static_cast<double>(drops) / card.CardArea : 0.0);
        // A replicate that drew no drop at all has no spectrum: it counts
        // for the density (as none) but is left out of the size figures,
        // which then rest on the replicates that have drops.
        if (drops == 0)
            continue;
        const std::vector<double> d = resampledDiameters(classes, counts, volume, shares);
        dv01.push_back(d[0]);
        vmd.push_back(d[1]);
        dv09.push_back(d[2]);
    }
    out.Known = true;
    out.Vmd = percentileInterval(std::move(vmd));
    out.Dv01 = percentileInterval(std::move(dv01));
    out.Dv09 = percentileInterval(std::move(dv09));
    out.DropDensity = percentileInterval(std::move(density));
    return out;
}

} // namespace vex
