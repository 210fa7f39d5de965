#pragma once
// The card strip and the picture under it: the tabs (one per card, or the
// line's views), the card picture with its scroll bars, and the pages that
// take the picture's place in the composite view.  It shows what it is
// given; which card or view that is, the window decides.

#include "model/CardRecord.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QRgb>
#include <QStringList>
#include <QVector>

class QLabel;
class QScrollBar;
class QStackedWidget;
class QTabBar;
class QVBoxLayout;
class QWidget;

namespace vex::ui {

class CardPicture;
class InfoForm;

class CardView : public QObject {
    Q_OBJECT
public:
    // The controls are the window's children, so that they are found by name.
    explicit CardView(QWidget *window);

    // Fixes the sizes (a short picture on a small screen) and adds the strip
    // and the picture to the window's left-hand column.
    void layOut(bool tall, QVBoxLayout *column);

    CardPicture *picture() const { return picture_; }
    // A page shown in the picture's place.
    void addPage(QWidget *page);
    void showPage(QWidget *page);
    QWidget *shownPage() const;
    bool pictureShown() const;

    // ---- The strip: changing its tabs never counts as the user's click ----
    void setTabs(const QStringList &names, int current = -1);
    void setTabText(int tab, const QString &name);
    void appendTab(const QString &name);
    void removeLastTab();
    // Marks a card whose file has gone or changed.
    void markTab(int tab, bool warning);
    // Selects a tab as a click would; a click on the selected tab again too.
    void selectTab(int tab);
    int currentTab() const;
    int tabCount() const;
    // One hidden label per card, at least one.
    void fitCardLabels(int cards);

    // ---- The picture --------------------------------------------------------
    void showImage(const QImage &image);
    const QImage &image() const { return image_; }
    void clearImage();
    void setColourTable(const QList<QRgb> &table);
    // Back to the top-left corner, with bars for an image larger than the picture.
    void resetScrollBars();
    void setScrollEnabled(bool enabled, bool toStart = false);
    // The card's facts over the middle of the picture, while the right button is down.
    void showInfo(const CardRecord &card, bool metric);
    void hideInfo();

signals:
    void tabClicked(int tab);
    void rightButton(bool down);

private:
    QTabBar *strip_ = nullptr;
    QStackedWidget *stack_ = nullptr;
    CardPicture *picture_ = nullptr;
    QScrollBar *horizontal_ = nullptr;
    QScrollBar *vertical_ = nullptr;
    QVector<QLabel *> cardLabels_;
    QWidget *window_ = nullptr;
    QImage image_;
    InfoForm *infoForm_ = nullptr;
    bool updating_ = false;
};

} // namespace vex::ui
