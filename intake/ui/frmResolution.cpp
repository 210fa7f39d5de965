#include "intake/ui/frmResolution.h"

#include "ui/Messages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vex::ui {

namespace {
constexpr int VisibleRows = 20;
}

frmResolution::frmResolution(CardList &cards, std::function<void(const std::vector<int> &)> reanalyse, QWidget *parent)
    : QDialog(parent), cards_(cards), grid_(cards), reanalyse_(std::move(reanalyse))
{
    setWindowTitle(tr("Image Resolution"));
    setModal(true);

    ResolutionList = new QTableWidget(grid_.rowCount(), 3, this);
    ResolutionList->setHorizontalHeaderLabels({tr("Card"), tr("Resolution"), tr("In File")});
    ResolutionList->horizontalHeaderItem(2)->setToolTip(tr("The resolution the image file records (dpi)"));
    ResolutionList->verticalHeader()->hide();
    ResolutionList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ResolutionList->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < grid_.rowCount(); ++row) {
        ResolutionList->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(grid_.fileTitle(row))));
        ResolutionList->setItem(row, 1, new QTableWidgetItem);
        auto *recorded = new QTableWidgetItem(QString::fromStdString(grid_.recordedText(row)));
        recorded->setFlags(recorded->flags() & ~Qt::ItemIsSelectable);
        ResolutionList->setItem(row, 2, recorded);
        refreshRow(row);
    }
    ResolutionList->resizeColumnToContents(0);
    ResolutionList->setColumnWidth(1, 80);
    ResolutionList->setColumnWidth(2, 70);
    const int rowHeight = ResolutionList->verticalHeader()->defaultSectionSize();
    const int shown = std::min(std::max(grid_.rowCount(), 1), VisibleRows);
    ResolutionList->setFixedHeight(rowHeight * shown + ResolutionList->horizontalHeader()->sizeHint().height() +
                                   2 * ResolutionList->frameWidth() + 2);
    ResolutionList->setMinimumWidth(ResolutionList->columnWidth(0) + 80 + 70 + 24);
    if (grid_.rowCount() > 0)
        ResolutionList->setCurrentCell(0, 1);

    CellEditText = new QLineEdit(ResolutionList->viewport());
    CellEditText->hide();

    MakeSameSizeButton = new QPushButton(tr("Apply To All"), this);
    AcceptButton = new QPushButton(tr("Accept"), this);
    CancelButton = new QPushButton(tr("Cancel"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(MakeSameSizeButton);
    buttons->addStretch();
    buttons->addWidget(AcceptButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(ResolutionList);
    layout->addLayout(buttons);

    ResolutionList->installEventFilter(this);
    CellEditText->installEventFilter(this);
    connect(ResolutionList, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (row == ResolutionList->currentRow() && !editing())
            beginEdit(ResolutionList->item(row, 1)->text());
    });
    connect(ResolutionList, &QTableWidget::currentCellChanged, this, [this](int, int, int, int) {
        if (editing())
            endEdit();
    });
    connect(MakeSameSizeButton, &QPushButton::clicked, this, &frmResolution::applyToAll);
    connect(AcceptButton, &QPushButton::clicked, this, &frmResolution::acceptChanges);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool frmResolution::editing() const
{
    return CellEditText->isVisible() || editRow_ >= 0;
}

void frmResolution::refreshRow(int row)
{
    ResolutionList->item(row, 1)->setText(QString::fromStdString(grid_.text(row)));
    ResolutionList->item(row, 0)->setForeground(grid_.changed(row) ? QColor(255, 0, 0) : QColor(0, 0, 0));
    ResolutionList->item(row, 2)->setForeground(grid_.recordedDiffers(row) ? QColor(255, 0, 0) : QColor(0, 0, 0));
}

void frmResolution::beginEdit(const QString &text)
{
    const int row = ResolutionList->currentRow();
    if (row < 0)
        return;
    editRow_ = row;
    CellEditText->setGeometry(ResolutionList->visualItemRect(ResolutionList->item(row, 1)));
    CellEditText->setText(text);
    CellEditText->show();
    CellEditText->setFocus();
    CellEditText->end(false);
}

void frmResolution::endEdit()
{
    const int row = editRow_;
    editRow_ = -1;
    if (row >= 0 && grid_.enter(row, CellEditText->text().toStdString()))
        refreshRow(row);
    CellEditText->clear();
    CellEditText->hide();
    ResolutionList->setFocus();
    if (row >= 0)
        ResolutionList->setCurrentCell(row, 1);
}

bool frmResolution::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == CellEditText) {
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) {
                // Escape ends the edit here instead of closing the window.
                endEdit();
                return true;
            }
        } else if (watched == ResolutionList && !editing()) {
            const QString text = key->text();
            if (text.size() == 1 && text.front().isDigit()) {
                beginEdit(text);
                return true;
            }
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                const int row = ResolutionList->currentRow();
                if (row >= 0)
                    beginEdit(ResolutionList->item(row, 1)->text());
                return true;
            }
        }
    } else if (event->type() == QEvent::FocusOut && watched == CellEditText && editRow_ >= 0) {
        // Leaving the box by other means hides it without taking its text.
        editRow_ = -1;
        CellEditText->clear();
        CellEditText->hide();
    }
    return QDialog::eventFilter(watched, event);
}

void frmResolution::applyToAll()
{
    if (editing())
        endEdit();
    const int row = ResolutionList->currentRow();
    if (!grid_.applyToAll(row))
        return;
    for (int r = 0; r < grid_.rowCount(); ++r)
        refreshRow(r);
    ResolutionList->setCurrentCell(row, 1);
}

void frmResolution::acceptChanges()
{
    if (editing())
        endEdit();
    grid_.accept(cards_);
    if (grid_.anyChanged()) {
        const auto answer =
            showMessage(this, programText(ReanalyseQuestion), QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning);
        if (answer == QMessageBox::Yes && reanalyse_)
            reanalyse_(grid_.cardsToReanalyse());
    }
    accept();
}

} // namespace vex::ui
