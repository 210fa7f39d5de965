#pragma once
// The two questions of the colour pass: is the most frequent sampled colour
// the background, and is the second one a dither pattern.  Both show a
// preview of the card in which only the colour in question is visible.

#include <QColor>
#include <QDialog>
#include <QImage>

#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;

namespace vex::ui {

// The picture with every colour-table entry but `keep` turned black; only
// the colour table changes, so this is instant for any size of card.
QImage previewWithOnlyColour(const QImage &picture, int keep);

// The colour of a palette entry (blue, green, red bytes per entry).
QColor paletteColour(const std::vector<std::uint8_t> &paletteBgr, int index);

// The one yes / no / yes-to-all window, asked twice by the colour pass:
// whether the most likely colour is the background, and whether the second
// one is a dither pattern.
class BackgroundColorForm : public QDialog {
    Q_OBJECT
public:
    enum class Question { Background, Dither };

    BackgroundColorForm(Question question, const QImage &cardPicture, const std::vector<std::uint8_t> &paletteBgr,
                        QWidget *parent = nullptr);

    int FileNum = 0;
    // The background question: in the most likely index, out the chosen one
    // (No takes the table's first entry).  The dither question: in.
    std::uint8_t BackgroundColour = 0;
    // The dither question: in the candidate, out the chosen one (No takes
    // the background, so that no dither colour is left).
    std::uint8_t DitherColour = 0;
    // Set by "Yes to All": later cards are not asked again.
    bool DisableWarning = false;

    // Fills the swatches, the text and the preview from the properties;
    // call before exec().
    void prepare();

    QPushButton *btnYes = nullptr;
    QPushButton *btnNo = nullptr;
    QPushButton *btnYesToAll = nullptr;
    QLabel *TableSwatch = nullptr;  // background question only
    QLabel *LikelySwatch = nullptr; // background question only
    QLabel *Message = nullptr;      // dither question only
    QLabel *Preview = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void yes();
    void no();
    void yesToAll();

    Question question_;
    QImage picture_;
    std::vector<std::uint8_t> palette_;
};

inline constexpr const char *DitherQuestionText =
    "When reducing the colour depth of images, many software programs (including scanner software) use a method "
    "called 'dithering' to blend two colours together.\r"
    "Vexolin has detected that this image may have a dithered background. A section of the image is shown below "
    "with only the dithered colour showing.\r\r"
    "Do you see a dithering pattern below?";

} // namespace vex::ui
