#pragma once
// The one pipeline: a card from its decoded picture to its figures and scan
// log, a line of cards to its pooled spectrum, card figures and swath
// analysis, and the inputs of the results file.  The window and the batch
// tool both run it; start reading here.

#include "analysis/ScanLog.h"
#include "analysis/StainScan.h"
#include "intake/CardLoading.h"
#include "intake/ColourPass.h"
#include "intake/IndexedImage.h"
#include "line/Composite.h"
#include "line/LineGrid.h"
#include "line/ResultsFile.h"
#include "line/SprayQuality.h"
#include "line/Swath.h"
#include "line/SwathFine.h"
#include "model/CardList.h"
#include "model/SprayInfo.h"

#include <array>
#include <string>
#include <vector>

namespace vex {

// Everything the analysis of a card and of a line needs, every option
// resolved: from the window's controls and preferences, or from the batch
// tool's options over the stored preferences.
struct AnalysisSettings {
    friend bool operator==(const AnalysisSettings &, const AnalysisSettings &) = default;
    std::int32_t Resolution = 1200;
    // New cards take the resolution their file records, where there is one.
    bool ResolutionFromFile = false;
    IntakeOptions Intake;
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
    // Cards whose stains cover more than this share are named as too dense
    // for reliable drop counts.
    double DenseCoverage = 0.20;
    // The rejected stains and the overlap estimate in the scan log, the
    // results file and the report too.
    bool Extended = false;
    bool HasRange = false;
    float RangeLow = 0.0f;
    float RangeHigh = 32755.0f;
    // The swath analysis between whole spacings, in steps of this share of
    // the card spacing.
    double WidthStep = 0.1;
    // The pattern is moved so that its centroid lies on the flight line
    // before the passes are simulated.
    bool CentrePattern = false;
    // Replicates of the bootstrap behind the 95 % intervals; 0 for none.
    int Bootstrap = 0;
    // File names are sorted as people count: card2 before card10.
    bool NaturalOrder = false;
    // The pooled drop density and deposit from each card's estimate for
    // overlap instead of its count.
    bool PoolEstimates = false;
    // The effective swath is the widest whose COV stays within this.
    double CovTarget = 0.20;
    // The drop density the product needs, per cm²; a high end of 0 for none.
    double DensityTargetLow = 0.0;
    double DensityTargetHigh = 0.0;
    // The bounds of the spray quality classes.
    QualityTable Quality = defaultQualityTable();
};

// The window's line under a card's figures: "Rejected: 38 stains, 6.1 % of
// stain area"; empty for a card not scanned.
std::string rejectedStainsText(const CardRecord &card);
// Said of a card whose stains cover more than `threshold` (0..1) of it;
// empty otherwise.
std::string denseCardWarning(const CardRecord &card, double threshold);

// Under the warning of a dense card (or any card's figures, by a
// preference), the estimate for overlap with the half-widths of its 95 %
// intervals: "Estimated: 412.3 ± 32.2 drops/cm², 34.1 ± 3.0 L/ha (95 %)";
// empty for a card without an estimate.
std::string overlapEstimateText(const CardRecord &card, bool metric);

// Both from a scan of the card whose record the statistics have filled.
RejectedFigures rejectedFigures(const CardRecord &card, const ScanResult &scan, const std::array<double, 3> &spread);
OverlapFigures overlapFigures(const CardRecord &card, const ScanResult &scan);
// The drop density and deposit that overlap does not bias, from the card's
// stain pixels the hue range accepts, added to `overlap`.
void addDropEstimate(OverlapFigures &overlap, const CardRecord &card, const AnalysisSettings &settings);

// The figures of one analysed card beyond those kept in its record.
// The summary is also kept in the card's record.
struct CardFigures : ScanSummary {
    bool Cancelled = false;
    // Every stain, when the scan was asked to keep them.
    std::vector<StainRecord> Stains;
    std::int32_t SplitStains = 0;
    std::int32_t SplitParts = 0;
    Status Log;     // the scan log written, or not wanted
    Status Figures; // every figure a number; else the card is left unscanned
};

struct BatchProgress {
    PassCallbacks Pass;
    ScanCallbacks Scan;
};

// After the stain scan: the statistics, the check that every figure is a
// number (the card stays unscanned when one is not), and the scan log when
// wanted (at `logPath`, or beside the card when empty).
CardFigures measureCard(CardRecord &card, const ScanResult &scan, const AnalysisSettings &settings,
                        const std::string &logPath = {});
// The extended figures of a scanned card, as labelled lines: the rejected
// stains, the overlap estimate, the dense-card warning and the cut stains.
std::vector<std::pair<std::string, std::string>> extendedFigureLines(const CardRecord &card,
                                                                     const AnalysisSettings &settings);
// What the card's scan log is written from.
ScanLogInputs scanLogInputsFor(const CardRecord &card, const AnalysisSettings &settings, const std::string &logPath);

// Colour pass with fixed answers, scan, statistics and, when wanted,
// the scan log (at `logPath`, or beside the card when empty).  `card` is a
// new record for the picture (newCardRecord).
CardFigures analyseCard(CardRecord &card, const IndexedImage &image, const AnalysisSettings &settings,
                        const BatchProgress &progress = {}, const std::string &logPath = {});

// The whole line of analysed cards: positions, the pooled spectrum (over a
// selected range too), the per-card figures and the swath analysis.
struct LineResults {
    CompositeResult All;
    float MaxCardVMD = 0.0f;
    bool RangeSelected = false;
    CompositeResult Range;
    std::vector<CardStat> Stats; // 1..CardCount
    bool HasSwath = false;       // two points of the line's grid or more
    SwathProfile Deposit;
    SwathProfile DropDensity;
    float Interval = 0.0f;
    // The swath analysis ran on figures interpolated between the cards that
    // count (positions typed for single cards, cards left out), not on the
    // cards themselves.
    bool Interpolated = false;
    // Why there is no swath analysis of a line of two cards or more.
    std::string SwathProblem;
    // The share of the line's cards that stains cover (CompositeAll's).
    double Coverage = 0.0;
    // The COV at widths between whole spacings.
    std::vector<FineWidth> FineDeposit;
    std::vector<FineWidth> FineDropDensity;
    // Where the deposit pattern lay, before any centring.
    PatternCentre Centre;
    // The pattern was moved by -Centre.Centroid before the passes.
    bool Centred = false;
};

// "12.3 %": a coverage (a share, 0..1) as the window and the report give it.
std::string coverageText(double share);
// The coverage shown under the figures: the line's, or the card's once it
// is scanned; empty when there is none to show.
std::string shownCoverageText(bool line, const LineResults &results, const CardRecord *card);
// Why a line has no swath analysis to show, in words; empty when it has one.
std::string swathMissingText(const LineResults &line);

// The pooled spectrum of the cards, and inside the selected range when the
// range cuts drops off it.
void poolLine(LineResults &line, const CompositeAll &pooled, const AnalysisSettings &settings);

// The swath analysis of figures on the line's grid, point 1 at `position1`:
// both profiles, their widths whole and between, the pattern's centre, and
// the centring when asked for.
void runSwathAnalysis(LineResults &line, const std::vector<CardStat> &points, float position1,
                      const AnalysisSettings &settings);
// Places the cards along the line first.  With `previous`, the swath widths
// chosen there are kept where the new line still has them.
LineResults analyseLine(CardList &cards, const AnalysisSettings &settings, const LineResults *previous = nullptr);

// After the results file: when logs are kept and the range cuts drops off
// the line, each scanned card's range section is added to its log
// (`logPaths` 1..CardCount, as analyseCard wrote them).  The failures.
Status appendRangeSections(const CardList &cards, const LineResults &line, const AnalysisSettings &settings,
                           const std::vector<std::string> &logPaths);

// Fine when every figure the results, report and JSON would hold is a
// finite number, else why the line cannot be reported.
Status checkLineFigures(const LineResults &line);

// Said wherever the swath analysis is reported when it did not run on the
// cards themselves: which cards were left out and that the analysis
// interpolates; empty for a line of cards at their places.
std::string swathNote(const CardList &cards, bool interpolated);

// The results file's inputs for an analysed line.
ResultsInputs lineResultsInputs(const CardList &cards, const LineResults &line, const AnalysisSettings &settings);

} // namespace vex
