#pragma once
// The surface a report page is drawn on: the printer, a PDF, the preview
// picture or, in the tests, a recording.  Coordinates are logical inches of
// a US Letter page, x 0..8.5 from the left, y 0..11 from the bottom up.

#include <string>
#include <vector>

namespace vex {

struct ReportPoint {
    double X = 0.0;
    double Y = 0.0;
};

struct ReportColour {
    int Red = 0;
    int Green = 0;
    int Blue = 0;
};

class ReportTarget {
public:
    virtual ~ReportTarget() = default;

    // Preview only: wipes the picture before a page is drawn.
    virtual void clear() = 0;
    // Face names are the report's own ("Arial", "Small Fonts"); the target
    // maps them to what the machine has.
    virtual void setFont(const std::string &face, double points, bool bold) = 0;
    // In logical inches, for UTF-8 text in the current font.
    virtual double textWidth(const std::string &text) = 0;
    virtual double textHeight(const std::string &text) = 0;
    // Text whose top-left corner is at (x, y).
    virtual void text(double x, double y, const std::string &text) = 0;
    virtual void line(double x1, double y1, double x2, double y2) = 0;
    virtual void rectangle(double x1, double y1, double x2, double y2) = 0;
    virtual void fillRectangle(double x1, double y1, double x2, double y2, ReportColour fill) = 0;
    virtual void fillPolygon(const std::vector<ReportPoint> &points, ReportColour fill) = 0;
    virtual void circle(double x, double y, double radius, ReportColour fill) = 0;
    // In device pixels; dotted or solid; the colour of lines and text.
    virtual void setLineWidth(double pixels) = 0;
    virtual void setDotted(bool dotted) = 0;
    virtual void setColour(ReportColour colour) = 0;
    virtual void newPage() = 0;

    // Device pixels in one logical inch, and the device's points in one
    // logical inch (72 on paper; fewer on a small preview).
    virtual double pixelsPerInch() const = 0;
    virtual double pointsPerInch() const = 0;
};

} // namespace vex
