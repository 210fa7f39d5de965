#include "line/SwathDisplay.h"

#include "line/CardPositions.h"
#include "text/NumberText.h"

#include <algorithm>
#include <cmath>

namespace vex {

double swathRatio(int width, const SprayInfo &spray)
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
        d.Unit = std::string("drops/cm ") + SuperscriptTwo;
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

SwathPicture swathPicture(const SwathProfile &profile, const SwathDisplay &shown, double interval)
{
    SwathPicture pic;
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
