#pragma once
// The figures an applicator reads first, in words for the results file,
// the report and the window: the spray quality class of each card and of
// the line, where each card stands against the drop density the product
// needs, and the effective swath with the share of the spray rate found.

#include "line/DensityTarget.h"
#include "line/EffectiveSwath.h"
#include "line/LineAnalysis.h"
#include "model/CardList.h"

#include <string>
#include <utility>
#include <vector>

namespace vex {

using LabelledLines = std::vector<std::pair<std::string, std::string>>;

// A card's class from its whole spectrum; not Known without drops.
SprayQuality cardSprayQuality(const CardRecord &card, const QualityTable &table);

// Where the card's counted drop density stands against the settings'
// target; only meaningful with a target (DensityTargetHigh above 0).
DensityVerdict cardDensityVerdict(const CardRecord &card, const AnalysisSettings &settings);

// "Coarse (by Dv0.1: Very Coarse, by VMD: Coarse)"; empty when not Known.
std::string sprayQualityText(const SprayQuality &q);

// A card's note: "Coarse; density within 20-30" (the density part only
// with a target); empty for a card without a class or target.
std::string cardApplicatorNote(const CardRecord &card, const AnalysisSettings &settings);

// The line's: its class (and the reported range's), the source of the
// class, and the share of the counted cards within the density target.
LabelledLines lineApplicatorLines(const CardList &cards, const LineResults &line, const AnalysisSettings &settings);

// The effective swath of deposit and drop density at the COV target, and
// the recovered share of the spray rate when one is given.
LabelledLines effectiveSwathLines(const LineResults &line, const AnalysisSettings &settings);

// What the window shows under the figures: the class (of the card, or of
// the line as reported) and where the card or the line stands against the
// density target; Quality is the class shown, for its colour.
struct ApplicatorShown {
    std::string Text;
    SprayQuality Quality;
};
ApplicatorShown cardApplicatorShown(const CardRecord &card, const AnalysisSettings &settings);
ApplicatorShown lineApplicatorShown(const CardList &cards, const LineResults &line, const AnalysisSettings &settings);

// The swath view's line: "Effective swath (COV <= 0.20): 48 m one way,
// 45 m back and forth; 108 % of the spray rate"; empty without a swath.
std::string effectiveSwathShort(const LineResults &line, const AnalysisSettings &settings, bool deposit);

// The effective swath of one profile, at the settings' target.
EffectiveSwath lineEffectiveSwath(const LineResults &line, const AnalysisSettings &settings, bool deposit);

} // namespace vex
