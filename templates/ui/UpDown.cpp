#include "templates/ui/UpDown.h"

#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vex::ui {

UpDown::UpDown(int minimum, int maximum, int step, QWidget *parent)
    : QWidget(parent), minimum_(minimum), maximum_(maximum), step_(step), value_(minimum)
{
    Up = new QToolButton(this);
    Up->setArrowType(Qt::UpArrow);
    Down = new QToolButton(this);
    Down->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {Up, Down}) {
        b->setFixedSize(16, 11);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Up);
    layout->addWidget(Down);
    connect(Up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(Down, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void UpDown::setValue(int value)
{
    value = std::clamp(value, minimum_, maximum_);
    if (value == value_)
        return;
    value_ = value;
    emit valueChanged(value_);
}

} // namespace vex::ui
