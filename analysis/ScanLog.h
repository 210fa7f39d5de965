#pragma once
// The scan log: a plain-text record of one card's scan written beside the
// card image.  Its layout is fixed to the byte (Windows-1252, CR LF, fixed
// columns) because users and their tools read these files.

#include "model/CardRecord.h"
#include "model/CompositeResult.h"
#include "model/SprayInfo.h"
#include "text/Status.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex {

struct ScanLogInputs {
    const CardRecord *Card = nullptr;
    std::uint8_t HueLow = 0;
    std::uint8_t HueHigh = 255;
    bool HueInvert = false;
    bool Metric = true;
    std::array<double, 3> SpreadFactor{0.0, 0.56, 0.0};
    bool LogSprayInfo = false;
    const SprayInfo *Spray = nullptr; // read only when LogSprayInfo
    std::string Path;                 // the log; empty: scanLogPath of the card's file
    // Labelled lines (UTF-8) of a block at the end of the section, under
    // "Extended Figures:"; none, no block.
    std::vector<std::pair<std::string, std::string>> Extended;
};

// The card's path with its last three characters replaced by "scn".
std::string scanLogPath(const std::string &imagePath);

// The logs of cards loaded together, in the same order.  A card keeps the
// name above unless an earlier card of the list has it already (card03.gif
// and card03.tif); then its log is named after its whole file name
// (card03.tif.scn), so that no log overwrites another.
std::vector<std::string> scanLogPaths(const std::vector<std::string> &imagePaths);
// What the user is told when a log takes the longer name.
std::string sharedLogMessage(const std::string &usualLog, const std::string &log);

// A coefficient in plain decimal notation: at most 15 significant digits,
// no trailing zeros ("0", "0.56", "-1.5").
std::string coefficientText(double value);

// The section added to a card's log when the results of a line are written
// with a size range selected: the range's figures and classes.
std::string scanLogRangeSection(const CardRecord &card, const CompositeResult &range, float rangeLow, float rangeHigh,
                                bool metric);
// Appends it to the card's log at `logPath` (empty: scanLogPath of the
// card's file); fine when it worked, else the reason.
Status appendScanLogRange(const CardRecord &card, const CompositeResult &range, float rangeLow, float rangeHigh,
                          bool metric, const std::string &logPath = {});

// The Windows-1252 bytes of one section; the file header only when newFile.
std::string scanLogSection(const ScanLogInputs &in, bool newFile);

// Appends the section when `append` is set and the log exists, else creates
// or replaces the log.  Either way the whole new log is written beside the
// old one and renamed over it, so a failed write leaves the old log as it
// was.  On failure, the message names the log and the reason.
Status writeScanLog(const ScanLogInputs &in, bool append);

} // namespace vex
