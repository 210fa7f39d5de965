#pragma once
// The card picture: draws the image of the card on display at a scale, from
// an origin, and lets the user zoom and pan it.  It holds no analysis state:
// zooming changes only what is drawn, never a pixel the scan reads.

#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QWidget>

namespace vex::ui {

class CardPicture : public QWidget {
    Q_OBJECT
public:
    // How a card is looked at: the scale (1 draws one image pixel on one
    // screen pixel), whether it follows the picture's size to show the whole
    // card, and the image point drawn at the top-left corner.
    struct View {
        double Scale = 1.0;
        bool Fit = false;
        QPointF Origin;
    };
    static constexpr double MinScale = 1.0 / 32.0;
    static constexpr double MaxScale = 16.0;
    static constexpr double ZoomStep = 1.25;

    explicit CardPicture(QWidget *parent = nullptr);

    // A new image keeps the view; the caller sets the one it wants.
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
    QPoint origin() const { return origin_.toPoint(); }

    const View &view() const { return view_; }
    void setView(View view);
    double scale() const { return view_.Scale; }
    // The whole card in the picture, as large as it fits.
    void fit();
    // One image pixel on one screen pixel, keeping the middle where it is.
    void actualSize();
    // Multiplies the scale, keeping the image point under `at` (widget
    // coordinates) where it is.
    void zoomBy(double factor, QPointF at);
    void zoomBy(double factor) { zoomBy(factor, QPointF(width() / 2.0, height() / 2.0)); }
    // The image drawn at the present scale, in screen pixels.
    QSize scaledSize() const;
    // The image point drawn at a widget point.
    QPointF imagePoint(QPointF at) const { return origin_ + (at - margin()) / view_.Scale; }
    // A card drawn smaller than the picture sits in its middle.
    QPointF margin() const;
    QSize sizeHint() const override { return defaultSize_; }

    // Drawn over the card at its scale and position: a picture of the card's
    // size (transparent where it shows nothing) and, in a corner of the
    // widget, its legend of colours and captions.  A null picture draws none.
    struct LegendEntry {
        QColor Colour;
        QString Caption;
    };
    void setOverlay(const QImage &overlay, const QList<LegendEntry> &legend);
    const QImage &overlay() const { return overlay_; }
    void setDefaultSize(QSize size) { defaultSize_ = size; }

signals:
    // The right button went down (true) or up (false) with no modifier key.
    void rightButton(bool down);
    // The scale or the origin changed.
    void viewChanged();
    // The pointer moved over the image (no button down), at image point `at`;
    // left() when it went off it.
    void hovered(QPointF at, QPoint global);
    void left();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    double fitScale() const;
    // Keeps the origin where the image still fills the picture, top-left
    // when it is smaller; tells the view when anything changed.
    void settle(View before);

    void drawLegend(QPainter &painter) const;
    void drawOverlay(QPainter &painter, const QRect &visible);

    QImage image_;
    QList<QRgb> table_;
    QImage overlay_;
    QList<LegendEntry> legend_;
    QImage reduced_; // the overlay at 1 / reducedBy_ of its size
    int reducedBy_ = 1;
    View view_;
    QPointF &origin_ = view_.Origin;
    QSize defaultSize_{700, 450};
    QPoint dragFrom_;
    bool dragging_ = false;
};

} // namespace vex::ui
