#pragma once
// From stain areas to the droplet spectrum of a card: drop diameters and
// volumes, size classes, fractions, the volume median diameter, densities,
// and the same inside a selected size range.
//
// Which steps run in single precision matters: the stored diameters, volumes
// and fractions are 32-bit, and the figures users compare are computed from
// those stored values.

#include "model/CardRecord.h"
#include "model/CompositeResult.h"
#include "text/Status.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex {

using SpreadFactors = std::array<double, 3>;

// Diameter of the disc of `area` pixels, in micrometres.
double stainDiameter(std::int64_t area, double pixelSizeX);
// Drop diameter from the quadratic spread factor, stored single precision.
float dropDiameter(double stainDiameterUm, const SpreadFactors &spread);
// The volume of a drop, a sphere, of the given diameter, in the cube of the
// diameter's unit.  Cards keep it single precision, the pooled classes of a
// line in nanolitres; all work it out here, so a class's volume is the same
// wherever it is formed.
double dropVolume(double diameter);

// The classes and totals of a card from its accepted stain areas (in closing
// order).  With no area the card gets an empty class list and its totals are
// left alone.
void computeCardStatistics(CardRecord &card, const std::vector<std::int32_t> &acceptedAreas,
                           const SpreadFactors &spread);

// The sound range of each spread factor coefficient (the drop diameter in
// micrometres is c0 + c1 d + c2 d² of the stain's d): beyond them drop sizes
// leave what any card could show, and volumes what a number can hold.
inline constexpr double SpreadLimit[3] = {1000.0, 100.0, 1.0};
bool spreadCoefficientSound(std::size_t index, double value);

// Fine when every figure of the card is a finite number, else why it cannot
// be reported.  A spread factor far beyond use could otherwise give drop
// sizes or volumes of "Infinity" and "NaN".
Status checkCardFigures(const CardRecord &card);

// The diameter below which `share` (0..1) of the volume (byVolume) or of the
// drops lies, interpolated between class diameters from (0 um, 0) the way the
// volume median diameter is.  0 for an empty list.
double interpolatedDiameter(const ClassList &classes, double share, bool byVolume);

// The figures of a droplet spectrum that users of the field quote beside
// the VMD: the diameters below which a tenth and nine tenths of the volume
// lie, the relative span (Dv0.9 - Dv0.1) / VMD, and the number median
// diameter.  All 0 for a list without classes.
struct SpectrumFigures {
    double Dv01 = 0.0;
    double Dv09 = 0.0;
    double RelativeSpan = 0.0;
    double Nmd = 0.0;
};
SpectrumFigures spectrumFigures(const ClassList &classes, double vmd);

// The card's classes whose diameters lie in rangeLow..rangeHigh, with
// fractions and VMD as shares of the range.  Total volume in cubic
// micrometres.  A range that holds no class is empty: VMD and densities 0.
CompositeResult calcSingleRange(const CardRecord &card, float rangeLow, float rangeHigh);

// The same for any class list: the classes inside the range, their
// fractions as shares of the range, VMD, count, volume (in the list's own
// volume unit) and densities over `totalArea` (volume density in nL/cm2,
// the list's volumes divided by volumeUnitsPerNl).
CompositeResult rangeStatistics(const ClassList &classes, float rangeLow, float rangeHigh, double totalArea,
                                double volumeUnitsPerNl);

// Whether the range cuts off drops at either end.
// Whether the range cuts drops off the pooled line.
bool lineRangeSelected(const CompositeResult &compositeAll, float rangeLow, float rangeHigh);
bool rangeSelected(bool compositeShown, const CompositeResult &compositeAll, const CardRecord &current, float rangeLow,
                   float rangeHigh);

// The VMD the window shows.
double currentVmd(bool compositeShown, bool rangeIsSelected, const CompositeResult &compositeAll,
                  const CompositeResult &compositeRange, const CompositeResult &singleRange, const CardRecord &current);

} // namespace vex
