// The result graph, the hue range controls, the colour mask and the
// preferences as the main window runs them.  Every rule (scales, label texts,
// slider pushes, masked colours) is in the core; this file moves values
// between the controls and those rules.

#include "app/ui/frmMain.h"

#include "analysis/ColourMask.h"
#include "analysis/DropStatistics.h"
#include "analysis/ResultGraph.h"
#include "analysis/ui/HueHistogramView.h"
#include "analysis/ui/ResultGraphView.h"
#include "app/ui/CardPicture.h"
#include "app/ui/frmPrefs.h"
#include "line/CardPositions.h"
#include "line/SwathDisplay.h"
#include "line/ui/SprayInfoForm.h"

#include <QLineEdit>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>

#include <algorithm>

namespace vex::ui {

void frmMain::connectResultControls()
{
    for (int i = 0; i < 3; ++i)
        connect(graphOption_[i], &QRadioButton::clicked, this, [this, i] { GraphOption_Click(i + 1); });
    connect(maskCheck_, &QCheckBox::clicked, this, &frmMain::MaskCheck_Click);
    connect(hueInvertCheck_, &QCheckBox::clicked, this, &frmMain::HueInvertCheck_Click);
    for (QRadioButton *b : maskColourOption_)
        connect(b, &QRadioButton::clicked, this, &frmMain::BackColorOption_Click);
    // valueChanged is the slider's scroll; the end of a drag, or any move
    // not made by dragging, is its change.
    connect(hueLowSlider_, &QSlider::valueChanged, this, [this] {
        Slider1_Scroll();
        if (!hueLowSlider_->isSliderDown())
            Slider_Change();
    });
    connect(hueHighSlider_, &QSlider::valueChanged, this, [this] {
        Slider2_Scroll();
        if (!hueHighSlider_->isSliderDown())
            Slider_Change();
    });
    connect(hueLowSlider_, &QSlider::sliderReleased, this, &frmMain::Slider_Change);
    connect(hueHighSlider_, &QSlider::sliderReleased, this, &frmMain::Slider_Change);
    connect(hueHistogram_, &HueHistogramView::pressed, this, &frmMain::HistogramPic_MouseDown);
    connect(resultGraph_, &ResultGraphView::mousePressed, this, &frmMain::ResultPic_MouseDown);
    connect(resultGraph_, &ResultGraphView::mouseMoved, this, &frmMain::ResultPic_MouseMove);
    connect(resultGraph_, &ResultGraphView::mouseReleased, this, &frmMain::ResultPic_MouseUp);
}

// ---- Result graph ----------------------------------------------------------

void frmMain::drawResult()
{
    if (cards_.empty()) {
        resultGraph_->clearGraph();
        return;
    }
    GraphInputs in;
    in.Card = currentCard_ >= 1 && currentCard_ <= cardCount() ? &cards_[currentCard_] : nullptr;
    in.Composite = compositeMode();
    in.CompositeAll = &line_.All;
    in.Mode = view_.GraphMode;
    in.RangeLow = view_.RangeLow;
    in.RangeHigh = view_.RangeHigh;
    in.CurrentVmd = view_.CurrentVMD;
    in.MaxScannedDiameter = view_.MaxScannedDiameter;
    const Rgb fill = prefs_.HistogramColor;
    resultGraph_->setPicture(vex::drawResult(in), QColor(fill.Red, fill.Green, fill.Blue));
}

void frmMain::updateHistogramLabels()
{
    const GraphMapping m = resultGraph_->mapping();
    const HistogramLabels labels = histogramLabels(m.Right, m.Top, view_.GraphMode);
    graphLeftLabel_->setText(QString::fromStdString(labels.X1));
    graphRightLabel_->setText(QString::fromStdString(labels.X2));
    graphTopLabel_->setText(QString::fromStdString(labels.Y2));
    graphBottomLabel_->setText(QString::fromStdString(labels.Y1));
}

void frmMain::GraphOption_Click(int index)
{
    view_.GraphMode = std::clamp(index, 1, 3);
    graphOption_[view_.GraphMode - 1]->setChecked(true);
    resultFrame_->setTitle(QString::fromStdString(resultFrameCaption(view_.GraphMode, compositeMode())));
    drawResult();
    updateHistogramLabels();
    // In the swath view the third option shows the drop density profile,
    // the others the deposit.
    if (compositeMode() && pictureStack_->currentIndex() == 2) {
        view_.CurrentProfile = view_.GraphMode == DensityMode ? DropDensityProfile : DepositProfile;
        drawSwathGraphs();
    }
}

void frmMain::showSizeRange(double x, bool moving)
{
    sizeRangeLabel_->setText(QString::fromStdString(sizeRangeText(x, moving)));
    sizeRangeLabel_->adjustSize();
    const QRect graph = resultGraph_->geometry();
    int left = graph.left() + static_cast<int>(resultGraph_->mapping().pixelX(x));
    if (left + sizeRangeLabel_->width() > graph.right())
        left = graph.right() - sizeRangeLabel_->width();
    sizeRangeLabel_->move(std::max(0, left), graph.bottom() + 2);
    sizeRangeLabel_->raise();
    sizeRangeLabel_->show();
}

void frmMain::ResultPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double)
{
    if (modifiers != Qt::NoModifier)
        return;
    const auto value = static_cast<float>(x);
    if (button == Qt::LeftButton)
        setRangeLow(view_.RangeLow, view_.RangeHigh, value);
    else if (button == Qt::RightButton)
        setRangeHigh(view_.RangeLow, view_.RangeHigh, value);
    else
        return;
    showSizeRange(x, false);
    drawResult();
}

void frmMain::ResultPic_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, double x, double y)
{
    x = clampToScanned(x, view_.MaxScannedDiameter);
    if (modifiers == Qt::NoModifier && (buttons & (Qt::LeftButton | Qt::RightButton))) {
        const auto value = static_cast<float>(x);
        if (buttons & Qt::LeftButton)
            setRangeLow(view_.RangeLow, view_.RangeHigh, value);
        else
            setRangeHigh(view_.RangeLow, view_.RangeHigh, value);
        showSizeRange(x, true);
        drawResult();
    }
    resultGraph_->setToolTip(prefs_.MouseCoords ? QString::fromStdString(graphToolTip(x, y, view_.GraphMode))
                                                : QString());
}

void frmMain::ResultPic_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double)
{
    sizeRangeLabel_->hide();
    if (cards_.empty())
        return;
    updateShownRange();
    drawResult();
    updateStatsLabels();
    // The line's graphs and swath analysis follow the range too.
    if (compositeMode())
        refreshCompositeDisplay();
}

void frmMain::setSizeRange(float low, float high)
{
    view_.RangeLow = low;
    view_.RangeHigh = high;
    if (cards_.empty())
        return;
    updateShownRange();
    drawResult();
    updateStatsLabels();
}

void frmMain::updateShownRange()
{
    const bool selected =
        rangeSelected(compositeMode(), line_.All, cards_[currentCard_], view_.RangeLow, view_.RangeHigh);
    if (selected && compositeMode())
        refreshLine();
    else if (selected)
        view_.SingleRange = calcSingleRange(cards_[currentCard_], view_.RangeLow, view_.RangeHigh);
    view_.CurrentVMD =
        vex::currentVmd(compositeMode(), selected, line_.All, line_.Range, view_.SingleRange, cards_[currentCard_]);
}

// ---- Hue range and mask ------------------------------------------------------

void frmMain::drawHueHistogram()
{
    const CardRecord *card = nullptr;
    // A scanned card keeps its histogram, also when opened from a trial
    // without its stain pixels.
    if (!cards_.empty() && currentCard_ >= 1 && currentCard_ <= cardCount() &&
        (cards_[currentCard_].ColoursKnown || cards_[currentCard_].Scanned))
        card = &cards_[currentCard_];
    hueHistogram_->setHistogram(hueHistogram(card, view_.HueColour, hueLowSlider_->value(), hueHighSlider_->value(),
                                             hueInvertCheck_->isChecked()));
}

void frmMain::slidersMoved(int low, int high)
{
    hueRangeReady_ = false;
    {
        const QSignalBlocker blockLow(hueLowSlider_);
        const QSignalBlocker blockHigh(hueHighSlider_);
        hueLowSlider_->setValue(low);
        hueHighSlider_->setValue(high);
    }
    hueLowLabel_->setText(QString::number(hueLowSlider_->value()));
    hueHighLabel_->setText(QString::number(hueHighSlider_->value()));
    drawHueHistogram();
    hueRangeReady_ = true;
}

void frmMain::Slider1_Scroll()
{
    const SliderValues v = moveLowSlider({hueLowSlider_->value(), hueHighSlider_->value()}, hueLowSlider_->value());
    slidersMoved(v.Low, v.High);
}

void frmMain::Slider2_Scroll()
{
    const SliderValues v = moveHighSlider({hueLowSlider_->value(), hueHighSlider_->value()}, hueHighSlider_->value());
    slidersMoved(v.Low, v.High);
}

void frmMain::Slider_Change()
{
    if (maskCheck_->isChecked() && hueRangeReady_)
        applyMask();
}

void frmMain::HistogramPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int hue)
{
    if (modifiers != Qt::NoModifier || !hueLowSlider_->isEnabled())
        return;
    if (button == Qt::LeftButton)
        hueLowSlider_->setValue(hue);
    else if (button == Qt::RightButton)
        hueHighSlider_->setValue(hue);
}

void frmMain::applyMask()
{
    if (cards_.empty() || displayed_.isNull())
        return;
    const CardRecord &card = cards_[shownCard_ >= 1 && shownCard_ <= cardCount() ? shownCard_ : currentCard_];
    if (!card.ColoursKnown)
        return;
    const std::vector<std::uint8_t> bgr =
        maskedPaletteBgr(card, hueLowSlider_->value(), hueHighSlider_->value(), hueInvertCheck_->isChecked(),
                         maskColourOption_[1]->isChecked());
    QList<QRgb> table;
    table.reserve(static_cast<qsizetype>(bgr.size() / 3));
    for (std::size_t i = 0; i + 2 < bgr.size(); i += 3)
        table.push_back(qRgb(bgr[i + 2], bgr[i + 1], bgr[i]));
    picture_->setColourTable(table);
}

void frmMain::MaskCheck_Click()
{
    if (cards_.empty())
        return;
    if (hueLowSlider_->value() == hueLowSlider_->maximum() && hueHighSlider_->value() == hueHighSlider_->maximum())
        hueLowSlider_->setValue(hueLowSlider_->minimum());
    if (maskCheck_->isChecked())
        applyMask();
    else
        picture_->setColourTable({});
}

void frmMain::HueInvertCheck_Click()
{
    drawHueHistogram();
    if (maskCheck_->isChecked() && hueRangeReady_)
        applyMask();
}

void frmMain::BackColorOption_Click()
{
    if (maskCheck_->isChecked())
        applyMask();
}

// ---- Preferences ---------------------------------------------------------------

void frmMain::btnPrefs_Click()
{
    if (busy_)
        return;
    metricBeforePrefs_ = module_.Metric;
    const std::string position1 = prefs_.Spray[Sample_Position1];
    const std::string interval = prefs_.Spray[Sample_Interval];
    frmPrefs window(prefs_, module_, this);
    window.ViewSprayInfo = [this, &window] {
        // The spray window shows the preferences' own, not yet accepted,
        // spread factor and units, and hands its spread factor back.
        SprayInfoForm::FromPreferences prefs;
        for (std::size_t i = 0; i < 3; ++i)
            prefs.SpreadTexts[i] = window.SpreadText[i]->text().toStdString();
        prefs.Metric = window.UnitsOption[0]->isChecked();
        SprayInfoForm form(prefs_.Spray, store_, prefs, &window);
        form.exec();
        if (form.Accept) {
            const std::array<std::string, 3> texts = form.acceptedSpreadTexts();
            for (std::size_t i = 0; i < 3; ++i)
                window.SpreadText[i]->setText(QString::fromStdString(texts[i]));
        }
    };
    window.exec();
    prefs_ = window.Values;
    module_ = window.Module;
    if (compositeMode() && (prefs_.Spray[Sample_Position1] != position1 || prefs_.Spray[Sample_Interval] != interval))
        refreshCompositeDisplay();
    if (module_.Metric != metricBeforePrefs_ && !cards_.empty()) {
        updateStatsLabels();
        if (compositeMode())
            showLineTab(lineTab_);
    }
}

} // namespace vex::ui
