#pragma once
// The main window: one card image at a time, the card strip, the command
// buttons, the colour-masking controls, the result graph and statistics.
// It keeps the card list, the preferences and the line's results for the
// life of the program and passes them to the core; it computes nothing
// itself.  Its controls are its own: tests find them by their object names.

#include "app/AppState.h"
#include "app/ui/CancelFlag.h"
#include "line/LineAnalysis.h"
#include "line/LineBootstrap.h"
#include "line/PassMean.h"
#include "model/LinePass.h"
#include "report/Report.h"
#include "trial/Trial.h"

#include <QImage>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QMenu;
class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;
class QStackedWidget;
class QTabBar;

namespace vex::ui {

class CardPicture;
class HueHistogramView;
class SprayLineGraphView;
class SwathGraphView;
class InfoForm;
class ResultGraphView;
class ScanController;

class frmMain : public QWidget {
    Q_OBJECT
    friend class ScanController;

public:
    // The store must outlive the window; the preferences are written to it on close.
    frmMain(SettingsStore &store, ModuleState &module, int screenHeightPixels, QWidget *parent = nullptr);
    ~frmMain() override;

    // ---- What the window holds --------------------------------------------
    const CardList &cards() const { return cards_; }
    // The card list, for setting up a line by hand (positions of their own).
    CardList &cards() { return cards_; }
    int cardCount() const { return cards_.count(); }
    int currentCard() const { return currentCard_; }
    Preferences &preferences() { return prefs_; }
    ModuleState &module() { return module_; }
    SprayInfo &sprayInfo() { return prefs_.Spray; }
    // The line as last analysed: pooled spectrum, card figures, swath.
    const LineResults &lineResults() const { return line_; }
    // What the analysis of a card or the line takes from the window now.
    AnalysisSettings analysisSettings() const;

    // ---- Values the views show, for inspection ----------------------------
    float rangeLow() const { return view_.RangeLow; }
    float rangeHigh() const { return view_.RangeHigh; }
    // The size range as the graph's mouse sets it.
    void setSizeRange(float low, float high);
    int graphMode() const { return view_.GraphMode; }
    double currentVmd() const { return view_.CurrentVMD; }
    float maxScannedDiameter() const { return view_.MaxScannedDiameter; }
    const CompositeResult &singleRange() const { return view_.SingleRange; }
    int currentProfile() const { return view_.CurrentProfile; }
    int shownCard() const { return shownCard_; }
    std::int32_t lastClipIndex() const { return view_.LastClipIndex; }
    bool cancelRequested() const { return view_.CancelRequested; }
    const std::array<Rgb, 257> &hueColours() const { return view_.HueColour; }
    bool compositeMode() const;
    bool tallLayout() const { return tallLayout_; }
    // False while a hue slider is being dragged.
    bool hueRangeReady() const { return hueRangeReady_; }
    // True while a load, colour pass or scan runs: the commands that start
    // one do nothing then.
    bool busy() const { return busy_; }

    // ---- Commands ----------------------------------------------------------
    // Adds a loaded card with a tab of its own; the caller decides which card
    // to show.  Returns the card's index.
    int addCard(CardRecord card);
    // Makes card `index` the current one and shows it.
    void selectCard(int index);
    // Selects the tab of the current card, which shows the card.
    void selectCurrentTab();
    // Closing one card (Delete) or all (Ctrl+Delete).
    void closeSelectedCard();
    void closeAllCards();
    // Opens one card image; folder ends with '/'.  True when a card was
    // added (as the last card); on any refusal the card list is as before.
    // (LoadImage in the old design.)
    // resolution: the card's, as typed in the cutting window; 0 for the
    // default (or, when so preferred, the one the file records).
    bool loadImage(const std::string &fileTitle, const std::string &pathName, std::int32_t resolution = 0);
    // The open command for the files the dialog returned, in any order.
    void loadFiles(const QStringList &paths);
    void loadFiles(const std::string &path) { loadFiles(QStringList{QString::fromStdString(path)}); }
    // The colour pass of one card, with its questions, progress and cancel.
    // True when it completed.
    bool runColourPassFor(int index);
    // Traces and measures the stains of one card, writes its scan log and
    // marks it scanned; returns early, changing nothing, on cancel.
    // (ScanImage in the old design.)
    void scanCard(int index);
    // Measures the given cards again after their resolution changed.
    void reanalyseCards(const std::vector<int> &cards);
    // Cuts the sheet image at `path` by a template into new cards (the
    // cutting window is shown modally).
    void cutSheet(const std::string &path);
    // Writes the results of the line to `path` after the questions of the
    // save command, in the layout its extension names (else TXT for filter
    // index 1, CSV otherwise); false when it stopped.
    bool writeResults(const std::string &path, int filterIndex);
    // Chooses the results file; when not set, the save dialog asks.  True
    // with a file chosen.
    std::function<bool(std::string &path, int &filterIndex)> chooseResultsFile;
    // Likewise for the stain table.
    std::function<bool(std::string &path)> chooseStainFile;
    // Every stain of the scanned cards, as they scan with the present
    // settings, to `path`; false when cancelled or not written.
    bool writeStainTable(const std::string &path);
    // What the report of the line draws from, as things stand.
    ReportInputs reportInputs();
    // Tells when two cards share a position and opens the card positions.
    void checkDuplicatePositions();
    // Keyboard commands; true when the key was one of them.  (Form_KeyDown.)
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);

    // ---- The trial: its passes and its file --------------------------------
    // Passes over the line; the current one's cards are cards().
    int passCount() const { return static_cast<int>(passes_.size()); }
    int currentPass() const { return currentPass_; }
    const std::string &passName(int pass) const { return passes_.at(static_cast<std::size_t>(pass) - 1).Name; }
    // Shows pass `pass` (1-based) in the view the window is in.
    void selectPass(int pass);
    // A new empty pass with the current one's spray information; it becomes current.
    void addPass();
    // Removes the current pass, asking first when it has cards.
    void removePass();
    // Takes pass `pass` into the mean of passes, or leaves it out.
    void setPassInMean(int pass, bool inMean);
    // The composite view of the mean of the passes marked for it.
    void showMeanOfPasses();
    bool meanShown() const { return meanShown_; }
    const PassMean &passMean() const { return mean_; }
    // The whole trial as it would be saved (cards without their stain pixels).
    Trial trial();
    // Saves the trial to `path`; false, having told the user, when it was not.
    bool saveTrial(const std::string &path);
    // True, having told the user (over `parent`, else the window), when
    // `path` is the file of a loaded card or, unless a trial is saved
    // there, of the open trial: what was made from it would take its place.
    bool outputRefused(const std::string &path, bool savingTrial, QWidget *parent = nullptr);
    // Opens the trial at `path` in place of the one shown, after the
    // question about unsaved changes; false when nothing was opened.
    bool openTrial(const std::string &path);
    // The trial's file, empty until saved or opened.
    const std::string &trialPath() const { return trialPath_; }
    // Something a trial keeps changed since it was last saved or opened.
    bool trialModified() const;
    // Chooses the file to save the trial to, or to open; when not set, the
    // file dialogs ask.  True with a file chosen.
    std::function<bool(std::string &path)> chooseTrialToSave;
    std::function<bool(std::string &path)> chooseTrialToOpen;

    // Stored settings that were set back to their defaults at start, as
    // "Section/Key = text", for the user to be told.
    const std::vector<std::string> &resetSettings() const { return resetSettings_; }
    // What became of writing the settings at close (a failure is also shown).
    const Status &unloadStatus() const { return unloadStatus_; }

public slots:
    void btnLoad_Click();
    void btnLoadTemplate_Click();
    void btnScan_Click();
    void btnScanAll_Click();
    void btnScanColour_Click();
    void btnScanColourAll_Click();
    void btnCancel_Click();
    void btnChangeRes_Click();
    void btnPrefs_Click();
    void btnWriteComposite_Click();
    void btnWriteStains_Click();
    void btnPrint_Click();
    void btnOpenTrial_Click();
    void btnSaveTrial_Click();
    void btnSaveTrialAs_Click();
    void cmbPass_Change(int index);
    void CompositeCheck_Click();
    void GraphOption_Click(int index);
    void optSwathWidth_Click(int index);
    void MaskCheck_Click();
    void HueInvertCheck_Click();
    void BackColorOption_Click();
    void Slider1_Scroll();
    void Slider2_Scroll();
    void Slider_Change();
    void HistogramPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int hue);
    void ResultPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    void ResultPic_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, double x, double y);
    void ResultPic_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // What the window shows and works on besides the cards, the preferences
    // and the line.
    struct View {
        double CurrentVMD = 0.0;
        std::int32_t LastClipIndex = 0;
        std::array<Rgb, 257> HueColour{};
        float RangeLow = 0.0f;
        float RangeHigh = 32755.0f;
        int GraphMode = 1;
        float MaxScannedDiameter = 0.0f;
        // Set on the GUI thread, read by the work on the pool thread.
        CancelFlag CancelRequested;
        // The current card inside the selected size range.
        CompositeResult SingleRange;
        // The swath profile the graphs and width buttons work on.
        int CurrentProfile = 1;
    };

    // Building and laying out (AdjustScreen in the old design).
    void buildControls();
    void layOutControls();
    void connectResultControls();
    void connectLineControls();

    // Cards and the strip.
    void ImageStrip_Click(int tabIndex);
    void showCard(int index);
    void resetScrollBars();
    void applyCardState(const CardRecord &card);
    void showEmptyState();
    void afterCardsClosed();
    void resetColourDisplay();
    void showInfo(bool show);
    void setCaption(const QString &caption);
    void setBusy(bool busy);
    // Writes the preferences and removes the temporaries (Form_Unload).
    void saveAndClose();
    // Before the trial is closed or replaced: Save, Discard or Cancel when it
    // has unsaved changes.  False when the user cancelled (or the save failed).
    bool settleUnsavedTrial();

    // Passes: the current pass's cards and spray information move to its
    // place in passes_ (stash) and back (take).
    void stashCurrentPass();
    void takePass(int pass);
    void rebuildCardStrip();
    void leaveMean();
    void refreshPassControls();
    std::string trialStateKey() const;
    void updateTrialMark();
    // Applies an opened trial's values to the window's controls and preferences.
    void applyTrialSettings(const AnalysisSettings &settings);
    // The name a card is shown by: its whole path when it came with the
    // opened trial from outside the trial's folder, else its file name.
    std::string shownName(const CardRecord &card) const;
    // True when card `index` may have its scan log written: at once for
    // most cards; for one from outside the trial's folder, once the user
    // said Yes to the question naming the path (asked once per card).  The
    // question ends with `ask` ("Scan it?").
    bool mayWriteBeside(int index, const std::string &ask = "Scan it?");
    // The Composite box is offered while two cards or more are scanned.
    void offerComposite();
    // The card's file is there and still the one its figures came from;
    // otherwise the user is told (or, for a changed file, asked whether to go on).
    bool cardFileUsable(int index);
    // Swath analysis tabs are offered from three points of the line.
    bool swathOffered() const;
    // The 95 % intervals of the card or line on display, in words, when the
    // preference asks for them; the line's are kept until it changes.
    std::string confidenceText(bool swath);
    // The Card Positions window; the strip and the current card follow a
    // new line order.  True when anything of the line changed.
    bool showCardPositions(bool acceptOnly);

    // Results of a card.
    void showScanResults();
    void updateStatsLabels();
    void drawResult();
    void updateHistogramLabels();
    void drawHueHistogram();
    void applyMask();
    void slidersMoved(int low, int high);
    void showSizeRange(double x, bool moving);
    // The range's statistics for the view on display, and the VMD shown.
    void updateShownRange();
    // The scan log of card `index` among the loaded cards; tells the user
    // once when it cannot take the usual name because another card has it.
    std::string scanLogPathOf(int index);
    // The spray information window for a scan that logs it; true when accepted.
    bool confirmSprayInfo();

    // The line.
    // Analyses the line again from the cards as they stand.
    void refreshLine();
    void refreshCompositeDisplay();
    void showLineTab(int tab);
    void drawSprayLineGraphs();
    void drawSwathGraphs();
    SwathProfile &currentSwathProfile();
    // False, having told the user, when a figure of the line is no finite
    // number; nothing is then written or printed.
    bool lineFiguresReportable();
    void CardLabel_MouseMove(int card);
    void Picture1_MouseMove();

    SettingsStore &store_;
    ModuleState &module_;
    Preferences prefs_;
    CardList cards_;
    int currentCard_ = 1;
    LineResults line_;
    View view_;
    QImage displayed_; // the card on display, as the picture draws it (KromeKotePicture)
    int shownCard_ = 0;
    int screenHeight_ = 1024;
    int lineTab_ = 0;
    bool tallLayout_ = true;
    bool updatingStrip_ = false;
    bool unloaded_ = false;
    bool busy_ = false;
    bool hueRangeReady_ = true;
    // Remembered by btnPrefs_Click to see what the preferences changed.
    bool metricBeforePrefs_ = true;
    Status unloadStatus_;
    std::set<std::string> toldLogNames_;
    std::vector<std::string> resetSettings_;
    std::vector<LinePass> passes_{LinePass{defaultPassName(1), {}, {}, true, false}};
    int currentPass_ = 1;
    bool meanShown_ = false;
    PassMean mean_;
    std::string trialPath_;
    // The opened trial's cards outside its folder, by path: true once the
    // user let a scan write beside it.
    std::map<std::string, bool> outsideCards_;
    std::string savedStateKey_;
    QString baseCaption_;
    LineIntervals lineIntervals_;
    std::string lineIntervalsKey_;
    InfoForm *infoForm_ = nullptr;
    // Loading, colour passes, scans and the stain table; a close asked for
    // while they work waits for them to stop.
    std::unique_ptr<ScanController> scanner_;
    bool closeWhenIdle_ = false;

    QPushButton *loadButton_ = nullptr;
    QPushButton *loadTemplateButton_ = nullptr;
    QPushButton *scanButton_ = nullptr;
    QPushButton *scanAllButton_ = nullptr;
    QPushButton *scanColourButton_ = nullptr;
    QPushButton *scanColourAllButton_ = nullptr;
    QPushButton *cancelButton_ = nullptr;
    QPushButton *resolutionButton_ = nullptr;
    QPushButton *preferencesButton_ = nullptr;
    QPushButton *printButton_ = nullptr;
    QPushButton *writeResultsButton_ = nullptr;
    QPushButton *writeStainsButton_ = nullptr;
    QPushButton *trialButton_ = nullptr;
    QMenu *trialMenu_ = nullptr;
    QMenu *meanMenu_ = nullptr;
    QComboBox *passCombo_ = nullptr;
    QTabBar *cardStrip_ = nullptr;
    QStackedWidget *pictureStack_ = nullptr;
    CardPicture *picture_ = nullptr;
    // In the composite view these take the card picture's place.
    SprayLineGraphView *sprayLineView_ = nullptr;
    SwathGraphView *swathView_ = nullptr;
    QScrollBar *horizontalScroll_ = nullptr;
    QScrollBar *verticalScroll_ = nullptr;
    QVector<QLabel *> cardLabels_;
    QProgressBar *progressBar_ = nullptr;
    QCheckBox *compositeCheck_ = nullptr;
    QGroupBox *maskFrame_ = nullptr;
    QCheckBox *maskCheck_ = nullptr;
    QCheckBox *hueInvertCheck_ = nullptr;
    QRadioButton *maskColourOption_[2] = {nullptr, nullptr}; // black, white
    HueHistogramView *hueHistogram_ = nullptr;
    QLabel *hueLowLabel_ = nullptr;
    QLabel *hueHighLabel_ = nullptr;
    QSlider *hueLowSlider_ = nullptr;
    QSlider *hueHighSlider_ = nullptr;
    QGroupBox *resultFrame_ = nullptr;
    ResultGraphView *resultGraph_ = nullptr;
    QRadioButton *graphOption_[3] = {nullptr, nullptr, nullptr};
    QLabel *sizeRangeLabel_ = nullptr;
    QLabel *infoLabels_[3] = {nullptr, nullptr, nullptr};
    QLabel *vmdLabel_ = nullptr;
    QLabel *dropLabel_ = nullptr;
    QLabel *volumeLabel_ = nullptr;
    QLabel *rejectedLabel_ = nullptr;
    // Dv0.1, Dv0.9, span and NMD under the three figures; on the swath
    // analysis the proposal and the pattern's centre in words.
    QLabel *spectrumLabel_ = nullptr;
    QLabel *graphLeftLabel_ = nullptr;
    QLabel *graphRightLabel_ = nullptr;
    QLabel *graphBottomLabel_ = nullptr;
    QLabel *graphTopLabel_ = nullptr;
    QFrame *coverPicture_ = nullptr;
    QRadioButton *swathWidthOption_ = nullptr;
    QLabel *dataLabel_ = nullptr;
    QFrame *dataLabelLine_ = nullptr;
    QLabel *dataLabelCircle_ = nullptr;
    QFrame *lines_[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
};

// Where the open dialog starts on a first run: the first sample cards found
// of VEXOLIN_SAMPLES, those installed with the program in programFolder
// (by default the running program's folder) and those beside the sources;
// else home.
std::string firstRunFolder(const QString &programFolder);
std::string firstRunFolder();

// The window caption for a card: "Quarrow Vexolin -- title -- detail".
QString cardCaption(const std::string &fileTitle, const QString &detail);

} // namespace vex::ui
