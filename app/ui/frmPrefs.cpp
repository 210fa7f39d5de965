#include "app/ui/frmPrefs.h"

#include "app/Preferences.h"
#include "line/DensityTarget.h"
#include "line/SettingsTable.h"
#include "text/NumberText.h"
#include "ui/Messages.h"
#include "ui/NumericKeyFilter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vex::ui {

namespace {

// What each of the window's own fields does, its range and its default; the
// settings table's fields say theirs from the table.
const char *const ResolutionTip = "The resolution cards are scanned at, in dots per inch, unless they\n"
                                  "take their file's own.  From 1 to 32767; default 1200.";
const char *const SpreadTip[3] = {"The drop diameter is worked out from the stain diameter D (\u00b5m) as\n"
                                  "a + b D + c D\u00b2; this is a.  From -1000 to 1000; default 0.",
                                  "The drop diameter is a + b D + c D\u00b2 of the stain diameter D (\u00b5m);\n"
                                  "this is b.  From -100 to 100; default 0.56.",
                                  "The drop diameter is a + b D + c D\u00b2 of the stain diameter D (\u00b5m);\n"
                                  "this is c.  From -1 to 1; default 0."};
const char *const RoundnessTip = "Stains further from a disc than this are rejected: 0 keeps only near-perfect discs,\n"
                                 "100 keeps every shape.  A whole number from 0 to 100; default 100.";
const char *const HuesTip = "Stains with fewer pixels of the valid hue range than this share are rejected;\n"
                            "0 keeps a stain with one such pixel.  A whole number from 0 to 100; default 0.";
const char *const UnitsTip = "Units of positions, swath widths and deposit in the window, files and report.\n"
                             "Default: Metric.";
const char *const LogTip = "Writes a scan log beside each card when it is scanned.  Default: on.";
const char *const AppendTip = "Adds each scan to the end of an existing scan log instead of replacing it.\n"
                              "Default: Overwrite.";
const char *const LogInfoTip = "Writes the spray information into the scan logs too.  Default: off.";
const char *const FindCardsTip =
    "Opening a photo or a colour scan of a sheet (by Load, by name or by dropping it here)\n"
    "shows the cards found in it, to check before they become cards; 8-bit card files\n"
    "open as one card as always.  Default: off.";
const char *const CardSizeTip = "The size of the cards Find Cards looks for, width x height in millimetres: a common\n"
                                "size of water-sensitive paper, or your own.  Each side from 5 to 500;\n"
                                "default 76 x 26 mm.";
const char *const OverlapEstimateTip = "Shows the drop density and deposit estimated despite overlapping stains, with\n"
                                       "their 95 % intervals, under every card's figures, not only under a dense\n"
                                       "card's.  Default: off.";

} // namespace

frmPrefs::frmPrefs(const Preferences &preferences, const ModuleState &module, QWidget *parent)
    : QDialog(parent), Values(preferences), Module(module)
{
    setObjectName(QStringLiteral("frmPrefs"));
    setWindowTitle(tr("Preferences"));
    buildControls();
    showValues();
}

void frmPrefs::buildControls()
{
    ResFrame = new QGroupBox(tr("Default Image &Resolution"), this);
    ResFrame->setObjectName(QStringLiteral("ResFrame"));
    ResCombo = new QComboBox(ResFrame);
    ResCombo->setObjectName(QStringLiteral("ResCombo"));
    ResCombo->setEditable(true);
    ResCombo->setInsertPolicy(QComboBox::NoInsert);
    for (const char *r : {"150", "300", "600", "900", "1200", "2400"})
        ResCombo->addItem(QString::fromLatin1(r));
    ConversionLabel = new QLabel(ResFrame);
    ConversionLabel->setObjectName(QStringLiteral("ConversionLabel"));
    Label3 = new QLabel(tr("dpi"), ResFrame);
    auto *res = new QHBoxLayout(ResFrame);
    res->addWidget(ResCombo);
    res->addWidget(Label3);
    res->addWidget(ConversionLabel, 1);

    SpreadFrame = new QGroupBox(tr("Spread &Factor"), this);
    SpreadFrame->setObjectName(QStringLiteral("SpreadFrame"));
    auto *spread = new QHBoxLayout(SpreadFrame);
    const QString eq[3] = {QStringLiteral("+"), QStringLiteral("D +"), QStringLiteral("D")};
    for (int i = 0; i < 3; ++i) {
        SpreadText[i] = new QLineEdit(SpreadFrame);
        SpreadText[i]->setObjectName(QStringLiteral("SpreadText%1").arg(i));
        SpreadText[i]->setMaximumWidth(90);
        SpreadEqLabel[i] = new QLabel(eq[i], SpreadFrame);
        SpreadEqLabel[i]->setObjectName(QStringLiteral("SpreadEqLabel%1").arg(i));
        spread->addWidget(SpreadText[i]);
        spread->addWidget(SpreadEqLabel[i]);
        NumericKeyFilter::install(SpreadText[i], true, true);
    }

    FilterFrame = new QGroupBox(tr("&Drop Filters"), this);
    FilterFrame->setObjectName(QStringLiteral("FilterFrame"));
    txtRoundness = new QLineEdit(FilterFrame);
    txtRoundness->setObjectName(QStringLiteral("txtRoundness"));
    txtHues = new QLineEdit(FilterFrame);
    txtHues->setObjectName(QStringLiteral("txtHues"));
    auto *filters = new QGridLayout(FilterFrame);
    filters->addWidget(new QLabel(tr("Roundness:"), FilterFrame), 0, 0);
    filters->addWidget(txtRoundness, 0, 1);
    filters->addWidget(new QLabel(tr("% Valid Hues:"), FilterFrame), 1, 0);
    filters->addWidget(txtHues, 1, 1);
    // A typed point or minus sign shows, for Accept to refuse, rather than
    // vanish and leave another number than the one meant.
    for (QLineEdit *box : {txtRoundness, txtHues}) {
        box->setMaximumWidth(60);
        NumericKeyFilter::install(box, true, true);
    }

    buildLogAndSwathControls();
    layOutControls();
    setToolTips();
}

void frmPrefs::setToolTips()
{
    ResCombo->setToolTip(tr(ResolutionTip));
    for (int i = 0; i < 3; ++i)
        SpreadText[i]->setToolTip(tr(SpreadTip[i]));
    txtRoundness->setToolTip(tr(RoundnessTip));
    txtHues->setToolTip(tr(HuesTip));
    for (QRadioButton *b : UnitsOption)
        b->setToolTip(tr(UnitsTip));
    LogCheck->setToolTip(tr(LogTip));
    for (QRadioButton *b : Option1)
        b->setToolTip(tr(AppendTip));
    LogInfoCheck->setToolTip(tr(LogInfoTip));
    ViewSprayButton->setToolTip(tr("Shows the spray information the logs record."));
    ConfidenceCheck->setToolTip(ConfidenceCheck->toolTip() + tr("\nDefault: off."));
}

void frmPrefs::buildLogAndSwathControls()
{
    UnitsFrame = new QGroupBox(tr("&Units"), this);
    UnitsFrame->setObjectName(QStringLiteral("UnitsFrame"));
    UnitsOption[0] = new QRadioButton(tr("Metric"), UnitsFrame);
    UnitsOption[1] = new QRadioButton(tr("US"), UnitsFrame);
    auto *units = new QVBoxLayout(UnitsFrame);
    for (QRadioButton *b : UnitsOption)
        units->addWidget(b);

    LogFrame = new QGroupBox(this);
    LogFrame->setObjectName(QStringLiteral("LogFrame"));
    LogCheck = new QCheckBox(tr("&Log Analysis Results"), LogFrame);
    LogCheck->setObjectName(QStringLiteral("LogCheck"));
    Option1[0] = new QRadioButton(tr("Append"), LogFrame);
    Option1[1] = new QRadioButton(tr("Overwrite"), LogFrame);
    Option1[0]->setObjectName(QStringLiteral("Option1_1"));
    Option1[1]->setObjectName(QStringLiteral("Option1_2"));
    LogInfoCheck = new QCheckBox(tr("Log &Spray Info"), LogFrame);
    LogInfoCheck->setObjectName(QStringLiteral("LogInfoCheck"));
    ViewSprayButton = new QPushButton(tr("&View Spray Info."), LogFrame);
    ViewSprayButton->setObjectName(QStringLiteral("ViewSprayButton"));
    ViewSprayButton->setAutoDefault(false);
    auto *log = new QGridLayout(LogFrame);
    log->addWidget(LogCheck, 0, 0, 1, 2);
    log->addWidget(Option1[0], 1, 0);
    log->addWidget(Option1[1], 1, 1);
    log->addWidget(LogInfoCheck, 2, 0);
    log->addWidget(ViewSprayButton, 2, 1);

    AcceptButton = new QPushButton(tr("Accept"), this);
    AcceptButton->setObjectName(QStringLiteral("AcceptButton"));
    AcceptButton->setDefault(true);
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    ImageFrame = new QGroupBox(tr("Card Files"), this);
    ImageFrame->setObjectName(QStringLiteral("ImageFrame"));
    OutputFrame = new QGroupBox(tr("Figures and Outputs"), this);
    OutputFrame->setObjectName(QStringLiteral("OutputFrame"));
    SwathFrame = new QGroupBox(tr("S&wath Analysis"), this);
    SwathFrame->setObjectName(QStringLiteral("SwathFrame"));
    ConfidenceCheck = new QCheckBox(tr("Show 95 % confidence &intervals"), SwathFrame);
    ConfidenceCheck->setObjectName(QStringLiteral("ConfidenceCheck"));
    ConfidenceCheck->setToolTip(tr("VMD, drop density and the COV of the proposed width with their 95 %\n"
                                   "intervals, by resampling the stains of each card."));
    auto *swath = new QGridLayout(SwathFrame);
    swath->addWidget(ConfidenceCheck, 2, 0, 1, 2);
    new QGridLayout(ImageFrame);
    new QGridLayout(OutputFrame);
    buildTableFields();
    buildApplicatorFields();
    buildFindCardsFields();
}

void frmPrefs::layOutControls()
{
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(AcceptButton);
    buttons->addWidget(CancelButton);

    auto *middle = new QHBoxLayout;
    middle->addWidget(FilterFrame);
    middle->addWidget(UnitsFrame);
    auto *top = new QVBoxLayout(this);
    top->addWidget(ResFrame);
    top->addWidget(SpreadFrame);
    top->addLayout(middle);
    top->addWidget(LogFrame);
    top->addWidget(OutputFrame);
    top->addWidget(ImageFrame);
    top->addWidget(SwathFrame);
    top->addLayout(buttons);

    for (QLineEdit *box : {SpreadText[0], SpreadText[1], SpreadText[2], txtRoundness, txtHues})
        box->installEventFilter(this);

    connect(ResCombo, &QComboBox::editTextChanged, this, &frmPrefs::ResCombo_Change);
    connect(LogCheck, &QCheckBox::clicked, this, &frmPrefs::LogCheck_Click);
    connect(AcceptButton, &QPushButton::clicked, this, &frmPrefs::AcceptButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ViewSprayButton, &QPushButton::clicked, this, [this] {
        if (ViewSprayInfo)
            ViewSprayInfo();
    });
}

void frmPrefs::buildTableFields()
{
    for (const SettingDecl &d : settingsTable()) {
        if (!d.Widget)
            continue;
        auto *frame = findChild<QGroupBox *>(QString::fromLatin1(d.Group));
        auto *grid = static_cast<QGridLayout *>(frame->layout());
        QWidget *field = nullptr;
        if (d.Kind == SettingKind::Flag) {
            field = new QCheckBox(tr(d.Label), frame);
            grid->addWidget(field, d.Row, 0, 1, 2);
        } else {
            auto *box = new QLineEdit(frame);
            box->setMaximumWidth(60);
            NumericKeyFilter::install(box, true, true);
            grid->addWidget(new QLabel(tr(d.Label), frame), d.Row, 0);
            grid->addWidget(box, d.Row, 1);
            field = box;
        }
        field->setObjectName(QString::fromLatin1(d.Widget));
        field->setToolTip(QString::fromStdString(prefsTooltip(d)));
    }
}

void frmPrefs::buildApplicatorFields()
{
    auto *grid = static_cast<QGridLayout *>(OutputFrame->layout());
    DensityPresetCombo = new QComboBox(OutputFrame);
    DensityPresetCombo->setObjectName(QStringLiteral("DensityPresetCombo"));
    DensityPresetCombo->addItem(tr("No target"));
    for (const DensityPreset &p : densityPresets())
        DensityPresetCombo->addItem(tr(p.Label) + QStringLiteral(" (%1-%2)").arg(p.Low).arg(p.High));
    DensityPresetCombo->setToolTip(
        tr("Fills the density target with the usual advice for a product type.\nDefault: no target."));
    grid->addWidget(new QLabel(tr("Density target for:"), OutputFrame), 3, 0);
    grid->addWidget(DensityPresetCombo, 3, 1);
    connect(DensityPresetCombo, &QComboBox::activated, this, [this](int index) {
        const auto presets = densityPresets();
        const bool none = index <= 0 || static_cast<std::size_t>(index) > presets.size();
        const double low = none ? 0.0 : presets[static_cast<std::size_t>(index) - 1].Low;
        const double high = none ? 0.0 : presets[static_cast<std::size_t>(index) - 1].High;
        findChild<QLineEdit *>(QStringLiteral("txtDensityTargetLow"))->setText(QString::number(low));
        findChild<QLineEdit *>(QStringLiteral("txtDensityTargetHigh"))->setText(QString::number(high));
    });
    QualityTableText = new QLineEdit(OutputFrame);
    QualityTableText->setObjectName(QStringLiteral("QualityTableText"));
    QualityTableText->setPlaceholderText(tr("the reference classification"));
    QualityTableText->setToolTip(
        tr("A laboratory's own spray quality classes, as CSV: class,dv01_um,vmd_um,\n"
           "one row per class from the finest.\nDefault: empty, the reference classes of aerial nozzles."));
    QualityTableButton = new QPushButton(tr("Choose..."), OutputFrame);
    QualityTableButton->setObjectName(QStringLiteral("QualityTableButton"));
    connect(QualityTableButton, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, tr("Spray Quality Table"), QualityTableText->text(),
                                                          tr("CSV files (*.csv);;All files (*)"));
        if (!file.isEmpty())
            QualityTableText->setText(file);
    });
    auto *table = new QHBoxLayout;
    table->addWidget(QualityTableText);
    table->addWidget(QualityTableButton);
    grid->addWidget(new QLabel(tr("Spray quality table:"), OutputFrame), 4, 0);
    grid->addLayout(table, 4, 1);
}

void frmPrefs::buildFindCardsFields()
{
    auto *cards = static_cast<QGridLayout *>(ImageFrame->layout());
    FindCardsCheck = new QCheckBox(tr("Find cards"), ImageFrame);
    FindCardsCheck->setObjectName(QStringLiteral("FindCardsCheck"));
    FindCardsCheck->setToolTip(tr(FindCardsTip));
    CardSizeCombo = new QComboBox(ImageFrame);
    CardSizeCombo->setObjectName(QStringLiteral("CardSizeCombo"));
    CardSizeCombo->setEditable(true);
    CardSizeCombo->setInsertPolicy(QComboBox::NoInsert);
    for (const CardSizePreset &preset : cardSizePresets())
        CardSizeCombo->addItem(QString::fromStdString(cardSizeText(preset.Size)));
    CardSizeCombo->setToolTip(tr(CardSizeTip));
    CardSizeCombo->lineEdit()->setToolTip(tr(CardSizeTip));
    cards->addWidget(FindCardsCheck, 5, 0, 1, 2);
    cards->addWidget(new QLabel(tr("Card size:"), ImageFrame), 6, 0);
    cards->addWidget(CardSizeCombo, 6, 1);

    auto *outputs = static_cast<QGridLayout *>(OutputFrame->layout());
    OverlapEstimateCheck = new QCheckBox(tr("Always show the overlap estimate"), OutputFrame);
    OverlapEstimateCheck->setObjectName(QStringLiteral("OverlapEstimateCheck"));
    OverlapEstimateCheck->setToolTip(tr(OverlapEstimateTip));
    outputs->addWidget(OverlapEstimateCheck, 5, 0, 1, 2);
}

void frmPrefs::showValues()
{
    const PrefsForm form = prefsFormFrom(Values, Module);
    const int entry = ResCombo->findText(QString::fromStdString(form.Resolution));
    if (entry >= 0)
        ResCombo->setCurrentIndex(entry);
    ResCombo->setEditText(QString::fromStdString(form.Resolution));
    ResCombo_Change();

    LogCheck->setChecked(form.Log);
    Option1[form.Append ? 0 : 1]->setChecked(true);
    LogInfoCheck->setChecked(form.LogSprayInfo);
    for (const auto &[name, on] : form.Flags)
        findChild<QCheckBox *>(QString::fromLatin1(findSetting(name)->Widget))->setChecked(on);
    for (const auto &[name, text] : form.Numbers)
        findChild<QLineEdit *>(QString::fromLatin1(findSetting(name)->Widget))->setText(QString::fromStdString(text));
    ConfidenceCheck->setChecked(form.ConfidenceIntervals);
    QualityTableText->setText(QString::fromStdString(form.QualityTable));
    FindCardsCheck->setChecked(form.FindCards);
    const QString size = QString::fromStdString(form.CardSize);
    if (const int preset = CardSizeCombo->findText(size); preset >= 0)
        CardSizeCombo->setCurrentIndex(preset);
    CardSizeCombo->setEditText(size);
    OverlapEstimateCheck->setChecked(form.AlwaysShowOverlapEstimate);
    LogCheck_Click();
    UnitsOption[form.Metric ? 0 : 1]->setChecked(true);
    for (int i = 0; i < 3; ++i)
        SpreadText[i]->setText(QString::fromStdString(form.Spread[i]));
    SpreadEqLabel[2]->setText(QStringLiteral("D") + QString::fromUtf8(SuperscriptTwo));
    txtRoundness->setText(QString::fromStdString(form.Roundness));
    txtHues->setText(QString::fromStdString(form.Hues));
}

void frmPrefs::ResCombo_Change()
{
    ConversionLabel->setText(QString::fromStdString(conversionLabelText(ResCombo->currentText().toStdString())));
}

void frmPrefs::LogCheck_Click()
{
    const bool on = LogCheck->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{Option1[0], Option1[1], LogInfoCheck, ViewSprayButton})
        w->setEnabled(on);
}

bool frmPrefs::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn && watched != ResCombo) {
        // Select after the click that gave the focus has placed the caret.
        if (auto *box = qobject_cast<QLineEdit *>(watched))
            QTimer::singleShot(0, box, &QLineEdit::selectAll);
    } else if (event->type() == QEvent::FocusOut) {
        // Switching to another window or opening the list is not leaving.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            leftBox(watched);
    }
    return QDialog::eventFilter(watched, event);
}

void frmPrefs::leftBox(QObject *box)
{
    for (int i = 0; i < 3; ++i)
        if (box == SpreadText[i])
            SpreadText[i]->setText(QString::fromStdString(coefficientOnLeave(
                SpreadText[i]->text().toStdString(), Module.SpreadFactor[static_cast<std::size_t>(i)])));
    if (box == txtRoundness)
        txtRoundness->setText(QString::fromStdString(
            thresholdOnLeave(txtRoundness->text().toStdString(), Values.Analysis.Scan.ShapeThreshold)));
    if (box == txtHues)
        txtHues->setText(
            QString::fromStdString(thresholdOnLeave(txtHues->text().toStdString(), Values.Analysis.Scan.HueThreshold)));
}

void frmPrefs::AcceptButton_Click()
{
    // The box being edited is checked as if the focus had left it.
    if (QWidget *focus = QApplication::focusWidget())
        leftBox(focus);
    PrefsForm form;
    form.Resolution = ResCombo->currentText().toStdString();
    for (int i = 0; i < 3; ++i)
        form.Spread[i] = SpreadText[i]->text().toStdString();
    form.Roundness = txtRoundness->text().toStdString();
    form.Hues = txtHues->text().toStdString();
    form.Metric = UnitsOption[0]->isChecked();
    form.Log = LogCheck->isChecked();
    form.Append = Option1[0]->isChecked();
    form.LogSprayInfo = LogInfoCheck->isChecked();
    for (const SettingDecl &d : settingsTable()) {
        if (!d.Widget)
            continue;
        const QString name = QString::fromLatin1(d.Widget);
        if (d.Kind == SettingKind::Flag)
            form.Flags[d.Name] = findChild<QCheckBox *>(name)->isChecked();
        else
            form.Numbers[d.Name] = findChild<QLineEdit *>(name)->text().toStdString();
    }
    form.ConfidenceIntervals = ConfidenceCheck->isChecked();
    form.QualityTable = QualityTableText->text().trimmed().toStdString();
    form.FindCards = FindCardsCheck->isChecked();
    form.CardSize = CardSizeCombo->currentText().toStdString();
    form.AlwaysShowOverlapEstimate = OverlapEstimateCheck->isChecked();
    if (std::string problem, field; !acceptPrefs(form, Values, Module, &problem, &field)) {
        showMessage(this, QString::fromStdString(problem));
        auto *box = findChild<QWidget *>(QString::fromStdString(field));
        (box ? box : ResCombo)->setFocus();
        return;
    }
    accept();
}

} // namespace vex::ui
