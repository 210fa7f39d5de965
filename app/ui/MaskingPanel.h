#pragma once
// The colour masking panel: the mask check, Invert, the background colour
// options, the hue histogram and the two hue sliders with their values.
// It keeps the sliders' rules (a push moves the other slider) and draws the
// histogram of the card it is pointed at; the window applies the mask to the
// picture when the panel asks for it.

#include "model/CardList.h"
#include "model/Colour.h"

#include <QGroupBox>
#include <QList>
#include <QRgb>

#include <array>

class QCheckBox;
class QLabel;
class QRadioButton;
class QSlider;

namespace vex::ui {

class HueHistogramView;

class MaskingPanel : public QGroupBox {
    Q_OBJECT
public:
    // What the panel reads of the window: its cards and which is current.
    struct Source {
        const CardList &Cards;
        const int &CurrentCard;
        const std::array<Rgb, 257> &HueColour;
    };
    MaskingPanel(Source source, QWidget *parent);

    int hueLow() const;
    int hueHigh() const;
    bool inverted() const;
    bool masking() const;
    // False while a slider is being dragged.
    bool ready() const { return ready_; }
    // The card's palette with all but the chosen hues masked, as drawn.
    QList<QRgb> maskTable(const CardRecord &card) const;

    // An opened trial's range, taken without counting as the user's moves.
    void setHueRange(int low, int high, bool invert);
    // Offered while the card's colours are known.
    void offerForCard(bool coloursKnown);
    // A card just loaded: its colours are not known yet.
    void newCardLoaded();
    // No card: nothing to mask.
    void clear();
    // The composite view has no picture to mask.
    void setCompositeShown(bool line);
    void drawHistogram();

    // The window's handlers, by their names.
    void MaskCheck_Click();
    void HueInvertCheck_Click();
    void BackColorOption_Click();
    void Slider1_Scroll();
    void Slider2_Scroll();
    void Slider_Change();
    void HistogramPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int hue);

signals:
    // The mask is to be drawn anew, or taken off the picture.
    void maskChanged();
    void maskRemoved();
    // The hue range the scans take has changed, masking or not.
    void hueRangeChanged();

private:
    void layOut();
    void connectControls();
    void slidersMoved(int low, int high);
    void showValues();

    Source source_;
    bool ready_ = true;
    QCheckBox *maskCheck_ = nullptr;
    QCheckBox *invertCheck_ = nullptr;
    QRadioButton *colourOption_[2] = {nullptr, nullptr}; // black, white
    HueHistogramView *histogram_ = nullptr;
    QLabel *lowLabel_ = nullptr;
    QLabel *highLabel_ = nullptr;
    QSlider *lowSlider_ = nullptr;
    QSlider *highSlider_ = nullptr;
};

} // namespace vex::ui
