#pragma once
// The swath analysis in place of the card picture: the COV of every swath
// width (one way and back and forth) with the 30 % line and one button per
// width, and the multiswath deposit profile of the chosen width.

#include "line/SwathDisplay.h"

#include <QWidget>

#include <string>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace vex::ui {

class SwathGraphView : public QWidget {
    Q_OBJECT
public:
    explicit SwathGraphView(QWidget *parent = nullptr);

    void setPicture(const SwathPicture &picture);
    const SwathPicture &picture() const { return picture_; }
    // optSwathWidth(1..): the button of width n.
    QRadioButton *widthButton(int n) const;
    int widthButtons() const { return static_cast<int>(buttons_.size()); }

signals:
    void widthChosen(int width);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QRectF covArea() const;
    QRectF profileArea() const;
    void placeButtons();

    SwathPicture picture_;
    std::vector<QRadioButton *> buttons_;
    QButtonGroup *group_ = nullptr;
};

} // namespace vex::ui
