#pragma once
// The card picture: draws the image of the card on display from a scroll
// origin.  It holds no analysis state.

#include <QImage>
#include <QList>
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

    // Draws the image through another colour table (the mask) without
    // touching its pixels; an empty table draws the image's own colours.
    void setColourTable(const QList<QRgb> &table);
    const QList<QRgb> &colourTable() const { return table_; }
    // The picture as the user sees it: the image under the colour table.
    QImage shownImage() const;

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
    QList<QRgb> table_;
    QPoint origin_;
};

} // namespace vex::ui
