#include "app/ui/frmMain.h"

#include "analysis/ResultGraph.h"
#include "analysis/ui/HueHistogramView.h"
#include "analysis/ui/ResultGraphView.h"
#include "app/TempFiles.h"
#include "app/ui/CardPicture.h"
#include "app/ui/ScanController.h"
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
#include "ui/CCommonDialogs.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <fstream>

namespace vex::ui {

namespace {
constexpr int PictureWidth = 700;
constexpr int TallPictureHeight = 450;
constexpr int ShortPictureHeight = 319;
constexpr int ScrollThickness = 17;

const QString PlainCaption = QStringLiteral("Quarrow Vexolin");

QFrame *makeFrame(QWidget *parent, int w, int h)
{
    auto *f = new QFrame(parent);
    f->setFrameShape(QFrame::Box);
    f->setFixedSize(w, h);
    return f;
}
} // namespace

QString cardCaption(const std::string &fileTitle, const QString &detail)
{
    return PlainCaption + QStringLiteral(" -- ") + QString::fromStdString(fileTitle) + QStringLiteral(" -- ") + detail;
}

std::string firstRunFolder(const QString &programFolder)
{
    // The installed cards are found from the program's own folder, not at a
    // path fixed by the build, so that any prefix works; they come before
    // the sources' own, which an installed program built on this machine
    // would otherwise still find.
    QStringList candidates{qEnvironmentVariable("VEXOLIN_SAMPLES")};
#ifdef VEXOLIN_INSTALLED_SAMPLES
    candidates << programFolder + QStringLiteral("/" VEXOLIN_INSTALLED_SAMPLES);
#endif
#ifdef VEXOLIN_SAMPLE_DIR
    candidates << QStringLiteral(VEXOLIN_SAMPLE_DIR);
#endif
    for (const QString &samples : candidates)
        if (!samples.isEmpty() && QDir(samples).exists())
            return QDir::cleanPath(QDir(samples).absolutePath()).toStdString() + "/";
    return QDir::homePath().toStdString();
}

std::string firstRunFolder()
{
    return firstRunFolder(QCoreApplication::applicationDirPath());
}

frmMain::frmMain(SettingsStore &store, ModuleState &module, int screenHeightPixels, QWidget *parent)
    : QWidget(parent), store_(store), module_(module), tallLayout_(screenHeightPixels > 600)
{
    screenHeight_ = screenHeightPixels;
    setObjectName(QStringLiteral("frmMain"));
    // The folder open dialogs start in until the user opens images somewhere:
    // the sample line shipped with the program, so that a first run has
    // cards to try, else the home folder.
    prefs_ = readPreferences(store_, module_, firstRunFolder(), &resetSettings_);
    storedCardPositions(store_, resetSettings_);
    view_.HueColour = buildHueColour();
    scanner_ = std::make_unique<ScanController>(*this);
    buildControls();
    layOutControls();
    refreshPassControls();
    showEmptyState();
    savedStateKey_ = trialStateKey();
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
    scanButton_ = button(tr("Stain Count"), "btnScan");
    scanAllButton_ = button(tr("All"), "btnScanAll");
    scanColourButton_ = button(tr("Scan Colours"), "btnScanColour");
    scanColourAllButton_ = button(tr("All"), "btnScanColourAll");
    cancelButton_ = button(tr("Cancel"), "btnCancel");
    resolutionButton_ = button(tr("Resolution"), "btnChangeRes");
    preferencesButton_ = button(tr("Preferences"), "btnPrefs");
    printButton_ = button(tr("Print"), "btnPrint");
    writeResultsButton_ = button(tr("Write Results"), "btnWriteComposite");
    writeStainsButton_ = button(tr("Write Stain Table"), "btnWriteStains");
    trialButton_ = button(tr("Trial"), "btnTrial");
    trialMenu_ = new QMenu(trialButton_);
    trialMenu_->setObjectName(QStringLiteral("mnuTrial"));
    auto action = [this](const QString &text, const char *name, const QKeySequence &keys, auto slot) {
        QAction *a = trialMenu_->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(keys);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    action(tr("Open Trial..."), "mnuOpenTrial", QKeySequence::Open, &frmMain::btnOpenTrial_Click);
    action(tr("Save Trial"), "mnuSaveTrial", QKeySequence::Save, &frmMain::btnSaveTrial_Click);
    action(tr("Save Trial As..."), "mnuSaveTrialAs", QKeySequence::SaveAs, &frmMain::btnSaveTrialAs_Click);
    trialMenu_->addSeparator();
    action(tr("New Pass"), "mnuNewPass", QKeySequence(), &frmMain::addPass);
    action(tr("Remove Pass"), "mnuRemovePass", QKeySequence(), &frmMain::removePass);
    meanMenu_ = trialMenu_->addMenu(tr("Passes in the Mean"));
    meanMenu_->setObjectName(QStringLiteral("mnuPassesInMean"));
    trialButton_->setMenu(trialMenu_);
    // The shortcuts work wherever the focus is in the window.
    addActions(trialMenu_->actions());
    passCombo_ = new QComboBox(this);
    passCombo_->setObjectName(QStringLiteral("cmbPass"));
    passCombo_->setToolTip(tr("The pass over the line shown, or the mean of the passes taken into it"));
    connect(passCombo_, &QComboBox::currentIndexChanged, this, &frmMain::cmbPass_Change);

    cardStrip_ = new QTabBar(this);
    cardStrip_->setObjectName(QStringLiteral("ImageStrip"));
    cardStrip_->setExpanding(false);
    cardStrip_->setUsesScrollButtons(true);
    cardStrip_->setFocusPolicy(Qt::NoFocus);

    pictureStack_ = new QStackedWidget(this);
    picture_ = new CardPicture(pictureStack_);
    picture_->setObjectName(QStringLiteral("Picture1"));
    sprayLineView_ = new SprayLineGraphView(pictureStack_);
    sprayLineView_->setObjectName(QStringLiteral("SprayLineView"));
    swathView_ = new SwathGraphView(pictureStack_);
    swathView_->setObjectName(QStringLiteral("SwathView"));
    pictureStack_->addWidget(picture_);
    pictureStack_->addWidget(sprayLineView_);
    pictureStack_->addWidget(swathView_);
    horizontalScroll_ = new QScrollBar(Qt::Horizontal, this);
    horizontalScroll_->setObjectName(QStringLiteral("HScroll1"));
    verticalScroll_ = new QScrollBar(Qt::Vertical, this);
    verticalScroll_->setObjectName(QStringLiteral("VScroll1"));

    auto *firstLabel = new QLabel(this);
    firstLabel->setObjectName(QStringLiteral("CardLabel"));
    firstLabel->hide();
    cardLabels_.push_back(firstLabel);

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));

    compositeCheck_ = new QCheckBox(tr("Composite"), this);
    compositeCheck_->setObjectName(QStringLiteral("CompositeCheck"));

    maskFrame_ = new QGroupBox(tr("Colour Masking"), this);
    maskFrame_->setObjectName(QStringLiteral("MaskFrame"));
    maskCheck_ = new QCheckBox(tr("&Mask all but these hues"), maskFrame_);
    maskCheck_->setObjectName(QStringLiteral("MaskCheck"));
    hueInvertCheck_ = new QCheckBox(tr("Invert"), maskFrame_);
    hueInvertCheck_->setObjectName(QStringLiteral("HueInvertCheck"));
    maskColourOption_[0] = new QRadioButton(tr("Black"), maskFrame_);
    maskColourOption_[1] = new QRadioButton(tr("White"), maskFrame_);
    maskColourOption_[0]->setChecked(true);
    hueHistogram_ = new HueHistogramView(maskFrame_);
    hueHistogram_->setFixedSize(258, 100);
    hueHistogram_->setObjectName(QStringLiteral("HistogramPic"));
    hueLowLabel_ = new QLabel(QStringLiteral("0"), maskFrame_);
    hueHighLabel_ = new QLabel(QStringLiteral("255"), maskFrame_);
    hueHighLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    hueLowSlider_ = new QSlider(Qt::Horizontal, maskFrame_);
    hueHighSlider_ = new QSlider(Qt::Horizontal, maskFrame_);
    for (QSlider *s : {hueLowSlider_, hueHighSlider_}) {
        s->setRange(0, 255);
        s->setFixedWidth(258);
    }
    hueHighSlider_->setValue(255);

    resultFrame_ = new QGroupBox(tr("Scan Results  (Volume Fraction)"), this);
    resultFrame_->setObjectName(QStringLiteral("ResultFrame"));
    resultGraph_ = new ResultGraphView(resultFrame_);
    resultGraph_->setFixedSize(258, 140);
    resultGraph_->setObjectName(QStringLiteral("ResultPic"));
    graphOption_[0] = new QRadioButton(tr("VF"), resultFrame_);
    graphOption_[1] = new QRadioButton(tr("CVF"), resultFrame_);
    graphOption_[2] = new QRadioButton(tr("#/cm2"), resultFrame_);
    graphOption_[0]->setChecked(true);
    sizeRangeLabel_ = new QLabel(resultFrame_);
    sizeRangeLabel_->setObjectName(QStringLiteral("SizeRangeLabel"));
    sizeRangeLabel_->setAutoFillBackground(true);
    sizeRangeLabel_->hide();
    const QString infoCaptions[3] = {tr("VMD:"), tr("Drop Density:"), tr("Volume:")};
    for (int i = 0; i < 3; ++i)
        infoLabels_[i] = new QLabel(infoCaptions[i], resultFrame_);
    vmdLabel_ = new QLabel(resultFrame_);
    dropLabel_ = new QLabel(resultFrame_);
    volumeLabel_ = new QLabel(resultFrame_);
    rejectedLabel_ = new QLabel(resultFrame_);
    rejectedLabel_->setWordWrap(true);
    rejectedLabel_->hide();
    // Broken into lines by its texts: a wrapping label squeezes the graph
    // of the fixed-size frame.
    spectrumLabel_ = new QLabel(resultFrame_);
    spectrumLabel_->hide();
    graphLeftLabel_ = new QLabel(resultFrame_);
    graphRightLabel_ = new QLabel(resultFrame_);
    graphBottomLabel_ = new QLabel(resultFrame_);
    graphTopLabel_ = new QLabel(resultFrame_);

    coverPicture_ = makeFrame(this, 258, 140);
    coverPicture_->setObjectName(QStringLiteral("CoverPic"));
    swathWidthOption_ = new QRadioButton(coverPicture_);
    dataLabel_ = new QLabel(coverPicture_);
    dataLabelLine_ = new QFrame(coverPicture_);
    dataLabelLine_->setFrameShape(QFrame::HLine);
    dataLabelCircle_ = new QLabel(coverPicture_);
    for (QFrame *&line : lines_) {
        line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->hide();
    }

    connect(loadButton_, &QPushButton::clicked, this, &frmMain::btnLoad_Click);
    connect(loadTemplateButton_, &QPushButton::clicked, this, &frmMain::btnLoadTemplate_Click);
    connect(scanButton_, &QPushButton::clicked, this, &frmMain::btnScan_Click);
    connect(scanAllButton_, &QPushButton::clicked, this, &frmMain::btnScanAll_Click);
    connect(scanColourButton_, &QPushButton::clicked, this, &frmMain::btnScanColour_Click);
    connect(scanColourAllButton_, &QPushButton::clicked, this, &frmMain::btnScanColourAll_Click);
    connect(cancelButton_, &QPushButton::clicked, this, &frmMain::btnCancel_Click);
    connect(resolutionButton_, &QPushButton::clicked, this, &frmMain::btnChangeRes_Click);
    connect(preferencesButton_, &QPushButton::clicked, this, &frmMain::btnPrefs_Click);
    connect(cardStrip_, &QTabBar::currentChanged, this, &frmMain::ImageStrip_Click);
    connect(picture_, &CardPicture::rightButton, this, &frmMain::showInfo);
    connectResultControls();
    connectLineControls();
    connect(horizontalScroll_, &QScrollBar::valueChanged, this,
            [this](int v) { picture_->setOrigin(QPoint(v, picture_->origin().y())); });
    connect(verticalScroll_, &QScrollBar::valueChanged, this,
            [this](int v) { picture_->setOrigin(QPoint(picture_->origin().x(), v)); });

    // Every control carries the name the program's design gives it, so that
    // tests and tools find it.
    auto name = [](QObject *o, const QString &n) { o->setObjectName(n); };
    for (int i = 0; i < 2; ++i)
        name(maskColourOption_[i], QStringLiteral("BackColorOption%1").arg(i + 1));
    for (int i = 0; i < 3; ++i) {
        name(graphOption_[i], QStringLiteral("GraphOption%1").arg(i + 1));
        name(infoLabels_[i], QStringLiteral("InfoLabel%1").arg(i + 1));
    }
    name(hueLowLabel_, QStringLiteral("Label1"));
    name(hueHighLabel_, QStringLiteral("Label2"));
    name(hueLowSlider_, QStringLiteral("Slider1"));
    name(hueHighSlider_, QStringLiteral("Slider2"));
    name(vmdLabel_, QStringLiteral("VMDLabel"));
    name(dropLabel_, QStringLiteral("DropLabel"));
    name(volumeLabel_, QStringLiteral("VolumeLabel"));
    name(rejectedLabel_, QStringLiteral("RejectedLabel"));
    name(spectrumLabel_, QStringLiteral("SpectrumLabel"));
    name(graphLeftLabel_, QStringLiteral("ResultLabelX1"));
    name(graphRightLabel_, QStringLiteral("ResultLabelX2"));
    name(graphBottomLabel_, QStringLiteral("ResultLabelY1"));
    name(graphTopLabel_, QStringLiteral("ResultLabelY2"));
    name(swathWidthOption_, QStringLiteral("optSwathWidth"));
    name(dataLabel_, QStringLiteral("DataLabel"));
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

    picture_->setFixedSize(PictureWidth, tallLayout_ ? TallPictureHeight : ShortPictureHeight);
    sprayLineView_->setFixedSize(picture_->size());
    swathView_->setFixedSize(picture_->size());
    pictureStack_->setFixedSize(picture_->size());
    horizontalScroll_->setFixedHeight(ScrollThickness);
    verticalScroll_->setFixedWidth(ScrollThickness);
    // The strip is as wide as the picture whatever the number of cards: more
    // tabs scroll (and Ctrl+Tab walks them) instead of widening the window
    // until the right-hand panel leaves the screen.
    cardStrip_->setMaximumWidth(PictureWidth + ScrollThickness);

    auto *commands = new QHBoxLayout;
    for (QPushButton *b : {loadButton_, loadTemplateButton_, resolutionButton_, preferencesButton_, trialButton_})
        commands->addWidget(b);
    commands->addWidget(passCombo_);
    commands->addStretch();
    commands->addWidget(cancelButton_);

    auto *picture = new QGridLayout;
    picture->setSpacing(0);
    picture->addWidget(pictureStack_, 0, 0);
    picture->addWidget(verticalScroll_, 0, 1);
    picture->addWidget(horizontalScroll_, 1, 0);

    auto *left = new QVBoxLayout;
    left->addLayout(commands);
    left->addWidget(cardStrip_);
    left->addLayout(picture);
    left->addWidget(progressBar_);
    left->addStretch();

    auto *mask = new QGridLayout(maskFrame_);
    mask->addWidget(maskCheck_, 0, 0, 1, 2);
    mask->addWidget(hueInvertCheck_, 0, 2);
    mask->addWidget(maskColourOption_[0], 1, 0);
    mask->addWidget(maskColourOption_[1], 1, 1);
    mask->addWidget(hueHistogram_, 2, 0, 1, 3);
    mask->addWidget(hueLowLabel_, 3, 0);
    mask->addWidget(hueHighLabel_, 3, 2);
    mask->addWidget(hueLowSlider_, 4, 0, 1, 3);
    mask->addWidget(hueHighSlider_, 5, 0, 1, 3);
    auto *colourButtons = new QHBoxLayout;
    colourButtons->addWidget(scanColourButton_);
    colourButtons->addWidget(scanColourAllButton_);

    auto *result = new QGridLayout(resultFrame_);
    // The value labels sit at the top and bottom of the graph, in a column
    // wide enough for any of them, so the graph does not move between modes.
    for (QLabel *l : {graphBottomLabel_, graphTopLabel_})
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("100.0%")));
    result->addWidget(graphTopLabel_, 0, 0, Qt::AlignTop | Qt::AlignRight);
    result->addWidget(resultGraph_, 0, 1, 2, 3);
    result->addWidget(graphBottomLabel_, 1, 0, Qt::AlignBottom | Qt::AlignRight);
    result->addWidget(graphLeftLabel_, 2, 1);
    result->addWidget(graphRightLabel_, 2, 3, Qt::AlignRight);
    for (int i = 0; i < 3; ++i)
        result->addWidget(graphOption_[i], 3, 1 + i);
    QLabel *values[3] = {vmdLabel_, dropLabel_, volumeLabel_};
    for (int i = 0; i < 3; ++i) {
        result->addWidget(infoLabels_[i], 5 + i, 0, 1, 2);
        result->addWidget(values[i], 5 + i, 2, 1, 2);
    }
    result->addWidget(spectrumLabel_, 8, 0, 1, 4);
    result->addWidget(rejectedLabel_, 9, 0, 1, 4);

    auto *scanButtons = new QHBoxLayout;
    scanButtons->addWidget(scanButton_);
    scanButtons->addWidget(scanAllButton_);

    auto *lineButtons = new QHBoxLayout;
    lineButtons->addWidget(compositeCheck_);
    lineButtons->addWidget(printButton_);
    lineButtons->addWidget(writeResultsButton_);
    lineButtons->addWidget(writeStainsButton_);

    auto *right = new QVBoxLayout;
    right->addWidget(maskFrame_);
    right->addLayout(colourButtons);
    right->addLayout(scanButtons);
    right->addWidget(resultFrame_);
    right->addWidget(coverPicture_);
    right->addLayout(lineButtons);
    right->addStretch();

    auto *top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(right);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

bool frmMain::compositeMode() const
{
    return compositeCheck_->isChecked();
}

int frmMain::addCard(CardRecord card)
{
    const QString title = QString::fromStdString(card.FileTitle);
    const int index = cards_.add(std::move(card));
    updatingStrip_ = true;
    if (index == 1) {
        cardStrip_->setTabText(0, title);
    } else {
        cardStrip_->addTab(title);
    }
    updatingStrip_ = false;
    while (cardLabels_.size() < index) {
        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("CardLabel"));
        label->hide();
        cardLabels_.push_back(label);
    }
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
    const int tab = currentCard_ - 1;
    if (cardStrip_->currentIndex() == tab) {
        ImageStrip_Click(tab);
    } else {
        cardStrip_->setCurrentIndex(tab); // emits currentChanged, which shows the card
    }
}

void frmMain::ImageStrip_Click(int tabIndex)
{
    if (updatingStrip_ || cards_.empty() || tabIndex < 0)
        return;
    if (compositeMode()) {
        showLineTab(tabIndex);
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
        displayed_ = decoded.ok() ? toQImage(decoded->Image) : QImage();
        shownCard_ = index;
        picture_->setImage(displayed_);
        if (maskCheck_->isChecked() && card.ColoursKnown)
            applyMask();
    }
    resetScrollBars();
    QString detail = QString::number(card.Resolution) + QStringLiteral(" dpi");
    // The figures shown of such a card are those stored with the trial.
    if (card.FileState == CardFileState::Missing)
        detail += tr(" -- file missing");
    else if (card.FileState == CardFileState::Changed)
        detail += tr(" -- file changed");
    setCaption(cardCaption(shownName(card), detail));
    applyCardState(card);
}

void frmMain::resetScrollBars()
{
    for (QScrollBar *bar : {horizontalScroll_, verticalScroll_}) {
        bar->setEnabled(false);
        bar->setValue(0);
        bar->setMaximum(0);
    }
    picture_->setOrigin({});
    const QSize image = displayed_.size();
    const QSize visible = picture_->size();
    if (!displayed_.isNull() && image.width() > visible.width()) {
        const int maximum = image.width() - visible.width();
        horizontalScroll_->setMaximum(maximum);
        horizontalScroll_->setPageStep(std::max(1, static_cast<int>(std::nearbyint(maximum / 4.0))));
        horizontalScroll_->setEnabled(true);
    }
    if (!displayed_.isNull() && image.height() > visible.height()) {
        const int maximum = image.height() - visible.height();
        verticalScroll_->setMaximum(maximum);
        verticalScroll_->setPageStep(std::max(1, static_cast<int>(std::nearbyint(maximum / 4.0))));
        verticalScroll_->setEnabled(true);
    }
}

void frmMain::applyCardState(const CardRecord &card)
{
    const bool colours = card.ColoursKnown;
    scanButton_->setEnabled(colours);
    scanAllButton_->setEnabled(true);
    scanColourButton_->setEnabled(true);
    scanColourAllButton_->setEnabled(true);
    for (QWidget *w : std::initializer_list<QWidget *>{maskFrame_, maskCheck_, hueInvertCheck_, maskColourOption_[0],
                                                       maskColourOption_[1], hueLowSlider_, hueHighSlider_})
        w->setEnabled(colours);
    drawHueHistogram();
    resultFrame_->setVisible(card.Scanned);
    if (card.Scanned)
        showScanResults();
}

void frmMain::showEmptyState()
{
    updatingStrip_ = true;
    while (cardStrip_->count() > 0)
        cardStrip_->removeTab(cardStrip_->count() - 1);
    cardStrip_->addTab(tr("<No Image>"));
    updatingStrip_ = false;
    while (cardLabels_.size() > 1)
        delete cardLabels_.takeLast();
    setCaption(PlainCaption);
    displayed_ = QImage();
    picture_->clear();
    pictureStack_->setCurrentWidget(picture_);
    shownCard_ = 0;
    for (QWidget *w :
         std::initializer_list<QWidget *>{scanButton_, scanAllButton_, scanColourButton_, scanColourAllButton_,
                                          maskCheck_, hueInvertCheck_, maskColourOption_[0], maskColourOption_[1],
                                          hueLowSlider_, hueHighSlider_, horizontalScroll_, verticalScroll_})
        w->setEnabled(false);
    horizontalScroll_->setValue(0);
    verticalScroll_->setValue(0);
    resolutionButton_->hide();
    cancelButton_->setEnabled(false);
    printButton_->hide();
    writeResultsButton_->hide();
    writeStainsButton_->hide();
    setBusy(false);
    hueLowLabel_->setText(QString::number(hueLowSlider_->value()));
    hueHighLabel_->setText(QString::number(hueHighSlider_->value()));
    compositeCheck_->setChecked(false);
    compositeCheck_->hide();
    coverPicture_->hide();
    resultFrame_->hide();
    currentCard_ = 1;
    graphOption_[0]->setChecked(true);
    view_.GraphMode = 1;
    resultFrame_->setTitle(QString::fromStdString(resultFrameCaption(view_.GraphMode, false)));
    removeClipFiles(module_.RootDir);
}

void frmMain::closeSelectedCard()
{
    // While a card is worked on, its record must stay where it is.
    if (busy_ || compositeMode() || cards_.empty())
        return;
    const int k = cardStrip_->currentIndex() + 1;
    if (k < 1 || k > cardCount())
        return;
    cards_.remove(k);
    const int count = cardCount();
    if (count == 0) {
        afterCardsClosed();
        return;
    }
    updatingStrip_ = true;
    for (int i = 1; i <= count; ++i)
        cardStrip_->setTabText(i - 1, QString::fromStdString(shownName(cards_[i])));
    delete cardLabels_.takeLast();
    cardStrip_->removeTab(count);
    updatingStrip_ = false;
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
        if (compositeCheck_->isVisible())
            compositeCheck_->click();
    } else if (ctrl && (key == Qt::Key_1 || key == Qt::Key_2 || key == Qt::Key_3)) {
        // Choosing an option by key acts as clicking it.
        const int mode = key - Qt::Key_1 + 1;
        if (!graphOption_[mode - 1]->isChecked())
            GraphOption_Click(mode);
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_Delete) {
        closeSelectedCard();
    } else if (ctrl && key == Qt::Key_Delete) {
        closeAllCards();
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_Escape) {
        if (busy_)
            btnCancel_Click();
        selectCurrentTab();
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
    if (!unloaded_ && !settleUnsavedTrial()) {
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
    leaveMean();
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
    // The trial's name and a mark for unsaved changes, once there is either.
    const bool modified = trialModified();
    QString title = caption;
    if (!trialPath_.empty() || modified)
        title +=
            QStringLiteral(" -- ") +
            (trialPath_.empty() ? tr("Untitled trial") : QFileInfo(QString::fromStdString(trialPath_)).fileName()) +
            (modified ? QStringLiteral(" *") : QString());
    setWindowTitle(title);
}

void frmMain::btnCancel_Click()
{
    view_.CancelRequested = true;
}

} // namespace vex::ui

namespace vex::ui {

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
        if (!meanShown_ && showCardPositions(false))
            refreshCompositeDisplay();
        return;
    }
    frmResolution window(
        cards_, [this](const std::vector<int> &cards) { reanalyseCards(cards); }, this);
    window.exec();
    const CardRecord &card = cards_[currentCard_];
    setCaption(cardCaption(shownName(card), QString::number(card.Resolution) + QStringLiteral(" dpi")));
}

void frmMain::showInfo(bool show)
{
    if (!show) {
        if (infoForm_)
            infoForm_->hide();
        return;
    }
    if (cards_.empty() || compositeMode())
        return;
    if (!infoForm_)
        infoForm_ = new InfoForm(this);
    infoForm_->showCard(cards_[currentCard_], module_.Metric);
    infoForm_->adjustSize();
    infoForm_->move(mapToGlobal(picture_->geometry().center()) -
                    QPoint(infoForm_->width() / 2, infoForm_->height() / 2));
    infoForm_->show();
}

} // namespace vex::ui
