#pragma once
// The state every part of the program reads: the card list, the module-wide
// settings and constants, and the values the main window owns.  Plain data
// with the start values the program begins with.

#include "line/SprayInfo.h"
#include "line/Swath.h"
#include "model/CardList.h"
#include "model/Colour.h"
#include "model/CompositeResult.h"
#include "model/CardStat.h"
#include "text/Settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex {




// The 257-entry colour wheel that maps a hue value to a display colour.
std::array<Rgb, 257> buildHueColour();

// Values shared by the whole program.
struct ModuleState {
    std::string RootDir; // always ends with a separator
    bool Metric = true;
    std::array<double, 3> SpreadFactor{0.0, 0.56, 0.0};
    double Pi = 0.0;
    int TwipsPerPixelX = 15;
    int TwipsPerPixelY = 15;
    std::string UiFontName;
    float UiFontSize = 8.0f;
    std::array<float, 2> RateFactor{1.368f, 0.1f};        // 0 imperial, 1 metric
    std::array<std::string, 2> RateUnit{"oz/ac", "L/ha"}; // per nL/cm2
};

// Values the main window owns, in the order the program declares them.
struct MainWindowState {
    bool DisableBackgroundWarning = false;
    bool DisableDitherWarning = false;
    double CurrentVMD = 0.0;
    std::int32_t LastClipIndex = 0;
    std::int32_t DefaultRes = 1200;
    Rgb HistogramColor{125, 190, 255};
    bool LogAnalysis = true;
    bool Append = false;
    bool MouseCoords = true;
    bool LogSprayInfo = false;
    std::uint8_t ShapeThreshold = 100;
    std::uint8_t HueThreshold = 0;
    std::string InitialDir;
    std::array<Rgb, 257> HueColour{};
    float RangeLow = 0.0f;
    float RangeHigh = 32755.0f;
    int GraphMode = 1;
    float MaxScannedDiameter = 0.0f;
    bool CancelRequested = false;
    SprayInfo Spray;
    // The current card inside the selected size range, and the whole line
    // with and without the range.
    CompositeResult SingleRange;
    CompositeResult CompositeAll;
    CompositeResult CompositeRange;
    // The largest VMD of one scanned card (scaling of the line graphs).
    float MaxCardVMD = 0.0f;
    // Per card 1..CardCount: VMD, drop density, volume density.
    std::vector<CardStat> CardStats;
    // The swath analysis of the deposit (1) and the drop density (2), and
    // the one the graphs and width buttons work on.
    SwathProfile Swath[2];
    int CurrentProfile = 1;
};



// Reads the preferences into a fresh main-window state, each unreadable or
// unconvertible value falling back to its key's default; numbers outside
// their sound range too, and those are listed in `reset` when given.
// defaultInitialDir is used when the store has no InitialDir.
MainWindowState Form_Initialize(SettingsStore &store, ModuleState &module, const std::string &defaultInitialDir,
                                std::vector<std::string> *reset = nullptr);

// Writes the preferences back, in the program's order, then flushes the store.
// Returns every error met, in order; an empty list means all was written.
std::vector<std::string> writePreferences(SettingsStore &store, const ModuleState &module,
                                          const MainWindowState &window);

} // namespace vex
