#include "app/ui/CardPicture.h"

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

} // namespace vex::ui
