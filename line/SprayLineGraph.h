#pragma once
// The spray line graphs as numbers and texts: VMD, drop density and volume
// density against card position in three stacked rows, with tick steps,
// axis labels, the card labels and the read-out beside a card.  The widget
// and the printed report draw from these.

#include "model/CardList.h"
#include "model/CardStat.h"
#include "model/CompositeResult.h"
#include "model/SprayInfo.h"

#include <string>
#include <vector>

namespace vex {

// The spacing of the ticks of an axis from 0 to `maximum`: a quarter, half,
// one or two powers of ten.
double niceTickStep(float maximum);

// The text of a tick value: "0" for whole steps, else "0.0#".  The volume
// row keeps whole labels for steps of 1 and above.
std::string tickLabel(double value, double step, bool volumeRow);

struct SprayLineScale {
    double PMin = 0.0; // positions, with 0 always inside
    double PMax = 0.0;
    double Range = 0.0;
    double Left = 0.0; // the scale: 10 % margins on both sides
    double Width = 1.0;
    float M1 = 0.0f; // VMD
    float M2 = 0.0f; // drop density
    float M3 = 0.0f; // volume density in the rate unit
};

// Rows: VMD from y 2 to 3, drop density 1 to 2, volume density 0 to 1; the
// view runs from y 3.15 at the top to -0.55 at the bottom.
constexpr double ScaleTop = 3.15;
constexpr double ScaleHeight = -3.7;

SprayLineScale sprayLineScale(const CardList &cards, const std::vector<CardStat> &stats, float maxCardVmd,
                              float rateFactor);

// Where a value of a row (0 VMD, 1 drop density, 2 volume density in the
// rate unit) stands in graph rows: the row's base plus the value over its
// maximum.
double rowY(const SprayLineScale &scale, int row, double value);

// Everything the on-screen graphs draw.
struct SprayLinePicture {
    SprayLineScale Scale;
    struct Card {
        double Position = 0.0;
        bool Scanned = false;
        double Y[3] = {0.0, 0.0, 0.0}; // in graph rows
    };
    std::vector<Card> Cards;
    double Reference[3] = {0.0, 0.0, 0.0}; // the line's own figures, in graph rows
    bool HasRange = false;
    double RangeReference[3] = {0.0, 0.0, 0.0}; // those of the selected range
    int PositionDecimals = 0;
    int LabelEvery = 1;
    // Said over the graphs of a line too short to draw one.
    std::string Note;
};
// `range` is the line inside the selected range, or null when none is selected.
SprayLinePicture sprayLinePicture(const CardList &cards, const std::vector<CardStat> &stats, float maxCardVmd,
                                  float rateFactor, const CompositeResult &all, const CompositeResult *range,
                                  const SprayInfo &spray);

// Every k-th position is labelled under the graphs.
int positionLabelEvery(int cardCount, double range, double interval);

// Card label size in pixels from the pixels one position unit takes.
struct LabelSize {
    int Width = 0;
    int Height = 0;
};
LabelSize cardLabelSize(double range, int cardCount, double pixelsPerUnit);

// A card's point in each row, and the read-out beside it.
struct CardReadOut {
    double X = 0.0;
    double Y[3] = {0.0, 0.0, 0.0}; // rows VMD, drop density, volume density
    bool RightSide = true;         // the read-out right of the points
    std::string Texts[3];
    std::string Caption;
};
CardReadOut cardReadOut(const CardList &cards, const std::vector<CardStat> &stats, const SprayLineScale &scale,
                        int card, float rateFactor, const std::string &rateUnit);

} // namespace vex
