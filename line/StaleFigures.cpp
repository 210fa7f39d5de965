#include "line/StaleFigures.h"

#include "text/NumberText.h"

#include <algorithm>

namespace vex {

namespace {

std::string dpiText(std::int32_t dpi)
{
    return std::to_string(dpi) + " dpi";
}

std::string hueRangeText(const FiguresBasis &b)
{
    return std::string(b.HueInvert ? "hues outside " : "hues ") + std::to_string(b.HueLow) + " to " +
           std::to_string(b.HueHigh);
}

std::string spreadText(const std::array<double, 3> &s)
{
    return "spread factor " + significantText(s[0], 6) + ", " + significantText(s[1], 6) + ", " +
           significantText(s[2], 6);
}

} // namespace

FiguresBasis figuresBasis(const CardRecord &card, const AnalysisSettings &current)
{
    FiguresBasis b;
    b.Resolution = card.Resolution;
    b.HueLow = current.Scan.HueLow;
    b.HueHigh = current.Scan.HueHigh;
    b.HueInvert = current.Scan.HueInvert;
    b.ShapeThreshold = current.Scan.ShapeThreshold;
    b.HueThreshold = current.Scan.HueThreshold;
    b.SplitTouching = current.Scan.SplitTouching;
    b.Spread = current.Spread;
    return b;
}

void noteFiguresBasis(CardRecord &card, const AnalysisSettings &settings)
{
    card.Basis = figuresBasis(card, settings);
}

void noteOpenedFigures(CardList &cards, const AnalysisSettings &settings)
{
    for (CardRecord &card : cards.records())
        if (card.Scanned && card.Basis.Resolution == 0)
            noteFiguresBasis(card, settings);
}

std::vector<std::string> staleSettings(const CardRecord &card, const AnalysisSettings &current)
{
    std::vector<std::string> changed;
    const FiguresBasis &was = card.Basis;
    if (!card.Scanned || was.Resolution == 0)
        return changed;
    const FiguresBasis now = figuresBasis(card, current);
    if (was.Resolution != now.Resolution)
        changed.push_back(dpiText(was.Resolution));
    if (was.HueLow != now.HueLow || was.HueHigh != now.HueHigh || was.HueInvert != now.HueInvert)
        changed.push_back(hueRangeText(was));
    if (was.ShapeThreshold != now.ShapeThreshold)
        changed.push_back("roundness " + std::to_string(was.ShapeThreshold));
    if (was.HueThreshold != now.HueThreshold)
        changed.push_back("valid hues " + std::to_string(was.HueThreshold) + " %");
    if (was.SplitTouching != now.SplitTouching)
        changed.push_back(was.SplitTouching ? "touching stains cut apart" : "touching stains not cut apart");
    if (was.Spread != now.Spread)
        changed.push_back(spreadText(was.Spread));
    return changed;
}

std::string staleFiguresText(const CardRecord &card, const AnalysisSettings &current)
{
    const std::vector<std::string> changed = staleSettings(card, current);
    if (changed.empty())
        return {};
    std::string text = "figures from ";
    for (std::size_t i = 0; i < changed.size(); ++i)
        text += (i == 0 ? "" : ", ") + changed[i];
    return text + ": scan again";
}

std::string staleLineText(const CardList &cards, const AnalysisSettings &current)
{
    const auto stale = std::count_if(cards.records().begin(), cards.records().end(), [&](const CardRecord &card) {
        return !card.Excluded && !staleSettings(card, current).empty();
    });
    if (stale == 0)
        return {};
    return "figures of " + std::to_string(stale) + (stale == 1 ? " card" : " cards") +
           " from other settings: scan again";
}

std::int32_t analysedResolution(const CardRecord &card)
{
    return card.Scanned && card.Basis.Resolution > 0 ? card.Basis.Resolution : card.Resolution;
}

std::string resolutionMismatchText(const CardRecord &card)
{
    const std::int32_t used = analysedResolution(card);
    if (card.RecordedResolution <= 0 || used == card.RecordedResolution)
        return {};
    return "file records " + dpiText(card.RecordedResolution) + (card.Scanned ? ", analysed at " : ", set to ") +
           dpiText(used);
}

CardTabNote cardTabNote(const CardRecord &card, const AnalysisSettings &current)
{
    CardTabNote note;
    for (const std::string &line : {resolutionMismatchText(card), staleFiguresText(card, current)}) {
        if (line.empty())
            continue;
        note.Tooltip += (note.Marked ? "\n" : "") + line;
        note.Marked = true;
    }
    return note;
}

} // namespace vex
