#pragma once
// How far a card's figures could be off from the count of drops alone: 95 %
// confidence intervals from resampling the card's stains (the bootstrap).
//
// The random numbers are our own from the engine up: std::mt19937_64's
// sequence is the same under every standard library, but the standard
// distributions are not, and the same card must give the same intervals on
// every machine the results are compared on.

#include "model/CardRecord.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace vex {

// "vexolin1" in ASCII.
inline constexpr std::uint64_t BootstrapSeed = 0x7665786F6C696E31u;

// The 64-bit Mersenne Twister: std::mt19937_64's very sequence, which the
// standard fixes.  The library's refills the state with a branch on a random
// bit of every word, which mispredicts every other time; this one refills
// without a branch, and a bootstrap's millions of draws cost half as much.
class MersenneTwister64 {
public:
    explicit MersenneTwister64(std::uint64_t seed);
    std::uint64_t operator()()
    {
        if (next_ == State)
            refill();
        return out_[next_++];
    }

private:
    static constexpr std::size_t State = 312;
    static constexpr std::size_t Shift = 156;
    // The next State words of state and output, each output tempered from
    // its word, all at once.
    void refill();

    std::array<std::uint64_t, State> state_{};
    std::array<std::uint64_t, State> out_{};
    std::size_t next_ = State;
};

// The seed of replicate `r` of a bootstrap seeded with `seed`: SplitMix64's
// mix of the two, so that neighbouring replicates start far apart.
constexpr std::uint64_t replicateSeed(std::uint64_t seed, std::uint64_t r)
{
    std::uint64_t z = seed + (r + 1) * 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

class BootstrapRandom {
public:
    explicit BootstrapRandom(std::uint64_t seed) : engine_(seed) {}
    // Uniform in [0, 1): the top 53 bits of one draw.
    double uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

private:
    MersenneTwister64 engine_;
};

// Poisson draws of one mean.  A class's mean is its count, the same in
// every replicate, so what a draw needs besides the random numbers is
// worked out once.
class PoissonSampler {
public:
    explicit PoissonSampler(double mean);
    // Inline: a line's replicates take tens of millions of draws, nearly
    // all of small means.
    std::int64_t operator()(BootstrapRandom &random) const
    {
        if (cumulative_.empty())
            return rejectionDraw(random);
        const double u = random.uniform();
        std::size_t k = guide_[static_cast<std::size_t>(u * GuideSteps)];
        while (k + 1 < cumulative_.size() && u >= cumulative_[k])
            ++k;
        return static_cast<std::int64_t>(k);
    }

private:
    static constexpr int GuideSteps = 256;
    std::int64_t rejectionDraw(BootstrapRandom &random) const;
    double logFactorialNear(std::int64_t k) const;

    double mean_ = 0.0;
    // Small means: P(X <= k) for k = 0, 1, ... until the sum stops growing,
    // and for each 1/256 of the unit interval the first k it can give.
    // Searching the sums from 0 would mispredict a branch or two per draw,
    // which costs more than the draw itself.
    std::vector<double> cumulative_;
    std::vector<std::uint8_t> guide_;
    // Larger means: the transformed rejection's constants.
    double a_ = 0.0;
    double b_ = 0.0;
    double logInvAlpha_ = 0.0;
    double vr_ = 0.0;
    double logMean_ = 0.0;
    // log k! for the k within eight standard deviations of the mean, each
    // worked out when a draw first needs it (NaN until then): a third of
    // the draws test their k against it, and it costs as much as they do.
    mutable std::vector<double> logFactorials_;
    std::int64_t firstLogFactorial_ = 0;
};

// The samplers of a card's or a line's classes, one per distinct count: a
// line holds tens of thousands of classes but few distinct counts, and a
// replicate that walks all classes then finds the samplers in the cache.
class CountSamplers {
public:
    // The sampler of `count`, made when it is new.
    std::uint32_t indexOf(std::int32_t count);
    std::int64_t draw(std::uint32_t index, BootstrapRandom &random) const { return samplers_[index](random); }

private:
    std::vector<PoissonSampler> samplers_;
    std::map<std::int32_t, std::uint32_t> index_;
};

// A percentile interval: Low and High are the 2.5 % and 97.5 % points of the
// replicate values.
struct Interval {
    double Low = 0.0;
    double High = 0.0;
};

// The 2.5 % and 97.5 % points of `values`, each at the fractional place
// p (n - 1) of the sorted values, linear between the two values around it;
// all zero for no value.
Interval percentileInterval(std::vector<double> values);

// One size class as a replicate sees it.
struct ResampledClass {
    double Diameter = 0.0; // um
    double Volume = 0.0;   // of one drop, in any unit shared by the classes and the total
};

// The diameters below which each of `shares` (ascending, 0..1) of
// `totalVolume` lies, over the classes in order with `counts` drops each.
// A class without drops is no class of the replicate and is passed over.
// The first class reached is interpolated from (0 um, 0), as a card's and
// the pooled line's VMD are, or, with `firstAtOwnDiameter`, taken at its
// own diameter, as inside a size range.  0 where a share is never reached.
std::vector<double> resampledDiameters(const std::vector<ResampledClass> &classes,
                                       const std::vector<std::int64_t> &counts, double totalVolume,
                                       const std::vector<double> &shares, bool firstAtOwnDiameter = false);

struct CardIntervals {
    bool Known = false;
    Interval Vmd, Dv01, Dv09, DropDensity;
};

// 95 % intervals of the card's VMD, Dv0.1, Dv0.9 and drop density from
// `replicates` resamplings of its stains.  Not known for a card not
// scanned, a card without drops or no replicate.
CardIntervals cardIntervals(const CardRecord &card, int replicates, std::uint64_t seed = BootstrapSeed);

} // namespace vex
