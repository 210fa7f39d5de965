#include "intake/ui/BackgroundColorForm.h"

#include "ui/Messages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace vex::ui {

namespace {
constexpr int PreviewWidth = 320;
constexpr int PreviewHeight = 200;

QLabel *swatch(QWidget *parent, const QColor &colour)
{
    auto *label = new QLabel(parent);
    label->setFixedSize(60, 30);
    label->setFrameShape(QFrame::Box);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, colour);
    label->setPalette(p);
    return label;
}

void setSwatchColour(QLabel *label, const QColor &colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::Window, colour);
    label->setPalette(p);
}

void showPreview(QLabel *preview, const QImage &picture, int keep)
{
    if (picture.isNull()) {
        preview->clear();
        return;
    }
    // A section from the top-left corner at full size shows a dither pattern
    // that a scaled-down picture would blur away.
    const QImage masked = previewWithOnlyColour(picture, keep);
    preview->setPixmap(QPixmap::fromImage(masked.copy(0, 0, PreviewWidth, PreviewHeight)));
}

QPushButton *addButton(QHBoxLayout *row, QWidget *parent, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    row->addWidget(b);
    return b;
}
} // namespace

QImage previewWithOnlyColour(const QImage &picture, int keep)
{
    if (picture.format() != QImage::Format_Indexed8)
        return picture;
    QImage copy = picture; // shares the pixels; only the colour table is replaced
    QList<QRgb> table = copy.colorTable();
    for (int i = 0; i < table.size(); ++i)
        if (i != keep)
            table[i] = qRgb(0, 0, 0);
    copy.setColorTable(table);
    return copy;
}

QColor paletteColour(const std::vector<std::uint8_t> &paletteBgr, int index)
{
    const std::size_t at = static_cast<std::size_t>(index) * 3;
    if (index < 0 || at + 3 > paletteBgr.size())
        return QColor(Qt::black);
    return QColor(paletteBgr[at + 2], paletteBgr[at + 1], paletteBgr[at]);
}

BackgroundColorForm::BackgroundColorForm(const QImage &cardPicture, const std::vector<std::uint8_t> &paletteBgr,
                                         QWidget *parent)
    : QDialog(parent), picture_(cardPicture), palette_(paletteBgr)
{
    setWindowTitle(tr("Background Colour"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *swatches = new QGridLayout;
    auto *tableText = new QLabel(tr("This file's colour table indicates that its background colour is this:"), this);
    auto *likelyText = new QLabel(tr("Vexolin has determined that the background colour is most likely this:"), this);
    tableText->setWordWrap(true);
    likelyText->setWordWrap(true);
    TableSwatch = swatch(this, Qt::black);
    LikelySwatch = swatch(this, Qt::black);
    swatches->addWidget(tableText, 0, 0);
    swatches->addWidget(TableSwatch, 1, 0, Qt::AlignHCenter);
    swatches->addWidget(likelyText, 0, 1);
    swatches->addWidget(LikelySwatch, 1, 1, Qt::AlignHCenter);
    layout->addLayout(swatches);
    Preview = new QLabel(this);
    Preview->setFixedSize(PreviewWidth, PreviewHeight);
    Preview->setFrameShape(QFrame::Box);
    layout->addWidget(Preview, 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(tr("Would you like to use the most likely colour?"), this));
    auto *buttons = new QHBoxLayout;
    btnYes = addButton(buttons, this, tr("&Yes"));
    btnNo = addButton(buttons, this, tr("&No"));
    btnYesToAll = addButton(buttons, this, tr("Yes to &All"));
    layout->addLayout(buttons);
    btnYes->setDefault(true);
    connect(btnYes, &QPushButton::clicked, this, &BackgroundColorForm::yes);
    connect(btnNo, &QPushButton::clicked, this, &BackgroundColorForm::no);
    connect(btnYesToAll, &QPushButton::clicked, this, &BackgroundColorForm::yesToAll);
}

void BackgroundColorForm::prepare()
{
    setSwatchColour(TableSwatch, paletteColour(palette_, 0));
    setSwatchColour(LikelySwatch, paletteColour(palette_, BackgroundColour));
    showPreview(Preview, picture_, BackgroundColour);
}

void BackgroundColorForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    btnYes->setFocus();
}

void BackgroundColorForm::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Y: yes(); return;
    case Qt::Key_N: no(); return;
    case Qt::Key_A: yesToAll(); return;
    default: QDialog::keyPressEvent(event);
    }
}

void BackgroundColorForm::yes()
{
    accept();
}

void BackgroundColorForm::no()
{
    BackgroundColour = 0;
    accept();
}

void BackgroundColorForm::yesToAll()
{
    DisableWarning = true;
    accept();
}

BackgroundColorForm2::BackgroundColorForm2(const QImage &cardPicture, QWidget *parent)
    : QDialog(parent), picture_(cardPicture)
{
    setWindowTitle(tr("Dithered Background?"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    Message = new QLabel(programText(DitherQuestionText), this);
    Message->setWordWrap(true);
    Message->setFixedWidth(PreviewWidth + 80);
    layout->addWidget(Message);
    Preview = new QLabel(this);
    Preview->setFixedSize(PreviewWidth, PreviewHeight);
    Preview->setFrameShape(QFrame::Box);
    layout->addWidget(Preview, 0, Qt::AlignHCenter);
    auto *buttons = new QHBoxLayout;
    btnYes = addButton(buttons, this, tr("&Yes"));
    btnNo = addButton(buttons, this, tr("&No"));
    btnYesToAll = addButton(buttons, this, tr("Yes to &All"));
    layout->addLayout(buttons);
    btnYes->setDefault(true);
    connect(btnYes, &QPushButton::clicked, this, &BackgroundColorForm2::yes);
    connect(btnNo, &QPushButton::clicked, this, &BackgroundColorForm2::no);
    connect(btnYesToAll, &QPushButton::clicked, this, &BackgroundColorForm2::yesToAll);
}

void BackgroundColorForm2::prepare()
{
    showPreview(Preview, picture_, DitherColour);
}

void BackgroundColorForm2::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    btnYes->setFocus();
}

void BackgroundColorForm2::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Y: yes(); return;
    case Qt::Key_N: no(); return;
    case Qt::Key_A: yesToAll(); return;
    default: QDialog::keyPressEvent(event);
    }
}

void BackgroundColorForm2::yes()
{
    accept();
}

void BackgroundColorForm2::no()
{
    DitherColour = BackgroundColour;
    accept();
}

void BackgroundColorForm2::yesToAll()
{
    DisableWarning = true;
    accept();
}

} // namespace vex::ui
