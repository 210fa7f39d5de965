#pragma once
// Cards found in a photo or a sheet, shown for the user to check before they
// become cards: the picture with each card outlined and numbered in reading
// order, its corners to drag where the finder missed them, and the card
// size the finder looked for, which searches the picture again when
// changed.

#include "intake/CardFinder.h"
#include "intake/ColourImage.h"
#include "intake/IndexedImage.h"
#include "text/Result.h"

#include <QDialog>
#include <QImage>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;

namespace vex::ui {

// A picture read for the search: its rows when it is an 8-bit file (a
// straight card is then cut from them untouched), its colours always, and
// the resolution the file records (0 for none).
struct SearchPicture {
    QImage Shown;
    std::optional<IndexedImage> Indexed;
    ColourImage Colour;
    std::int32_t RecordedDpi = 0;
};
Result<SearchPicture> readSearchPicture(const std::string &path);

// Whether a file is a picture in colour (a photo, a colour scan of a
// sheet), as its header tells without decoding it: such a file is what
// Find Cards takes.  An 8-bit, grey or unreadable file is none.
bool isColourPicture(const std::string &path);

// The picture with the cards on it; corners follow the mouse.
class FoundCardsView : public QWidget {
    Q_OBJECT
public:
    explicit FoundCardsView(const QImage &picture, QWidget *parent = nullptr);
    void setCards(std::vector<FoundCard> cards);
    const std::vector<FoundCard> &cards() const { return cards_; }
    // Puts a corner of a card elsewhere, as a drag does.
    void moveCorner(std::size_t card, std::size_t corner, PicturePoint to);
    // Where a point of the picture is shown in the widget.
    QPointF shownAt(PicturePoint p) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    double scale() const;
    QPointF margin() const;
    PicturePoint pictureAt(QPointF shown) const;

    QImage picture_;
    std::vector<FoundCard> cards_;
    // The corner being dragged: card and corner.
    std::optional<std::pair<std::size_t, std::size_t>> dragged_;
};

class FindCardsDialog : public QDialog {
    Q_OBJECT
public:
    FindCardsDialog(const SearchPicture &picture, std::vector<FoundCard> cards, const CardSize &size,
                    QWidget *parent = nullptr);
    const std::vector<FoundCard> &cards() const { return view_->cards(); }
    CardSize cardSize() const { return size_; }
    // Whether the user asked for the card size to be kept for next time.
    bool rememberSize() const;
    FoundCardsView *view() const { return view_; }
    // Chooses the card size by its place in cardSizePresets(), searching again.
    void chooseSize(int preset);
    // Says why no card was found.
    void showReason(const std::string &reason);
    QString shownText() const;

private:
    void showCount();

    const SearchPicture &picture_;
    CardSize size_;
    FoundCardsView *view_;
    QComboBox *sizes_;
    QCheckBox *remember_;
    QLabel *count_;
};

} // namespace vex::ui
