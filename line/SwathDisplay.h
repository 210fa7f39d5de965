#pragma once
// What the swath graphs and their labels show, as numbers and texts: the
// unit factors, the normalisation to the aircraft's swath, the axis tops and
// the statistics labels of the selected width.

#include "line/Swath.h"
#include "line/SwathFine.h"
#include "model/SprayInfo.h"
#include "model/Units.h"

#include <string>
#include <vector>

namespace vex {

enum SwathProfileKind : int { DepositProfile = 1, DropDensityProfile = 2 };

struct SwathDisplay {
    double Factor = 1.0;     // rate factor for the deposit, 1 for the drop density
    double Ratio = 1.0;      // selected width x spacing / aircraft swath, or 1
    std::string Unit;        // "L/ha", "oz/ac" or "drops/cm²"
    std::string LengthUnit;  // "m" or "ft"
    double CovTop = 1.0;     // top of the COV axis
    double ProfileTop = 1.0; // top of the multiswath axis
    std::string Title;       // "Deposit Profile  (N passes)"
    std::string CovText;     // "0.00"
    std::string MeanText;    // "0.00 unit"
    std::string MaxMinText;  // "0.00 / 0.00"
};

// The factor that normalises the swath figures of width n to the
// aircraft's nominal swath: n x spacing / swath, 1 without a swath.
double swathRatio(int width, const SprayInfo &spray);
// The same for a width between whole spacings.
double swathRatioAt(double width, const SprayInfo &spray);

// For a profile whose multiswath has been built.
SwathDisplay swathDisplay(const SwathProfile &profile, SwathProfileKind kind, bool metric, const SprayInfo &spray);

// What the swath graphs draw, for a profile whose multiswath has been built.
struct SwathPicture {
    std::vector<double> Widths; // swath widths in length units, width 1 first
    std::vector<double> Cov;
    std::vector<double> CovBackAndForth;
    // The same between whole widths, where worked out: the curves run
    // through these, the whole widths are marked on them.
    std::vector<double> FineWidths; // in length units
    std::vector<double> FineCov;
    std::vector<double> FineCovBackAndForth;
    double CovTop = 1.0;
    int Selected = 0; // 1-based
    std::vector<double> ProfileX;
    std::vector<double> ProfileY;
    double ProfileTop = 1.0;
    std::string Title;      // "Deposit Profile  (N passes)"
    std::string LengthUnit; // "m" or "ft"
    std::string ValueUnit;  // of the profile
};
SwathPicture swathPicture(const SwathProfile &profile, const SwathDisplay &shown, double interval,
                          const std::vector<FineWidth> &fine = {});

// The proposal in words: "COV 0.21 at 20 m; 0.18 to 0.27 within 10 m"
// (the least and largest COV of the widths within one spacing, racetrack).
std::string proposalText(const SwathProfile &profile, const std::vector<FineWidth> &fine, float interval, bool metric);

// Where the pattern lay: "Pattern centre 2.3 m right of the flight line
// (centroid; 1.9 m by the span above half the mean)", with "moved onto the
// flight line before the passes" when it was centred.  Empty without deposit.
std::string patternCentreText(const PatternCentre &centre, bool centred, bool metric);

// The same for the window's narrow panel: "Pattern centre +2.3 m (centroid),
// +1.9 m (half-mean span)", and a second line when it was centred.
std::string patternCentreShort(const PatternCentre &centre, bool centred, bool metric);

// The COV axis runs to 1, or further in steps of 0.1 for a COV above 1.
double covAxisTop(float largestCov);
// The multiswath axis: at least 1, else the scaled maximum x 1.2 to a tenth.
double profileAxisTop(double scaledMaximum);

} // namespace vex
