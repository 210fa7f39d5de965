#pragma once
// Whether a card's figures are still those the window would make: the
// settings they were made under against the present ones, and the
// resolution the card's file records against the one it was analysed at.
// The window shows these texts; it decides nothing itself.

#include "line/LineAnalysis.h"
#include "model/CardList.h"
#include "model/CardRecord.h"

#include <string>
#include <vector>

namespace vex {

// The settings `card`'s figures would be made under now.
FiguresBasis figuresBasis(const CardRecord &card, const AnalysisSettings &current);
// Noted when the card has been scanned under `settings`.
void noteFiguresBasis(CardRecord &card, const AnalysisSettings &settings);
// Figures read from a trial were made under the settings it brought: noted
// so for its scanned cards, where nothing is noted yet.
void noteOpenedFigures(CardList &cards, const AnalysisSettings &settings);

// The settings the card's figures were made under that differ from the
// present ones, each as it was: "1200 dpi", "hues 0 to 200"...  Empty for a
// card not scanned, or whose figures came from where nothing was noted.
std::vector<std::string> staleSettings(const CardRecord &card, const AnalysisSettings &current);
// "figures from 1200 dpi, roundness 100: scan again"; empty when they stand.
std::string staleFiguresText(const CardRecord &card, const AnalysisSettings &current);

// "figures of 2 cards from other settings: scan again" for a line whose
// cards' figures are not all as a scan would make them now.
std::string staleLineText(const CardList &cards, const AnalysisSettings &current);

// The resolution the card was analysed at (or, not yet scanned, is set to).
std::int32_t analysedResolution(const CardRecord &card);
// "file records 600 dpi, analysed at 1200 dpi"; empty when the file records
// none or the same.
std::string resolutionMismatchText(const CardRecord &card);

// What a card's tab says of it: marked, with the reasons as its tooltip.
struct CardTabNote {
    bool Marked = false;
    std::string Tooltip;
};
CardTabNote cardTabNote(const CardRecord &card, const AnalysisSettings &current);

} // namespace vex
