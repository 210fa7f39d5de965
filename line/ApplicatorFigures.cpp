#include "line/ApplicatorFigures.h"

#include "analysis/DropStatistics.h"
#include "line/DensityTarget.h"
#include "model/Units.h"
#include "text/NumberText.h"

#include <cmath>

namespace vex {

namespace {

bool hasTarget(const AnalysisSettings &s)
{
    return s.DensityTargetHigh > 0.0;
}

std::string targetText(const AnalysisSettings &s)
{
    return formatOptional(s.DensityTargetLow, 0, 2) + "-" + formatOptional(s.DensityTargetHigh, 0, 2);
}

double countedDensity(const CardRecord &card)
{
    return card.Stains.size() > 1 ? card.DropDensity : 0.0;
}

std::string qualityOf(const CompositeResult &c, const QualityTable &table)
{
    return sprayQualityText(classifySpray(table, spectrumFigures(c.Classes, c.VMD).Dv01, c.VMD));
}

} // namespace

SprayQuality cardSprayQuality(const CardRecord &card, const QualityTable &table)
{
    if (card.Stains.size() <= 1)
        return {};
    return classifySpray(table, spectrumFigures(card.Stains, card.VMD).Dv01, card.VMD);
}

DensityVerdict cardDensityVerdict(const CardRecord &card, const AnalysisSettings &settings)
{
    return densityVerdict(settings.DensityTargetLow, settings.DensityTargetHigh, countedDensity(card));
}

std::string sprayQualityText(const SprayQuality &q)
{
    if (!q.Known)
        return {};
    return q.Class + " (by Dv0.1: " + q.ByDv01 + ", by VMD: " + q.ByVmd + ")";
}

std::string cardApplicatorNote(const CardRecord &card, const AnalysisSettings &settings)
{
    const SprayQuality q = cardSprayQuality(card, settings.Quality);
    std::string note = q.Known ? q.Class : std::string();
    if (hasTarget(settings)) {
        const DensityVerdict v = cardDensityVerdict(card, settings);
        note +=
            (note.empty() ? "" : "; ") + std::string("density ") + densityVerdictText(v) + " " + targetText(settings);
    }
    return note;
}

LabelledLines lineApplicatorLines(const CardList &cards, const LineResults &line, const AnalysisSettings &settings)
{
    LabelledLines lines;
    if (const std::string all = qualityOf(line.All, settings.Quality); !all.empty())
        lines.emplace_back("Spray Quality:", all);
    if (line.RangeSelected)
        if (const std::string range = qualityOf(line.Range, settings.Quality); !range.empty())
            lines.emplace_back("Spray Quality (range):", range);
    if (!lines.empty())
        lines.emplace_back("", QualitySourceNote);
    if (hasTarget(settings)) {
        std::vector<double> densities;
        for (int i = 1; i <= cards.count(); ++i)
            if (cards[i].Scanned && !cards[i].Excluded)
                densities.push_back(countedDensity(cards[i]));
        const double share = shareWithin(settings.DensityTargetLow, settings.DensityTargetHigh, densities);
        const std::size_t within = countWithin(settings.DensityTargetLow, settings.DensityTargetHigh, densities);
        lines.emplace_back("Density Target:", targetText(settings) + " drops/cm²: " + std::to_string(within) + " of " +
                                                  std::to_string(densities.size()) + " cards within (" +
                                                  formatFixed(100.0 * share, 0) + " %)");
    }
    return lines;
}

namespace {

std::string qualityWords(const SprayQuality &q)
{
    return q.Known
               ? "Spray quality: " + q.Class + ", from the cards\n(by Dv0.1: " + q.ByDv01 + ", by VMD: " + q.ByVmd + ")"
               : std::string();
}

} // namespace

ApplicatorShown cardApplicatorShown(const CardRecord &card, const AnalysisSettings &settings)
{
    ApplicatorShown shown;
    shown.Quality = cardSprayQuality(card, settings.Quality);
    shown.Text = qualityWords(shown.Quality);
    if (hasTarget(settings)) {
        const DensityVerdict v = cardDensityVerdict(card, settings);
        shown.Text += (shown.Text.empty() ? "" : "\n") + std::string("Drop density ") + densityVerdictText(v) +
                      " the target of " + targetText(settings) + " drops/cm²";
    }
    return shown;
}

ApplicatorShown lineApplicatorShown(const CardList &cards, const LineResults &line, const AnalysisSettings &settings)
{
    ApplicatorShown shown;
    const CompositeResult &c = line.RangeSelected ? line.Range : line.All;
    shown.Quality = classifySpray(settings.Quality, spectrumFigures(c.Classes, c.VMD).Dv01, c.VMD);
    shown.Text = qualityWords(shown.Quality);
    for (const auto &[label, value] : lineApplicatorLines(cards, line, settings))
        if (label == "Density Target:")
            shown.Text += (shown.Text.empty() ? "" : "\n") + std::string("Density target ") + value;
    return shown;
}

EffectiveSwath lineEffectiveSwath(const LineResults &line, const AnalysisSettings &settings, bool deposit)
{
    const SwathProfile &p = deposit ? line.Deposit : line.DropDensity;
    const std::vector<FineWidth> &fine = deposit ? line.FineDeposit : line.FineDropDensity;
    const double factor = deposit ? static_cast<double>(rateFactor(settings.Metric)) : 1.0;
    return effectiveSwath(p, fine, settings.CovTarget, line.Interval, factor, settings.Spray, deposit);
}

std::string effectiveSwathShort(const LineResults &line, const AnalysisSettings &settings, bool deposit)
{
    if (!line.HasSwath)
        return {};
    const EffectiveSwath e = lineEffectiveSwath(line, settings, deposit);
    const std::string length = lengthUnit(settings.Metric);
    auto width = [&length](const EffectiveWidth &w) {
        return w.Known ? formatOptional(w.WidthLength, 0, 2) + " " + length : std::string("none");
    };
    std::string text = "Effective swath (COV <= " + formatFixed(e.Target, 2) + "):\n" + width(e.OneWay) + " one way, " +
                       width(e.BackAndForth) + " back and forth";
    if (e.OneWay.RecoveredShare)
        text += "\n" + formatFixed(100.0 * *e.OneWay.RecoveredShare, 0) + " % of the spray rate recovered";
    return text;
}

LabelledLines effectiveSwathLines(const LineResults &line, const AnalysisSettings &settings)
{
    LabelledLines lines;
    if (!line.HasSwath)
        return lines;
    const std::string length = lengthUnit(settings.Metric);
    auto describe = [&](const EffectiveWidth &e, const std::string &unit) {
        if (!e.Known)
            return std::string("no width within the target");
        std::string text = formatOptional(e.WidthLength, 0, 2) + " " + length + " (COV " + formatFixed(e.Cov, 2) +
                           ", mean " + formatFixed(e.Mean, 2) + " " + unit;
        if (e.RecoveredShare)
            text += ", " + formatFixed(100.0 * *e.RecoveredShare, 0) + " % of the spray rate";
        return text + ")";
    };
    const std::string target = formatFixed(settings.CovTarget, 2);
    for (const bool deposit : {true, false}) {
        const EffectiveSwath e = lineEffectiveSwath(line, settings, deposit);
        const std::string unit = deposit ? rateUnit(settings.Metric) : "drops/cm²";
        const std::string what = deposit ? "Deposit" : "Drop Density";
        lines.emplace_back("Effective " + what + " Swath (COV <= " + target + "):",
                           "one way " + describe(e.OneWay, unit) + "; back and forth " +
                               describe(e.BackAndForth, unit));
    }
    return lines;
}

} // namespace vex
