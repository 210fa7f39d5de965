#pragma once
// A photo of one card drawn with Qt: yellow paper with blue stains, turned on
// a mottled leaf-green background, and its true corners.

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTransform>

#include <array>

namespace vex::test {

struct DrawnPhoto {
    QImage Picture;
    std::array<QPointF, 4> Corners; // clockwise from the card's top left
};

inline DrawnPhoto drawnCardPhoto(QSize picture, QSizeF card, double turnDegrees)
{
    DrawnPhoto photo;
    photo.Picture = QImage(picture, QImage::Format_RGB888);
    photo.Picture.fill(QColor(60, 120, 40));
    QPainter p(&photo.Picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QRandomGenerator random(7);
    for (int i = 0; i < 300; ++i) {
        p.setBrush(QColor(random.bounded(20, 80), random.bounded(90, 170), random.bounded(20, 70)));
        p.drawEllipse(QPointF(random.bounded(picture.width()), random.bounded(picture.height())), random.bounded(5, 50),
                      random.bounded(5, 50));
    }
    QTransform place;
    place.translate(picture.width() / 2.0, picture.height() / 2.0);
    place.rotate(turnDegrees);
    place.translate(-card.width() / 2, -card.height() / 2);
    p.setTransform(place);
    p.setBrush(QColor(235, 215, 45));
    p.drawRect(QRectF(QPointF(0, 0), card));
    p.setBrush(QColor(30, 50, 150));
    for (int i = 0; i < 120; ++i)
        p.drawEllipse(QPointF(10 + random.bounded(card.width() - 20), 10 + random.bounded(card.height() - 20)),
                      random.bounded(2, 8), random.bounded(2, 8));
    photo.Corners = {place.map(QPointF(0, 0)), place.map(QPointF(card.width(), 0)),
                     place.map(QPointF(card.width(), card.height())), place.map(QPointF(0, card.height()))};
    return photo;
}

} // namespace vex::test
