#include "app/ui/frmMain.h"

#include "text/Settings.h"
#include "app/TempFiles.h"
#include "text/DialogResults.h"
#include "ui/CCommonDialogs.h"
#include "analysis/ResultGraph.h"
#include "analysis/ui/HueHistogramView.h"
#include "analysis/ui/ResultGraphView.h"
#include "app/ui/CardPicture.h"
#include "ui/Messages.h"
#include "intake/BmpFile.h"
#include "intake/CardLoading.h"
#include "intake/GifHeader.h"
#include "intake/qt/CardOpening.h"
#include "intake/qt/PictureLoader.h"
#include "intake/ColourPass.h"
#include "intake/ui/BackgroundColorForm.h"
#include "intake/ui/InfoForm.h"
#include "intake/ui/frmResolution.h"
#include "line/CardPositions.h"
#include "line/ui/SprayLineGraphView.h"
#include "line/ui/SwathGraphView.h"
#include "line/ui/frmCardPos.h"
#include "templates/ui/LoadTemplateForm.h"

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

std::string firstRunFolder()
{
    QString samples = qEnvironmentVariable("VEXOLIN_SAMPLES");
#ifdef VEXOLIN_SAMPLE_DIR
    if (samples.isEmpty())
        samples = QStringLiteral(VEXOLIN_SAMPLE_DIR);
#endif
    if (!samples.isEmpty() && QDir(samples).exists())
        return QDir(samples).absolutePath().toStdString() + "/";
    return QDir::homePath().toStdString();
}

frmMain::frmMain(SettingsStore &store, ModuleState &module, int screenHeightPixels, QWidget *parent)
    : QWidget(parent), store_(store), module_(module), tallLayout_(screenHeightPixels > 600)
{
    screenHeight_ = screenHeightPixels;
    setObjectName(QStringLiteral("frmMain"));
    // The folder open dialogs start in until the user opens images somewhere:
    // the sample line shipped with the program, so that a first run has
    // cards to try, else the home folder.
    state = Form_Initialize(store_, module_, firstRunFolder(), &resetSettings_);
    storedCardPositions(store_, resetSettings_);
    buildControls();
    AdjustScreen();
    showEmptyState();
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
    btnLoad = button(tr("Load Image"), "btnLoad");
    btnLoadTemplate = button(tr("Load Template"), "btnLoadTemplate");
    btnScan = button(tr("Stain Count"), "btnScan");
    btnScanAll = button(tr("All"), "btnScanAll");
    btnScanColour = button(tr("Scan Colours"), "btnScanColour");
    btnScanColourAll = button(tr("All"), "btnScanColourAll");
    btnCancel = button(tr("Cancel"), "btnCancel");
    btnChangeRes = button(tr("Resolution"), "btnChangeRes");
    btnPrefs = button(tr("Preferences"), "btnPrefs");
    btnPrint = button(tr("Print"), "btnPrint");
    btnWriteComposite = button(tr("Write Results"), "btnWriteComposite");

    ImageStrip = new QTabBar(this);
    ImageStrip->setObjectName(QStringLiteral("ImageStrip"));
    ImageStrip->setExpanding(false);
    ImageStrip->setUsesScrollButtons(true);
    ImageStrip->setFocusPolicy(Qt::NoFocus);

    pictureStack_ = new QStackedWidget(this);
    Picture1 = new CardPicture(pictureStack_);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    SprayLineView = new SprayLineGraphView(pictureStack_);
    SprayLineView->setObjectName(QStringLiteral("SprayLineView"));
    SwathView = new SwathGraphView(pictureStack_);
    SwathView->setObjectName(QStringLiteral("SwathView"));
    pictureStack_->addWidget(Picture1);
    pictureStack_->addWidget(SprayLineView);
    pictureStack_->addWidget(SwathView);
    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));

    auto *firstLabel = new QLabel(this);
    firstLabel->setObjectName(QStringLiteral("CardLabel"));
    firstLabel->hide();
    CardLabel.push_back(firstLabel);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));

    CompositeCheck = new QCheckBox(tr("Composite"), this);
    CompositeCheck->setObjectName(QStringLiteral("CompositeCheck"));

    MaskFrame = new QGroupBox(tr("Colour Masking"), this);
    MaskFrame->setObjectName(QStringLiteral("MaskFrame"));
    MaskCheck = new QCheckBox(tr("&Mask all but these hues"), MaskFrame);
    MaskCheck->setObjectName(QStringLiteral("MaskCheck"));
    HueInvertCheck = new QCheckBox(tr("Invert"), MaskFrame);
    HueInvertCheck->setObjectName(QStringLiteral("HueInvertCheck"));
    BackColorOption[0] = new QRadioButton(tr("Black"), MaskFrame);
    BackColorOption[1] = new QRadioButton(tr("White"), MaskFrame);
    BackColorOption[0]->setChecked(true);
    HistogramPic = new HueHistogramView(MaskFrame);
    HistogramPic->setFixedSize(258, 100);
    HistogramPic->setObjectName(QStringLiteral("HistogramPic"));
    Label1 = new QLabel(QStringLiteral("0"), MaskFrame);
    Label2 = new QLabel(QStringLiteral("255"), MaskFrame);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Slider1 = new QSlider(Qt::Horizontal, MaskFrame);
    Slider2 = new QSlider(Qt::Horizontal, MaskFrame);
    for (QSlider *s : {Slider1, Slider2}) {
        s->setRange(0, 255);
        s->setFixedWidth(258);
    }
    Slider2->setValue(255);

    ResultFrame = new QGroupBox(tr("Scan Results  (Volume Fraction)"), this);
    ResultFrame->setObjectName(QStringLiteral("ResultFrame"));
    ResultPic = new ResultGraphView(ResultFrame);
    ResultPic->setFixedSize(258, 140);
    ResultPic->setObjectName(QStringLiteral("ResultPic"));
    GraphOption[0] = new QRadioButton(tr("VF"), ResultFrame);
    GraphOption[1] = new QRadioButton(tr("CVF"), ResultFrame);
    GraphOption[2] = new QRadioButton(tr("#/cm2"), ResultFrame);
    GraphOption[0]->setChecked(true);
    SizeRangeLabel = new QLabel(ResultFrame);
    SizeRangeLabel->setObjectName(QStringLiteral("SizeRangeLabel"));
    SizeRangeLabel->setAutoFillBackground(true);
    SizeRangeLabel->hide();
    const QString infoCaptions[3] = {tr("VMD:"), tr("Drop Density:"), tr("Volume:")};
    for (int i = 0; i < 3; ++i)
        InfoLabel[i] = new QLabel(infoCaptions[i], ResultFrame);
    VMDLabel = new QLabel(ResultFrame);
    DropLabel = new QLabel(ResultFrame);
    VolumeLabel = new QLabel(ResultFrame);
    ResultLabelX1 = new QLabel(ResultFrame);
    ResultLabelX2 = new QLabel(ResultFrame);
    ResultLabelY1 = new QLabel(ResultFrame);
    ResultLabelY2 = new QLabel(ResultFrame);

    CoverPic = makeFrame(this, 258, 140);
    CoverPic->setObjectName(QStringLiteral("CoverPic"));
    optSwathWidth = new QRadioButton(CoverPic);
    DataLabel = new QLabel(CoverPic);
    DataLabelLine = new QFrame(CoverPic);
    DataLabelLine->setFrameShape(QFrame::HLine);
    DataLabelCircle = new QLabel(CoverPic);
    for (QFrame *&line : Line) {
        line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->hide();
    }

    connect(btnLoad, &QPushButton::clicked, this, &frmMain::btnLoad_Click);
    connect(btnLoadTemplate, &QPushButton::clicked, this, &frmMain::btnLoadTemplate_Click);
    connect(btnScan, &QPushButton::clicked, this, &frmMain::btnScan_Click);
    connect(btnScanAll, &QPushButton::clicked, this, &frmMain::btnScanAll_Click);
    connect(btnScanColour, &QPushButton::clicked, this, &frmMain::btnScanColour_Click);
    connect(btnScanColourAll, &QPushButton::clicked, this, &frmMain::btnScanColourAll_Click);
    connect(btnCancel, &QPushButton::clicked, this, &frmMain::btnCancel_Click);
    connect(btnChangeRes, &QPushButton::clicked, this, &frmMain::btnChangeRes_Click);
    connect(btnPrefs, &QPushButton::clicked, this, &frmMain::btnPrefs_Click);
    connect(ImageStrip, &QTabBar::currentChanged, this, &frmMain::ImageStrip_Click);
    connect(Picture1, &CardPicture::rightButton, this, &frmMain::showInfo);
    connectResultControls();
    connectLineControls();
    connect(HScroll1, &QScrollBar::valueChanged, this,
            [this](int v) { Picture1->setOrigin(QPoint(v, Picture1->origin().y())); });
    connect(VScroll1, &QScrollBar::valueChanged, this,
            [this](int v) { Picture1->setOrigin(QPoint(Picture1->origin().x(), v)); });
}

void frmMain::AdjustScreen()
{
    if (!module_.UiFontName.empty() || module_.UiFontSize > 0) {
        QFont f = font();
        if (!module_.UiFontName.empty())
            f.setFamily(QString::fromStdString(module_.UiFontName));
        if (module_.UiFontSize > 0)
            f.setPointSizeF(module_.UiFontSize);
        setFont(f);
    }

    Picture1->setFixedSize(PictureWidth, tallLayout_ ? TallPictureHeight : ShortPictureHeight);
    SprayLineView->setFixedSize(Picture1->size());
    SwathView->setFixedSize(Picture1->size());
    pictureStack_->setFixedSize(Picture1->size());
    HScroll1->setFixedHeight(ScrollThickness);
    VScroll1->setFixedWidth(ScrollThickness);
    // The strip is as wide as the picture whatever the number of cards: more
    // tabs scroll (and Ctrl+Tab walks them) instead of widening the window
    // until the right-hand panel leaves the screen.
    ImageStrip->setMaximumWidth(PictureWidth + ScrollThickness);

    auto *commands = new QHBoxLayout;
    for (QPushButton *b : {btnLoad, btnLoadTemplate, btnChangeRes, btnPrefs})
        commands->addWidget(b);
    commands->addStretch();
    commands->addWidget(btnCancel);

    auto *picture = new QGridLayout;
    picture->setSpacing(0);
    picture->addWidget(pictureStack_, 0, 0);
    picture->addWidget(VScroll1, 0, 1);
    picture->addWidget(HScroll1, 1, 0);

    auto *left = new QVBoxLayout;
    left->addLayout(commands);
    left->addWidget(ImageStrip);
    left->addLayout(picture);
    left->addWidget(ProgressBar1);
    left->addStretch();

    auto *mask = new QGridLayout(MaskFrame);
    mask->addWidget(MaskCheck, 0, 0, 1, 2);
    mask->addWidget(HueInvertCheck, 0, 2);
    mask->addWidget(BackColorOption[0], 1, 0);
    mask->addWidget(BackColorOption[1], 1, 1);
    mask->addWidget(HistogramPic, 2, 0, 1, 3);
    mask->addWidget(Label1, 3, 0);
    mask->addWidget(Label2, 3, 2);
    mask->addWidget(Slider1, 4, 0, 1, 3);
    mask->addWidget(Slider2, 5, 0, 1, 3);
    auto *colourButtons = new QHBoxLayout;
    colourButtons->addWidget(btnScanColour);
    colourButtons->addWidget(btnScanColourAll);

    auto *result = new QGridLayout(ResultFrame);
    // The value labels sit at the top and bottom of the graph, in a column
    // wide enough for any of them, so the graph does not move between modes.
    for (QLabel *l : {ResultLabelY1, ResultLabelY2})
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("100.0%")));
    result->addWidget(ResultLabelY2, 0, 0, Qt::AlignTop | Qt::AlignRight);
    result->addWidget(ResultPic, 0, 1, 2, 3);
    result->addWidget(ResultLabelY1, 1, 0, Qt::AlignBottom | Qt::AlignRight);
    result->addWidget(ResultLabelX1, 2, 1);
    result->addWidget(ResultLabelX2, 2, 3, Qt::AlignRight);
    for (int i = 0; i < 3; ++i)
        result->addWidget(GraphOption[i], 3, 1 + i);
    QLabel *values[3] = {VMDLabel, DropLabel, VolumeLabel};
    for (int i = 0; i < 3; ++i) {
        result->addWidget(InfoLabel[i], 5 + i, 0, 1, 2);
        result->addWidget(values[i], 5 + i, 2, 1, 2);
    }

    auto *scanButtons = new QHBoxLayout;
    scanButtons->addWidget(btnScan);
    scanButtons->addWidget(btnScanAll);

    auto *lineButtons = new QHBoxLayout;
    lineButtons->addWidget(CompositeCheck);
    lineButtons->addWidget(btnPrint);
    lineButtons->addWidget(btnWriteComposite);

    auto *right = new QVBoxLayout;
    right->addWidget(MaskFrame);
    right->addLayout(colourButtons);
    right->addLayout(scanButtons);
    right->addWidget(ResultFrame);
    right->addWidget(CoverPic);
    right->addLayout(lineButtons);
    right->addStretch();

    auto *top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(right);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

bool frmMain::compositeMode() const
{
    return CompositeCheck->isChecked();
}

int frmMain::addCard(CardRecord card)
{
    const QString title = QString::fromStdString(card.FileTitle);
    const int index = Cards.add(std::move(card));
    updatingStrip_ = true;
    if (index == 1) {
        ImageStrip->setTabText(0, title);
    } else {
        ImageStrip->addTab(title);
    }
    updatingStrip_ = false;
    while (CardLabel.size() < index) {
        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("CardLabel"));
        label->hide();
        CardLabel.push_back(label);
    }
    btnChangeRes->show();
    btnChangeRes->setEnabled(true);
    btnScanColour->setEnabled(true);
    btnScanColourAll->setEnabled(true);
    return index;
}

void frmMain::selectCurrentTab()
{
    if (Cards.empty() || compositeMode())
        return;
    const int tab = CurrentCard - 1;
    if (ImageStrip->currentIndex() == tab) {
        ImageStrip_Click(tab);
    } else {
        ImageStrip->setCurrentIndex(tab); // emits currentChanged, which shows the card
    }
}

void frmMain::ImageStrip_Click(int tabIndex)
{
    if (updatingStrip_ || Cards.empty() || tabIndex < 0)
        return;
    if (compositeMode()) {
        showLineTab(tabIndex);
        return;
    }
    if (tabIndex >= CardCount())
        return;
    CurrentCard = tabIndex + 1;
    showCard(CurrentCard);
}

void frmMain::showCard(int index)
{
    const CardRecord &card = Cards[index];
    if (!isMinimized() && index != shownCard_) {
        setCaption(cardCaption(card.FileTitle, QStringLiteral("Loading Image")));
        const DecodeResult decoded = loadIndexedImage(card.FilePath);
        KromeKotePicture = decoded.Ok ? toQImage(decoded.Image) : QImage();
        shownCard_ = index;
        Picture1->setImage(KromeKotePicture);
        if (MaskCheck->isChecked() && card.ColoursKnown)
            applyMask();
    }
    resetScrollBars();
    setCaption(cardCaption(card.FileTitle, QString::number(card.Resolution) + QStringLiteral(" dpi")));
    applyCardState(card);
}

void frmMain::resetScrollBars()
{
    for (QScrollBar *bar : {HScroll1, VScroll1}) {
        bar->setEnabled(false);
        bar->setValue(0);
        bar->setMaximum(0);
    }
    Picture1->setOrigin({});
    const QSize image = KromeKotePicture.size();
    const QSize visible = Picture1->size();
    if (!KromeKotePicture.isNull() && image.width() > visible.width()) {
        const int maximum = image.width() - visible.width();
        HScroll1->setMaximum(maximum);
        HScroll1->setPageStep(std::max(1, static_cast<int>(std::nearbyint(maximum / 4.0))));
        HScroll1->setEnabled(true);
    }
    if (!KromeKotePicture.isNull() && image.height() > visible.height()) {
        const int maximum = image.height() - visible.height();
        VScroll1->setMaximum(maximum);
        VScroll1->setPageStep(std::max(1, static_cast<int>(std::nearbyint(maximum / 4.0))));
        VScroll1->setEnabled(true);
    }
}

void frmMain::applyCardState(const CardRecord &card)
{
    const bool colours = card.ColoursKnown;
    btnScan->setEnabled(colours);
    btnScanAll->setEnabled(true);
    btnScanColour->setEnabled(true);
    btnScanColourAll->setEnabled(true);
    for (QWidget *w : std::initializer_list<QWidget *>{MaskFrame, MaskCheck, HueInvertCheck, BackColorOption[0],
                                                        BackColorOption[1], Slider1, Slider2})
        w->setEnabled(colours);
    drawHueHistogram();
    ResultFrame->setVisible(card.Scanned);
    if (card.Scanned)
        showScanResults();
}

void frmMain::showEmptyState()
{
    updatingStrip_ = true;
    while (ImageStrip->count() > 0)
        ImageStrip->removeTab(ImageStrip->count() - 1);
    ImageStrip->addTab(tr("<No Image>"));
    updatingStrip_ = false;
    while (CardLabel.size() > 1)
        delete CardLabel.takeLast();
    setCaption(PlainCaption);
    KromeKotePicture = QImage();
    Picture1->clear();
    pictureStack_->setCurrentWidget(Picture1);
    shownCard_ = 0;
    for (QWidget *w : std::initializer_list<QWidget *>{btnScan, btnScanAll, btnScanColour, btnScanColourAll,
                                                        MaskCheck, HueInvertCheck, BackColorOption[0],
                                                        BackColorOption[1], Slider1, Slider2, HScroll1, VScroll1})
        w->setEnabled(false);
    HScroll1->setValue(0);
    VScroll1->setValue(0);
    btnChangeRes->hide();
    btnCancel->setEnabled(false);
    btnPrint->hide();
    btnWriteComposite->hide();
    ProgressBar1->hide();
    Label1->setText(QString::number(Slider1->value()));
    Label2->setText(QString::number(Slider2->value()));
    CompositeCheck->setChecked(false);
    CompositeCheck->hide();
    CoverPic->hide();
    ResultFrame->hide();
    CurrentCard = 1;
    GraphOption[0]->setChecked(true);
    state.GraphMode = 1;
    ResultFrame->setTitle(QString::fromStdString(resultFrameCaption(state.GraphMode, false)));
    removeClipFiles(module_.RootDir);
}

void frmMain::closeSelectedCard()
{
    if (compositeMode() || Cards.empty())
        return;
    const int k = ImageStrip->currentIndex() + 1;
    if (k < 1 || k > CardCount())
        return;
    Cards.remove(k);
    const int count = CardCount();
    if (count == 0) {
        afterCardsClosed();
        return;
    }
    updatingStrip_ = true;
    for (int i = 1; i <= count; ++i)
        ImageStrip->setTabText(i - 1, QString::fromStdString(Cards[i].FileTitle));
    delete CardLabel.takeLast();
    ImageStrip->removeTab(count);
    updatingStrip_ = false;
    CurrentCard = currentAfterClose(k, count);
    // The records moved, so whatever picture is loaded may belong to another card now.
    shownCard_ = 0;
    afterCardsClosed();
}

void frmMain::closeAllCards()
{
    if (compositeMode())
        return;
    Cards.clear();
    afterCardsClosed();
    btnLoad->setFocus();
}

void frmMain::afterCardsClosed()
{
    state.MaxScannedDiameter = maxScannedDiameter(Cards);
    CalcCompositeAll();
    if (Cards.empty()) {
        showEmptyState();
        return;
    }
    selectCurrentTab();
}

bool frmMain::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= ~Qt::KeypadModifier;
    const bool ctrl = modifiers == Qt::ControlModifier;
    const bool ctrlShift = modifiers == (Qt::ControlModifier | Qt::ShiftModifier);

    if (ctrl && key == Qt::Key_P) {
        btnPrefs_Click();
    } else if (ctrl && key == Qt::Key_L) {
        btnLoad_Click();
    } else if (ctrl && key == Qt::Key_Tab) {
        if (!compositeMode() && !Cards.empty()) {
            CurrentCard = nextCard(CurrentCard, CardCount());
            selectCurrentTab();
        }
    } else if ((ctrlShift && (key == Qt::Key_Backtab || key == Qt::Key_Tab)) || (ctrl && key == Qt::Key_Backtab)) {
        if (!compositeMode() && !Cards.empty()) {
            CurrentCard = previousCard(CurrentCard, CardCount());
            selectCurrentTab();
        }
    } else if (ctrl && key == Qt::Key_S) {
        if (!Cards.empty() && !Cards[CurrentCard].ColoursKnown)
            btnScanColour_Click();
        else
            btnScan_Click();
    } else if (ctrl && key == Qt::Key_A) {
        if (!Cards.empty() && !Cards[CurrentCard].ColoursKnown)
            btnScanColourAll_Click();
        else
            btnScanAll_Click();
    } else if (ctrl && key == Qt::Key_R) {
        if (btnChangeRes->isEnabled() && btnChangeRes->isVisible())
            btnChangeRes_Click();
    } else if (ctrl && key == Qt::Key_C) {
        if (CompositeCheck->isVisible())
            CompositeCheck->click();
    } else if (ctrl && (key == Qt::Key_1 || key == Qt::Key_2 || key == Qt::Key_3)) {
        // Choosing an option by key acts as clicking it.
        const int mode = key - Qt::Key_1 + 1;
        if (!GraphOption[mode - 1]->isChecked())
            GraphOption_Click(mode);
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_Delete) {
        closeSelectedCard();
    } else if (ctrl && key == Qt::Key_Delete) {
        closeAllCards();
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_Escape) {
        if (ProgressBar1->isVisible())
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
            if (Form_KeyDown(keyEvent->key(), keyEvent->modifiers()))
                return true;
        }
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
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    unloadErrors_ = writePreferences(store_, module_, state);
    const std::vector<std::string> left = removeTemporaryFiles(module_.RootDir);
    Cards.clear();
    if (!unloadErrors_.empty()) {
        QString text = tr("Error: ");
        for (const std::string &e : unloadErrors_)
            text += QString::fromStdString(e) + QLatin1Char('\n');
        showMessage(this, text.trimmed(), QMessageBox::Ok, QMessageBox::Warning);
    }
    (void)left; // a temporary file that cannot be deleted is left behind
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
}

void frmMain::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

// Commands that later parts of the program fill in.
void frmMain::btnLoadTemplate_Click()
{
    if (busy())
        return;
    CCommonDialogs dialog;
    dialog.Init(this);
    dialog.Title = "Load Card Template";
    dialog.Filter = "All Image Files|*.bmp;*.gif;*.tif|Bitmap Files (*.bmp)|*.bmp|GIF Files (*.gif)|*.gif|"
                    "TIF Files (*.tif)|*.tif";
    dialog.FilterIndex = 1;
    dialog.InitialDir = state.InitialDir;
    if (!dialog.ShowOpen() || dialog.FileName.empty())
        return;
    cutSheet(dialog.FileName);
}

void frmMain::cutSheet(const std::string &path)
{
    LoadTemplateForm form(store_, path, state.DefaultRes, module_.RootDir, state.LastClipIndex, this);
    if (!form.SheetLoaded) {
        showMessage(this, QStringLiteral("Error: ") + QString::fromStdString(form.LoadError));
        Picture1->setFocus();
        return;
    }
    form.LoadImage = [this](const std::string &title, const std::string &folder) { return LoadImage(title, folder); };
    if (!form.resetSettings().empty())
        showMessage(this, programText(resetSettingsMessage(form.resetSettings())), QMessageBox::Ok,
                    QMessageBox::Warning);
    form.exec();
    const auto slash = path.rfind('/');
    if (slash != std::string::npos)
        state.InitialDir = path.substr(0, slash + 1);
    if (!Cards.empty()) {
        CurrentCard = CardCount();
        selectCurrentTab();
    } else {
        CurrentCard = 1;
    }
}

void frmMain::btnCancel_Click()
{
    state.CancelRequested = true;
}

} // namespace vex::ui

namespace vex::ui {

bool frmMain::busy() const
{
    return ProgressBar1->isVisible();
}

void frmMain::btnLoad_Click()
{
    if (busy())
        return;
    CCommonDialogs dialog;
    dialog.Init(this);
    dialog.Title = LoadDialogTitle;
    dialog.InitialDir = state.InitialDir;
    dialog.Filter = LoadDialogFilter;
    dialog.FilterIndex = 1;
    dialog.AllowMultiSelect = true;
    const bool chosen = dialog.ShowOpen();
    loadFiles(chosen ? dialog.FileName : std::string());
}

void frmMain::loadFiles(const std::string &fileName)
{
    if (busy())
        return;
    try {
        Picture1->setFocus();
        std::string lastName;
        if (!fileName.empty() && fileName.find('\0') == std::string::npos) {
            const auto slash = fileName.find_last_of('/');
            const std::string title = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
            state.InitialDir = slash == std::string::npos ? std::string("./") : fileName.substr(0, slash + 1);
            LoadImage(title, state.InitialDir);
            lastName = title;
        } else if (!fileName.empty()) {
            std::vector<std::string> parts;
            std::string::size_type start = 0;
            while (true) {
                const auto at = fileName.find('\0', start);
                parts.push_back(fileName.substr(start, at == std::string::npos ? std::string::npos : at - start));
                if (at == std::string::npos)
                    break;
                start = at + 1;
            }
            const std::string folder = withTrailingSeparator(parts.front());
            std::vector<std::string> names(parts.begin() + 1, parts.end());
            names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
            names = descendingLoadOrder(std::move(names));
            state.CancelRequested = false;
            ProgressBar1->setRange(0, static_cast<int>(names.size()));
            ProgressBar1->setValue(0);
            ProgressBar1->show();
            btnCancel->setEnabled(true);
            for (const std::string &name : names) {
                LoadImage(name, folder);
                ProgressBar1->setValue(ProgressBar1->value() + 1);
                QCoreApplication::processEvents();
                if (state.CancelRequested)
                    break;
            }
            ProgressBar1->hide();
            state.InitialDir = folder;
            if (!names.empty())
                lastName = names.back();
        }
        if (CardCount() > 0 && !lastName.empty()) {
            sortCardsByTitle(Cards, [this](int i, int j) {
                ImageStrip->setTabText(i - 1, QString::fromStdString(Cards[i].FileTitle));
                ImageStrip->setTabText(j - 1, QString::fromStdString(Cards[j].FileTitle));
            });
            CurrentCard = findCardByTitle(Cards, lastName);
            shownCard_ = CurrentCard - 1;
            btnChangeRes->show();
            if (isMinimized())
                showNormal();
            selectCurrentTab();
        }
    } catch (const std::exception &e) {
        showMessage(this, programText(openCommandErrorMessage(e.what())));
    }
    btnCancel->setEnabled(false);
    state.CancelRequested = false;
}

bool frmMain::LoadImage(const std::string &fileTitle, const std::string &pathName)
{
    CompositeCheck->setChecked(false);
    const std::string extension = cardExtension(fileTitle);
    if (!isCardExtension(extension)) {
        showMessage(this, programText(unsupportedTypeMessage(fileTitle)), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    const std::string fullPath = withTrailingSeparator(pathName) + fileTitle;
    if (const int existing = findCardByPath(Cards, fullPath)) {
        showMessage(this, programText(alreadyOpenedMessage(Cards[existing].FileTitle)));
        return false;
    }
    btnCancel->setEnabled(true);

    const OpenedImage opened = openCardImage(fileTitle, pathName);
    if (!opened.Ok) {
        showMessage(this, programText(opened.Message), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    if (!opened.Warnings.empty()) {
        std::string text = "'" + fileTitle + "' was opened, with this to note:";
        for (const std::string &warning : opened.Warnings)
            text += "\r" + warning;
        showMessage(this, programText(text), QMessageBox::Ok, QMessageBox::Warning);
    }
    const DecodeResult &decoded = opened.Decoded;
    addCard(newCardRecord(fileTitle, pathName, decoded.Image.Width, decoded.Image.Height, state.DefaultRes));
    setCaption(PlainCaption + QStringLiteral(" -- ") + QString::fromStdString(fileTitle));
    resetColourDisplay();
    return true;
}

void frmMain::resetColourDisplay()
{
    // The range stays where the sliders are, and so does the scan's.
    Label1->setText(QString::number(Slider1->value()));
    Label2->setText(QString::number(Slider2->value()));
    MaskFrame->setEnabled(false);
    MaskCheck->setEnabled(false);
    BackColorOption[0]->setEnabled(false);
    BackColorOption[1]->setEnabled(false);
    drawHueHistogram();
}

void frmMain::btnChangeRes_Click()
{
    if (busy() || Cards.empty())
        return;
    if (compositeMode()) {
        // In the composite view the button moves the cards along the line.
        const std::string position1 = state.Spray[Sample_Position1];
        const std::string interval = state.Spray[Sample_Interval];
        frmCardPos window(Cards, state.Spray, store_, module_.Metric, false, this);
        window.exec();
        if (state.Spray[Sample_Position1] != position1 || state.Spray[Sample_Interval] != interval)
            refreshCompositeDisplay();
        return;
    }
    frmResolution window(Cards, [this](const std::vector<int> &cards) { reanalyseCards(cards); }, this);
    window.exec();
    const CardRecord &card = Cards[CurrentCard];
    setCaption(cardCaption(card.FileTitle, QString::number(card.Resolution) + QStringLiteral(" dpi")));
}


void frmMain::showInfo(bool show)
{
    if (!show) {
        if (infoForm_)
            infoForm_->hide();
        return;
    }
    if (Cards.empty() || compositeMode())
        return;
    if (!infoForm_)
        infoForm_ = new InfoForm(this);
    infoForm_->showCard(Cards[CurrentCard], module_.Metric);
    infoForm_->adjustSize();
    infoForm_->move(mapToGlobal(Picture1->geometry().center()) - QPoint(infoForm_->width() / 2, infoForm_->height() / 2));
    infoForm_->show();
}

} // namespace vex::ui

namespace vex::ui {

bool frmMain::runColourPassFor(int index)
{
    if (index < 1 || index > CardCount())
        return false;
    CardRecord &card = Cards[index];
    const DecodeResult decoded = loadIndexedImage(card.FilePath);
    if (!decoded.Ok) {
        showMessage(this, programText(unreadableFileMessage(card.FileTitle, decoded.Reason)));
        return false;
    }
    const QImage picture = toQImage(decoded.Image);
    ColourQuestions questions;
    questions.AskBackground = [&](std::uint8_t proposed, bool &disable) {
        BackgroundColorForm form(picture, decoded.Image.PaletteBgr, this);
        form.FileNum = index;
        form.BackgroundColour = proposed;
        form.prepare();
        form.exec();
        if (form.DisableWarning)
            disable = true;
        return form.BackgroundColour;
    };
    questions.AskDither = [&](std::uint8_t background, std::uint8_t candidate, bool &disable) {
        BackgroundColorForm2 form(picture, this);
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
    callbacks.CancelRequested = [this] { return state.CancelRequested; };
    callbacks.Progress = [this](std::int32_t row) {
        ProgressBar1->setValue(row);
        QCoreApplication::processEvents();
    };
    ProgressBar1->setRange(0, std::max(decoded.Image.Height, 1));
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    btnCancel->setEnabled(true);
    const PassOutcome outcome = runColourPass(card, decoded.Image, state.DisableBackgroundWarning,
                                              state.DisableDitherWarning, questions, callbacks);
    ProgressBar1->hide();
    btnCancel->setEnabled(false);
    return outcome == PassOutcome::Complete;
}

void frmMain::btnScanColour_Click()
{
    if (busy() || Cards.empty())
        return;
    btnChangeRes->setEnabled(false);
    Picture1->setFocus();
    state.CancelRequested = false;
    const bool completed = runColourPassFor(CurrentCard);
    btnChangeRes->setEnabled(true);
    if (!completed) {
        state.CancelRequested = false;
        applyCardState(Cards[CurrentCard]);
        return;
    }
    // Showing the card again draws it with its new colours.
    selectCurrentTab();
    if (MaskCheck->isChecked())
        applyMask();
}

void frmMain::btnScanColourAll_Click()
{
    if (busy() || Cards.empty())
        return;
    const int remembered = CurrentCard;
    btnChangeRes->setEnabled(false);
    state.CancelRequested = false;
    for (int i = 1; i <= CardCount(); ++i) {
        if (Cards[i].ColoursKnown)
            continue;
        CurrentCard = i;
        selectCurrentTab();
        if (!runColourPassFor(i) && state.CancelRequested) {
            state.CancelRequested = false;
            btnChangeRes->setEnabled(true);
            applyCardState(Cards[CurrentCard]);
            return;
        }
    }
    CurrentCard = remembered;
    selectCurrentTab();
    btnChangeRes->setEnabled(true);
}

} // namespace vex::ui
