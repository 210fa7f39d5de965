#pragma once
// The statistics of a set of drops: one card inside the selected size range,
// or the drops of every scanned card pooled.

#include "model/SizeClass.h"

#include <cstdint>

namespace vex {

struct CompositeResult {
    std::int32_t Unused = 0;
    double LargestClassVolume = 0.0; // nL, largest count x drop volume of a class
    double SmallestDiameter = 0.0;   // um, class 1
    float LargestDiameter = 0.0f;    // um, last class
    std::int32_t LargestClassCount = 0;
    double TotalVolume = 0.0; // nL (cubic micrometres in the single-card range)
    double TotalArea = 0.0;   // cm2
    double TotalCount = 0.0;  // drops
    ClassList Classes = ClassList(1);
    double VMD = 0.0;           // um
    double DropDensity = 0.0;   // drops per cm2
    double VolumeDensity = 0.0; // nL per cm2
};

} // namespace vex
