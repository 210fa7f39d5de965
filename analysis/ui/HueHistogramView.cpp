#include "analysis/ui/HueHistogramView.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vex::ui {

namespace {

const QColor HistogramBackground(160, 160, 160);

} // namespace

HueHistogramView::HueHistogramView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HueHistogramView::setHistogram(const HueHistogram &histogram)
{
    histogram_ = histogram;
    update();
}

int HueHistogramView::hueAt(double x) const
{
    // The user scale runs from hue 0 at the left edge to 255 at the right.
    const double w = std::max(1, width() - 1);
    return std::clamp(static_cast<int>(std::lround(x / w * 255.0)), 0, 255);
}

void HueHistogramView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), HistogramBackground);
    const double w = std::max(1, width() - 1);
    const double columnWidth = std::max(1.0, w / 255.0);
    auto column = [&](int hue) { return hue / 255.0 * w; };
    for (const HueBand &band : histogram_.ValidBands) {
        const double left = column(band.From);
        const double right = column(band.To) + columnWidth;
        painter.fillRect(QRectF(left, 0.0, right - left, height()), Qt::white);
    }
    if (histogram_.Counts.size() < 256 || histogram_.Colours.size() < 256 || histogram_.Top <= 0.0)
        return;
    for (int hue = 0; hue < 256; ++hue) {
        const std::int32_t count = histogram_.Counts[static_cast<std::size_t>(hue)];
        if (count <= 0)
            continue;
        const Rgb c = histogram_.Colours[static_cast<std::size_t>(hue)];
        const double barHeight = count / histogram_.Top * height();
        painter.fillRect(QRectF(column(hue), height() - barHeight, columnWidth, barHeight),
                         QColor(c.Red, c.Green, c.Blue));
    }
}

void HueHistogramView::mousePressEvent(QMouseEvent *event)
{
    emit pressed(event->button(), event->modifiers(), hueAt(event->position().x()));
}

} // namespace vex::ui
