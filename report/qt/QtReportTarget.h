#pragma once
// The report's drawing surface over a QPainter: a printer, a PDF writer or
// a preview picture.  "Arial" is drawn in Liberation Sans (the same
// metrics) and "Small Fonts" in Liberation Sans Narrow.

#include "report/ReportTarget.h"

#include <QColor>
#include <QFont>
#include <QPainter>

class QPagedPaintDevice;

namespace vex {

class QtReportTarget : public ReportTarget {
public:
    // `pages` is given for printers and PDF files, which take new pages.
    QtReportTarget(QPainter &painter, QSizeF pagePixels, QPagedPaintDevice *pages = nullptr);

    void clear() override;
    void setFont(const std::string &face, double points, bool bold) override;
    double textWidth(const std::string &text) override;
    double textHeight(const std::string &text) override;
    void text(double x, double y, const std::string &text) override;
    void line(double x1, double y1, double x2, double y2) override;
    void rectangle(double x1, double y1, double x2, double y2) override;
    void fillRectangle(double x1, double y1, double x2, double y2, ReportColour fill) override;
    void fillPolygon(const std::vector<ReportPoint> &points, ReportColour fill) override;
    void circle(double x, double y, double radius, ReportColour fill) override;
    void setLineWidth(double pixels) override;
    void setDotted(bool dotted) override;
    void setColour(ReportColour colour) override;
    void newPage() override;
    double pixelsPerInch() const override;
    double pointsPerInch() const override;

    // The family a report face is drawn in.
    static QString familyFor(const std::string &face);

private:
    QPointF at(double x, double y) const;
    void applyPen();

    QPainter &painter_;
    QSizeF page_;
    QPagedPaintDevice *pages_;
    QFont font_;
    QColor colour_ = Qt::black;
    double width_ = 1.0;
    bool dotted_ = false;
};

} // namespace vex
