// The stain scan as the main window runs it: settings from the controls,
// progress, cancel, the messages and the log.  The tracing and the
// statistics themselves are in the core.

#include "app/ui/FiguresPanel.h"
#include "app/ui/frmMain.h"

#include "analysis/DropStatistics.h"
#include "analysis/ResultGraph.h"
#include "analysis/ScanLog.h"
#include "analysis/StainScan.h"
#include "app/ui/CardPicture.h"
#include "line/CardPositions.h"
#include "line/Composite.h"
#include "line/Swath.h"
#include "line/SwathDisplay.h"
#include "line/ui/SprayInfoForm.h"
#include "line/ui/frmCardPos.h"
#include "text/NumberText.h"
#include "ui/Messages.h"

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
#include <memory>

namespace vex::ui {

namespace {

// Letting events run after every one of 13 000 rows would cost more than
// the scan itself; a few dozen times a second keeps Cancel just as prompt.
constexpr qint64 EventIntervalMs = 30;

inline constexpr const char *NoStainsMessage = "Vexolin did not find any\rvalid spots on this card.";

} // namespace

void frmMain::scanCard(int index)
{
    if (index < 1 || index > cardCount() || !mayWriteBeside(index))
        return;
    CardRecord &card = cards_[index];

    const ScanSettings settings = analysisSettings().Scan;

    cancelButton_->setEnabled(true);
    const std::uint64_t entries = card.ForegroundPixels.size() + 1;
    // A bar counts in int; very large lists are shown in proportion.
    const std::uint64_t divisor = entries / static_cast<std::uint64_t>(std::numeric_limits<int>::max()) + 1;
    progressBar_->setRange(0, static_cast<int>(entries / divisor));
    progressBar_->setValue(0);
    setBusy(true);

    ScanCallbacks callbacks = windowScanCallbacks();
    callbacks.Progress = [this, divisor](std::uint64_t at) { progressBar_->setValue(static_cast<int>(at / divisor)); };
    // Events run above, so the card list may not change under the scan: the
    // commands that change it all wait while the progress bar is visible.
    ScanResult result = traceStains(card.ForegroundPixels, settings, callbacks);

    auto finish = [this] {
        cancelButton_->setEnabled(false);
        setBusy(false);
    };
    if (result.Cancelled) {
        finish();
        return;
    }

    // The same measuring, figures check and scan log as the batch tool's.
    const CardFigures figures =
        measureCard(card, result, analysisSettings(), prefs_.LogAnalysis ? scanLogPathOf(index) : std::string());
    if (!figures.Figures.ok()) {
        finish();
        showMessage(this,
                    programText("Vexolin cannot report the figures of " + card.FileTitle + ":\r" +
                                figures.Figures.reason() + "."),
                    QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    if (result.AcceptedAreas.empty()) {
        setBusy(false);
        showMessage(this, programText(NoStainsMessage));
    }
    // The results in memory are complete whatever became of the log.
    if (!figures.Log.ok())
        showMessage(this, QString::fromStdString(figures.Log.reason()), QMessageBox::Ok, QMessageBox::Warning);

    offerComposite();
    view_.MaxScannedDiameter = vex::maxScannedDiameter(cards_);
    finish();
}

ScanCallbacks frmMain::windowScanCallbacks()
{
    ScanCallbacks callbacks;
    callbacks.CancelRequested = [this] { return view_.CancelRequested; };
    auto sinceEvents = std::make_shared<QElapsedTimer>();
    sinceEvents->start();
    callbacks.RowDone = [sinceEvents] {
        if (sinceEvents->elapsed() >= EventIntervalMs) {
            QCoreApplication::processEvents();
            sinceEvents->restart();
        }
    };
    return callbacks;
}

std::string frmMain::scanLogPathOf(int index)
{
    std::vector<std::string> files;
    for (int i = 1; i <= cardCount(); ++i)
        files.push_back(cards_[i].FilePath);
    const std::string path = scanLogPaths(files)[static_cast<std::size_t>(index - 1)];
    const std::string usual = scanLogPath(cards_[index].FilePath);
    if (path != usual && toldLogNames_.insert(path).second)
        showMessage(this, programText(sharedLogMessage(usual, path)), QMessageBox::Ok, QMessageBox::Information);
    return path;
}

bool frmMain::confirmSprayInfo()
{
    SprayInfoForm form(prefs_.Spray, store_, module_.SpreadFactor, module_.Metric, this);
    form.exec();
    if (!form.Accept)
        return false;
    module_.SpreadFactor = form.SpreadFactor;
    assignCardPositions(cards_, prefs_.Spray);
    return true;
}

void frmMain::refreshLine()
{
    if (meanShown()) {
        trial_->mean() = meanOfPasses(trial_->passes(), {}, analysisSettings(), &line_);
        line_ = trial_->mean().Line;
        return;
    }
    line_ = analyseLine(cards_, analysisSettings(), &line_);
}

void frmMain::checkDuplicatePositions()
{
    if (meanShown() || !firstDuplicatePosition(cards_))
        return;
    showMessage(this, tr(DuplicatePositionsMessage));
    // Checked once: whatever the user settles on stands.
    showCardPositions(false);
}

SwathProfile &frmMain::currentSwathProfile()
{
    return view_.CurrentProfile == DropDensityProfile ? line_.DropDensity : line_.Deposit;
}

void frmMain::optSwathWidth_Click(int index)
{
    if (index < 1 || static_cast<std::size_t>(index) >= currentSwathProfile().Widths.size())
        return;
    currentSwathProfile().SelectedWidth = index;
    drawSwathGraphs();
}

void frmMain::showScanResults()
{
    if (cards_.empty())
        return;
    updateShownRange();
    figures_->show();
    drawResult();
    updateHistogramLabels();
    updateStatsLabels();
}

void frmMain::updateStatsLabels()
{
    const CardRecord *card = cards_.empty() ? nullptr : &cards_[currentCard_];
    const ShownStats shown =
        shownStats(compositeMode(), line_.All, line_.Range, card, view_.SingleRange, view_.RangeLow, view_.RangeHigh);
    const StatsTexts texts = statsTexts(shown.Vmd, shown.DropDensity, shown.VolumeDensity, rateFactor(module_.Metric),
                                        rateUnit(module_.Metric));
    figures_->showFigures({tr("VMD:"), tr("Drop Density:"), tr("Volume:")}, {texts.Vmd, texts.Drops, texts.Volume});
    std::string spectrum = spectrumText(shown);
    if (const std::string ci = confidenceText(false); !ci.empty())
        spectrum += "\n" + ci;
    figures_->showWords(spectrum);
    // What the card's figures leave out, and whether it is too dense to count.
    std::string left = card && !compositeMode() ? rejectedStainsText(*card) : std::string();
    const std::string dense =
        card && !compositeMode() ? denseCardWarning(*card, prefs_.DenseCoveragePercent / 100.0) : std::string();
    if (!dense.empty())
        left += "\n" + dense;
    figures_->showLeftOut(left, !dense.empty());
}

void frmMain::btnScan_Click()
{
    if (busy_ || cards_.empty())
        return;
    picture_->setFocus();
    if (prefs_.LogAnalysis && prefs_.LogSprayInfo && !confirmSprayInfo())
        return;
    resolutionButton_->setEnabled(false);
    view_.CancelRequested = false;
    scanCard(currentCard_);
    resolutionButton_->setEnabled(true);
    if (view_.CancelRequested) {
        view_.CancelRequested = false;
        return;
    }
    refreshLine();
    showScanResults();
}

void frmMain::btnScanAll_Click()
{
    if (busy_ || cards_.empty())
        return;
    picture_->setFocus();
    const int remembered = currentCard_;
    if (prefs_.LogAnalysis && prefs_.LogSprayInfo && !confirmSprayInfo())
        return;
    resolutionButton_->setEnabled(false);
    view_.CancelRequested = false;
    for (int i = 1; i <= cardCount(); ++i) {
        currentCard_ = i;
        selectCurrentTab();
        if (!cards_[i].ColoursKnown) {
            runColourPassFor(i);
            applyCardState(cards_[i]);
        }
        // A colour pass that was cancelled leaves nothing to scan.
        if (!view_.CancelRequested && cards_[i].ColoursKnown)
            scanCard(i);
        if (view_.CancelRequested)
            break;
    }
    refreshLine();
    if (view_.CancelRequested) {
        resolutionButton_->setEnabled(true);
        view_.CancelRequested = false;
        return;
    }
    currentCard_ = remembered;
    selectCurrentTab();
    showScanResults();
    resolutionButton_->setEnabled(true);
}

void frmMain::reanalyseCards(const std::vector<int> &cards)
{
    if (busy_)
        return;
    view_.CancelRequested = false;
    for (const int i : cards) {
        if (i >= 1 && i <= cardCount() && cards_[i].ColoursKnown)
            scanCard(i);
        if (view_.CancelRequested)
            break;
    }
    view_.CancelRequested = false;
    refreshLine();
    showScanResults();
}

} // namespace vex::ui
