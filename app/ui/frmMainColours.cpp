// The colour pass as the main window runs it: the background and dither
// questions, progress and cancel, for one card or all.

#include "analysis/ResultGraph.h"
#include "analysis/ui/HueHistogramView.h"
#include "analysis/ui/ResultGraphView.h"
#include "app/TempFiles.h"
#include "app/ui/CardPicture.h"
#include "app/ui/frmMain.h"
#include "intake/BmpFile.h"
#include "intake/CardLoading.h"
#include "intake/ColourPass.h"
#include "intake/GifHeader.h"
#include "intake/qt/CardOpening.h"
#include "intake/qt/PictureLoader.h"
#include "intake/ui/BackgroundColorForm.h"
#include "intake/ui/InfoForm.h"
#include "intake/ui/frmResolution.h"
#include "line/CardPositions.h"
#include "line/ui/SprayLineGraphView.h"
#include "line/ui/SwathGraphView.h"
#include "line/ui/frmCardPos.h"
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

bool frmMain::runColourPassFor(int index)
{
    if (index < 1 || index > cardCount())
        return false;
    if (cards_[index].FileState != CardFileState::Present && !cardFileUsable(index))
        return false;
    // Asked before the scan starts, not after the colour questions.
    if (!mayWriteBeside(index))
        return false;
    CardRecord &card = cards_[index];
    const DecodeResult decoded = loadIndexedImage(card.FilePath, intakeOptionsFor(card));
    if (!decoded.ok()) {
        showMessage(this, programText(unreadableFileMessage(card.FileTitle, decoded.reason())));
        return false;
    }
    const QImage picture = toQImage(decoded->Image);
    ColourQuestions questions;
    questions.AskBackground = [&](std::uint8_t proposed, bool &disable) {
        BackgroundColorForm form(BackgroundColorForm::Question::Background, picture, decoded->Image.PaletteBgr, this);
        form.FileNum = index;
        form.BackgroundColour = proposed;
        form.prepare();
        form.exec();
        if (form.DisableWarning)
            disable = true;
        return form.BackgroundColour;
    };
    questions.AskDither = [&](std::uint8_t background, std::uint8_t candidate, bool &disable) {
        BackgroundColorForm form(BackgroundColorForm::Question::Dither, picture, decoded->Image.PaletteBgr, this);
        form.FileNum = index;
        form.BackgroundColour = background;
        form.DitherColour = candidate;
        form.prepare();
        form.exec();
        if (form.DisableWarning)
            disable = true;
        return form.DitherColour;
    };
    PassCallbacks callbacks;
    callbacks.CancelRequested = [this] { return view_.CancelRequested; };
    callbacks.Progress = [this](std::int32_t row) {
        progressBar_->setValue(row);
        QCoreApplication::processEvents();
    };
    progressBar_->setRange(0, std::max(decoded->Image.Height, 1));
    progressBar_->setValue(0);
    setBusy(true);
    cancelButton_->setEnabled(true);
    const PassOutcome outcome = runColourPass(card, decoded->Image, prefs_.DisableBackgroundWarning,
                                              prefs_.DisableDitherWarning, questions, callbacks);
    setBusy(false);
    cancelButton_->setEnabled(false);
    if (outcome != PassOutcome::Complete)
        return false;
    // The card's figures are now of the bytes this pass read, whatever the
    // file held when it was loaded.
    (void)noteCardFile(card, decoded);
    return true;
}

void frmMain::btnScanColour_Click()
{
    if (busy_ || cards_.empty())
        return;
    resolutionButton_->setEnabled(false);
    picture_->setFocus();
    view_.CancelRequested = false;
    const bool completed = runColourPassFor(currentCard_);
    resolutionButton_->setEnabled(true);
    if (!completed) {
        view_.CancelRequested = false;
        applyCardState(cards_[currentCard_]);
        return;
    }
    // Showing the card again draws it with its new colours.
    selectCurrentTab();
    if (masking_->masking())
        applyMask();
}

void frmMain::btnScanColourAll_Click()
{
    if (busy_ || cards_.empty())
        return;
    const int remembered = currentCard_;
    resolutionButton_->setEnabled(false);
    view_.CancelRequested = false;
    for (int i = 1; i <= cardCount(); ++i) {
        if (cards_[i].ColoursKnown)
            continue;
        currentCard_ = i;
        selectCurrentTab();
        if (!runColourPassFor(i) && view_.CancelRequested) {
            view_.CancelRequested = false;
            resolutionButton_->setEnabled(true);
            applyCardState(cards_[currentCard_]);
            return;
        }
    }
    currentCard_ = remembered;
    selectCurrentTab();
    resolutionButton_->setEnabled(true);
}

} // namespace vex::ui
