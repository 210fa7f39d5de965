#pragma once
// The drop density a product needs on the target: a range per cm² that each
// card falls below, within or above, from the usual advice per product type
// or as typed.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

struct DensityPreset {
    const char *Name;  // as the batch option takes it
    const char *Label; // as the window shows it
    double Low;
    double High;
};
std::span<const DensityPreset> densityPresets();

struct DensityRange {
    double Low = 0.0;
    double High = 0.0;
};

// A preset's name or "LOW-HIGH" with 0 <= LOW < HIGH; nothing otherwise.
std::optional<DensityRange> parseDensityTarget(std::string_view text);

enum class DensityVerdict { Below, Within, Above };
// The ends belong to the range.
DensityVerdict densityVerdict(double low, double high, double density);
const char *densityVerdictText(DensityVerdict v); // "below", "within", "above"

// How many of `densities` lie within the range, and their share (0..1; 0
// for none).
std::size_t countWithin(double low, double high, const std::vector<double> &densities);
double shareWithin(double low, double high, const std::vector<double> &densities);

} // namespace vex
