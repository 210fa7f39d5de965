#pragma once
// The state the program starts with: the module-wide values and the user's
// preferences, read from and written to the settings store.

#include "intake/CardFinder.h"
#include "line/LineAnalysis.h"
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
    Rgb HistogramColor{125, 190, 255};
    bool MouseCoords = true;
    std::string InitialDir;
    // Where the save dialogs start: the folder last saved to; empty until
    // then, and they start in InitialDir.
    std::string SaveDir;
    // The hue range as the window last held it, which the next session
    // starts from.  Kept apart from Analysis: the batch tool does not take
    // it from the window.
    std::uint8_t HueLow = 0;
    std::uint8_t HueHigh = 255;
    bool HueInvert = false;
    SprayInfo Spray;
    // The settings of the settings table, as the window and the batch tool
    // start every analysis from them (the hue range, spread factor and units
    // are not kept here).
    AnalysisSettings Analysis;
    // The window shows 95 % confidence intervals of the figures.
    bool ConfidenceIntervals = false;
    // A laboratory's own spray quality table (CSV); empty for the default.
    std::string QualityTablePath;
    // Photos and colour sheets opened (by Load, by name or by a drop) go to
    // the Find Cards window instead of becoming one card each; 8-bit cards
    // open as they always did.
    bool FindCards = false;
    // The size of card Find Cards looks for first.
    CardSize FoundCardSize;
    // The overlap estimate under every card's figures, not only a dense one's.
    bool AlwaysShowOverlapEstimate = false;
};

// The folder a save dialog starts in, and the choice of a file to save
// remembered for the next one.
std::string saveDialogFolder(const Preferences &preferences);
void noteSavedTo(Preferences &preferences, const std::string &path);

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
