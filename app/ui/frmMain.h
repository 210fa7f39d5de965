#pragma once
// The main window: the command buttons over the parts it assembles (the
// card view, the masking panel, the figures panel, the line view and the
// trial controller).  It keeps the card list, the preferences and the
// line's results for the life of the program, gives the parts what they
// show and passes it all to the core; it computes nothing itself.  Every
// control keeps its object name, by which tests find it.

#include "app/AppState.h"
#include "app/ui/CancelFlag.h"
#include "app/ui/LineView.h"
#include "app/ui/MaskingPanel.h"
#include "app/ui/ScanController.h"
#include "app/ui/TrialController.h"
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

class QFrame;
class QProgressBar;
class QPushButton;

namespace vex::ui {

class CardPicture;
class CardView;
class FiguresPanel;

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
    bool hueRangeReady() const { return masking_->ready(); }
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
    bool loadImage(const std::string &fileTitle, const std::string &pathName, std::int32_t resolution = 0)
    {
        return scanner_->loadImage(fileTitle, pathName, resolution);
    }
    // The open command for the files the dialog returned, in any order.
    void loadFiles(const QStringList &paths) { scanner_->loadFiles(paths); }
    void loadFiles(const std::string &path) { loadFiles(QStringList{QString::fromStdString(path)}); }
    // Files named on the command line or dropped on the window: pictures
    // open as cards by the open command, anything else as a trial.
    void openFiles(const QStringList &paths);
    // The colour pass of one card, with its questions, progress and cancel.
    // True when it completed.
    bool runColourPassFor(int index) { return scanner_->runColourPassFor(index); }
    // Traces and measures the stains of one card, writes its scan log and
    // marks it scanned; returns early, changing nothing, on cancel.
    // (ScanImage in the old design.)
    void scanCard(int index) { scanner_->scanCard(index); }
    // Measures the given cards again after their resolution changed.
    void reanalyseCards(const std::vector<int> &cards) { scanner_->reanalyseCards(cards); }
    // Cuts the sheet image at `path` by a template into new cards (the
    // cutting window is shown modally).
    void cutSheet(const std::string &path) { scanner_->cutSheet(path); }
    // Finds the cards in the photo or sheet at `path` (the check dialog is
    // shown modally) and opens those accepted as cards.
    void findCardsIn(const std::string &path) { scanner_->findCardsIn(path); }
    // Writes the results of the line to `path` after the questions of the
    // save command, in the layout its extension names (else TXT for filter
    // index 1, CSV otherwise); false when it stopped.
    bool writeResults(const std::string &path, int filterIndex) { return lineView_->writeResults(path, filterIndex); }
    // Chooses the results file; when not set, the save dialog asks.  True
    // with a file chosen.
    std::function<bool(std::string &path, int &filterIndex)> chooseResultsFile;
    // Likewise for the stain table.
    std::function<bool(std::string &path)> chooseStainFile;
    // Every stain of the scanned cards, as they scan with the present
    // settings, to `path`; false when cancelled or not written.
    bool writeStainTable(const std::string &path) { return scanner_->writeStainTable(path); }
    // What the report of the line draws from, as things stand.
    ReportInputs reportInputs();
    // Tells when two cards share a position and opens the card positions.
    void checkDuplicatePositions();
    // Keyboard commands; true when the key was one of them.  (Form_KeyDown.)
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);

    // ---- The trial: its passes and its file --------------------------------
    // Passes over the line; the current one's cards are cards().
    int passCount() const { return trial_->passCount(); }
    int currentPass() const { return trial_->currentPass(); }
    const std::string &passName(int pass) const { return trial_->passes().at(static_cast<std::size_t>(pass) - 1).Name; }
    // Shows pass `pass` (1-based) in the view the window is in.
    void selectPass(int pass) { trial_->selectPass(pass); }
    // A new empty pass with the current one's spray information; it becomes current.
    void addPass() { trial_->addPass(); }
    // Removes the current pass, asking first when it has cards.
    void removePass() { trial_->removePass(); }
    // Takes pass `pass` into the mean of passes, or leaves it out.
    void setPassInMean(int pass, bool inMean) { trial_->setPassInMean(pass, inMean); }
    // The composite view of the mean of the passes marked for it.
    void showMeanOfPasses() { trial_->showMeanOfPasses(); }
    bool meanShown() const { return trial_->meanShown(); }
    const PassMean &passMean() const { return trial_->mean(); }
    // The whole trial as it would be saved (cards without their stain pixels).
    Trial trial();
    // Saves the trial to `path`; false, having told the user, when it was not.
    bool saveTrial(const std::string &path) { return trial_->save(path); }
    // True, having told the user (over `parent`, else the window), when
    // `path` is the file of a loaded card or, unless a trial is saved
    // there, of the open trial: what was made from it would take its place.
    bool outputRefused(const std::string &path, bool savingTrial, QWidget *parent = nullptr)
    {
        return trial_->outputRefused(path, savingTrial, parent);
    }
    // Opens the trial at `path` in place of the one shown, after the
    // question about unsaved changes; false when nothing was opened.
    bool openTrial(const std::string &path) { return trial_->open(path); }
    // The trial's file, empty until saved or opened.
    const std::string &trialPath() const { return trial_->path(); }
    // Something a trial keeps changed since it was last saved or opened.
    bool trialModified() const { return trial_->modified(); }
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
    void btnLoad_Click() { scanner_->load(); }
    void btnLoadTemplate_Click() { scanner_->loadTemplate(); }
    void btnFindCards_Click() { scanner_->findCards(); }
    void btnScan_Click() { scanner_->scan(); }
    void btnScanAll_Click() { scanner_->scanAll(); }
    void btnScanColour_Click() { scanner_->scanColour(); }
    void btnScanColourAll_Click() { scanner_->scanColourAll(); }
    void btnCancel_Click();
    void btnChangeRes_Click();
    void btnPrefs_Click();
    void btnWriteComposite_Click() { lineView_->btnWriteComposite_Click(); }
    void btnWriteStains_Click() { scanner_->writeStains(); }
    void btnPrint_Click() { lineView_->btnPrint_Click(); }
    void btnOpenTrial_Click() { trial_->btnOpenTrial_Click(); }
    void btnSaveTrial_Click() { trial_->btnSaveTrial_Click(); }
    void btnSaveTrialAs_Click() { trial_->btnSaveTrialAs_Click(); }
    void cmbPass_Change(int index) { trial_->cmbPass_Change(index); }
    void CompositeCheck_Click();
    void GraphOption_Click(int index);
    void optSwathWidth_Click(int index);
    void MaskCheck_Click() { masking_->MaskCheck_Click(); }
    void HueInvertCheck_Click() { masking_->HueInvertCheck_Click(); }
    void BackColorOption_Click() { masking_->BackColorOption_Click(); }
    void Slider1_Scroll() { masking_->Slider1_Scroll(); }
    void Slider2_Scroll() { masking_->Slider2_Scroll(); }
    void Slider_Change() { masking_->Slider_Change(); }
    void HistogramPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int hue)
    {
        masking_->HistogramPic_MouseDown(button, modifiers, hue);
    }
    void ResultPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    void ResultPic_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, double x, double y);
    void ResultPic_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

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
        // Set on the GUI thread, read by the work on the worker thread.
        CancelFlag CancelRequested;
        // The current card inside the selected size range.
        CompositeResult SingleRange;
        // The swath profile the graphs and width buttons work on.
        int CurrentProfile = 1;
    };

    // Building the parts and laying them out (AdjustScreen in the old design).
    void buildControls();
    void buildParts();
    void connectParts();
    void layOutControls();

    // Cards and the strip.
    void ImageStrip_Click(int tabIndex);
    void showCard(int index);
    void applyCardState(const CardRecord &card);
    void showEmptyState();
    void afterCardsClosed();
    void resetColourDisplay() { masking_->newCardLoaded(); }
    void showInfo(bool show);
    void setCaption(const QString &caption);
    void setBusy(bool busy);
    // Writes the preferences and removes the temporaries (Form_Unload).
    void saveAndClose();
    // The strip anew from the cards on display, marking those whose file
    // has gone or changed.
    void rebuildCardStrip();
    // What a pass change leaves on display.
    void showPassCards(TrialController::Shown shown);
    std::string trialStateKey() const;
    void updateTrialMark() { setCaption(baseCaption_); }
    // Applies an opened trial's values to the window's controls and preferences.
    void applyTrialSettings(const AnalysisSettings &settings);
    std::string shownName(const CardRecord &card) const { return trial_->shownName(card); }
    // True when card `index` may have its scan log written (asked once for a
    // card from outside the trial's folder); the question ends with `ask`.
    bool mayWriteBeside(int index, const std::string &ask = "Scan it?") { return trial_->mayWriteBeside(index, ask); }
    void offerComposite() { lineView_->offer(); }
    bool cardFileUsable(int index) { return trial_->cardFileUsable(index); }
    // The 95 % intervals of the card or line on display, in words, when the
    // preference asks for them; the line's are kept until it changes.
    std::string confidenceText(bool swath) { return lineView_->confidenceText(swath); }
    // The Card Positions window; the strip and the current card follow a
    // new line order.  True when anything of the line changed.
    bool showCardPositions(bool acceptOnly);

    // Results of a card.
    void showScanResults();
    void updateStatsLabels();
    // The marks of cards whose figures need a second look, on their tabs.
    void markStaleCards();
    void drawResult();
    void updateHistogramLabels();
    void drawHueHistogram() { masking_->drawHistogram(); }
    void applyMask();
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
    void drawSwathGraphs() { lineView_->drawSwath(); }
    SwathProfile &currentSwathProfile();
    void CardLabel_MouseMove(int card) { lineView_->CardLabel_MouseMove(card); }
    void Picture1_MouseMove() { lineView_->Picture1_MouseMove(); }

    SettingsStore &store_;
    ModuleState &module_;
    Preferences prefs_;
    CardList cards_;
    int currentCard_ = 1;
    LineResults line_;
    View view_;
    int shownCard_ = 0;
    int screenHeight_ = 1024;
    bool tallLayout_ = true;
    bool unloaded_ = false;
    bool busy_ = false;
    // Remembered by btnPrefs_Click to see what the preferences changed.
    bool metricBeforePrefs_ = true;
    Status unloadStatus_;
    std::set<std::string> toldLogNames_;
    std::vector<std::string> resetSettings_;
    QString baseCaption_;
    // Loading, colour passes, scans and the stain table; a close asked for
    // while they work waits for them to stop.
    std::unique_ptr<ScanController> scanner_;
    bool closeWhenIdle_ = false;

    // The parts.
    CardView *cardView_ = nullptr;
    MaskingPanel *masking_ = nullptr;
    FiguresPanel *figures_ = nullptr;
    LineView *lineView_ = nullptr;
    TrialController *trial_ = nullptr;
    CardPicture *picture_ = nullptr; // the card view's

    QPushButton *loadButton_ = nullptr;
    QPushButton *loadTemplateButton_ = nullptr;
    QPushButton *findCardsButton_ = nullptr;
    QPushButton *scanButton_ = nullptr;
    QPushButton *scanAllButton_ = nullptr;
    QPushButton *scanColourButton_ = nullptr;
    QPushButton *scanColourAllButton_ = nullptr;
    QPushButton *cancelButton_ = nullptr;
    QPushButton *resolutionButton_ = nullptr;
    QPushButton *preferencesButton_ = nullptr;
    QProgressBar *progressBar_ = nullptr;
    QFrame *lines_[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
};

// The window caption for a card: "Quarrow Vexolin -- title -- detail".
QString cardCaption(const std::string &fileTitle, const QString &detail);

} // namespace vex::ui
