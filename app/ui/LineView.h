#pragma once
// The line view: the Composite box that switches the window between one card
// and the whole line, the spray line statistics and swath analysis pages,
// the swath width option, and the line's outputs (Print, Write Results and
// the stain table's button).  The figures come from the core; the window
// gives the view its line, the cards and callbacks for what is the window's.

#include "app/AppState.h"
#include "app/ui/CancelFlag.h"
#include "line/LineAnalysis.h"
#include "line/LineBootstrap.h"
#include "model/LinePass.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class QWidget;

namespace vex::ui {

class CardView;
class FiguresPanel;
class SprayLineGraphView;
class SwathGraphView;

class LineView : public QObject {
    Q_OBJECT
public:
    struct Window {
        QWidget *Owner;
        SettingsStore &Store;
        Preferences &Prefs;
        ModuleState &Module;
        CardList &Cards;
        LineResults &Line;
        int ScreenHeight;
        int &CurrentProfile;
        const int &GraphMode;
        CancelFlag &CancelRequested;
        CardView &View;
        FiguresPanel &Figures;
        QProgressBar *Progress;
        std::function<bool()> Busy;
        std::function<void(bool)> SetBusy;
        std::function<bool()> MeanShown;
        std::function<void(const QString &)> SetCaption;
        std::function<void()> RefreshLine;
        // The card's or the line's figures under the graph.
        std::function<void()> ShowStats;
        std::function<AnalysisSettings()> Settings;
        const int &CurrentCard;
        const float &RangeLow;
        const float &RangeHigh;
        // The key of what the trial keeps: the line's intervals are kept until it changes.
        std::function<std::string()> StateKey;
        std::function<bool(bool acceptOnly)> ShowCardPositions;
        std::function<void()> CheckDuplicatePositions;
        std::function<bool(const std::string &path, QWidget *parent)> OutputRefused;
        std::function<bool(int card, const std::string &ask)> MayWriteBeside;
        std::function<std::string(int card)> ScanLogPath;
        // The colour pass and the scan of one card, for the results' sake.
        std::function<void(int card)> ColourPass;
        std::function<void(int card)> Scan;
        // Chooses the results file; unset, the save dialog asks.
        std::function<bool(std::string &path, int &filterIndex)> &ChooseResultsFile;
    };
    LineView(Window window, QWidget *parent);

    // The line's buttons, in the window's command order.
    QPushButton *printButton() const { return printButton_; }
    QCheckBox *compositeCheck() const { return compositeCheck_; }
    // Adds the swath width picture and the line's buttons to the right-hand column.
    void addTo(QVBoxLayout *column);

    bool shown() const;
    void setShown(bool shown);
    // The Composite box is offered once a card is scanned: a line of one
    // card has its results file, stain table and report too.
    void offer();
    void offer(bool offered);
    bool offered() const;
    void showButtons(bool line, bool mean);
    // No cards: nothing of the line is offered.
    void clear();
    // Into the line: its positions, a fresh analysis, the tabs and the first page.
    void enter();
    void leave();
    bool swathPageShown() const;
    int tab() const { return tab_; }
    void showTab(int tab);
    // The line analysed again and the page on display drawn anew.
    void refresh();
    void drawSprayLine();
    void drawSwath();
    SwathProfile &profile();
    // Swath analysis tabs are offered from three points of the line.
    bool swathOffered() const;
    // The 95 % intervals of the card or line on display, in words, when the
    // preference asks for them; the line's are kept until it changes.
    std::string confidenceText(bool swath);

    void CardLabel_MouseMove(int card);
    void Picture1_MouseMove();
    void btnPrint_Click();
    void btnWriteComposite_Click();
    bool writeResults(const std::string &path, int filterIndex);

signals:
    void compositeClicked();
    void writeStainsClicked();
    void widthChosen(int width);

private:
    // False, having told the user, when a figure of the line is no finite
    // number; nothing is then written or printed.
    bool reportable();
    bool confirmSprayInfo();
    void offerScans();
    void addRangeToLogs(const AnalysisSettings &settings);

    Window w_;
    int tab_ = 0;
    LineIntervals intervals_;
    std::string intervalsKey_;
    QCheckBox *compositeCheck_ = nullptr;
    QPushButton *printButton_ = nullptr;
    QPushButton *writeResultsButton_ = nullptr;
    QPushButton *writeStainsButton_ = nullptr;
    SprayLineGraphView *sprayLineView_ = nullptr;
    SwathGraphView *swathView_ = nullptr;
    QFrame *coverPicture_ = nullptr;
    QRadioButton *swathWidthOption_ = nullptr;
    QLabel *dataLabel_ = nullptr;
    QFrame *dataLabelLine_ = nullptr;
    QLabel *dataLabelCircle_ = nullptr;
};

} // namespace vex::ui
