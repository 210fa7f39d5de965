#include "analysis/ResultGraph.h"

#include "analysis/DropStatistics.h"
#include "text/NumberText.h"

#include <algorithm>
#include <cmath>

namespace vex {

namespace {

double classValue(const SizeClass &c, int mode, double area)
{
    switch (mode) {
    case CumulativeMode:
        return c.CumVolumeFraction;
    case DensityMode:
        return area > 0.0 ? c.Count / area : 0.0;
    default:
        return c.VolumeFraction;
    }
}

// A degenerate scale would put every point at infinity; one unit keeps the
// band and the empty graph drawable.
double usable(double extent)
{
    return extent > 0.0 && std::isfinite(extent) ? extent : 1.0;
}

// A fraction never exceeds the whole, so its axis stops at 100 %; with
// nothing to show it spans 0 to 100 % rather than an empty or runaway scale.
double shownTop(double top, int mode)
{
    if (mode == DensityMode)
        return top;
    return top > 0.0 && std::isfinite(top) ? std::min(top, 1.0) : 1.0;
}

} // namespace

double densityTop(double largestCount, double area)
{
    if (!(area > 0.0))
        return 0.0;
    return std::floor(largestCount / area * 10.0 + 0.999) / 10.0;
}

double cardGraphTop(const CardRecord &card, int mode)
{
    switch (mode) {
    case CumulativeMode:
        return 1.0;
    case DensityMode:
        return densityTop(card.MaxClassCount, card.CardArea);
    default:
        return card.MaxVolumeFraction * 1.1;
    }
}

double compositeGraphTop(const CompositeResult &composite, int mode)
{
    switch (mode) {
    case CumulativeMode:
        return 1.0;
    case DensityMode:
        return densityTop(composite.LargestClassCount, composite.TotalArea);
    default:
        return composite.TotalVolume > 0.0 ? 1.1 * composite.LargestClassVolume / composite.TotalVolume : 0.0;
    }
}

double graphRight(const CompositeResult &compositeAll, float maxScannedDiameter)
{
    if (compositeAll.LargestDiameter > 0.0f)
        return compositeAll.LargestDiameter;
    return maxScannedDiameter;
}

std::vector<GraphPoint> graphOutline(const ClassList &classes, int mode, double area, double right)
{
    std::vector<GraphPoint> outline;
    if (classes.size() < 2)
        return outline;
    // Each class adds the quadrilateral (D(i), v(i)), (D(i), 0), (D(i-1), 0),
    // (D(i-1), v(i-1)); side by side they make one polygon under the line.
    outline.push_back({0.0, 0.0});
    for (std::size_t i = 1; i < classes.size(); ++i)
        outline.push_back({classes[i].Diameter, classValue(classes[i], mode, area)});
    // A card's largest drop may lie short of the line's: all of its volume
    // is below every larger diameter too.
    double end = classes.back().Diameter;
    if (mode == CumulativeMode && right > end) {
        outline.push_back({right, outline.back().Y});
        end = right;
    }
    outline.push_back({end, 0.0});
    return outline;
}

double GraphMapping::pixelX(double x) const
{
    return x / usable(Right) * Width;
}

double GraphMapping::pixelY(double y) const
{
    const double base = Height - 2.0;
    return base - y / usable(Top) * base;
}

double GraphMapping::valueX(double px) const
{
    return Width > 0 ? px * usable(Right) / Width : 0.0;
}

double GraphMapping::valueY(double py) const
{
    const double base = Height - 2.0;
    return base > 0.0 ? (base - py) / base * usable(Top) : 0.0;
}

GraphPicture drawResult(const GraphInputs &in)
{
    GraphPicture picture;
    picture.BandLow = in.RangeLow;
    picture.BandHigh = in.RangeHigh;
    picture.Vmd = in.CurrentVmd;
    const CompositeResult empty;
    const CompositeResult &all = in.CompositeAll ? *in.CompositeAll : empty;
    picture.Mapping.Right = graphRight(all, in.MaxScannedDiameter);
    if (in.Composite) {
        // The line's marker is drawn before its classes, whether or not
        // there are any.
        picture.HasMarker = true;
        if (all.Classes.size() < 2)
            return picture;
        picture.HasGraph = true;
        picture.Mapping.Top = shownTop(compositeGraphTop(all, in.Mode), in.Mode);
        picture.Outline = graphOutline(all.Classes, in.Mode, all.TotalArea, picture.Mapping.Right);
        return picture;
    }
    if (!in.Card || in.Card->Stains.size() < 2)
        return picture;
    picture.HasGraph = true;
    picture.HasMarker = true;
    picture.Mapping.Top = shownTop(cardGraphTop(*in.Card, in.Mode), in.Mode);
    picture.Outline = graphOutline(in.Card->Stains, in.Mode, in.Card->CardArea, picture.Mapping.Right);
    return picture;
}

HistogramLabels histogramLabels(double right, double top, int mode)
{
    HistogramLabels labels;
    labels.X1 = formatFixed(0.0, 1);
    labels.X2 = formatFixed(right, 1);
    if (mode == DensityMode) {
        labels.Y2 = decimalText(static_cast<float>(top));
        labels.Y1 = "0";
    } else {
        labels.Y2 = decimalText(std::floor(top * 1000.0 + 0.5) / 10.0) + "%";
        labels.Y1 = "0%";
    }
    return labels;
}

std::string resultFrameCaption(int mode, bool composite)
{
    std::string caption = composite ? "Composite Results" : "Scan Results";
    switch (mode) {
    case CumulativeMode:
        return caption + "  (Cumulative Volume Fraction)";
    case DensityMode:
        return caption + "  (drops/cm" + SuperscriptTwo + ")";
    default:
        return caption + "  (Volume Fraction)";
    }
}

StatsTexts statsTexts(double vmd, double dropDensity, double volumeDensity, float rateFactor,
                      const std::string &rateUnit)
{
    StatsTexts t;
    t.Vmd = formatFixed(vmd, 1) + " " + MicroSign + "m";
    t.Drops = formatFixed(dropDensity, 2) + " drops/cm" + SuperscriptTwo;
    t.Volume = formatFixed(volumeDensity * static_cast<double>(rateFactor), 3) + " " + rateUnit;
    return t;
}

ShownStats shownStats(bool composite, const CompositeResult &compositeAll, const CompositeResult &compositeRange,
                      const CardRecord *card, const CompositeResult &singleRange, float rangeLow, float rangeHigh)
{
    auto from = [](const CompositeResult &r) { return ShownStats{r.VMD, r.DropDensity, r.VolumeDensity, &r.Classes}; };
    if (composite) {
        const bool cut =
            static_cast<float>(compositeAll.SmallestDiameter) < rangeLow || rangeHigh < compositeAll.LargestDiameter;
        return from(cut ? compositeRange : compositeAll);
    }
    if (!card)
        return {};
    if (rangeLow < card->SmallestDiameter && card->LargestDiameter <= rangeHigh)
        return {card->VMD, card->DropDensity, card->VolumeDensity, &card->Stains};
    return from(singleRange);
}

std::string spectrumText(const ShownStats &shown)
{
    if (!shown.Classes || shown.Classes->size() < 2)
        return {};
    const SpectrumFigures s = spectrumFigures(*shown.Classes, shown.Vmd);
    const std::string um = std::string(" ") + MicroSign + "m";
    return "Dv0.1 / Dv0.9: " + formatFixed(s.Dv01, 1) + " / " + formatFixed(s.Dv09, 1) + um + "\nSpan " +
           formatFixed(s.RelativeSpan, 2) + ", NMD " + formatFixed(s.Nmd, 1) + um;
}

void setRangeLow(float &low, float &high, float x)
{
    low = x;
    if (low >= high)
        high = low + 1.0f;
}

void setRangeHigh(float &low, float &high, float x)
{
    high = x;
    if (high < low)
        low = high - 1.0f;
}

double clampToScanned(double x, float maxScannedDiameter)
{
    return std::clamp(x, 0.0, std::max(0.0, static_cast<double>(maxScannedDiameter)));
}

std::string graphToolTip(double x, double y, int mode)
{
    std::string tip = decimalText(std::floor(x)) + MicroSign + "m / ";
    if (mode == DensityMode)
        return tip + formatFixed(y, 1);
    return tip + formatFixed(y * 100.0, 1) + "%";
}

std::string sizeRangeText(double x, bool moving)
{
    return formatFixed(x, moving ? 1 : 0);
}

std::string decimalText(double value)
{
    return significantText(value, 15);
}

std::string decimalText(float value)
{
    return significantText(static_cast<double>(value), 7);
}

} // namespace vex
