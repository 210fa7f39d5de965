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
    // The window works on copies; the caller takes Values and Module back
    // after it closes (what Accept assigned before a value it refused stays
    // assigned, as in every window of the program).
    frmPrefs(const Preferences &preferences, const ModuleState &module, QWidget *parent = nullptr);
    Preferences Values;
    ModuleState Module;

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
    QGroupBox *ImageFrame = nullptr;
    QGroupBox *OutputFrame = nullptr;
    QGroupBox *SwathFrame = nullptr;
    QCheckBox *ConfidenceCheck = nullptr;
    QComboBox *DensityPresetCombo = nullptr;
    QLineEdit *QualityTableText = nullptr;
    QPushButton *QualityTableButton = nullptr;
    QCheckBox *FindCardsCheck = nullptr;
    QComboBox *CardSizeCombo = nullptr;
    QCheckBox *OverlapEstimateCheck = nullptr;
    QPushButton *AcceptButton = nullptr;
    QPushButton *CancelButton = nullptr;

public slots:
    void AcceptButton_Click();
    void LogCheck_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildLogAndSwathControls();
    void setToolTips();
    void layOutControls();
    // The settings table's fields, in the frames they name, by object name.
    void buildTableFields();
    void buildApplicatorFields();
    void buildFindCardsFields();
    // Fills the boxes from the values (Form_Initialize in the old design).
    void showValues();
    void ResCombo_Change();
    // The checks made when the focus leaves a box.
    void leftBox(QObject *box);
};

} // namespace vex::ui
