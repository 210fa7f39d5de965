// What the window shows of scanned cards: the figures under the graph, the
// line as analysed, the scan log's name and the spray information asked for
// before a logged scan.

#include "app/ui/FiguresPanel.h"
#include "app/ui/frmMain.h"

#include "analysis/DropStatistics.h"
#include "analysis/ResultGraph.h"
#include "analysis/ScanLog.h"
#include "analysis/StainScan.h"
#include "app/ui/CardPicture.h"
#include "app/ui/CardView.h"
#include "line/ApplicatorFigures.h"
#include "line/CardLimits.h"
#include "line/CardPositions.h"
#include "line/Composite.h"
#include "line/StaleFigures.h"
#include "line/Swath.h"
#include "line/SwathDisplay.h"
#include "line/ui/SprayInfoForm.h"
#include "line/ui/frmCardPos.h"
#include "text/NumberText.h"
#include "ui/Messages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <limits>
#include <memory>

namespace vex::ui {

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
    // A line too short for the swath analysis says so where its figures are.
    if (const std::string swath = compositeMode() ? swathMissingText(line_) : std::string(); !swath.empty())
        spectrum += "\n" + swath;
    figures_->showWords(spectrum);
    figures_->showCoverage(shownCoverageText(compositeMode(), line_, card));
    // What the card's figures leave out, and whether it is too dense to count.
    std::string left = card && !compositeMode() ? rejectedStainsText(*card) : std::string();
    const std::string dense =
        card && !compositeMode() ? denseCardWarning(*card, prefs_.Analysis.DenseCoverage) : std::string();
    if (!dense.empty())
        left += "\n" + dense;
    // And what overlap hides there, as far as the card allows an estimate:
    // under a dense card, or under every card when the user asks for it.
    const bool estimated = !dense.empty() || (card && !compositeMode() && prefs_.AlwaysShowOverlapEstimate);
    if (const std::string estimate = estimated ? overlapEstimateText(*card, module_.Metric) : std::string();
        !estimate.empty())
        left += "\n" + estimate;
    figures_->showLeftOut(left, !dense.empty());
    figures_->showSmallestDrop(card && !compositeMode() ? smallestDropText(*card, module_.SpreadFactor)
                                                        : std::string());
    const AnalysisSettings settings = analysisSettings();
    const ApplicatorShown quality = compositeMode()         ? lineApplicatorShown(cards_, line_, settings)
                                    : card && card->Scanned ? cardApplicatorShown(*card, settings)
                                                            : ApplicatorShown{};
    figures_->showQuality(quality.Text, qualityColour(quality.Quality.Class));
    // The line's figures are as stale as those of its cards.
    figures_->showStale(compositeMode() && !meanShown() ? staleLineText(cards_, analysisSettings()) : std::string());
    markStaleCards();
}

void frmMain::markStaleCards()
{
    if (cards_.empty() || compositeMode())
        return;
    const AnalysisSettings settings = analysisSettings();
    for (int i = 1; i <= cardCount() && i <= cardView_->tabCount(); ++i)
        cardView_->noteTab(i - 1, QString::fromStdString(cardTabNote(cards_[i], settings).Tooltip));
    if (currentCard_ >= 1 && currentCard_ <= cardCount())
        figures_->showStale(cardTabNote(cards_[currentCard_], settings).Tooltip);
}

} // namespace vex::ui
