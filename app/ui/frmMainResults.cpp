// The result graph, the hue range and the colour mask, and the preferences
// as the main window runs them.  The panels show; every rule (scales, label
// texts, slider pushes, masked colours) is in the core.

#include "app/ui/frmMain.h"

#include "analysis/DropStatistics.h"
#include "analysis/ResultGraph.h"
#include "analysis/ui/ResultGraphView.h"
#include "app/ui/CardView.h"
#include "app/ui/FiguresPanel.h"
#include "app/ui/LineView.h"
#include "app/ui/frmPrefs.h"
#include "line/LineBootstrap.h"
#include "line/SwathDisplay.h"
#include "line/ui/SprayInfoForm.h"

#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <thread>

namespace vex::ui {

// ---- Result graph ----------------------------------------------------------

void frmMain::drawResult()
{
    if (cards_.empty()) {
        figures_->clearGraph();
        return;
    }
    GraphInputs in;
    in.Card = currentCard_ >= 1 && currentCard_ <= cardCount() ? &cards_[currentCard_] : nullptr;
    in.Composite = compositeMode();
    in.CompositeAll = &line_.All;
    in.Mode = view_.GraphMode;
    in.RangeLow = view_.RangeLow;
    in.RangeHigh = view_.RangeHigh;
    in.CurrentVmd = view_.CurrentVMD;
    in.MaxScannedDiameter = view_.MaxScannedDiameter;
    figures_->drawGraph(in, prefs_.HistogramColor);
}

void frmMain::updateHistogramLabels()
{
    figures_->showAxisValues(view_.GraphMode);
}

void frmMain::GraphOption_Click(int index)
{
    view_.GraphMode = std::clamp(index, 1, 3);
    figures_->showMode(view_.GraphMode, compositeMode());
    drawResult();
    updateHistogramLabels();
    // In the swath view the third option shows the drop density profile,
    // the others the deposit.
    if (compositeMode() && lineView_->swathPageShown()) {
        view_.CurrentProfile = view_.GraphMode == DensityMode ? DropDensityProfile : DepositProfile;
        drawSwathGraphs();
    }
}

void frmMain::ResultPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double)
{
    if (modifiers != Qt::NoModifier)
        return;
    const auto value = static_cast<float>(x);
    if (button == Qt::LeftButton)
        setRangeLow(view_.RangeLow, view_.RangeHigh, value);
    else if (button == Qt::RightButton)
        setRangeHigh(view_.RangeLow, view_.RangeHigh, value);
    else
        return;
    figures_->showSizeRange(x, false);
    drawResult();
}

void frmMain::ResultPic_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, double x, double y)
{
    x = clampToScanned(x, view_.MaxScannedDiameter);
    if (modifiers == Qt::NoModifier && (buttons & (Qt::LeftButton | Qt::RightButton))) {
        const auto value = static_cast<float>(x);
        if (buttons & Qt::LeftButton)
            setRangeLow(view_.RangeLow, view_.RangeHigh, value);
        else
            setRangeHigh(view_.RangeLow, view_.RangeHigh, value);
        figures_->showSizeRange(x, true);
        drawResult();
    }
    figures_->graph()->setToolTip(prefs_.MouseCoords ? QString::fromStdString(graphToolTip(x, y, view_.GraphMode))
                                                     : QString());
}

void frmMain::ResultPic_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double)
{
    figures_->hideSizeRange();
    if (cards_.empty())
        return;
    updateShownRange();
    drawResult();
    updateStatsLabels();
    // The line's graphs and swath analysis follow the range too.
    if (compositeMode())
        lineView_->refresh();
}

void frmMain::setSizeRange(float low, float high)
{
    view_.RangeLow = low;
    view_.RangeHigh = high;
    if (cards_.empty())
        return;
    updateShownRange();
    drawResult();
    updateStatsLabels();
}

void frmMain::updateShownRange()
{
    const bool selected =
        rangeSelected(compositeMode(), line_.All, cards_[currentCard_], view_.RangeLow, view_.RangeHigh);
    if (selected && compositeMode())
        refreshLine();
    else if (selected)
        view_.SingleRange = calcSingleRange(cards_[currentCard_], view_.RangeLow, view_.RangeHigh);
    view_.CurrentVMD =
        vex::currentVmd(compositeMode(), selected, line_.All, line_.Range, view_.SingleRange, cards_[currentCard_]);
}

// ---- Hue range and mask: the masking panel's -------------------------------------

void frmMain::applyMask()
{
    if (cards_.empty() || cardView_->image().isNull())
        return;
    const CardRecord &card = cards_[shownCard_ >= 1 && shownCard_ <= cardCount() ? shownCard_ : currentCard_];
    if (card.ColoursKnown)
        cardView_->setColourTable(masking_->maskTable(card));
}

// ---- Preferences ---------------------------------------------------------------

void frmMain::btnPrefs_Click()
{
    if (busy_)
        return;
    metricBeforePrefs_ = module_.Metric;
    const bool estimateBefore = prefs_.AlwaysShowOverlapEstimate;
    const auto spreadBefore = module_.SpreadFactor;
    const std::string position1 = prefs_.Spray[Sample_Position1];
    const std::string interval = prefs_.Spray[Sample_Interval];
    frmPrefs window(prefs_, module_, this);
    window.ViewSprayInfo = [this, &window] {
        // The spray window shows the preferences' own, not yet accepted,
        // spread factor and units, and hands its spread factor back.
        SprayInfoForm::FromPreferences prefs;
        for (std::size_t i = 0; i < 3; ++i)
            prefs.SpreadTexts[i] = window.SpreadText[i]->text().toStdString();
        prefs.Metric = window.UnitsOption[0]->isChecked();
        SprayInfoForm form(prefs_.Spray, store_, prefs, &window);
        form.exec();
        if (form.Accept) {
            const std::array<std::string, 3> texts = form.acceptedSpreadTexts();
            for (std::size_t i = 0; i < 3; ++i)
                window.SpreadText[i]->setText(QString::fromStdString(texts[i]));
        }
    };
    window.exec();
    prefs_ = window.Values;
    module_ = window.Module;
    markStaleCards();
    if (compositeMode() && (prefs_.Spray[Sample_Position1] != position1 || prefs_.Spray[Sample_Interval] != interval))
        lineView_->refresh();
    if (module_.Metric != metricBeforePrefs_ && !cards_.empty()) {
        updateStatsLabels();
        if (compositeMode())
            lineView_->showTab(lineView_->tab());
    }
    // The estimate's line and the smallest drop follow at once.
    if ((prefs_.AlwaysShowOverlapEstimate != estimateBefore || module_.SpreadFactor != spreadBefore) && !cards_.empty())
        updateStatsLabels();
}

} // namespace vex::ui
