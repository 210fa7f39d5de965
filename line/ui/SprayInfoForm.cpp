#include "line/ui/SprayInfoForm.h"

#include "line/SprayInfoRules.h"
#include "line/SprayInfoSettings.h"
#include "text/NumberText.h"
#include "ui/Messages.h"
#include "ui/NumericKeyFilter.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vex::ui {

namespace {

std::array<std::string, 3> coefficientTexts(const std::array<double, 3> &spread)
{
    return {formatCoefficient(spread[0]), formatCoefficient(spread[1]), formatCoefficient(spread[2])};
}

} // namespace

SprayInfoForm::SprayInfoForm(SprayInfo &spray, SettingsStore &store, const std::array<double, 3> &spreadFactor,
                             bool metric, QWidget *parent)
    : QDialog(parent), SpreadFactor(spreadFactor), spray_(spray), store_(store)
{
    buildControls();
    Form_Load(coefficientTexts(spreadFactor), metric);
}

SprayInfoForm::SprayInfoForm(SprayInfo &spray, SettingsStore &store, const FromPreferences &prefs, QWidget *parent)
    : QDialog(parent), spray_(spray), store_(store), fromPreferences_(true)
{
    buildControls();
    Form_Load(prefs.SpreadTexts, prefs.Metric);
}

void SprayInfoForm::buildControls()
{
    setObjectName(QStringLiteral("SprayInfoForm"));
    setWindowTitle(tr("Spray Information"));
    auto box = [this](QWidget *parent, const QString &name) {
        auto *b = new QLineEdit(parent);
        b->setObjectName(name);
        b->installEventFilter(this);
        return b;
    };
    auto unit = [](QWidget *parent, const QString &name) {
        auto *l = new QLabel(parent);
        l->setObjectName(name);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("oz/ac")));
        return l;
    };

    AircraftFrame = new QGroupBox(tr("&Aircraft"), this);
    auto *aircraft = new QGridLayout(AircraftFrame);
    const QString aircraftLabels[6] = {tr("Type:"),  tr("Registration:"), tr("Owner:"),
                                       tr("Swath:"), tr("Speed:"),        tr("Height:")};
    for (int i = 0; i < 6; ++i) {
        AircraftInput[i] = box(AircraftFrame, QStringLiteral("AircraftInput%1").arg(i + 1));
        aircraft->addWidget(new QLabel(aircraftLabels[i], AircraftFrame), i, 0);
        aircraft->addWidget(AircraftInput[i], i, 1);
    }
    SwathUnitsLabel = unit(AircraftFrame, QStringLiteral("SwathUnitsLabel"));
    SpeedUnitsLabel = unit(AircraftFrame, QStringLiteral("SpeedUnitsLabel"));
    HeightUnitsLabel = unit(AircraftFrame, QStringLiteral("HeightUnitsLabel"));
    aircraft->addWidget(SwathUnitsLabel, 3, 2);
    aircraft->addWidget(SpeedUnitsLabel, 4, 2);
    aircraft->addWidget(HeightUnitsLabel, 5, 2);

    SprayFrame = new QGroupBox(tr("Spray &Characteristics"), this);
    auto *sprayLayout = new QGridLayout(SprayFrame);
    const QString sprayLabels[3] = {tr("Product:"), tr("Active Rate:"), tr("Spray Rate:")};
    for (int i = 0; i < 3; ++i) {
        SprayInput[i] = box(SprayFrame, QStringLiteral("SprayInput%1").arg(i + 1));
        sprayLayout->addWidget(new QLabel(sprayLabels[i], SprayFrame), i, 0);
        sprayLayout->addWidget(SprayInput[i], i, 1);
    }
    ActRateUnitsLabel = unit(SprayFrame, QStringLiteral("ActRateUnitsLabel"));
    SprayRateUnitsLabel = unit(SprayFrame, QStringLiteral("SprayRateUnitsLabel"));
    sprayLayout->addWidget(ActRateUnitsLabel, 1, 2);
    sprayLayout->addWidget(SprayRateUnitsLabel, 2, 2);

    NozzleFrame = new QGroupBox(tr("&Nozzles"), this);
    auto *nozzles = new QGridLayout(NozzleFrame);
    const QString nozzleLabels[2] = {tr("Type:"), tr("Number:")};
    for (int i = 0; i < 2; ++i) {
        NozzleInput[i] = box(NozzleFrame, QStringLiteral("NozzleInput%1").arg(i + 1));
        nozzles->addWidget(new QLabel(nozzleLabels[i], NozzleFrame), i, 0);
        nozzles->addWidget(NozzleInput[i], i, 1);
    }

    SamplerFrame = new QGroupBox(tr("&Sampler"), this);
    auto *sampler = new QGridLayout(SamplerFrame);
    AnalysisInput = box(SamplerFrame, QStringLiteral("AnalysisInput1"));
    sampler->addWidget(new QLabel(tr("Type:"), SamplerFrame), 0, 0);
    sampler->addWidget(AnalysisInput, 0, 1, 1, 6);
    sampler->addWidget(new QLabel(tr("Spread Factor:"), SamplerFrame), 1, 0);
    const QString eq[3] = {QStringLiteral("+"), QStringLiteral("D+"), QStringLiteral("D")};
    for (int i = 0; i < 3; ++i) {
        SpreadText[i] = box(SamplerFrame, QStringLiteral("SpreadText%1").arg(i));
        SpreadText[i]->setMaximumWidth(80);
        SpreadEqLabel[i] = new QLabel(eq[i], SamplerFrame);
        sampler->addWidget(SpreadText[i], 1, 1 + 2 * i);
        sampler->addWidget(SpreadEqLabel[i], 1, 2 + 2 * i);
    }

    SampleFrame = new QGroupBox(tr("Sa&mple Array"), this);
    auto *sample = new QGridLayout(SampleFrame);
    SampleInput[0] = box(SampleFrame, QStringLiteral("SampleInput1"));
    SampleInput[1] = box(SampleFrame, QStringLiteral("SampleInput2"));
    SamplerPosUnitsLabel = unit(SampleFrame, QStringLiteral("SamplerPosUnitsLabel"));
    SamplerSepUnitsLabel = unit(SampleFrame, QStringLiteral("SamplerSepUnitsLabel"));
    sample->addWidget(new QLabel(tr("Position of Sampler1:"), SampleFrame), 0, 0);
    sample->addWidget(SampleInput[0], 0, 1);
    sample->addWidget(SamplerPosUnitsLabel, 0, 2);
    sample->addWidget(new QLabel(tr("(w.r.t. A/C centerline)"), SampleFrame), 1, 0, 1, 3);
    sample->addWidget(new QLabel(tr("Sampler Separation:"), SampleFrame), 2, 0);
    sample->addWidget(SampleInput[1], 2, 1);
    sample->addWidget(SamplerSepUnitsLabel, 2, 2);

    CommentFrame = new QGroupBox(tr("C&omment"), this);
    auto *comment = new QVBoxLayout(CommentFrame);
    CommentText = new QPlainTextEdit(CommentFrame);
    CommentText->setObjectName(QStringLiteral("CommentText"));
    CommentText->setTabChangesFocus(true);
    CommentText->setMaximumHeight(70);
    CommentText->installEventFilter(this);
    comment->addWidget(CommentText);

    AcceptButton = new QPushButton(tr("Accept"), this);
    AcceptButton->setObjectName(QStringLiteral("AcceptButton"));
    AcceptButton->setDefault(true);
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    ResetButton = new QPushButton(tr("Reset Values"), this);
    ResetButton->setObjectName(QStringLiteral("ResetButton"));
    ResetButton->setAutoDefault(false);

    // Numbers only where the program reads numbers; the nozzle count is whole.
    for (QLineEdit *b : {AircraftInput[3], AircraftInput[4], AircraftInput[5], SprayInput[1], SprayInput[2],
                         SpreadText[0], SpreadText[1], SpreadText[2], SampleInput[0], SampleInput[1]})
        NumericKeyFilter::install(b, true, true);
    NumericKeyFilter::install(NozzleInput[1], false, false);

    auto *left = new QVBoxLayout;
    left->addWidget(AircraftFrame);
    left->addWidget(NozzleFrame);
    auto *right = new QVBoxLayout;
    right->addWidget(SprayFrame);
    right->addWidget(SamplerFrame);
    right->addWidget(SampleFrame);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(AcceptButton);
    buttons->addWidget(CancelButton);
    buttons->addWidget(ResetButton);
    buttons->addStretch();
    auto *top = new QVBoxLayout(this);
    top->addLayout(columns);
    top->addWidget(CommentFrame);
    top->addLayout(buttons);

    connect(AcceptButton, &QPushButton::clicked, this, &SprayInfoForm::AcceptButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &SprayInfoForm::CancelButton_Click);
    connect(ResetButton, &QPushButton::clicked, this, &SprayInfoForm::ResetButton_Click);
}

QLineEdit *SprayInfoForm::entryBox(int entry) const
{
    if (entry >= AC_Type && entry <= AC_Height)
        return AircraftInput[entry - AC_Type];
    if (entry >= Spray_Product && entry <= Spray_SprayRate)
        return SprayInput[entry - Spray_Product];
    if (entry == Nozzle_Type || entry == Nozzle_Number)
        return NozzleInput[entry - Nozzle_Type];
    if (entry == Sampler_Type)
        return AnalysisInput;
    if (entry == Sample_Position1 || entry == Sample_Interval)
        return SampleInput[entry - Sample_Position1];
    return nullptr;
}

void SprayInfoForm::Form_Load(const std::array<std::string, 3> &spreadTexts, bool metric)
{
    for (int entry = AC_Type; entry <= Sampler_Type; ++entry)
        entryBox(entry)->setText(QString::fromStdString(spray_[entry]));
    CommentText->setPlainText(QString::fromStdString(spray_[Comment]));
    // The sample array as stored, not as in memory: every run asks anew.
    for (const int entry : {static_cast<int>(Sample_Position1), static_cast<int>(Sample_Interval)})
        entryBox(entry)->setText(
            QString::fromStdString(sampleBoxText(readSetting(store_, SprayInfoSection, sprayInfoKey(entry), ""))));
    for (std::size_t i = 0; i < 3; ++i) {
        const std::optional<double> v = parseNumber(spreadTexts[i]);
        SpreadText[i]->setText(QString::fromStdString(v ? sprayCoefficientOnOpen(*v) : spreadTexts[i]));
    }
    SpreadEqLabel[2]->setText(QStringLiteral("D") + QString::fromUtf8(SuperscriptTwo));
    const std::array<std::string, 7> units = sprayUnitCaptions(metric);
    QLabel *labels[7] = {SwathUnitsLabel,     SpeedUnitsLabel,      HeightUnitsLabel,    ActRateUnitsLabel,
                         SprayRateUnitsLabel, SamplerPosUnitsLabel, SamplerSepUnitsLabel};
    for (std::size_t i = 0; i < 7; ++i)
        labels[i]->setText(QString::fromStdString(units[i]));
}

bool SprayInfoForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (auto *b = qobject_cast<QLineEdit *>(watched))
            QTimer::singleShot(0, b, &QLineEdit::selectAll);
        else if (watched == CommentText)
            QTimer::singleShot(0, CommentText, &QPlainTextEdit::selectAll);
    } else if (event->type() == QEvent::FocusOut) {
        for (QLineEdit *b : SpreadText)
            if (watched == b)
                b->setText(QString::fromStdString(sprayCoefficientOnLeave(b->text().toStdString())));
        for (QLineEdit *b : SampleInput)
            if (watched == b)
                b->setText(QString::fromStdString(sampleBoxText(b->text().toStdString())));
    }
    return QDialog::eventFilter(watched, event);
}

std::array<std::string, 3> SprayInfoForm::acceptedSpreadTexts() const
{
    return {SpreadText[0]->text().toStdString(), SpreadText[1]->text().toStdString(),
            SpreadText[2]->text().toStdString()};
}

void SprayInfoForm::AcceptButton_Click()
{
    const std::array<std::string, 3> spread = acceptedSpreadTexts();
    const SprayCheck check =
        checkSprayInfo(spread, SampleInput[0]->text().toStdString(), SampleInput[1]->text().toStdString());
    if (!check.ok()) {
        showMessage(this, tr(check.Message.c_str()));
        QLineEdit *failing = nullptr;
        switch (check.Failing) {
        case SprayCheck::Box::Spread0:
            failing = SpreadText[0];
            break;
        case SprayCheck::Box::Spread1:
            failing = SpreadText[1];
            break;
        case SprayCheck::Box::Spread2:
            failing = SpreadText[2];
            break;
        case SprayCheck::Box::SamplePosition:
            failing = SampleInput[0];
            break;
        case SprayCheck::Box::SampleInterval:
            failing = SampleInput[1];
            break;
        case SprayCheck::Box::None:
            break;
        }
        if (failing)
            failing->setFocus();
        return;
    }
    for (int entry = AC_Type; entry <= Sample_Interval; ++entry)
        spray_[entry] = entryBox(entry)->text().toStdString();
    spray_[Comment] = CommentText->toPlainText().toStdString();
    if (const Status saved = saveSprayInfo(store_, spray_); !saved.ok())
        showMessage(this, QString::fromStdString(saved.reason()), QMessageBox::Ok, QMessageBox::Warning);
    if (!fromPreferences_)
        for (std::size_t i = 0; i < 3; ++i)
            SpreadFactor[i] = *parseNumber(spread[i]);
    Accept = true;
    accept();
}

void SprayInfoForm::CancelButton_Click()
{
    Accept = false;
    reject();
}

void SprayInfoForm::ResetButton_Click()
{
    for (int entry = AC_Type; entry <= Sample_Interval; ++entry)
        entryBox(entry)->clear();
    for (QLineEdit *b : SpreadText)
        b->clear();
    CommentText->clear();
}

} // namespace vex::ui
