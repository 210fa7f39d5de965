#include "app/ui/CardPicture.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace vex::ui {

CardPicture::CardPicture(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMouseTracking(true); // the stain under the pointer
}

void CardPicture::setOverlay(const QImage &overlay, const QList<LegendEntry> &legend)
{
    overlay_ = overlay;
    legend_ = legend;
    reduced_ = QImage();
    update();
}

void CardPicture::setImage(const QImage &image)
{
    image_ = image;
    table_.clear();
    settle(view_);
    update();
}

void CardPicture::clear()
{
    image_ = QImage();
    table_.clear();
    view_ = View{};
    update();
    emit viewChanged();
}

void CardPicture::setOrigin(QPoint origin)
{
    View before = view_;
    origin_ = origin;
    settle(before);
}

void CardPicture::setView(View view)
{
    const View before = view_;
    view_ = view;
    view_.Scale = std::clamp(view_.Scale, MinScale, MaxScale);
    if (view_.Fit)
        view_.Scale = fitScale();
    settle(before);
    update();
    emit viewChanged(); // the bars follow even when the view is as it was
}

void CardPicture::fit()
{
    View v;
    v.Fit = true;
    setView(v);
}

void CardPicture::actualSize()
{
    zoomBy(1.0 / view_.Scale);
}

void CardPicture::zoomBy(double factor, QPointF at)
{
    if (image_.isNull())
        return;
    const View before = view_;
    const QPointF fixed = imagePoint(at);
    view_.Scale = std::clamp(view_.Scale * factor, MinScale, MaxScale);
    view_.Fit = false;
    origin_ = fixed - (at - margin()) / view_.Scale;
    settle(before);
}

QSize CardPicture::scaledSize() const
{
    return QSize(static_cast<int>(std::lround(image_.width() * view_.Scale)),
                 static_cast<int>(std::lround(image_.height() * view_.Scale)));
}

QPointF CardPicture::margin() const
{
    if (image_.isNull())
        return {};
    const QSize drawn = scaledSize();
    return QPointF(std::max(0, width() - drawn.width()) / 2.0, std::max(0, height() - drawn.height()) / 2.0);
}

double CardPicture::fitScale() const
{
    if (image_.isNull() || width() <= 0 || height() <= 0)
        return 1.0;
    const double s =
        std::min(static_cast<double>(width()) / image_.width(), static_cast<double>(height()) / image_.height());
    return std::clamp(s, MinScale, MaxScale);
}

void CardPicture::settle(View before)
{
    if (view_.Fit)
        view_.Scale = fitScale();
    // The origin stays where the image still covers the picture, so that a
    // pan never drags the card out of sight.
    const double spareX = image_.width() - width() / view_.Scale;
    const double spareY = image_.height() - height() / view_.Scale;
    origin_.setX(std::clamp(origin_.x(), 0.0, std::max(0.0, spareX)));
    origin_.setY(std::clamp(origin_.y(), 0.0, std::max(0.0, spareY)));
    if (before.Scale != view_.Scale || before.Origin != view_.Origin || before.Fit != view_.Fit) {
        update();
        emit viewChanged();
    }
}

void CardPicture::setColourTable(const QList<QRgb> &table)
{
    table_ = table;
    update();
}

QImage CardPicture::shownImage() const
{
    if (table_.isEmpty() || image_.format() != QImage::Format_Indexed8)
        return image_;
    QImage shown = image_.copy();
    shown.setColorTable(table_);
    return shown;
}

void CardPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (image_.isNull())
        return;
    // Only the image pixels in sight are drawn (and copied to carry the
    // mask's colours), so a card of any size draws as fast as a small one.
    const double s = view_.Scale;
    const QRect visible = QRectF(origin_, QSizeF(width() / s, height() / s))
                              .toAlignedRect()
                              .adjusted(0, 0, 1, 1)
                              .intersected(image_.rect());
    if (visible.isEmpty())
        return;
    const QPointF edge = margin();
    const QRectF target(edge.x() + (visible.left() - origin_.x()) * s, edge.y() + (visible.top() - origin_.y()) * s,
                        visible.width() * s, visible.height() * s);
    // Enlarged, each pixel stays a sharp square the user can count; reduced,
    // the card is smoothed so that small stains do not vanish between rows.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, s < 1.0);
    if (table_.isEmpty() || image_.format() != QImage::Format_Indexed8) {
        painter.drawImage(target, image_, visible);
    } else {
        QImage part = image_.copy(visible);
        part.setColorTable(table_);
        painter.drawImage(target, part);
    }
    if (overlay_.isNull())
        return;
    drawOverlay(painter, visible);
    drawLegend(painter);
}

void CardPicture::drawOverlay(QPainter &painter, const QRect &visible)
{
    // Reduced, an outline one pixel wide would fade into the card when
    // smoothed, or fall between the pixels drawn when not: the overlay is
    // first reduced by a whole factor, a pixel keeping any outline of the
    // block it stands for, and drawn from there.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const double s = view_.Scale;
    const int by = std::max(1, static_cast<int>(std::floor(1.0 / s)));
    const QPointF edge = margin();
    if (by == 1) {
        const QRect part = visible.intersected(overlay_.rect());
        painter.drawImage(QRectF(edge + (QPointF(part.topLeft()) - origin_) * s, QSizeF(part.size()) * s), overlay_,
                          part);
        return;
    }
    if (by != reducedBy_ || reduced_.isNull()) {
        reducedBy_ = by;
        reduced_ = QImage((overlay_.width() + by - 1) / by, (overlay_.height() + by - 1) / by,
                          QImage::Format_ARGB32_Premultiplied);
        reduced_.fill(Qt::transparent);
        for (int y = 0; y < overlay_.height(); ++y) {
            const auto *from = reinterpret_cast<const QRgb *>(overlay_.constScanLine(y));
            auto *to = reinterpret_cast<QRgb *>(reduced_.scanLine(y / by));
            for (int x = 0; x < overlay_.width(); ++x)
                if (qAlpha(from[x]) != 0)
                    to[x / by] = from[x];
        }
    }
    const QRect part(visible.left() / by, visible.top() / by, (visible.right() / by) - visible.left() / by + 1,
                     (visible.bottom() / by) - visible.top() / by + 1);
    const QRect inside = part.intersected(reduced_.rect());
    painter.drawImage(QRectF(edge + (QPointF(inside.topLeft()) * by - origin_) * s, QSizeF(inside.size()) * by * s),
                      reduced_, inside);
}

void CardPicture::drawLegend(QPainter &painter) const
{
    if (legend_.isEmpty())
        return;
    const QFontMetrics metrics = fontMetrics();
    const int line = metrics.height();
    const int swatch = line - 4;
    int widest = 0;
    for (const LegendEntry &e : legend_)
        widest = std::max(widest, metrics.horizontalAdvance(e.Caption));
    const int pad = 6;
    const QRect box(pad, height() - pad - static_cast<int>(legend_.size()) * line - 2 * pad, widest + swatch + 3 * pad,
                    static_cast<int>(legend_.size()) * line + 2 * pad);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(box, QColor(255, 255, 255, 220));
    painter.setPen(QColor(90, 90, 90));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    int y = box.top() + pad;
    for (const LegendEntry &e : legend_) {
        painter.fillRect(QRect(box.left() + pad, y + 2, swatch, swatch), QColor(60, 60, 60));
        painter.fillRect(QRect(box.left() + pad + 2, y + 4, swatch - 4, swatch - 4), e.Colour);
        painter.setPen(Qt::black);
        painter.drawText(QRect(box.left() + 2 * pad + swatch, y, widest + pad, line), Qt::AlignVCenter, e.Caption);
        y += line;
    }
}

void CardPicture::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton && event->modifiers() == Qt::NoModifier)
        emit rightButton(true);
    if (event->button() == Qt::LeftButton && !image_.isNull()) {
        dragging_ = true;
        dragFrom_ = event->position().toPoint();
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(event);
}

void CardPicture::mouseMoveEvent(QMouseEvent *event)
{
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        const QPoint at = event->position().toPoint();
        const View before = view_;
        origin_ -= QPointF(at - dragFrom_) / view_.Scale;
        dragFrom_ = at;
        settle(before);
    } else if (event->buttons() == Qt::NoButton && !image_.isNull()) {
        const QPointF at = imagePoint(event->position());
        if (QRectF(image_.rect()).contains(at))
            emit hovered(at, event->globalPosition().toPoint());
        else
            emit left();
    }
    QWidget::mouseMoveEvent(event);
}

void CardPicture::leaveEvent(QEvent *event)
{
    emit left();
    QWidget::leaveEvent(event);
}

void CardPicture::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        emit rightButton(false);
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        unsetCursor();
    }
    QWidget::mouseReleaseEvent(event);
}

void CardPicture::wheelEvent(QWheelEvent *event)
{
    const double steps = event->angleDelta().y() / 120.0;
    if (image_.isNull() || steps == 0.0) {
        event->ignore();
        return;
    }
    const View before = view_;
    if (event->modifiers() == Qt::ControlModifier)
        zoomBy(std::pow(ZoomStep, steps), event->position());
    else if (event->modifiers() == Qt::ShiftModifier)
        origin_.rx() -= steps * 60.0 / view_.Scale;
    else
        origin_.ry() -= steps * 60.0 / view_.Scale;
    settle(before);
    event->accept();
}

void CardPicture::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    settle(view_);
    emit viewChanged();
}

} // namespace vex::ui
