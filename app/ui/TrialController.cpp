#include "app/ui/TrialController.h"

#include "app/TrialState.h"
#include "app/ui/BackgroundWork.h"
#include "app/ui/FindCardsDialog.h"
#include "templates/FoundCardFiles.h"
#include "text/SameFile.h"
#include "trial/CardFileCheck.h"
#include "trial/TrialFile.h"
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <atomic>

namespace vex::ui {

namespace {
const char *const TrialFilter = "Vexolin Trial (*.vexolin)|*.vexolin";
} // namespace

TrialController::TrialController(Window window, QWidget *menuParent) : QObject(menuParent), w_(std::move(window))
{
    buildMenu(menuParent);
}

void TrialController::buildMenu(QWidget *menuParent)
{
    trialButton_ = new QPushButton(tr("Trial"), menuParent);
    trialButton_->setObjectName(QStringLiteral("btnTrial"));
    trialMenu_ = new QMenu(trialButton_);
    trialMenu_->setObjectName(QStringLiteral("mnuTrial"));
    auto action = [this](const QString &text, const char *name, const QKeySequence &keys, auto slot) {
        QAction *a = trialMenu_->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(keys);
        connect(a, &QAction::triggered, this, slot);
    };
    action(tr("Open Trial..."), "mnuOpenTrial", QKeySequence::Open, &TrialController::btnOpenTrial_Click);
    action(tr("Save Trial"), "mnuSaveTrial", QKeySequence::Save, &TrialController::btnSaveTrial_Click);
    action(tr("Save Trial As..."), "mnuSaveTrialAs", QKeySequence::SaveAs, &TrialController::btnSaveTrialAs_Click);
    trialMenu_->addSeparator();
    action(tr("New Pass"), "mnuNewPass", QKeySequence(), &TrialController::addPass);
    action(tr("Remove Pass"), "mnuRemovePass", QKeySequence(), &TrialController::removePass);
    meanMenu_ = trialMenu_->addMenu(tr("Passes in the Mean"));
    meanMenu_->setObjectName(QStringLiteral("mnuPassesInMean"));
    trialButton_->setMenu(trialMenu_);
    // The shortcuts work wherever the focus is in the window.
    menuParent->addActions(trialMenu_->actions());
    passCombo_ = new QComboBox(menuParent);
    passCombo_->setObjectName(QStringLiteral("cmbPass"));
    passCombo_->setToolTip(tr("The pass over the line shown, or the mean of the passes taken into it"));
    connect(passCombo_, &QComboBox::currentIndexChanged, this, &TrialController::cmbPass_Change);
    refreshPassControls();
}

template <class F>
auto TrialController::whileBusy(F &&work)
{
    // Inside a command that is busy already, the work leaves its bar alone.
    if (w_.Busy())
        return runInBackground(std::forward<F>(work));
    // No steps to count: the bar only shows that the window is at work.
    w_.Progress->setRange(0, 0);
    w_.SetBusy(true);
    struct Done {
        const TrialController *c;
        ~Done() { c->w_.SetBusy(false); }
    } done{this};
    return runInBackground(std::forward<F>(work));
}

// ---- Passes ----------------------------------------------------------------

CardList &TrialController::cardsOf(int pass)
{
    const bool shown = pass == currentPass_ && !meanShown_;
    return shown ? w_.Cards : passes_[static_cast<std::size_t>(pass) - 1].Cards;
}

void TrialController::stashCurrentPass()
{
    if (meanShown_)
        return;
    LinePass &pass = passes_[static_cast<std::size_t>(currentPass_) - 1];
    pass.Cards = std::move(w_.Cards);
    w_.Cards = CardList();
    pass.Spray = w_.Prefs.Spray;
}

void TrialController::takePass(int pass)
{
    currentPass_ = std::clamp(pass, 1, passCount());
    LinePass &taken = passes_[static_cast<std::size_t>(currentPass_) - 1];
    w_.Cards = std::move(taken.Cards);
    taken.Cards = CardList();
    w_.Prefs.Spray = taken.Spray;
    meanShown_ = false;
    w_.CurrentCard = 1;
    w_.ShownCard = 0;
}

void TrialController::selectPass(int pass)
{
    if (w_.Busy() || pass < 1 || pass > passCount() || (pass == currentPass_ && !meanShown_))
        return;
    const bool line = w_.CompositeShown();
    if (meanShown_)
        leaveMean();
    stashCurrentPass();
    takePass(pass);
    w_.MaxScannedDiameter = vex::maxScannedDiameter(w_.Cards);
    w_.RefreshLine();
    refreshPassControls();
    w_.Show(line ? Shown::PassAsLine : Shown::Pass);
    w_.UpdateMark();
}

void TrialController::addPass()
{
    if (w_.Busy())
        return;
    if (meanShown_)
        selectPass(currentPass_);
    LinePass pass;
    pass.Name = defaultPassName(passCount() + 1);
    // The same line, usually the same aircraft: the spray information
    // carries over and is changed where the pass differs.
    pass.Spray = w_.Prefs.Spray;
    passes_.push_back(std::move(pass));
    stashCurrentPass();
    takePass(passCount());
    w_.RefreshLine();
    refreshPassControls();
    w_.Show(Shown::Empty);
    w_.UpdateMark();
}

void TrialController::removePass()
{
    if (w_.Busy() || passCount() < 2 || meanShown_)
        return;
    if (!w_.Cards.empty() && showMessage(w_.Owner,
                                         tr("Remove %1 and its %2 cards from the trial?")
                                             .arg(QString::fromStdString(passes_[currentPass_ - 1].Name))
                                             .arg(w_.Cards.count()),
                                         QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) != QMessageBox::Yes)
        return;
    w_.Cards.clear();
    passes_.erase(passes_.begin() + (currentPass_ - 1));
    takePass(std::min(currentPass_, passCount()));
    w_.RefreshLine();
    refreshPassControls();
    w_.Show(Shown::Pass);
    w_.UpdateMark();
}

void TrialController::setPassInMean(int pass, bool inMean)
{
    if (pass < 1 || pass > passCount())
        return;
    passes_[static_cast<std::size_t>(pass) - 1].InMean = inMean;
    if (meanShown_)
        w_.RefreshComposite();
    refreshPassControls();
    w_.UpdateMark();
}

void TrialController::showMeanOfPasses()
{
    if (w_.Busy() || passCount() < 2)
        return;
    if (!meanShown_) {
        stashCurrentPass();
        meanShown_ = true;
    }
    w_.RefreshLine();
    w_.Cards = mean_.Points;
    w_.Prefs.Spray = mean_.Spray;
    w_.CurrentCard = 1;
    w_.ShownCard = 0;
    refreshPassControls();
    if (w_.Cards.empty()) {
        // No pass in the mean has a card: back to the pass.
        showMessage(w_.Owner, tr("None of the passes taken into the mean has a card to show."));
        selectPass(currentPass_);
        return;
    }
    w_.Show(Shown::Mean);
}

void TrialController::leaveMean()
{
    if (!meanShown_)
        return;
    w_.Cards = CardList();
    w_.Prefs.Spray = passes_[static_cast<std::size_t>(currentPass_) - 1].Spray;
    meanShown_ = false;
    takePass(currentPass_);
}

void TrialController::markOrderEdited()
{
    passes_[static_cast<std::size_t>(currentPass_) - 1].OrderEdited = true;
}

void TrialController::refreshPassControls()
{
    updating_ = true;
    passCombo_->clear();
    for (const LinePass &pass : passes_)
        passCombo_->addItem(QString::fromStdString(pass.Name));
    if (passCount() >= 2)
        passCombo_->addItem(tr("Mean of Passes"));
    passCombo_->setCurrentIndex(meanShown_ ? passCount() : currentPass_ - 1);
    passCombo_->setVisible(passCount() >= 2);
    updating_ = false;
    meanMenu_->clear();
    for (int p = 1; p <= passCount(); ++p) {
        QAction *in = meanMenu_->addAction(QString::fromStdString(passes_[static_cast<std::size_t>(p) - 1].Name));
        in->setCheckable(true);
        in->setChecked(passes_[static_cast<std::size_t>(p) - 1].InMean);
        connect(in, &QAction::toggled, this, [this, p](bool on) { setPassInMean(p, on); });
    }
    meanMenu_->setEnabled(passCount() >= 2);
}

void TrialController::cmbPass_Change(int index)
{
    if (updating_ || index < 0)
        return;
    if (index >= passCount())
        showMeanOfPasses();
    else
        selectPass(index + 1);
}

// ---- What a trial keeps ------------------------------------------------------

bool TrialController::modified() const
{
    // A trial never saved has something to lose once it holds a card or a
    // second pass; settings alone are the preferences' to keep.
    if (path_.empty())
        return passCount() > 1 || meanShown_ || !w_.Cards.empty();
    return w_.StateKey() != savedKey_;
}

QString TrialController::titled(const QString &caption) const
{
    const bool changed = modified();
    if (path_.empty() && !changed)
        return caption;
    return caption + QStringLiteral(" -- ") +
           (path_.empty() ? tr("Untitled trial") : QFileInfo(QString::fromStdString(path_)).fileName()) +
           (changed ? QStringLiteral(" *") : QString());
}

void TrialController::markSaved()
{
    savedKey_ = w_.StateKey();
}

// ---- Saving and opening ------------------------------------------------------

bool TrialController::outputRefused(const std::string &path, bool savingTrial, QWidget *parent)
{
    std::string taken;
    for (int p = 1; p <= passCount() && taken.empty(); ++p)
        for (const CardRecord &card : cardsOf(p).records())
            if (sameFile(path, card.FilePath)) {
                taken = "the card " + card.FilePath;
                break;
            }
    if (taken.empty() && !savingTrial && !path_.empty() && sameFile(path, path_))
        taken = "the open trial " + path_;
    if (taken.empty())
        return false;
    showMessage(parent != nullptr ? parent : w_.Owner,
                programText("Nothing is written to " + path + ":\rit is the same file as " + taken + "."),
                QMessageBox::Ok, QMessageBox::Warning);
    return true;
}

Status TrialController::noteCardFiles()
{
    // Cards loaded before their files were noted get noted now: each file is
    // read whole, so off the GUI thread, on copies of what the note needs.
    std::vector<CardRecord *> unnoted;
    std::vector<CardRecord> notes;
    for (int p = 1; p <= passCount(); ++p)
        for (CardRecord &card : cardsOf(p).records())
            if (card.ContentHash.empty() && card.FileState == CardFileState::Present) {
                unnoted.push_back(&card);
                CardRecord note;
                note.FileTitle = card.FileTitle;
                note.FilePath = card.FilePath;
                notes.push_back(std::move(note));
            }
    if (notes.empty())
        return {};
    Status noted = whileBusy([&notes] {
        Status all;
        for (CardRecord &note : notes)
            all.add(noteCardFile(note));
        return all;
    });
    for (std::size_t i = 0; i < notes.size(); ++i)
        if (!notes[i].ContentHash.empty()) {
            unnoted[i]->FileSize = notes[i].FileSize;
            unnoted[i]->ContentHash = notes[i].ContentHash;
        }
    return noted;
}

bool TrialController::save(const std::string &path)
{
    if (w_.Busy() || outputRefused(path, true, nullptr))
        return false;
    const Status noted = noteCardFiles();
    const Status saved = vex::saveTrial(path, w_.MakeTrial());
    if (!saved.ok()) {
        showMessage(w_.Owner, tr("Error: ") + programText(saved.reason()), QMessageBox::Ok, QMessageBox::Critical);
        return false;
    }
    path_ = path;
    markSaved();
    w_.UpdateMark();
    if (!noted.ok())
        showMessage(w_.Owner,
                    programText("The trial was saved, but the content of some card files could not be noted, so "
                                "a later change to them cannot be told:\r" +
                                noted.reason()),
                    QMessageBox::Ok, QMessageBox::Warning);
    return true;
}

void TrialController::btnSaveTrial_Click()
{
    if (path_.empty())
        btnSaveTrialAs_Click();
    else
        save(path_);
}

void TrialController::btnSaveTrialAs_Click()
{
    if (w_.Busy())
        return;
    std::string path;
    if (w_.ChooseToSave) {
        if (!w_.ChooseToSave(path))
            return;
    } else if (!chooseFileToSave(w_.Owner, "Save Trial", TrialFilter, "vexolin",
                                 path_.empty() ? saveDialogFolder(w_.Prefs)
                                               : QFileInfo(QString::fromStdString(path_)).absolutePath().toStdString(),
                                 path)) {
        return;
    }
    noteSavedTo(w_.Prefs, path);
    if (QFileInfo(QString::fromStdString(path)).suffix().isEmpty())
        path += TrialExtension;
    save(path);
}

bool TrialController::settleUnsaved()
{
    if (!modified())
        return true;
    const QString name = path_.empty() ? tr("the trial") : QFileInfo(QString::fromStdString(path_)).fileName();
    const QMessageBox::StandardButton answer =
        showMessage(w_.Owner, tr("Save the changes to %1 first?").arg(name),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Question);
    if (answer == QMessageBox::Discard)
        return true;
    if (answer != QMessageBox::Save)
        return false;
    btnSaveTrial_Click();
    return !modified();
}

void TrialController::btnOpenTrial_Click()
{
    if (w_.Busy())
        return;
    std::string path;
    if (w_.ChooseToOpen) {
        if (!w_.ChooseToOpen(path))
            return;
    } else {
        CCommonDialogs dialog;
        dialog.Init(w_.Owner);
        dialog.Title = "Open Trial";
        dialog.Filter = TrialFilter;
        dialog.InitialDir = w_.Prefs.InitialDir;
        if (!dialog.ShowOpen())
            return;
        path = dialog.FileName;
    }
    open(path);
}

void TrialController::checkFiles(Trial &t)
{
    int total = 0;
    for (const LinePass &p : t.Passes)
        total += p.Cards.count();
    w_.Progress->setRange(0, std::max(total, 1));
    w_.Progress->setValue(0);
    w_.CancelRequested = false;
    w_.SetBusy(true);
    w_.Cancel->setEnabled(true);
    std::atomic<bool> stop{false};
    {
        // Progress queued on `relay` is dropped with it once the check is over.
        QObject relay;
        runInBackground([&] {
            checkCardFiles(t, [&](int done, int) {
                postToGui(&relay, [this, done, &stop] {
                    w_.Progress->setValue(done);
                    if (w_.CancelRequested)
                        stop = true;
                });
                return stop.load();
            });
        });
    }
    w_.CancelRequested = false;
    w_.Cancel->setEnabled(false);
    w_.SetBusy(false);
}

bool TrialController::open(const std::string &path)
{
    if (w_.Busy() || !settleUnsaved())
        return false;
    Result<Trial> opened = vex::openTrial(path);
    if (!opened.ok()) {
        showMessage(w_.Owner, programText(opened.reason()), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    Trial &t = opened.value();
    checkFiles(t);
    takeOpened(t, path);
    w_.Show(Shown::Opened);
    markSaved();
    w_.UpdateMark();
    reportFileStates();
    return true;
}

void TrialController::takeOpened(Trial &t, const std::string &path)
{
    outsideCards_.clear();
    for (const LinePass &p : t.Passes)
        for (const CardRecord &c : p.Cards.records())
            if (cardOutsideTrialFolder(c.FilePath, path))
                outsideCards_.emplace(c.FilePath, false);
    if (meanShown_)
        leaveMean();
    w_.Cards.clear();
    passes_ = std::move(t.Passes);
    if (passes_.empty())
        passes_.push_back(LinePass{defaultPassName(1), {}, {}, true, false});
    w_.ApplySettings(t.Settings);
    takePass(t.CurrentPass);
    path_ = path;
    w_.Prefs.InitialDir = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString() + "/";
    w_.MaxScannedDiameter = vex::maxScannedDiameter(w_.Cards);
    w_.Line = LineResults();
    w_.RefreshLine();
    refreshPassControls();
}

void TrialController::reportFileStates()
{
    int missing = 0;
    int changed = 0;
    std::vector<std::pair<int, int>> cuttable; // pass, card
    QStringList pictures;
    for (int p = 1; p <= passCount(); ++p) {
        const CardList &cards = cardsOf(p);
        for (int k = 1; k <= cards.count(); ++k) {
            const CardRecord &c = cards[k];
            missing += c.FileState == CardFileState::Missing;
            changed += c.FileState == CardFileState::Changed;
            if (const std::string picture = pictureToCutAgain(c); !picture.empty()) {
                cuttable.emplace_back(p, k);
                const QString name = QFileInfo(QString::fromStdString(picture)).fileName();
                if (!pictures.contains(name))
                    pictures << name;
            }
        }
    }
    if (missing + changed == 0)
        return;
    QString text = tr("%1 card files are missing and %2 have changed since the trial was saved.\rTheir stored "
                      "figures stand; a card can be scanned again once its file is back.")
                       .arg(missing)
                       .arg(changed);
    if (cuttable.empty()) {
        showMessage(w_.Owner, text.replace(QLatin1Char('\r'), QLatin1Char('\n')), QMessageBox::Ok,
                    QMessageBox::Warning);
        return;
    }
    text += tr("\r%1 of the missing cards were cut from pictures that are still there: %2.\rCut them again from "
               "those pictures, with the corners saved in the trial?")
                .arg(cuttable.size())
                .arg(pictures.join(QStringLiteral(", ")));
    if (showMessage(w_.Owner, text.replace(QLatin1Char('\r'), QLatin1Char('\n')), QMessageBox::Yes | QMessageBox::No,
                    QMessageBox::Question) == QMessageBox::Yes)
        cutAgain(cuttable);
}

void TrialController::cutAgain(const std::vector<std::pair<int, int>> &cuttable)
{
    // Worked on copies off the GUI thread: each picture read once, each card
    // cut into its file, and the file then checked against what the card
    // noted, so that a picture changed since shows as a changed card file.
    std::vector<CardRecord> cards;
    for (const auto &at : cuttable)
        cards.push_back(cardsOf(at.first)[at.second]);
    struct Outcome {
        CardFileState State = CardFileState::Missing;
        std::string Problem;
    };
    const std::vector<Outcome> outcomes = whileBusy([&cards] {
        std::vector<Outcome> done(cards.size());
        std::map<std::string, Result<SearchPicture>> read;
        for (std::size_t i = 0; i < cards.size(); ++i) {
            const std::string &path = cards[i].Source->PicturePath;
            auto picture = read.find(path);
            if (picture == read.end())
                picture = read.emplace(path, readSearchPicture(path)).first;
            Status cut = picture->second.ok() ? Status() : Status::failure(picture->second.reason());
            if (cut.ok()) {
                const SearchPicture &p = *picture->second;
                const SearchedPicture searched{p.Indexed ? &*p.Indexed : nullptr, &p.Colour};
                cut = cutCardAgain(cards[i], searched, scanResolution(p.RecordedDpi));
            }
            done[i].Problem = cut.ok() ? std::string() : cards[i].FileTitle + ": " + cut.reason();
            done[i].State = cut.ok() ? cardFileState(cards[i]) : CardFileState::Missing;
        }
        return done;
    });
    std::string problems;
    int back = 0;
    int differ = 0;
    for (std::size_t i = 0; i < cuttable.size(); ++i) {
        const auto [pass, k] = cuttable[i];
        cardsOf(pass)[k].FileState = outcomes[i].State;
        back += outcomes[i].State == CardFileState::Present;
        differ += outcomes[i].State == CardFileState::Changed;
        if (!outcomes[i].Problem.empty())
            problems += "\r" + outcomes[i].Problem;
        if (outcomes[i].State != CardFileState::Missing && pass == currentPass_ && !meanShown_)
            w_.FileBack(k);
    }
    std::string told = std::to_string(back) + " cards were cut again as they were saved.";
    if (differ > 0)
        told += "\r" + std::to_string(differ) +
                " came out otherwise than their figures were made from: their pictures have changed since.";
    if (!problems.empty())
        told += "\rThese could not be cut again:" + problems;
    showMessage(w_.Owner, programText(told), QMessageBox::Ok,
                problems.empty() && differ == 0 ? QMessageBox::Information : QMessageBox::Warning);
}

// ---- Card files ----------------------------------------------------------------

std::string TrialController::shownName(const CardRecord &card) const
{
    return outsideCards_.count(card.FilePath) != 0 ? card.FilePath : card.FileTitle;
}

bool TrialController::mayWriteBeside(int index, const std::string &ask)
{
    const auto outside = outsideCards_.find(w_.Cards[index].FilePath);
    if (!w_.Prefs.Analysis.Log || outside == outsideCards_.end() || outside->second)
        return true;
    const std::string log = w_.ScanLogPath(index);
    if (showMessage(w_.Owner,
                    programText("The image file of this card lies outside the trial's folder:\r" + outside->first +
                                "\rIts scan log is written there:\r" + log + "\r" + ask),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning) != QMessageBox::Yes)
        return false;
    outside->second = true;
    return true;
}

bool TrialController::cardFileUsable(int index)
{
    CardRecord &card = w_.Cards[index];
    // The file is read whole to compare it: off the GUI thread, on a copy of
    // what the comparison needs.
    CardRecord noted;
    noted.FileTitle = card.FileTitle;
    noted.FilePath = card.FilePath;
    noted.FileSize = card.FileSize;
    noted.ContentHash = card.ContentHash;
    const CardFileState now = whileBusy([&noted] { return cardFileState(noted); });
    if (now == CardFileState::Missing) {
        card.FileState = now;
        showMessage(w_.Owner,
                    programText("The image file of " + card.FileTitle + " is missing:\r" + card.FilePath +
                                "\rIts stored figures stand until the file is back." +
                                (pictureToCutAgain(card).empty()
                                     ? std::string()
                                     : "\rIt was cut from " + card.Source->PicturePath +
                                           ", which is still there: Find Cards on that picture cuts it again.")),
                    QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    if (now == CardFileState::Changed &&
        showMessage(w_.Owner,
                    programText("The image file of " + card.FileTitle +
                                " is not the one its figures were made from.\rScan the file as it is now?"),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) != QMessageBox::Yes)
        return false;
    if (card.FileState != CardFileState::Present || now != CardFileState::Present) {
        // From now on the card stands for the file as it is.
        CardRecord fresh;
        fresh.FileTitle = card.FileTitle;
        fresh.FilePath = card.FilePath;
        whileBusy([&fresh] { (void)noteCardFile(fresh); });
        card.FileState = CardFileState::Present;
        card.ContentHash = fresh.ContentHash;
        if (!fresh.ContentHash.empty())
            card.FileSize = fresh.FileSize;
        w_.FileBack(index);
    }
    return true;
}

} // namespace vex::ui
