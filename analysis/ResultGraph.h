#pragma once
// The drop size spectrum graph and its labels, as numbers and texts: the
// scales, the outline under the class line, the label and tool tip texts and
// the range selection rules.  The graph widget only paints what this gives.

#include "model/CardRecord.h"
#include "model/CompositeResult.h"

#include <string>
#include <vector>

namespace vex {

// GraphMode: 1 volume fraction, 2 cumulative volume fraction, 3 drops/cm2.
enum GraphModes : int { VolumeFractionMode = 1, CumulativeMode = 2, DensityMode = 3 };

// The largest class density rounded up to the next 0.1: Int(x * 10 + 0.999) / 10.
double densityTop(double largestCount, double area);

// Top of the vertical scale for a card, or for the pooled line.
double cardGraphTop(const CardRecord &card, int mode);
double compositeGraphTop(const CompositeResult &composite, int mode);

// The right end of the diameter axis, shared by every card: the pooled
// line's largest diameter, or while there is none yet the largest diameter
// any card scanned.
double graphRight(const CompositeResult &compositeAll, float maxScannedDiameter);

struct GraphPoint {
    double X = 0.0; // micrometres
    double Y = 0.0; // graph value
};

// The class line from (0, 0) through (D(i), v(i)) for i = 1..n and back
// along the bottom: the outline of the filled area under the line.  Empty
// when the list holds no class.  `area` is the card or line area in cm2
// (density mode only).  In the cumulative mode the line stays at its last
// value out to `right`, the end of the axis, when that lies further.
std::vector<GraphPoint> graphOutline(const ClassList &classes, int mode, double area, double right = 0.0);

// User scale to pixels of a graph `width` x `height` pixels and back; the
// bottom line (value 0) lies two pixels above the lower edge.
struct GraphMapping {
    double Right = 1.0; // micrometres at the right edge
    double Top = 1.0;   // value at the upper edge
    int Width = 1;
    int Height = 1;

    double pixelX(double x) const;
    double pixelY(double y) const;
    double valueX(double px) const;
    double valueY(double py) const;
};

// What the graph shows, ready for painting.
struct GraphPicture {
    GraphMapping Mapping;
    double BandLow = 0.0; // selected range, micrometres
    double BandHigh = 0.0;
    bool HasGraph = false;  // false: only the band (and perhaps the marker)
    bool HasMarker = false; // the VMD line, from the bottom to the top
    double Vmd = 0.0;
    std::vector<GraphPoint> Outline;
};

struct GraphInputs {
    const CardRecord *Card = nullptr; // the card on display (card view)
    bool Composite = false;
    const CompositeResult *CompositeAll = nullptr;
    int Mode = VolumeFractionMode;
    float RangeLow = 0.0f;
    float RangeHigh = 0.0f;
    double CurrentVmd = 0.0;
    float MaxScannedDiameter = 0.0f;
};

GraphPicture drawResult(const GraphInputs &in);

struct HistogramLabels {
    std::string X1; // left end, "0.0"
    std::string X2; // right end, "0.0"
    std::string Y2; // top
    std::string Y1; // bottom
};
HistogramLabels histogramLabels(double right, double top, int mode);

// The frame caption after "GraphOption" is chosen.
std::string resultFrameCaption(int mode, bool composite);

struct StatsTexts {
    std::string Vmd;
    std::string Drops;
    std::string Volume;
};
// `rateFactor` and `rateUnit` convert nL/cm2 to the chosen unit.
StatsTexts statsTexts(double vmd, double dropDensity, double volumeDensity, float rateFactor,
                      const std::string &rateUnit);

// Which results the three labels show, from the card or line on display.
struct ShownStats {
    double Vmd = 0.0;
    double DropDensity = 0.0;
    double VolumeDensity = 0.0;
    // The classes those figures come from; null when there are none.
    const ClassList *Classes = nullptr;
};
ShownStats shownStats(bool composite, const CompositeResult &compositeAll, const CompositeResult &compositeRange,
                      const CardRecord *card, const CompositeResult &singleRange, float rangeLow, float rangeHigh);

// The spectrum figures under the VMD, on two lines: "Dv0.1 / Dv0.9: 120.3 /
// 480.2 µm", "Span 1.07, NMD 95.0 µm"; empty without classes.
std::string spectrumText(const ShownStats &shown);

// The range ends after a left (low end) or right (high end) button at x:
// the other end is pushed or pulled to stay 1 um away.
void setRangeLow(float &low, float &high, float x);
void setRangeHigh(float &low, float &high, float x);

// x limited to 0..maxScannedDiameter, as the mouse read-out is.
double clampToScanned(double x, float maxScannedDiameter);

// The tool tip under the mouse: "123µm / 4.5%" (modes 1, 2) or "123µm / 0.4".
std::string graphToolTip(double x, double y, int mode);

// The diameter shown beside a dragged range end: "0" on the press, "0.0" while moving.
std::string sizeRangeText(double x, bool moving);

// Decimal text of a number as the labels print it: up to 15 significant
// digits (7 for single precision), no exponent, no trailing zeros.
std::string decimalText(double value);
std::string decimalText(float value);

} // namespace vex
