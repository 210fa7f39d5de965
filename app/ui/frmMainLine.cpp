// The composite view of the main window: the switch between one card and
// the whole line, the spray line statistics and swath analysis tabs, and the
// results file.  The figures come from the core; this file shows them.

#include "app/ui/frmMain.h"

#include "analysis/DropStatistics.h"
#include "analysis/ResultGraph.h"
#include "analysis/ScanLog.h"
#include "analysis/ui/HueHistogramView.h"
#include "app/Batch.h"
#include "app/ui/CardPicture.h"
#include "line/CardPositions.h"
#include "line/ResultsFile.h"
#include "line/SprayLineGraph.h"
#include "line/SwathDisplay.h"
#include "line/ui/SprayInfoForm.h"
#include "line/ui/SprayLineGraphView.h"
#include "line/ui/SwathGraphView.h"
#include "line/ui/frmCardPos.h"
#include "report/ui/frmPreview2.h"
#include "text/WholeFile.h"
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>

namespace vex::ui {

namespace {

constexpr int SprayLineTab = 0;
constexpr int SwathTab = 1;

} // namespace

void frmMain::connectLineControls()
{
    connect(compositeCheck_, &QCheckBox::clicked, this, &frmMain::CompositeCheck_Click);
    connect(writeResultsButton_, &QPushButton::clicked, this, &frmMain::btnWriteComposite_Click);
    connect(writeStainsButton_, &QPushButton::clicked, this, &frmMain::btnWriteStains_Click);
    connect(printButton_, &QPushButton::clicked, this, &frmMain::btnPrint_Click);
    connect(sprayLineView_, &SprayLineGraphView::cardLabelHovered, this, &frmMain::CardLabel_MouseMove);
    connect(sprayLineView_, &SprayLineGraphView::graphHovered, this, &frmMain::Picture1_MouseMove);
    connect(swathView_, &SwathGraphView::widthChosen, this, &frmMain::optSwathWidth_Click);
}

void frmMain::CompositeCheck_Click()
{
    if (cards_.empty() || busy_) {
        // A box ticked while nothing can follow goes back.
        compositeCheck_->setChecked(compositeMode() && !cards_.empty() && pictureStack_->currentIndex() != 0);
        return;
    }
    const bool line = compositeMode();
    if (!line && meanShown_) {
        // The points of the mean are no cards to show: back to the pass.
        selectPass(currentPass_);
        return;
    }
    QWidget *const cardControls[] = {loadButton_,          loadTemplateButton_, scanButton_,     scanAllButton_,
                                     hueLowSlider_,        hueHighSlider_,      hueInvertCheck_, hueHistogram_,
                                     horizontalScroll_,    verticalScroll_,     maskFrame_,      maskCheck_,
                                     maskColourOption_[0], maskColourOption_[1]};
    for (QWidget *w : cardControls)
        w->setEnabled(!line);
    writeResultsButton_->setVisible(line);
    // Stains are counted on a pass's own cards only.
    writeStainsButton_->setVisible(line && !meanShown_);
    printButton_->setVisible(line);

    if (line) {
        setCaption(QStringLiteral("Quarrow Vexolin -- Composite Results"));
        if (prefs_.Spray[Sample_Position1].empty() || prefs_.Spray[Sample_Interval].empty())
            showCardPositions(true);
        // The swath widths are proposed anew each time the view opens.
        line_.Deposit.SelectedWidth = 0;
        line_.DropDensity.SelectedWidth = 0;
        refreshLine();
        checkDuplicatePositions();
        refreshLine();
        updatingStrip_ = true;
        while (cardStrip_->count() > 0)
            cardStrip_->removeTab(cardStrip_->count() - 1);
        cardStrip_->addTab(tr("Spray Line Statistics"));
        if (swathOffered())
            cardStrip_->addTab(tr("Swath Analysis"));
        cardStrip_->setCurrentIndex(0);
        updatingStrip_ = false;
        showLineTab(SprayLineTab);
    } else {
        sprayLineView_->hideReadOut();
        const CardRecord &card = cards_[currentCard_];
        setCaption(QStringLiteral("Quarrow Vexolin -- ") + QString::fromStdString(shownName(card)) +
                   QStringLiteral(" -- ") + QString::number(card.Resolution) + QStringLiteral(" dpi"));
        if (rangeSelected(false, line_.All, card, view_.RangeLow, view_.RangeHigh))
            view_.SingleRange = calcSingleRange(card, view_.RangeLow, view_.RangeHigh);
        updatingStrip_ = true;
        while (cardStrip_->count() > 0)
            cardStrip_->removeTab(cardStrip_->count() - 1);
        for (int i = 1; i <= cardCount(); ++i)
            cardStrip_->addTab(QString::fromStdString(shownName(cards_[i])));
        cardStrip_->setCurrentIndex(currentCard_ - 1);
        updatingStrip_ = false;
        pictureStack_->setCurrentWidget(picture_);
        showCard(currentCard_);
    }

    GraphOption_Click(std::clamp(view_.GraphMode, 1, 3));
    const bool selected = rangeSelected(line, line_.All, cards_[currentCard_], view_.RangeLow, view_.RangeHigh);
    view_.CurrentVMD = vex::currentVmd(line, selected, line_.All, line_.Range, view_.SingleRange, cards_[currentCard_]);
    drawResult();
    updateHistogramLabels();
    if (!line || lineTab_ == SprayLineTab)
        updateStatsLabels();
}

void frmMain::showLineTab(int tab)
{
    lineTab_ = tab == SwathTab && swathOffered() ? SwathTab : SprayLineTab;
    if (lineTab_ == SwathTab) {
        pictureStack_->setCurrentWidget(swathView_);
        view_.CurrentProfile = view_.GraphMode == DensityMode ? DropDensityProfile : DepositProfile;
        drawSwathGraphs();
    } else {
        pictureStack_->setCurrentWidget(sprayLineView_);
        setCaption(QStringLiteral("Quarrow Vexolin -- Composite Results"));
        updateStatsLabels();
        drawSprayLineGraphs();
    }
}

void frmMain::refreshCompositeDisplay()
{
    if (!compositeMode())
        return;
    refreshLine();
    showLineTab(lineTab_);
}

void frmMain::drawSprayLineGraphs()
{
    sprayLineView_->setPicture(sprayLinePicture(cards_, line_.Stats, line_.MaxCardVMD, rateFactor(module_.Metric),
                                                line_.All, line_.RangeSelected ? &line_.Range : nullptr, prefs_.Spray));
}

void frmMain::CardLabel_MouseMove(int card)
{
    if (card < 1 || card > cardCount() || !cards_[card].Scanned || sprayLineView_->readOutShown())
        return;
    const CardReadOut r = cardReadOut(cards_, line_.Stats, sprayLineView_->picture().Scale, card,
                                      rateFactor(module_.Metric), rateUnit(module_.Metric));
    setCaption(QString::fromStdString(r.Caption));
    sprayLineView_->showReadOut(card, r);
}

void frmMain::Picture1_MouseMove()
{
    if (!sprayLineView_->readOutShown())
        return;
    sprayLineView_->hideReadOut();
    setCaption(QStringLiteral("Quarrow Vexolin -- Composite Results"));
}

void frmMain::drawSwathGraphs()
{
    const int kind = view_.CurrentProfile == DropDensityProfile ? DropDensityProfile : DepositProfile;
    SwathProfile &profile = currentSwathProfile();
    buildMultiswath(profile);
    const SwathDisplay shown = swathDisplay(profile, static_cast<SwathProfileKind>(kind), module_.Metric, prefs_.Spray);
    setCaption(QStringLiteral("Quarrow Vexolin -- Composite Results"));
    infoLabels_[0]->setText(tr("COV:"));
    infoLabels_[1]->setText(tr("Mean:"));
    infoLabels_[2]->setText(tr("Max / Min:"));
    vmdLabel_->setText(QString::fromStdString(shown.CovText));
    dropLabel_->setText(QString::fromStdString(shown.MeanText));
    volumeLabel_->setText(QString::fromStdString(shown.MaxMinText));
    // The proposal and where the pattern lay, in words.
    const std::string proposal =
        proposalText(profile, view_.CurrentProfile == DropDensityProfile ? line_.FineDropDensity : line_.FineDeposit,
                     line_.Interval, module_.Metric);
    const std::string centre = patternCentreShort(line_.Centre, line_.Centred, module_.Metric);
    std::string words = proposal + (proposal.empty() || centre.empty() ? "" : "\n") + centre;
    if (const std::string ci = confidenceText(true); !ci.empty())
        words += "\n" + ci;
    spectrumLabel_->setText(QString::fromStdString(words));
    spectrumLabel_->setVisible(!words.empty());
    rejectedLabel_->hide();

    swathView_->setPicture(
        swathPicture(profile, shown, positionValue(prefs_.Spray[Sample_Interval]),
                     view_.CurrentProfile == DropDensityProfile ? line_.FineDropDensity : line_.FineDeposit));
}

bool frmMain::lineFiguresReportable()
{
    const Status figures = checkLineFigures(line_);
    if (!figures.ok())
        showMessage(this, programText("Nothing of the line is written: " + figures.reason() + "."), QMessageBox::Ok,
                    QMessageBox::Warning);
    return figures.ok();
}

// ---- Report ------------------------------------------------------------------------

ReportInputs frmMain::reportInputs()
{
    return reportInputsFor(cards_, line_, analysisSettings());
}

void frmMain::btnPrint_Click()
{
    if (busy_ || cards_.empty())
        return;
    bool accepted = false;
    {
        SprayInfoForm form(prefs_.Spray, store_, module_.SpreadFactor, module_.Metric, this);
        form.exec();
        accepted = form.Accept;
        if (accepted)
            module_.SpreadFactor = form.SpreadFactor;
    }
    // The spray information may have moved the cards.
    refreshCompositeDisplay();
    if (!accepted)
        return;
    if (!lineFiguresReportable())
        return;
    const ReportInputs inputs = reportInputs();
    frmPreview2 preview(inputs, screenHeight_, this);
    preview.refusePdfFile = [this, &preview](const std::string &path) { return outputRefused(path, false, &preview); };
    preview.exec();
}

// ---- Results file ----------------------------------------------------------------

void frmMain::btnWriteComposite_Click()
{
    if (busy_ || cards_.empty())
        return;
    std::string path;
    int filterIndex = 1;
    if (chooseResultsFile) {
        if (!chooseResultsFile(path, filterIndex))
            return;
    } else {
        CCommonDialogs dialog;
        dialog.Init(this);
        dialog.Title = "Save Analysis Results";
        dialog.Filter = "Text File (*.txt)|*.txt|Comma-Separated Values File (*.csv)|*.csv";
        dialog.FilterIndex = 1;
        dialog.DefExt = "txt";
        dialog.InitialDir = prefs_.InitialDir;
        if (!dialog.ShowSave())
            return;
        path = dialog.FileName;
        filterIndex = dialog.FilterIndex;
    }
    writeResults(path, filterIndex);
}

bool frmMain::writeResults(const std::string &path, int filterIndex)
{
    if (outputRefused(path, false))
        return false;
    {
        SprayInfoForm form(prefs_.Spray, store_, module_.SpreadFactor, module_.Metric, this);
        form.exec();
        if (!form.Accept)
            return false;
        module_.SpreadFactor = form.SpreadFactor;
    }
    std::vector<int> unscanned;
    for (int i = 1; i <= cardCount(); ++i)
        if (!cards_[i].Scanned)
            unscanned.push_back(i);
    if (!unscanned.empty()) {
        std::string question;
        if (unscanned.size() == 1) {
            question = "The following file has not been scanned:\r\r" + cards_[unscanned.front()].FileTitle +
                       "\r\rWould you like to scan this file?";
        } else {
            question = "The following files have not been scanned:\r\r";
            for (const int i : unscanned)
                question += cards_[i].FileTitle + "\r";
            question += "\rWould you like to scan these files?";
        }
        if (showMessage(this, programText(question), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) ==
            QMessageBox::Yes) {
            view_.CancelRequested = false;
            for (const int i : unscanned) {
                if (!cards_[i].ColoursKnown)
                    runColourPassFor(i);
                if (view_.CancelRequested)
                    break;
                if (cards_[i].ColoursKnown)
                    scanCard(i);
                if (view_.CancelRequested)
                    break;
            }
            view_.CancelRequested = false;
        }
    }
    if (prefs_.Spray[Sample_Position1].empty() || prefs_.Spray[Sample_Interval].empty())
        showCardPositions(false);

    // The line as it stands now, the cards scanned just now included; the
    // chosen swath widths stay.
    refreshLine();
    if (!lineFiguresReportable())
        return false;
    const AnalysisSettings settings = analysisSettings();
    const ResultsInputs in = lineResultsInputs(cards_, line_, settings);
    const Status written = writeWholeFile(path, resultsAsCsv(path, filterIndex) ? resultsCsv(in) : resultsTxt(in));
    if (!written.ok()) {
        showMessage(this, programText(resultsWriteError(written.reason())), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    std::vector<std::string> logs{std::string()};
    bool logsAllowed = true;
    for (int i = 1; i <= cardCount(); ++i) {
        logs.push_back(scanLogPathOf(i));
        if (settings.Log && line_.RangeSelected && cards_[i].Scanned)
            logsAllowed = logsAllowed && mayWriteBeside(i, "Add the size range to it?");
    }
    // A log the user kept from being written keeps the others as they are too.
    if (!logsAllowed)
        showMessage(this, tr("The size range was not added to the scan logs."));
    else if (const Status sections = appendRangeSections(cards_, line_, settings, logs); !sections.ok())
        showMessage(this, programText(sections.reason()), QMessageBox::Ok, QMessageBox::Warning);
    return true;
}

} // namespace vex::ui
