#pragma once
// The four-page report of a spray line: analysis parameters, the pooled drop
// size spectrum, the spray line statistics and the swath analysis.  One
// drawing serves the printer, PDF files and the preview.

#include "line/LineAnalysis.h"
#include "line/Swath.h"
#include "line/SwathFine.h"
#include "model/CardList.h"
#include "model/CardStat.h"
#include "model/CompositeResult.h"
#include "model/SprayInfo.h"
#include "report/ReportTarget.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vex {

struct ReportInputs {
    SprayInfo Spray; // a copy: the preview keeps its inputs
    const CardList *Cards = nullptr;
    std::vector<CardStat> Stats; // 1..CardCount
    CompositeResult CompositeAll;
    CompositeResult CompositeRange;
    bool RangeSelected = false;
    float RangeLow = 0.0f;
    float RangeHigh = 0.0f;
    float MaxCardVMD = 0.0f;
    // The share of the line's cards that stains cover.
    double Coverage = 0.0;
    std::array<double, 3> SpreadFactor{0.0, 0.56, 0.0};
    std::uint8_t ShapeThreshold = 100;
    std::uint8_t HueThreshold = 0;
    bool Metric = true;
    // Copies: the multiswath is built for each before it is drawn.
    SwathProfile Deposit;
    SwathProfile DropDensity;
    // The extended figures' line on the spray line page.
    bool Extended = false;
    // Said of the settings that changed the figures, after it.
    std::vector<std::string> SettingSentences;
    double DenseCoverage = 0.20;
    // Cards left out or at typed positions, said under the swath analysis.
    std::string SwathNote;
    // Page 1: when the report was made ("2026-12-09 14:05"), set by the
    // caller so that a drawing can be repeated; the distinct resolutions of
    // the cards; the valid hues of the scan.
    std::string PrintedAt;
    std::vector<std::int32_t> Resolutions;
    std::uint8_t HueLow = 0;
    std::uint8_t HueHigh = 255;
    bool HueInvert = false;
    // Page 4: the COV between whole widths, and where the deposit lay.
    std::vector<FineWidth> FineDeposit;
    std::vector<FineWidth> FineDropDensity;
    PatternCentre Centre;
    bool Centred = false;
    // With the extended figures: the spray quality class under page 2's
    // figures, the density target under page 3's graphs and the effective
    // swath under page 4's notes.
    std::string QualityLine;
    std::string DensityTargetLine;
    std::vector<std::string> EffectiveLines;
    // Page 2: the colour of the class the quality line gives first.
    bool HasQualityColour = false;
    ReportColour QualityColour;
    // Page 1, under the composite figures: the estimate for overlap (of a
    // dense card, or with the extended figures) and, with the extended
    // figures, the smallest drop each resolution shows.
    std::vector<std::string> EstimateLines;
    std::string SmallestDropLine;
    // Page 3, with the extended figures and a density target (High above 0):
    // the target's band on the drop density graph, each counted card's point
    // in the colour of its verdict (1..CardCount; -1 below, 0 within, 1
    // above, unset for a card not counted) and the verdicts in words.
    double DensityTargetLow = 0.0;
    double DensityTargetHigh = 0.0;
    std::vector<std::optional<int>> DensityVerdicts;
    std::string DensityVerdictLine;
};

// The local time as page 1 gives it: "2026-12-09 14:05".
std::string reportTimeNow();

// That line: the rejected stains of the line, the dense cards and whether
// touching stains were cut apart; empty when neither option is on.
std::string reportExtendedLine(const ReportInputs &in);

// The report's inputs for an analysed line.
ReportInputs reportInputsFor(const CardList &cards, const LineResults &line, const AnalysisSettings &settings);

// "0 + 0.56d + 0d²": the report's form, " + " for coefficients of 0 and above.
std::string reportSpreadFormula(const std::array<double, 3> &spread);

// The 14 parameter lines of page 1.
std::array<std::string, 14> reportParameterLines(const ReportInputs &in);

struct ReportFont {
    std::string Face; // "Arial" or "Small Fonts"
    double Points = 0.0;
};
// The font for a nominal size: as it is on the printer; on the preview
// scaled to take the same share of the page; 7 points or less in the small
// face.
ReportFont reportFont(double nominalPoints, bool printer, double targetPointsPerInch);

// Draws page 1..4, or all four (page 0) with a new page between them.
// `progress` is told of each page as printing reaches it.
// (PrintSub2 in the old design.)
void drawReport(ReportTarget &target, bool printer, int page, ReportInputs in,
                const std::function<void(int)> &progress = {});

// The message shown when drawing or printing failed.
std::string reportErrorMessage(const std::string &description);

} // namespace vex
