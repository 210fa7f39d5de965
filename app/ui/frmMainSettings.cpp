// The window's settings as the analysis and the trial take them, and an
// opened trial's settings taken back into the window.  Kept apart so that
// the settings' plumbing has one place in the window.

#include "app/ui/frmMain.h"

#include "app/TrialState.h"
#include "line/SettingsTable.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace vex::ui {

AnalysisSettings frmMain::analysisSettings() const
{
    // The preferences whole, then what the window holds apart from them.
    AnalysisSettings s = prefs_.Analysis;
    s.Scan.HueLow = static_cast<std::uint8_t>(std::clamp(masking_->hueLow(), 0, 255));
    s.Scan.HueHigh = static_cast<std::uint8_t>(std::clamp(masking_->hueHigh(), 0, 255));
    s.Scan.HueInvert = masking_->inverted();
    s.Spread = module_.SpreadFactor;
    s.Metric = module_.Metric;
    s.Spray = prefs_.Spray;
    s.HasRange = true;
    s.RangeLow = view_.RangeLow;
    s.RangeHigh = view_.RangeHigh;
    return s;
}

Trial frmMain::trial()
{
    Trial t;
    t.Settings = trialSettings(analysisSettings());
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
    std::vector<PassView> views;
    for (int p = 1; p <= passCount(); ++p) {
        const LinePass &held = trial_->passes()[static_cast<std::size_t>(p) - 1];
        const bool shown = p == currentPass() && !meanShown();
        views.push_back({&held, shown ? &cards_ : &held.Cards, shown ? &prefs_.Spray : &held.Spray});
    }
    return vex::trialStateKey(analysisSettings(), views);
}

void frmMain::applyTrialSettings(const AnalysisSettings &s)
{
    // What the trial keeps goes over the preferences; the logs stay the session's.
    copyTrialSettings(s, prefs_.Analysis);
    module_.SpreadFactor = s.Spread;
    module_.Metric = s.Metric;
    masking_->setHueRange(s.Scan.HueLow, s.Scan.HueHigh, s.Scan.HueInvert);
    if (s.HasRange) {
        view_.RangeLow = s.RangeLow;
        view_.RangeHigh = s.RangeHigh;
    }
}

} // namespace vex::ui
