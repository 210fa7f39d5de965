#pragma once
// The state the program starts with: the module-wide values and the user's
// preferences, read from and written to the settings store.

#include "line/SprayInfoSettings.h"
#include "model/CardList.h"
#include "model/CardStat.h"
#include "model/Colour.h"
#include "model/CompositeResult.h"
#include "text/Settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex {

// The 257-entry colour wheel that maps a hue value to a display colour.
std::array<Rgb, 257> buildHueColour();

// Values shared by the whole program: where it keeps its files, the screen
// and font it runs with, and the two preferences every part reads, the units
// and the spread factor.
struct ModuleState {
    std::string RootDir; // always ends with a separator
    bool Metric = true;
    std::array<double, 3> SpreadFactor{0.0, 0.56, 0.0};
    std::string UiFontName;
    float UiFontSize = 8.0f;
};

// The user's preferences as the program starts with them and keeps them,
// and the spray information it has stored.
struct Preferences {
    bool DisableBackgroundWarning = false;
    bool DisableDitherWarning = false;
    std::int32_t DefaultRes = 1200;
    Rgb HistogramColor{125, 190, 255};
    bool LogAnalysis = true;
    bool Append = false;
    bool MouseCoords = true;
    bool LogSprayInfo = false;
    std::uint8_t ShapeThreshold = 100;
    std::uint8_t HueThreshold = 0;
    std::string InitialDir;
    SprayInfo Spray;
    // Colour pictures are reduced to 256 colours instead of refused.
    bool ReduceColours = false;
    // A card takes the resolution its file records, where it records a
    // plausible one, instead of DefaultRes.
    bool ResolutionFromFile = false;
    // Cards whose stains cover more than this share (percent) are named as
    // too dense for reliable drop counts.
    std::int32_t DenseCoveragePercent = 20;
    // The rejected stains and the overlap estimate in the scan logs, the
    // results file and the report, not only in the window and the JSON.
    bool ExtendedFigures = false;
    // Stains of touching drops are cut apart before they are tested.
    bool SplitTouching = false;
    // File names are sorted as people count: card2 before card10.
    bool NaturalOrder = false;
    // The swath analysis between whole spacings, in steps of this share of
    // the card spacing (0.01 to 1).
    double SwathWidthStep = 0.1;
    // The deposit pattern is moved onto the flight line before the passes.
    bool CentrePattern = false;
    // The window shows 95 % confidence intervals of the figures.
    bool ConfidenceIntervals = false;
};

// Reads the preferences (and into `module` the units and spread factor),
// each unreadable or unconvertible value falling back to its key's default;
// numbers outside their sound range too, and those are listed in `reset`
// when given.  defaultInitialDir is used when the store has no InitialDir.
// (Form_Initialize in the old design.)
Preferences readPreferences(SettingsStore &store, ModuleState &module, const std::string &defaultInitialDir,
                            std::vector<std::string> *reset = nullptr);

// Writes the preferences back, in the program's order, then flushes the
// store; every failure met is in the reason, in order, a line each.
Status writePreferences(SettingsStore &store, const ModuleState &module, const Preferences &preferences);

} // namespace vex
