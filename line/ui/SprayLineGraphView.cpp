#include "line/ui/SprayLineGraphView.h"

#include "text/NumberText.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace vex::ui {

namespace {

const QColor LightRed(255, 200, 200);
const QColor Series(128, 128, 128);
const QColor Reference(255, 0, 0);
const char *const RowTitles[3] = {"VMD", "Drop Density", "Vol. Density"};

} // namespace

SprayLineGraphView::SprayLineGraphView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void SprayLineGraphView::setPicture(const SprayLinePicture &picture)
{
    picture_ = picture;
    readOutCard_ = 0;
    update();
}

void SprayLineGraphView::showReadOut(int card, const CardReadOut &readOut)
{
    readOutCard_ = card;
    readOut_ = readOut;
    update();
}

void SprayLineGraphView::hideReadOut()
{
    readOutCard_ = 0;
    update();
}

QPointF SprayLineGraphView::toPixels(double x, double y) const
{
    const SprayLineScale &s = picture_.Scale;
    const double px = (x - s.Left) / (s.Width > 0.0 ? s.Width : 1.0) * width();
    const double py = (y - ScaleTop) / ScaleHeight * height();
    return {px, py};
}

QRectF SprayLineGraphView::cardLabelRect(int card) const
{
    if (card < 1 || card > static_cast<int>(picture_.Cards.size()))
        return {};
    const double pixelsPerUnit = width() / (picture_.Scale.Width > 0.0 ? picture_.Scale.Width : 1.0);
    const LabelSize size = cardLabelSize(picture_.Scale.Range > 0.0 ? picture_.Scale.Range : 1.0,
                                         static_cast<int>(picture_.Cards.size()), pixelsPerUnit);
    const QPointF at = toPixels(picture_.Cards[static_cast<std::size_t>(card - 1)].Position, ScaleTop);
    // Kept in the margin above the frame, so that no label hides a tick.
    const double margin = toPixels(0.0, 3.0).y() - 2.0;
    const double height = std::max(6.0, std::min(static_cast<double>(size.Height), margin));
    return {at.x() - size.Width / 2.0, 1.0, static_cast<double>(size.Width), height};
}

void SprayLineGraphView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const SprayLinePicture &pic = picture_;
    // One card gives a point per row and no line between cards: words instead.
    if (!pic.Note.empty()) {
        p.setPen(Qt::black);
        p.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, QString::fromStdString(pic.Note));
        return;
    }
    const SprayLineScale &s = pic.Scale;
    p.setPen(QPen(Qt::black, 1));
    const QPointF topLeft = toPixels(s.PMin, 3.0);
    const QPointF bottomRight = toPixels(s.PMax, 0.0);
    p.drawRect(QRectF(topLeft, bottomRight));
    for (const double y : {1.0, 2.0})
        p.drawLine(toPixels(s.PMin, y), toPixels(s.PMax, y));

    // Ticks and their values on each row.
    const float maxima[3] = {s.M1, s.M2, s.M3};
    const double bases[3] = {2.0, 1.0, 0.0};
    QFont small = font();
    small.setPointSizeF(7.5);
    p.setFont(small);
    const QFontMetrics fm(small);
    for (int row = 0; row < 3; ++row) {
        const float m = maxima[row];
        if (!(m > 0.0f))
            continue;
        const double step = niceTickStep(m);
        for (int k = 1; k * step <= m * (1.0 + 1e-9); ++k) {
            const double value = k * step;
            const QPointF at = toPixels(s.PMin, bases[row] + value / m);
            p.drawLine(at, at + QPointF(5, 0));
            const QString label = QString::fromStdString(tickLabel(value, step, row == 2));
            const QRectF box(at.x() - 7 - fm.horizontalAdvance(label), at.y() - fm.height() / 2.0,
                             fm.horizontalAdvance(label), fm.height());
            if (box.top() >= toPixels(0, bases[row] + 1.0).y() - fm.height() / 2.0)
                p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, label);
        }
    }
    // Card positions under the bottom row.
    for (std::size_t i = 0; i < pic.Cards.size(); ++i) {
        if (static_cast<int>(i) % std::max(1, pic.LabelEvery) != 0)
            continue;
        const QPointF at = toPixels(pic.Cards[i].Position, 0.0);
        const QString label = QString::fromStdString(formatFixed(pic.Cards[i].Position, pic.PositionDecimals));
        p.drawText(QRectF(at.x() - 30, at.y() + 3, 60, fm.height()), Qt::AlignHCenter | Qt::AlignTop, label);
    }
    // Row titles, reading upwards.
    QFont title(QStringLiteral("Liberation Sans"));
    title.setPointSize(12);
    title.setBold(true);
    p.setFont(title);
    for (int row = 0; row < 3; ++row) {
        const QPointF centre = toPixels(0, bases[row] + 0.5);
        p.save();
        p.translate(15 + QFontMetrics(title).ascent(), centre.y());
        p.rotate(-90);
        const QString text = QString::fromLatin1(RowTitles[row]);
        p.drawText(QPointF(-QFontMetrics(title).horizontalAdvance(text) / 2.0, 0), text);
        p.restore();
    }
    p.setFont(small);
    // Reference lines: the line's own figures, and those of the range.
    p.setPen(QPen(Reference, 1, Qt::DotLine));
    for (int row = 0; row < 3; ++row) {
        p.drawLine(toPixels(s.PMin, pic.Reference[row]), toPixels(s.PMax, pic.Reference[row]));
        if (pic.HasRange)
            p.drawLine(toPixels(s.PMin, pic.RangeReference[row]), toPixels(s.PMax, pic.RangeReference[row]));
    }
    // The series of scanned cards.
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Series, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int row = 0; row < 3; ++row) {
        QPainterPath path;
        bool first = true;
        for (const SprayLinePicture::Card &c : pic.Cards) {
            if (!c.Scanned)
                continue;
            const QPointF at = toPixels(c.Position, c.Y[row]);
            if (first)
                path.moveTo(at);
            else
                path.lineTo(at);
            first = false;
        }
        if (path.elementCount() == 1)
            p.drawPoint(path.elementAt(0));
        else
            p.drawPath(path);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    // Card labels along the top.
    for (int i = 1; i <= static_cast<int>(pic.Cards.size()); ++i) {
        const QRectF box = cardLabelRect(i);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(pic.Cards[static_cast<std::size_t>(i - 1)].Scanned ? QColor(Qt::white) : LightRed);
        p.drawRect(box);
        p.drawText(box, Qt::AlignCenter, QString::number(i));
    }
    p.setBrush(Qt::NoBrush);
    // The read-out of the card under the mouse.
    if (readOutCard_ > 0) {
        for (int row = 0; row < 3; ++row) {
            const QPointF point = toPixels(readOut_.X, readOut_.Y[row]);
            const QString text = QString::fromStdString(readOut_.Texts[row]);
            const double w = fm.horizontalAdvance(text) + 4;
            const double h = fm.height() + 2;
            double top = point.y() - h / 2.0;
            const double rowTop = toPixels(0, bases[row] + 1.0).y();
            const double rowBottom = toPixels(0, bases[row]).y();
            top = std::clamp(top, rowTop + 1.0, std::max(rowTop + 1.0, rowBottom - h - 1.0));
            const double left = readOut_.RightSide ? point.x() + 20 : point.x() - 20 - w;
            const QRectF box(left, top, w, h);
            p.setPen(QPen(Qt::black, 1));
            p.drawLine(point, QPointF(readOut_.RightSide ? box.left() : box.right(), box.center().y()));
            p.fillRect(box, QColor(255, 255, 225));
            p.drawRect(box);
            p.drawText(box, Qt::AlignCenter, text);
            p.drawEllipse(point, 3.0, 3.0);
        }
    }
}

void SprayLineGraphView::mouseMoveEvent(QMouseEvent *event)
{
    // Without graphs there are no card labels to hover over.
    for (int i = 1; picture_.Note.empty() && i <= static_cast<int>(picture_.Cards.size()); ++i)
        if (cardLabelRect(i).contains(event->position())) {
            emit cardLabelHovered(i);
            return;
        }
    emit graphHovered();
}

} // namespace vex::ui
