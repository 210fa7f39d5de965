// The trial of the main window: its passes over the line, the mean of
// passes, and saving and opening it as a file.  The figures come from the
// core; this file moves cards between passes and shows what became of them.

#include "app/ui/frmMain.h"

#include "analysis/DropStatistics.h"
#include "app/TrialState.h"
#include "app/ui/CardPicture.h"
#include "intake/CardLoading.h"
#include "line/CardPositions.h"
#include "line/ui/SprayLineGraphView.h"
#include "line/ui/SwathGraphView.h"
#include "line/ui/frmCardPos.h"
#include "text/SameFile.h"
#include "trial/CardFileCheck.h"
#include "trial/TrialFile.h"
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace vex::ui {

namespace {

const char *const TrialFilter = "Vexolin Trial (*.vexolin)|*.vexolin";

} // namespace

// ---- Passes ----------------------------------------------------------------

void frmMain::stashCurrentPass()
{
    if (meanShown_)
        return;
    LinePass &pass = passes_[static_cast<std::size_t>(currentPass_) - 1];
    pass.Cards = std::move(cards_);
    cards_ = CardList();
    pass.Spray = prefs_.Spray;
}

void frmMain::takePass(int pass)
{
    currentPass_ = std::clamp(pass, 1, passCount());
    LinePass &taken = passes_[static_cast<std::size_t>(currentPass_) - 1];
    cards_ = std::move(taken.Cards);
    taken.Cards = CardList();
    prefs_.Spray = taken.Spray;
    meanShown_ = false;
    currentCard_ = 1;
    shownCard_ = 0;
}

void frmMain::rebuildCardStrip()
{
    updatingStrip_ = true;
    while (cardStrip_->count() > 0)
        cardStrip_->removeTab(cardStrip_->count() - 1);
    for (int i = 1; i <= cardCount(); ++i) {
        cardStrip_->addTab(QString::fromStdString(shownName(cards_[i])));
        // A card whose file has gone or changed is marked; its stored
        // figures stand.
        if (cards_[i].FileState != CardFileState::Present)
            cardStrip_->setTabIcon(i - 1, style()->standardIcon(QStyle::SP_MessageBoxWarning));
    }
    updatingStrip_ = false;
    while (cardLabels_.size() < std::max(cardCount(), 1)) {
        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("CardLabel"));
        label->hide();
        cardLabels_.push_back(label);
    }
    while (cardLabels_.size() > std::max(cardCount(), 1))
        delete cardLabels_.takeLast();
}

void frmMain::selectPass(int pass)
{
    if (busy_ || pass < 1 || pass > passCount() || (pass == currentPass_ && !meanShown_))
        return;
    const bool line = compositeMode();
    if (meanShown_)
        leaveMean();
    stashCurrentPass();
    takePass(pass);
    view_.MaxScannedDiameter = vex::maxScannedDiameter(cards_);
    refreshLine();
    refreshPassControls();
    if (cards_.empty()) {
        showEmptyState();
        return;
    }
    resolutionButton_->show();
    rebuildCardStrip();
    offerComposite();
    compositeCheck_->setChecked(line && !compositeCheck_->isHidden());
    CompositeCheck_Click();
    updateTrialMark();
}

void frmMain::addPass()
{
    if (busy_)
        return;
    if (meanShown_)
        selectPass(currentPass_);
    LinePass pass;
    pass.Name = defaultPassName(passCount() + 1);
    // The same line, usually the same aircraft: the spray information
    // carries over and is changed where the pass differs.
    pass.Spray = prefs_.Spray;
    passes_.push_back(std::move(pass));
    stashCurrentPass();
    takePass(passCount());
    refreshLine();
    refreshPassControls();
    showEmptyState();
    updateTrialMark();
}

void frmMain::removePass()
{
    if (busy_ || passCount() < 2 || meanShown_)
        return;
    if (!cards_.empty() && showMessage(this,
                                       tr("Remove %1 and its %2 cards from the trial?")
                                           .arg(QString::fromStdString(passName(currentPass_)))
                                           .arg(cardCount()),
                                       QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) != QMessageBox::Yes)
        return;
    cards_.clear();
    passes_.erase(passes_.begin() + (currentPass_ - 1));
    takePass(std::min(currentPass_, passCount()));
    refreshLine();
    refreshPassControls();
    if (cards_.empty()) {
        showEmptyState();
    } else {
        rebuildCardStrip();
        offerComposite();
        compositeCheck_->setChecked(false);
        CompositeCheck_Click();
    }
    updateTrialMark();
}

void frmMain::setPassInMean(int pass, bool inMean)
{
    if (pass < 1 || pass > passCount())
        return;
    passes_[static_cast<std::size_t>(pass) - 1].InMean = inMean;
    if (meanShown_)
        refreshCompositeDisplay();
    refreshPassControls();
    updateTrialMark();
}

void frmMain::showMeanOfPasses()
{
    if (busy_ || passCount() < 2)
        return;
    if (!meanShown_) {
        stashCurrentPass();
        meanShown_ = true;
    }
    refreshLine();
    cards_ = mean_.Points;
    prefs_.Spray = mean_.Spray;
    currentCard_ = 1;
    shownCard_ = 0;
    refreshPassControls();
    if (cards_.empty()) {
        // No pass in the mean has a card: back to the pass.
        showMessage(this, tr("None of the passes taken into the mean has a card to show."));
        selectPass(currentPass_);
        return;
    }
    rebuildCardStrip();
    compositeCheck_->show();
    compositeCheck_->setChecked(true);
    CompositeCheck_Click();
}

void frmMain::leaveMean()
{
    if (!meanShown_)
        return;
    cards_ = CardList();
    const LinePass &pass = passes_[static_cast<std::size_t>(currentPass_) - 1];
    prefs_.Spray = pass.Spray;
    meanShown_ = false;
    takePass(currentPass_);
}

void frmMain::refreshPassControls()
{
    updatingStrip_ = true;
    passCombo_->clear();
    for (int p = 1; p <= passCount(); ++p)
        passCombo_->addItem(QString::fromStdString(passName(p)));
    if (passCount() >= 2)
        passCombo_->addItem(tr("Mean of Passes"));
    passCombo_->setCurrentIndex(meanShown_ ? passCount() : currentPass_ - 1);
    passCombo_->setVisible(passCount() >= 2);
    updatingStrip_ = false;
    meanMenu_->clear();
    for (int p = 1; p <= passCount(); ++p) {
        QAction *in = meanMenu_->addAction(QString::fromStdString(passName(p)));
        in->setCheckable(true);
        in->setChecked(passes_[static_cast<std::size_t>(p) - 1].InMean);
        connect(in, &QAction::toggled, this, [this, p](bool on) { setPassInMean(p, on); });
    }
    meanMenu_->setEnabled(passCount() >= 2);
}

void frmMain::cmbPass_Change(int index)
{
    if (updatingStrip_ || index < 0)
        return;
    if (index >= passCount())
        showMeanOfPasses();
    else
        selectPass(index + 1);
}

// ---- What a trial keeps ------------------------------------------------------

bool frmMain::trialModified() const
{
    // A trial never saved has something to lose once it holds a card or a
    // second pass; settings alone are the preferences' to keep.
    if (trialPath_.empty()) {
        if (passCount() > 1 || meanShown_)
            return true;
        return !cards_.empty();
    }
    return trialStateKey() != savedStateKey_;
}

void frmMain::updateTrialMark()
{
    setCaption(baseCaption_);
}

// ---- Saving and opening ------------------------------------------------------

bool frmMain::outputRefused(const std::string &path, bool savingTrial, QWidget *parent)
{
    std::string taken;
    for (int p = 1; p <= passCount() && taken.empty(); ++p) {
        const bool shown = p == currentPass_ && !meanShown_;
        for (const CardRecord &card : (shown ? cards_ : passes_[static_cast<std::size_t>(p) - 1].Cards).records())
            if (sameFile(path, card.FilePath)) {
                taken = "the card " + card.FilePath;
                break;
            }
    }
    if (taken.empty() && !savingTrial && !trialPath_.empty() && sameFile(path, trialPath_))
        taken = "the open trial " + trialPath_;
    if (taken.empty())
        return false;
    showMessage(parent != nullptr ? parent : this,
                programText("Nothing is written to " + path + ":\rit is the same file as " + taken + "."),
                QMessageBox::Ok, QMessageBox::Warning);
    return true;
}

bool frmMain::saveTrial(const std::string &path)
{
    if (busy_ || outputRefused(path, true))
        return false;
    // Cards loaded before their files were noted get noted now.
    Status noted;
    for (int p = 1; p <= passCount(); ++p) {
        const bool shown = p == currentPass_ && !meanShown_;
        CardList &cards = shown ? cards_ : passes_[static_cast<std::size_t>(p) - 1].Cards;
        for (CardRecord &card : cards.records())
            if (card.ContentHash.empty() && card.FileState == CardFileState::Present)
                noted.add(noteCardFile(card));
    }
    const Status saved = vex::saveTrial(path, trial());
    if (!saved.ok()) {
        showMessage(this, tr("Error: ") + programText(saved.reason()), QMessageBox::Ok, QMessageBox::Critical);
        return false;
    }
    trialPath_ = path;
    savedStateKey_ = trialStateKey();
    updateTrialMark();
    if (!noted.ok())
        showMessage(this,
                    programText("The trial was saved, but the content of some card files could not be noted, so "
                                "a later change to them cannot be told:\r" +
                                noted.reason()),
                    QMessageBox::Ok, QMessageBox::Warning);
    return true;
}

void frmMain::btnSaveTrial_Click()
{
    if (trialPath_.empty())
        btnSaveTrialAs_Click();
    else
        saveTrial(trialPath_);
}

void frmMain::btnSaveTrialAs_Click()
{
    if (busy_)
        return;
    std::string path;
    if (chooseTrialToSave) {
        if (!chooseTrialToSave(path))
            return;
    } else {
        CCommonDialogs dialog;
        dialog.Init(this);
        dialog.Title = "Save Trial";
        dialog.Filter = TrialFilter;
        dialog.DefExt = "vexolin";
        dialog.InitialDir = trialPath_.empty()
                                ? prefs_.InitialDir
                                : QFileInfo(QString::fromStdString(trialPath_)).absolutePath().toStdString();
        if (!dialog.ShowSave())
            return;
        path = dialog.FileName;
    }
    if (QFileInfo(QString::fromStdString(path)).suffix().isEmpty())
        path += TrialExtension;
    saveTrial(path);
}

bool frmMain::settleUnsavedTrial()
{
    if (!trialModified())
        return true;
    const QString name =
        trialPath_.empty() ? tr("the trial") : QFileInfo(QString::fromStdString(trialPath_)).fileName();
    const QMessageBox::StandardButton answer =
        showMessage(this, tr("Save the changes to %1 first?").arg(name),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Question);
    if (answer == QMessageBox::Discard)
        return true;
    if (answer != QMessageBox::Save)
        return false;
    btnSaveTrial_Click();
    return !trialModified();
}

void frmMain::btnOpenTrial_Click()
{
    if (busy_)
        return;
    std::string path;
    if (chooseTrialToOpen) {
        if (!chooseTrialToOpen(path))
            return;
    } else {
        CCommonDialogs dialog;
        dialog.Init(this);
        dialog.Title = "Open Trial";
        dialog.Filter = TrialFilter;
        dialog.InitialDir = prefs_.InitialDir;
        if (!dialog.ShowOpen())
            return;
        path = dialog.FileName;
    }
    openTrial(path);
}

bool frmMain::openTrial(const std::string &path)
{
    if (busy_ || !settleUnsavedTrial())
        return false;
    Result<Trial> opened = vex::openTrial(path);
    if (!opened.ok()) {
        showMessage(this, programText(opened.reason()), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    Trial &t = opened.value();
    // Which card files have gone or changed, with progress: large cards take
    // a moment each.  Stopped, the cards not yet checked count as there.
    int total = 0;
    for (const LinePass &p : t.Passes)
        total += p.Cards.count();
    progressBar_->setRange(0, std::max(total, 1));
    progressBar_->setValue(0);
    view_.CancelRequested = false;
    setBusy(true);
    cancelButton_->setEnabled(true);
    checkCardFiles(t, [this](int done, int) {
        progressBar_->setValue(done);
        QCoreApplication::processEvents();
        return view_.CancelRequested;
    });
    view_.CancelRequested = false;
    cancelButton_->setEnabled(false);
    setBusy(false);
    outsideCards_.clear();
    for (const LinePass &p : t.Passes)
        for (const CardRecord &c : p.Cards.records())
            if (cardOutsideTrialFolder(c.FilePath, path))
                outsideCards_.emplace(c.FilePath, false);

    if (meanShown_)
        leaveMean();
    compositeCheck_->setChecked(false);
    cards_.clear();
    passes_ = std::move(t.Passes);
    if (passes_.empty())
        passes_.push_back(LinePass{defaultPassName(1), {}, {}, true, false});
    applyTrialSettings(t.Settings);
    takePass(t.CurrentPass);
    trialPath_ = path;
    prefs_.InitialDir = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString() + "/";
    view_.MaxScannedDiameter = vex::maxScannedDiameter(cards_);
    line_ = LineResults();
    refreshLine();
    refreshPassControls();
    if (cards_.empty()) {
        showEmptyState();
    } else {
        resolutionButton_->show();
        rebuildCardStrip();
        // The stored figures make the line: its views need no scan.
        offerComposite();
        CompositeCheck_Click();
        selectCurrentTab();
    }
    savedStateKey_ = trialStateKey();
    updateTrialMark();

    int missing = 0;
    int changed = 0;
    for (int p = 1; p <= passCount(); ++p)
        for (const CardRecord &c :
             (p == currentPass_ ? cards_ : passes_[static_cast<std::size_t>(p) - 1].Cards).records()) {
            missing += c.FileState == CardFileState::Missing;
            changed += c.FileState == CardFileState::Changed;
        }
    if (missing + changed > 0)
        showMessage(this,
                    tr("%1 card files are missing and %2 have changed since the trial was saved.\rTheir stored "
                       "figures stand; a card can be scanned again once its file is back.")
                        .arg(missing)
                        .arg(changed)
                        .replace(QLatin1Char('\r'), QLatin1Char('\n')),
                    QMessageBox::Ok, QMessageBox::Warning);
    return true;
}

std::string frmMain::shownName(const CardRecord &card) const
{
    return outsideCards_.count(card.FilePath) != 0 ? card.FilePath : card.FileTitle;
}

bool frmMain::mayWriteBeside(int index, const std::string &ask)
{
    const auto outside = outsideCards_.find(cards_[index].FilePath);
    if (!prefs_.Analysis.Log || outside == outsideCards_.end() || outside->second)
        return true;
    const std::string log = scanLogPathOf(index);
    if (showMessage(this,
                    programText("The image file of this card lies outside the trial's folder:\r" + outside->first +
                                "\rIts scan log is written there:\r" + log + "\r" + ask),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning) != QMessageBox::Yes)
        return false;
    outside->second = true;
    return true;
}

void frmMain::offerComposite()
{
    int scanned = 0;
    for (const CardRecord &card : cards_.records())
        scanned += card.Scanned ? 1 : 0;
    compositeCheck_->setVisible(scanned >= 2);
}

bool frmMain::cardFileUsable(int index)
{
    CardRecord &card = cards_[index];
    const CardFileState now = cardFileState(card);
    if (now == CardFileState::Missing) {
        card.FileState = now;
        showMessage(this,
                    programText("The image file of " + card.FileTitle + " is missing:\r" + card.FilePath +
                                "\rIts stored figures stand until the file is back."),
                    QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    if (now == CardFileState::Changed &&
        showMessage(this,
                    programText("The image file of " + card.FileTitle +
                                " is not the one its figures were made from.\rScan the file as it is now?"),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) != QMessageBox::Yes)
        return false;
    if (card.FileState != CardFileState::Present || now != CardFileState::Present) {
        // From now on the card stands for the file as it is.
        card.FileState = CardFileState::Present;
        card.ContentHash.clear();
        (void)noteCardFile(card);
        cardStrip_->setTabIcon(index - 1, QIcon());
        shownCard_ = 0;
    }
    return true;
}

bool frmMain::swathOffered() const
{
    return line_.HasSwath && line_.Deposit.Widths.size() >= 3;
}

bool frmMain::showCardPositions(bool acceptOnly)
{
    const std::string path = cards_.empty() ? std::string() : cards_[currentCard_].FilePath;
    const std::string position1 = prefs_.Spray[Sample_Position1];
    const std::string interval = prefs_.Spray[Sample_Interval];
    frmCardPos window(cards_, prefs_.Spray, store_, module_.Metric, acceptOnly, this);
    window.exec();
    if (window.lineOrderChanged()) {
        passes_[static_cast<std::size_t>(currentPass_) - 1].OrderEdited = true;
        currentCard_ = std::max(1, findCardByPath(cards_, path));
        shownCard_ = 0;
        if (!compositeMode())
            rebuildCardStrip();
    }
    updateTrialMark();
    return window.placesChanged() || prefs_.Spray[Sample_Position1] != position1 ||
           prefs_.Spray[Sample_Interval] != interval;
}

} // namespace vex::ui

namespace vex::ui {

std::string frmMain::confidenceText(bool swath)
{
    constexpr int Replicates = 1000;
    if (!prefs_.ConfidenceIntervals || cards_.empty())
        return {};
    if (!compositeMode()) {
        const CardRecord &card = cards_[currentCard_];
        // Intervals of a range inside the card are not worked out.
        if (rangeSelected(false, line_.All, card, view_.RangeLow, view_.RangeHigh))
            return {};
        return intervalsText(cardIntervals(card, Replicates));
    }
    // The mean of passes has no one line of cards to resample.
    if (meanShown_)
        return {};
    const std::string key = std::to_string(line_.All.VMD) + "|" + std::to_string(line_.Range.VMD) + "|" +
                            std::to_string(line_.RangeSelected) + "|" + std::to_string(line_.Deposit.SelectedWidth) +
                            "|" + trialStateKey();
    if (key != lineIntervalsKey_) {
        // Every core: the window waits for them.
        lineIntervals_ = lineIntervals(cards_, line_, analysisSettings(), Replicates, BootstrapSeed,
                                       static_cast<int>(std::max(1U, std::thread::hardware_concurrency())));
        lineIntervalsKey_ = key;
    }
    // The COV's interval is that of the deposit at its chosen width.
    if (swath && (view_.CurrentProfile == DropDensityProfile || line_.Deposit.SelectedWidth < 1))
        return {};
    return intervalsText(lineIntervals_, swath);
}

} // namespace vex::ui
