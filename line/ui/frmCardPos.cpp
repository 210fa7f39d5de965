#include "line/ui/frmCardPos.h"

#include "line/SprayInfoSettings.h"

#include "text/NumberText.h"
#include "ui/Messages.h"
#include "ui/NumericKeyFilter.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

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
    PositionList->setColumnCount(3);
    PositionList->setHorizontalHeaderLabels({tr("Card"), tr("Position"), tr("Left Out")});
    PositionList->verticalHeader()->hide();
    PositionList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                  QAbstractItemView::AnyKeyPressed);
    PositionList->setSelectionMode(QAbstractItemView::SingleSelection);
    PositionList->setSelectionBehavior(QAbstractItemView::SelectRows);
    PositionList->setToolTip(tr("Type a position for a single card; clear it to give the card its place in the "
                                "line again."));
    connect(PositionList, &QTableWidget::cellChanged, this, &frmCardPos::PositionList_Changed);

    btnMoveUp = new QPushButton(tr("Move Up"), this);
    btnMoveUp->setObjectName(QStringLiteral("btnMoveUp"));
    btnMoveUp->setAutoDefault(false);
    btnMoveDown = new QPushButton(tr("Move Down"), this);
    btnMoveDown->setObjectName(QStringLiteral("btnMoveDown"));
    btnMoveDown->setAutoDefault(false);
    connect(btnMoveUp, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(btnMoveDown, &QPushButton::clicked, this, [this] { moveSelected(1); });
    lblNote = new QLabel(tr(ExcludedCardsNote), this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);

    AcceptButton = new QPushButton(tr("Accept"), this);
    AcceptButton->setObjectName(QStringLiteral("AcceptButton"));
    AcceptButton->setDefault(true);
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setAutoDefault(false);
    CancelButton->setEnabled(!acceptOnly_);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnMoveUp);
    buttons->addWidget(btnMoveDown);
    buttons->addStretch();
    buttons->addWidget(AcceptButton);
    buttons->addWidget(CancelButton);
    auto *top = new QVBoxLayout(this);
    top->addLayout(boxes);
    top->addWidget(PositionList);
    top->addWidget(lblNote);
    top->addLayout(buttons);
    connect(AcceptButton, &QPushButton::clicked, this, &frmCardPos::AcceptButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &frmCardPos::reject);

    values_ = cardPosOpening(spray_, store_);
    places_ = cardPlaces(cards_);
    txtInput[0]->setText(QString::fromStdString(formatFixed(values_.Position1, 1)));
    txtInput[1]->setText(QString::fromStdString(formatFixed(values_.Spacing, 1)));
    refreshGrid();
}

void frmCardPos::refreshGrid()
{
    const int decimals = placeDecimals(places_, txtInput[0]->text().toStdString(), txtInput[1]->text().toStdString());
    filling_ = true;
    PositionList->setRowCount(static_cast<int>(places_.size()));
    for (int row = 0; row < static_cast<int>(places_.size()); ++row) {
        const CardPlace &place = places_[static_cast<std::size_t>(row)];
        auto *title = new QTableWidgetItem(QString::fromStdString(place.Title));
        title->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        PositionList->setItem(row, 0, title);
        auto *position = new QTableWidgetItem(QString::fromStdString(cardPlaceText(values_, place, row + 1, decimals)));
        position->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // A typed position stands out from those the line gives.
        QFont font = position->font();
        font.setBold(place.Edited);
        position->setFont(font);
        PositionList->setItem(row, 1, position);
        auto *leftOut = new QTableWidgetItem;
        leftOut->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        leftOut->setCheckState(place.Excluded ? Qt::Checked : Qt::Unchecked);
        PositionList->setItem(row, 2, leftOut);
    }
    PositionList->resizeColumnsToContents();
    // Up to a dozen rows in view before the grid scrolls.
    const int rows = std::clamp(static_cast<int>(places_.size()), 3, 12);
    PositionList->setMinimumHeight(PositionList->horizontalHeader()->height() +
                                   rows * PositionList->verticalHeader()->defaultSectionSize() +
                                   2 * PositionList->frameWidth());
    PositionList->setMinimumWidth(PositionList->horizontalHeader()->length() + 2 * PositionList->frameWidth() +
                                  PositionList->verticalScrollBar()->sizeHint().width());
    filling_ = false;
}

void frmCardPos::PositionList_Changed(int row, int column)
{
    if (filling_ || row < 0 || row >= static_cast<int>(places_.size()))
        return;
    CardPlace &place = places_[static_cast<std::size_t>(row)];
    if (column == 1)
        editCardPlace(PositionList->item(row, 1)->text().toStdString(), place);
    else if (column == 2)
        place.Excluded = PositionList->item(row, 2)->checkState() == Qt::Checked;
    // Shown again in the pattern of the line, or as it was when refused.
    QTimer::singleShot(0, this, &frmCardPos::refreshGrid);
}

void frmCardPos::moveSelected(int step)
{
    const int row = PositionList->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= static_cast<int>(places_.size()))
        return;
    std::swap(places_[static_cast<std::size_t>(row)], places_[static_cast<std::size_t>(to)]);
    refreshGrid();
    PositionList->setCurrentCell(to, 0);
}

void frmCardPos::leaveBox(int box)
{
    float &value = box == 0 ? values_.Position1 : values_.Spacing;
    const float was = value;
    const bool soundBefore = cardPositionsSound(values_.Position1, values_.Spacing);
    std::string text = editPositionBox(txtInput[box]->text().toStdString(), value, box == 1);
    // A spacing too fine to part card 2 from card 1 at its place puts every
    // card in one: the box gets its value back, as for any invalid entry.
    if (soundBefore && !cardPositionsSound(values_.Position1, values_.Spacing)) {
        value = was;
        text = formatFixed(was, 1);
    }
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
    const std::vector<CardPlace> before = cardPlaces(cards_);
    placesChanged_ = std::any_of(places_.begin(), places_.end(), [&](const CardPlace &p) {
        const CardPlace &was = before[static_cast<std::size_t>(p.Card) - 1];
        return &p - places_.data() != p.Card - 1 || p.Edited != was.Edited || p.Excluded != was.Excluded ||
               (p.Edited && p.Position != was.Position);
    });
    orderChanged_ = applyCardPlaces(cards_, places_);
    spray_[Sample_Position1] = txtInput[0]->text().toStdString();
    spray_[Sample_Interval] = txtInput[1]->text().toStdString();
    assignCardPositions(cards_, spray_);
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
