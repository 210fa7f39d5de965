#pragma once
// The trial as the window runs it: its passes over the line with the pass
// box and the Trial menu, the mean of passes, saving and opening the trial
// file, the checks of the card files it names, the questions about cards
// outside its folder, and the mark for unsaved changes.  The cards on
// display stay the window's; the controller swaps them with its passes and
// tells the window, through the callbacks it is given, what to show.

#include "app/AppState.h"
#include "app/ui/CancelFlag.h"
#include "line/PassMean.h"
#include "model/LinePass.h"
#include "trial/Trial.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QComboBox;
class QMenu;
class QProgressBar;
class QPushButton;
class QWidget;

namespace vex::ui {

class TrialController : public QObject {
    Q_OBJECT
public:
    // How the window shows the cards a pass change leaves on display.
    enum class Shown { Empty, Pass, PassAsLine, Mean, Opened };
    // What the controller is given of the window.
    struct Window {
        QWidget *Owner;
        CardList &Cards;
        int &CurrentCard;
        int &ShownCard;
        Preferences &Prefs;
        LineResults &Line;
        float &MaxScannedDiameter;
        CancelFlag &CancelRequested;
        QProgressBar *Progress;
        QPushButton *Cancel;
        std::function<bool()> Busy;
        std::function<void(bool)> SetBusy;
        std::function<bool()> CompositeShown;
        // The trial as it would be saved, and the key of what it keeps.
        std::function<Trial()> MakeTrial;
        std::function<std::string()> StateKey;
        std::function<void(const AnalysisSettings &)> ApplySettings;
        std::function<void()> RefreshLine;
        std::function<void()> RefreshComposite;
        std::function<void(Shown)> Show;
        std::function<void()> UpdateMark;
        std::function<std::string(int card)> ScanLogPath;
        std::function<void(int card)> FileBack;
        // Choose the file to save the trial to, or to open; unset, the file
        // dialogs ask.
        std::function<bool(std::string &path)> &ChooseToSave;
        std::function<bool(std::string &path)> &ChooseToOpen;
    };
    TrialController(Window window, QWidget *menuParent);

    QPushButton *trialButton() const { return trialButton_; }
    QComboBox *passCombo() const { return passCombo_; }

    // ---- Passes -------------------------------------------------------------
    std::vector<LinePass> &passes() { return passes_; }
    const std::vector<LinePass> &passes() const { return passes_; }
    int passCount() const { return static_cast<int>(passes_.size()); }
    int currentPass() const { return currentPass_; }
    bool meanShown() const { return meanShown_; }
    PassMean &mean() { return mean_; }
    const PassMean &mean() const { return mean_; }
    void selectPass(int pass);
    void addPass();
    void removePass();
    void setPassInMean(int pass, bool inMean);
    void showMeanOfPasses();
    // Back from the mean to the pass it was opened over.
    void leaveMean();
    // The cards of the current pass were put in an order of the user's.
    void markOrderEdited();
    void cmbPass_Change(int index);

    // ---- The file -----------------------------------------------------------
    const std::string &path() const { return path_; }
    bool modified() const;
    // The caption with the trial's name and the mark, once there is either.
    QString titled(const QString &caption) const;
    // Remembers the trial as it stands as the one saved.
    void markSaved();
    bool outputRefused(const std::string &path, bool savingTrial, QWidget *parent);
    bool save(const std::string &path);
    bool open(const std::string &path);
    bool settleUnsaved();
    void btnSaveTrial_Click();
    void btnSaveTrialAs_Click();
    void btnOpenTrial_Click();

    // ---- Card files -----------------------------------------------------------
    std::string shownName(const CardRecord &card) const;
    bool mayWriteBeside(int index, const std::string &ask);
    bool cardFileUsable(int index);

private:
    void buildMenu(QWidget *menuParent);
    void stashCurrentPass();
    void takePass(int pass);
    void refreshPassControls();
    CardList &cardsOf(int pass);
    // Which card files of `t` have gone or changed, off the GUI thread with
    // progress; stopped, the cards not yet checked count as there.
    void checkFiles(Trial &t);
    Status noteCardFiles();
    void takeOpened(Trial &t, const std::string &path);
    void reportFileStates();
    // Cuts the missing files of these cards (pass, card) again from their pictures.
    void cutAgain(const std::vector<std::pair<int, int>> &cuttable);
    // Runs `work` off the GUI thread with the window busy meanwhile.
    template <class F>
    auto whileBusy(F &&work);

    Window w_;
    QPushButton *trialButton_ = nullptr;
    QMenu *trialMenu_ = nullptr;
    QMenu *meanMenu_ = nullptr;
    QComboBox *passCombo_ = nullptr;
    bool updating_ = false;
    std::vector<LinePass> passes_{LinePass{defaultPassName(1), {}, {}, true, false}};
    int currentPass_ = 1;
    bool meanShown_ = false;
    PassMean mean_;
    std::string path_;
    std::string savedKey_;
    // The opened trial's cards outside its folder, by path: true once the
    // user let a scan write beside it.
    std::map<std::string, bool> outsideCards_;
};

} // namespace vex::ui
