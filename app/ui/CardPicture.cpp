#include "app/ui/CardPicture.h"

#include <QMouseEvent>
#include <QPainter>

namespace vex::ui {

CardPicture::CardPicture(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void CardPicture::setImage(const QImage &image)
{
    image_ = image;
    table_.clear();
    origin_ = {};
    update();
}

void CardPicture::clear()
{
    image_ = QImage();
    table_.clear();
    origin_ = {};
    update();
}

void CardPicture::setOrigin(QPoint origin)
{
    if (origin == origin_)
        return;
    origin_ = origin;
    update();
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
    const QRect visible = QRect(origin_, size()).intersected(image_.rect());
    if (table_.isEmpty() || image_.format() != QImage::Format_Indexed8) {
        painter.drawImage(QPoint(0, 0), image_, QRect(origin_, size()));
        return;
    }
    // Only the visible part is copied to carry the mask's colours, so a
    // card of any size is masked as fast as a small one.
    QImage part = image_.copy(visible);
    part.setColorTable(table_);
    painter.drawImage(visible.topLeft() - origin_, part);
}

void CardPicture::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton && event->modifiers() == Qt::NoModifier)
        emit rightButton(true);
    QWidget::mousePressEvent(event);
}

void CardPicture::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        emit rightButton(false);
    QWidget::mouseReleaseEvent(event);
}

} // namespace vex::ui
