#pragma once
// The drop size spectrum graph.  It paints the picture it is given (range
// band, VMD marker, the filled area under the class line) and reports the
// mouse in the graph's user scale; the main window decides what a press or
// a move means.

#include "analysis/ResultGraph.h"

#include <QColor>
#include <QWidget>

namespace vex::ui {

class ResultGraphView : public QWidget {
    Q_OBJECT
public:
    explicit ResultGraphView(QWidget *parent = nullptr);

    void setPicture(const GraphPicture &picture, const QColor &fill);
    const GraphPicture &picture() const { return picture_; }
    void clearGraph();

    // The scale of the last picture, fitted to the widget's size.
    GraphMapping mapping() const;

signals:
    // x in micrometres, y in graph values.
    void mousePressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    void mouseMoved(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, double x, double y);
    void mouseReleased(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    GraphPicture picture_;
    QColor fill_;
    bool cleared_ = true;
};

} // namespace vex::ui
