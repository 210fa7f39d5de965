#include "intake/CardFinder.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <numbers>
#include <sstream>

namespace vex {

const std::vector<CardSizePreset> &cardSizePresets()
{
    static const std::vector<CardSizePreset> presets = {
        {"76 x 26 mm", {76.0, 26.0}},
        {"76 x 52 mm", {76.0, 52.0}},
        {"52 x 26 mm", {52.0, 26.0}},
        {"38 x 26 mm", {38.0, 26.0}},
    };
    return presets;
}

std::optional<CardSize> parseCardSize(const std::string &text)
{
    std::string t;
    for (const char c : text)
        if (c != ' ')
            t += c == 'X' ? 'x' : c;
    if (t.size() > 2 && t.compare(t.size() - 2, 2, "mm") == 0)
        t.resize(t.size() - 2);
    const std::size_t x = t.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= t.size())
        return std::nullopt;
    auto number = [](const std::string &s) -> std::optional<double> {
        if (s.empty() || s.find_first_not_of("0123456789.") != std::string::npos || s.find('.') != s.rfind('.') ||
            s == ".")
            return std::nullopt;
        // Not strtod: the window runs under the user's locale, whose decimal
        // separator may be a comma.
        double v = 0.0;
        std::from_chars(s.data(), s.data() + s.size(), v);
        return v;
    };
    const std::optional<double> a = number(t.substr(0, x));
    const std::optional<double> b = number(t.substr(x + 1));
    constexpr double Smallest = 5.0;
    constexpr double Largest = 500.0;
    if (!a || !b || *a < Smallest || *b < Smallest || *a > Largest || *b > Largest)
        return std::nullopt;
    return CardSize{std::max(*a, *b), std::min(*a, *b)};
}

std::string cardSizeText(const CardSize &size)
{
    auto mm = [](double v) {
        std::ostringstream out;
        out << v;
        return out.str();
    };
    return mm(size.WidthMm) + " x " + mm(size.HeightMm) + " mm";
}

PictureView viewOf(const ColourImage &picture)
{
    PictureView v;
    v.Width = picture.Width;
    v.Height = picture.Height;
    if (picture.Width <= 0 || picture.Height <= 0 || picture.Bgr.empty())
        return v;
    v.Top = picture.row(picture.Height - 1);
    v.Step = -3 * static_cast<std::ptrdiff_t>(picture.Width);
    return v;
}

ColourImage coloursOf(const IndexedImage &picture)
{
    ColourImage c;
    c.Width = picture.Width;
    c.Height = picture.rowsHeld();
    c.SourceBits = 8;
    c.Bgr.resize(static_cast<std::size_t>(c.Width) * static_cast<std::size_t>(c.Height) * 3);
    std::array<std::uint8_t, 256 * 3> table{};
    std::copy_n(picture.PaletteBgr.begin(), std::min<std::size_t>(picture.PaletteBgr.size(), table.size()),
                table.begin());
    for (std::int32_t y = 0; y < c.Height; ++y) {
        const std::uint8_t *in = picture.row(y);
        std::uint8_t *out = c.row(y);
        for (std::int32_t x = 0; x < c.Width; ++x, out += 3)
            std::memcpy(out, table.data() + 3 * in[x], 3);
    }
    return c;
}

namespace {

// The search runs on a copy no larger than this across; the outlines are
// then fitted again on the whole picture.
constexpr int SearchSide = 1600;
// The paper's hue in CIELAB, degrees from +a towards +b: water-sensitive
// paper lies near 95 degrees under any usual light; leaves lie beyond 115,
// skin and soil below 75 (and are far less saturated).
constexpr double PaperHueLow = 75.0;
constexpr double PaperHueHigh = 115.0;
// Chroma limits of the paper: the threshold between paper and background is
// found in each picture, but never below or above these.
constexpr double PaperChromaFloor = 18.0;
constexpr double PaperChromaCeiling = 45.0;
// A card is no smaller than this many pixels across its short side.
constexpr double SmallestCardSide = 24.0;
// The card's sides may look this much longer or shorter than its size says
// (perspective, a slanting camera) before the shape is no card.
constexpr double AspectTolerance = 1.6;

cv::Mat matOf(const PictureView &p)
{
    cv::Mat m(p.Height, p.Width, CV_8UC3);
    for (int y = 0; y < p.Height; ++y)
        std::memcpy(m.ptr(y), p.Top + static_cast<std::ptrdiff_t>(y) * p.Step, static_cast<std::size_t>(p.Width) * 3);
    return m;
}

// Per (a, b) of 8-bit CIELAB: the chroma where the hue lies from `hueLow`
// to `hueHigh` degrees, else 0.
std::vector<std::uint8_t> chromaTable(double hueLow, double hueHigh)
{
    std::vector<std::uint8_t> t(256 * 256, 0);
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            const double da = a - 128.0;
            const double db = b - 128.0;
            const double hue = std::atan2(db, da) * 180.0 / std::numbers::pi;
            if (hue >= hueLow && hue <= hueHigh)
                t[static_cast<std::size_t>(a) * 256 + static_cast<std::size_t>(b)] =
                    static_cast<std::uint8_t>(std::min(255.0, std::hypot(da, db)));
        }
    return t;
}

const std::vector<std::uint8_t> &paperChromaTable()
{
    static const std::vector<std::uint8_t> table = chromaTable(PaperHueLow, PaperHueHigh);
    return table;
}

// Of 255: below a quarter of full light nothing is paper.
constexpr int DarkLightness = 60;

// OpenCV fills its CIELAB tables on the first conversion without a lock:
// two pictures searched at once would both fill them and one copy would be
// lost.  The first conversion is made once, alone.
void toLab(const cv::Mat &bgr, cv::Mat &lab)
{
    static std::once_flag tables;
    std::call_once(tables, [] {
        const cv::Mat one(1, 1, CV_8UC3, cv::Scalar(0, 0, 0));
        cv::Mat converted;
        cv::cvtColor(one, converted, cv::COLOR_BGR2Lab);
    });
    cv::cvtColor(bgr, lab, cv::COLOR_BGR2Lab);
}

// The paper's chroma where a pixel has the paper's hue and is no darker
// than `lightFloor` (CIELAB lightness of 255).
cv::Mat paperChroma(const cv::Mat &bgr, int lightFloor)
{
    cv::Mat lab;
    toLab(bgr, lab);
    const std::vector<std::uint8_t> &table = paperChromaTable();
    cv::Mat chroma(bgr.rows, bgr.cols, CV_8U);
    for (int y = 0; y < lab.rows; ++y) {
        const std::uint8_t *in = lab.ptr(y);
        std::uint8_t *out = chroma.ptr(y);
        for (int x = 0; x < lab.cols; ++x, in += 3)
            out[x] =
                in[0] < lightFloor ? 0 : table[static_cast<std::size_t>(in[1]) * 256 + static_cast<std::size_t>(in[2])];
    }
    return chroma;
}

// The paper is the brightest thing of its hue: ochre soil and dry leaves
// of the same hue and chroma are far darker.  The floor lies well below the
// brightest paper, so that light falling off across the card keeps all of it.
int paperLightFloor(const cv::Mat &bgr, const cv::Mat &chroma, double threshold)
{
    cv::Mat lab;
    toLab(bgr, lab);
    std::array<double, 256> histogram{};
    double count = 0.0;
    for (int y = 0; y < lab.rows; ++y) {
        const std::uint8_t *in = lab.ptr(y);
        const std::uint8_t *c = chroma.ptr(y);
        for (int x = 0; x < lab.cols; ++x, in += 3)
            if (c[x] >= threshold) {
                histogram[in[0]] += 1.0;
                count += 1.0;
            }
    }
    double seen = 0.0;
    int bright = 255;
    for (int v = 0; v < 256; ++v) {
        seen += histogram[static_cast<std::size_t>(v)];
        if (seen >= 0.95 * count) {
            bright = v;
            break;
        }
    }
    constexpr double ShareOfBrightest = 0.7;
    return std::max(DarkLightness, static_cast<int>(ShareOfBrightest * bright));
}

// The chroma that parts paper from background: Otsu's threshold over the
// pixels of the paper's hue, when it parts two clearly different groups;
// the floor when they are one (a picture that is all paper, or none).
double paperThreshold(const cv::Mat &chroma)
{
    std::array<double, 256> histogram{};
    for (int y = 0; y < chroma.rows; ++y) {
        const std::uint8_t *row = chroma.ptr(y);
        for (int x = 0; x < chroma.cols; ++x)
            if (row[x] >= PaperChromaFloor / 2)
                histogram[row[x]] += 1.0;
    }
    double total = 0.0;
    double sum = 0.0;
    for (int v = 0; v < 256; ++v) {
        total += histogram[static_cast<std::size_t>(v)];
        sum += v * histogram[static_cast<std::size_t>(v)];
    }
    if (total <= 0.0)
        return PaperChromaFloor;
    double below = 0.0;
    double belowSum = 0.0;
    double best = -1.0;
    int threshold = 0;
    double meanLow = 0.0;
    double meanHigh = 0.0;
    for (int v = 0; v < 255; ++v) {
        below += histogram[static_cast<std::size_t>(v)];
        belowSum += v * histogram[static_cast<std::size_t>(v)];
        const double above = total - below;
        if (below <= 0.0 || above <= 0.0)
            continue;
        const double m0 = belowSum / below;
        const double m1 = (sum - belowSum) / above;
        const double between = below * above * (m1 - m0) * (m1 - m0);
        if (between > best) {
            best = between;
            threshold = v + 1;
            meanLow = m0;
            meanHigh = m1;
        }
    }
    constexpr double ClearlyApart = 15.0;
    if (best < 0.0 || meanHigh - meanLow < ClearlyApart)
        return PaperChromaFloor;
    return std::clamp(static_cast<double>(threshold), PaperChromaFloor, PaperChromaCeiling);
}

// The paper's pixels, speckle removed and small gaps closed; stains inside
// are filled later with the outline.
cv::Mat paperMask(const cv::Mat &chroma, double threshold)
{
    cv::Mat mask;
    cv::threshold(chroma, mask, threshold - 0.5, 255, cv::THRESH_BINARY);
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    cv::morphologyEx(mask, mask, cv::MORPH_OPEN, kernel);
    cv::morphologyEx(mask, mask, cv::MORPH_CLOSE, kernel);
    return mask;
}

// Paper in a shadow (of the phone, of a hand) is darker than the light
// floor lets through.  A shadow dims the paper's lightness and chroma alike
// and leaves its hue: such pixels are taken where they join paper in full
// light.  A lower floor over the whole picture would take in soil and dry
// leaves, which are of other hues or duller for their lightness; and where
// paper in shadow is not joined to the lit paper, nothing is known of it.
constexpr double ShadeHueDegrees = 8.0;
constexpr double ShadeDullness = 0.8; // of the lit paper's chroma for its lightness

cv::Mat shadedPaperMask(const cv::Mat &bgr, const cv::Mat &lit)
{
    cv::Mat lab;
    toLab(bgr, lab);
    // The lit paper's hue and its chroma for its lightness, as medians.
    std::vector<float> hues;
    std::vector<float> ratios;
    for (int y = 0; y < lab.rows; y += 2) {
        const std::uint8_t *in = lab.ptr(y);
        const std::uint8_t *m = lit.ptr(y);
        for (int x = 0; x < lab.cols; x += 2)
            if (m[x] != 0) {
                const double da = in[3 * x + 1] - 128.0;
                const double db = in[3 * x + 2] - 128.0;
                hues.push_back(static_cast<float>(std::atan2(db, da) * 180.0 / std::numbers::pi));
                ratios.push_back(static_cast<float>(std::hypot(da, db) / std::max<int>(in[3 * x], 1)));
            }
    }
    if (hues.empty())
        return lit.clone();
    const auto median = [](std::vector<float> &v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return static_cast<double>(v[v.size() / 2]);
    };
    const double hue = median(hues);
    const double ratio = median(ratios);
    const std::vector<std::uint8_t> chromaOfHue = chromaTable(hue - ShadeHueDegrees, hue + ShadeHueDegrees);
    cv::Mat loose(lab.size(), CV_8U);
    for (int y = 0; y < lab.rows; ++y) {
        const std::uint8_t *in = lab.ptr(y);
        std::uint8_t *out = loose.ptr(y);
        for (int x = 0; x < lab.cols; ++x, in += 3) {
            const int chroma = chromaOfHue[static_cast<std::size_t>(in[1]) * 256 + static_cast<std::size_t>(in[2])];
            out[x] = in[0] >= DarkLightness && chroma >= PaperChromaFloor && chroma >= ShadeDullness * ratio * in[0]
                         ? 255
                         : 0;
        }
    }
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    cv::morphologyEx(loose, loose, cv::MORPH_OPEN, kernel);
    cv::morphologyEx(loose, loose, cv::MORPH_CLOSE, kernel);
    loose |= lit;
    cv::Mat labels;
    const int n = cv::connectedComponents(loose, labels, 8, CV_32S);
    std::vector<std::uint8_t> joined(static_cast<std::size_t>(n), 0);
    for (int y = 0; y < labels.rows; ++y) {
        const auto *l = labels.ptr<std::int32_t>(y);
        const std::uint8_t *m = lit.ptr(y);
        for (int x = 0; x < labels.cols; ++x)
            if (m[x] != 0)
                joined[static_cast<std::size_t>(l[x])] = 1;
    }
    joined[0] = 0;
    cv::Mat mask(loose.size(), CV_8U);
    for (int y = 0; y < labels.rows; ++y) {
        const auto *l = labels.ptr<std::int32_t>(y);
        std::uint8_t *out = mask.ptr(y);
        for (int x = 0; x < labels.cols; ++x)
            out[x] = joined[static_cast<std::size_t>(l[x])] != 0 ? 255 : 0;
    }
    return mask;
}

double distance(const cv::Point2d &a, const cv::Point2d &b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}

double signedArea(const std::array<cv::Point2d, 4> &q)
{
    double s = 0.0;
    for (std::size_t i = 0; i < 4; ++i)
        s += q[i].x * q[(i + 1) % 4].y - q[(i + 1) % 4].x * q[i].y;
    return s / 2.0;
}

// Four corners of an outline: its hull simplified until four remain, else
// the smallest rectangle around it.  Clockwise on the screen.
std::array<cv::Point2d, 4> roughCorners(const std::vector<cv::Point> &outline)
{
    std::vector<cv::Point> hull;
    cv::convexHull(outline, hull);
    const double perimeter = cv::arcLength(hull, true);
    std::array<cv::Point2d, 4> q;
    bool found = false;
    for (double share = 0.01; share <= 0.12 && !found; share += 0.005) {
        std::vector<cv::Point> poly;
        cv::approxPolyDP(hull, poly, share * perimeter, true);
        if (poly.size() == 4) {
            for (std::size_t i = 0; i < 4; ++i)
                q[i] = cv::Point2d(poly[i]);
            found = true;
        } else if (poly.size() < 4) {
            break;
        }
    }
    if (!found) {
        cv::Point2f box[4];
        cv::minAreaRect(hull).points(box);
        for (std::size_t i = 0; i < 4; ++i)
            q[i] = cv::Point2d(box[i]);
    }
    if (signedArea(q) < 0.0)
        std::reverse(q.begin(), q.end());
    return q;
}

struct FittedLine {
    cv::Point2d Point;
    cv::Point2d Direction;
};

std::optional<cv::Point2d> intersect(const FittedLine &a, const FittedLine &b)
{
    const double cross = a.Direction.x * b.Direction.y - a.Direction.y * b.Direction.x;
    if (std::fabs(cross) < 1e-9)
        return std::nullopt;
    const cv::Point2d d = b.Point - a.Point;
    const double t = (d.x * b.Direction.y - d.y * b.Direction.x) / cross;
    return a.Point + t * a.Direction;
}

// The corners again from straight lines fitted to the outline's points
// along each side (the middle of each side, away from rounded corners and
// from stains cut by the edge): far more exact than the hull's vertices.
std::array<cv::Point2d, 4> fittedCorners(const std::vector<cv::Point> &outline, const std::array<cv::Point2d, 4> &q)
{
    std::array<FittedLine, 4> lines;
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2d a = q[i];
        const cv::Point2d b = q[(i + 1) % 4];
        const double length = distance(a, b);
        lines[i] = {a, length > 0 ? (b - a) / length : cv::Point2d(1, 0)};
        if (length < 4.0)
            continue;
        const cv::Point2d dir = lines[i].Direction;
        const double near = std::max(2.5, 0.02 * length);
        std::vector<cv::Point2f> points;
        for (const cv::Point &p : outline) {
            const cv::Point2d d = cv::Point2d(p) - a;
            const double along = d.x * dir.x + d.y * dir.y;
            const double across = d.x * dir.y - d.y * dir.x;
            if (along > 0.08 * length && along < 0.92 * length && std::fabs(across) <= near)
                points.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        }
        if (points.size() < 8)
            continue;
        cv::Vec4f fit;
        cv::fitLine(points, fit, cv::DIST_HUBER, 0, 0.01, 0.01);
        lines[i] = {cv::Point2d(fit[2], fit[3]), cv::Point2d(fit[0], fit[1])};
    }
    std::array<cv::Point2d, 4> corners = q;
    for (std::size_t i = 0; i < 4; ++i)
        if (const std::optional<cv::Point2d> c = intersect(lines[(i + 3) % 4], lines[i]);
            c && distance(*c, q[i]) < 0.25 * (distance(q[i], q[(i + 1) % 4]) + distance(q[i], q[(i + 3) % 4])))
            corners[i] = *c;
    return corners;
}

struct Candidate {
    std::array<cv::Point2d, 4> Corners;
    std::string Problem; // empty for a card
};

// Whether an outline of the paper is a card of `size`, and its corners.
Candidate judge(const std::vector<cv::Point> &outline, const CardSize &size)
{
    Candidate c;
    c.Corners = fittedCorners(outline, roughCorners(outline));
    const std::array<cv::Point2d, 4> &q = c.Corners;
    const double sideA = (distance(q[0], q[1]) + distance(q[2], q[3])) / 2.0;
    const double sideB = (distance(q[1], q[2]) + distance(q[3], q[0])) / 2.0;
    const double longSide = std::max(sideA, sideB);
    const double shortSide = std::min(sideA, sideB);
    const double area = std::fabs(signedArea(q));
    const double filled = cv::contourArea(outline);
    const double expected = size.WidthMm / size.HeightMm;
    const double aspect = shortSide > 0 ? longSide / shortSide : 0.0;
    char text[160];
    if (shortSide < SmallestCardSide)
        std::snprintf(text, sizeof text, "is %.0f pixels across, too small to be analysed", shortSide);
    else if (aspect > expected * AspectTolerance || aspect < expected / AspectTolerance)
        std::snprintf(text, sizeof text, "has sides of %.2f to 1, where the card's are %.2f to 1", aspect, expected);
    else if (filled < 0.85 * area || filled > 1.1 * area)
        std::snprintf(text, sizeof text, "is no four-sided shape (its outline fills %.0f %% of its corners' shape)",
                      100.0 * filled / std::max(area, 1.0));
    else
        return c;
    c.Problem = text;
    return c;
}

std::vector<std::vector<cv::Point>> outlines(const cv::Mat &mask)
{
    std::vector<std::vector<cv::Point>> found;
    cv::findContours(mask, found, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    return found;
}

// Turns the corners so that the first is the card's top left (see the header).
FoundCard orientedCard(const std::array<cv::Point2d, 4> &q)
{
    const double sideA = (distance(q[0], q[1]) + distance(q[2], q[3])) / 2.0;
    const double sideB = (distance(q[1], q[2]) + distance(q[3], q[0])) / 2.0;
    // The first corner starts a long side.
    std::size_t first = sideA >= sideB ? 0 : 1;
    auto angleOf = [&](std::size_t from) {
        const cv::Point2d d = q[(from + 1) % 4] - q[from];
        return std::atan2(d.y, d.x) * 180.0 / std::numbers::pi;
    };
    // Of the two long sides, the top one needs the lesser turn (the two
    // differ by about half a turn; under perspective not exactly); an
    // upright card is taken as turned clockwise.
    double angle = angleOf(first);
    const double other = angleOf(first + 2);
    constexpr double Tie = 1e-9;
    if (std::fabs(other) < std::fabs(angle) - Tie ||
        (std::fabs(std::fabs(other) - std::fabs(angle)) <= Tie && other > angle)) {
        first += 2;
        angle = other;
    }
    FoundCard card;
    for (std::size_t i = 0; i < 4; ++i)
        card.Corners[i] = {q[(first + i) % 4].x, q[(first + i) % 4].y};
    card.TurnDegrees = angle;
    card.LongSidePixels = std::max(sideA, sideB);
    card.ShortSidePixels = std::min(sideA, sideB);
    return card;
}

// Straight: every side within StraightDegrees of a row or a column.
bool liesStraight(const std::array<cv::Point2d, 4> &q)
{
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2d d = q[(i + 1) % 4] - q[i];
        const double angle = std::fabs(std::atan2(d.y, d.x) * 180.0 / std::numbers::pi);
        const double off = std::fmod(angle, 90.0);
        if (std::min(off, 90.0 - off) > StraightDegrees)
            return false;
    }
    return true;
}

// Reading order: rows by overlap of the cards' heights, then left to right.
void sortInReadingOrder(std::vector<FoundCard> &cards)
{
    struct Extent {
        double Top, Bottom, Left;
    };
    auto extent = [](const FoundCard &c) {
        Extent e{c.Corners[0].Y, c.Corners[0].Y, c.Corners[0].X};
        for (const PicturePoint &p : c.Corners) {
            e.Top = std::min(e.Top, p.Y);
            e.Bottom = std::max(e.Bottom, p.Y);
            e.Left = std::min(e.Left, p.X);
        }
        return e;
    };
    std::stable_sort(cards.begin(), cards.end(),
                     [&](const FoundCard &a, const FoundCard &b) { return extent(a).Top < extent(b).Top; });
    std::vector<FoundCard> ordered;
    std::size_t start = 0;
    while (start < cards.size()) {
        const Extent row = extent(cards[start]);
        std::size_t end = start + 1;
        while (end < cards.size()) {
            const Extent e = extent(cards[end]);
            const double overlap = std::min(row.Bottom, e.Bottom) - std::max(row.Top, e.Top);
            if (overlap < 0.5 * std::min(row.Bottom - row.Top, e.Bottom - e.Top))
                break;
            ++end;
        }
        std::stable_sort(cards.begin() + static_cast<std::ptrdiff_t>(start),
                         cards.begin() + static_cast<std::ptrdiff_t>(end),
                         [&](const FoundCard &a, const FoundCard &b) { return extent(a).Left < extent(b).Left; });
        start = end;
    }
}

// The outline of the paper around a rough quadrilateral, on the whole
// picture: the largest outline in the region around it.
std::optional<std::vector<cv::Point>> fullOutline(const cv::Mat &picture, const std::array<cv::Point2d, 4> &rough,
                                                  double threshold, int lightFloor, bool shaded)
{
    double left = rough[0].x;
    double right = left;
    double top = rough[0].y;
    double bottom = top;
    for (const cv::Point2d &p : rough) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    const double margin = 8.0 + 0.04 * std::max(right - left, bottom - top);
    const cv::Rect region =
        cv::Rect(cv::Point(static_cast<int>(std::floor(left - margin)), static_cast<int>(std::floor(top - margin))),
                 cv::Point(static_cast<int>(std::ceil(right + margin)) + 1,
                           static_cast<int>(std::ceil(bottom + margin)) + 1)) &
        cv::Rect(0, 0, picture.cols, picture.rows);
    if (region.empty())
        return std::nullopt;
    cv::Mat mask = paperMask(paperChroma(picture(region), lightFloor), threshold);
    if (shaded)
        mask = shadedPaperMask(picture(region), mask);
    std::vector<std::vector<cv::Point>> found = outlines(mask);
    if (found.empty())
        return std::nullopt;
    std::vector<cv::Point> *largest = &found.front();
    double largestArea = -1.0;
    for (std::vector<cv::Point> &o : found)
        if (const double a = cv::contourArea(o); a > largestArea) {
            largestArea = a;
            largest = &o;
        }
    for (cv::Point &p : *largest)
        p += region.tl();
    return std::move(*largest);
}

} // namespace

Result<std::vector<FoundCard>> findCards(const PictureView &picture, const CardSize &size)
{
    using Found = Result<std::vector<FoundCard>>;
    if (picture.Top == nullptr || picture.Width < 8 || picture.Height < 8)
        return Found(Status::failure("no card was found: the picture is too small"));
    const cv::Mat whole = matOf(picture);
    const double scale = std::min(1.0, static_cast<double>(SearchSide) / std::max(whole.cols, whole.rows));
    cv::Mat small = whole;
    if (scale < 1.0)
        cv::resize(whole, small, cv::Size(), scale, scale, cv::INTER_AREA);
    const double threshold = paperThreshold(paperChroma(small, DarkLightness));
    const int lightFloor = paperLightFloor(small, paperChroma(small, DarkLightness), threshold);
    const cv::Mat lit = paperMask(paperChroma(small, lightFloor), threshold);

    std::string closest;
    double closestArea = 0.0;
    const double smallestArea = SmallestCardSide * SmallestCardSide * scale * scale;
    const auto search = [&](const cv::Mat &mask, bool shaded) {
        std::vector<FoundCard> found;
        for (const std::vector<cv::Point> &outline : outlines(mask)) {
            const double area = cv::contourArea(outline);
            if (area < smallestArea)
                continue;
            const Candidate rough = judge(outline, size);
            if (!rough.Problem.empty()) {
                if (area > closestArea) {
                    closestArea = area;
                    closest = rough.Problem;
                }
                continue;
            }
            std::array<cv::Point2d, 4> corners = rough.Corners;
            for (cv::Point2d &p : corners)
                p = (p + cv::Point2d(0.5, 0.5)) / scale - cv::Point2d(0.5, 0.5);
            if (scale < 1.0) {
                const std::optional<std::vector<cv::Point>> full =
                    fullOutline(whole, corners, threshold, lightFloor, shaded);
                if (!full)
                    continue;
                const Candidate fitted = judge(*full, size);
                if (!fitted.Problem.empty())
                    continue;
                corners = fitted.Corners;
            }
            FoundCard card = orientedCard(corners);
            card.Straight = liesStraight(corners);
            constexpr double EdgeMargin = 1.5;
            for (const cv::Point2d &c : corners)
                card.AtPictureEdge = card.AtPictureEdge || c.x < EdgeMargin || c.y < EdgeMargin ||
                                     c.x > whole.cols - 1 - EdgeMargin || c.y > whole.rows - 1 - EdgeMargin;
            found.push_back(card);
        }
        return found;
    };
    std::vector<FoundCard> cards = search(lit, false);
    // Paper in shadow joined to paper in full light makes a card clearly
    // larger than the lit part alone: it replaces the cards found inside it.
    // A card merely a little larger has taken in the blur of its edges.
    if (const cv::Mat shadedMask = shadedPaperMask(small, lit);
        cv::countNonZero(shadedMask) > cv::countNonZero(lit) + smallestArea) {
        const auto quadOf = [](const FoundCard &card) {
            std::vector<cv::Point2f> quad;
            for (const PicturePoint &c : card.Corners)
                quad.emplace_back(static_cast<float>(c.X), static_cast<float>(c.Y));
            return quad;
        };
        for (const FoundCard &shaded : search(shadedMask, true)) {
            const std::vector<cv::Point2f> quad = quadOf(shaded);
            const auto inside = [&quad](const FoundCard &card) {
                const cv::Point2f centre(static_cast<float>((card.Corners[0].X + card.Corners[2].X) / 2),
                                         static_cast<float>((card.Corners[0].Y + card.Corners[2].Y) / 2));
                return cv::pointPolygonTest(quad, centre, false) >= 0;
            };
            double litArea = 0.0;
            for (const FoundCard &card : cards)
                if (inside(card))
                    litArea += cv::contourArea(quadOf(card));
            constexpr double ClearlyLarger = 1.05;
            if (cv::contourArea(quad) < ClearlyLarger * litArea)
                continue;
            std::erase_if(cards, inside);
            cards.push_back(shaded);
        }
    }
    if (cards.empty()) {
        if (closest.empty())
            return Found(Status::failure("no card was found: nothing in the picture has the colour of "
                                         "water-sensitive paper"));
        return Found(Status::failure("no card was found: the largest area of the paper's colour " + closest));
    }
    sortInReadingOrder(cards);
    return cards;
}

FoundCard cardFromCorners(const std::array<PicturePoint, 4> &corners)
{
    std::array<cv::Point2d, 4> q;
    for (std::size_t i = 0; i < 4; ++i)
        q[i] = {corners[i].X, corners[i].Y};
    // Corners dragged across each other are taken the other way round.
    if (signedArea(q) < 0)
        std::swap(q[1], q[3]);
    FoundCard card = orientedCard(q);
    card.Straight = liesStraight(q);
    return card;
}

PixelRect straightCut(const FoundCard &card, std::int32_t pictureWidth, std::int32_t pictureHeight)
{
    // The outline runs through the centres of the paper's outermost pixels.
    double left = card.Corners[0].X;
    double right = left;
    double top = card.Corners[0].Y;
    double bottom = top;
    std::array<double, 4> xs{};
    std::array<double, 4> ys{};
    for (std::size_t i = 0; i < 4; ++i) {
        xs[i] = card.Corners[i].X;
        ys[i] = card.Corners[i].Y;
    }
    std::sort(xs.begin(), xs.end());
    std::sort(ys.begin(), ys.end());
    // Of the two corners on each side, the one further in.
    left = xs[1];
    right = xs[2];
    top = ys[1];
    bottom = ys[2];
    // Fitted lines land a hair off whole pixels.
    constexpr double Slack = 0.05;
    const auto x0 = std::max(0, static_cast<std::int32_t>(std::ceil(left - Slack)) + CutInsetPixels);
    const auto y0 = std::max(0, static_cast<std::int32_t>(std::ceil(top - Slack)) + CutInsetPixels);
    const auto x1 = std::min(pictureWidth - 1, static_cast<std::int32_t>(std::floor(right + Slack)) - CutInsetPixels);
    const auto y1 = std::min(pictureHeight - 1, static_cast<std::int32_t>(std::floor(bottom + Slack)) - CutInsetPixels);
    return {x0, y0, std::max(0, x1 - x0 + 1), std::max(0, y1 - y0 + 1)};
}

std::int32_t photoResolution(const FoundCard &card, const CardSize &size)
{
    constexpr double MillimetresPerInch = 25.4;
    const double dpi =
        (card.LongSidePixels / size.WidthMm + card.ShortSidePixels / size.HeightMm) / 2.0 * MillimetresPerInch;
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(dpi)));
}

namespace {

cv::Mat warpOf(const FoundCard &card, int width, int height)
{
    std::array<cv::Point2f, 4> from;
    for (std::size_t i = 0; i < 4; ++i)
        from[i] = cv::Point2f(static_cast<float>(card.Corners[i].X), static_cast<float>(card.Corners[i].Y));
    // Corner pixels' centres onto corner pixels' centres.
    const std::array<cv::Point2f, 4> to = {cv::Point2f(0, 0), cv::Point2f(static_cast<float>(width - 1), 0),
                                           cv::Point2f(static_cast<float>(width - 1), static_cast<float>(height - 1)),
                                           cv::Point2f(0, static_cast<float>(height - 1))};
    return cv::getPerspectiveTransform(from.data(), to.data());
}

ColourImage colourFromMat(const cv::Mat &m)
{
    ColourImage c;
    c.Width = m.cols;
    c.Height = m.rows;
    c.Bgr.resize(static_cast<std::size_t>(m.cols) * static_cast<std::size_t>(m.rows) * 3);
    for (int y = 0; y < m.rows; ++y)
        std::memcpy(c.row(m.rows - 1 - y), m.ptr(y), static_cast<std::size_t>(m.cols) * 3);
    return c;
}

// The 8-bit rows of a picture, top row first.
cv::Mat indicesOf(const IndexedImage &picture)
{
    const std::int32_t rows = picture.rowsHeld();
    cv::Mat m(rows, picture.Width, CV_8U);
    for (std::int32_t y = 0; y < rows; ++y)
        std::memcpy(m.ptr(y), picture.row(rows - 1 - y), static_cast<std::size_t>(picture.Width));
    return m;
}

IndexedImage indexedFromMat(const cv::Mat &m, const IndexedImage &like)
{
    IndexedImage out;
    out.Width = m.cols;
    out.Height = m.rows;
    out.PaletteBgr = like.PaletteBgr;
    out.Pixels.resize(static_cast<std::size_t>(m.cols) * static_cast<std::size_t>(m.rows));
    for (int y = 0; y < m.rows; ++y)
        std::memcpy(out.row(m.rows - 1 - y), m.ptr(y), static_cast<std::size_t>(m.cols));
    return out;
}

} // namespace

StraightenedCard straightenCard(const SearchedPicture &picture, const FoundCard &card, const CardSize &size,
                                std::optional<std::int32_t> scanDpi)
{
    StraightenedCard out;
    out.IsColour = picture.Indexed == nullptr;
    const std::int32_t pictureWidth = out.IsColour ? picture.Colour->Width : picture.Indexed->Width;
    const std::int32_t pictureHeight = out.IsColour ? picture.Colour->Height : picture.Indexed->rowsHeld();
    out.Corners = card.Corners;
    if (scanDpi && card.Straight) {
        // The scan's own pixels, bottom row first as every picture here.
        std::size_t first = 0;
        for (std::size_t i = 1; i < 4; ++i)
            if (card.Corners[i].X + card.Corners[i].Y < card.Corners[first].X + card.Corners[first].Y)
                first = i;
        for (std::size_t i = 0; i < 4; ++i)
            out.Corners[i] = card.Corners[(first + i) % 4];
        const PixelRect cut = straightCut(card, pictureWidth, pictureHeight);
        out.ResolutionDpi = *scanDpi;
        const auto bytes = static_cast<std::size_t>(out.IsColour ? 3 : 1);
        auto copyRows = [&](auto &target, const auto &source) {
            target.Width = cut.Width;
            target.Height = cut.Height;
            for (std::int32_t y = 0; y < cut.Height; ++y) {
                const std::int32_t fromBottom = pictureHeight - 1 - (cut.Y + cut.Height - 1 - y);
                std::memcpy(target.row(y), source.row(fromBottom) + bytes * static_cast<std::size_t>(cut.X),
                            bytes * static_cast<std::size_t>(cut.Width));
            }
        };
        const std::size_t count = static_cast<std::size_t>(cut.Width) * static_cast<std::size_t>(cut.Height);
        if (out.IsColour) {
            out.Colour.SourceBits = picture.Colour->SourceBits;
            out.Colour.Bgr.resize(count * 3);
            copyRows(out.Colour, *picture.Colour);
        } else {
            out.Indexed.PaletteBgr = picture.Indexed->PaletteBgr;
            out.Indexed.Pixels.resize(count);
            copyRows(out.Indexed, *picture.Indexed);
        }
        return out;
    }
    int width = 0;
    int height = 0;
    if (scanDpi) {
        // A turned card on a scan: the scan's resolution, its own pixels.
        out.ResolutionDpi = *scanDpi;
        width = static_cast<int>(std::lround(card.LongSidePixels)) + 1;
        height = static_cast<int>(std::lround(card.ShortSidePixels)) + 1;
    } else {
        out.ResolutionDpi = photoResolution(card, size);
        constexpr double MillimetresPerInch = 25.4;
        width = static_cast<int>(std::lround(size.WidthMm / MillimetresPerInch * out.ResolutionDpi));
        height = static_cast<int>(std::lround(size.HeightMm / MillimetresPerInch * out.ResolutionDpi));
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
    out.Resampled = true;
    const cv::Mat transform = warpOf(card, width, height);
    cv::Mat warped;
    if (out.IsColour) {
        cv::warpPerspective(matOf(viewOf(*picture.Colour)), warped, transform, cv::Size(width, height), cv::INTER_CUBIC,
                            cv::BORDER_REPLICATE);
        out.Colour = colourFromMat(warped);
        out.Colour.SourceBits = picture.Colour->SourceBits;
    } else {
        // Nearest pixels: every colour stays one of the table's.
        cv::warpPerspective(indicesOf(*picture.Indexed), warped, transform, cv::Size(width, height), cv::INTER_NEAREST,
                            cv::BORDER_REPLICATE);
        out.Indexed = indexedFromMat(warped, *picture.Indexed);
    }
    return out;
}

} // namespace vex
