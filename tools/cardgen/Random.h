#pragma once
// SplitMix64: small, fast and the same on every machine, unlike the standard
// distributions, whose output differs between library versions.  Generated
// cards must come out byte for byte the same wherever they are made.

#include <cstdint>

namespace vex::cardgen {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform in 0..n-1 (n > 0).
    std::int64_t below(std::int64_t n) { return static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t state_;
};

} // namespace vex::cardgen
