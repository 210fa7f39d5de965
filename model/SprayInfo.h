#pragma once
// The spray information of a trial: 15 text values kept exactly as typed and
// turned into numbers only where they are used.

#include <array>
#include <string>

namespace vex {

constexpr int SprayInfoCount = 15;

// Entry numbers, 1-based as the dialog and the results file count them.
enum SprayInfoEntry : int {
    AC_Type = 1,
    AC_Registration,
    AC_Owner,
    AC_Swath,
    AC_Speed,
    AC_Height,
    Spray_Product,
    Spray_ActiveRate,
    Spray_SprayRate,
    Nozzle_Type,
    Nozzle_Number,
    Sampler_Type,
    Sample_Position1,
    Sample_Interval,
    Comment
};

struct SprayInfo {
    friend bool operator==(const SprayInfo &, const SprayInfo &) = default;
    // Index 0 unused, so that entries are addressed by their numbers.
    std::array<std::string, SprayInfoCount + 1> Values;

    std::string &operator[](int entry) { return Values.at(static_cast<std::size_t>(entry)); }
    const std::string &operator[](int entry) const { return Values.at(static_cast<std::size_t>(entry)); }
};

} // namespace vex
