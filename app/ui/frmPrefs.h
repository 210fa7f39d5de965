#pragma once
// The preferences window: default resolution, spread factor, drop filters,
// units and logging.  It edits the values in memory only; they reach the
// settings store when the program closes.

#include "app/AppState.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vex::ui {

class frmPrefs : public QDialog {
    Q_OBJECT
public:
    frmPrefs(MainWindowState &state, ModuleState &module, QWidget *parent = nullptr);

    // Opens the spray information window; until it is set the button does nothing.
    std::function<void()> ViewSprayInfo;

    QGroupBox *ResFrame = nullptr;
    QComboBox *ResCombo = nullptr;
    QLabel *ConversionLabel = nullptr;
    QLabel *Label3 = nullptr;
    QGroupBox *SpreadFrame = nullptr;
    QLineEdit *SpreadText[3] = {nullptr, nullptr, nullptr};
    QLabel *SpreadEqLabel[3] = {nullptr, nullptr, nullptr};
    QGroupBox *FilterFrame = nullptr;
    QLineEdit *txtRoundness = nullptr;
    QLineEdit *txtHues = nullptr;
    QGroupBox *UnitsFrame = nullptr;
    QRadioButton *UnitsOption[2] = {nullptr, nullptr};
    QGroupBox *LogFrame = nullptr;
    QCheckBox *LogCheck = nullptr;
    QRadioButton *Option1[2] = {nullptr, nullptr};
    QCheckBox *LogInfoCheck = nullptr;
    QPushButton *ViewSprayButton = nullptr;
    QPushButton *AcceptButton = nullptr;
    QPushButton *CancelButton = nullptr;

public slots:
    void AcceptButton_Click();
    void LogCheck_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void Form_Initialize();
    void ResCombo_Change();
    // The checks made when the focus leaves a box.
    void leftBox(QObject *box);

    MainWindowState &state_;
    ModuleState &module_;
};

} // namespace vex::ui
