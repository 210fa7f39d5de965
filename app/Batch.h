#pragma once
// The headless batch run's command line and the analysis settings it takes
// from its options over the stored preferences; the analysis itself is the
// one pipeline of line/LineAnalysis.

#include "app/AppState.h"
#include "intake/CardFinder.h"
#include "intake/CardLoading.h"
#include "line/DensityTarget.h"
#include "line/LineAnalysis.h"
#include "text/Result.h"
#include "text/Status.h"
#include "trial/Trial.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vex {

struct BatchOptions {
    // The settings table's options as given, by the setting's name, in the
    // order given: a switch 1, its negation 0, a number as the user gives it.
    std::vector<std::pair<std::string, double>> Settings;
    // The last value given for a setting.
    std::optional<double> setting(std::string_view name) const;
    std::uint8_t HueLow = 0;
    std::uint8_t HueHigh = 255;
    std::optional<std::array<double, 3>> Spread;
    bool Json = false;
    std::optional<std::string> Stains; // the stain table, CSV
    // The spray line: card 1 position and spacing as typed, the aircraft's
    // nominal swath and the selected drop size range.
    std::optional<std::pair<std::string, std::string>> Positions;
    std::optional<std::string> Swath;
    std::optional<std::pair<float, float>> Range;
    // The drop density the product needs, and a laboratory's spray quality
    // classes, loaded while the arguments are read.
    std::optional<DensityRange> DensityTarget;
    std::optional<QualityTable> Quality;
    // The results file (TXT or CSV by its extension) and spray information
    // entries given as KEY=VALUE.
    std::optional<std::string> Results;
    std::optional<std::string> Report; // the four-page report as PDF
    std::vector<std::pair<int, std::string>> Info;
    std::vector<std::string> Cards;
    // A saved trial reported from its stored figures instead of card
    // images: one of its passes (1-based) or the mean of its passes.
    std::optional<std::string> FromTrial;
    std::optional<int> Pass;
    bool MeanOfPasses = false;
    std::optional<std::string> SaveTrial; // the run saved as a trial
    // Replicates of the bootstrap behind the 95 % intervals; 0 for none.
    int Bootstrap = 1000;
    // Cards analysed side by side (default: one per core).
    std::optional<int> Jobs;
    bool Quiet = false; // no progress line
    // Each picture searched for cards of CardSize, each found card a card
    // of its own ("picture.jpg#1", ...).
    bool FindCards = false;
    std::optional<vex::CardSize> FoundCardSize;
};

// The most cards analysed side by side: each holds a whole picture.
inline constexpr int MaxBatchJobs = 256;

struct BatchArguments {
    enum class Kind { Run, Help, Error } What = Kind::Run;
    BatchOptions Options;
    std::string Error; // for Kind::Error
};

// The arguments after the program name.
BatchArguments parseBatchArguments(const std::vector<std::string> &args);

// The usage text, ending with a newline.
std::string batchUsage();

// The options over the stored preferences.  `storedPositions` are the card
// 1 position and spacing the program has stored (or its defaults).
AnalysisSettings resolveBatchSettings(const BatchOptions &options, const Preferences &preferences,
                                      const ModuleState &module,
                                      const std::pair<std::string, std::string> &storedPositions = {"-50", "10"});

// The run's settings over a stored trial: the trial's own, with the line
// options over them and no scan logs.  The options go over the spray
// information of each pass in `passes` (1-based) in the trial too; the
// settings take that of the first.  Positions a pass lacks are
// `storedPositions`.
AnalysisSettings resolveTrialSettings(const BatchOptions &options, Trial &trial, const std::vector<int> &passes,
                                      const std::pair<std::string, std::string> &storedPositions = {"-50", "10"});

// Said of a stored card whose image file has gone or changed; empty for
// one that is there as it was.
std::string cardFileWarning(const CardRecord &card);

// Why the run must not start: a file it writes (--results, --stains,
// --report, --save-trial) is the same file as a card it reads (`cards`, and
// the stored cards of `trial` and `held`, a pass taken out of it), the
// trial it reads, a scan log it writes (`logs`) or another file it writes.
// Fine when there is none.
Status batchOutputClash(const BatchOptions &options, const std::vector<std::string> &cards,
                        const std::vector<std::string> &logs, const Trial &trial, const CardList &held);

// True when the path asks for the CSV layout (".csv" in any case).
bool wantsCsv(const std::string &path);

// The card files of a folder given on the command line: the regular files
// the run would open by their names, in the order of titleBefore with
// `natural`, each the folder's path joined with its name; those of its
// subfolders are not.  Fails, saying why, when the folder cannot be read.
Result<std::vector<std::string>> cardFilesOf(const std::string &folder, const IntakeOptions &intake, bool natural);

// The cards of the command line: a folder stands for its card files, any
// other argument for itself, in the order given.  A folder without a card
// file is an entry of its own with the reason, to be reported in its place.
struct BatchEntry {
    std::string Path;
    std::string Problem; // empty for a card
};
std::vector<BatchEntry> batchEntries(const std::vector<std::string> &arguments, const IntakeOptions &intake,
                                     bool natural);

// The progress line of a run: `done` of `total` cards finished, `under way`
// the shares of those being analysed, after `seconds`; the rate and the
// time left once there is anything to go by.
std::string batchProgressText(std::size_t done, std::size_t total, double underWay, double seconds);

} // namespace vex
