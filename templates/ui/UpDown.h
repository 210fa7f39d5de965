#pragma once
// A pair of arrow buttons holding a whole number within limits, beside the
// text box that shows it.

#include <QWidget>

class QToolButton;

namespace vex::ui {

class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(int minimum, int maximum, int step, QWidget *parent = nullptr);

    int value() const { return value_; }
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int step() const { return step_; }
    // Kept within the limits; tells of a change.
    void setValue(int value);
    void stepBy(int steps) { setValue(value_ + steps * step_); }

    QToolButton *Up = nullptr;
    QToolButton *Down = nullptr;

signals:
    void valueChanged(int value);

private:
    int minimum_;
    int maximum_;
    int step_;
    int value_;
};

} // namespace vex::ui
