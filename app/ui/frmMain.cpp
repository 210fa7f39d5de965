#include "app/ui/frmMain.h"

#include "analysis/ui/ResultGraphView.h"
#include "app/TempFiles.h"
#include "app/ui/CardPicture.h"
#include "app/ui/CardView.h"
#include "app/ui/FiguresPanel.h"
#include "app/ui/LineView.h"
#include "app/ui/ScanController.h"
#include "app/ui/Startup.h"
#include "intake/BmpFile.h"
#include "intake/CardLoading.h"
#include "intake/qt/PictureLoader.h"
#include "intake/ui/frmResolution.h"
#include "line/CardPositions.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vex::ui {

namespace {
const QString PlainCaption = QStringLiteral("Quarrow Vexolin");
} // namespace

QString cardCaption(const std::string &fileTitle, const QString &detail)
{
    return PlainCaption + QStringLiteral(" -- ") + QString::fromStdString(fileTitle) + QStringLiteral(" -- ") + detail;
}

frmMain::frmMain(SettingsStore &store, ModuleState &module, int screenHeightPixels, QWidget *parent)
    : QWidget(parent), store_(store), module_(module), tallLayout_(screenHeightPixels > 600)
{
    screenHeight_ = screenHeightPixels;
    setObjectName(QStringLiteral("frmMain"));
    setAcceptDrops(true);
    // The folder open dialogs start in until the user opens images somewhere:
    // the sample line shipped with the program, so that a first run has
    // cards to try, else the home folder.
    prefs_ = readPreferences(store_, module_, firstRunFolder(), &resetSettings_);
    // A folder since removed (or a stick no longer plugged in) is no place
    // to start a dialog in.
    if (!QFileInfo(QString::fromStdString(prefs_.InitialDir)).isDir())
        prefs_.InitialDir = firstRunFolder();
    if (!QFileInfo(QString::fromStdString(prefs_.SaveDir)).isDir())
        prefs_.SaveDir.clear();
    storedCardPositions(store_, resetSettings_);
    view_.HueColour = buildHueColour();
    scanner_ = std::make_unique<ScanController>(*this);
    buildControls();
    layOutControls();
    showEmptyState();
    masking_->setHueRange(prefs_.HueLow, prefs_.HueHigh, prefs_.HueInvert);
    // Opened at its laid-out size, not bounded to a part of the screen as a
    // window that can grow would otherwise be.
    ensurePolished();
    layout()->activate();
    resize(sizeHint());
    trial_->markSaved();
    qApp->installEventFilter(this);
}

frmMain::~frmMain()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

void frmMain::buildControls()
{
    auto button = [this](const QString &caption, const char *name) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    loadButton_ = button(tr("Load Image"), "btnLoad");
    loadTemplateButton_ = button(tr("Load Template"), "btnLoadTemplate");
    findCardsButton_ = button(tr("Find Cards"), "btnFindCards");
    findCardsButton_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    findCardsButton_->setToolTip(tr("Find the cards in a photo or a scanned sheet (Ctrl+Shift+F)"));
    scanButton_ = button(tr("Stain Count"), "btnScan");
    scanAllButton_ = button(tr("All"), "btnScanAll");
    scanColourButton_ = button(tr("Scan Colours"), "btnScanColour");
    scanColourAllButton_ = button(tr("All"), "btnScanColourAll");
    cancelButton_ = button(tr("Cancel"), "btnCancel");
    resolutionButton_ = button(tr("Resolution"), "btnChangeRes");
    preferencesButton_ = button(tr("Preferences"), "btnPrefs");
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    buildParts();
    for (QFrame *&line : lines_) {
        line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->hide();
    }

    connect(loadButton_, &QPushButton::clicked, this, &frmMain::btnLoad_Click);
    connect(loadTemplateButton_, &QPushButton::clicked, this, &frmMain::btnLoadTemplate_Click);
    connect(findCardsButton_, &QPushButton::clicked, this, &frmMain::btnFindCards_Click);
    connect(scanButton_, &QPushButton::clicked, this, &frmMain::btnScan_Click);
    connect(scanAllButton_, &QPushButton::clicked, this, &frmMain::btnScanAll_Click);
    connect(scanColourButton_, &QPushButton::clicked, this, &frmMain::btnScanColour_Click);
    connect(scanColourAllButton_, &QPushButton::clicked, this, &frmMain::btnScanColourAll_Click);
    connect(cancelButton_, &QPushButton::clicked, this, &frmMain::btnCancel_Click);
    connect(resolutionButton_, &QPushButton::clicked, this, &frmMain::btnChangeRes_Click);
    connect(preferencesButton_, &QPushButton::clicked, this, &frmMain::btnPrefs_Click);
    connect(cardView_, &CardView::tabClicked, this, &frmMain::ImageStrip_Click);
    connect(cardView_, &CardView::rightButton, this, &frmMain::showInfo);
    connectParts();
}

void frmMain::layOutControls()
{
    if (!module_.UiFontName.empty() || module_.UiFontSize > 0) {
        QFont f = font();
        if (!module_.UiFontName.empty())
            f.setFamily(QString::fromStdString(module_.UiFontName));
        if (module_.UiFontSize > 0)
            f.setPointSizeF(module_.UiFontSize);
        setFont(f);
    }

    auto *commands = new QHBoxLayout;
    for (QPushButton *b : {loadButton_, loadTemplateButton_, findCardsButton_, resolutionButton_, preferencesButton_,
                           trial_->trialButton()})
        commands->addWidget(b);
    commands->addWidget(trial_->passCombo());
    commands->addStretch();
    commands->addWidget(cancelButton_);

    auto *left = new QVBoxLayout;
    left->addLayout(commands);
    cardView_->layOut(tallLayout_, left);
    left->addWidget(progressBar_);

    auto pair = [](QWidget *first, QWidget *second) {
        auto *row = new QHBoxLayout;
        row->addWidget(first);
        row->addWidget(second);
        return row;
    };
    auto *right = new QVBoxLayout;
    right->addWidget(masking_);
    right->addLayout(pair(scanColourButton_, scanColourAllButton_));
    right->addLayout(pair(scanButton_, scanAllButton_));
    figures_->layOut();
    right->addWidget(figures_);
    lineView_->addTo(right);
    right->addStretch();

    auto *top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(right);
    // The window opens at its laid-out size and may grow, the card picture
    // taking the room; it shrinks down to what the panels need.
    top->setSizeConstraint(QLayout::SetMinimumSize);
}

void frmMain::buildParts()
{
    cardView_ = new CardView(this);
    picture_ = cardView_->picture();
    masking_ = new MaskingPanel({cards_, currentCard_, view_.HueColour}, this);
    figures_ = new FiguresPanel(this);
    lineView_ = new LineView(
        {.Owner = this,
         .Store = store_,
         .Prefs = prefs_,
         .Module = module_,
         .Cards = cards_,
         .Line = line_,
         .ScreenHeight = screenHeight_,
         .CurrentProfile = view_.CurrentProfile,
         .GraphMode = view_.GraphMode,
         .CancelRequested = view_.CancelRequested,
         .View = *cardView_,
         .Figures = *figures_,
         .Progress = progressBar_,
         .Busy = [this] { return busy_; },
         .SetBusy = [this](bool busy) { setBusy(busy); },
         .MeanShown = [this] { return meanShown(); },
         .SetCaption = [this](const QString &caption) { setCaption(caption); },
         .RefreshLine = [this] { refreshLine(); },
         .ShowStats = [this] { updateStatsLabels(); },
         .Settings = [this] { return analysisSettings(); },
         .CurrentCard = currentCard_,
         .RangeLow = view_.RangeLow,
         .RangeHigh = view_.RangeHigh,
         .StateKey = [this] { return trialStateKey(); },
         .ShowCardPositions = [this](bool acceptOnly) { return showCardPositions(acceptOnly); },
         .CheckDuplicatePositions = [this] { checkDuplicatePositions(); },
         .OutputRefused = [this](const std::string &path, QWidget *over) { return outputRefused(path, false, over); },
         .MayWriteBeside = [this](int card, const std::string &ask) { return mayWriteBeside(card, ask); },
         .ScanLogPath = [this](int card) { return scanLogPathOf(card); },
         .ColourPass = [this](int card) { runColourPassFor(card); },
         .Scan = [this](int card) { scanCard(card); },
         .ChooseResultsFile = chooseResultsFile},
        this);
    trial_ = new TrialController({.Owner = this,
                                  .Cards = cards_,
                                  .CurrentCard = currentCard_,
                                  .ShownCard = shownCard_,
                                  .Prefs = prefs_,
                                  .Line = line_,
                                  .MaxScannedDiameter = view_.MaxScannedDiameter,
                                  .CancelRequested = view_.CancelRequested,
                                  .Progress = progressBar_,
                                  .Cancel = cancelButton_,
                                  .Busy = [this] { return busy_; },
                                  .SetBusy = [this](bool busy) { setBusy(busy); },
                                  .CompositeShown = [this] { return compositeMode(); },
                                  .MakeTrial = [this] { return trial(); },
                                  .StateKey = [this] { return trialStateKey(); },
                                  .ApplySettings = [this](const AnalysisSettings &s) { applyTrialSettings(s); },
                                  .RefreshLine = [this] { refreshLine(); },
                                  .RefreshComposite = [this] { lineView_->refresh(); },
                                  .Show = [this](TrialController::Shown shown) { showPassCards(shown); },
                                  .UpdateMark = [this] { updateTrialMark(); },
                                  .ScanLogPath = [this](int card) { return scanLogPathOf(card); },
                                  .FileBack =
                                      [this](int card) {
                                          cardView_->markTab(card - 1, false);
                                          shownCard_ = 0;
                                      },
                                  .ChooseToSave = chooseTrialToSave,
                                  .ChooseToOpen = chooseTrialToOpen},
                                 this);
}

void frmMain::connectParts()
{
    connect(masking_, &MaskingPanel::maskChanged, this, &frmMain::applyMask);
    connect(masking_, &MaskingPanel::hueRangeChanged, this, &frmMain::markStaleCards);
    connect(masking_, &MaskingPanel::maskRemoved, this, [this] { cardView_->setColourTable({}); });
    connect(figures_, &FiguresPanel::optionClicked, this, &frmMain::GraphOption_Click);
    connect(figures_->graph(), &ResultGraphView::mousePressed, this, &frmMain::ResultPic_MouseDown);
    connect(figures_->graph(), &ResultGraphView::mouseMoved, this, &frmMain::ResultPic_MouseMove);
    connect(figures_->graph(), &ResultGraphView::mouseReleased, this, &frmMain::ResultPic_MouseUp);
    connect(lineView_, &LineView::compositeClicked, this, &frmMain::CompositeCheck_Click);
    connect(lineView_, &LineView::writeStainsClicked, this, &frmMain::btnWriteStains_Click);
    connect(lineView_, &LineView::widthChosen, this, &frmMain::optSwathWidth_Click);
}

bool frmMain::compositeMode() const
{
    return lineView_->shown();
}

int frmMain::addCard(CardRecord card)
{
    const QString title = QString::fromStdString(card.FileTitle);
    const int index = cards_.add(std::move(card));
    if (index == 1)
        cardView_->setTabText(0, title);
    else
        cardView_->appendTab(title);
    cardView_->fitCardLabels(index);
    resolutionButton_->show();
    resolutionButton_->setEnabled(true);
    scanColourButton_->setEnabled(true);
    scanColourAllButton_->setEnabled(true);
    return index;
}

void frmMain::selectCard(int index)
{
    if (index < 1 || index > cardCount())
        return;
    currentCard_ = index;
    selectCurrentTab();
}

void frmMain::selectCurrentTab()
{
    if (cards_.empty() || compositeMode())
        return;
    cardView_->selectTab(currentCard_ - 1);
}

void frmMain::ImageStrip_Click(int tabIndex)
{
    if (cards_.empty() || tabIndex < 0)
        return;
    if (compositeMode()) {
        lineView_->showTab(tabIndex);
        return;
    }
    if (tabIndex >= cardCount())
        return;
    currentCard_ = tabIndex + 1;
    showCard(currentCard_);
}

void frmMain::showCard(int index)
{
    const CardRecord &card = cards_[index];
    if (!isMinimized() && index != shownCard_) {
        setCaption(cardCaption(shownName(card), QStringLiteral("Loading Image")));
        const DecodeResult decoded = loadIndexedImage(card.FilePath, intakeOptionsFor(card));
        shownCard_ = index;
        cardView_->showImage(decoded.ok() ? toQImage(decoded->Image) : QImage(), QString::fromStdString(card.FilePath));
        if (masking_->masking() && card.ColoursKnown)
            applyMask();
    }
    cardView_->resetScrollBars();
    QString detail = QString::number(card.Resolution) + QStringLiteral(" dpi");
    if (card.Source)
        detail += tr(", from %1 #%2")
                      .arg(QFileInfo(QString::fromStdString(card.Source->PicturePath)).fileName())
                      .arg(card.Source->Index);
    // The figures shown of such a card are those stored with the trial.
    if (card.FileState == CardFileState::Missing)
        detail += tr(" -- file missing");
    else if (card.FileState == CardFileState::Changed)
        detail += tr(" -- file changed");
    setCaption(cardCaption(shownName(card), detail));
    applyCardState(card);
    markStaleCards();
}

void frmMain::applyCardState(const CardRecord &card)
{
    scanButton_->setEnabled(card.ColoursKnown);
    scanAllButton_->setEnabled(true);
    scanColourButton_->setEnabled(true);
    scanColourAllButton_->setEnabled(true);
    masking_->offerForCard(card.ColoursKnown);
    figures_->setVisible(card.Scanned);
    if (card.Scanned)
        showScanResults();
}

void frmMain::showEmptyState()
{
    cardView_->setTabs({tr("<No Image>")});
    cardView_->fitCardLabels(1);
    setCaption(PlainCaption);
    cardView_->clearImage();
    shownCard_ = 0;
    for (QWidget *w : {scanButton_, scanAllButton_, scanColourButton_, scanColourAllButton_})
        w->setEnabled(false);
    masking_->clear();
    cardView_->setScrollEnabled(false, true);
    resolutionButton_->hide();
    cancelButton_->setEnabled(false);
    setBusy(false);
    lineView_->clear();
    figures_->hide();
    currentCard_ = 1;
    view_.GraphMode = 1;
    figures_->showMode(view_.GraphMode, false);
    removeClipFiles(module_.RootDir);
}

void frmMain::closeSelectedCard()
{
    // While a card is worked on, its record must stay where it is.
    if (busy_ || compositeMode() || cards_.empty())
        return;
    const int k = cardView_->currentTab() + 1;
    if (k < 1 || k > cardCount())
        return;
    cards_.remove(k);
    const int count = cardCount();
    if (count == 0) {
        afterCardsClosed();
        return;
    }
    for (int i = 1; i <= count; ++i)
        cardView_->setTabText(i - 1, QString::fromStdString(shownName(cards_[i])));
    cardView_->fitCardLabels(count);
    cardView_->removeLastTab();
    currentCard_ = currentAfterClose(k, count);
    // The records moved, so whatever picture is loaded may belong to another card now.
    shownCard_ = 0;
    afterCardsClosed();
}

void frmMain::closeAllCards()
{
    if (busy_ || compositeMode())
        return;
    cards_.clear();
    afterCardsClosed();
    loadButton_->setFocus();
}

void frmMain::afterCardsClosed()
{
    view_.MaxScannedDiameter = vex::maxScannedDiameter(cards_);
    refreshLine();
    if (cards_.empty()) {
        showEmptyState();
        return;
    }
    offerComposite();
    selectCurrentTab();
}

bool frmMain::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    const bool ctrl = modifiers == Qt::ControlModifier;
    const bool ctrlShift = modifiers == (Qt::ControlModifier | Qt::ShiftModifier);

    if (ctrl && key == Qt::Key_P) {
        btnPrefs_Click();
    } else if (ctrl && key == Qt::Key_L) {
        btnLoad_Click();
    } else if (ctrl && key == Qt::Key_Tab) {
        if (!compositeMode() && !cards_.empty()) {
            currentCard_ = nextCard(currentCard_, cardCount());
            selectCurrentTab();
        }
    } else if ((ctrlShift && (key == Qt::Key_Backtab || key == Qt::Key_Tab)) || (ctrl && key == Qt::Key_Backtab)) {
        if (!compositeMode() && !cards_.empty()) {
            currentCard_ = previousCard(currentCard_, cardCount());
            selectCurrentTab();
        }
    } else if (ctrl && key == Qt::Key_S) {
        if (!cards_.empty() && !cards_[currentCard_].ColoursKnown)
            btnScanColour_Click();
        else
            btnScan_Click();
    } else if (ctrl && key == Qt::Key_A) {
        if (!cards_.empty() && !cards_[currentCard_].ColoursKnown)
            btnScanColourAll_Click();
        else
            btnScanAll_Click();
    } else if (ctrl && key == Qt::Key_R) {
        if (resolutionButton_->isEnabled() && resolutionButton_->isVisible())
            btnChangeRes_Click();
    } else if (ctrl && key == Qt::Key_C) {
        if (lineView_->compositeCheck()->isVisible())
            lineView_->compositeCheck()->click();
    } else if (ctrl && (key == Qt::Key_1 || key == Qt::Key_2 || key == Qt::Key_3)) {
        // Choosing an option by key acts as clicking it.
        const int mode = key - Qt::Key_1 + 1;
        if (!figures_->modeChecked(mode))
            GraphOption_Click(mode);
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_Delete) {
        closeSelectedCard();
    } else if (ctrl && key == Qt::Key_Delete) {
        closeAllCards();
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_Escape) {
        if (busy_)
            btnCancel_Click();
        selectCurrentTab();
    } else if (!compositeMode() && cardView_->handleZoomKey(key, modifiers)) {
        // the card's picture zoomed
    } else {
        return false;
    }
    return true;
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    // Keys reach whichever child has the focus; the commands belong to the
    // whole window, so they are taken before the child sees them.  Tab and
    // Backtab would otherwise move the focus instead.
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            auto *keyEvent = static_cast<QKeyEvent *>(event);
            if (event->type() == QEvent::ShortcutOverride)
                return false;
            if (handleKey(keyEvent->key(), keyEvent->modifiers()))
                return true;
        }
    }
    // Whatever the user just did may have changed the trial: the caption's
    // mark follows once the command has run.
    if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::KeyRelease) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this)
            QTimer::singleShot(0, this, &frmMain::updateTrialMark);
    }
    return QWidget::eventFilter(watched, event);
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!isMinimized() && !compositeMode())
        selectCurrentTab();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (!unloaded_ && busy_) {
        // The work stops at its next row; the window closes once it has.
        view_.CancelRequested = true;
        closeWhenIdle_ = true;
        event->ignore();
        return;
    }
    if (!unloaded_ && !trial_->settleUnsaved()) {
        event->ignore();
        return;
    }
    saveAndClose();
    event->accept();
}

void frmMain::saveAndClose()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    // The spray information kept is the pass's, not the mean's.
    trial_->leaveMean();
    const AnalysisSettings held = analysisSettings();
    prefs_.HueLow = held.Scan.HueLow;
    prefs_.HueHigh = held.Scan.HueHigh;
    prefs_.HueInvert = held.Scan.HueInvert;
    unloadStatus_ = writePreferences(store_, module_, prefs_);
    const std::vector<std::string> left = removeTemporaryFiles(module_.RootDir);
    cards_.clear();
    if (!unloadStatus_.ok())
        showMessage(this, tr("Error: ") + programText(unloadStatus_.reason()), QMessageBox::Ok, QMessageBox::Warning);
    (void)left; // a temporary file that cannot be deleted is left behind
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
}

void frmMain::setCaption(const QString &caption)
{
    baseCaption_ = caption;
    setWindowTitle(trial_->titled(caption));
}

void frmMain::btnCancel_Click()
{
    view_.CancelRequested = true;
}

void frmMain::setBusy(bool busy)
{
    // The bar shows the work; the flag is what the commands look at.
    busy_ = busy;
    progressBar_->setVisible(busy);
    if (!busy)
        updateTrialMark();
    if (!busy && closeWhenIdle_)
        QTimer::singleShot(0, this, [this] {
            if (!busy_ && std::exchange(closeWhenIdle_, false))
                close();
        });
}

void frmMain::btnChangeRes_Click()
{
    if (busy_ || cards_.empty())
        return;
    if (compositeMode()) {
        // In the composite view the button moves the cards along the line;
        // the points of a mean of passes lie where the passes put them.
        if (!meanShown() && showCardPositions(false))
            lineView_->refresh();
        return;
    }
    frmResolution window(
        cards_, [this](const std::vector<int> &cards) { reanalyseCards(cards); }, this);
    window.exec();
    const CardRecord &card = cards_[currentCard_];
    setCaption(cardCaption(shownName(card), QString::number(card.Resolution) + QStringLiteral(" dpi")));
    // Answered No, the figures stay those of the old resolution, and say so.
    markStaleCards();
}

void frmMain::showInfo(bool show)
{
    if (!show)
        cardView_->hideInfo();
    else if (!cards_.empty() && !compositeMode())
        cardView_->showInfo(cards_[currentCard_], module_.Metric);
}

} // namespace vex::ui
