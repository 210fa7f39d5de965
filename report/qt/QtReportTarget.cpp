#include "report/qt/QtReportTarget.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPaintDevice>
#include <QPolygonF>

namespace vex {

QtReportTarget::QtReportTarget(QPainter &painter, QSizeF pagePixels, QPagedPaintDevice *pages)
    : painter_(painter), page_(pagePixels), pages_(pages)
{
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    font_ = QFont(familyFor("Arial"));
    applyPen();
}

QString QtReportTarget::familyFor(const std::string &face)
{
    return face == "Small Fonts" ? QStringLiteral("Liberation Sans Narrow") : QStringLiteral("Liberation Sans");
}

QPointF QtReportTarget::at(double x, double y) const
{
    return {x / 8.5 * page_.width(), (11.0 - y) / 11.0 * page_.height()};
}

void QtReportTarget::applyPen()
{
    QPen pen(colour_, width_, dotted_ ? Qt::DotLine : Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
}

void QtReportTarget::clear()
{
    painter_.fillRect(QRectF(QPointF(0, 0), page_), Qt::white);
}

void QtReportTarget::setFont(const std::string &face, double points, bool bold)
{
    font_ = QFont(familyFor(face));
    font_.setPointSizeF(std::max(1.0, points));
    font_.setBold(bold);
    painter_.setFont(font_);
}

double QtReportTarget::textWidth(const std::string &text)
{
    const QFontMetricsF fm(font_, painter_.device());
    return fm.horizontalAdvance(QString::fromStdString(text)) / pixelsPerInch();
}

double QtReportTarget::textHeight(const std::string &)
{
    const QFontMetricsF fm(font_, painter_.device());
    return fm.height() / pixelsPerInch();
}

void QtReportTarget::text(double x, double y, const std::string &text)
{
    const QFontMetricsF fm(font_, painter_.device());
    painter_.setFont(font_);
    painter_.drawText(at(x, y) + QPointF(0, fm.ascent()), QString::fromStdString(text));
}

void QtReportTarget::line(double x1, double y1, double x2, double y2)
{
    painter_.drawLine(at(x1, y1), at(x2, y2));
}

void QtReportTarget::rectangle(double x1, double y1, double x2, double y2)
{
    painter_.drawRect(QRectF(at(x1, y1), at(x2, y2)).normalized());
}

void QtReportTarget::fillRectangle(double x1, double y1, double x2, double y2, ReportColour fill)
{
    painter_.fillRect(QRectF(at(x1, y1), at(x2, y2)).normalized(), QColor(fill.Red, fill.Green, fill.Blue));
}

void QtReportTarget::fillPolygon(const std::vector<ReportPoint> &points, ReportColour fill)
{
    QPolygonF polygon;
    for (const ReportPoint &p : points)
        polygon << at(p.X, p.Y);
    painter_.save();
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(QColor(fill.Red, fill.Green, fill.Blue));
    painter_.drawPolygon(polygon);
    painter_.restore();
}

void QtReportTarget::circle(double x, double y, double radius, ReportColour fill)
{
    painter_.save();
    painter_.setBrush(QColor(fill.Red, fill.Green, fill.Blue));
    const double r = radius * pixelsPerInch();
    painter_.drawEllipse(at(x, y), r, r);
    painter_.restore();
}

void QtReportTarget::setLineWidth(double pixels)
{
    width_ = pixels;
    applyPen();
}

void QtReportTarget::setDotted(bool dotted)
{
    dotted_ = dotted;
    applyPen();
}

void QtReportTarget::setColour(ReportColour colour)
{
    colour_ = QColor(colour.Red, colour.Green, colour.Blue);
    applyPen();
}

void QtReportTarget::newPage()
{
    if (pages_)
        pages_->newPage();
}

double QtReportTarget::pixelsPerInch() const
{
    return page_.width() / 8.5;
}

double QtReportTarget::pointsPerInch() const
{
    const QPaintDevice *device = painter_.device();
    const double dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 72.0;
    return pixelsPerInch() * 72.0 / dpi;
}

} // namespace vex
