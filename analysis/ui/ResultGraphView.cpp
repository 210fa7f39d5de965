#include "analysis/ui/ResultGraphView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>

namespace vex::ui {

namespace {

const QColor GraphBackground(236, 236, 236);
const QColor BandColour(255, 255, 255);
const QColor MarkerColour(255, 0, 0); // light red of the 16-colour palette

} // namespace

ResultGraphView::ResultGraphView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void ResultGraphView::setPicture(const GraphPicture &picture, const QColor &fill)
{
    picture_ = picture;
    fill_ = fill;
    cleared_ = false;
    update();
}

void ResultGraphView::clearGraph()
{
    picture_ = {};
    cleared_ = true;
    update();
}

GraphMapping ResultGraphView::mapping() const
{
    GraphMapping m = picture_.Mapping;
    m.Width = width();
    m.Height = height();
    return m;
}

void ResultGraphView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), GraphBackground);
    if (cleared_)
        return;
    const GraphMapping m = mapping();
    const double left = std::max(-1.0, m.pixelX(picture_.BandLow));
    const double right = std::min(width() + 1.0, m.pixelX(picture_.BandHigh));
    if (right > left)
        painter.fillRect(QRectF(left, 0.0, right - left, height()), BandColour);
    if (picture_.HasMarker) {
        painter.setPen(QPen(MarkerColour, 1));
        const double x = m.pixelX(picture_.Vmd);
        // Up to the top edge, not past it: a line running out of the graph
        // reads as a value beyond the scale.
        painter.drawLine(QPointF(x, m.pixelY(0.0)), QPointF(x, m.pixelY(m.Top)));
    }
    if (picture_.HasGraph && picture_.Outline.size() >= 3) {
        QPolygonF polygon;
        for (const GraphPoint &p : picture_.Outline)
            polygon << QPointF(m.pixelX(p.X), m.pixelY(p.Y));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(fill_.darker(130), 1));
        painter.setBrush(fill_);
        painter.drawPolygon(polygon);
    }
}

void ResultGraphView::mousePressEvent(QMouseEvent *event)
{
    const GraphMapping m = mapping();
    emit mousePressed(event->button(), event->modifiers(), m.valueX(event->position().x()),
                      m.valueY(event->position().y()));
}

void ResultGraphView::mouseMoveEvent(QMouseEvent *event)
{
    const GraphMapping m = mapping();
    emit mouseMoved(event->buttons(), event->modifiers(), m.valueX(event->position().x()),
                    m.valueY(event->position().y()));
}

void ResultGraphView::mouseReleaseEvent(QMouseEvent *event)
{
    const GraphMapping m = mapping();
    emit mouseReleased(event->button(), event->modifiers(), m.valueX(event->position().x()),
                       m.valueY(event->position().y()));
}

} // namespace vex::ui
