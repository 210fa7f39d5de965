#pragma once
// The state every part of the program reads: the card list, the module-wide
// settings and constants, and the values the main window owns.  Plain data
// with the start values the program begins with.

#include "app/CardRecord.h"
#include "analysis/CompositeResult.h"
#include "app/Settings.h"
#include "line/CardStat.h"
#include "line/SprayInfo.h"
#include "line/Swath.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex {

struct Rgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

// The cards in the order of the card strip, addressed 1..CardCount().
class CardList {
public:
    int CardCount() const { return static_cast<int>(cards_.size()); }
    bool empty() const { return cards_.empty(); }

    CardRecord &operator[](int index) { return cards_.at(static_cast<std::size_t>(index - 1)); }
    const CardRecord &operator[](int index) const { return cards_.at(static_cast<std::size_t>(index - 1)); }

    // Appends at the end; returns the new card's index.
    int add(CardRecord card);
    // Removes card k; the records after it move down by one.
    void remove(int k);
    void clear() { cards_.clear(); }

    std::vector<CardRecord> &records() { return cards_; }
    const std::vector<CardRecord> &records() const { return cards_; }

private:
    std::vector<CardRecord> cards_;
};

// The card that is current after card k was closed and count cards are left.
int currentAfterClose(int k, int count);
// Next and previous card with wrap-around; 1 when there is no card.
int nextCard(int current, int count);
int previousCard(int current, int count);

// The greatest LargestDiameter of the scanned cards, 0 when none is scanned.
float maxScannedDiameter(const CardList &cards);

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

inline constexpr const char *PrefsSection = "Prefs";
inline constexpr const char *SettingsSection = "Settings";

// The largest resolution a card may be given, in dpi.
constexpr std::int32_t MaxResolution = 32767;

// The sound range of each spread factor coefficient (the drop diameter in
// micrometres is c0 + c1 d + c2 d² of the stain's d): beyond them drop sizes
// leave what any card could show, and volumes what a number can hold.
inline constexpr double SpreadLimit[3] = {1000.0, 100.0, 1.0};
bool spreadCoefficientSound(std::size_t index, double value);

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
