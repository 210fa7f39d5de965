#pragma once
// What of the window's state a trial keeps, and how to tell that it changed
// since the trial was saved or opened.

#include "trial/Trial.h"

#include <string>
#include <vector>

namespace vex {

// The card as a trial keeps it: everything but its stain pixels, which are
// lent out of the card and given back rather than copied.
CardRecord storedCard(CardRecord &card);

// The settings a trial keeps, picked from those of the analysis; the rest
// at their defaults.
AnalysisSettings trialSettings(const AnalysisSettings &settings);

// One pass as the window holds it: the current pass's cards and spray
// information are not in its LinePass while it is shown.
struct PassView {
    const LinePass *Pass = nullptr; // name and flags
    const CardList *Cards = nullptr;
    const SprayInfo *Spray = nullptr;
};

// A text that differs whenever anything a trial keeps differs (the cards'
// files, resolutions, colours, positions and figures, the passes, the
// settings); the window compares it with the one of the last save.
std::string trialStateKey(const AnalysisSettings &settings, const std::vector<PassView> &passes);
std::string trialStateKey(const Trial &trial);

// Whether a card's file lies outside the folder of the trial at
// `trialPath` (its subfolders count as inside; links are followed).  A trial
// may come from anyone and name any file: such a card is shown by its whole
// path, and a scan log is written beside it only once the user agreed.
bool cardOutsideTrialFolder(const std::string &cardPath, const std::string &trialPath);

} // namespace vex
