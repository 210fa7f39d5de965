#include "app/ui/ScanController.h"

#include "analysis/StainMap.h"
#include "analysis/StainScan.h"
#include "app/ui/BackgroundWork.h"
#include "app/ui/CardPicture.h"
#include "app/ui/CardView.h"
#include "app/ui/FindCardsDialog.h"
#include "app/ui/frmMain.h"
#include "intake/CardLoading.h"
#include "intake/ColourPass.h"
#include "intake/ColourReduction.h"
#include "intake/Resolution.h"
#include "intake/qt/CardOpening.h"
#include "intake/qt/PictureLoader.h"
#include "intake/ui/BackgroundColorForm.h"
#include "line/CardPositions.h"
#include "line/StainTable.h"
#include "line/StaleFigures.h"
#include "model/CardGeometry.h"
#include "templates/FoundCardFiles.h"
#include "templates/ui/LoadTemplateForm.h"
#include "text/DialogResults.h"
#include "text/WholeFile.h"
#include "trial/CardFileCheck.h"
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabBar>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace vex::ui {

namespace {

const QString PlainCaption = QStringLiteral("Quarrow Vexolin");

// Steps of the bar while a photo's colours are reduced.
constexpr std::uint64_t ReductionSteps = 1000;

inline constexpr const char *NoStainsMessage = "Vexolin did not find any\rvalid spots on this card.";

// "folder/", "name" of a path.
std::pair<std::string, std::string> splitPath(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::make_pair(std::string("./"), path)
                                      : std::make_pair(path.substr(0, slash + 1), path.substr(slash + 1));
}

} // namespace

class ScanController::Work {
public:
    explicit Work(ScanController &controller) : c_(controller)
    {
        frmMain &w = c_.w_;
        if (c_.depth_++ == 0) {
            w.view_.CancelRequested = false;
            // Until the work knows how long it is, the bar only shows it is under way.
            w.progressBar_->setRange(0, 0);
            w.setBusy(true);
        }
        w.cancelButton_->setEnabled(true);
    }
    ~Work()
    {
        frmMain &w = c_.w_;
        if (--c_.depth_ == 0) {
            w.cancelButton_->setEnabled(false);
            w.setBusy(false);
        }
    }
    Work(const Work &) = delete;
    Work &operator=(const Work &) = delete;

private:
    ScanController &c_;
};

class ScanController::Progress {
public:
    // Bar steps of work that fills a part of the bar.
    static constexpr int Steps = 10000;

    Progress(QProgressBar *bar, std::uint64_t total, std::uint64_t divisor = 1, Share share = {})
        : bar_(bar), total_(std::max<std::uint64_t>(total, 1)), divisor_(divisor), share_(share),
          step_(std::max<std::uint64_t>(total / 200, 1))
    {
        bar_->setRange(0, share_.whole() ? static_cast<int>(total / divisor_) : Steps);
        bar_->setValue(valueAt(0));
    }
    // Reports still queued when the work is over would move the bar back
    // from where the next work put it.
    ~Progress() { *alive_ = false; }
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // From the worker thread.  Events queued by thousands would keep the
    // window from answering as surely as no events at all.
    void operator()(std::uint64_t at)
    {
        if (at < last_ + step_ && at != 0 && at < total_)
            return;
        last_ = at;
        QProgressBar *bar = bar_;
        postToGui(bar, [bar, alive = alive_, value = valueAt(at)] {
            if (*alive)
                bar->setValue(value);
        });
    }

private:
    int valueAt(std::uint64_t at) const
    {
        if (share_.whole())
            return static_cast<int>(at / divisor_);
        const double part = std::min(1.0, static_cast<double>(at) / static_cast<double>(total_));
        return static_cast<int>(std::lround(Steps * (share_.From + (share_.To - share_.From) * part)));
    }

    QProgressBar *bar_;
    std::uint64_t total_;
    std::uint64_t divisor_;
    Share share_;
    std::uint64_t step_;
    std::uint64_t last_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

ScanController::ScanController(frmMain &window) : w_(window)
{}

void ScanController::showDone(double done)
{
    w_.progressBar_->setRange(0, Progress::Steps);
    w_.progressBar_->setValue(static_cast<int>(std::lround(Progress::Steps * std::clamp(done, 0.0, 1.0))));
}

void ScanController::loadTemplate()
{
    frmMain &w = w_;
    if (w.busy_)
        return;
    CCommonDialogs dialog;
    dialog.Init(&w);
    dialog.Title = "Load Card Template";
    dialog.Filter = "All Image Files|*.bmp;*.gif;*.tif|Bitmap Files (*.bmp)|*.bmp|GIF Files (*.gif)|*.gif|"
                    "TIF Files (*.tif)|*.tif";
    dialog.FilterIndex = 1;
    dialog.InitialDir = w.prefs_.InitialDir;
    if (!dialog.ShowOpen() || dialog.FileName.empty())
        return;
    cutSheet(dialog.FileName);
}

void ScanController::cutSheet(const std::string &path)
{
    frmMain &w = w_;
    LoadTemplateForm form(w.store_, path, w.prefs_.Analysis.Resolution, w.module_.RootDir, w.view_.LastClipIndex, &w,
                          w.module_.Metric);
    if (!form.SheetLoaded) {
        showMessage(&w, QStringLiteral("Error: ") + QString::fromStdString(form.LoadError));
        w.picture_->setFocus();
        return;
    }
    form.LoadImage = [this](const std::string &title, const std::string &folder, std::int32_t resolution) {
        return loadImage(title, folder, resolution);
    };
    if (!form.resetSettings().empty())
        showMessage(&w, programText(resetSettingsMessage(form.resetSettings())), QMessageBox::Ok, QMessageBox::Warning);
    form.exec();
    const auto slash = path.rfind('/');
    if (slash != std::string::npos)
        w.prefs_.InitialDir = path.substr(0, slash + 1);
    if (!w.cards_.empty()) {
        w.currentCard_ = w.cardCount();
        w.selectCurrentTab();
    } else {
        w.currentCard_ = 1;
    }
}

void ScanController::load()
{
    frmMain &w = w_;
    if (w.busy_)
        return;
    CCommonDialogs dialog;
    dialog.Init(&w);
    dialog.Title = LoadDialogTitle;
    dialog.InitialDir = w.prefs_.InitialDir;
    // Photos are offered whenever they can be opened: reduced, or searched for cards.
    dialog.Filter =
        loadDialogFilter(IntakeOptions{.ReduceColours = w.prefs_.Analysis.Intake.ReduceColours || w.prefs_.FindCards});
    dialog.FilterIndex = 1;
    dialog.AllowMultiSelect = true;
    QStringList chosen;
    if (dialog.ShowOpen())
        for (const std::string &path : splitFileResult(dialog.FileName))
            chosen << QString::fromStdString(path);
    loadFiles(chosen);
}

void ScanController::loadFiles(const QStringList &paths)
{
    frmMain &w = w_;
    if (w.busy_)
        return;
    // With Find cards on, each photo or colour sheet is searched for cards,
    // one after another, and the rest open as cards.
    QStringList cardFiles;
    for (const QString &p : paths) {
        if (w.prefs_.FindCards && !p.isEmpty() && isColourPicture(p.toStdString()))
            findCardsIn(p.toStdString());
        else
            cardFiles << p;
    }
    try {
        w.picture_->setFocus();
        std::vector<std::string> files;
        for (const QString &p : cardFiles)
            if (!p.isEmpty())
                files.push_back(p.toStdString());
        std::string lastName;
        const int cardsBefore = w.cardCount();
        // Only a card that was added becomes the current one: a file refused
        // or a load cancelled leaves the window as it was.
        if (files.size() == 1) {
            const auto [folder, title] = splitPath(files.front());
            w.prefs_.InitialDir = folder;
            if (loadImage(title, folder, 0))
                lastName = title;
        } else if (files.size() > 1) {
            // Loaded in descending order, so that the first file by name is
            // loaded last and becomes the current card.
            files = descendingLoadOrder(std::move(files), w.prefs_.Analysis.NaturalOrder);
            Work work(*this);
            const auto guard = qScopeGuard([this] { share_ = {}; });
            const double count = static_cast<double>(files.size());
            for (std::size_t k = 0; k < files.size(); ++k) {
                const auto [folder, title] = splitPath(files[k]);
                share_ = {static_cast<double>(k) / count, static_cast<double>(k + 1) / count};
                showDone(share_.From);
                if (loadImage(title, folder, 0))
                    lastName = title;
                w.prefs_.InitialDir = folder;
                showDone(share_.To);
                if (w.view_.CancelRequested)
                    break;
            }
        }
        if (w.cardCount() > 0 && !lastName.empty()) {
            // A line put in order by hand keeps it; the new cards follow.
            const int from =
                w.trial_->passes()[static_cast<std::size_t>(w.currentPass()) - 1].OrderEdited ? cardsBefore + 1 : 1;
            sortCardsByTitle(
                w.cards_,
                [&w](int i, int j) {
                    w.cardView_->setTabText(i - 1, QString::fromStdString(w.cards_[i].FileTitle));
                    w.cardView_->setTabText(j - 1, QString::fromStdString(w.cards_[j].FileTitle));
                },
                w.prefs_.Analysis.NaturalOrder, from);
            w.currentCard_ = findCardByTitle(w.cards_, lastName);
            w.shownCard_ = w.currentCard_ - 1;
            w.resolutionButton_->show();
            if (w.isMinimized())
                w.showNormal();
            w.selectCurrentTab();
        }
    } catch (const std::exception &e) {
        showMessage(&w, programText(openCommandErrorMessage(e.what())));
    }
    w.cancelButton_->setEnabled(false);
    w.view_.CancelRequested = false;
}

bool ScanController::loadImage(const std::string &fileTitle, const std::string &pathName, std::int32_t resolution)
{
    frmMain &w = w_;
    w.lineView_->setShown(false);
    const IntakeOptions intake = w.prefs_.Analysis.Intake;
    if (!isCardFileName(fileTitle, intake)) {
        showMessage(&w, programText(unsupportedTypeMessage(fileTitle)), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    const std::string fullPath = withTrailingSeparator(pathName) + fileTitle;
    if (const int existing = findCardByPath(w.cards_, fullPath)) {
        showMessage(&w, programText(alreadyOpenedMessage(w.cards_[existing].FileTitle)));
        return false;
    }

    // Decoding and reducing a photo's colours takes seconds: the same
    // opening and record as the batch tool's, on a worker thread.
    struct Loaded {
        OpenedImage Opened;
        std::optional<CardRecord> Card;
    };
    const std::int32_t defaultRes = w.prefs_.Analysis.Resolution;
    const bool fromFile = w.prefs_.Analysis.ResolutionFromFile;
    std::optional<Loaded> loaded;
    // The caption names the card while it is read; a card refused leaves
    // the caption as it was.
    const QString caption = w.baseCaption_;
    w.setCaption(PlainCaption + QStringLiteral(" -- ") + QString::fromStdString(fileTitle));
    {
        Work work(*this);
        // A photo's colours take most of the time: the bar follows them, and
        // Cancel stops them.
        Progress progress(w.progressBar_, ReductionSteps, 1, share_);
        loaded = runInBackground([&] {
            const ReductionWatch watch([&w, &progress](double done) {
                progress(static_cast<std::uint64_t>(done * ReductionSteps));
                return !w.view_.CancelRequested;
            });
            Loaded l{openCardImage(fileTitle, pathName, intake), std::nullopt};
            if (!l.Opened.ok())
                return l;
            const DecodeResult &decoded = l.Opened->Decoded;
            CardRecord card =
                newCardRecord(fileTitle, pathName, decoded->Image.Width, decoded->Image.Height, defaultRes);
            noteDecodedFacts(card, decoded);
            // Noted of the bytes just decoded: a trial saved later tells when
            // the file has changed.  Not being able to note it is no reason to
            // refuse the card.
            (void)noteCardFile(card, decoded);
            applyResolution(card, resolution > 0 ? resolution
                                                 : resolutionForNewCard(defaultRes, card.RecordedResolution, fromFile));
            l.Card = std::move(card);
            return l;
        });
    }
    // Stopped while it was read, the card is not added.
    if (w.view_.CancelRequested || !loaded->Opened.ok()) {
        w.setCaption(caption);
        if (!w.view_.CancelRequested)
            showMessage(&w, programText(loaded->Opened.reason()), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    if (!loaded->Opened->Warnings.empty()) {
        std::string text = "'" + fileTitle + "' was opened, with this to note:";
        for (const std::string &warning : loaded->Opened->Warnings)
            text += "\r" + warning;
        showMessage(&w, programText(text), QMessageBox::Ok, QMessageBox::Warning);
    }
    w.addCard(std::move(*loaded->Card));
    w.setCaption(PlainCaption + QStringLiteral(" -- ") + QString::fromStdString(fileTitle));
    w.resetColourDisplay();
    return true;
}

bool ScanController::runColourPassFor(int index)
{
    frmMain &w = w_;
    if (index < 1 || index > w.cardCount())
        return false;
    if (w.cards_[index].FileState != CardFileState::Present && !w.cardFileUsable(index))
        return false;
    // Asked before the scan starts, not after the colour questions.
    if (!w.mayWriteBeside(index))
        return false;
    CardRecord &card = w.cards_[index];
    Work work(*this);
    // Opened as the batch tool opens a card, with the same refusals.
    // Plain names: clang 14 cannot capture a structured binding in a lambda.
    const auto path = splitPath(card.FilePath);
    const std::string folder = path.first, title = path.second;
    const IntakeOptions options = intakeOptionsFor(card);
    const OpenedImage opened = runInBackground([&] { return openCardImage(title, folder, options); });
    if (w.view_.CancelRequested)
        return false;
    if (!opened.ok()) {
        showMessage(&w, programText(opened.reason()));
        return false;
    }
    const DecodeResult &decoded = opened->Decoded;
    // The questions come from the worker thread and are asked on the window's,
    // which alone may show them; the pass waits for the answer.
    auto ask = [&](BackgroundColorForm::Question question, std::uint8_t background, std::uint8_t dither,
                   bool &disable) {
        return onGuiThread(&w, [&] {
            BackgroundColorForm form(question, toQImage(decoded->Image), decoded->Image.PaletteBgr, &w);
            form.FileNum = index;
            form.BackgroundColour = background;
            form.DitherColour = dither;
            form.prepare();
            form.exec();
            if (form.DisableWarning)
                disable = true;
            return question == BackgroundColorForm::Question::Background ? form.BackgroundColour : form.DitherColour;
        });
    };
    ColourQuestions questions;
    questions.AskBackground = [&](std::uint8_t proposed, bool &disable) {
        return ask(BackgroundColorForm::Question::Background, proposed, 0, disable);
    };
    questions.AskDither = [&](std::uint8_t background, std::uint8_t candidate, bool &disable) {
        return ask(BackgroundColorForm::Question::Dither, background, candidate, disable);
    };
    Progress progress(w.progressBar_, static_cast<std::uint64_t>(std::max(decoded->Image.Height, 1)), 1, share_);
    PassCallbacks callbacks;
    callbacks.CancelRequested = [&w] { return bool(w.view_.CancelRequested); };
    callbacks.Progress = [&progress](std::int32_t row) { progress(static_cast<std::uint64_t>(row)); };
    // The preferences stay the window's: the pass answers into copies.
    bool noBackgroundWarning = w.prefs_.DisableBackgroundWarning;
    bool noDitherWarning = w.prefs_.DisableDitherWarning;
    // The pass fills a copy, so that the window may draw the card meanwhile;
    // the stain pixels, which the pass rebuilds, move over instead.
    CardRecord working;
    {
        ForegroundPixelList pixels = std::exchange(card.ForegroundPixels, ForegroundPixelList());
        working = card;
        working.ForegroundPixels = std::move(pixels);
    }
    Status read;
    const PassOutcome outcome = runInBackground([&, &card = working] {
        const PassOutcome done =
            runColourPass(card, decoded->Image, noBackgroundWarning, noDitherWarning, questions, callbacks);
        if (done != PassOutcome::Complete)
            return done;
        // As the batch tool's analysis does: rows read in place from a file
        // cut short or rewritten under the pass give no card.
        read = decoded->Image.sourceIntact();
        if (!read.ok()) {
            card.ForegroundPixels.clear();
            card.ColoursKnown = false;
            return PassOutcome::Cancelled;
        }
        // The card's figures are now of the bytes this pass read, whatever
        // the file held when it was loaded.
        (void)noteCardFile(card, decoded);
        return done;
    });
    card = std::move(working);
    w.prefs_.DisableBackgroundWarning = noBackgroundWarning;
    w.prefs_.DisableDitherWarning = noDitherWarning;
    if (!read.ok())
        showMessage(&w, programText(unreadableFileMessage(card.FileTitle, read.reason())));
    return outcome == PassOutcome::Complete;
}

void ScanController::scanColour()
{
    frmMain &w = w_;
    if (w.busy_ || w.cards_.empty())
        return;
    w.resolutionButton_->setEnabled(false);
    w.picture_->setFocus();
    w.view_.CancelRequested = false;
    const bool completed = runColourPassFor(w.currentCard_);
    w.resolutionButton_->setEnabled(true);
    if (!completed) {
        w.view_.CancelRequested = false;
        w.applyCardState(w.cards_[w.currentCard_]);
        return;
    }
    // Showing the card again draws it with its new colours.
    w.selectCurrentTab();
    if (w.masking_->masking())
        w.applyMask();
}

void ScanController::scanColourAll()
{
    frmMain &w = w_;
    if (w.busy_ || w.cards_.empty())
        return;
    const int remembered = w.currentCard_;
    w.resolutionButton_->setEnabled(false);
    w.view_.CancelRequested = false;
    for (int i = 1; i <= w.cardCount(); ++i) {
        if (w.cards_[i].ColoursKnown)
            continue;
        w.currentCard_ = i;
        w.selectCurrentTab();
        if (!runColourPassFor(i) && w.view_.CancelRequested) {
            w.view_.CancelRequested = false;
            w.resolutionButton_->setEnabled(true);
            w.applyCardState(w.cards_[w.currentCard_]);
            return;
        }
    }
    w.currentCard_ = remembered;
    w.selectCurrentTab();
    w.resolutionButton_->setEnabled(true);
}

void ScanController::scanCard(int index)
{
    frmMain &w = w_;
    if (index < 1 || index > w.cardCount() || !w.mayWriteBeside(index))
        return;
    CardRecord &card = w.cards_[index];
    const AnalysisSettings settings = w.analysisSettings();
    CardFigures figures;
    bool noStains = false;
    {
        Work work(*this);
        const std::uint64_t entries = card.ForegroundPixels.size() + 1;
        // A bar counts in int; very large lists are shown in proportion.
        const std::uint64_t divisor = entries / static_cast<std::uint64_t>(std::numeric_limits<int>::max()) + 1;
        Progress progress(w.progressBar_, entries, divisor, share_);
        ScanCallbacks callbacks;
        callbacks.CancelRequested = [&w] { return bool(w.view_.CancelRequested); };
        callbacks.Progress = [&progress](std::uint64_t at) { progress(at); };
        // The window keeps where every stain lies, to outline it over the
        // card; the figures are the same with or without.
        ScanSettings scan = settings.Scan;
        scan.KeepStains = scan.KeepPixels = true;
        StainMap stains;
        const ScanResult result = runInBackground([&] {
            ScanResult r = traceStains(card.ForegroundPixels, scan, callbacks);
            stains = StainMap(std::move(r.StainRuns), std::move(r.Stains));
            return r;
        });
        if (result.Cancelled)
            return;
        // The same measuring, figures check and scan log as the batch tool's,
        // here, where the window reads the card's record.
        figures = measureCard(card, result, settings, w.prefs_.Analysis.Log ? w.scanLogPathOf(index) : std::string());
        noStains = result.AcceptedAreas.empty();
        if (card.Scanned)
            noteFiguresBasis(card, settings);
        w.cardView_->setStains(QString::fromStdString(card.FilePath), std::move(stains), card.PixelSizeX,
                               w.module_.SpreadFactor);
    }
    if (!figures.Figures.ok()) {
        showMessage(&w,
                    programText("Vexolin cannot report the figures of " + card.FileTitle + ":\r" +
                                figures.Figures.reason() + "."),
                    QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    if (noStains)
        showMessage(&w, programText(NoStainsMessage));
    // The results in memory are complete whatever became of the log.
    if (!figures.Log.ok())
        showMessage(&w, QString::fromStdString(figures.Log.reason()), QMessageBox::Ok, QMessageBox::Warning);
    w.offerComposite();
    w.view_.MaxScannedDiameter = vex::maxScannedDiameter(w.cards_);
}

void ScanController::scan()
{
    frmMain &w = w_;
    if (w.busy_ || w.cards_.empty())
        return;
    w.picture_->setFocus();
    if (w.prefs_.Analysis.Log && w.prefs_.Analysis.LogSprayInfo && !w.confirmSprayInfo())
        return;
    w.resolutionButton_->setEnabled(false);
    w.view_.CancelRequested = false;
    scanCard(w.currentCard_);
    w.resolutionButton_->setEnabled(true);
    if (w.view_.CancelRequested) {
        w.view_.CancelRequested = false;
        return;
    }
    w.refreshLine();
    w.showScanResults();
}

void ScanController::scanAll()
{
    frmMain &w = w_;
    if (w.busy_ || w.cards_.empty())
        return;
    w.picture_->setFocus();
    const int remembered = w.currentCard_;
    if (w.prefs_.Analysis.Log && w.prefs_.Analysis.LogSprayInfo && !w.confirmSprayInfo())
        return;
    w.resolutionButton_->setEnabled(false);
    w.view_.CancelRequested = false;
    {
        // One bar for the whole line: each card fills its part of it, the
        // colour pass the first half where there is one.
        Work work(*this);
        const auto guard = qScopeGuard([this] { share_ = {}; });
        const double count = w.cardCount();
        for (int i = 1; i <= w.cardCount(); ++i) {
            const double from = (i - 1) / count, to = i / count;
            w.currentCard_ = i;
            w.selectCurrentTab();
            showDone(from);
            if (!w.cards_[i].ColoursKnown) {
                share_ = {from, (from + to) / 2};
                runColourPassFor(i);
                w.applyCardState(w.cards_[i]);
                share_ = {(from + to) / 2, to};
            } else {
                share_ = {from, to};
            }
            // A colour pass that was cancelled leaves nothing to scan.
            if (!w.view_.CancelRequested && w.cards_[i].ColoursKnown)
                scanCard(i);
            if (w.view_.CancelRequested)
                break;
            showDone(to);
        }
    }
    w.refreshLine();
    if (w.view_.CancelRequested) {
        w.resolutionButton_->setEnabled(true);
        w.view_.CancelRequested = false;
        return;
    }
    w.currentCard_ = remembered;
    w.selectCurrentTab();
    w.showScanResults();
    w.resolutionButton_->setEnabled(true);
}

void ScanController::reanalyseCards(const std::vector<int> &cards)
{
    frmMain &w = w_;
    if (w.busy_)
        return;
    w.view_.CancelRequested = false;
    for (const int i : cards) {
        if (i >= 1 && i <= w.cardCount() && w.cards_[i].ColoursKnown)
            scanCard(i);
        if (w.view_.CancelRequested)
            break;
    }
    w.view_.CancelRequested = false;
    w.refreshLine();
    w.showScanResults();
}

void ScanController::writeStains()
{
    frmMain &w = w_;
    if (w.busy_ || w.cards_.empty())
        return;
    std::string path;
    if (w.chooseStainFile) {
        if (!w.chooseStainFile(path))
            return;
    } else if (!chooseFileToSave(&w, "Save Stain Table", "Comma-Separated Values File (*.csv)|*.csv", "csv",
                                 saveDialogFolder(w.prefs_), path)) {
        return;
    }
    noteSavedTo(w.prefs_, path);
    writeStainTable(path);
}

bool ScanController::writeStainTable(const std::string &path)
{
    // The stains are traced again from the cards' pixels, which costs far
    // less than keeping a record of every stain of every card in case it is
    // asked for.
    frmMain &w = w_;
    if (w.outputRefused(path, false))
        return false;
    ScanSettings settings = w.analysisSettings().Scan;
    settings.KeepStains = true;
    const auto spread = w.module_.SpreadFactor;
    std::string table = stainTableHeader();
    int scanned = 0;
    bool cancelled = false;
    {
        Work work(*this);
        Progress progress(w.progressBar_, static_cast<std::uint64_t>(w.cardCount()));
        ScanCallbacks callbacks;
        callbacks.CancelRequested = [&w] { return bool(w.view_.CancelRequested); };
        const CardList &cards = w.cards_;
        runInBackground([&] {
            for (int i = 1; i <= cards.count() && !cancelled; ++i) {
                const CardRecord &card = cards[i];
                if (card.Scanned) {
                    const ScanResult scan = traceStains(card.ForegroundPixels, settings, callbacks);
                    cancelled = scan.Cancelled;
                    table += stainTableRows(card, scan.Stains, spread);
                    ++scanned;
                }
                progress(static_cast<std::uint64_t>(i));
            }
        });
    }
    w.view_.CancelRequested = false;
    if (cancelled)
        return false;
    if (scanned == 0) {
        showMessage(&w, programText("No card has been scanned yet: there is no stain to write."));
        return false;
    }
    if (const Status written = writeWholeFile(path, table); !written.ok()) {
        showMessage(&w, programText("The stain table could not be written:\r" + written.reason()), QMessageBox::Ok,
                    QMessageBox::Warning);
        return false;
    }
    return true;
}

void ScanController::findCards()
{
    frmMain &w = w_;
    if (w.busy_)
        return;
    CCommonDialogs dialog;
    dialog.Init(&w);
    dialog.Title = "Find Cards";
    dialog.Filter = "All Pictures|*.jpg;*.jpeg;*.png;*.bmp;*.gif;*.tif;*.tiff|JPEG Files (*.jpg)|*.jpg;*.jpeg|"
                    "PNG Files (*.png)|*.png|Bitmap Files (*.bmp)|*.bmp|TIF Files (*.tif)|*.tif;*.tiff";
    dialog.FilterIndex = 1;
    dialog.InitialDir = w.prefs_.InitialDir;
    if (!dialog.ShowOpen() || dialog.FileName.empty())
        return;
    findCardsIn(dialog.FileName);
}

void ScanController::findCardsIn(const std::string &path)
{
    if (w_.busy_)
        return;
    // A picture too large for the memory left is said, and nothing opens.
    try {
        findAndOpenCards(path);
    } catch (const std::exception &e) {
        showMessage(&w_, programText(openCommandErrorMessage(e.what())));
    }
}

void ScanController::findAndOpenCards(const std::string &path)
{
    frmMain &w = w_;
    const auto [folder, title] = splitPath(path);
    w.prefs_.InitialDir = folder;
    // The stored size, until another is chosen here; a size stored since
    // then goes over that choice.
    if (findSizeStored_ != w.prefs_.FoundCardSize) {
        findSizeStored_ = w.prefs_.FoundCardSize;
        findSize_ = w.prefs_.FoundCardSize;
    }
    std::optional<SearchPicture> picture;
    std::vector<FoundCard> found;
    std::string reason;
    // Cards already cut from this picture come back with the corners they
    // were accepted with, not as a new search would place them.
    std::vector<CardSource> sources;
    std::vector<const CardList *> lists{&w.cards_};
    for (const LinePass &pass : w.trial_->passes())
        lists.push_back(&pass.Cards);
    for (const CardList *cards : lists)
        for (const CardRecord &c : cards->records())
            if (c.Source)
                sources.push_back(*c.Source);
    std::optional<CutCards> before = cardsCutFrom(path, sources);
    const CardSize size = before ? before->Size : findSize_;
    {
        Work work(*this);
        Result<SearchPicture> read = runInBackground([&path] { return readSearchPicture(path); });
        if (!read.ok()) {
            showMessage(&w, QStringLiteral("Error: ") + QString::fromStdString(title + ": " + read.reason()));
            return;
        }
        picture = std::move(*read);
        const SearchPicture &searched = *picture;
        Result<std::vector<FoundCard>> cards =
            before ? Result<std::vector<FoundCard>>(std::move(before->Cards))
                   : runInBackground([&searched, size] { return vex::findCards(viewOf(searched.Colour), size); });
        // A picture without a card is still shown, for the card size to be changed.
        if (cards.ok())
            found = std::move(*cards);
        else
            reason = cards.reason();
    }
    FindCardsDialog check(*picture, std::move(found), size, &w);
    if (!reason.empty())
        check.showReason(reason);
    const int answer = check.exec();
    findSize_ = check.cardSize();
    if (check.rememberSize())
        w.prefs_.FoundCardSize = findSize_;
    findSizeStored_ = w.prefs_.FoundCardSize;
    if (answer != QDialog::Accepted || check.cards().empty())
        return;
    const std::optional<std::int32_t> scanDpi = scanResolution(picture->RecordedDpi);
    const SearchedPicture searched{picture->Indexed ? &*picture->Indexed : nullptr, &picture->Colour};
    const std::vector<FoundCard> &cards = check.cards();
    const CardSize chosen = check.cardSize();
    std::vector<Result<SavedFoundCard>> saved;
    {
        Work work(*this);
        saved = runInBackground([&] {
            std::vector<Result<SavedFoundCard>> files;
            for (std::size_t k = 0; k < cards.size(); ++k)
                files.push_back(saveFoundCard(path, searched, cards[k], static_cast<int>(k) + 1, chosen, scanDpi));
            return files;
        });
    }
    std::string failures;
    for (std::size_t k = 0; k < saved.size(); ++k) {
        const Result<SavedFoundCard> &file = saved[k];
        if (!file.ok()) {
            failures += "\r" + file.reason();
            continue;
        }
        // The same card accepted again (its file cut anew where it had gone)
        // is the card already in the line, which learns its source again.
        const auto [cardFolder, cardTitle] = splitPath(file->Path);
        const int there = findCardByPath(w.cards_, withTrailingSeparator(cardFolder) + cardTitle);
        if (there == 0 && !loadImage(cardTitle, cardFolder, file->ResolutionDpi))
            continue;
        const int at = there != 0 ? there : findCardByPath(w.cards_, withTrailingSeparator(cardFolder) + cardTitle);
        if (at == 0)
            continue;
        w.cards_[at].Source = cardSourceOf(path, *file, static_cast<int>(k) + 1, chosen);
        if (there != 0 && w.cards_[at].FileState != CardFileState::Present)
            w.cardFileUsable(at);
    }
    if (!failures.empty())
        showMessage(&w, QStringLiteral("Error: ") + programText("a card could not be saved:" + failures));
    if (!w.cards_.empty()) {
        w.currentCard_ = w.cardCount();
        w.selectCurrentTab();
    }
}

} // namespace vex::ui
