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

BackgroundColorForm::BackgroundColorForm(Question question, const QImage &cardPicture,
                                         const std::vector<std::uint8_t> &paletteBgr, QWidget *parent)
    : QDialog(parent), question_(question), picture_(cardPicture), palette_(paletteBgr)
{
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    if (question_ == Question::Background) {
        setWindowTitle(tr("Background Colour"));
        auto *swatches = new QGridLayout;
        auto *tableText =
            new QLabel(tr("This file's colour table indicates that its background colour is this:"), this);
        auto *likelyText =
            new QLabel(tr("Vexolin has determined that the background colour is most likely this:"), this);
        tableText->setWordWrap(true);
        likelyText->setWordWrap(true);
        TableSwatch = swatch(this, Qt::black);
        LikelySwatch = swatch(this, Qt::black);
        swatches->addWidget(tableText, 0, 0);
        swatches->addWidget(TableSwatch, 1, 0, Qt::AlignHCenter);
        swatches->addWidget(likelyText, 0, 1);
        swatches->addWidget(LikelySwatch, 1, 1, Qt::AlignHCenter);
        layout->addLayout(swatches);
    } else {
        setWindowTitle(tr("Dithered Background?"));
        Message = new QLabel(programText(DitherQuestionText), this);
        Message->setWordWrap(true);
        Message->setFixedWidth(PreviewWidth + 80);
        layout->addWidget(Message);
    }
    Preview = new QLabel(this);
    Preview->setFixedSize(PreviewWidth, PreviewHeight);
    Preview->setFrameShape(QFrame::Box);
    layout->addWidget(Preview, 0, Qt::AlignHCenter);
    if (question_ == Question::Background)
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
    if (question_ == Question::Background) {
        setSwatchColour(TableSwatch, paletteColour(palette_, 0));
        setSwatchColour(LikelySwatch, paletteColour(palette_, BackgroundColour));
        showPreview(Preview, picture_, BackgroundColour);
    } else {
        showPreview(Preview, picture_, DitherColour);
    }
}

void BackgroundColorForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    btnYes->setFocus();
}

void BackgroundColorForm::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Y:
        yes();
        return;
    case Qt::Key_N:
        no();
        return;
    case Qt::Key_A:
        yesToAll();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void BackgroundColorForm::yes()
{
    accept();
}

void BackgroundColorForm::no()
{
    if (question_ == Question::Background)
        BackgroundColour = 0;
    else
        DitherColour = BackgroundColour;
    accept();
}

void BackgroundColorForm::yesToAll()
{
    DisableWarning = true;
    accept();
}

} // namespace vex::ui
