#pragma once
// The card strip and the picture under it: the tabs (one per card, or the
// line's views), the card picture with its scroll bars and zoom buttons, and
// the pages that take the picture's place in the composite view.  It shows
// what it is given; which card or view that is, the window decides.  Each
// card is looked at as the user last left it (scale and position).

#include "app/ui/CardPicture.h"
#include "model/CardRecord.h"

#include <QHash>
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
class QToolButton;
class QVBoxLayout;
class QWidget;

namespace vex::ui {

class InfoForm;

class CardView : public QObject {
    Q_OBJECT
public:
    // The controls are the window's children, so that they are found by name.
    explicit CardView(QWidget *window);

    // Sets the picture's default size (a short picture on a small screen)
    // and adds the strip and the picture to the window's left-hand column,
    // where the picture takes whatever room the window has beyond it.
    void layOut(bool tall, QVBoxLayout *column);
    // The picture's size in the window at its default size.
    static QSize defaultPictureSize(bool tall);

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
    // Marks a card whose figures need a second look (the resolution its
    // file records, settings changed since), the reasons as its tooltip.
    void noteTab(int tab, const QString &note);
    // Selects a tab as a click would; a click on the selected tab again too.
    void selectTab(int tab);
    int currentTab() const;
    int tabCount() const;
    // One hidden label per card, at least one.
    void fitCardLabels(int cards);

    // ---- The picture --------------------------------------------------------
    // `card` names the card the image is of: a card shown before comes back
    // at the scale and position it was left at, a new one at 100 %.
    void showImage(const QImage &image, const QString &card = {});
    const QImage &image() const { return image_; }
    void clearImage();
    void setColourTable(const QList<QRgb> &table);
    // Bars for an image larger than the picture at the present scale.
    void resetScrollBars();
    // ---- Zoom (only while a card's picture is shown) -----------------------
    void fit();
    void actualSize();
    void zoomIn();
    void zoomOut();
    // The zoom keys: Ctrl+= (or +), Ctrl+-, Ctrl+0 to fit, Ctrl+Shift+0 for
    // 100 %.  True when the key was one of them.
    bool handleZoomKey(int key, Qt::KeyboardModifiers modifiers);
    void setScrollEnabled(bool enabled, bool toStart = false);
    // The card's facts over the middle of the picture, while the right button is down.
    void showInfo(const CardRecord &card, bool metric);
    void hideInfo();

signals:
    void tabClicked(int tab);
    void rightButton(bool down);

private:
    void followView();
    bool zoomable() const;

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
    bool following_ = false;
    QToolButton *zoomButtons_[4] = {};
    QLabel *zoomLabel_ = nullptr;
    QString shownCard_;
    QHash<QString, CardPicture::View> views_;
};

} // namespace vex::ui
