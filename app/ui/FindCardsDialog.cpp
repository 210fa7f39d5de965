#include "app/ui/FindCardsDialog.h"

#include "app/ui/BackgroundWork.h"
#include "intake/Resolution.h"
#include "intake/qt/PictureLoader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vex::ui {

namespace {

// The picture's colours as the screen shows them.
QImage shownOf(const ColourImage &c)
{
    QImage shown(c.Width, c.Height, QImage::Format_RGB888);
    for (int y = 0; y < c.Height; ++y) {
        const std::uint8_t *in = c.row(c.Height - 1 - y);
        std::uint8_t *out = shown.scanLine(y);
        for (int x = 0; x < c.Width; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    return shown;
}

// How near the mouse must come to a corner, in screen pixels, to take it.
constexpr double GripPixels = 10.0;
// The widget's largest side when first shown.
constexpr int ShownSide = 900;

} // namespace

Result<SearchPicture> readSearchPicture(const std::string &path)
{
    SearchPicture p;
    // An 8-bit file is searched in its own rows, so that a straight card
    // is cut from them untouched.
    DecodeResult decoded = loadIndexedImage(path, IntakeOptions{false});
    if (decoded.ok()) {
        p.RecordedDpi = recordedResolution(decoded->PixelsPerMetreX, decoded->PixelsPerMetreY);
        p.Colour = coloursOf(decoded->Image);
        p.Indexed = std::move(decoded->Image);
        p.Shown = shownOf(p.Colour);
        return p;
    }
    // Any other picture in its colours, turned as its camera says it is seen.
    Result<ColourPicture> read = readColourPicture(path);
    if (!read.ok())
        return Result<SearchPicture>(read.status());
    p.RecordedDpi = read->RecordedDpi;
    p.Colour = std::move(read->Colour);
    p.Shown = std::move(read->Picture);
    return p;
}

bool isColourPicture(const std::string &path)
{
    QImageReader reader(QString::fromStdString(path));
    // By what the file is, not by its name.
    reader.setDecideFormatFromContent(true);
    if (reader.format() == "gif")
        return false;
    switch (reader.imageFormat()) {
    case QImage::Format_Invalid:
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_Alpha8:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return false;
    default:
        return true;
    }
}

FoundCardsView::FoundCardsView(const QImage &picture, QWidget *parent) : QWidget(parent), picture_(picture)
{
    setObjectName(QStringLiteral("FoundCards"));
    setMinimumSize(200, 150);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void FoundCardsView::setCards(std::vector<FoundCard> cards)
{
    cards_ = std::move(cards);
    dragged_.reset();
    update();
}

void FoundCardsView::moveCorner(std::size_t card, std::size_t corner, PicturePoint to)
{
    if (card >= cards_.size() || corner >= 4)
        return;
    std::array<PicturePoint, 4> corners = cards_[card].Corners;
    corners[corner] = {std::clamp(to.X, 0.0, picture_.width() - 1.0), std::clamp(to.Y, 0.0, picture_.height() - 1.0)};
    // Its sides, turn and straightness follow the corners.
    cards_[card] = cardFromCorners(corners);
    update();
}

QSize FoundCardsView::sizeHint() const
{
    if (picture_.isNull())
        return {ShownSide, ShownSide / 2};
    const double s = static_cast<double>(ShownSide) / std::max(picture_.width(), picture_.height());
    return {static_cast<int>(picture_.width() * s), static_cast<int>(picture_.height() * s)};
}

double FoundCardsView::scale() const
{
    if (picture_.isNull())
        return 1.0;
    return std::min(static_cast<double>(width()) / picture_.width(), static_cast<double>(height()) / picture_.height());
}

// The picture is shown centred.
QPointF FoundCardsView::margin() const
{
    const double s = scale();
    return {(width() - picture_.width() * s) / 2.0, (height() - picture_.height() * s) / 2.0};
}

// Pixel centres: the picture's pixel (x, y) covers x - 0.5 .. x + 0.5.
QPointF FoundCardsView::shownAt(PicturePoint p) const
{
    const double s = scale();
    return QPointF((p.X + 0.5) * s, (p.Y + 0.5) * s) + margin();
}

PicturePoint FoundCardsView::pictureAt(QPointF shown) const
{
    const double s = scale();
    const QPointF at = shown - margin();
    return {at.x() / s - 0.5, at.y() / s - 0.5};
}

void FoundCardsView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const double s = scale();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(margin(), QSizeF(picture_.width() * s, picture_.height() * s)), picture_);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont numberFont = font();
    numberFont.setBold(true);
    numberFont.setPointSizeF(numberFont.pointSizeF() * 1.6);
    painter.setFont(numberFont);
    for (std::size_t k = 0; k < cards_.size(); ++k) {
        QPolygonF outline;
        QPointF centre;
        for (const PicturePoint &p : cards_[k].Corners) {
            outline << shownAt(p);
            centre += shownAt(p) / 4.0;
        }
        painter.setPen(QPen(QColor(255, 40, 40), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolygon(outline);
        // The top left corner stands out: the card is read from there.
        for (int c = 0; c < 4; ++c) {
            painter.setBrush(c == 0 ? QColor(255, 40, 40) : QColor(255, 255, 255));
            painter.drawRect(QRectF(outline[c] - QPointF(4, 4), QSizeF(8, 8)));
        }
        const QString number = QString::number(k + 1);
        QPainterPath text;
        const QFontMetricsF metrics(numberFont);
        text.addText(centre - QPointF(metrics.horizontalAdvance(number) / 2, -metrics.ascent() / 2 + 2), numberFont,
                     number);
        painter.setPen(QPen(Qt::white, 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(text);
        painter.fillPath(text, QColor(200, 0, 0));
    }
}

void FoundCardsView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    double nearest = GripPixels;
    dragged_.reset();
    for (std::size_t k = 0; k < cards_.size(); ++k)
        for (std::size_t c = 0; c < 4; ++c) {
            const QPointF d = shownAt(cards_[k].Corners[c]) - event->position();
            const double distance = std::hypot(d.x(), d.y());
            if (distance <= nearest) {
                nearest = distance;
                dragged_ = std::make_pair(k, c);
            }
        }
}

void FoundCardsView::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragged_)
        return;
    // Moved as it is dragged; the card's order of corners is settled on release.
    PicturePoint &p = cards_[dragged_->first].Corners[dragged_->second];
    const PicturePoint to = pictureAt(event->position());
    p = {std::clamp(to.X, 0.0, picture_.width() - 1.0), std::clamp(to.Y, 0.0, picture_.height() - 1.0)};
    update();
}

void FoundCardsView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!dragged_)
        return;
    const auto [card, corner] = *dragged_;
    dragged_.reset();
    moveCorner(card, corner, pictureAt(event->position()));
}

FindCardsDialog::FindCardsDialog(const SearchPicture &picture, std::vector<FoundCard> cards, const CardSize &size,
                                 QWidget *parent)
    : QDialog(parent), picture_(picture), size_(size)
{
    setObjectName(QStringLiteral("frmFindCards"));
    setWindowTitle(tr("Find Cards"));
    view_ = new FoundCardsView(picture.Shown, this);
    view_->setCards(std::move(cards));
    sizes_ = new QComboBox(this);
    sizes_->setObjectName(QStringLiteral("cboCardSize"));
    int chosen = -1;
    const std::vector<CardSizePreset> &presets = cardSizePresets();
    for (std::size_t k = 0; k < presets.size(); ++k) {
        sizes_->addItem(QString::fromStdString(cardSizeText(presets[k].Size)));
        if (presets[k].Size == size)
            chosen = static_cast<int>(k);
    }
    if (chosen < 0) {
        sizes_->addItem(QString::fromStdString(cardSizeText(size)));
        chosen = sizes_->count() - 1;
    }
    sizes_->setCurrentIndex(chosen);
    connect(sizes_, &QComboBox::activated, this, &FindCardsDialog::chooseSize);
    remember_ = new QCheckBox(tr("Remember this size"), this);
    remember_->setObjectName(QStringLiteral("chkRememberSize"));
    remember_->setToolTip(tr("Keeps the card size chosen here as the one Find Cards starts with (a preference)."));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("lblFound"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(tr("Card size:"), this));
    bottom->addWidget(sizes_);
    bottom->addWidget(remember_);
    bottom->addWidget(count_, 1);
    bottom->addWidget(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(bottom);
    showCount();
}

bool FindCardsDialog::rememberSize() const
{
    return remember_->isChecked();
}

void FindCardsDialog::chooseSize(int preset)
{
    const std::vector<CardSizePreset> &presets = cardSizePresets();
    if (preset < 0 || static_cast<std::size_t>(preset) >= presets.size())
        return;
    size_ = presets[static_cast<std::size_t>(preset)].Size;
    setEnabled(false);
    const SearchPicture &picture = picture_;
    const CardSize size = size_;
    Result<std::vector<FoundCard>> found =
        runInBackground([&picture, size] { return findCards(viewOf(picture.Colour), size); });
    setEnabled(true);
    view_->setCards(found.ok() ? std::move(*found) : std::vector<FoundCard>{});
    showCount();
    if (!found.ok())
        showReason(found.reason());
}

void FindCardsDialog::showReason(const std::string &reason)
{
    QString text = QString::fromStdString(reason);
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    count_->setText(text);
}

QString FindCardsDialog::shownText() const
{
    return count_->text();
}

void FindCardsDialog::showCount()
{
    const auto n = view_->cards().size();
    QString text = n == 1 ? tr("1 card found: drag a corner to correct it")
                          : tr("%1 cards found: drag a corner to correct it").arg(n);
    QStringList atEdge;
    for (std::size_t k = 0; k < n; ++k)
        if (view_->cards()[k].AtPictureEdge)
            atEdge << QString::number(k + 1);
    if (!atEdge.isEmpty())
        text += tr("; card %1 reaches the picture's edge: check that none of it is cut off")
                    .arg(atEdge.join(QStringLiteral(", ")));
    count_->setText(text);
}

} // namespace vex::ui
