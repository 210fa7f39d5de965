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
    origin_ = {};
    update();
}

void CardPicture::clear()
{
    image_ = QImage();
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

void CardPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!image_.isNull())
        painter.drawImage(QPoint(0, 0), image_, QRect(origin_, size()));
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
