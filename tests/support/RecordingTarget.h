#pragma once
// A report target that draws nothing and remembers what it was asked to
// draw, with text measured as if every character were a tenth of an inch.

#include "report/ReportTarget.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vex::test {

class RecordingTarget : public ReportTarget {
public:
    struct Text {
        double X = 0.0;
        double Y = 0.0;
        std::string Value;
        std::string Face;
        double Points = 0.0;
        int Page = 1;
    };
    struct Line {
        double X1, Y1, X2, Y2;
        double Width;
        bool Dotted;
        int Page;
    };

    struct Box {
        double Left, Bottom, Right, Top;
        int Page;
    };

    std::vector<Text> Texts;
    std::vector<Line> Lines;
    std::vector<Box> Rectangles;
    int Pages = 1;
    int NewPages = 0;
    int Clears = 0;
    int Circles = 0;
    double Ppi = 300.0;
    double Ppt = 72.0;

    void clear() override { ++Clears; }
    void setFont(const std::string &face, double points, bool) override
    {
        face_ = face;
        points_ = points;
    }
    double textWidth(const std::string &text) override { return 0.1 * static_cast<double>(text.size()); }
    double textHeight(const std::string &) override { return points_ / 72.0 * 1.2; }
    void text(double x, double y, const std::string &text) override
    {
        Texts.push_back({x, y, text, face_, points_, Pages});
    }
    void line(double x1, double y1, double x2, double y2) override
    {
        Lines.push_back({x1, y1, x2, y2, width_, dotted_, Pages});
    }
    void rectangle(double x1, double y1, double x2, double y2) override
    {
        Rectangles.push_back({std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), Pages});
    }
    void fillRectangle(double, double, double, double, ReportColour) override {}
    void fillPolygon(const std::vector<ReportPoint> &, ReportColour) override {}
    void circle(double, double, double, ReportColour) override { ++Circles; }
    void setLineWidth(double pixels) override { width_ = pixels; }
    void setDotted(bool dotted) override { dotted_ = dotted; }
    void setColour(ReportColour) override {}
    void newPage() override
    {
        ++NewPages;
        ++Pages;
    }
    double pixelsPerInch() const override { return Ppi; }
    double pointsPerInch() const override { return Ppt; }

    bool has(const std::string &value) const
    {
        for (const Text &t : Texts)
            if (t.Value == value)
                return true;
        return false;
    }
    // Every text drawn, in order, a space after each.
    std::string allText() const
    {
        std::string all;
        for (const Text &t : Texts)
            all += t.Value + " ";
        return all;
    }

    // Texts within `margin` of the page's edge, over a framed graph or
    // over another text, as measured here.
    std::vector<std::string> crowdedTexts(double margin) const
    {
        auto boxOf = [](const Text &t) {
            return Box{t.X, t.Y - t.Points / 72.0 * 1.2, t.X + 0.1 * static_cast<double>(t.Value.size()), t.Y, t.Page};
        };
        auto overlap = [](const Box &a, const Box &b) {
            return a.Page == b.Page && a.Left < b.Right && b.Left < a.Right && a.Bottom < b.Top && b.Bottom < a.Top;
        };
        std::vector<std::string> crowded;
        for (std::size_t a = 0; a < Texts.size(); ++a) {
            const Box box = boxOf(Texts[a]);
            bool clear =
                box.Left >= margin && box.Right <= 8.5 - margin && box.Bottom >= margin && box.Top <= 11.0 - margin;
            for (const Box &frame : Rectangles)
                clear = clear && !overlap(box, frame);
            for (std::size_t b = a + 1; b < Texts.size(); ++b)
                clear = clear && !overlap(box, boxOf(Texts[b]));
            if (!clear)
                crowded.push_back(Texts[a].Value);
        }
        return crowded;
    }

    const Text *find(const std::string &value) const
    {
        for (const Text &t : Texts)
            if (t.Value == value)
                return &t;
        return nullptr;
    }

private:
    std::string face_ = "Arial";
    double points_ = 12.0;
    double width_ = 1.0;
    bool dotted_ = false;
};

} // namespace vex::test
