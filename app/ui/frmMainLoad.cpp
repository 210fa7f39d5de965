// Opening card images from the main window: the open command, the checks a
// file passes on the way to the card strip, and cutting a sheet of cards by
// a template.

#include "analysis/ResultGraph.h"
#include "analysis/ui/HueHistogramView.h"
#include "analysis/ui/ResultGraphView.h"
#include "app/TempFiles.h"
#include "app/ui/CardPicture.h"
#include "app/ui/CardView.h"
#include "app/ui/LineView.h"
#include "app/ui/frmMain.h"
#include "intake/BmpFile.h"
#include "intake/CardLoading.h"
#include "intake/ColourPass.h"
#include "intake/GifHeader.h"
#include "intake/Resolution.h"
#include "intake/qt/CardOpening.h"
#include "intake/qt/PictureLoader.h"
#include "intake/ui/BackgroundColorForm.h"
#include "intake/ui/InfoForm.h"
#include "intake/ui/frmResolution.h"
#include "line/CardPositions.h"
#include "line/ui/SprayLineGraphView.h"
#include "line/ui/SwathGraphView.h"
#include "line/ui/frmCardPos.h"
#include "model/CardGeometry.h"
#include "templates/ui/LoadTemplateForm.h"
#include "text/DialogResults.h"
#include "text/Settings.h"
#include "trial/CardFileCheck.h"
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <cmath>
#include <fstream>

namespace vex::ui {

namespace {
const QString PlainCaption = QStringLiteral("Quarrow Vexolin");
} // namespace

void frmMain::btnLoadTemplate_Click()
{
    if (busy_)
        return;
    CCommonDialogs dialog;
    dialog.Init(this);
    dialog.Title = "Load Card Template";
    dialog.Filter = "All Image Files|*.bmp;*.gif;*.tif|Bitmap Files (*.bmp)|*.bmp|GIF Files (*.gif)|*.gif|"
                    "TIF Files (*.tif)|*.tif";
    dialog.FilterIndex = 1;
    dialog.InitialDir = prefs_.InitialDir;
    if (!dialog.ShowOpen() || dialog.FileName.empty())
        return;
    cutSheet(dialog.FileName);
}

void frmMain::cutSheet(const std::string &path)
{
    LoadTemplateForm form(store_, path, prefs_.DefaultRes, module_.RootDir, view_.LastClipIndex, this);
    if (!form.SheetLoaded) {
        showMessage(this, QStringLiteral("Error: ") + QString::fromStdString(form.LoadError));
        picture_->setFocus();
        return;
    }
    form.LoadImage = [this](const std::string &title, const std::string &folder, std::int32_t resolution) {
        return loadImage(title, folder, resolution);
    };
    if (!form.resetSettings().empty())
        showMessage(this, programText(resetSettingsMessage(form.resetSettings())), QMessageBox::Ok,
                    QMessageBox::Warning);
    form.exec();
    const auto slash = path.rfind('/');
    if (slash != std::string::npos)
        prefs_.InitialDir = path.substr(0, slash + 1);
    if (!cards_.empty()) {
        currentCard_ = cardCount();
        selectCurrentTab();
    } else {
        currentCard_ = 1;
    }
}

void frmMain::btnLoad_Click()
{
    if (busy_)
        return;
    CCommonDialogs dialog;
    dialog.Init(this);
    dialog.Title = LoadDialogTitle;
    dialog.InitialDir = prefs_.InitialDir;
    dialog.Filter = loadDialogFilter(IntakeOptions{prefs_.ReduceColours});
    dialog.FilterIndex = 1;
    dialog.AllowMultiSelect = true;
    QStringList chosen;
    if (dialog.ShowOpen())
        for (const std::string &path : splitFileResult(dialog.FileName))
            chosen << QString::fromStdString(path);
    loadFiles(chosen);
}

void frmMain::loadFiles(const QStringList &paths)
{
    if (busy_)
        return;
    // "folder/", "name" of a path.
    auto split = [](const std::string &path) {
        const auto slash = path.find_last_of('/');
        return slash == std::string::npos ? std::make_pair(std::string("./"), path)
                                          : std::make_pair(path.substr(0, slash + 1), path.substr(slash + 1));
    };
    try {
        picture_->setFocus();
        std::vector<std::string> files;
        for (const QString &p : paths)
            if (!p.isEmpty())
                files.push_back(p.toStdString());
        std::string lastName;
        const int cardsBefore = cardCount();
        if (files.size() == 1) {
            const auto [folder, title] = split(files.front());
            prefs_.InitialDir = folder;
            loadImage(title, folder);
            lastName = title;
        } else if (files.size() > 1) {
            // Loaded in descending order, so that the first file by name is
            // loaded last and becomes the current card.
            files = descendingLoadOrder(std::move(files), prefs_.NaturalOrder);
            view_.CancelRequested = false;
            progressBar_->setRange(0, static_cast<int>(files.size()));
            progressBar_->setValue(0);
            setBusy(true);
            cancelButton_->setEnabled(true);
            for (const std::string &file : files) {
                const auto [folder, title] = split(file);
                loadImage(title, folder);
                prefs_.InitialDir = folder;
                progressBar_->setValue(progressBar_->value() + 1);
                QCoreApplication::processEvents();
                if (view_.CancelRequested)
                    break;
            }
            setBusy(false);
            lastName = split(files.back()).second;
        }
        if (cardCount() > 0 && !lastName.empty()) {
            // A line put in order by hand keeps it; the new cards follow.
            const int from =
                trial_->passes()[static_cast<std::size_t>(currentPass()) - 1].OrderEdited ? cardsBefore + 1 : 1;
            sortCardsByTitle(
                cards_,
                [this](int i, int j) {
                    cardView_->setTabText(i - 1, QString::fromStdString(cards_[i].FileTitle));
                    cardView_->setTabText(j - 1, QString::fromStdString(cards_[j].FileTitle));
                },
                prefs_.NaturalOrder, from);
            currentCard_ = findCardByTitle(cards_, lastName);
            shownCard_ = currentCard_ - 1;
            resolutionButton_->show();
            if (isMinimized())
                showNormal();
            selectCurrentTab();
        }
    } catch (const std::exception &e) {
        showMessage(this, programText(openCommandErrorMessage(e.what())));
    }
    cancelButton_->setEnabled(false);
    view_.CancelRequested = false;
}

bool frmMain::loadImage(const std::string &fileTitle, const std::string &pathName, std::int32_t resolution)
{
    lineView_->setShown(false);
    const IntakeOptions intake{prefs_.ReduceColours};
    if (!isCardFileName(fileTitle, intake)) {
        showMessage(this, programText(unsupportedTypeMessage(fileTitle)), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    const std::string fullPath = withTrailingSeparator(pathName) + fileTitle;
    if (const int existing = findCardByPath(cards_, fullPath)) {
        showMessage(this, programText(alreadyOpenedMessage(cards_[existing].FileTitle)));
        return false;
    }
    cancelButton_->setEnabled(true);

    const OpenedImage opened = openCardImage(fileTitle, pathName, intake);
    if (!opened.ok()) {
        showMessage(this, programText(opened.reason()), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    if (!opened->Warnings.empty()) {
        std::string text = "'" + fileTitle + "' was opened, with this to note:";
        for (const std::string &warning : opened->Warnings)
            text += "\r" + warning;
        showMessage(this, programText(text), QMessageBox::Ok, QMessageBox::Warning);
    }
    const DecodeResult &decoded = opened->Decoded;
    CardRecord card =
        newCardRecord(fileTitle, pathName, decoded->Image.Width, decoded->Image.Height, prefs_.DefaultRes);
    noteDecodedFacts(card, decoded);
    // Noted of the bytes just decoded: a trial saved later tells when the
    // file has changed.  Not being able to note it is no reason to refuse
    // the card.
    (void)noteCardFile(card, decoded);
    applyResolution(card, resolution > 0 ? resolution
                                         : resolutionForNewCard(prefs_.DefaultRes, card.RecordedResolution,
                                                                prefs_.ResolutionFromFile));
    addCard(std::move(card));
    setCaption(PlainCaption + QStringLiteral(" -- ") + QString::fromStdString(fileTitle));
    resetColourDisplay();
    return true;
}

void frmMain::resetColourDisplay()
{
    masking_->newCardLoaded();
}

} // namespace vex::ui
