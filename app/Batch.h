#pragma once
// The headless batch run: its command line, the settings it takes from the
// preferences, and the analysis of one card from a decoded picture through
// colour pass, stain scan, statistics and log.

#include "analysis/StainScan.h"
#include "app/AppState.h"
#include "intake/ColourPass.h"
#include "intake/IndexedImage.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vex {

struct BatchOptions {
    std::optional<std::int32_t> Dpi;
    std::uint8_t HueLow = 0;
    std::uint8_t HueHigh = 255;
    bool Invert = false;
    std::optional<std::uint8_t> Roundness;
    std::optional<std::uint8_t> ValidHues;
    std::optional<std::array<double, 3>> Spread;
    bool NoDither = false;
    bool TableBackground = false;
    std::optional<bool> Log;
    bool Append = false;
    bool Json = false;
    std::vector<std::string> Cards;
};

struct BatchArguments {
    enum class Kind { Run, Help, Error } What = Kind::Run;
    BatchOptions Options;
    std::string Error; // for Kind::Error
};

// The arguments after the program name.
BatchArguments parseBatchArguments(const std::vector<std::string> &args);

// The usage text, ending with a newline.
std::string batchUsage();

// Everything one card's analysis needs, with every option resolved.
struct BatchSettings {
    std::int32_t Resolution = 1200;
    ScanSettings Scan;
    std::array<double, 3> Spread{0.0, 0.56, 0.0};
    bool NoDither = false;
    bool TableBackground = false;
    bool Log = true;
    bool Append = false;
    bool Metric = true;
    bool LogSprayInfo = false;
    SprayInfo Spray;
};

// The options over the stored preferences.
BatchSettings resolveBatchSettings(const BatchOptions &options, const MainWindowState &preferences,
                                   const ModuleState &module);

// The figures of one analysed card beyond those kept in its record.
struct CardFigures {
    bool Cancelled = false;
    std::uint64_t ForegroundPixels = 0;
    std::int32_t Accepted = 0;
    double Dv01 = 0.0;
    double Dv09 = 0.0;
    double RelativeSpan = 0.0;
    double Nmd = 0.0;
    double CoveragePercent = 0.0;
    std::string LogError; // empty when the log was written or not wanted
};

struct BatchProgress {
    PassCallbacks Pass;
    ScanCallbacks Scan;
};

// Colour pass with the batch's answers, scan, statistics and, when wanted,
// the scan log.  `card` is a new record for the picture (newCardRecord).
CardFigures analyseCard(CardRecord &card, const IndexedImage &image, const BatchSettings &settings,
                        const BatchProgress &progress = {});

} // namespace vex
