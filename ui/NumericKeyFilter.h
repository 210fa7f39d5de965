#pragma once
// The key filter of every numeric entry box: digits pass, a point once where
// decimals are allowed, "-" toggles a leading minus where allowed, and every
// other typed character (Backspace included) is dropped.  Keys that type
// nothing (arrows, Delete, Tab, Enter, Escape) keep their usual meaning.

#include <QObject>

class QLineEdit;

namespace vex::ui {

class NumericKeyFilter : public QObject {
    Q_OBJECT
public:
    NumericKeyFilter(bool allowDecimal, bool allowMinus, QObject *parent = nullptr);

    // Filters the box's keys; the filter is owned by the box from then on.
    static NumericKeyFilter *install(QLineEdit *box, bool allowDecimal, bool allowMinus);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool allowDecimal_;
    bool allowMinus_;
};

} // namespace vex::ui
