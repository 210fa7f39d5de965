#include "app/ui/MaskingPanel.h"

#include "analysis/ColourMask.h"
#include "analysis/ui/HueHistogramView.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>

namespace vex::ui {

MaskingPanel::MaskingPanel(Source source, QWidget *parent) : QGroupBox(tr("Colour Masking"), parent), source_(source)
{
    setObjectName(QStringLiteral("MaskFrame"));
    maskCheck_ = new QCheckBox(tr("&Mask all but these hues"), this);
    maskCheck_->setObjectName(QStringLiteral("MaskCheck"));
    invertCheck_ = new QCheckBox(tr("Invert"), this);
    invertCheck_->setObjectName(QStringLiteral("HueInvertCheck"));
    colourOption_[0] = new QRadioButton(tr("Black"), this);
    colourOption_[1] = new QRadioButton(tr("White"), this);
    colourOption_[0]->setChecked(true);
    for (int i = 0; i < 2; ++i)
        colourOption_[i]->setObjectName(QStringLiteral("BackColorOption%1").arg(i + 1));
    histogram_ = new HueHistogramView(this);
    histogram_->setFixedSize(258, 100);
    histogram_->setObjectName(QStringLiteral("HistogramPic"));
    lowLabel_ = new QLabel(QStringLiteral("0"), this);
    lowLabel_->setObjectName(QStringLiteral("Label1"));
    highLabel_ = new QLabel(QStringLiteral("255"), this);
    highLabel_->setObjectName(QStringLiteral("Label2"));
    highLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lowSlider_ = new QSlider(Qt::Horizontal, this);
    lowSlider_->setObjectName(QStringLiteral("Slider1"));
    highSlider_ = new QSlider(Qt::Horizontal, this);
    highSlider_->setObjectName(QStringLiteral("Slider2"));
    for (QSlider *s : {lowSlider_, highSlider_}) {
        s->setRange(0, 255);
        s->setFixedWidth(258);
    }
    highSlider_->setValue(255);
    layOut();
    connectControls();
}

void MaskingPanel::layOut()
{
    auto *mask = new QGridLayout(this);
    mask->addWidget(maskCheck_, 0, 0, 1, 2);
    mask->addWidget(invertCheck_, 0, 2);
    mask->addWidget(colourOption_[0], 1, 0);
    mask->addWidget(colourOption_[1], 1, 1);
    mask->addWidget(histogram_, 2, 0, 1, 3);
    mask->addWidget(lowLabel_, 3, 0);
    mask->addWidget(highLabel_, 3, 2);
    mask->addWidget(lowSlider_, 4, 0, 1, 3);
    mask->addWidget(highSlider_, 5, 0, 1, 3);
}

void MaskingPanel::connectControls()
{
    connect(maskCheck_, &QCheckBox::clicked, this, &MaskingPanel::MaskCheck_Click);
    connect(invertCheck_, &QCheckBox::clicked, this, &MaskingPanel::HueInvertCheck_Click);
    for (QRadioButton *b : colourOption_)
        connect(b, &QRadioButton::clicked, this, &MaskingPanel::BackColorOption_Click);
    // valueChanged is the slider's scroll; the end of a drag, or any move
    // not made by dragging, is its change.
    connect(lowSlider_, &QSlider::valueChanged, this, [this] {
        Slider1_Scroll();
        if (!lowSlider_->isSliderDown())
            Slider_Change();
    });
    connect(highSlider_, &QSlider::valueChanged, this, [this] {
        Slider2_Scroll();
        if (!highSlider_->isSliderDown())
            Slider_Change();
    });
    connect(lowSlider_, &QSlider::sliderReleased, this, &MaskingPanel::Slider_Change);
    connect(highSlider_, &QSlider::sliderReleased, this, &MaskingPanel::Slider_Change);
    connect(histogram_, &HueHistogramView::pressed, this, &MaskingPanel::HistogramPic_MouseDown);
    for (QSlider *slider : {lowSlider_, highSlider_})
        connect(slider, &QSlider::valueChanged, this, &MaskingPanel::hueRangeChanged);
    connect(invertCheck_, &QCheckBox::toggled, this, &MaskingPanel::hueRangeChanged);
}

int MaskingPanel::hueLow() const
{
    return lowSlider_->value();
}

int MaskingPanel::hueHigh() const
{
    return highSlider_->value();
}

bool MaskingPanel::inverted() const
{
    return invertCheck_->isChecked();
}

bool MaskingPanel::masking() const
{
    return maskCheck_->isChecked();
}

QList<QRgb> MaskingPanel::maskTable(const CardRecord &card) const
{
    const std::vector<std::uint8_t> bgr =
        maskedPaletteBgr(card, hueLow(), hueHigh(), inverted(), colourOption_[1]->isChecked());
    QList<QRgb> table;
    table.reserve(static_cast<qsizetype>(bgr.size() / 3));
    for (std::size_t i = 0; i + 2 < bgr.size(); i += 3)
        table.push_back(qRgb(bgr[i + 2], bgr[i + 1], bgr[i]));
    return table;
}

void MaskingPanel::showValues()
{
    lowLabel_->setText(QString::number(lowSlider_->value()));
    highLabel_->setText(QString::number(highSlider_->value()));
}

void MaskingPanel::setHueRange(int low, int high, bool invert)
{
    {
        const QSignalBlocker blockLow(lowSlider_);
        const QSignalBlocker blockHigh(highSlider_);
        lowSlider_->setValue(low);
        highSlider_->setValue(high);
        const QSignalBlocker blockInvert(invertCheck_);
        invertCheck_->setChecked(invert);
    }
    showValues();
}

void MaskingPanel::offerForCard(bool coloursKnown)
{
    for (QWidget *w : std::initializer_list<QWidget *>{this, maskCheck_, invertCheck_, colourOption_[0],
                                                       colourOption_[1], lowSlider_, highSlider_})
        w->setEnabled(coloursKnown);
    drawHistogram();
}

void MaskingPanel::newCardLoaded()
{
    // The range stays where the sliders are, and so does the scan's.
    showValues();
    for (QWidget *w : std::initializer_list<QWidget *>{this, maskCheck_, colourOption_[0], colourOption_[1]})
        w->setEnabled(false);
    drawHistogram();
}

void MaskingPanel::clear()
{
    for (QWidget *w : std::initializer_list<QWidget *>{maskCheck_, invertCheck_, colourOption_[0], colourOption_[1],
                                                       lowSlider_, highSlider_})
        w->setEnabled(false);
    showValues();
}

void MaskingPanel::setCompositeShown(bool line)
{
    for (QWidget *w : std::initializer_list<QWidget *>{lowSlider_, highSlider_, invertCheck_, histogram_, this,
                                                       maskCheck_, colourOption_[0], colourOption_[1]})
        w->setEnabled(!line);
}

void MaskingPanel::drawHistogram()
{
    const CardList &cards = source_.Cards;
    const int current = source_.CurrentCard;
    const CardRecord *card = nullptr;
    // A scanned card keeps its histogram, also when opened from a trial
    // without its stain pixels.
    if (!cards.empty() && current >= 1 && current <= cards.count() &&
        (cards[current].ColoursKnown || cards[current].Scanned))
        card = &cards[current];
    histogram_->setHistogram(hueHistogram(card, source_.HueColour, hueLow(), hueHigh(), inverted()));
}

void MaskingPanel::slidersMoved(int low, int high)
{
    ready_ = false;
    {
        const QSignalBlocker blockLow(lowSlider_);
        const QSignalBlocker blockHigh(highSlider_);
        lowSlider_->setValue(low);
        highSlider_->setValue(high);
    }
    showValues();
    drawHistogram();
    ready_ = true;
}

void MaskingPanel::Slider1_Scroll()
{
    const SliderValues v = moveLowSlider({hueLow(), hueHigh()}, hueLow());
    slidersMoved(v.Low, v.High);
}

void MaskingPanel::Slider2_Scroll()
{
    const SliderValues v = moveHighSlider({hueLow(), hueHigh()}, hueHigh());
    slidersMoved(v.Low, v.High);
}

void MaskingPanel::Slider_Change()
{
    if (masking() && ready_)
        emit maskChanged();
}

void MaskingPanel::HistogramPic_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int hue)
{
    if (modifiers != Qt::NoModifier || !lowSlider_->isEnabled())
        return;
    if (button == Qt::LeftButton)
        lowSlider_->setValue(hue);
    else if (button == Qt::RightButton)
        highSlider_->setValue(hue);
}

void MaskingPanel::MaskCheck_Click()
{
    if (source_.Cards.empty())
        return;
    if (hueLow() == lowSlider_->maximum() && hueHigh() == highSlider_->maximum())
        lowSlider_->setValue(lowSlider_->minimum());
    if (masking())
        emit maskChanged();
    else
        emit maskRemoved();
}

void MaskingPanel::HueInvertCheck_Click()
{
    drawHistogram();
    if (masking() && ready_)
        emit maskChanged();
}

void MaskingPanel::BackColorOption_Click()
{
    if (masking())
        emit maskChanged();
}

} // namespace vex::ui
