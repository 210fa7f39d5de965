#include "report/Report.h"

#include "line/ApplicatorFigures.h"
#include "line/CardLimits.h"
#include "line/Composite.h"

#include "model/Units.h"

#include "analysis/DropStatistics.h"
#include "line/CardPositions.h"
#include "line/SettingsTable.h"
#include "line/SprayLineGraph.h"
#include "line/SwathDisplay.h"
#include "text/NumberText.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <set>

namespace vex {

namespace {

const std::string Micro = MicroSign;
const std::string Squared = SuperscriptTwo;

constexpr double PageWidth = 8.5;
constexpr double X0 = 1.0;
constexpr double W = 6.5;
constexpr double H = 2.25;
constexpr double Gap = 0.625;
// Bottom edges of the three stacked graphs: 7.25, 4.375 and 1.5.
constexpr double Bottoms[3] = {9.5 - H, 9.5 - 2 * H - Gap, 9.5 - 3 * H - 2 * Gap};
const ReportColour Black{0, 0, 0};
// Page 3: the density target's band, and a card's point below, within and
// above it.
const ReportColour TargetBand{214, 238, 214};
const ReportColour VerdictColours[3] = {{215, 45, 35}, {30, 150, 60}, {35, 95, 215}};
// More ticks or grid lines on one axis than its 6.5 inches can show apart.
constexpr double MaxAxisTicks = 5000;

std::string general(double v)
{
    return significantText(v, 15);
}

// Text placed by a current position, as the pages are laid out: each
// print moves down by the height of the line.
class Pen {
public:
    Pen(ReportTarget &target, bool printer) : t_(target), printer_(printer) {}

    void font(double nominal, bool bold = false)
    {
        const ReportFont f = reportFont(nominal, printer_, t_.pointsPerInch());
        t_.setFont(f.Face, f.Points, bold);
    }
    void at(double x, double y)
    {
        x_ = x;
        y_ = y;
    }
    void print(const std::string &text = {})
    {
        const std::string shown = text.empty() ? std::string(" ") : text;
        if (!text.empty())
            t_.text(x_, y_, text);
        y_ -= t_.textHeight(shown);
    }
    // A blank line of a nominal size, in the current face.
    void blank(double nominal)
    {
        font(nominal);
        print();
    }
    void centred(double x, double y, const std::string &text) { t_.text(x - t_.textWidth(text) / 2.0, y, text); }
    double y() const { return y_; }
    ReportTarget &target() { return t_; }

private:
    ReportTarget &t_;
    bool printer_;
    double x_ = 0.0;
    double y_ = 0.0;
};

void titles(Pen &pen, const std::string &subtitle)
{
    pen.font(18, true);
    pen.centred(4.25, 10.5, "Quarrow Vexolin");
    pen.font(14, true);
    pen.centred(4.25, 10.15, subtitle);
    pen.font(12, false);
}

// A framed graph with its value axis on the right and its title above.
void graphFrame(Pen &pen, double bottom, double height, double maximum, double step, bool percent, int labelRule,
                const std::string &title, const std::string &unit)
{
    ReportTarget &t = pen.target();
    t.setColour(Black);
    t.setLineWidth(1);
    t.setDotted(false);
    t.rectangle(X0, bottom, X0 + W, bottom + height);
    pen.font(10);
    if (maximum > 0.0 && step > 0.0) {
        for (int k = 0; k * step <= maximum * (1.0 + 1e-9); ++k) {
            const double v = k * step;
            const double y = bottom + height * v / maximum;
            t.line(X0 + W, y, X0 + W + 0.1, y);
            const double shown = percent ? v * 100.0 : v;
            std::string label;
            if (labelRule == 0) // whole numbers always
                label = formatFixed(shown, 0);
            else if (labelRule == 2) // volume density: decimals below a step of 1
                label = step < 1.0 ? formatOptional(shown, 1, 2) : formatFixed(shown, 0);
            else
                label = std::fabs(step - std::round(step)) < 1e-9 && !percent ? formatFixed(shown, 0)
                        : percent && std::fabs(step * 100.0 - std::round(step * 100.0)) < 1e-9
                            ? formatFixed(shown, 0)
                            : formatOptional(shown, 1, 2);
            t.text(X0 + W + 0.125, y + t.textHeight(label) / 2.0, label);
        }
    }
    pen.font(12, true);
    const double titleWidth = t.textWidth(title);
    const double titleHeight = t.textHeight(title);
    t.text(X0, bottom + height + 1.0 / 32.0 + titleHeight, title);
    pen.font(10, false);
    t.text(X0 + titleWidth, bottom + height + 1.0 / 32.0 + titleHeight, unit);
}

std::string resolutionsText(const std::vector<std::int32_t> &resolutions)
{
    std::string text;
    for (const std::int32_t r : resolutions)
        text += (text.empty() ? "" : ", ") + std::to_string(r);
    return text + " dpi";
}

std::string hueRangeText(const ReportInputs &in)
{
    return std::string(in.HueInvert ? "outside " : "") + std::to_string(in.HueLow) + " - " + std::to_string(in.HueHigh);
}

void page1(Pen &pen, const ReportInputs &in)
{
    titles(pen, "Analysis Parameters");
    if (!in.PrintedAt.empty()) {
        pen.font(10);
        pen.centred(4.25, 9.75, "Printed " + in.PrintedAt);
    }
    const std::array<std::string, 14> lines = reportParameterLines(in);
    // The lines the extended figures or a dense card add fit on the page
    // with narrower gaps between the blocks.
    const double gap = in.EstimateLines.empty() && in.SmallestDropLine.empty() ? 14 : 10;
    constexpr double Column = 2.5;
    pen.at(Column - 0.25, 9.0);
    auto block = [&](const char *heading, int first, int last) {
        pen.font(14);
        pen.at(Column - 0.25, pen.y());
        pen.print(heading);
        pen.font(12);
        for (int i = first; i <= last; ++i) {
            pen.at(Column, pen.y());
            pen.print(lines[static_cast<std::size_t>(i - 1)]);
        }
        pen.blank(gap);
    };
    block("Aircraft:", 1, 6);
    block("Nozzles:", 7, 8);
    block("Sampler:", 9, 10);
    block("Spray Info:", 11, 13);
    block("Comment:", 14, 14);
    pen.blank(gap);

    const CompositeResult &all = in.CompositeAll;
    const double last = all.Classes.size() > 1 ? static_cast<double>(all.Classes.back().Diameter) : 0.0;
    const std::string range =
        in.RangeSelected ? formatFixed(in.RangeLow, 2) + " -- " + formatFixed(in.RangeHigh, 2) + " " + Micro + "m"
                         : "0.00 -- " + formatFixed(last, 2) + " " + Micro + "m";
    std::vector<std::string> scan;
    // A mean of passes has points, not cards: no resolution of its own.
    if (!in.Resolutions.empty())
        scan.push_back("Card Resolution:  " + resolutionsText(in.Resolutions));
    if (!in.SmallestDropLine.empty())
        scan.push_back(in.SmallestDropLine);
    scan.push_back("Valid Hues:  " + hueRangeText(in));
    std::vector<std::pair<std::string, std::vector<std::string>>> results = {
        {"Scan:", scan},
        {"Droplet Filters:",
         {"Droplet Size Range:  " + range, "Drop Roundness Threshold:  " + formatFixed(in.ShapeThreshold, 0),
          "% Valid Hue Threshold:  " + formatFixed(in.HueThreshold, 0)}},
        {"Composite Results (all drop sizes):",
         {"Composite VMD:  " + formatFixed(all.VMD, 2) + " " + Micro + "m",
          "Ave. Drop Density:  " + formatFixed(all.DropDensity, 2) + " drops/cm" + Squared,
          "Ave. Volume Density:  " + formatFixed(all.VolumeDensity, 2) + " nL/cm" + Squared + " = " +
              formatFixed(all.VolumeDensity * static_cast<double>(rateFactor(in.Metric)), 3) + " " +
              std::string(rateUnit(in.Metric)),
          "Coverage:  " + coverageText(in.Coverage)}},
    };
    // Beside the counted figures, never in their place.
    results.back().second.insert(results.back().second.end(), in.EstimateLines.begin(), in.EstimateLines.end());
    for (std::size_t b = 0; b < results.size(); ++b) {
        if (b > 0)
            pen.blank(gap);
        pen.font(14);
        pen.at(Column - 0.25, pen.y());
        pen.print(results[b].first);
        pen.font(12);
        for (const std::string &l : results[b].second) {
            pen.at(Column, pen.y());
            pen.print(l);
        }
    }
}

double xOf(double value, double maximum)
{
    return X0 + W * (maximum > 0.0 ? value / maximum : 0.0);
}

std::vector<std::string> wrapped(ReportTarget &t, const std::string &text, double width);

// Under the graphs: the figures quoted beside the VMD, of the range when one
// cuts drops off, though the graphs show every drop size.
void spectrumFiguresRow(Pen &pen, const ReportInputs &in)
{
    ReportTarget &t = pen.target();
    const CompositeResult &c = in.RangeSelected ? in.CompositeRange : in.CompositeAll;
    const SpectrumFigures f = spectrumFigures(c.Classes, c.VMD);
    const std::string um = " " + Micro + "m";
    const std::string sizes = in.RangeSelected
                                  ? formatFixed(in.RangeLow, 2) + " -- " + formatFixed(in.RangeHigh, 2) + um
                                  : std::string("all drop sizes");
    const std::array<std::pair<std::string, std::string>, 5> cells = {{
        {"VMD", formatFixed(c.VMD, 2) + um},
        {"Dv0.1", formatFixed(f.Dv01, 2) + um},
        {"Dv0.9", formatFixed(f.Dv09, 2) + um},
        {"Relative Span", formatFixed(f.RelativeSpan, 2)},
        {"NMD", formatFixed(f.Nmd, 2) + um},
    }};
    pen.font(10, true);
    double y = 0.95;
    const std::string heading = "Composite (" + sizes + ")";
    pen.centred(4.25, y, heading);
    y -= t.textHeight(heading);
    for (int row = 0; row < 2; ++row) {
        pen.font(10, false);
        for (std::size_t k = 0; k < cells.size(); ++k)
            pen.centred(X0 + W * (static_cast<double>(k) + 0.5) / static_cast<double>(cells.size()), y,
                        row == 0 ? cells[k].first : cells[k].second);
        y -= t.textHeight(cells[0].first);
    }
    if (!in.QualityLine.empty()) {
        pen.font(9);
        bool first = true;
        for (const std::string &line : wrapped(t, in.QualityLine, W)) {
            const double height = t.textHeight(line);
            if (first && in.HasQualityColour) {
                // The class's colour before its name, framed: one class is white.
                const double right = 4.25 - t.textWidth(line) / 2.0 - 0.06;
                t.fillRectangle(right - 0.22, y - 0.8 * height, right, y - 0.2 * height, in.QualityColour);
                t.rectangle(right - 0.22, y - 0.8 * height, right, y - 0.2 * height);
            }
            first = false;
            pen.centred(4.25, y, line);
            y -= height;
        }
    }
}

void page2(Pen &pen, const ReportInputs &in)
{
    titles(pen, "Drop Size Statistics");
    ReportTarget &t = pen.target();
    const CompositeResult &all = in.CompositeAll;
    // Without any volume the fraction graph stays empty, on the axis a
    // fraction always has room in: 0 to 100 %.
    const double m1 =
        all.TotalVolume > 0.0 ? std::floor(1100.0 * all.LargestClassVolume / all.TotalVolume + 0.5) / 1000.0 : 1.0;
    const double m3 = all.TotalArea > 0.0 ? std::floor(11.0 * all.LargestClassCount / all.TotalArea + 0.5) / 10.0 : 0.0;
    const double maxima[3] = {m1, 1.0, m3};
    const double steps[3] = {niceTickStep(static_cast<float>(m1)), 0.2, niceTickStep(static_cast<float>(m3))};
    const char *names[3] = {"Volume Fraction ", "Cumulative Volume Fraction ", "Drop Density "};
    const std::string units[3] = {"(%)", "(%)", "(#/cm" + Squared + ")"};
    for (int g = 0; g < 3; ++g)
        graphFrame(pen, Bottoms[g], H, maxima[g], steps[g], g < 2, g == 1 ? 0 : 1, names[g], units[g]);

    const double xMax = all.LargestDiameter;
    pen.font(10);
    if (xMax > 0.0) {
        const double step = niceTickStep(static_cast<float>(xMax)) / 2.0;
        for (int k = 0; k * step <= xMax * (1.0 + 1e-9); ++k) {
            const double x = xOf(k * step, xMax);
            t.line(x, 1.5, x, 1.4);
            pen.centred(x, 1.5 - 0.125, formatFixed(k * step, 0));
        }
    }
    pen.font(10, true);
    pen.centred(4.25, 1.5 - 5.0 / 16.0, "Drop Size (" + Micro + "m)");
    pen.font(10);

    t.setLineWidth(1);
    for (int g = 0; g < 3; ++g) {
        if (all.Classes.size() < 2 || !(maxima[g] > 0.0))
            continue;
        auto value = [&](const SizeClass &c) {
            return g == 0   ? static_cast<double>(c.VolumeFraction)
                   : g == 1 ? static_cast<double>(c.CumVolumeFraction)
                            : (all.TotalArea > 0.0 ? c.Count / all.TotalArea : 0.0);
        };
        // Within the frame whatever the value (a class of no volume gives 0 / 0).
        auto yOf = [&](double v) { return Bottoms[g] + H * (v > 0.0 ? std::min(v, maxima[g]) : 0.0) / maxima[g]; };
        double px = xOf(all.Classes[1].Diameter, xMax);
        double py = yOf(value(all.Classes[1]));
        t.line(px, Bottoms[g], px, py);
        for (std::size_t k = 2; k < all.Classes.size(); ++k) {
            const double x = xOf(all.Classes[k].Diameter, xMax);
            const double y = yOf(value(all.Classes[k]));
            t.line(px, py, x, y);
            px = x;
            py = y;
        }
    }
    spectrumFiguresRow(pen, in);
}

void page3(Pen &pen, const ReportInputs &in, double dataWidth)
{
    titles(pen, "Composite Results");
    ReportTarget &t = pen.target();
    const CardList &cards = *in.Cards;
    const float rate = rateFactor(in.Metric);
    const SprayLineScale s = sprayLineScale(cards, in.Stats, in.MaxCardVMD, rate);
    const bool target = in.DensityTargetHigh > 0.0;
    // The band's lower edge stays in sight when every card lies below it.
    const double maxima[3] = {s.M1, target ? std::max(static_cast<double>(s.M2), 1.1 * in.DensityTargetLow) : s.M2,
                              s.M3};
    if (target && maxima[1] > 0.0) {
        auto yOfDensity = [&](double v) { return Bottoms[1] + H * std::clamp(v / maxima[1], 0.0, 1.0); };
        t.fillRectangle(X0, yOfDensity(in.DensityTargetLow), X0 + W, yOfDensity(in.DensityTargetHigh), TargetBand);
    }
    const char *names[3] = {"Volume Median Diameter ", "Drop Density ", "Volume Density "};
    const std::string units[3] = {"(" + Micro + "m)", "(#/cm" + Squared + ")", std::string(rateUnit(in.Metric))};
    for (int g = 0; g < 3; ++g)
        graphFrame(pen, Bottoms[g], H, maxima[g], niceTickStep(static_cast<float>(maxima[g])), false, g == 2 ? 2 : 1,
                   names[g], units[g]);

    const double range = s.PMax - s.PMin;
    auto xOfPosition = [&](double p) { return X0 + W * (range > 0.0 ? (p - s.PMin) / range : 0.5); };
    const double interval = positionValue(in.Spray[Sample_Interval]);
    const int decimals = in.Cards ? linePositionDecimals(*in.Cards, in.Spray)
                                  : positionDecimals(in.Spray[Sample_Position1], in.Spray[Sample_Interval]);
    // Positions from the flight line to the far card, a spacing apart: a
    // line typed far out for its spacing would have millions, so past
    // MaxAxisTicks only about ten are labelled, by their number.
    const double ticks = interval > 0.0 ? range / interval : 0.0;
    const double tickEvery = cards.count() > 25 ? std::max(1.0, std::trunc(ticks / 10.0)) : 1.0;
    pen.font(10);
    if (interval > 0.0 && ticks <= MaxAxisTicks) {
        const int every = static_cast<int>(tickEvery);
        int k = 0;
        for (double p = s.PMin; p <= s.PMax + 1e-9 * std::max(1.0, range); p += interval, ++k) {
            if (k % every != 0)
                continue;
            const double x = xOfPosition(p);
            t.line(x, 1.5, x, 1.4);
            pen.centred(x, 1.5 - 0.125, formatFixed(p, decimals));
        }
    } else if (interval > 0.0 && std::isfinite(ticks)) {
        const double every = std::max(tickEvery, std::ceil(ticks / 10.0));
        for (double k = 0.0; k <= ticks + 1e-9; k += every) {
            const double p = s.PMin + k * interval;
            const double x = xOfPosition(p);
            t.line(x, 1.5, x, 1.4);
            pen.centred(x, 1.5 - 0.125, formatFixed(p, decimals));
        }
    }
    pen.font(10, true);
    pen.centred(4.25, 1.5 - 5.0 / 16.0, std::string("Card Position") + (in.Metric ? " (m)" : " (ft)"));
    pen.font(10);

    auto yOf = [&](int g, double v) { return Bottoms[g] + H * (maxima[g] > 0.0 ? v / maxima[g] : 0.0); };
    const CompositeResult &all = in.CompositeAll;
    const double reference[3] = {all.VMD, all.DropDensity, all.VolumeDensity * static_cast<double>(rate)};
    const double rangeReference[3] = {in.CompositeRange.VMD, in.CompositeRange.DropDensity,
                                      in.CompositeRange.VolumeDensity * static_cast<double>(rate)};
    t.setDotted(true);
    t.setLineWidth(1);
    for (int g = 0; g < 3; ++g) {
        t.line(X0, yOf(g, reference[g]), X0 + W, yOf(g, reference[g]));
        if (in.RangeSelected)
            t.line(X0, yOf(g, rangeReference[g]), X0 + W, yOf(g, rangeReference[g]));
    }
    t.setDotted(false);
    t.setLineWidth(dataWidth);
    for (int g = 0; g < 3; ++g) {
        bool first = true;
        double px = 0.0;
        double py = 0.0;
        int plotted = 0;
        for (int i = 1; i <= cards.count(); ++i) {
            if (!cards[i].Scanned || cards[i].Excluded || static_cast<std::size_t>(i) >= in.Stats.size())
                continue;
            const CardStat &c = in.Stats[static_cast<std::size_t>(i)];
            const double v = g == 0 ? c.Vmd : g == 1 ? c.DropDensity : c.VolumeDensity * static_cast<double>(rate);
            const double x = xOfPosition(cards[i].Position);
            const double y = yOf(g, v);
            if (first)
                t.line(x, y, x, y);
            else
                t.line(px, py, x, y);
            first = false;
            px = x;
            py = y;
            ++plotted;
        }
        // A point alone is a line of no length, which draws nothing.
        if (plotted == 1)
            t.circle(px, py, 1.0 / 32.0, Black);
    }
    t.setLineWidth(1);
    for (int i = 1; target && i <= cards.count(); ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (k < in.DensityVerdicts.size() && in.DensityVerdicts[k] && k < in.Stats.size())
            t.circle(xOfPosition(cards[i].Position), yOf(1, in.Stats[k].DropDensity), 3.0 / 64.0,
                     VerdictColours[static_cast<std::size_t>(*in.DensityVerdicts[k] + 1)]);
    }
    if (const std::string extended = reportExtendedLine(in); !extended.empty()) {
        pen.font(9);
        pen.centred(4.25, 0.95, extended);
    }
    if (!in.DensityTargetLine.empty()) {
        pen.font(9);
        pen.centred(4.25, 0.95 - t.textHeight("S") * 1.2, in.DensityTargetLine);
    }
    if (!in.DensityVerdictLine.empty()) {
        pen.font(9);
        double y = 0.95 - t.textHeight("S") * 2.4;
        for (const std::string &line : wrapped(t, in.DensityVerdictLine, W)) {
            pen.centred(4.25, y, line);
            y -= t.textHeight(line);
        }
    }
}

// Page 4 holds two blocks, each a multiswath profile over its COV graph
// with the proposal under it, and the notes below both.
constexpr double BlockStep = 4.1;
constexpr double ProfileHeight = 1.4;
constexpr double CovHeight = 0.9;
// From the profile's bottom edge to the COV graph's top edge: the
// profile's axis labels and the COV graph's title lie between.
constexpr double ProfileToCov = 0.8;
const ReportColour BackAndForthColour{30, 110, 200};

// Words of `text` on lines no wider than `width` in the current font.
std::vector<std::string> wrapped(ReportTarget &t, const std::string &text, double width)
{
    std::vector<std::string> lines;
    std::string current;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        at = end + 1;
        const std::string longer = current.empty() ? word : current + " " + word;
        if (!current.empty() && t.textWidth(longer) > width) {
            lines.push_back(current);
            current = word;
        } else {
            current = longer;
        }
    }
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

// The two curves' key, right-aligned on the graph's title line.
void covLegend(Pen &pen, double graphTop, double dataWidth)
{
    ReportTarget &t = pen.target();
    pen.font(10);
    const std::string oneWay = "one way";
    const std::string backAndForth = "back and forth";
    // On the title's foot.
    const double baseTop = graphTop + 1.0 / 32.0 + t.textHeight(oneWay);
    constexpr double Sample = 0.3;
    constexpr double Space = 0.06;
    constexpr double Between = 0.25;
    double x = X0 + W - (2.0 * (Sample + Space) + t.textWidth(oneWay) + Between + t.textWidth(backAndForth));
    const double mid = baseTop - t.textHeight(oneWay) / 2.0;
    for (int curve = 0; curve < 2; ++curve) {
        const bool back = curve == 1;
        t.setColour(back ? BackAndForthColour : Black);
        t.setDotted(back);
        t.setLineWidth(dataWidth);
        t.line(x, mid, x + Sample, mid);
        t.setLineWidth(1);
        t.setDotted(false);
        t.setColour(Black);
        x += Sample + Space;
        const std::string &label = back ? backAndForth : oneWay;
        t.text(x, baseTop, label);
        x += t.textWidth(label) + Between;
    }
}

// COV against swath width: both curves through the widths between whole
// spacings where there are any, the whole widths as points.
void covGraph(Pen &pen, const ReportInputs &in, const SwathProfile &p, const std::vector<FineWidth> &fine,
              double covBottom, double dataWidth)
{
    ReportTarget &t = pen.target();
    const double interval = positionValue(in.Spray[Sample_Interval]);
    const int decimals = in.Cards ? linePositionDecimals(*in.Cards, in.Spray)
                                  : positionDecimals(in.Spray[Sample_Position1], in.Spray[Sample_Interval]);
    const std::string length = in.Metric ? " (m)" : " (ft)";
    const double covTop = std::max(1.0, std::floor(12.0 * p.LargestCov + 0.9999) / 10.0);
    graphFrame(pen, covBottom, CovHeight, covTop, niceTickStep(static_cast<float>(covTop)), false, 1,
               "Coefficient of Variation", "");
    covLegend(pen, covBottom + CovHeight, std::max(1.0, dataWidth / 2.0));

    const int widths = static_cast<int>(p.Widths.size()) - 1;
    auto xOfWidth = [&](double w) { return widths > 1 ? X0 + W * (w - 1.0) / (widths - 1) : X0 + W / 2.0; };
    auto yOfCov = [&](double cov) { return covBottom + CovHeight * std::min(1.0, cov / covTop); };
    t.setDotted(true);
    const double limit = yOfCov(0.3);
    t.line(X0, limit, X0 + W, limit);

    std::vector<std::array<double, 3>> curve; // width, one way, back and forth
    if (fine.empty())
        for (int i = 1; i <= widths; ++i) {
            const WidthStats &w = p.Widths[static_cast<std::size_t>(i)];
            curve.push_back({static_cast<double>(i), w.Cov, w.CovBackAndForth});
        }
    for (const FineWidth &w : fine)
        curve.push_back({w.Width, w.Cov, w.CovBackAndForth});
    t.setLineWidth(std::max(1.0, dataWidth / 2.0));
    for (int series = 2; series >= 1; --series) {
        t.setDotted(series == 2);
        t.setColour(series == 2 ? BackAndForthColour : Black);
        for (std::size_t k = 1; k < curve.size(); ++k)
            t.line(xOfWidth(curve[k - 1][0]), yOfCov(curve[k - 1][series]), xOfWidth(curve[k][0]),
                   yOfCov(curve[k][series]));
    }
    t.setDotted(false);
    t.setColour(Black);
    t.setLineWidth(1);

    pen.font(10);
    const int cards = in.Cards->count();
    const int every = cards > 20 ? std::max(1, cards / 10 - 1) : 1;
    for (int i = 1; i <= widths; ++i) {
        const double x = xOfWidth(i);
        t.circle(x, yOfCov(p.Widths[static_cast<std::size_t>(i)].Cov), i == p.SelectedWidth ? 3.0 / 64.0 : 1.0 / 32.0,
                 {180, 180, 180});
        if ((i - 1) % every == 0) {
            t.line(x, covBottom, x, covBottom - 0.1);
            pen.centred(x, covBottom - 0.125, formatFixed(i * interval, decimals));
        }
    }
    pen.font(10, true);
    pen.centred(4.25, covBottom - 5.0 / 16.0, "Swath Width" + length);
}

// Returns the bottom of the block's text.
double swathBlock(Pen &pen, const ReportInputs &in, SwathProfile &p, const std::vector<FineWidth> &fine, int n,
                  double dataWidth)
{
    ReportTarget &t = pen.target();
    const bool deposit = n == 1;
    const double factor = deposit ? static_cast<double>(rateFactor(in.Metric)) : 1.0;
    const double ratio = swathRatio(p.SelectedWidth, in.Spray);
    buildMultiswath(p);
    const double interval = positionValue(in.Spray[Sample_Interval]);
    const int decimals = in.Cards ? linePositionDecimals(*in.Cards, in.Spray)
                                  : positionDecimals(in.Spray[Sample_Position1], in.Spray[Sample_Interval]);
    const std::string length = in.Metric ? " (m)" : " (ft)";

    // The multiswath profile.
    const double bottom = 9.5 - BlockStep * (n - 1) - ProfileHeight;
    const double top = std::max(1.0, std::floor(12.0 * factor * ratio * p.MultiswathMax + 0.5) / 10.0);
    const std::string title = deposit ? "Deposit Profile " : "Drop Density Profile ";
    const std::string valueUnit = deposit ? "(" + std::string(rateUnit(in.Metric)) + ")" : "(#/cm" + Squared + ")";
    const double firstNumber = static_cast<double>(p.K) + p.F;
    const double lastNumber = firstNumber + static_cast<double>(std::max<std::size_t>(p.Multiswath.size(), 1) - 1);
    const double lowNumber = std::min(firstNumber, 0.0);
    const double span = lastNumber - lowNumber > 0.0 ? lastNumber - lowNumber : 1.0;
    auto xOfNumber = [&](double number) { return X0 + W * (number - lowNumber) / span; };
    std::vector<ReportPoint> area{{xOfNumber(firstNumber), bottom}};
    for (std::size_t j = 0; j < p.Multiswath.size(); ++j)
        area.push_back({xOfNumber(firstNumber + static_cast<double>(j)),
                        bottom + ProfileHeight * std::min(1.0, p.Multiswath[j] * factor * ratio / top)});
    area.push_back({xOfNumber(lastNumber), bottom});
    t.fillPolygon(area, {210, 210, 210});
    // A light grid at every card spacing.
    t.setColour({170, 170, 170});
    t.setDotted(true);
    // The block holds several passes' worth of places: about ten labels.
    const double placesEvery = std::max(1.0, std::ceil(span / 10.0));
    // Past MaxAxisTicks places a line at each would make one grey block.
    const double gridEvery = span > MaxAxisTicks ? placesEvery : 1.0;
    for (double number = std::ceil(lowNumber); number <= lastNumber; number += gridEvery)
        t.line(xOfNumber(number), bottom, xOfNumber(number), bottom + ProfileHeight);
    t.setDotted(false);
    t.setColour(Black);
    graphFrame(pen, bottom, ProfileHeight, top, niceTickStep(static_cast<float>(top)), false, 1, title, valueUnit);
    t.setLineWidth(dataWidth);
    for (std::size_t j = 1; j < area.size() - 2; ++j)
        t.line(area[j].X, area[j].Y, area[j + 1].X, area[j + 1].Y);
    t.setLineWidth(1);
    pen.font(10);
    for (double number = std::ceil(lowNumber); number <= lastNumber + 1e-9; number += placesEvery) {
        const double x = xOfNumber(number);
        t.line(x, bottom, x, bottom - 0.1);
        pen.centred(x, bottom - 0.125, formatFixed(number * interval, decimals));
    }
    pen.font(10, true);
    pen.centred(4.25, bottom - 5.0 / 16.0, "Position Across Block" + length);

    const double covBottom = bottom - ProfileToCov - CovHeight;
    covGraph(pen, in, p, fine, covBottom, dataWidth);
    double y = covBottom - 5.0 / 16.0 - t.textHeight("S") - 0.04;
    pen.font(10);
    const std::string proposal = proposalText(p, fine, static_cast<float>(interval), in.Metric);
    if (!proposal.empty()) {
        const std::string said = "Chosen width: " + proposal;
        pen.centred(4.25, y, said);
        y -= t.textHeight(said);
    }
    return y;
}

void page4(Pen &pen, ReportInputs &in, double dataWidth)
{
    // Three points of the line's grid at least; they are the cards unless
    // some were left out or placed by hand.
    if (in.Deposit.Widths.size() < 3) {
        pen.font(12);
        pen.centred(4.25, 6.0, "The swath analysis needs at least three cards.");
    } else {
        swathBlock(pen, in, in.Deposit, in.FineDeposit, 1, dataWidth);
        double y = swathBlock(pen, in, in.DropDensity, in.FineDropDensity, 2, dataWidth) - 0.06;
        ReportTarget &t = pen.target();
        pen.font(9);
        // The centre was taken of the deposit; the caution holds for both
        // graphs of back-and-forth COV.
        const std::string notes[3] = {
            patternCentreText(in.Centre, in.Centred, in.Metric),
            "Back and forth: every second pass is taken as the mirror image of the first. A crosswind drifts "
            "every pass the same way, so in a crosswind the back-and-forth COV promises more evenness than is "
            "flown.",
            in.SwathNote,
        };
        std::vector<std::string> said(std::begin(notes), std::end(notes));
        said.insert(said.end(), in.EffectiveLines.begin(), in.EffectiveLines.end());
        for (const std::string &note : said)
            for (const std::string &line : wrapped(t, note, W)) {
                pen.centred(4.25, y, line);
                y -= t.textHeight(line);
            }
    }
    // On this page the titles go on last, over the graphs.
    titles(pen, "Swath Analysis");
}

} // namespace

std::string reportSpreadFormula(const std::array<double, 3> &spread)
{
    auto term = [](double v) { return (v >= 0.0 ? " + " : " - ") + general(std::fabs(v)); };
    return general(spread[0]) + term(spread[1]) + "d" + term(spread[2]) + "d" + Squared;
}

std::array<std::string, 14> reportParameterLines(const ReportInputs &in)
{
    const SprayInfo &s = in.Spray;
    const std::string length = in.Metric ? " m" : " ft";
    const std::string rate = in.Metric ? " L/ha" : " oz/ac";
    return {"Type:  " + s[AC_Type],
            "Registration:  " + s[AC_Registration],
            "Owner:  " + s[AC_Owner],
            "Swath:  " + s[AC_Swath] + length,
            "Speed:  " + s[AC_Speed] + (in.Metric ? " km/h" : " mph"),
            "Height:  " + s[AC_Height] + length,
            "Type:  " + s[Nozzle_Type],
            "Number:  " + s[Nozzle_Number],
            "Type:  " + s[Sampler_Type],
            "Spread Factor:  " + reportSpreadFormula(in.SpreadFactor),
            "Product:  " + s[Spray_Product],
            "Active Rate:  " + s[Spray_ActiveRate] + rate,
            "Spray Rate:  " + s[Spray_SprayRate] + rate,
            s[Comment]};
}

ReportFont reportFont(double nominalPoints, bool printer, double targetPointsPerInch)
{
    ReportFont f;
    // On the preview: nominal / 72 inches of the page, in the target's points.
    f.Points = printer ? nominalPoints : nominalPoints / 72.0 / PageWidth * PageWidth * targetPointsPerInch;
    f.Face = f.Points <= 7.0 ? "Small Fonts" : "Arial";
    return f;
}

void drawReport(ReportTarget &target, bool printer, int page, ReportInputs in, const std::function<void(int)> &progress)
{
    const double dataWidth = printer ? std::max(1.0, target.pixelsPerInch() / 32.0) : 3.0;
    const int first = page == 0 ? 1 : std::clamp(page, 1, 4);
    const int last = page == 0 ? 4 : first;
    Pen pen(target, printer);
    for (int p = first; p <= last; ++p) {
        if (printer && p != first)
            target.newPage();
        if (!printer)
            target.clear();
        if (printer && progress)
            progress(p);
        target.setColour(Black);
        target.setLineWidth(1);
        target.setDotted(false);
        switch (p) {
        case 1:
            page1(pen, in);
            break;
        case 2:
            page2(pen, in);
            break;
        case 3:
            page3(pen, in, dataWidth);
            break;
        default:
            page4(pen, in, dataWidth);
            break;
        }
    }
}

std::string reportErrorMessage(const std::string &description)
{
    return "There was an error:\r\r     " + description;
}

std::string reportExtendedLine(const ReportInputs &in)
{
    if ((!in.Extended && in.SettingSentences.empty()) || in.Cards == nullptr)
        return {};
    std::string text;
    if (in.Extended) {
        std::int64_t rejected = 0;
        std::string dense;
        const CardList &cards = *in.Cards;
        for (int i = 1; i <= cards.count(); ++i) {
            if (!cards[i].Scanned)
                continue;
            rejected += cards[i].RejectedCount;
            if (cards[i].StainCoverage > in.DenseCoverage)
                dense += (dense.empty() ? "" : ", ") + std::to_string(i);
        }
        text = "Rejected stains: " + std::to_string(rejected) + ". " +
               (dense.empty() ? "No card is too dense for reliable drop counts"
                              : "Too dense for reliable drop counts (over " + formatFixed(100.0 * in.DenseCoverage, 0) +
                                    " % covered): card " + dense);
        text += ".";
    }
    for (const std::string &sentence : in.SettingSentences)
        text += (text.empty() ? "" : " ") + sentence;
    return text;
}

namespace {

// Page 1's estimate for overlap, where the window would show it (a dense
// card) or the extended figures ask for it: a line of one card gives that
// card's estimate with its intervals, a longer line each card's estimate
// pooled by area, unless its composite figures already are those.
std::vector<std::string> estimateLines(const CardList &cards, const AnalysisSettings &settings)
{
    std::vector<const CardRecord *> counted;
    bool dense = false;
    bool estimated = false;
    for (const CardRecord &card : cards.records())
        if (card.Scanned && !card.Excluded) {
            counted.push_back(&card);
            dense = dense || !denseCardWarning(card, settings.DenseCoverage).empty();
            estimated = estimated || card.Summary.Overlap.Estimated;
        }
    if (!estimated || !(dense || settings.Extended))
        return {};
    const auto rate = static_cast<double>(rateFactor(settings.Metric));
    const std::string unit = " " + std::string(rateUnit(settings.Metric));
    const std::string density = "Estimated Drop Density:  ";
    const std::string deposit = "Estimated Deposit:  ";
    if (counted.size() == 1) {
        const OverlapFigures &o = counted.front()->Summary.Overlap;
        return {density + formatFixed(o.EstimatedDropDensity, 2) + " drops/cm" + Squared +
                    " (95 %: " + formatFixed(o.EstimatedDropDensityCi[0], 2) + " to " +
                    formatFixed(o.EstimatedDropDensityCi[1], 2) + ")",
                deposit + formatFixed(o.EstimatedDeposit * rate, 3) + unit +
                    " (95 %: " + formatFixed(o.EstimatedDepositCi[0] * rate, 3) + " to " +
                    formatFixed(o.EstimatedDepositCi[1] * rate, 3) + ")"};
    }
    if (settings.PoolEstimates)
        return {};
    const CompositeAll pooled = calcCompositeAll(cards);
    return {density + formatFixed(pooled.EstimatedDropDensity, 2) + " drops/cm" + Squared +
                " (cards' estimates pooled)",
            deposit + formatFixed(pooled.EstimatedVolumeDensity * rate, 3) + unit};
}

// "Smallest Detectable Drop:  64 µm", with its resolution where the cards
// have several.
std::string smallestDropLine(const std::vector<std::int32_t> &resolutions, const std::array<double, 3> &spread)
{
    std::string said;
    for (const std::int32_t dpi : resolutions)
        said += (said.empty() ? "" : ", ") + formatFixed(smallestDetectableDropUm(dpi, spread), 0) + " " + Micro + "m" +
                (resolutions.size() > 1 ? " at " + std::to_string(dpi) + " dpi" : "");
    return said.empty() ? said : "Smallest Detectable Drop:  " + said;
}

// Each counted card's verdict against the density target, for page 3.
void addDensityVerdicts(ReportInputs &in, const CardList &cards, const LineResults &line,
                        const AnalysisSettings &settings)
{
    in.DensityTargetLow = settings.DensityTargetLow;
    in.DensityTargetHigh = settings.DensityTargetHigh;
    in.DensityVerdicts.assign(static_cast<std::size_t>(cards.count()) + 1, std::nullopt);
    std::array<std::string, 3> named;
    for (int i = 1; i <= cards.count(); ++i) {
        if (!cards[i].Scanned || cards[i].Excluded)
            continue;
        const DensityVerdict v = cardDensityVerdict(cards[i], settings);
        const int k = v == DensityVerdict::Below ? 0 : v == DensityVerdict::Within ? 1 : 2;
        in.DensityVerdicts[static_cast<std::size_t>(i)] = k - 1;
        std::string &list = named[static_cast<std::size_t>(k)];
        list += (list.empty() ? "card " : ", ") + std::to_string(i);
    }
    auto listed = [](const std::string &list) { return list.empty() ? std::string("none") : list; };
    in.DensityVerdictLine = "Below the target (red): " + listed(named[0]) + "; within (green): " + listed(named[1]) +
                            "; above (blue): " + listed(named[2]) +
                            (line.RangeSelected ? "; each card judged by all its drops, not the range." : ".");
}

} // namespace

ReportInputs reportInputsFor(const CardList &cards, const LineResults &line, const AnalysisSettings &settings)
{
    ReportInputs in;
    in.Extended = settings.Extended;
    in.SettingSentences = settingReportSentences(settings);
    in.DenseCoverage = settings.DenseCoverage;
    in.Spray = settings.Spray;
    in.Cards = &cards;
    in.Stats = line.Stats;
    in.CompositeAll = line.All;
    in.CompositeRange = line.Range;
    in.RangeSelected = line.RangeSelected;
    in.RangeLow = settings.RangeLow;
    in.RangeHigh = settings.RangeHigh;
    in.MaxCardVMD = line.MaxCardVMD;
    in.Coverage = line.Coverage;
    in.SpreadFactor = settings.Spread;
    in.ShapeThreshold = settings.Scan.ShapeThreshold;
    in.HueThreshold = settings.Scan.HueThreshold;
    in.Metric = settings.Metric;
    in.Deposit = line.Deposit;
    in.DropDensity = line.DropDensity;
    in.SwathNote = swathNote(cards, line.Interpolated);
    in.PrintedAt = reportTimeNow();
    std::set<std::int32_t> resolutions;
    for (const CardRecord &card : cards.records())
        if (card.Scanned && card.Resolution > 0)
            resolutions.insert(card.Resolution);
    in.Resolutions.assign(resolutions.begin(), resolutions.end());
    in.HueLow = settings.Scan.HueLow;
    in.HueHigh = settings.Scan.HueHigh;
    in.HueInvert = settings.Scan.HueInvert;
    in.FineDeposit = line.FineDeposit;
    in.FineDropDensity = line.FineDropDensity;
    in.Centre = line.Centre;
    in.Centred = line.Centred;
    in.EstimateLines = estimateLines(cards, settings);
    if (settings.Extended) {
        in.SmallestDropLine = smallestDropLine(in.Resolutions, settings.Spread);
        if (settings.DensityTargetHigh > 0.0)
            addDensityVerdicts(in, cards, line, settings);
        if (const SprayQuality q =
                classifySpray(settings.Quality, spectrumFigures(line.All.Classes, line.All.VMD).Dv01, line.All.VMD);
            q.Known) {
            const Rgb c = qualityColour(q.Class);
            in.HasQualityColour = true;
            in.QualityColour = {c.Red, c.Green, c.Blue};
        }
        for (const auto &[label, value] : lineApplicatorLines(cards, line, settings)) {
            if (label.rfind("Density", 0) == 0)
                in.DensityTargetLine = "Density target: " + value;
            else if (label.rfind("Spray Quality", 0) == 0)
                in.QualityLine += (in.QualityLine.empty() ? "" : "; ") + label + " " + value;
        }
        if (!in.QualityLine.empty())
            in.QualityLine += std::string(". The ") + QualitySourceNote + ".";
        for (const auto &[label, value] : effectiveSwathLines(line, settings))
            in.EffectiveLines.push_back(label + " " + value);
    }
    return in;
}

std::string reportTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local));
}

} // namespace vex
