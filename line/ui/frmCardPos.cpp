#include "line/ui/frmCardPos.h"

#include "line/SprayInfo.h"

#include "text/NumberText.h"
#include "ui/Messages.h"
#include "ui/NumericKeyFilter.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace vex::ui {

frmCardPos::frmCardPos(CardList &cards, SprayInfo &spray, SettingsStore &store, bool metric, bool acceptOnly,
                       QWidget *parent)
    : QDialog(parent), cards_(cards), spray_(spray), store_(store), acceptOnly_(acceptOnly)
{
    setObjectName(QStringLiteral("frmCardPos"));
    setWindowTitle(tr("Card Positions"));
    if (acceptOnly_)
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto *boxes = new QGridLayout;
    const QString captions[2] = {tr("Card 1 Position:"), tr("Card Spacing:")};
    for (int i = 0; i < 2; ++i) {
        txtInput[i] = new QLineEdit(this);
        txtInput[i]->setObjectName(QStringLiteral("txtInput%1").arg(i + 1));
        txtInput[i]->installEventFilter(this);
        NumericKeyFilter::install(txtInput[i], true, true);
        lblUnits[i] = new QLabel(metric ? QStringLiteral("m") : QStringLiteral("ft"), this);
        lblUnits[i]->setObjectName(QStringLiteral("lblUnits%1").arg(i + 1));
        boxes->addWidget(new QLabel(captions[i], this), i, 0);
        boxes->addWidget(txtInput[i], i, 1);
        boxes->addWidget(lblUnits[i], i, 2);
    }
    PositionList = new QTableWidget(this);
    PositionList->setObjectName(QStringLiteral("PositionList"));
    PositionList->setColumnCount(2);
    PositionList->horizontalHeader()->hide();
    PositionList->verticalHeader()->hide();
    PositionList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PositionList->setSelectionMode(QAbstractItemView::NoSelection);
    PositionList->setFocusPolicy(Qt::NoFocus);

    AcceptButton = new QPushButton(tr("Accept"), this);
    AcceptButton->setObjectName(QStringLiteral("AcceptButton"));
    AcceptButton->setDefault(true);
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    CancelButton->setEnabled(!acceptOnly_);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(AcceptButton);
    buttons->addWidget(CancelButton);
    auto *top = new QVBoxLayout(this);
    top->addLayout(boxes);
    top->addWidget(PositionList);
    top->addLayout(buttons);
    connect(AcceptButton, &QPushButton::clicked, this, &frmCardPos::AcceptButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &frmCardPos::reject);

    values_ = cardPosOpening(spray_, store_);
    txtInput[0]->setText(QString::fromStdString(formatFixed(values_.Position1, 1)));
    txtInput[1]->setText(QString::fromStdString(formatFixed(values_.Spacing, 1)));
    refreshGrid();
}

void frmCardPos::refreshGrid()
{
    const int decimals = positionDecimals(txtInput[0]->text().toStdString(), txtInput[1]->text().toStdString());
    PositionList->setRowCount(cards_.count());
    for (int i = 1; i <= cards_.count(); ++i) {
        PositionList->setItem(i - 1, 0, new QTableWidgetItem(QString::fromStdString(cards_[i].FileTitle)));
        auto *position = new QTableWidgetItem(QString::fromStdString(cardPositionText(values_, i, decimals)));
        position->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        PositionList->setItem(i - 1, 1, position);
    }
    PositionList->resizeColumnsToContents();
}

void frmCardPos::leaveBox(int box)
{
    float &value = box == 0 ? values_.Position1 : values_.Spacing;
    const std::string text = editPositionBox(txtInput[box]->text().toStdString(), value, box == 1);
    txtInput[box]->setText(QString::fromStdString(text));
    refreshGrid();
}

bool frmCardPos::eventFilter(QObject *watched, QEvent *event)
{
    for (int i = 0; i < 2; ++i) {
        if (watched != txtInput[i])
            continue;
        if (event->type() == QEvent::FocusIn)
            QTimer::singleShot(0, txtInput[i], &QLineEdit::selectAll);
        else if (event->type() == QEvent::FocusOut && !accepting_)
            leaveBox(i);
    }
    return QDialog::eventFilter(watched, event);
}

void frmCardPos::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    txtInput[0]->setFocus();
}

void frmCardPos::AcceptButton_Click()
{
    accepting_ = true;
    leaveBox(0);
    leaveBox(1);
    for (int i = 1; i <= cards_.count(); ++i)
        cards_[i].Position = values_.Position1 + static_cast<float>(i - 1) * values_.Spacing;
    spray_[Sample_Position1] = txtInput[0]->text().toStdString();
    spray_[Sample_Interval] = txtInput[1]->text().toStdString();
    Status stored = writeSetting(store_, SprayInfoSection, sprayInfoKey(Sample_Position1), spray_[Sample_Position1]);
    stored.add(writeSetting(store_, SprayInfoSection, sprayInfoKey(Sample_Interval), spray_[Sample_Interval]));
    if (!stored.ok())
        showMessage(this, programText(stored.reason()), QMessageBox::Ok, QMessageBox::Warning);
    accept();
    accepting_ = false;
}

void frmCardPos::reject()
{
    if (acceptOnly_)
        return;
    QDialog::reject();
}

void frmCardPos::closeEvent(QCloseEvent *event)
{
    if (acceptOnly_ && result() != QDialog::Accepted) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace vex::ui
