// The stain scan as the main window runs it: settings from the controls,
// progress, cancel, the messages and the log.  The tracing and the
// statistics themselves are in the core.

#include "app/ui/frmMain.h"

#include "analysis/DropStatistics.h"
#include "analysis/ResultGraph.h"
#include "analysis/ScanLog.h"
#include "analysis/StainScan.h"
#include "text/NumberText.h"
#include "app/ui/CardPicture.h"
#include "ui/Messages.h"
#include "line/CardPositions.h"
#include "line/Composite.h"
#include "line/Swath.h"
#include "line/SwathDisplay.h"
#include "line/ui/SprayInfoForm.h"
#include "line/ui/frmCardPos.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <limits>

namespace vex::ui {

namespace {

// Letting events run after every one of 13 000 rows would cost more than
// the scan itself; a few dozen times a second keeps Cancel just as prompt.
constexpr qint64 EventIntervalMs = 30;

inline constexpr const char *NoStainsMessage = "Vexolin did not find any\rvalid spots on this card.";

} // namespace

void frmMain::ScanImage(int index)
{
    if (index < 1 || index > CardCount())
        return;
    CardRecord &card = Cards[index];

    ScanSettings settings;
    settings.HueLow = static_cast<std::uint8_t>(std::clamp(Slider1->value(), 0, 255));
    settings.HueHigh = static_cast<std::uint8_t>(std::clamp(Slider2->value(), 0, 255));
    settings.HueInvert = HueInvertCheck->isChecked();
    settings.ShapeThreshold = state.ShapeThreshold;
    settings.HueThreshold = state.HueThreshold;

    btnCancel->setEnabled(true);
    const std::uint64_t entries = card.ForegroundPixels.size() + 1;
    // A bar counts in int; very large lists are shown in proportion.
    const std::uint64_t divisor = entries / static_cast<std::uint64_t>(std::numeric_limits<int>::max()) + 1;
    ProgressBar1->setRange(0, static_cast<int>(entries / divisor));
    ProgressBar1->setValue(0);
    ProgressBar1->show();

    QElapsedTimer sinceEvents;
    sinceEvents.start();
    ScanCallbacks callbacks;
    callbacks.CancelRequested = [this] { return state.CancelRequested; };
    callbacks.Progress = [this, divisor](std::uint64_t at) { ProgressBar1->setValue(static_cast<int>(at / divisor)); };
    callbacks.RowDone = [&sinceEvents] {
        if (sinceEvents.elapsed() >= EventIntervalMs) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
    };
    // Events run above, so the card list may not change under the scan: the
    // commands that change it all wait while the progress bar is visible.
    ScanResult result = traceStains(card.ForegroundPixels, settings, callbacks);

    auto finish = [this] {
        btnCancel->setEnabled(false);
        ProgressBar1->hide();
    };
    if (result.Cancelled) {
        finish();
        return;
    }

    card.RejectedCount = result.RejectedCount;
    if (result.AcceptedAreas.empty()) {
        ProgressBar1->hide();
        card.Stains = ClassList(1);
        showMessage(this, programText(NoStainsMessage));
    } else {
        computeCardStatistics(card, result.AcceptedAreas, module_.SpreadFactor);
        if (const std::string problem = cardFiguresProblem(card); !problem.empty()) {
            // Nothing of figures that are no numbers is shown, logged or pooled.
            card.Stains = ClassList(1);
            finish();
            showMessage(this, programText("Vexolin cannot report the figures of " + card.FileTitle + ":\r" + problem + "."),
                        QMessageBox::Ok, QMessageBox::Warning);
            return;
        }
    }

    if (state.LogAnalysis) {
        ScanLogInputs log;
        log.Card = &card;
        log.HueLow = settings.HueLow;
        log.HueHigh = settings.HueHigh;
        log.HueInvert = settings.HueInvert;
        log.Metric = module_.Metric;
        log.SpreadFactor = module_.SpreadFactor;
        log.LogSprayInfo = state.LogSprayInfo;
        log.Spray = &state.Spray;
        log.Path = scanLogPathOf(index);
        const std::string error = writeScanLog(log, state.Append);
        // The results in memory are complete whatever became of the log.
        if (!error.empty())
            showMessage(this, QString::fromStdString(error), QMessageBox::Ok, QMessageBox::Warning);
    }

    card.Scanned = true;
    int scannedCards = 0;
    for (int i = 1; i <= CardCount(); ++i)
        scannedCards += Cards[i].Scanned ? 1 : 0;
    CompositeCheck->setVisible(scannedCards >= 2);
    state.MaxScannedDiameter = maxScannedDiameter(Cards);
    finish();
}

std::string frmMain::scanLogPathOf(int index)
{
    std::vector<std::string> files;
    for (int i = 1; i <= CardCount(); ++i)
        files.push_back(Cards[i].FilePath);
    const std::string path = scanLogPaths(files)[static_cast<std::size_t>(index - 1)];
    const std::string usual = scanLogPath(Cards[index].FilePath);
    if (path != usual && toldLogNames_.insert(path).second)
        showMessage(this, programText(sharedLogMessage(usual, path)), QMessageBox::Ok, QMessageBox::Information);
    return path;
}

bool frmMain::confirmSprayInfo()
{
    SprayInfoForm form(state.Spray, store_, module_.SpreadFactor, module_.Metric, this);
    form.exec();
    if (!form.Accept)
        return false;
    module_.SpreadFactor = form.SpreadFactor;
    AssignCardPositions(Cards, state.Spray);
    return true;
}

void frmMain::CalcCompositeAll()
{
    const vex::CompositeAll pooled = calcCompositeAll(Cards);
    state.CompositeAll = pooled.Result;
    state.MaxCardVMD = pooled.MaxCardVMD;
}

void frmMain::CalcCompositeRange()
{
    state.CompositeRange = calcCompositeRange(state.CompositeAll, state.RangeLow, state.RangeHigh);
}

void frmMain::CheckDuplicatePositions()
{
    if (!firstDuplicatePosition(Cards))
        return;
    showMessage(this, tr(DuplicatePositionsMessage));
    // Checked once: whatever the user settles on stands.
    frmCardPos window(Cards, state.Spray, store_, module_.Metric, false, this);
    window.exec();
}

void frmMain::FillCardStats()
{
    const bool selected = !Cards.empty() && rangeSelected(true, state.CompositeAll, Cards[CurrentCard], state.RangeLow,
                                                          state.RangeHigh);
    state.CardStats = fillCardStats(Cards, selected, state.RangeLow, state.RangeHigh);
}

void frmMain::SwathAnalysis()
{
    if (state.CardStats.size() != static_cast<std::size_t>(CardCount()) + 1)
        FillCardStats();
    swathAnalysis(state.CardStats, positionValue(state.Spray[Sample_Position1]),
                  positionValue(state.Spray[Sample_Interval]), state.Swath[0], state.Swath[1]);
}

void frmMain::optSwathWidth_Click(int index)
{
    if (index < 1 || index >= CardCount())
        return;
    state.Swath[state.CurrentProfile == DropDensityProfile ? 1 : 0].SelectedWidth = index;
    DrawSwathGraphs();
}

void frmMain::showScanResults()
{
    if (Cards.empty())
        return;
    updateShownRange();
    ResultFrame->show();
    DrawResult(CurrentCard);
    UpdateHistogramLabels();
    UpdateStatsLabels();
}

void frmMain::UpdateStatsLabels()
{
    InfoLabel[0]->setText(tr("VMD:"));
    InfoLabel[1]->setText(tr("Drop Density:"));
    InfoLabel[2]->setText(tr("Volume:"));
    const CardRecord *card = Cards.empty() ? nullptr : &Cards[CurrentCard];
    const ShownStats shown = shownStats(compositeMode(), state.CompositeAll, state.CompositeRange, card,
                                        state.SingleRange, state.RangeLow, state.RangeHigh);
    const auto unit = static_cast<std::size_t>(module_.Metric ? 1 : 0);
    const StatsTexts texts = statsTexts(shown.Vmd, shown.DropDensity, shown.VolumeDensity, module_.RateFactor[unit],
                                        module_.RateUnit[unit]);
    VMDLabel->setText(QString::fromStdString(texts.Vmd));
    DropLabel->setText(QString::fromStdString(texts.Drops));
    VolumeLabel->setText(QString::fromStdString(texts.Volume));
}

void frmMain::btnScan_Click()
{
    if (busy() || Cards.empty())
        return;
    Picture1->setFocus();
    if (state.LogAnalysis && state.LogSprayInfo && !confirmSprayInfo())
        return;
    btnChangeRes->setEnabled(false);
    state.CancelRequested = false;
    ScanImage(CurrentCard);
    btnChangeRes->setEnabled(true);
    if (state.CancelRequested) {
        state.CancelRequested = false;
        return;
    }
    CalcCompositeAll();
    showScanResults();
}

void frmMain::btnScanAll_Click()
{
    if (busy() || Cards.empty())
        return;
    Picture1->setFocus();
    const int remembered = CurrentCard;
    if (state.LogAnalysis && state.LogSprayInfo && !confirmSprayInfo())
        return;
    btnChangeRes->setEnabled(false);
    state.CancelRequested = false;
    for (int i = 1; i <= CardCount(); ++i) {
        CurrentCard = i;
        selectCurrentTab();
        if (!Cards[i].ColoursKnown) {
            runColourPassFor(i);
            applyCardState(Cards[i]);
        }
        // A colour pass that was cancelled leaves nothing to scan.
        if (!state.CancelRequested && Cards[i].ColoursKnown)
            ScanImage(i);
        if (state.CancelRequested)
            break;
    }
    CalcCompositeAll();
    if (state.CancelRequested) {
        btnChangeRes->setEnabled(true);
        state.CancelRequested = false;
        return;
    }
    CurrentCard = remembered;
    selectCurrentTab();
    showScanResults();
    btnChangeRes->setEnabled(true);
}

void frmMain::reanalyseCards(const std::vector<int> &cards)
{
    if (busy())
        return;
    state.CancelRequested = false;
    for (const int i : cards) {
        if (i >= 1 && i <= CardCount() && Cards[i].ColoursKnown)
            ScanImage(i);
        if (state.CancelRequested)
            break;
    }
    state.CancelRequested = false;
    CalcCompositeAll();
    showScanResults();
}

} // namespace vex::ui
