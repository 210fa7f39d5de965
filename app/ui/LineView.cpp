#include "app/ui/LineView.h"

#include "analysis/DropStatistics.h"
#include "analysis/ResultGraph.h"
#include "app/ui/BackgroundWork.h"
#include "app/ui/CardView.h"
#include "app/ui/FiguresPanel.h"
#include "line/ApplicatorFigures.h"
#include "line/CardPositions.h"
#include "line/LineBootstrap.h"
#include "line/ResultsFile.h"
#include "line/SprayLineGraph.h"
#include "line/SwathDisplay.h"
#include "line/ui/SprayInfoForm.h"
#include "line/ui/SprayLineGraphView.h"
#include "line/ui/SwathGraphView.h"
#include "report/Report.h"
#include "report/ui/frmPreview2.h"
#include "text/WholeFile.h"
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <thread>

namespace vex::ui {

namespace {
constexpr int SprayLineTab = 0;
constexpr int SwathTab = 1;
const QString LineCaption = QStringLiteral("Quarrow Vexolin -- Composite Results");
} // namespace

LineView::LineView(Window window, QWidget *parent) : QObject(parent), w_(std::move(window))
{
    auto button = [parent](const QString &caption, const char *name) {
        auto *b = new QPushButton(caption, parent);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    printButton_ = button(tr("Print"), "btnPrint");
    writeResultsButton_ = button(tr("Write Results"), "btnWriteComposite");
    writeStainsButton_ = button(tr("Write Stain Table"), "btnWriteStains");
    sprayLineView_ = new SprayLineGraphView(parent);
    sprayLineView_->setObjectName(QStringLiteral("SprayLineView"));
    swathView_ = new SwathGraphView(parent);
    swathView_->setObjectName(QStringLiteral("SwathView"));
    w_.View.addPage(sprayLineView_);
    w_.View.addPage(swathView_);
    compositeCheck_ = new QCheckBox(tr("Composite"), parent);
    compositeCheck_->setObjectName(QStringLiteral("CompositeCheck"));

    coverPicture_ = new QFrame(parent);
    coverPicture_->setFrameShape(QFrame::Box);
    coverPicture_->setFixedSize(258, 140);
    coverPicture_->setObjectName(QStringLiteral("CoverPic"));
    swathWidthOption_ = new QRadioButton(coverPicture_);
    swathWidthOption_->setObjectName(QStringLiteral("optSwathWidth"));
    dataLabel_ = new QLabel(coverPicture_);
    dataLabel_->setObjectName(QStringLiteral("DataLabel"));
    dataLabelLine_ = new QFrame(coverPicture_);
    dataLabelLine_->setFrameShape(QFrame::HLine);
    dataLabelCircle_ = new QLabel(coverPicture_);

    connect(compositeCheck_, &QCheckBox::clicked, this, &LineView::compositeClicked);
    connect(writeResultsButton_, &QPushButton::clicked, this, &LineView::btnWriteComposite_Click);
    connect(writeStainsButton_, &QPushButton::clicked, this, &LineView::writeStainsClicked);
    connect(printButton_, &QPushButton::clicked, this, &LineView::btnPrint_Click);
    connect(sprayLineView_, &SprayLineGraphView::cardLabelHovered, this, &LineView::CardLabel_MouseMove);
    connect(sprayLineView_, &SprayLineGraphView::graphHovered, this, &LineView::Picture1_MouseMove);
    connect(swathView_, &SwathGraphView::widthChosen, this, &LineView::widthChosen);
}

void LineView::addTo(QVBoxLayout *column)
{
    column->addWidget(coverPicture_);
    auto *buttons = new QHBoxLayout;
    for (QWidget *w :
         std::initializer_list<QWidget *>{compositeCheck_, printButton_, writeResultsButton_, writeStainsButton_})
        buttons->addWidget(w);
    column->addLayout(buttons);
}

bool LineView::shown() const
{
    return compositeCheck_->isChecked();
}

void LineView::setShown(bool shown)
{
    compositeCheck_->setChecked(shown);
}

void LineView::offer()
{
    int scanned = 0;
    for (const CardRecord &card : w_.Cards.records())
        scanned += card.Scanned ? 1 : 0;
    offer(scanned >= 1);
}

void LineView::offer(bool offered)
{
    compositeCheck_->setVisible(offered);
}

bool LineView::offered() const
{
    return !compositeCheck_->isHidden();
}

void LineView::showButtons(bool line, bool mean)
{
    writeResultsButton_->setVisible(line);
    // Stains are counted on a pass's own cards only.
    writeStainsButton_->setVisible(line && !mean);
    printButton_->setVisible(line);
}

void LineView::clear()
{
    showButtons(false, false);
    compositeCheck_->setChecked(false);
    compositeCheck_->hide();
    coverPicture_->hide();
}

void LineView::enter()
{
    w_.SetCaption(LineCaption);
    if (w_.Prefs.Spray[Sample_Position1].empty() || w_.Prefs.Spray[Sample_Interval].empty())
        w_.ShowCardPositions(true);
    // The swath widths are proposed anew each time the view opens.
    w_.Line.Deposit.SelectedWidth = 0;
    w_.Line.DropDensity.SelectedWidth = 0;
    w_.RefreshLine();
    w_.CheckDuplicatePositions();
    w_.RefreshLine();
    QStringList tabs{tr("Spray Line Statistics")};
    if (swathOffered())
        tabs << tr("Swath Analysis");
    w_.View.setTabs(tabs, 0);
    showTab(SprayLineTab);
}

void LineView::leave()
{
    sprayLineView_->hideReadOut();
}

bool LineView::swathPageShown() const
{
    return w_.View.shownPage() == swathView_;
}

void LineView::showTab(int tab)
{
    tab_ = tab == SwathTab && swathOffered() ? SwathTab : SprayLineTab;
    if (tab_ == SwathTab) {
        w_.View.showPage(swathView_);
        w_.CurrentProfile = w_.GraphMode == DensityMode ? DropDensityProfile : DepositProfile;
        drawSwath();
    } else {
        w_.View.showPage(sprayLineView_);
        w_.SetCaption(LineCaption);
        w_.ShowStats();
        drawSprayLine();
    }
}

void LineView::refresh()
{
    if (!shown())
        return;
    w_.RefreshLine();
    showTab(tab_);
}

void LineView::drawSprayLine()
{
    const LineResults &line = w_.Line;
    sprayLineView_->setPicture(sprayLinePicture(w_.Cards, line.Stats, line.MaxCardVMD, rateFactor(w_.Module.Metric),
                                                line.All, line.RangeSelected ? &line.Range : nullptr, w_.Prefs.Spray));
}

void LineView::CardLabel_MouseMove(int card)
{
    if (card < 1 || card > w_.Cards.count() || !w_.Cards[card].Scanned || sprayLineView_->readOutShown())
        return;
    const CardReadOut r = cardReadOut(w_.Cards, w_.Line.Stats, sprayLineView_->picture().Scale, card,
                                      rateFactor(w_.Module.Metric), rateUnit(w_.Module.Metric));
    w_.SetCaption(QString::fromStdString(r.Caption));
    sprayLineView_->showReadOut(card, r);
}

void LineView::Picture1_MouseMove()
{
    if (!sprayLineView_->readOutShown())
        return;
    sprayLineView_->hideReadOut();
    w_.SetCaption(LineCaption);
}

SwathProfile &LineView::profile()
{
    return w_.CurrentProfile == DropDensityProfile ? w_.Line.DropDensity : w_.Line.Deposit;
}

bool LineView::swathOffered() const
{
    return w_.Line.HasSwath && w_.Line.Deposit.Widths.size() >= 3;
}

void LineView::drawSwath()
{
    const bool density = w_.CurrentProfile == DropDensityProfile;
    const LineResults &line = w_.Line;
    SwathProfile &swath = profile();
    buildMultiswath(swath);
    const auto kind = static_cast<SwathProfileKind>(density ? DropDensityProfile : DepositProfile);
    const SwathDisplay shown = swathDisplay(swath, kind, w_.Module.Metric, w_.Prefs.Spray);
    w_.SetCaption(LineCaption);
    w_.Figures.showFigures({tr("COV:"), tr("Mean:"), tr("Max / Min:")},
                           {shown.CovText, shown.MeanText, shown.MaxMinText});
    // The proposal and where the pattern lay, in words.
    const auto &fine = density ? line.FineDropDensity : line.FineDeposit;
    const std::string proposal = proposalText(swath, fine, line.Interval, w_.Module.Metric);
    const std::string centre = patternCentreShort(line.Centre, line.Centred, w_.Module.Metric);
    std::string words = proposal + (proposal.empty() || centre.empty() ? "" : "\n") + centre;
    if (const std::string ci = confidenceText(true); !ci.empty())
        words += "\n" + ci;
    AnalysisSettings settings = w_.Prefs.Analysis;
    settings.Spray = w_.Prefs.Spray;
    settings.Metric = w_.Module.Metric;
    if (const std::string effective = effectiveSwathShort(line, settings, !density); !effective.empty())
        words += "\n" + effective;
    w_.Figures.showWords(words);
    w_.Figures.showQuality({}, {});
    w_.Figures.hideLeftOut();
    w_.Figures.showCoverage({});
    swathView_->setPicture(swathPicture(swath, shown, positionValue(w_.Prefs.Spray[Sample_Interval]), fine));
}

bool LineView::reportable()
{
    const Status figures = checkLineFigures(w_.Line);
    if (!figures.ok())
        showMessage(w_.Owner, programText("Nothing of the line is written: " + figures.reason() + "."), QMessageBox::Ok,
                    QMessageBox::Warning);
    return figures.ok();
}

bool LineView::confirmSprayInfo()
{
    SprayInfoForm form(w_.Prefs.Spray, w_.Store, w_.Module.SpreadFactor, w_.Module.Metric, w_.Owner);
    form.exec();
    if (form.Accept)
        w_.Module.SpreadFactor = form.SpreadFactor;
    return form.Accept;
}

std::string LineView::confidenceText(bool swath)
{
    constexpr int Replicates = 1000;
    if (!w_.Prefs.ConfidenceIntervals || w_.Cards.empty())
        return {};
    if (!shown()) {
        const CardRecord &card = w_.Cards[w_.CurrentCard];
        // Intervals of a range inside the card are not worked out.
        if (rangeSelected(false, w_.Line.All, card, w_.RangeLow, w_.RangeHigh))
            return {};
        return intervalsText(cardIntervals(card, Replicates));
    }
    // The mean of passes has no one line of cards to resample.
    if (w_.MeanShown())
        return {};
    const std::string key = std::to_string(w_.Line.All.VMD) + "|" + std::to_string(w_.Line.Range.VMD) + "|" +
                            std::to_string(w_.Line.RangeSelected) + "|" +
                            std::to_string(w_.Line.Deposit.SelectedWidth) + "|" + w_.StateKey();
    if (key != intervalsKey_) {
        // Every core: the window waits for them.
        intervals_ = lineIntervals(w_.Cards, w_.Line, w_.Settings(), Replicates, BootstrapSeed,
                                   static_cast<int>(std::max(1U, std::thread::hardware_concurrency())));
        intervalsKey_ = key;
    }
    // The COV's interval is that of the deposit at its chosen width.
    if (swath && (w_.CurrentProfile == DropDensityProfile || w_.Line.Deposit.SelectedWidth < 1))
        return {};
    return intervalsText(intervals_, swath);
}

// ---- Report ------------------------------------------------------------------------

void LineView::btnPrint_Click()
{
    if (w_.Busy() || w_.Cards.empty())
        return;
    const bool accepted = confirmSprayInfo();
    // The spray information may have moved the cards.
    refresh();
    if (!accepted || !reportable())
        return;
    // The report's figures are gathered off the GUI thread, from copies: the
    // graph's mouse may move the range meanwhile.  The preview's dialog
    // draws them, on the GUI thread as widgets must.
    w_.Progress->setRange(0, 0);
    w_.SetBusy(true);
    ReportInputs inputs = runInBackground([cards = w_.Cards, line = w_.Line, settings = w_.Settings()] {
        return reportInputsFor(cards, line, settings);
    });
    w_.SetBusy(false);
    inputs.Cards = &w_.Cards; // the copy is gone; the cards are as they were

    frmPreview2 preview(inputs, w_.ScreenHeight, w_.Owner);
    preview.pdfFolder = saveDialogFolder(w_.Prefs);
    preview.refusePdfFile = [this, &preview](const std::string &path) {
        if (w_.OutputRefused(path, &preview))
            return true;
        noteSavedTo(w_.Prefs, path);
        return false;
    };
    preview.exec();
}

// ---- Results file ----------------------------------------------------------------

void LineView::btnWriteComposite_Click()
{
    if (w_.Busy() || w_.Cards.empty())
        return;
    std::string path;
    int filterIndex = 1;
    if (w_.ChooseResultsFile) {
        if (!w_.ChooseResultsFile(path, filterIndex))
            return;
    } else if (!chooseFileToSave(w_.Owner, "Save Analysis Results",
                                 "Text File (*.txt)|*.txt|Comma-Separated Values File (*.csv)|*.csv", "txt",
                                 saveDialogFolder(w_.Prefs), path, &filterIndex)) {
        return;
    }
    noteSavedTo(w_.Prefs, path);
    writeResults(path, filterIndex);
}

void LineView::offerScans()
{
    const CardList &cards = w_.Cards;
    std::vector<int> unscanned;
    for (int i = 1; i <= cards.count(); ++i)
        if (!cards[i].Scanned)
            unscanned.push_back(i);
    if (unscanned.empty())
        return;
    std::string question;
    if (unscanned.size() == 1) {
        question = "The following file has not been scanned:\r\r" + cards[unscanned.front()].FileTitle +
                   "\r\rWould you like to scan this file?";
    } else {
        question = "The following files have not been scanned:\r\r";
        for (const int i : unscanned)
            question += cards[i].FileTitle + "\r";
        question += "\rWould you like to scan these files?";
    }
    if (showMessage(w_.Owner, programText(question), QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) !=
        QMessageBox::Yes)
        return;
    w_.CancelRequested = false;
    for (const int i : unscanned) {
        if (!cards[i].ColoursKnown)
            w_.ColourPass(i);
        if (w_.CancelRequested)
            break;
        if (cards[i].ColoursKnown)
            w_.Scan(i);
        if (w_.CancelRequested)
            break;
    }
    w_.CancelRequested = false;
}

bool LineView::writeResults(const std::string &path, int filterIndex)
{
    if (w_.OutputRefused(path, nullptr) || !confirmSprayInfo())
        return false;
    offerScans();
    if (w_.Prefs.Spray[Sample_Position1].empty() || w_.Prefs.Spray[Sample_Interval].empty())
        w_.ShowCardPositions(false);

    // The line as it stands now, the cards scanned just now included; the
    // chosen swath widths stay.
    w_.RefreshLine();
    if (!reportable())
        return false;
    const AnalysisSettings settings = w_.Settings();
    const ResultsInputs in = lineResultsInputs(w_.Cards, w_.Line, settings);
    const Status written = writeWholeFile(path, resultsAsCsv(path, filterIndex) ? resultsCsv(in) : resultsTxt(in));
    if (!written.ok()) {
        showMessage(w_.Owner, programText(resultsWriteError(written.reason())), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    addRangeToLogs(settings);
    return true;
}

void LineView::addRangeToLogs(const AnalysisSettings &settings)
{
    std::vector<std::string> logs{std::string()};
    bool logsAllowed = true;
    for (int i = 1; i <= w_.Cards.count(); ++i) {
        logs.push_back(w_.ScanLogPath(i));
        if (settings.Log && w_.Line.RangeSelected && w_.Cards[i].Scanned)
            logsAllowed = logsAllowed && w_.MayWriteBeside(i, "Add the size range to it?");
    }
    // A log the user kept from being written keeps the others as they are too.
    if (!logsAllowed)
        showMessage(w_.Owner, tr("The size range was not added to the scan logs."));
    else if (const Status sections = appendRangeSections(w_.Cards, w_.Line, settings, logs); !sections.ok())
        showMessage(w_.Owner, programText(sections.reason()), QMessageBox::Ok, QMessageBox::Warning);
}

} // namespace vex::ui
