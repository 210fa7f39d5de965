#pragma once
// What a batch run reads: a saved trial's stored cards, or the card files
// of the command line with its folders expanded.

#include "app/Batch.h"
#include "app/batch/BatchRun.h"
#include "app/batch/ProgressLine.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vex::batch {

// Opens the trial of --from-trial into `run`: its passes to report, its
// settings under the options and its stored cards reported as they were
// saved.  The exit code when the run cannot go on.
std::optional<int> openTrialRun(const BatchOptions &options, const std::pair<std::string, std::string> &storedPositions,
                                ProgressLine &progress, BatchRun &run);

struct CardPaths {
    std::vector<std::string> Images; // absolute
    // A folder without a card file, reported before card n (0-based).
    std::vector<std::pair<std::size_t, std::string>> FolderProblems;
    // Cards that would share a log name get logs of their own.
    std::vector<std::string> Logs;
};
// The card files of the command line: folders stand for their cards.
CardPaths cardPaths(const std::vector<std::string> &arguments, const IntakeOptions &intake, bool natural);

} // namespace vex::batch
