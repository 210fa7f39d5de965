#pragma once
// The figures panel: the result graph with its axis values, the graph
// options (VF, CVF, #/cm2), the size range read-out under the graph, and the
// figure labels under it.  The texts come from the core; the panel shows them.

#include "model/Colour.h"

#include <QGroupBox>

#include <array>
#include <string>

class QLabel;
class QRadioButton;

namespace vex {
struct GraphInputs;
}

namespace vex::ui {

class ResultGraphView;

class FiguresPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit FiguresPanel(QWidget *parent);
    // Once the window's font is set: the axis values' column fits the widest.
    void layOut();

    ResultGraphView *graph() const { return graph_; }
    void drawGraph(const GraphInputs &in, Rgb fill);
    void clearGraph();
    // The option of graph `mode` (1 to 3) checked, and the frame titled for it.
    void showMode(int mode, bool composite);
    bool modeChecked(int mode) const;
    // The values at the graph's corners, for the scale last drawn.
    void showAxisValues(int mode);
    // The size a mouse button sets, under the graph at that size.
    void showSizeRange(double x, bool moving);
    void hideSizeRange();
    // Why the figures shown may not be those a scan would make now; hidden when empty.
    void showStale(const std::string &text);
    // The three figures with their captions, the words under them, and what
    // a card's figures leave out (in red when it warns).
    void showFigures(const std::array<QString, 3> &captions, const std::array<std::string, 3> &values);
    void showWords(const std::string &words);
    // "Coverage:" and its value under the figures; hidden when empty.
    void showCoverage(const std::string &value);
    void showLeftOut(const std::string &text, bool warning);
    // The spray quality class beside a swatch of its colour, and the
    // density target's verdict; hidden when empty.
    void showQuality(const std::string &text, Rgb colour);
    void hideLeftOut();
    // The smallest drop the card's picture can show; hidden when empty.
    void showSmallestDrop(const std::string &text);

signals:
    void optionClicked(int mode);

private:
    ResultGraphView *graph_ = nullptr;
    QRadioButton *option_[3] = {nullptr, nullptr, nullptr};
    QLabel *sizeRangeLabel_ = nullptr;
    QLabel *captions_[3] = {nullptr, nullptr, nullptr};
    QLabel *values_[3] = {nullptr, nullptr, nullptr}; // VMD, drops, volume
    QLabel *leftOutLabel_ = nullptr;
    QLabel *coverageCaption_ = nullptr;
    QLabel *coverageValue_ = nullptr;
    // Dv0.1, Dv0.9, span and NMD under the three figures; on the swath
    // analysis the proposal and the pattern's centre in words.
    QLabel *wordsLabel_ = nullptr;
    QLabel *qualityLabel_ = nullptr;
    QLabel *smallestDropLabel_ = nullptr;
    QLabel *leftLabel_ = nullptr;
    QLabel *rightLabel_ = nullptr;
    QLabel *bottomLabel_ = nullptr;
    QLabel *topLabel_ = nullptr;
    QLabel *staleLabel_ = nullptr;
};

} // namespace vex::ui
