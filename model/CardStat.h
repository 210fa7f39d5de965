#pragma once
// The three figures of one card that the line graphs, the swath analysis and
// the results file read.

namespace vex {

struct CardStat {
    double Vmd = 0.0;           // um
    double DropDensity = 0.0;   // drops per cm2
    double VolumeDensity = 0.0; // nL per cm2
};

} // namespace vex
