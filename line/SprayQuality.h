#pragma once
// The spray quality class of a spectrum read from cards: each class has a
// lower bound on Dv0.1 and one on the VMD, and a spectrum takes the finer
// of the two classes its figures reach.  The default bounds are those of
// the reference classification of aerial nozzles; a laboratory may load the
// bounds it measured on its own reference nozzles.  A class from cards is
// not a laser measurement of the nozzle: every output says so.

#include "model/Colour.h"
#include "text/Result.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

struct QualityClass {
    std::string Name;
    double Dv01From = 0.0; // um
    double VmdFrom = 0.0;  // um
    friend bool operator==(const QualityClass &, const QualityClass &) = default;
};

// Finest first; the first class's bounds are 0.
using QualityTable = std::vector<QualityClass>;

const QualityTable &defaultQualityTable();

// A table as CSV, `class,dv01_um,vmd_um`, one row per class from the
// finest, both bounds ascending; a header row and blank lines are allowed.
// A bad row is refused with its line number.
Result<QualityTable> parseQualityTable(std::string_view text);
Result<QualityTable> readQualityTable(const std::string &path);

struct SprayQuality {
    bool Known = false; // false without drops
    std::size_t Index = 0;
    std::string Class; // the finer of the two below
    std::string ByDv01;
    std::string ByVmd;
};

// The class whose lower bound the value reaches (a value on a bound is in
// the class the bound starts), for Dv0.1 and VMD, and the finer of them.
SprayQuality classifySpray(const QualityTable &table, double dv01, double vmd);

// The colour users know a class by; grey for a name outside the usual ones.
Rgb qualityColour(const std::string &name);

// Said beside every class shown.
inline constexpr const char *QualitySourceNote =
    "class from the cards' spectrum, not a laser measurement of the nozzle";

} // namespace vex
