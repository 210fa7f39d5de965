#pragma once
// The resolution window: one row per card, the resolution editable in place.
// It works on its grid only; the cards change on Accept.

#include "intake/Resolution.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace vex::ui {

class frmResolution : public QDialog {
    Q_OBJECT
public:
    // reanalyse is called after Accept with the cards to measure again when
    // the user agrees; cards must outlive the window.
    frmResolution(CardList &cards, std::function<void(const std::vector<int> &)> reanalyse, QWidget *parent = nullptr);

    QTableWidget *ResolutionList = nullptr;
    QLineEdit *CellEditText = nullptr;
    QPushButton *MakeSameSizeButton = nullptr;
    QPushButton *AcceptButton = nullptr;
    QPushButton *CancelButton = nullptr;

    const ResolutionGrid &grid() const { return grid_; }
    bool editing() const;
    // Opens the edit box over the current row, holding text.
    void beginEdit(const QString &text);
    // Ends the edit as Enter or Escape in the edit box do.
    void endEdit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshRow(int row);
    void applyToAll();
    void acceptChanges();

    CardList &cards_;
    ResolutionGrid grid_;
    std::function<void(const std::vector<int> &)> reanalyse_;
    int editRow_ = -1;
};

} // namespace vex::ui
