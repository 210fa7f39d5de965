#pragma once
// The results file of a spray line: spray information, analysis settings,
// the pooled results, the cards, the size classes, the swath analysis and
// the multiswath profiles, as an aligned text report or as CSV.  This builds
// the bytes; writing them to disc is the caller's (whole file or nothing).

#include "analysis/DropStatistics.h"
#include "line/Swath.h"
#include "model/CardList.h"
#include "model/CardStat.h"
#include "model/CompositeResult.h"
#include "model/SprayInfo.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vex {

struct ResultsInputs {
    const SprayInfo *Spray = nullptr;
    const CardList *Cards = nullptr;
    const std::vector<CardStat> *Stats = nullptr; // 1..CardCount
    // CompositeRange when a range is selected, else CompositeAll.
    CompositeResult Reported;
    bool RangeSelected = false;
    float RangeLow = 0.0f;
    float RangeHigh = 0.0f;
    std::array<double, 3> SpreadFactor{0.0, 0.56, 0.0};
    std::uint8_t ShapeThreshold = 100;
    std::uint8_t HueThreshold = 0;
    bool Metric = true;
    float RateFactor = 0.1f;
    std::string RateUnit = "L/ha";
    // With their multiswath profiles built.
    const SwathProfile *Deposit = nullptr;
    const SwathProfile *DropDensity = nullptr;
    // The rejected stains and the overlap estimate at the end of each card
    // row; and the lines under the thresholds for the settings that changed
    // the figures, label and text.
    bool Extended = false;
    std::vector<std::pair<std::string, std::string>> SettingLines;
    // Cards left out or at typed positions: a line under the swath heading.
    std::string SwathNote;
    // With the extended figures: each card row's Dv0.1, Dv0.9, relative
    // span and NMD (1..CardCount; blank where there are none), the
    // proposal of each profile and where the pattern lay.
    std::vector<std::optional<SpectrumFigures>> CardSpectra;
    std::string DepositProposal;
    std::string DropDensityProposal;
    std::string CentreText;
    // With the extended figures: the spray quality of the line and the
    // density target (under the pooled figures), the effective swath (under
    // the proposals) and each card's class and density verdict
    // (1..CardCount; blank where there are none).
    std::vector<std::pair<std::string, std::string>> ApplicatorLines;
    std::vector<std::pair<std::string, std::string>> EffectiveLines;
    std::vector<std::pair<std::string, std::string>> CardApplicator;
    // The passes were laid about the pattern's centre: the figures differ
    // from those of the pattern as flown, so the file says so always.
    bool Centred = false;
};

// "0 + 0.56d - 0d²" (UTF-8).
std::string spreadFactorText(const std::array<double, 3> &spread);

// A CSV field as written: on one line (line breaks and other control
// characters as blanks), in double quotes, inner quotes doubled, when it
// holds a comma or a quote; as it is otherwise.
std::string csvField(const std::string &text);

// A typed text (spray information, a file's name), with `after` (a unit)
// behind it, as a CSV field that a spreadsheet keeps as text: one that
// would start a formula (=, +, -, @) and is no number gets an apostrophe
// before it, inside quotes.
std::string csvTextField(const std::string &typed, const std::string &after = {});

// The file's bytes, Windows-1252, every line ending in CR LF.
std::string resultsTxt(const ResultsInputs &in);
std::string resultsCsv(const ResultsInputs &in);

// The layout follows the file's own extension (".csv" or ".txt", in any
// case); another name takes the file type chosen, 1 being the text layout.
bool resultsAsCsv(const std::string &path, int filterIndex);

// The message shown when the file could not be written.
std::string resultsWriteError(const std::string &description);

} // namespace vex
