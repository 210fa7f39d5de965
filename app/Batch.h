#pragma once
// The headless batch run: its command line, the settings it takes from the
// preferences, and the analysis of one card from a decoded picture through
// colour pass, stain scan, statistics and log.

#include "analysis/StainScan.h"
#include "app/AppState.h"
#include "intake/ColourPass.h"
#include "intake/IndexedImage.h"
#include "line/Composite.h"
#include "line/ResultsFile.h"
#include "report/Report.h"
#include "line/Swath.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
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
    std::optional<bool> Append;
    bool Json = false;
    // The spray line: card 1 position and spacing as typed, the aircraft's
    // nominal swath, the selected drop size range and the units.
    std::optional<std::pair<std::string, std::string>> Positions;
    std::optional<std::string> Swath;
    std::optional<std::pair<float, float>> Range;
    std::optional<bool> Metric;
    // The results file (TXT or CSV by its extension) and spray information
    // entries given as KEY=VALUE.
    std::optional<std::string> Results;
    std::optional<std::string> Report; // the four-page report as PDF
    std::vector<std::pair<int, std::string>> Info;
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
    // Sample_Position1, Sample_Interval and AC_Swath are set here from the
    // options, or from what the program has stored.
    SprayInfo Spray;
    bool HasRange = false;
    float RangeLow = 0.0f;
    float RangeHigh = 32755.0f;
};

// The options over the stored preferences.  `storedPositions` are the card
// 1 position and spacing the program has stored (or its defaults).
BatchSettings resolveBatchSettings(const BatchOptions &options, const MainWindowState &preferences,
                                   const ModuleState &module,
                                   const std::pair<std::string, std::string> &storedPositions = {"-50", "10"});

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
    // Why the card's figures could not be reported (it is left unscanned).
    std::string FiguresError;
};

struct BatchProgress {
    PassCallbacks Pass;
    ScanCallbacks Scan;
};

// Colour pass with the batch's answers, scan, statistics and, when wanted,
// the scan log (at `logPath`, or beside the card when empty).  `card` is a
// new record for the picture (newCardRecord).
CardFigures analyseCard(CardRecord &card, const IndexedImage &image, const BatchSettings &settings,
                        const BatchProgress &progress = {}, const std::string &logPath = {});

// The whole line of analysed cards: positions, the pooled spectrum (over a
// selected range too), the per-card figures and the swath analysis.
struct LineResults {
    CompositeResult All;
    float MaxCardVMD = 0.0f;
    bool RangeSelected = false;
    CompositeResult Range;
    std::vector<CardStat> Stats; // 1..CardCount
    bool HasSwath = false;       // two cards or more
    SwathProfile Deposit;
    SwathProfile DropDensity;
    float Interval = 0.0f;
};
LineResults analyseLine(CardList &cards, const BatchSettings &settings);

// After the results file: when logs are kept and the range cuts drops off
// the line, each scanned card's range section is added to its log
// (`logPaths` 1..CardCount, as analyseCard wrote them).  The failures.
std::vector<std::string> appendRangeSections(const CardList &cards, const LineResults &line,
                                             const BatchSettings &settings, const std::vector<std::string> &logPaths);

// Why the line's figures cannot be reported: empty when every figure the
// results, report and JSON would hold is a finite number.
std::string lineFiguresProblem(const LineResults &line);

// The results file's inputs for an analysed line.
ResultsInputs lineResultsInputs(const CardList &cards, const LineResults &line, const BatchSettings &settings);
// The report's inputs for an analysed line.
ReportInputs lineReportInputs(const CardList &cards, const LineResults &line, const BatchSettings &settings);
// True when the path asks for the CSV layout (".csv" in any case).
bool wantsCsv(const std::string &path);

} // namespace vex
