#pragma once
// The Card Positions window: card 1's position and the card spacing, with
// a grid of every card and its position.  A row takes a position typed for
// its card, moves up or down the line, or leaves its card out of the line.
// Accept places the cards and keeps both values, in memory and in the
// settings.

#include "line/CardPositions.h"
#include "model/CardList.h"
#include "model/SprayInfo.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace vex::ui {

class frmCardPos : public QDialog {
    Q_OBJECT
public:
    // acceptOnly: the positions are needed to go on, so Accept is the only
    // way out (no Cancel, no close button, no Escape).
    frmCardPos(CardList &cards, SprayInfo &spray, SettingsStore &store, bool metric, bool acceptOnly,
               QWidget *parent = nullptr);

    const CardPosValues &values() const { return values_; }
    // After Accept: the line order was changed, or any row.
    bool lineOrderChanged() const { return orderChanged_; }
    bool placesChanged() const { return placesChanged_; }

    QLineEdit *txtInput[2] = {nullptr, nullptr};
    QLabel *lblUnits[2] = {nullptr, nullptr};
    QTableWidget *PositionList = nullptr;
    QPushButton *AcceptButton = nullptr;
    QPushButton *CancelButton = nullptr;
    QPushButton *btnMoveUp = nullptr;
    QPushButton *btnMoveDown = nullptr;
    QLabel *lblNote = nullptr;

public slots:
    void AcceptButton_Click();
    void moveSelected(int step);
    void reject() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void leaveBox(int box);
    void refreshGrid();
    void PositionList_Changed(int row, int column);

    CardList &cards_;
    SprayInfo &spray_;
    SettingsStore &store_;
    CardPosValues values_;
    std::vector<CardPlace> places_;
    bool filling_ = false;
    bool orderChanged_ = false;
    bool placesChanged_ = false;
    bool acceptOnly_ = false;
    bool accepting_ = false;
};

} // namespace vex::ui
