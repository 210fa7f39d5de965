#pragma once
// The figures of a card's scan beyond its size classes: what the batch
// JSON, the extended figures and a stored trial give back for a card whose
// image is no longer at hand.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vex {

// Why a stain was not counted as a drop.
enum class RejectReason : std::uint8_t {
    NoValidHue,      // not one pixel of a hue in the range
    NotRound,        // its area is too far from the disc of its extent
    TooFewValidHues, // fewer pixels of a valid hue than "% Valid Hues" asks
};
inline constexpr std::size_t RejectReasons = 3;

// The stains the scan did not count as drops, and the deposit they would
// carry were each one drop of its area: what the card's figures leave out.
struct RejectedFigures {
    friend bool operator==(const RejectedFigures &, const RejectedFigures &) = default;
    std::int32_t Count = 0;
    std::int64_t AreaPixels = 0;
    double AreaCm2 = 0.0;
    double AreaShare = 0.0; // of the area of all stains, accepted and rejected
    std::array<std::int32_t, RejectReasons> CountBy{};
    std::array<std::int64_t, RejectReasons> AreaBy{};
    double DepositNlPerCm2 = 0.0;
    double DepositShare = 0.0; // of the card's reported deposit; 0 when it has none
};

// Drops hidden by overlap, estimated for drops that land at random
// (Poisson): with coverage c and mean stain area a, the drop density is
// -ln(1 - c) / a, and a drop's stain touches another with probability
// 1 - exp(-4 n a) (two equal discs touch when their centres are closer than
// a diameter).
struct OverlapFigures {
    friend bool operator==(const OverlapFigures &, const OverlapFigures &) = default;
    double Coverage = 0.0;             // share of the card covered by stains, 0..1
    double CorrectedDropDensity = 0.0; // per cm2
    double HiddenShare = 0.0;
    // Drops per cm2 and deposit in nL per cm2 that overlap does not bias,
    // from the covered share and the stains standing alone, each with its
    // 95 % interval; none where nothing stands alone or the card is bare.
    bool Estimated = false;
    double EstimatedDropDensity = 0.0;
    std::array<double, 2> EstimatedDropDensityCi{};
    double EstimatedDeposit = 0.0;
    std::array<double, 2> EstimatedDepositCi{};
};

struct ScanSummary {
    friend bool operator==(const ScanSummary &, const ScanSummary &) = default;
    std::uint64_t ForegroundPixels = 0;
    std::int32_t Accepted = 0;
    double Dv01 = 0.0;
    double Dv09 = 0.0;
    double RelativeSpan = 0.0;
    double Nmd = 0.0;
    double CoveragePercent = 0.0;
    RejectedFigures Rejected;
    OverlapFigures Overlap;
};

} // namespace vex
