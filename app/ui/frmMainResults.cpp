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
#include "line/SwathDisplay.h"
#include "line/CardPositions.h"
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
        connect(GraphOption[i], &QRadioButton::clicked, this, [this, i] { GraphOption_Click(i + 1); });
    connect(MaskCheck, &QCheckBox::clicked, this, &frmMain::MaskCheck_Click);
    connect(HueInvertCheck, &QCheckBox::clicked, this, &frmMain::HueInvertCheck_Click);
    for (QRadioButton *b : BackColorOption)
        connect(b, &QRadioButton::clicked, this, &frmMain::BackColorOption_Click);
    // valueChanged is the slider's scroll; the end of a drag, or any move
    // not made by dragging, is its change.
    connect(Slider1, &QSlider::valueChanged, this, [this] {
        Slider1_Scroll();
        if (!Slider1->isSliderDown())
            Slider_Change();
    });
    connect(Slider2, &QSlider::valueChanged, this, [this] {
        Slider2_Scroll();
        if (!Slider2->isSliderDown())
            Slider_Change();
    });
    connect(Slider1, &QSlider::sliderReleased, this, &frmMain::Slider_Change);
    connect(Slider2, &QSlider::sliderReleased, this, &frmMain::Slider_Change);
    connect(HistogramPic, &HueHistogramView::pressed, this, &frmMain::HistogramPic_MouseDown);
    connect(ResultPic, &ResultGraphView::mousePressed, this, &frmMain::ResultPic_MouseDown);
    connect(ResultPic, &ResultGraphView::mouseMoved, this, &frmMain::ResultPic_MouseMove);
    connect(ResultPic, &ResultGraphView::mouseReleased, this, &frmMain::ResultPic_MouseUp);
}

// ---- Result graph ----------------------------------------------------------

void frmMain::DrawResult(int index)
{
    if (Cards.empty()) {
        ResultPic->clearGraph();
        return;
    }
    GraphInputs in;
    in.Card = index >= 1 && index <= CardCount() ? &Cards[index] : nullptr;
    in.Composite = compositeMode();
    in.CompositeAll = &state.CompositeAll;
    in.Mode = state.GraphMode;
    in.RangeLow = state.RangeLow;
    in.RangeHigh = state.RangeHigh;
    in.CurrentVmd = state.CurrentVMD;
    in.MaxScannedDiameter = state.MaxScannedDiameter;
    const Rgb fill = state.HistogramColor;
    ResultPic->setPicture(drawResult(in), QColor(fill.Red, fill.Green, fill.Blue));
}

void frmMain::UpdateHistogramLabels()
{
    const GraphMapping m = ResultPic->mapping();
    const HistogramLabels labels = histogramLabels(m.Right, m.Top, state.GraphMode);
    ResultLabelX1->setText(QString::fromStdString(labels.X1));
    ResultLabelX2->setText(QString::fromStdString(labels.X2));
    ResultLabelY2->setText(QString::fromStdString(labels.Y2));
    ResultLabelY1->setText(QString::fromStdString(labels.Y1));
}

void frmMain::GraphOption_Click(int index)
{
    state.GraphMode = std::clamp(index, 1, 3);
    GraphOption[state.GraphMode - 1]->setChecked(true);
    ResultFrame->setTitle(QString::fromStdString(resultFrameCaption(state.GraphMode, compositeMode())));
    DrawResult(CurrentCard);
    UpdateHistogramLabels();
    // In the swath view the third option shows the drop density profile,
    // the others the deposit.
    if (compositeMode() && pictureStack_->currentIndex() == 2) {
        state.CurrentProfile = state.GraphMode == DensityMode ? DropDensityProfile : DepositProfile;
        DrawSwathGraphs();
    }
}

void frmMain::showSizeRange(double x, bool moving)
{
    SizeRangeLabel->setText(QString::fromStdString(sizeRangeText(x, moving)));
    SizeRangeLabel->adjustSize();
    const QRect graph = ResultPic->geometry();
    int left = graph.left() + static_cast<int>(ResultPic->mapping().pixelX(x));
    if (left + SizeRangeLabel->width() > graph.right())
        left = graph.right() - SizeRangeLabel->width();
    SizeRangeLabel->move(std::max(0, left), graph.bottom() + 2);
    SizeRangeLabel->raise();
    SizeRangeLabel->show();
}

void frmMain::ResultPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double)
{
    if (modifiers != Qt::NoModifier)
        return;
    const auto value = static_cast<float>(x);
    if (button == Qt::LeftButton)
        setRangeLow(state.RangeLow, state.RangeHigh, value);
    else if (button == Qt::RightButton)
        setRangeHigh(state.RangeLow, state.RangeHigh, value);
    else
        return;
    showSizeRange(x, false);
    DrawResult(CurrentCard);
}

void frmMain::ResultPic_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, double x, double y)
{
    x = clampToScanned(x, state.MaxScannedDiameter);
    if (modifiers == Qt::NoModifier && (buttons & (Qt::LeftButton | Qt::RightButton))) {
        const auto value = static_cast<float>(x);
        if (buttons & Qt::LeftButton)
            setRangeLow(state.RangeLow, state.RangeHigh, value);
        else
            setRangeHigh(state.RangeLow, state.RangeHigh, value);
        showSizeRange(x, true);
        DrawResult(CurrentCard);
    }
    ResultPic->setToolTip(state.MouseCoords ? QString::fromStdString(graphToolTip(x, y, state.GraphMode)) : QString());
}

void frmMain::ResultPic_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double)
{
    SizeRangeLabel->hide();
    if (Cards.empty())
        return;
    updateShownRange();
    DrawResult(CurrentCard);
    UpdateStatsLabels();
    // The line's graphs and swath analysis follow the range too.
    if (compositeMode())
        refreshCompositeDisplay();
}

void frmMain::updateShownRange()
{
    const bool selected =
        rangeSelected(compositeMode(), state.CompositeAll, Cards[CurrentCard], state.RangeLow, state.RangeHigh);
    if (selected && compositeMode())
        CalcCompositeRange();
    else if (selected)
        state.SingleRange = calcSingleRange(Cards[CurrentCard], state.RangeLow, state.RangeHigh);
    state.CurrentVMD = currentVmd(compositeMode(), selected, state.CompositeAll, state.CompositeRange,
                                  state.SingleRange, Cards[CurrentCard]);
}

// ---- Hue range and mask ------------------------------------------------------

void frmMain::drawHueHistogram()
{
    const CardRecord *card = nullptr;
    if (!Cards.empty() && CurrentCard >= 1 && CurrentCard <= CardCount() && Cards[CurrentCard].ColoursKnown)
        card = &Cards[CurrentCard];
    HistogramPic->setHistogram(
        hueHistogram(card, state.HueColour, Slider1->value(), Slider2->value(), HueInvertCheck->isChecked()));
}

void frmMain::slidersMoved(int low, int high)
{
    HueRangeReady = false;
    {
        const QSignalBlocker blockLow(Slider1);
        const QSignalBlocker blockHigh(Slider2);
        Slider1->setValue(low);
        Slider2->setValue(high);
    }
    Label1->setText(QString::number(Slider1->value()));
    Label2->setText(QString::number(Slider2->value()));
    drawHueHistogram();
    HueRangeReady = true;
}

void frmMain::Slider1_Scroll()
{
    const SliderValues v = moveLowSlider({Slider1->value(), Slider2->value()}, Slider1->value());
    slidersMoved(v.Low, v.High);
}

void frmMain::Slider2_Scroll()
{
    const SliderValues v = moveHighSlider({Slider1->value(), Slider2->value()}, Slider2->value());
    slidersMoved(v.Low, v.High);
}

void frmMain::Slider_Change()
{
    if (MaskCheck->isChecked() && HueRangeReady)
        applyMask();
}

void frmMain::HistogramPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int hue)
{
    if (modifiers != Qt::NoModifier || !Slider1->isEnabled())
        return;
    if (button == Qt::LeftButton)
        Slider1->setValue(hue);
    else if (button == Qt::RightButton)
        Slider2->setValue(hue);
}

void frmMain::applyMask()
{
    if (Cards.empty() || KromeKotePicture.isNull())
        return;
    const CardRecord &card = Cards[shownCard_ >= 1 && shownCard_ <= CardCount() ? shownCard_ : CurrentCard];
    if (!card.ColoursKnown)
        return;
    const std::vector<std::uint8_t> bgr = maskedPaletteBgr(card, Slider1->value(), Slider2->value(),
                                                           HueInvertCheck->isChecked(), BackColorOption[1]->isChecked());
    QList<QRgb> table;
    table.reserve(static_cast<qsizetype>(bgr.size() / 3));
    for (std::size_t i = 0; i + 2 < bgr.size(); i += 3)
        table.push_back(qRgb(bgr[i + 2], bgr[i + 1], bgr[i]));
    Picture1->setColourTable(table);
}

void frmMain::MaskCheck_Click()
{
    if (Cards.empty())
        return;
    if (Slider1->value() == Slider1->maximum() && Slider2->value() == Slider2->maximum())
        Slider1->setValue(Slider1->minimum());
    if (MaskCheck->isChecked())
        applyMask();
    else
        Picture1->setColourTable({});
}

void frmMain::HueInvertCheck_Click()
{
    drawHueHistogram();
    if (MaskCheck->isChecked() && HueRangeReady)
        applyMask();
}

void frmMain::BackColorOption_Click()
{
    if (MaskCheck->isChecked())
        applyMask();
}

// ---- Preferences ---------------------------------------------------------------

void frmMain::btnPrefs_Click()
{
    if (busy())
        return;
    metricBeforePrefs_ = module_.Metric;
    const std::string position1 = state.Spray[Sample_Position1];
    const std::string interval = state.Spray[Sample_Interval];
    frmPrefs window(state, module_, this);
    window.ViewSprayInfo = [this, &window] {
        // The spray window shows the preferences' own, not yet accepted,
        // spread factor and units, and hands its spread factor back.
        SprayInfoForm::FromPreferences prefs;
        for (std::size_t i = 0; i < 3; ++i)
            prefs.SpreadTexts[i] = window.SpreadText[i]->text().toStdString();
        prefs.Metric = window.UnitsOption[0]->isChecked();
        SprayInfoForm form(state.Spray, store_, prefs, &window);
        form.exec();
        if (form.Accept) {
            const std::array<std::string, 3> texts = form.acceptedSpreadTexts();
            for (std::size_t i = 0; i < 3; ++i)
                window.SpreadText[i]->setText(QString::fromStdString(texts[i]));
        }
    };
    window.exec();
    if (compositeMode() &&
        (state.Spray[Sample_Position1] != position1 || state.Spray[Sample_Interval] != interval))
        refreshCompositeDisplay();
    if (module_.Metric != metricBeforePrefs_ && !Cards.empty()) {
        UpdateStatsLabels();
        if (compositeMode())
            showLineTab(lineTab_);
    }
}

} // namespace vex::ui
