#include "line/SwathDisplay.h"

#include "line/CardPositions.h"
#include "text/NumberText.h"

#include <algorithm>
#include <cmath>

namespace vex {

double swathRatio(int width, const SprayInfo &spray)
{
    return swathRatioAt(static_cast<double>(width), spray);
}

double swathRatioAt(double width, const SprayInfo &spray)
{
    const std::optional<double> swath = parseNumber(spray[AC_Swath]);
    if (spray[AC_Swath].empty() || !swath || !(*swath > 0.0))
        return 1.0;
    return width * static_cast<double>(positionValue(spray[Sample_Interval])) / *swath;
}

double covAxisTop(float largestCov)
{
    return std::max(1.0, std::trunc(static_cast<double>(largestCov) * 12.0 + 0.9999) / 10.0);
}

double profileAxisTop(double scaledMaximum)
{
    return std::max(1.0, std::trunc(scaledMaximum * 12.0 + 0.5) / 10.0);
}

SwathDisplay swathDisplay(const SwathProfile &profile, SwathProfileKind kind, bool metric, const SprayInfo &spray)
{
    SwathDisplay d;
    if (kind == DepositProfile) {
        d.Factor = static_cast<double>(rateFactor(metric));
        d.Unit = rateUnit(metric);
    } else {
        d.Unit = std::string("drops/cm") + SuperscriptTwo;
    }
    d.LengthUnit = metric ? "m" : "ft";
    d.Ratio = swathRatio(profile.SelectedWidth, spray);
    d.CovTop = covAxisTop(profile.LargestCov);
    const double scale = d.Factor * d.Ratio;
    d.ProfileTop = profileAxisTop(profile.MultiswathMax * scale);
    d.Title = std::string(kind == DepositProfile ? "Deposit" : "Drop Density") + " Profile  (" +
              std::to_string(profile.Passes) + " passes)";
    const std::size_t w = static_cast<std::size_t>(std::max(0, profile.SelectedWidth));
    if (w >= 1 && w < profile.Widths.size()) {
        const WidthStats &s = profile.Widths[w];
        d.CovText = formatFixed(s.Cov, 2);
        d.MeanText = formatFixed(s.Mean * scale, 2) + " " + d.Unit;
        d.MaxMinText = formatFixed(s.Max * scale, 2) + " / " + formatFixed(s.Min * scale, 2);
    }
    return d;
}

SwathPicture swathPicture(const SwathProfile &profile, const SwathDisplay &shown, double interval,
                          const std::vector<FineWidth> &fine)
{
    SwathPicture pic;
    for (const FineWidth &w : fine) {
        pic.FineWidths.push_back(w.Width * interval);
        pic.FineCov.push_back(w.Cov);
        pic.FineCovBackAndForth.push_back(w.CovBackAndForth);
    }
    for (std::size_t n = 1; n < profile.Widths.size(); ++n) {
        pic.Widths.push_back(static_cast<double>(n) * interval);
        pic.Cov.push_back(profile.Widths[n].Cov);
        pic.CovBackAndForth.push_back(profile.Widths[n].CovBackAndForth);
    }
    pic.CovTop = shown.CovTop;
    pic.Selected = profile.SelectedWidth;
    const double scale = shown.Factor * shown.Ratio;
    for (std::size_t j = 0; j < profile.Multiswath.size(); ++j) {
        pic.ProfileX.push_back((static_cast<double>(profile.K) + static_cast<double>(j) + profile.F) * interval);
        pic.ProfileY.push_back(profile.Multiswath[j] * scale);
    }
    pic.ProfileTop = shown.ProfileTop;
    pic.Title = shown.Title;
    pic.LengthUnit = shown.LengthUnit;
    pic.ValueUnit = "(" + shown.Unit + ")";
    return pic;
}

} // namespace vex

namespace vex {

namespace {

std::string lengthText(double value, bool metric)
{
    return formatOptional(value, 0, 1) + (metric ? " m" : " ft");
}

std::string signedLength(double value, bool metric)
{
    // A centre a hair off zero is on the line, not "-0.0".
    const double shown = std::fabs(value) < 0.05 ? 0.0 : value;
    return (shown > 0.0 ? "+" : "") + formatFixed(shown, 1) + (metric ? " m" : " ft");
}

} // namespace

std::string proposalText(const SwathProfile &profile, const std::vector<FineWidth> &fine, float interval, bool metric)
{
    const std::int32_t w = profile.SelectedWidth;
    if (w < 1 || static_cast<std::size_t>(w) >= profile.Widths.size())
        return {};
    const double spacing = interval;
    std::string text = "COV " + formatFixed(profile.Widths[static_cast<std::size_t>(w)].Cov, 2) + " at " +
                       lengthText(w * spacing, metric);
    const CovSpread near = covNear(fine, w);
    if (near.Known)
        text += "; " + formatFixed(near.Min, 2) + " to " + formatFixed(near.Max, 2) + " within " +
                lengthText(spacing, metric);
    return text;
}

std::string patternCentreText(const PatternCentre &centre, bool centred, bool metric)
{
    if (!centre.Known)
        return {};
    return "Pattern centre " + signedLength(centre.Centroid, metric) + " from the flight line (centroid; " +
           signedLength(centre.HalfMeanCentre, metric) + " by the span above half the mean)" +
           (centred ? ", moved onto the flight line before the passes" : "");
}

std::string patternCentreShort(const PatternCentre &centre, bool centred, bool metric)
{
    if (!centre.Known)
        return {};
    return "Pattern centre " + signedLength(centre.Centroid, metric) + " (centroid), " +
           signedLength(centre.HalfMeanCentre, metric) + " (half-mean span)" +
           (centred ? "\nmoved onto the flight line before the passes" : "");
}

} // namespace vex
