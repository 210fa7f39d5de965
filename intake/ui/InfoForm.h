#pragma once
// The card information shown while the right mouse button is held on the
// card picture.

#include "intake/Resolution.h"

#include <QDialog>

class QLabel;

namespace vex::ui {

class InfoForm : public QDialog {
    Q_OBJECT
public:
    explicit InfoForm(QWidget *parent = nullptr);

    void showCard(const CardRecord &card, bool metric);

    QLabel *ResLabel[2] = {nullptr, nullptr};
    QLabel *SizeLabel[2] = {nullptr, nullptr};
    QLabel *AreaLabel = nullptr;
};

} // namespace vex::ui
