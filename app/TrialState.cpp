#include "app/TrialState.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vex {

CardRecord storedCard(CardRecord &card)
{
    ForegroundPixelList pixels = std::move(card.ForegroundPixels);
    CardRecord copy = card;
    card.ForegroundPixels = std::move(pixels);
    copy.ColoursKnown = false;
    return copy;
}

AnalysisSettings trialSettings(const AnalysisSettings &settings)
{
    AnalysisSettings s;
    s.Resolution = settings.Resolution;
    s.ResolutionFromFile = settings.ResolutionFromFile;
    s.Intake = settings.Intake;
    s.Scan.HueLow = settings.Scan.HueLow;
    s.Scan.HueHigh = settings.Scan.HueHigh;
    s.Scan.HueInvert = settings.Scan.HueInvert;
    s.Scan.ShapeThreshold = settings.Scan.ShapeThreshold;
    s.Scan.HueThreshold = settings.Scan.HueThreshold;
    s.Scan.SplitTouching = settings.Scan.SplitTouching;
    s.Spread = settings.Spread;
    s.NoDither = settings.NoDither;
    s.TableBackground = settings.TableBackground;
    s.Metric = settings.Metric;
    s.DenseCoverage = settings.DenseCoverage;
    s.Extended = settings.Extended;
    s.HasRange = settings.HasRange;
    s.RangeLow = settings.RangeLow;
    s.RangeHigh = settings.RangeHigh;
    s.WidthStep = settings.WidthStep;
    s.CentrePattern = settings.CentrePattern;
    return s;
}

namespace {

// Exact, whatever the locale: hexadecimal floating point.
void add(std::string &key, double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%a;", v);
    key += text;
}

void add(std::string &key, const std::string &text)
{
    key += std::to_string(text.size());
    key += ':';
    key += text;
}

} // namespace

std::string trialStateKey(const AnalysisSettings &settings, bool naturalOrder, const std::vector<PassView> &passes)
{
    const AnalysisSettings s = trialSettings(settings);
    std::string key;
    for (const double v : {double(s.Resolution),
                           double(s.ResolutionFromFile),
                           double(s.Intake.ReduceColours),
                           double(s.Scan.HueLow),
                           double(s.Scan.HueHigh),
                           double(s.Scan.HueInvert),
                           double(s.Scan.ShapeThreshold),
                           double(s.Scan.HueThreshold),
                           double(s.Scan.SplitTouching),
                           s.Spread[0],
                           s.Spread[1],
                           s.Spread[2],
                           double(s.NoDither),
                           double(s.TableBackground),
                           double(s.Metric),
                           s.DenseCoverage,
                           double(s.Extended),
                           double(s.HasRange),
                           double(s.RangeLow),
                           double(s.RangeHigh),
                           s.WidthStep,
                           double(s.CentrePattern),
                           double(naturalOrder)})
        add(key, v);
    for (const PassView &p : passes) {
        key += "|pass|";
        add(key, p.Pass->Name);
        add(key, double(p.Pass->InMean));
        add(key, double(p.Pass->OrderEdited));
        for (const std::string &v : p.Spray->Values)
            add(key, v);
        for (const CardRecord &c : p.Cards->records()) {
            key += "|card|";
            add(key, c.FilePath);
            add(key, c.ContentHash);
            for (const double v :
                 {double(c.Resolution), double(c.BackgroundIndex), double(c.DitherIndex), double(c.Scanned),
                  double(c.PositionEdited), double(c.EditedPosition), double(c.Excluded), c.VMD, c.DropDensity,
                  c.VolumeDensity, c.TotalVolume, double(c.Stains.size()), double(c.RejectedCount), c.StainCoverage})
                add(key, v);
        }
    }
    return key;
}

std::string trialStateKey(const Trial &trial)
{
    std::vector<PassView> views;
    for (const LinePass &p : trial.Passes)
        views.push_back({&p, &p.Cards, &p.Spray});
    return trialStateKey(trial.Settings, trial.NaturalOrder, views);
}

bool cardOutsideTrialFolder(const std::string &cardPath, const std::string &trialPath)
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path folder = fs::weakly_canonical(fs::absolute(trialPath, ignored), ignored).parent_path();
    const fs::path card = fs::weakly_canonical(fs::absolute(cardPath, ignored), ignored);
    const fs::path relative = card.lexically_relative(folder);
    return relative.empty() || *relative.begin() == ".." || relative == ".";
}

} // namespace vex
