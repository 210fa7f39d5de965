#pragma once
// The main window: one card image at a time, the card strip, the command
// buttons, the colour-masking controls, the result graph and statistics.
// It keeps the analysis state for the life of the program and passes it to
// the core; it computes nothing itself.

#include "app/AppState.h"
#include "report/Report.h"

#include <QImage>
#include <QVector>
#include <QWidget>

#include <functional>
#include <set>
#include <string>
#include <vector>

class QCheckBox;
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

namespace vex {
class SettingsStore;
}

namespace vex::ui {

class CardPicture;
class HueHistogramView;
class SprayLineGraphView;
class SwathGraphView;
class InfoForm;
class ResultGraphView;

class frmMain : public QWidget {
    Q_OBJECT
public:
    // The store must outlive the window; the preferences are written to it on close.
    frmMain(SettingsStore &store, ModuleState &module, int screenHeightPixels, QWidget *parent = nullptr);
    ~frmMain() override;

    // The card list and the values the rest of the program reads and sets.
    CardList Cards;
    int CurrentCard = 1;
    MainWindowState state;
    ModuleState &module() { return module_; }
    QImage KromeKotePicture;

    int CardCount() const { return Cards.CardCount(); }
    int shownCard() const { return shownCard_; }
    void setShownCard(int index) { shownCard_ = index; }
    bool compositeMode() const;
    bool tallLayout() const { return tallLayout_; }

    // Adds a loaded card with a tab of its own; the caller decides which card
    // to show.  Returns the card's index.
    int addCard(CardRecord card);
    // Selects the tab of CurrentCard, which shows the card.
    void selectCurrentTab();

    // Closing one card (Delete) or all (Ctrl+Delete).
    void closeSelectedCard();
    void closeAllCards();

    // Opens one card image; folder ends with '/'.  True when a card was
    // added (as the last card); on any refusal the card list is as before.
    bool LoadImage(const std::string &fileTitle, const std::string &pathName);
    // The open command after the dialog: fileName is the dialog's result
    // (one full path, or the folder and names separated by character 0).
    void loadFiles(const std::string &fileName);
    // True while a load, colour pass or scan runs: the commands that start
    // one do nothing then.
    bool busy() const;

    // The colour pass of one card, with its questions, progress and cancel.
    // True when it completed.
    bool runColourPassFor(int index);

    // Traces the stains of one card, fills its statistics, writes its scan
    // log and marks it scanned; returns early, changing nothing, on cancel.
    void ScanImage(int index);
    // The three result labels for the card or line on display.
    void UpdateStatsLabels();
    // The spectrum graph of a card (callers pass CurrentCard) and its axis labels.
    void DrawResult(int index);
    void UpdateHistogramLabels();
    // The hue histogram of the card on display.
    void drawHueHistogram();
    // Shows the card on display under the mask of the current hue range.
    void applyMask();
    // False while a slider is being dragged, true once the histogram follows.
    bool HueRangeReady = true;

    // Pools the scanned cards into CompositeAll (and MaxCardVMD).
    void CalcCompositeAll();
    // The pooled classes inside the selected range, into CompositeRange.
    void CalcCompositeRange();
    // Cuts the sheet image at `path` by a template into new cards (the
    // cutting window is shown modally).
    void cutSheet(const std::string &path);
    // The composite view on or off, as the check box says.
    void CompositeCheck_Click();
    // The spray line statistics in the picture area, with the statistics labels.
    void DrawSprayLineGraphs();
    // Writes the results of the line to `path` after the questions of the
    // save command, in the layout its extension names (else TXT for filter
    // index 1, CSV otherwise); false when it stopped.
    bool writeResults(const std::string &path, int filterIndex);
    // What the report of the line draws from, as things stand.
    ReportInputs reportInputs();
    // Chooses the results file; when not set, the save dialog asks.  True
    // with a file chosen.
    std::function<bool(std::string &path, int &filterIndex)> chooseResultsFile;
    // Tells when two cards share a position and opens the card positions.
    void CheckDuplicatePositions();
    // The per-card figures of the line, inside the range when one is selected.
    void FillCardStats();
    // Both swath profiles and their statistics; unchosen widths get the proposal.
    void SwathAnalysis();
    // The swath figures of the current profile: its multiswath and the labels.
    void DrawSwathGraphs();
    // Chooses width n (1..CardCount-1) of the current profile; 0 does nothing.
    void optSwathWidth_Click(int index);
    // The spray information window for a scan that logs it; true when accepted.
    bool confirmSprayInfo();
    // False, having told the user, when a figure of the line is no finite
    // number; nothing is then written or printed.
    bool lineFiguresReportable();

    // Measures the given cards again after their resolution changed.
    void reanalyseCards(const std::vector<int> &cards);

    // Keyboard commands; true when the key was one of them.
    bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);

    // The scan log of card `index` among the loaded cards; tells the user
    // once when it cannot take the usual name because another card has it.
    std::string scanLogPathOf(int index);

    // Stored settings that were set back to their defaults at start, as
    // "Section/Key = text", for the user to be told.
    const std::vector<std::string> &resetSettings() const { return resetSettings_; }

    // Errors met while writing the settings at close (also shown to the user).
    const std::vector<std::string> &unloadErrors() const { return unloadErrors_; }

    // Controls, named as the rest of the program refers to them.
    QPushButton *btnLoad = nullptr;
    QPushButton *btnLoadTemplate = nullptr;
    QPushButton *btnScan = nullptr;
    QPushButton *btnScanAll = nullptr;
    QPushButton *btnScanColour = nullptr;
    QPushButton *btnScanColourAll = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnChangeRes = nullptr;
    QPushButton *btnPrefs = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnWriteComposite = nullptr;
    QTabBar *ImageStrip = nullptr;
    CardPicture *Picture1 = nullptr;
    // In the composite view these take the card picture's place.
    SprayLineGraphView *SprayLineView = nullptr;
    SwathGraphView *SwathView = nullptr;
    QScrollBar *HScroll1 = nullptr;
    QScrollBar *VScroll1 = nullptr;
    QVector<QLabel *> CardLabel;
    QProgressBar *ProgressBar1 = nullptr;
    QCheckBox *CompositeCheck = nullptr;
    QGroupBox *MaskFrame = nullptr;
    QCheckBox *MaskCheck = nullptr;
    QCheckBox *HueInvertCheck = nullptr;
    QRadioButton *BackColorOption[2] = {nullptr, nullptr};
    HueHistogramView *HistogramPic = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QSlider *Slider1 = nullptr;
    QSlider *Slider2 = nullptr;
    QGroupBox *ResultFrame = nullptr;
    ResultGraphView *ResultPic = nullptr;
    QRadioButton *GraphOption[3] = {nullptr, nullptr, nullptr};
    QLabel *SizeRangeLabel = nullptr;
    QLabel *InfoLabel[3] = {nullptr, nullptr, nullptr};
    QLabel *VMDLabel = nullptr;
    QLabel *DropLabel = nullptr;
    QLabel *VolumeLabel = nullptr;
    QLabel *ResultLabelX1 = nullptr;
    QLabel *ResultLabelX2 = nullptr;
    QLabel *ResultLabelY1 = nullptr;
    QLabel *ResultLabelY2 = nullptr;
    QFrame *CoverPic = nullptr;
    QRadioButton *optSwathWidth = nullptr;
    QLabel *DataLabel = nullptr;
    QFrame *DataLabelLine = nullptr;
    QLabel *DataLabelCircle = nullptr;
    QFrame *Line[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};

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
    void btnPrint_Click();
    void GraphOption_Click(int index);
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
    void buildControls();
    void AdjustScreen();
    void ImageStrip_Click(int tabIndex);
    void showCard(int index);
    void resetScrollBars();
    void applyCardState(const CardRecord &card);
    void showEmptyState();
    void afterCardsClosed();
    void Form_Unload();
    void setCaption(const QString &caption);
    void resetColourDisplay();
    void showInfo(bool show);
    void showScanResults();
    void connectResultControls();
    void connectLineControls();
    void showLineTab(int tab);
    // The range's statistics for the view on display, and the VMD shown.
    void updateShownRange();
    void refreshCompositeDisplay();
    void CardLabel_MouseMove(int card);
    void Picture1_MouseMove();
    QStackedWidget *pictureStack_ = nullptr;
    int screenHeight_ = 1024;
    int lineTab_ = 0;
    void slidersMoved(int low, int high);
    void showSizeRange(double x, bool moving);
    // Remembered by btnPrefs_Click to see what the preferences changed.
    bool metricBeforePrefs_ = true;

    SettingsStore &store_;
    ModuleState &module_;
    int shownCard_ = 0;
    bool tallLayout_ = true;
    bool updatingStrip_ = false;
    bool unloaded_ = false;
    std::vector<std::string> unloadErrors_;
    std::set<std::string> toldLogNames_;
    std::vector<std::string> resetSettings_;
    InfoForm *infoForm_ = nullptr;
};

// Where the open dialog starts on a first run: the sample cards when they
// are there (VEXOLIN_SAMPLES, else the ones beside the sources), else home.
std::string firstRunFolder();

// The window caption for a card: "Quarrow Vexolin -- title -- detail".
QString cardCaption(const std::string &fileTitle, const QString &detail);

} // namespace vex::ui
