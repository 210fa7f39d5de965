// The composite view of the main window: the switch between one card and
// the whole line, the spray line statistics and swath analysis tabs, and the
// results file.  The figures come from the core; this file shows them.

#include "app/ui/frmMain.h"

#include "analysis/DropStatistics.h"
#include "analysis/ResultGraph.h"
#include "analysis/ScanLog.h"
#include "app/Batch.h"
#include "ui/CCommonDialogs.h"
#include "analysis/ui/HueHistogramView.h"
#include "app/ui/CardPicture.h"
#include "ui/Messages.h"
#include "line/CardPositions.h"
#include "line/ResultsFile.h"
#include "line/SprayLineGraph.h"
#include "line/SwathDisplay.h"
#include "text/WholeFile.h"
#include "line/ui/SprayInfoForm.h"
#include "line/ui/SprayLineGraphView.h"
#include "line/ui/SwathGraphView.h"
#include "line/ui/frmCardPos.h"
#include "report/ui/frmPreview2.h"

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
    connect(CompositeCheck, &QCheckBox::clicked, this, &frmMain::CompositeCheck_Click);
    connect(btnWriteComposite, &QPushButton::clicked, this, &frmMain::btnWriteComposite_Click);
    connect(btnPrint, &QPushButton::clicked, this, &frmMain::btnPrint_Click);
    connect(SprayLineView, &SprayLineGraphView::cardLabelHovered, this, &frmMain::CardLabel_MouseMove);
    connect(SprayLineView, &SprayLineGraphView::graphHovered, this, &frmMain::Picture1_MouseMove);
    connect(SwathView, &SwathGraphView::widthChosen, this, &frmMain::optSwathWidth_Click);
}

void frmMain::CompositeCheck_Click()
{
    if (Cards.empty() || busy()) {
        // A box ticked while nothing can follow goes back.
        CompositeCheck->setChecked(compositeMode() && !Cards.empty() && pictureStack_->currentIndex() != 0);
        return;
    }
    const bool line = compositeMode();
    QWidget *const cardControls[] = {btnLoad,   btnLoadTemplate, btnScan,  btnScanAll, Slider1,
                                     Slider2,   HueInvertCheck,  HistogramPic, HScroll1, VScroll1,
                                     MaskFrame, MaskCheck,       BackColorOption[0], BackColorOption[1]};
    for (QWidget *w : cardControls)
        w->setEnabled(!line);
    btnWriteComposite->setVisible(line);
    btnPrint->setVisible(line);

    if (line) {
        setCaption(QStringLiteral("Quarrow Vexolin -- Composite Results"));
        if (state.Spray[Sample_Position1].empty() || state.Spray[Sample_Interval].empty()) {
            frmCardPos window(Cards, state.Spray, store_, module_.Metric, true, this);
            window.exec();
        }
        AssignCardPositions(Cards, state.Spray);
        CheckDuplicatePositions();
        const bool selected =
            rangeSelected(true, state.CompositeAll, Cards[CurrentCard], state.RangeLow, state.RangeHigh);
        if (selected)
            CalcCompositeRange();
        state.CardStats.assign(static_cast<std::size_t>(CardCount()) + 1, CardStat{});
        FillCardStats();
        state.Swath[0].SelectedWidth = 0;
        state.Swath[1].SelectedWidth = 0;
        SwathAnalysis();
        updatingStrip_ = true;
        while (ImageStrip->count() > 0)
            ImageStrip->removeTab(ImageStrip->count() - 1);
        ImageStrip->addTab(tr("Spray Line Statistics"));
        if (CardCount() >= 3)
            ImageStrip->addTab(tr("Swath Analysis"));
        ImageStrip->setCurrentIndex(0);
        updatingStrip_ = false;
        showLineTab(SprayLineTab);
    } else {
        SprayLineView->hideReadOut();
        const CardRecord &card = Cards[CurrentCard];
        setCaption(QStringLiteral("Quarrow Vexolin -- ") + QString::fromStdString(card.FileTitle) +
                   QStringLiteral(" -- ") + QString::number(card.Resolution) + QStringLiteral(" dpi"));
        if (rangeSelected(false, state.CompositeAll, card, state.RangeLow, state.RangeHigh))
            state.SingleRange = calcSingleRange(card, state.RangeLow, state.RangeHigh);
        updatingStrip_ = true;
        while (ImageStrip->count() > 0)
            ImageStrip->removeTab(ImageStrip->count() - 1);
        for (int i = 1; i <= CardCount(); ++i)
            ImageStrip->addTab(QString::fromStdString(Cards[i].FileTitle));
        ImageStrip->setCurrentIndex(CurrentCard - 1);
        updatingStrip_ = false;
        pictureStack_->setCurrentWidget(Picture1);
        showCard(CurrentCard);
    }

    GraphOption_Click(std::clamp(state.GraphMode, 1, 3));
    const bool selected = rangeSelected(line, state.CompositeAll, Cards[CurrentCard], state.RangeLow, state.RangeHigh);
    state.CurrentVMD = currentVmd(line, selected, state.CompositeAll, state.CompositeRange, state.SingleRange,
                                  Cards[CurrentCard]);
    DrawResult(CurrentCard);
    UpdateHistogramLabels();
    if (!line || lineTab_ == SprayLineTab)
        UpdateStatsLabels();
}

void frmMain::showLineTab(int tab)
{
    lineTab_ = tab == SwathTab && CardCount() >= 3 ? SwathTab : SprayLineTab;
    if (lineTab_ == SwathTab) {
        pictureStack_->setCurrentWidget(SwathView);
        state.CurrentProfile = state.GraphMode == DensityMode ? DropDensityProfile : DepositProfile;
        DrawSwathGraphs();
    } else {
        pictureStack_->setCurrentWidget(SprayLineView);
        setCaption(QStringLiteral("Quarrow Vexolin -- Composite Results"));
        UpdateStatsLabels();
        DrawSprayLineGraphs();
    }
}

void frmMain::refreshCompositeDisplay()
{
    if (!compositeMode())
        return;
    AssignCardPositions(Cards, state.Spray);
    FillCardStats();
    SwathAnalysis();
    showLineTab(lineTab_);
}

void frmMain::DrawSprayLineGraphs()
{
    const auto unit = static_cast<std::size_t>(module_.Metric ? 1 : 0);
    if (state.CardStats.size() != static_cast<std::size_t>(CardCount()) + 1)
        FillCardStats();
    const bool selected = rangeSelected(true, state.CompositeAll, Cards[CurrentCard], state.RangeLow, state.RangeHigh);
    SprayLineView->setPicture(sprayLinePicture(Cards, state.CardStats, state.MaxCardVMD, module_.RateFactor[unit],
                                               state.CompositeAll, selected ? &state.CompositeRange : nullptr,
                                               state.Spray));
}

void frmMain::CardLabel_MouseMove(int card)
{
    if (card < 1 || card > CardCount() || !Cards[card].Scanned || SprayLineView->readOutShown())
        return;
    const auto unit = static_cast<std::size_t>(module_.Metric ? 1 : 0);
    const CardReadOut r = cardReadOut(Cards, state.CardStats, SprayLineView->picture().Scale, card,
                                      module_.RateFactor[unit], module_.RateUnit[unit]);
    setCaption(QString::fromStdString(r.Caption));
    SprayLineView->showReadOut(card, r);
}

void frmMain::Picture1_MouseMove()
{
    if (!SprayLineView->readOutShown())
        return;
    SprayLineView->hideReadOut();
    setCaption(QStringLiteral("Quarrow Vexolin -- Composite Results"));
}

void frmMain::DrawSwathGraphs()
{
    const int kind = state.CurrentProfile == DropDensityProfile ? DropDensityProfile : DepositProfile;
    SwathProfile &profile = state.Swath[kind - 1];
    buildMultiswath(profile);
    const SwathDisplay shown =
        swathDisplay(profile, static_cast<SwathProfileKind>(kind), module_.Metric, state.Spray);
    setCaption(QStringLiteral("Quarrow Vexolin -- Composite Results"));
    InfoLabel[0]->setText(tr("COV:"));
    InfoLabel[1]->setText(tr("Mean:"));
    InfoLabel[2]->setText(tr("Max / Min:"));
    VMDLabel->setText(QString::fromStdString(shown.CovText));
    DropLabel->setText(QString::fromStdString(shown.MeanText));
    VolumeLabel->setText(QString::fromStdString(shown.MaxMinText));

    SwathView->setPicture(swathPicture(profile, shown, positionValue(state.Spray[Sample_Interval])));
}

bool frmMain::lineFiguresReportable()
{
    LineResults line;
    line.All = state.CompositeAll;
    line.Range = state.CompositeRange;
    line.Stats = state.CardStats;
    line.Deposit = state.Swath[0];
    line.DropDensity = state.Swath[1];
    const std::string problem = lineFiguresProblem(line);
    if (!problem.empty())
        showMessage(this, programText("Nothing of the line is written: " + problem + "."), QMessageBox::Ok,
                    QMessageBox::Warning);
    return problem.empty();
}

// ---- Report ------------------------------------------------------------------------

ReportInputs frmMain::reportInputs()
{
    if (state.CardStats.size() != static_cast<std::size_t>(CardCount()) + 1)
        FillCardStats();
    ReportInputs in;
    in.Spray = &state.Spray;
    in.Cards = &Cards;
    in.Stats = state.CardStats;
    in.CompositeAll = state.CompositeAll;
    in.CompositeRange = state.CompositeRange;
    in.RangeSelected =
        !Cards.empty() && rangeSelected(true, state.CompositeAll, Cards[CurrentCard], state.RangeLow, state.RangeHigh);
    in.RangeLow = state.RangeLow;
    in.RangeHigh = state.RangeHigh;
    in.MaxCardVMD = state.MaxCardVMD;
    in.SpreadFactor = module_.SpreadFactor;
    in.ShapeThreshold = state.ShapeThreshold;
    in.HueThreshold = state.HueThreshold;
    in.Metric = module_.Metric;
    in.RateFactor = module_.RateFactor;
    in.RateUnit = module_.RateUnit;
    in.Deposit = state.Swath[0];
    in.DropDensity = state.Swath[1];
    return in;
}

void frmMain::btnPrint_Click()
{
    if (busy() || Cards.empty())
        return;
    bool accepted = false;
    {
        SprayInfoForm form(state.Spray, store_, module_.SpreadFactor, module_.Metric, this);
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
    preview.exec();
}

// ---- Results file ----------------------------------------------------------------

void frmMain::btnWriteComposite_Click()
{
    if (busy() || Cards.empty())
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
        dialog.InitialDir = state.InitialDir;
        if (!dialog.ShowSave())
            return;
        path = dialog.FileName;
        filterIndex = dialog.FilterIndex;
    }
    writeResults(path, filterIndex);
}

bool frmMain::writeResults(const std::string &path, int filterIndex)
{
    {
        SprayInfoForm form(state.Spray, store_, module_.SpreadFactor, module_.Metric, this);
        form.exec();
        if (!form.Accept)
            return false;
        module_.SpreadFactor = form.SpreadFactor;
    }
    std::vector<int> unscanned;
    for (int i = 1; i <= CardCount(); ++i)
        if (!Cards[i].Scanned)
            unscanned.push_back(i);
    if (!unscanned.empty()) {
        std::string question;
        if (unscanned.size() == 1) {
            question = "The following file has not been scanned:\r\r" + Cards[unscanned.front()].FileTitle +
                       "\r\rWould you like to scan this file?";
        } else {
            question = "The following files have not been scanned:\r\r";
            for (const int i : unscanned)
                question += Cards[i].FileTitle + "\r";
            question += "\rWould you like to scan these files?";
        }
        if (showMessage(this, programText(question), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) ==
            QMessageBox::Yes) {
            state.CancelRequested = false;
            for (const int i : unscanned) {
                if (!Cards[i].ColoursKnown)
                    runColourPassFor(i);
                if (state.CancelRequested)
                    break;
                if (Cards[i].ColoursKnown)
                    ScanImage(i);
                if (state.CancelRequested)
                    break;
            }
            state.CancelRequested = false;
        }
    }
    if (state.Spray[Sample_Position1].empty() || state.Spray[Sample_Interval].empty()) {
        frmCardPos window(Cards, state.Spray, store_, module_.Metric, false, this);
        window.exec();
    }

    const bool selected = rangeSelected(true, state.CompositeAll, Cards[CurrentCard], state.RangeLow, state.RangeHigh);
    if (state.CardStats.size() != static_cast<std::size_t>(CardCount()) + 1)
        FillCardStats();
    buildMultiswath(state.Swath[0]);
    buildMultiswath(state.Swath[1]);
    if (!lineFiguresReportable())
        return false;
    ResultsInputs in;
    in.Spray = &state.Spray;
    in.Cards = &Cards;
    in.Stats = &state.CardStats;
    in.Reported = selected ? state.CompositeRange : state.CompositeAll;
    in.RangeSelected = selected;
    in.RangeLow = state.RangeLow;
    in.RangeHigh = state.RangeHigh;
    in.SpreadFactor = module_.SpreadFactor;
    in.ShapeThreshold = state.ShapeThreshold;
    in.HueThreshold = state.HueThreshold;
    in.Metric = module_.Metric;
    const auto unit = static_cast<std::size_t>(module_.Metric ? 1 : 0);
    in.RateFactor = module_.RateFactor[unit];
    in.RateUnit = module_.RateUnit[unit];
    in.Deposit = &state.Swath[0];
    in.DropDensity = &state.Swath[1];
    const std::string error = writeWholeFile(path, resultsAsCsv(path, filterIndex) ? resultsCsv(in) : resultsTxt(in));
    if (!error.empty()) {
        showMessage(this, programText(resultsWriteError(error)), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    if (state.LogAnalysis && selected) {
        for (int i = 1; i <= CardCount(); ++i) {
            if (!Cards[i].Scanned)
                continue;
            const CompositeResult range = calcSingleRange(Cards[i], state.RangeLow, state.RangeHigh);
            const std::string logError =
                appendScanLogRange(Cards[i], range, state.RangeLow, state.RangeHigh, module_.Metric, scanLogPathOf(i));
            if (!logError.empty())
                showMessage(this, QString::fromStdString(logError), QMessageBox::Ok, QMessageBox::Warning);
        }
    }
    return true;
}

} // namespace vex::ui
