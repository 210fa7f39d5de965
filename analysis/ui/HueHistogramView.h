#pragma once
// The hue histogram: the valid hues as white bands and one bar per hue in
// that hue's colour.  It paints what it is given and reports presses as a
// hue on the 0..255 scale.

#include "analysis/ColourMask.h"

#include <QWidget>

namespace vex::ui {

class HueHistogramView : public QWidget {
    Q_OBJECT
public:
    explicit HueHistogramView(QWidget *parent = nullptr);

    void setHistogram(const HueHistogram &histogram);
    const HueHistogram &histogram() const { return histogram_; }

    // The hue under a widget column, rounded to a whole hue, 0..255.
    int hueAt(double x) const;

signals:
    void pressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int hue);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    HueHistogram histogram_;
};

} // namespace vex::ui
