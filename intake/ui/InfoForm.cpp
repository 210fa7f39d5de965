#include "intake/ui/InfoForm.h"

#include <QGridLayout>
#include <QLabel>

namespace vex::ui {

InfoForm::InfoForm(QWidget *parent) : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setWindowTitle(tr("Image Information..."));
    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel(tr("Resolution:"), this), 0, 0, Qt::AlignTop);
    layout->addWidget(new QLabel(tr("Image Size:"), this), 2, 0, Qt::AlignTop);
    layout->addWidget(new QLabel(tr("Image Area:"), this), 4, 0, Qt::AlignTop);
    for (int i = 0; i < 2; ++i) {
        ResLabel[i] = new QLabel(this);
        SizeLabel[i] = new QLabel(this);
        layout->addWidget(ResLabel[i], i, 1);
        layout->addWidget(SizeLabel[i], 2 + i, 1);
    }
    AreaLabel = new QLabel(this);
    layout->addWidget(AreaLabel, 4, 1);
}

void InfoForm::showCard(const CardRecord &card, bool metric)
{
    const CardInfoTexts t = cardInfoTexts(card, metric);
    ResLabel[0]->setText(QString::fromStdString(t.Resolution1));
    ResLabel[1]->setText(QString::fromStdString(t.Resolution2));
    SizeLabel[0]->setText(QString::fromStdString(t.Size1));
    SizeLabel[1]->setText(QString::fromStdString(t.Size2));
    AreaLabel->setText(QString::fromStdString(t.Area));
}

} // namespace vex::ui
