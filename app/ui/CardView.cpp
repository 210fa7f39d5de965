#include "app/ui/CardView.h"

#include "app/ui/CardPicture.h"
#include "intake/ui/InfoForm.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vex::ui {

namespace {
constexpr int PictureWidth = 700;
constexpr int TallPictureHeight = 450;
constexpr int ShortPictureHeight = 319;
constexpr int ScrollThickness = 17;

QLabel *newCardLabel(QWidget *window)
{
    auto *label = new QLabel(window);
    label->setObjectName(QStringLiteral("CardLabel"));
    label->hide();
    return label;
}
} // namespace

CardView::CardView(QWidget *window) : QObject(window), window_(window)
{
    strip_ = new QTabBar(window);
    strip_->setObjectName(QStringLiteral("ImageStrip"));
    strip_->setExpanding(false);
    strip_->setUsesScrollButtons(true);
    strip_->setFocusPolicy(Qt::NoFocus);

    stack_ = new QStackedWidget(window);
    picture_ = new CardPicture(stack_);
    picture_->setObjectName(QStringLiteral("Picture1"));
    stack_->addWidget(picture_);
    horizontal_ = new QScrollBar(Qt::Horizontal, window);
    horizontal_->setObjectName(QStringLiteral("HScroll1"));
    vertical_ = new QScrollBar(Qt::Vertical, window);
    vertical_->setObjectName(QStringLiteral("VScroll1"));
    cardLabels_.push_back(newCardLabel(window));

    connect(strip_, &QTabBar::currentChanged, this, [this](int tab) {
        if (!updating_)
            emit tabClicked(tab);
    });
    connect(picture_, &CardPicture::rightButton, this, &CardView::rightButton);
    // The bars count screen pixels of the card as drawn, so that they move
    // the card as far as the user drags them at any scale.
    auto scrolled = [this] {
        if (following_)
            return;
        CardPicture::View v = picture_->view();
        v.Origin = QPointF(horizontal_->value(), vertical_->value()) / v.Scale;
        picture_->setView(v);
    };
    connect(horizontal_, &QScrollBar::valueChanged, this, scrolled);
    connect(vertical_, &QScrollBar::valueChanged, this, scrolled);
    connect(picture_, &CardPicture::viewChanged, this, &CardView::followView);

    const struct {
        const char *Name;
        const char *Text;
        const char *Tip;
        void (CardView::*Slot)();
    } zooms[] = {
        {"btnZoomFit", QT_TR_NOOP("Fit"), QT_TR_NOOP("The whole card in the window (Ctrl+0)"), &CardView::fit},
        {"btnZoom100", QT_TR_NOOP("100%"),
         QT_TR_NOOP("Each pixel of the card on one pixel of the screen (Ctrl+Shift+0)"), &CardView::actualSize},
        {"btnZoomOut", "\u2212", QT_TR_NOOP("Smaller (Ctrl+- or Ctrl+wheel)"), &CardView::zoomOut},
        {"btnZoomIn", "+", QT_TR_NOOP("Larger (Ctrl+= or Ctrl+wheel)"), &CardView::zoomIn},
    };
    for (int i = 0; i < 4; ++i) {
        auto *b = new QToolButton(window);
        b->setObjectName(QString::fromLatin1(zooms[i].Name));
        b->setText(tr(zooms[i].Text));
        b->setToolTip(tr(zooms[i].Tip));
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, zooms[i].Slot);
        zoomButtons_[i] = b;
    }
    zoomLabel_ = new QLabel(window);
    zoomLabel_->setObjectName(QStringLiteral("ZoomLabel"));
    zoomLabel_->setToolTip(tr("Scale of the card on the screen; drag the card to move it"));
    followView();
}

QSize CardView::defaultPictureSize(bool tall)
{
    return QSize(PictureWidth, tall ? TallPictureHeight : ShortPictureHeight);
}

void CardView::layOut(bool tall, QVBoxLayout *column)
{
    // Never smaller than the picture the window had when it could not be
    // resized, so that every panel keeps its place; larger with the window.
    picture_->setDefaultSize(defaultPictureSize(tall));
    picture_->setMinimumSize(defaultPictureSize(tall));
    // The line's pages follow the picture's size but never ask for room.
    for (int i = 0; i < stack_->count(); ++i)
        if (stack_->widget(i) != picture_)
            stack_->widget(i)->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    stack_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    horizontal_->setFixedHeight(ScrollThickness);
    vertical_->setFixedWidth(ScrollThickness);

    auto *zoom = new QHBoxLayout;
    zoom->setSpacing(0);
    zoomLabel_->setMinimumWidth(zoomLabel_->fontMetrics().horizontalAdvance(QStringLiteral(" 1600 % ")));
    zoomLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    zoomLabel_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    zoom->addWidget(zoomLabel_);
    for (QToolButton *b : zoomButtons_)
        zoom->addWidget(b);
    // The strip takes the room the zoom buttons leave whatever the number of
    // cards: more tabs scroll (and Ctrl+Tab walks them) instead of widening
    // the window until the right-hand panel leaves the screen.
    strip_->setSizePolicy(QSizePolicy::Ignored, strip_->sizePolicy().verticalPolicy());
    auto *top = new QHBoxLayout;
    top->addWidget(strip_, 1, Qt::AlignBottom);
    top->addLayout(zoom);

    auto *picture = new QGridLayout;
    picture->setSpacing(0);
    picture->addWidget(stack_, 0, 0);
    picture->addWidget(vertical_, 0, 1);
    picture->addWidget(horizontal_, 1, 0);
    column->addLayout(top);
    column->addLayout(picture, 1);
}

void CardView::addPage(QWidget *page)
{
    stack_->addWidget(page);
}

void CardView::showPage(QWidget *page)
{
    stack_->setCurrentWidget(page != nullptr ? page : picture_);
    followView();
}

QWidget *CardView::shownPage() const
{
    return stack_->currentWidget();
}

bool CardView::pictureShown() const
{
    return stack_->currentWidget() == picture_;
}

void CardView::setTabs(const QStringList &names, int current)
{
    updating_ = true;
    while (strip_->count() > 0)
        strip_->removeTab(strip_->count() - 1);
    for (const QString &name : names)
        strip_->addTab(name);
    if (current >= 0)
        strip_->setCurrentIndex(current);
    updating_ = false;
}

void CardView::setTabText(int tab, const QString &name)
{
    updating_ = true;
    strip_->setTabText(tab, name);
    updating_ = false;
}

void CardView::appendTab(const QString &name)
{
    updating_ = true;
    strip_->addTab(name);
    updating_ = false;
}

void CardView::removeLastTab()
{
    updating_ = true;
    strip_->removeTab(strip_->count() - 1);
    updating_ = false;
}

void CardView::markTab(int tab, bool warning)
{
    strip_->setTabIcon(tab, warning ? window_->style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
}

void CardView::noteTab(int tab, const QString &note)
{
    if (tab < 0 || tab >= strip_->count())
        return;
    auto *mark = qobject_cast<QLabel *>(strip_->tabButton(tab, QTabBar::RightSide));
    if (note.isEmpty()) {
        if (mark)
            strip_->setTabButton(tab, QTabBar::RightSide, nullptr);
        delete mark;
    } else {
        if (!mark) {
            mark = new QLabel(QStringLiteral("\u26A0"), strip_);
            mark->setObjectName(QStringLiteral("CardTabMark"));
            mark->setStyleSheet(QStringLiteral("color: rgb(192, 96, 0)"));
            strip_->setTabButton(tab, QTabBar::RightSide, mark);
        }
        mark->setToolTip(note);
    }
    strip_->setTabToolTip(tab, note);
}

void CardView::selectTab(int tab)
{
    if (strip_->currentIndex() == tab)
        emit tabClicked(tab);
    else
        strip_->setCurrentIndex(tab); // emits currentChanged, which is the click
}

int CardView::currentTab() const
{
    return strip_->currentIndex();
}

int CardView::tabCount() const
{
    return strip_->count();
}

void CardView::fitCardLabels(int cards)
{
    const int wanted = std::max(cards, 1);
    while (cardLabels_.size() < wanted)
        cardLabels_.push_back(newCardLabel(window_));
    while (cardLabels_.size() > wanted)
        delete cardLabels_.takeLast();
}

void CardView::showImage(const QImage &image, const QString &card)
{
    image_ = image;
    if (card != shownCard_) {
        if (!shownCard_.isEmpty() && !picture_->image().isNull())
            views_.insert(shownCard_, picture_->view());
        shownCard_ = card;
        picture_->setImage(image_);
        picture_->setView(views_.value(card, CardPicture::View{}));
    } else {
        picture_->setImage(image_);
    }
}

void CardView::clearImage()
{
    image_ = QImage();
    picture_->clear();
    shownCard_.clear();
    views_.clear();
    stack_->setCurrentWidget(picture_);
}

void CardView::setColourTable(const QList<QRgb> &table)
{
    picture_->setColourTable(table);
}

void CardView::resetScrollBars()
{
    followView();
}

void CardView::followView()
{
    following_ = true;
    const QSize drawn = picture_->image().isNull() ? QSize() : picture_->scaledSize();
    const QSize visible = picture_->size();
    const QPointF at = picture_->view().Origin * picture_->scale();
    auto offer = [](QScrollBar *bar, int drawnLength, int visibleLength, double value) {
        const int maximum = std::max(0, drawnLength - visibleLength);
        bar->setMaximum(maximum);
        bar->setPageStep(std::max(1, static_cast<int>(std::nearbyint(maximum / 4.0))));
        bar->setValue(static_cast<int>(std::lround(value)));
        return maximum > 0;
    };
    const bool shown = stack_->currentWidget() == picture_;
    horizontal_->setEnabled(offer(horizontal_, drawn.width(), visible.width(), at.x()) && shown);
    vertical_->setEnabled(offer(vertical_, drawn.height(), visible.height(), at.y()) && shown);
    following_ = false;
    const bool on = zoomable();
    for (QToolButton *b : zoomButtons_)
        b->setEnabled(on);
    zoomLabel_->setText(on ? QStringLiteral("%1 %").arg(std::lround(picture_->scale() * 100.0)) : QString());
}

bool CardView::zoomable() const
{
    return !picture_->image().isNull() && stack_->currentWidget() == picture_;
}

void CardView::fit()
{
    if (zoomable())
        picture_->fit();
}

void CardView::actualSize()
{
    if (zoomable())
        picture_->actualSize();
}

void CardView::zoomIn()
{
    if (zoomable())
        picture_->zoomBy(CardPicture::ZoomStep);
}

void CardView::zoomOut()
{
    if (zoomable())
        picture_->zoomBy(1.0 / CardPicture::ZoomStep);
}

bool CardView::handleZoomKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool ctrl = modifiers == Qt::ControlModifier;
    const bool ctrlShift = modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
    if ((ctrl || ctrlShift) && (key == Qt::Key_Equal || key == Qt::Key_Plus))
        zoomIn();
    else if (ctrl && (key == Qt::Key_Minus || key == Qt::Key_Underscore))
        zoomOut();
    else if (ctrl && key == Qt::Key_0)
        fit();
    else if (ctrlShift && (key == Qt::Key_0 || key == Qt::Key_ParenRight))
        actualSize();
    else
        return false;
    return true;
}

void CardView::setScrollEnabled(bool enabled, bool toStart)
{
    for (QScrollBar *bar : {horizontal_, vertical_}) {
        bar->setEnabled(enabled);
        if (toStart)
            bar->setValue(0);
    }
}

void CardView::showInfo(const CardRecord &card, bool metric)
{
    if (!infoForm_)
        infoForm_ = new InfoForm(window_);
    infoForm_->showCard(card, metric);
    infoForm_->adjustSize();
    infoForm_->move(window_->mapToGlobal(picture_->geometry().center()) -
                    QPoint(infoForm_->width() / 2, infoForm_->height() / 2));
    infoForm_->show();
}

void CardView::hideInfo()
{
    if (infoForm_)
        infoForm_->hide();
}

} // namespace vex::ui
