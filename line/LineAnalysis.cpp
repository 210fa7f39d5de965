#include "line/LineAnalysis.h"

#include "line/ApplicatorFigures.h"
#include "line/DensityTarget.h"

#include "intake/Resolution.h"
#include "line/SettingsTable.h"

#include "analysis/DropStatistics.h"
#include "analysis/OverlapEstimate.h"
#include "analysis/ScanLog.h"
#include "line/CardPositions.h"
#include "line/SwathDisplay.h"
#include "model/CardGeometry.h"
#include "model/Units.h"
#include "text/NumberText.h"

#include <cmath>
#include <map>
#include <numeric>

namespace vex {

ResultsInputs lineResultsInputs(const CardList &cards, const LineResults &line, const AnalysisSettings &settings)
{
    ResultsInputs in;
    in.Spray = &settings.Spray;
    in.Cards = &cards;
    in.Stats = &line.Stats;
    in.Reported = line.RangeSelected ? line.Range : line.All;
    in.RangeSelected = line.RangeSelected;
    in.RangeLow = settings.RangeLow;
    in.RangeHigh = settings.RangeHigh;
    in.SpreadFactor = settings.Spread;
    in.ShapeThreshold = settings.Scan.ShapeThreshold;
    in.HueThreshold = settings.Scan.HueThreshold;
    in.Extended = settings.Extended;
    in.SettingLines = settingResultsLines(settings);
    in.Metric = settings.Metric;
    in.RateFactor = rateFactor(settings.Metric);
    in.RateUnit = rateUnit(settings.Metric);
    in.Deposit = &line.Deposit;
    in.DropDensity = &line.DropDensity;
    in.SwathNote = swathNote(cards, line.Interpolated);
    in.CardSpectra = fillCardSpectra(cards, line.RangeSelected, settings.RangeLow, settings.RangeHigh);
    in.DepositProposal = proposalText(line.Deposit, line.FineDeposit, line.Interval, settings.Metric);
    in.DropDensityProposal = proposalText(line.DropDensity, line.FineDropDensity, line.Interval, settings.Metric);
    in.CentreText = patternCentreText(line.Centre, line.Centred, settings.Metric);
    in.Centred = line.Centred;
    if (settings.Extended) {
        in.ApplicatorLines = lineApplicatorLines(cards, line, settings);
        in.EffectiveLines = effectiveSwathLines(line, settings);
        in.CardApplicator.resize(static_cast<std::size_t>(cards.count()) + 1);
        for (int i = 1; i <= cards.count(); ++i) {
            const CardRecord &card = cards[i];
            if (!card.Scanned || card.Excluded)
                continue;
            auto &[quality, density] = in.CardApplicator[static_cast<std::size_t>(i)];
            quality = cardSprayQuality(card, settings.Quality).Class;
            if (settings.DensityTargetHigh > 0.0)
                density = densityVerdictText(densityVerdict(settings.DensityTargetLow, settings.DensityTargetHigh,
                                                            card.Stains.size() > 1 ? card.DropDensity : 0.0));
        }
    }
    return in;
}

LineResults analyseLine(CardList &cards, const AnalysisSettings &settings, const LineResults *previous)
{
    LineResults line;
    // The widths chosen on the swath view stay chosen while they exist.
    if (previous) {
        line.Deposit.SelectedWidth = previous->Deposit.SelectedWidth;
        line.DropDensity.SelectedWidth = previous->DropDensity.SelectedWidth;
    }
    assignCardPositions(cards, settings.Spray);
    poolLine(line, calcCompositeAll(cards), settings);
    line.Stats = fillCardStats(cards, line.RangeSelected, settings.RangeLow, settings.RangeHigh);
    line.Interval = positionValue(settings.Spray[Sample_Interval]);
    const LineGrid grid = lineGrid(cards, line.Stats, settings.Spray);
    line.Interpolated = !grid.Regular;
    line.SwathProblem = grid.Problem;
    if (grid.points() >= 2) {
        line.HasSwath = true;
        runSwathAnalysis(line, grid.Stats, grid.Position1, settings);
    }
    return line;
}

std::string swathNote(const CardList &cards, bool interpolated)
{
    std::string out;
    for (const CardRecord &card : cards.records())
        if (card.Excluded)
            out += (out.empty() ? "" : ", ") + card.FileTitle;
    if (!out.empty())
        return "Left out of the line: " + out + "; the swath analysis interpolates over their places.";
    return interpolated ? "The swath analysis interpolates between the cards at the positions typed for them."
                        : std::string();
}

void poolLine(LineResults &line, const CompositeAll &pooled, const AnalysisSettings &settings)
{
    line.All = pooled.Result;
    line.MaxCardVMD = pooled.MaxCardVMD;
    line.Coverage = pooled.Coverage;
    if (settings.PoolEstimates) {
        line.All.DropDensity = pooled.EstimatedDropDensity;
        line.All.VolumeDensity = pooled.EstimatedVolumeDensity;
    }
    // A range counts as selected when it cuts drops off the pooled line.
    line.RangeSelected = settings.HasRange && lineRangeSelected(line.All, settings.RangeLow, settings.RangeHigh);
    if (line.RangeSelected)
        line.Range = calcCompositeRange(line.All, settings.RangeLow, settings.RangeHigh);
}

void runSwathAnalysis(LineResults &line, const std::vector<CardStat> &points, float position1,
                      const AnalysisSettings &settings)
{
    if (line.Interval != 0.0f && !positionNumbers(position1, line.Interval).Placed) {
        line.HasSwath = false;
        line.SwathProblem = "the line lies too many card spacings from the flight line to place its cards";
        return;
    }
    swathAnalysis(points, position1, line.Interval, line.Deposit, line.DropDensity);
    line.Centre = patternCentre(line.Deposit, line.Interval);
    const auto centred = static_cast<float>(position1 - line.Centre.Centroid);
    if (settings.CentrePattern && line.Centre.Known && line.Centre.Centroid != 0.0 &&
        positionNumbers(centred, line.Interval).Placed) {
        // Only where the passes lie changes: the cards stay where they were.
        swathAnalysis(points, centred, line.Interval, line.Deposit, line.DropDensity);
        line.Centred = true;
    }
    buildMultiswath(line.Deposit);
    buildMultiswath(line.DropDensity);
    line.FineDeposit = fineWidths(line.Deposit, settings.WidthStep);
    line.FineDropDensity = fineWidths(line.DropDensity, settings.WidthStep);
}

Status checkLineFigures(const LineResults &line)
{
    auto finite = [](double v) { return std::isfinite(v); };
    bool ok = true;
    for (const CompositeResult *c : {&line.All, &line.Range})
        ok = ok && finite(c->VMD) && finite(c->DropDensity) && finite(c->VolumeDensity);
    for (const CardStat &s : line.Stats)
        ok = ok && finite(s.Vmd) && finite(s.DropDensity) && finite(s.VolumeDensity);
    for (const SwathProfile *p : {&line.Deposit, &line.DropDensity}) {
        for (const WidthStats &w : p->Widths)
            ok = ok && finite(w.Cov) && finite(w.Mean) && finite(w.Max) && finite(w.Min) && finite(w.CovBackAndForth) &&
                 finite(w.MeanBackAndForth) && finite(w.MaxBackAndForth) && finite(w.MinBackAndForth);
        for (const float v : p->Multiswath)
            ok = ok && finite(v);
    }
    for (const std::vector<FineWidth> *fine : {&line.FineDeposit, &line.FineDropDensity})
        for (const FineWidth &w : *fine)
            ok = ok && finite(w.Cov) && finite(w.CovBackAndForth);
    ok = ok && finite(line.Centre.Centroid) && finite(line.Centre.HalfMeanCentre);
    return ok ? Status()
              : Status::failure("the line's figures are beyond what can be computed; check the card positions and "
                                "the aircraft's swath");
}

Status appendRangeSections(const CardList &cards, const LineResults &line, const AnalysisSettings &settings,
                           const std::vector<std::string> &logPaths)
{
    Status failures;
    if (!settings.Log || !line.RangeSelected)
        return failures;
    for (int i = 1; i <= cards.count(); ++i) {
        if (!cards[i].Scanned)
            continue;
        const CompositeResult range = calcSingleRange(cards[i], settings.RangeLow, settings.RangeHigh);
        const std::size_t at = static_cast<std::size_t>(i);
        failures.add(appendScanLogRange(cards[i], range, settings.RangeLow, settings.RangeHigh, settings.Metric,
                                        at < logPaths.size() ? logPaths[at] : std::string()));
    }
    return failures;
}

ScanLogInputs scanLogInputsFor(const CardRecord &card, const AnalysisSettings &settings, const std::string &logPath)
{
    ScanLogInputs log;
    log.Card = &card;
    log.HueLow = settings.Scan.HueLow;
    log.HueHigh = settings.Scan.HueHigh;
    log.HueInvert = settings.Scan.HueInvert;
    log.Metric = settings.Metric;
    log.SpreadFactor = settings.Spread;
    log.LogSprayInfo = settings.LogSprayInfo;
    log.Spray = &settings.Spray;
    log.Path = logPath;
    if (settings.Extended || settings.Scan.SplitTouching)
        log.Extended = extendedFigureLines(card, settings);
    return log;
}

std::vector<std::pair<std::string, std::string>> extendedFigureLines(const CardRecord &card,
                                                                     const AnalysisSettings &settings)
{
    std::vector<std::pair<std::string, std::string>> lines;
    if (!card.Scanned)
        return lines;
    if (settings.Extended) {
        lines.emplace_back("Rejected Stains:", std::to_string(card.RejectedCount) + ", " +
                                                   formatFixed(100.0 * card.RejectedAreaShare, 1) + " % of stain area");
        lines.emplace_back("Coverage:", formatFixed(100.0 * card.StainCoverage, 1) + " %");
        lines.emplace_back("Corrected Density:", formatFixed(card.CorrectedDropDensity, 2) + " drops/cm\u00b2");
        lines.emplace_back("Touching Others:", formatFixed(100.0 * card.HiddenShare, 1) + " % of drops (estimate)");
        if (const std::string dense = denseCardWarning(card, settings.DenseCoverage); !dense.empty())
            lines.emplace_back("Warning:", dense);
    }
    // Figures from cut stains are not those of the usual scan: always said.
    if (settings.Scan.SplitTouching)
        lines.emplace_back("Touching Stains Split:",
                           std::to_string(card.SplitStains) + " into " + std::to_string(card.SplitParts) + " parts");
    return lines;
}

std::string rejectedStainsText(const CardRecord &card)
{
    if (!card.Scanned)
        return {};
    double accepted = 0.0;
    for (std::size_t k = 1; k < card.Stains.size(); ++k)
        accepted += static_cast<double>(card.Stains[k].Count) * card.Stains[k].Area;
    const double all = accepted + static_cast<double>(card.RejectedArea);
    const double share = all > 0.0 ? 100.0 * static_cast<double>(card.RejectedArea) / all : 0.0;
    return "Rejected: " + std::to_string(card.RejectedCount) + (card.RejectedCount == 1 ? " stain, " : " stains, ") +
           formatFixed(share, 1) + " % of stain area";
}

std::string coverageText(double share)
{
    return formatFixed(100.0 * share, 1) + " %";
}

std::string shownCoverageText(bool line, const LineResults &results, const CardRecord *card)
{
    if (line)
        return results.All.TotalArea > 0.0 ? coverageText(results.Coverage) : std::string();
    return card && card->Scanned ? coverageText(card->StainCoverage) : std::string();
}

std::string swathMissingText(const LineResults &line)
{
    // Two widths to compare take three points of the line.
    if (line.HasSwath && line.Deposit.Widths.size() >= 3)
        return {};
    if (!line.SwathProblem.empty())
        return "No swath analysis: " + line.SwathProblem + ".";
    return "The swath analysis needs at least three cards.";
}

std::string denseCardWarning(const CardRecord &card, double threshold)
{
    if (!card.Scanned || !(card.StainCoverage > threshold))
        return {};
    return "The card is too dense for reliable drop counts: stains cover " +
           formatFixed(100.0 * card.StainCoverage, 1) + " % of it (more than " + formatFixed(100.0 * threshold, 0) +
           " %).";
}

std::string overlapEstimateText(const CardRecord &card, bool metric)
{
    const OverlapFigures &o = card.Summary.Overlap;
    if (!card.Scanned || !o.Estimated)
        return {};
    // Each interval is the estimate plus or minus its half-width, cut at
    // zero; one line keeps them under the card's figures.
    const double rate = static_cast<double>(rateFactor(metric));
    return "Estimated: " + formatFixed(o.EstimatedDropDensity, 1) + " \u00b1 " +
           formatFixed(o.EstimatedDropDensityCi[1] - o.EstimatedDropDensity, 1) + " drops/cm\u00b2, " +
           formatFixed(o.EstimatedDeposit * rate, 1) + " \u00b1 " +
           formatFixed((o.EstimatedDepositCi[1] - o.EstimatedDeposit) * rate, 1) + " " + rateUnit(metric) + " (95 %)";
}

namespace {

double acceptedPixels(const ScanResult &scan)
{
    return std::accumulate(scan.AcceptedAreas.begin(), scan.AcceptedAreas.end(), 0.0,
                           [](double sum, std::int32_t area) { return sum + area; });
}

} // namespace

RejectedFigures rejectedFigures(const CardRecord &card, const ScanResult &scan, const std::array<double, 3> &spread)
{
    RejectedFigures r;
    for (std::size_t k = 0; k < RejectReasons; ++k) {
        const auto reason = static_cast<RejectReason>(k);
        r.CountBy[k] = scan.Rejected.count(reason);
        r.AreaBy[k] = scan.Rejected.area(reason);
        r.Count += r.CountBy[k];
        r.AreaPixels += r.AreaBy[k];
    }
    double volume = 0.0; // cubic micrometres
    scan.Rejected.forEachArea([&](std::int32_t area, std::int64_t stains) {
        // Single precision, as a card keeps its classes' volumes.
        const auto drop = static_cast<float>(dropVolume(dropDiameter(stainDiameter(area, card.PixelSizeX), spread)));
        volume += static_cast<double>(stains) * static_cast<double>(drop);
    });
    r.AreaCm2 = static_cast<double>(r.AreaPixels) * card.PixelSizeX * card.PixelSizeY * 1e-8;
    const double all = acceptedPixels(scan) + static_cast<double>(r.AreaPixels);
    r.AreaShare = all > 0.0 ? static_cast<double>(r.AreaPixels) / all : 0.0;
    r.DepositNlPerCm2 = card.CardArea > 0.0 ? volume / 1e6 / card.CardArea : 0.0;
    const bool drops = card.Stains.size() > 1;
    r.DepositShare = drops && card.VolumeDensity > 0.0 ? r.DepositNlPerCm2 / card.VolumeDensity : 0.0;
    return r;
}

OverlapFigures overlapFigures(const CardRecord &card, const ScanResult &scan)
{
    OverlapFigures o;
    const double accepted = acceptedPixels(scan);
    // Every stain pixel once: the areas the tests used count a leg folded
    // into a stain twice, and a leg that passed not at all.
    const auto stainPixels = static_cast<double>(scan.StainPixels);
    const double allPixels = static_cast<double>(card.ImageWidth) * static_cast<double>(card.ImageHeight);
    if (allPixels <= 0.0)
        return o;
    o.Coverage = std::min(stainPixels / allPixels, 1.0);
    if (scan.AcceptedAreas.empty())
        return o;
    // The mean area of the stains counted as drops: merged shapes are among
    // the rejected ones and would make the single drop look larger.
    const double pixelCm2 = card.PixelSizeX * card.PixelSizeY * 1e-8;
    const double meanStainCm2 = accepted / static_cast<double>(scan.AcceptedAreas.size()) * pixelCm2;
    if (o.Coverage >= 1.0 || meanStainCm2 <= 0.0)
        return o;
    o.CorrectedDropDensity = -std::log1p(-o.Coverage) / meanStainCm2;
    o.HiddenShare = 1.0 - std::exp(-4.0 * o.CorrectedDropDensity * meanStainCm2);
    return o;
}

void addDropEstimate(OverlapFigures &overlap, const CardRecord &card, const AnalysisSettings &settings)
{
    const double pixelCm2 = card.PixelSizeX * card.PixelSizeY * 1e-8;
    if (!(pixelCm2 > 0.0))
        return;
    const StainUnion stains =
        measureStainUnion(card.ForegroundPixels, card.ImageWidth, card.ImageHeight, settings.Scan, &card.HueCount);
    // Sized as the card's classes are, single precision included.
    std::map<std::int64_t, double> volumes;
    auto volume = [&](std::int64_t area) {
        auto [at, added] = volumes.try_emplace(area, 0.0);
        if (added)
            at->second = static_cast<double>(
                static_cast<float>(dropVolume(dropDiameter(stainDiameter(area, card.PixelSizeX), settings.Spread))));
        return at->second;
    };
    const DropEstimate e = estimateDrops(stains, volume);
    if (!e.Known)
        return;
    // Cubic micrometres per pixel to nanolitres per cm2.
    const double deposit = 1e-6 / pixelCm2;
    overlap.Estimated = true;
    overlap.EstimatedDropDensity = e.Density / pixelCm2;
    overlap.EstimatedDropDensityCi = {e.DensityLow / pixelCm2, e.DensityHigh / pixelCm2};
    overlap.EstimatedDeposit = e.Deposit * deposit;
    overlap.EstimatedDepositCi = {e.DepositLow * deposit, e.DepositHigh * deposit};
}

CardFigures measureCard(CardRecord &card, const ScanResult &scan, const AnalysisSettings &settings,
                        const std::string &logPath)
{
    CardFigures figures;
    card.RejectedCount = scan.RejectedCount;
    computeCardStatistics(card, scan.AcceptedAreas, settings.Spread);
    figures.Figures = checkCardFigures(card);
    if (!figures.Figures.ok()) {
        // Nothing of figures that are no numbers is shown, logged or pooled.
        card.Stains = ClassList(1);
        return figures;
    }
    card.Scanned = true;

    figures.ForegroundPixels = card.ForegroundPixels.size();
    figures.Accepted = static_cast<std::int32_t>(scan.AcceptedAreas.size());
    const SpectrumFigures spectrum = spectrumFigures(card.Stains, card.VMD);
    figures.Dv01 = spectrum.Dv01;
    figures.Dv09 = spectrum.Dv09;
    figures.Nmd = spectrum.Nmd;
    figures.RelativeSpan = spectrum.RelativeSpan;
    const double allPixels = static_cast<double>(card.ImageWidth) * static_cast<double>(card.ImageHeight);
    figures.CoveragePercent = allPixels > 0.0 ? acceptedPixels(scan) / allPixels * 100.0 : 0.0;
    figures.Rejected = rejectedFigures(card, scan, settings.Spread);
    figures.Overlap = overlapFigures(card, scan);
    addDropEstimate(figures.Overlap, card, settings);
    figures.SplitStains = scan.SplitStains;
    figures.SplitParts = scan.SplitParts;
    card.RejectedArea = figures.Rejected.AreaPixels;
    card.StainCoverage = figures.Overlap.Coverage;
    card.RejectedAreaShare = figures.Rejected.AreaShare;
    card.CorrectedDropDensity = figures.Overlap.CorrectedDropDensity;
    card.HiddenShare = figures.Overlap.HiddenShare;
    card.SplitStains = scan.SplitStains;
    card.SplitParts = scan.SplitParts;

    card.Summary = figures;
    if (settings.Log)
        figures.Log = writeScanLog(scanLogInputsFor(card, settings, logPath), settings.Append);
    return figures;
}

CardFigures analyseCard(CardRecord &card, const IndexedImage &image, const AnalysisSettings &settings,
                        const BatchProgress &progress, const std::string &logPath)
{
    CardFigures figures;
    applyResolution(card,
                    resolutionForNewCard(settings.Resolution, card.RecordedResolution, settings.ResolutionFromFile));

    // "Yes to All" unless told otherwise: every question answered once and
    // for all, as a user running through a stack of cards would.
    ColourQuestions questions;
    questions.AskBackground = [&](std::uint8_t proposed, bool &disable) {
        disable = true;
        return settings.TableBackground ? std::uint8_t{0} : proposed;
    };
    questions.AskDither = [&](std::uint8_t background, std::uint8_t candidate, bool &disable) {
        disable = true;
        return settings.NoDither ? background : candidate;
    };
    bool noBackgroundWarning = false;
    bool noDitherWarning = false;
    if (runColourPass(card, image, noBackgroundWarning, noDitherWarning, questions, progress.Pass) !=
        PassOutcome::Complete) {
        figures.Cancelled = true;
        return figures;
    }
    // The pass read the rows in place: a file cut short or rewritten under
    // it gave no card, as a read that came up short never did.
    if (Status read = image.sourceIntact(); !read.ok()) {
        figures.Figures = std::move(read);
        return figures;
    }
    figures.ForegroundPixels = card.ForegroundPixels.size();

    ScanResult scan = traceStains(card.ForegroundPixels, settings.Scan, progress.Scan);
    if (scan.Cancelled) {
        figures.Cancelled = true;
        return figures;
    }
    figures = measureCard(card, scan, settings, logPath);
    figures.ForegroundPixels = card.ForegroundPixels.size();
    figures.Stains = std::move(scan.Stains);
    return figures;
}

} // namespace vex
