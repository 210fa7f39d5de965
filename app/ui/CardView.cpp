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
    connect(horizontal_, &QScrollBar::valueChanged, this,
            [this](int v) { picture_->setOrigin(QPoint(v, picture_->origin().y())); });
    connect(vertical_, &QScrollBar::valueChanged, this,
            [this](int v) { picture_->setOrigin(QPoint(picture_->origin().x(), v)); });
}

void CardView::layOut(bool tall, QVBoxLayout *column)
{
    picture_->setFixedSize(PictureWidth, tall ? TallPictureHeight : ShortPictureHeight);
    for (int i = 0; i < stack_->count(); ++i)
        stack_->widget(i)->setFixedSize(picture_->size());
    stack_->setFixedSize(picture_->size());
    horizontal_->setFixedHeight(ScrollThickness);
    vertical_->setFixedWidth(ScrollThickness);
    // The strip is as wide as the picture whatever the number of cards: more
    // tabs scroll (and Ctrl+Tab walks them) instead of widening the window
    // until the right-hand panel leaves the screen.
    strip_->setMaximumWidth(PictureWidth + ScrollThickness);

    auto *picture = new QGridLayout;
    picture->setSpacing(0);
    picture->addWidget(stack_, 0, 0);
    picture->addWidget(vertical_, 0, 1);
    picture->addWidget(horizontal_, 1, 0);
    column->addWidget(strip_);
    column->addLayout(picture);
}

void CardView::addPage(QWidget *page)
{
    stack_->addWidget(page);
}

void CardView::showPage(QWidget *page)
{
    stack_->setCurrentWidget(page != nullptr ? page : picture_);
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

void CardView::showImage(const QImage &image)
{
    image_ = image;
    picture_->setImage(image_);
}

void CardView::clearImage()
{
    image_ = QImage();
    picture_->clear();
    stack_->setCurrentWidget(picture_);
}

void CardView::setColourTable(const QList<QRgb> &table)
{
    picture_->setColourTable(table);
}

void CardView::resetScrollBars()
{
    for (QScrollBar *bar : {horizontal_, vertical_}) {
        bar->setEnabled(false);
        bar->setValue(0);
        bar->setMaximum(0);
    }
    picture_->setOrigin({});
    const QSize image = image_.size();
    const QSize visible = picture_->size();
    auto offer = [](QScrollBar *bar, int maximum) {
        bar->setMaximum(maximum);
        bar->setPageStep(std::max(1, static_cast<int>(std::nearbyint(maximum / 4.0))));
        bar->setEnabled(true);
    };
    if (!image_.isNull() && image.width() > visible.width())
        offer(horizontal_, image.width() - visible.width());
    if (!image_.isNull() && image.height() > visible.height())
        offer(vertical_, image.height() - visible.height());
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
