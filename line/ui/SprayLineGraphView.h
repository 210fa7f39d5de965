#pragma once
// The spray line statistics in place of the card picture: VMD, drop
// density and volume density against card position in three rows, the
// line's figures as red dotted references, one label per card, and the
// read-out beside a card while the mouse is on its label.

#include "line/SprayLineGraph.h"

#include <QWidget>

#include <string>
#include <vector>

namespace vex::ui {

class SprayLineGraphView : public QWidget {
    Q_OBJECT
public:
    explicit SprayLineGraphView(QWidget *parent = nullptr);

    void setPicture(const SprayLinePicture &picture);
    const SprayLinePicture &picture() const { return picture_; }
    void showReadOut(int card, const CardReadOut &readOut);
    void hideReadOut();
    bool readOutShown() const { return readOutCard_ > 0; }

    // Widget pixels of a point in the graph's own coordinates.
    QPointF toPixels(double x, double y) const;
    // The label rectangle of card i (1-based).
    QRectF cardLabelRect(int card) const;

signals:
    void cardLabelHovered(int card);
    void graphHovered();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    SprayLinePicture picture_;
    int readOutCard_ = 0;
    CardReadOut readOut_;
};

} // namespace vex::ui
