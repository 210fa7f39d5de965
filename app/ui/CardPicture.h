#pragma once
// The card picture: draws the image of the card on display from a scroll
// origin.  It holds no analysis state.

#include <QImage>
#include <QPoint>
#include <QWidget>

namespace vex::ui {

class CardPicture : public QWidget {
    Q_OBJECT
public:
    explicit CardPicture(QWidget *parent = nullptr);

    void setImage(const QImage &image);
    const QImage &image() const { return image_; }
    void clear();

    // The image pixel drawn at the widget's top-left corner.
    void setOrigin(QPoint origin);
    QPoint origin() const { return origin_; }

signals:
    // The right button went down (true) or up (false) with no modifier key.
    void rightButton(bool down);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage image_;
    QPoint origin_;
};

} // namespace vex::ui
