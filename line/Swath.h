#pragma once
// The swath analysis: the per-card deposit and drop density laid out along
// the line, the combined deposit of repeated passes for every swath width
// that is a whole number of card spacings, the proposed width and the
// combined (multiswath) profile of the chosen width.

#include "model/CardStat.h"

#include <cstdint>
#include <vector>

namespace vex {

// Position numbers count card spacings from the aircraft centre line:
// card i sits at number K + i - 1, at (number + F) x spacing.
struct PositionNumbers {
    std::int32_t K = 0;
    float F = 0.0f;
    // False for a spacing of 0 or a card 1 too many spacings out to number
    // (K and F are then 0).
    bool Placed = false;
};
PositionNumbers positionNumbers(float position1, float interval);

struct WidthStats {
    float Cov = 0.0f; // a fraction, not a percentage
    float Mean = 0.0f;
    float Max = 0.0f;
    float Min = 0.0f;
    // The same for passes flown back and forth (every second pass mirrored
    // about the centre line); the racetrack figures above are the default.
    float CovBackAndForth = 0.0f;
    float MeanBackAndForth = 0.0f;
    float MaxBackAndForth = 0.0f;
    float MinBackAndForth = 0.0f;
};

struct SwathProfile {
    std::int32_t K = 0;             // lowest position number
    float F = 0.0f;                 // fraction of a spacing of card 1's offset
    std::vector<float> Profile;     // position numbers K .. K + CardCount - 1
    std::int32_t SelectedWidth = 0; // 0: not chosen yet
    std::vector<WidthStats> Widths; // 1 .. CardCount - 1 (element 0 unused)
    float LargestCov = 0.0f;
    std::vector<float> Multiswath; // position numbers K ..
    float MultiswathMax = 0.0f;
    std::int32_t Passes = 0;
};

// The single-pass profile at a fractional card index t (0 = card 1),
// linear between cards and falling to nothing one spacing beyond the first
// and the last card.
double profileAt(const std::vector<float> &profile, double t);

// Sample standard deviation, in double precision with two passes: the
// one-pass single-precision formula loses every digit on large close values.
float sampleStdDev(const std::vector<float> &values);

struct BlockStats {
    float Cov = 0.0f;
    float Mean = 0.0f;
    float Max = 0.0f;
    float Min = 0.0f;
};

// The mean, largest and smallest of the samples `v` of one repeat of the
// combined deposit, and their COV over `freedom` degrees of freedom (0 for
// none), all worked out in double precision.
BlockStats repeatStatistics(const std::vector<double> &v, long freedom);

// Passes n spacings apart, all flown the same way (racetrack).
BlockStats blockStatistics(const std::vector<float> &profile, std::int32_t n);

// Passes n spacings apart, every second one flown back.  `f` places the
// cards on the spacing grid (see PositionNumbers).
BlockStats backAndForthStatistics(const std::vector<float> &profile, std::int32_t k, float f, std::int32_t n);

// The widest width whose COV is at most 30 % while the next wider width
// exceeds 30 %; the widest width when there is no such step.
std::int32_t proposeWidth(const std::vector<WidthStats> &widths);

// Rebuilds both profiles (deposit, drop density) and their statistics from
// the per-card figures; a selected width of 0 gets the proposal.
void swathAnalysis(const std::vector<CardStat> &cardStats, float position1, float interval, SwathProfile &deposit,
                   SwathProfile &dropDensity);

// Fills the multiswath fields of a profile from its selected width.  The
// profile runs from the first card to the flight line's far side, but at
// most MaxMultiswathTail spacings beyond the last pass's last card.
inline constexpr std::int64_t MaxMultiswathTail = 20000;
void buildMultiswath(SwathProfile &profile);

} // namespace vex
