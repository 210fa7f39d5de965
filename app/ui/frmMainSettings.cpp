// The window's settings as the analysis and the trial take them, and an
// opened trial's settings taken back into the window.  Kept apart so that
// the settings' plumbing has one place in the window.

#include "app/ui/frmMain.h"

#include "app/TrialState.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace vex::ui {

AnalysisSettings frmMain::analysisSettings() const
{
    AnalysisSettings s;
    s.Scan.HueLow = static_cast<std::uint8_t>(std::clamp(masking_->hueLow(), 0, 255));
    s.Scan.HueHigh = static_cast<std::uint8_t>(std::clamp(masking_->hueHigh(), 0, 255));
    s.Scan.HueInvert = masking_->inverted();
    s.Scan.ShapeThreshold = prefs_.ShapeThreshold;
    s.Scan.HueThreshold = prefs_.HueThreshold;
    s.DenseCoverage = prefs_.DenseCoveragePercent / 100.0;
    s.Extended = prefs_.ExtendedFigures;
    s.Scan.SplitTouching = prefs_.SplitTouching;
    s.Spread = module_.SpreadFactor;
    s.Log = prefs_.LogAnalysis;
    s.Append = prefs_.Append;
    s.Metric = module_.Metric;
    s.LogSprayInfo = prefs_.LogSprayInfo;
    s.Spray = prefs_.Spray;
    s.WidthStep = prefs_.SwathWidthStep;
    s.CentrePattern = prefs_.CentrePattern;
    s.HasRange = true;
    s.RangeLow = view_.RangeLow;
    s.RangeHigh = view_.RangeHigh;
    return s;
}

Trial frmMain::trial()
{
    Trial t;
    t.Settings = trialSettings(analysisSettings());
    t.Settings.Resolution = prefs_.DefaultRes;
    t.Settings.ResolutionFromFile = prefs_.ResolutionFromFile;
    t.Settings.Intake.ReduceColours = prefs_.ReduceColours;
    t.NaturalOrder = prefs_.NaturalOrder;
    t.CurrentPass = currentPass();
    for (int p = 1; p <= passCount(); ++p) {
        LinePass &held = trial_->passes()[static_cast<std::size_t>(p) - 1];
        const bool shown = p == currentPass() && !meanShown();
        LinePass pass;
        pass.Name = held.Name;
        pass.InMean = held.InMean;
        pass.OrderEdited = held.OrderEdited;
        pass.Spray = shown ? prefs_.Spray : held.Spray;
        for (CardRecord &card : (shown ? cards_ : held.Cards).records())
            pass.Cards.add(storedCard(card));
        t.Passes.push_back(std::move(pass));
    }
    return t;
}

std::string frmMain::trialStateKey() const
{
    AnalysisSettings s = analysisSettings();
    s.Resolution = prefs_.DefaultRes;
    s.ResolutionFromFile = prefs_.ResolutionFromFile;
    s.Intake.ReduceColours = prefs_.ReduceColours;
    std::vector<PassView> views;
    for (int p = 1; p <= passCount(); ++p) {
        const LinePass &held = trial_->passes()[static_cast<std::size_t>(p) - 1];
        const bool shown = p == currentPass() && !meanShown();
        views.push_back({&held, shown ? &cards_ : &held.Cards, shown ? &prefs_.Spray : &held.Spray});
    }
    return vex::trialStateKey(s, prefs_.NaturalOrder, views);
}

void frmMain::applyTrialSettings(const AnalysisSettings &s, bool naturalOrder)
{
    prefs_.DefaultRes = s.Resolution;
    prefs_.ResolutionFromFile = s.ResolutionFromFile;
    prefs_.ReduceColours = s.Intake.ReduceColours;
    prefs_.ShapeThreshold = s.Scan.ShapeThreshold;
    prefs_.HueThreshold = s.Scan.HueThreshold;
    prefs_.SplitTouching = s.Scan.SplitTouching;
    prefs_.ExtendedFigures = s.Extended;
    prefs_.DenseCoveragePercent = static_cast<std::int32_t>(std::lround(s.DenseCoverage * 100.0));
    prefs_.NaturalOrder = naturalOrder;
    prefs_.SwathWidthStep = s.WidthStep;
    prefs_.CentrePattern = s.CentrePattern;
    module_.SpreadFactor = s.Spread;
    module_.Metric = s.Metric;
    masking_->setHueRange(s.Scan.HueLow, s.Scan.HueHigh, s.Scan.HueInvert);
    if (s.HasRange) {
        view_.RangeLow = s.RangeLow;
        view_.RangeHigh = s.RangeHigh;
    }
}

} // namespace vex::ui
