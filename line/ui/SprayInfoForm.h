#pragma once
// The Spray Information window: aircraft, spray, nozzles, sampler with its
// spread factor, sample array and comment.  Accept checks the numbers,
// keeps the 15 entries in memory and stores them.

#include "model/SprayInfo.h"
#include "text/Settings.h"

#include <QDialog>

#include <array>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vex::ui {

class SprayInfoForm : public QDialog {
    Q_OBJECT
public:
    // Opened from the Preferences window, the spread factor and the units
    // are that window's, not yet accepted.
    struct FromPreferences {
        std::array<std::string, 3> SpreadTexts;
        bool Metric = true;
    };

    // The spread factor and units in use; after Accept, SpreadFactor holds
    // the one the user settled on.
    SprayInfoForm(SprayInfo &spray, SettingsStore &store, const std::array<double, 3> &spreadFactor, bool metric,
                  QWidget *parent = nullptr);
    SprayInfoForm(SprayInfo &spray, SettingsStore &store, const FromPreferences &prefs, QWidget *parent = nullptr);

    // True once the user accepted; the callers stop when it is false.
    bool Accept = false;
    std::array<double, 3> SpreadFactor{};
    // The spread factor texts as accepted (for the Preferences window).
    std::array<std::string, 3> acceptedSpreadTexts() const;

    QGroupBox *AircraftFrame = nullptr;
    QLineEdit *AircraftInput[6] = {};
    QLabel *SwathUnitsLabel = nullptr;
    QLabel *SpeedUnitsLabel = nullptr;
    QLabel *HeightUnitsLabel = nullptr;
    QGroupBox *SprayFrame = nullptr;
    QLineEdit *SprayInput[3] = {};
    QLabel *ActRateUnitsLabel = nullptr;
    QLabel *SprayRateUnitsLabel = nullptr;
    QGroupBox *NozzleFrame = nullptr;
    QLineEdit *NozzleInput[2] = {};
    QGroupBox *SamplerFrame = nullptr;
    QLineEdit *AnalysisInput = nullptr;
    QLineEdit *SpreadText[3] = {};
    QLabel *SpreadEqLabel[3] = {};
    QGroupBox *SampleFrame = nullptr;
    QLineEdit *SampleInput[2] = {};
    QLabel *SamplerPosUnitsLabel = nullptr;
    QLabel *SamplerSepUnitsLabel = nullptr;
    QGroupBox *CommentFrame = nullptr;
    QPlainTextEdit *CommentText = nullptr;
    QPushButton *AcceptButton = nullptr;
    QPushButton *CancelButton = nullptr;
    QPushButton *ResetButton = nullptr;

public slots:
    void AcceptButton_Click();
    void CancelButton_Click();
    void ResetButton_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void Form_Load(const std::array<std::string, 3> &spreadTexts, bool metric);
    QLineEdit *entryBox(int entry) const;

    SprayInfo &spray_;
    SettingsStore &store_;
    bool fromPreferences_ = false;
};

} // namespace vex::ui
