#include "intake/PhotoStains.h"

#include "intake/Hue.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <queue>
#include <vector>

namespace vex {
namespace {

// Table layout: 0 black and unused, 1 the paper, then the stain colours.
constexpr int PaperIndex = 1;
constexpr int FirstStainIndex = 2;
constexpr int Replicas = 11;
constexpr int HueBins = (256 - FirstStainIndex) / Replicas; // 23 bins of about 11 hue steps

// A pixel whose colour (its channels' ratios to the paper's, brightness
// aside) differs this much from the paper's is certainly stain, whatever the
// light: the log ratios of blue stain and yellow paper differ by 3 and more.
constexpr float StrongDeviation = 0.5f;
// Pixels whose colour differs this much from the paper's are left out of
// the paper estimate: the blur tails of stains (a twentieth of stain in a
// pixel differs by 0.2).
constexpr float PaperDeviation = 0.1f;
// Below this share of the way to the stain colour a pixel counts as paper
// for the estimate of the noise.
constexpr float PaperContrast = 0.1f;
// The stain colour is learnt from this many interior pixels at least.
constexpr int MinimumInterior = 100;
// A stain must darken the paper by at least this much to be learnt from.
constexpr double MinimumStainContrast = 0.3;
// A stain is pixels at least FaintShare of the way to the stain colour,
// one of them at least FaintPeak (both higher on a noisy picture).
constexpr double FaintShare = 0.12;
constexpr double FaintPeak = 0.3;
// The band along the card's edges that is not searched for stains.
constexpr double EdgeMm = 0.05;
// How far from the card's edge such a strip may reach: a card finder's
// corners may be off by one and a half percent of a card's width.
constexpr double EdgeCheckMm = 1.5;
// A stain reaching in across the card's edge lightens the paper in the
// channels the dye lightens by at least this share of what its darkening
// in the others says.
constexpr float EdgeColourShare = 0.2f;
// The paper is estimated every quarter millimetre and smoothed over half a
// millimetre: wide enough to reach across the largest stains, narrow enough
// to follow the edge of a shadow.
constexpr double CellMm = 0.25;
constexpr double PaperSmoothingMm = 0.5;
// A stain that does not reach half the stain colour over this many pixels is
// sized by the colour it holds rather than by its half-way edge: a disc of
// three pixels' radius.
constexpr int SmallStainPixels = 28;
// How closely a mark's colour, as a contrast against the paper, must point
// the way of the dye's to be taken as a stain of it (the cosine of the angle
// between them; a tenth of a turn).
constexpr double SameDyeCosine = 0.8;
// A faint stain covers this many pixels at most, blur and all.
constexpr int FaintStainPixels = 4 * SmallStainPixels;

// A blue stain on yellow paper as a contrast against the paper in linear
// light (1 - stain / paper; blue, where the stain is lighter, left out):
// for a card that shows no stain to learn from.
const cv::Vec3f TypicalStainContrast(0.0f, 0.95f, 0.98f);

// sRGB levels to linear light and back: blur mixes light, not levels, so
// the pixel halfway between paper and stain in light is on the stain's
// edge.
std::array<float, 256> linearTable()
{
    std::array<float, 256> table{};
    for (int v = 0; v < 256; ++v) {
        const double c = v / 255.0;
        table[static_cast<std::size_t>(v)] =
            static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return table;
}

double toLevel(double linear)
{
    const double c = std::clamp(linear, 0.0, 1.0);
    return 255.0 * (c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055);
}

// A floor under every channel: a black channel would otherwise divide by
// zero, and the noise of the darkest levels means nothing.
constexpr float LightFloor = 1e-3f;

cv::Mat norms(const cv::Mat &contrast)
{
    cv::Mat squared = contrast.mul(contrast);
    cv::Mat sum;
    cv::transform(squared, sum, cv::Matx13f(1.0f, 1.0f, 1.0f));
    cv::sqrt(sum, sum);
    return sum;
}

// Runs `band(first, last)` over bands of the rows [0, rows) on every core;
// for per-pixel work whose pixels do not depend on each other.
template <class Band>
void overRows(int rows, const Band &band)
{
    constexpr double BandsPerCore = 4;
    cv::parallel_for_(
        cv::Range(0, rows), [&band](const cv::Range &r) { band(r.start, r.end); },
        BandsPerCore * std::max(1, cv::getNumThreads()));
}

cv::Mat toLinear(const BgrView &view)
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t = linearTable();
        for (float &v : t)
            v += LightFloor;
        return t;
    }();
    cv::Mat f(view.Height, view.Width, CV_32FC3);
    overRows(view.Height, [&](int first, int last) {
        for (int y = first; y < last; ++y) {
            const std::uint8_t *in = view.TopRow + static_cast<std::ptrdiff_t>(y) * view.RowStep;
            auto *out = f.ptr<float>(y);
            for (int i = 0; i < 3 * view.Width; ++i)
                out[i] = table[in[i]];
        }
    });
    return f;
}

// How far each pixel's colour lies from the paper's, brightness aside: the
// spread of its channels' log ratios to the paper.  Light that dims every
// channel alike leaves it at 0.
cv::Mat colourDeviation(const cv::Mat &f3, const cv::Mat &paper)
{
    cv::Mat ratio;
    cv::divide(f3, paper, ratio);
    cv::log(ratio, ratio);
    cv::Mat mean;
    cv::transform(ratio, mean, cv::Matx13f(1.0f / 3, 1.0f / 3, 1.0f / 3));
    cv::Mat mean3;
    cv::merge(std::vector<cv::Mat>{mean, mean, mean}, mean3);
    return norms(ratio - mean3);
}

// The same over bands of rows on every core: a pixel's deviation is its own.
cv::Mat colourDeviationOf(const cv::Mat &f3, const cv::Mat &paper)
{
    cv::Mat deviation(f3.size(), CV_32F);
    overRows(f3.rows, [&](int first, int last) {
        colourDeviation(f3.rowRange(first, last), paper.rowRange(first, last)).copyTo(deviation.rowRange(first, last));
    });
    return deviation;
}

// The median of each channel over the pixels where mask is set, from at most
// about 200000 of them.
cv::Vec3f medianColour(const cv::Mat &f3, const cv::Mat &mask, bool &found)
{
    const auto total = static_cast<std::size_t>(cv::countNonZero(mask));
    found = total > 0;
    if (!found)
        return {};
    const std::size_t step = std::max<std::size_t>(1, total / 200000);
    std::array<std::vector<float>, 3> values;
    std::size_t seen = 0;
    for (int y = 0; y < f3.rows; ++y) {
        const auto *p = f3.ptr<cv::Vec3f>(y);
        const auto *m = mask.ptr<std::uint8_t>(y);
        for (int x = 0; x < f3.cols; ++x)
            if (m[x] != 0 && seen++ % step == 0)
                for (int c = 0; c < 3; ++c)
                    values[static_cast<std::size_t>(c)].push_back(p[x][c]);
    }
    cv::Vec3f median;
    for (int c = 0; c < 3; ++c) {
        std::vector<float> &v = values[static_cast<std::size_t>(c)];
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        median[c] = v[v.size() / 2];
    }
    return median;
}

// The paper colour on a grid of cells: the mean of the paper pixels of each
// cell, smoothed over neighbouring cells, each weighted by its paper pixels
// (so cells under a large stain take their neighbours' paper); `fallback`
// where there is no paper near at all.
cv::Mat paperModel(const cv::Mat &f3, const cv::Mat &paperMask, double dpi, const cv::Vec3f &fallback)
{
    const double pxPerMm = dpi / 25.4;
    const int cell = std::max(1, static_cast<int>(std::lround(CellMm * pxPerMm)));
    const cv::Size small(std::max(1, f3.cols / cell), std::max(1, f3.rows / cell));
    cv::Mat weight;
    paperMask.convertTo(weight, CV_32F, 1.0 / 255.0);
    cv::Mat weighted;
    cv::Mat weight3;
    cv::merge(std::vector<cv::Mat>{weight, weight, weight}, weight3);
    cv::multiply(f3, weight3, weighted);
    cv::Mat sumSmall;
    cv::Mat weightSmall;
    cv::resize(weighted, sumSmall, small, 0, 0, cv::INTER_AREA);
    cv::resize(weight, weightSmall, small, 0, 0, cv::INTER_AREA);
    const double sigma = std::max(0.5, PaperSmoothingMm * pxPerMm / cell);
    cv::GaussianBlur(sumSmall, sumSmall, {0, 0}, sigma, sigma, cv::BORDER_REPLICATE);
    cv::GaussianBlur(weightSmall, weightSmall, {0, 0}, sigma, sigma, cv::BORDER_REPLICATE);
    constexpr float Prior = 1e-4f;
    cv::Mat paperSmall(small, CV_32FC3);
    for (int y = 0; y < small.height; ++y) {
        const auto *s = sumSmall.ptr<cv::Vec3f>(y);
        const auto *w = weightSmall.ptr<float>(y);
        auto *p = paperSmall.ptr<cv::Vec3f>(y);
        for (int x = 0; x < small.width; ++x)
            p[x] = (s[x] + Prior * fallback) / (w[x] + Prior);
    }
    return paperSmall;
}

cv::Mat upsample(const cv::Mat &grid, cv::Size size)
{
    cv::Mat full;
    cv::resize(grid, full, size, 0, 0, cv::INTER_LINEAR);
    return full;
}

// Each pixel's share of the way from the paper to the stain colour; counts
// in `below` the pixels whose share is under `limit`.
cv::Mat shareOf(const cv::Mat &f3, const cv::Mat &paper, const cv::Vec3f &weight, float limit, std::int64_t &below)
{
    cv::Mat share(f3.size(), CV_32F);
    std::atomic<std::int64_t> counted{0};
    overRows(f3.rows, [&](int first, int last) {
        std::int64_t n = 0;
        for (int y = first; y < last; ++y) {
            const auto *f = f3.ptr<cv::Vec3f>(y);
            const auto *p = paper.ptr<cv::Vec3f>(y);
            auto *t = share.ptr<float>(y);
            for (int x = 0; x < f3.cols; ++x) {
                t[x] = weight[0] * (1.0f - f[x][0] / p[x][0]) + weight[1] * (1.0f - f[x][1] / p[x][1]) +
                       weight[2] * (1.0f - f[x][2] / p[x][2]);
                n += t[x] < limit ? 1 : 0;
            }
        }
        counted += n;
    });
    below = counted;
    return share;
}

// 1 - pixel / paper, per channel: 0 on the paper whatever the light.
cv::Mat contrastOf(const cv::Mat &f3, const cv::Mat &paper)
{
    cv::Mat ratio;
    cv::divide(f3, paper, ratio);
    return cv::Scalar::all(1.0) - ratio;
}

// The robust spread (1.4826 x median absolute deviation) of the values
// under `limit`, `count` of them.
double robustSpread(const cv::Mat &values, float limit, std::int64_t count)
{
    std::vector<float> v;
    const std::size_t step = std::max<std::size_t>(1, static_cast<std::size_t>(count) / 200000);
    v.reserve(static_cast<std::size_t>(count) / step + 1);
    std::size_t seen = 0;
    for (int y = 0; y < values.rows; ++y) {
        const auto *p = values.ptr<float>(y);
        for (int x = 0; x < values.cols; ++x)
            if (p[x] < limit && seen++ % step == 0)
                v.push_back(p[x]);
    }
    if (v.size() < 2)
        return 0.0;
    const auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), middle, v.end());
    const float median = *middle;
    for (float &x : v)
        x = std::abs(x - median);
    std::nth_element(v.begin(), middle, v.end());
    return 1.4826 * *middle;
}

// Clears in `mask` the strips of what the card lay on along its four edges:
// in each eighth of an edge, the lines from the edge inward whose middle
// pixel is at least `level` (`foreign(y, x)`: 1 where a pixel is not of the
// card), at most `deepest` of them.  Only those lines are ever looked at.
template <class Foreign>
void clearEdgeStrips(cv::Mat &mask, const Foreign &foreign, float level, int deepest)
{
    constexpr int Parts = 8;
    std::vector<float> line;
    // Left, right, top, bottom.
    for (int side = 0; side < 4; ++side) {
        const bool across = side >= 2;
        const int length = across ? mask.cols : mask.rows;
        const int breadth = across ? mask.rows : mask.cols;
        for (int part = 0; part < Parts; ++part) {
            const int first = part * length / Parts;
            const int last = (part + 1) * length / Parts;
            if (last <= first)
                continue;
            int depth = 0;
            for (; depth < std::min(deepest, breadth); ++depth) {
                const int inward = side % 2 == 0 ? depth : breadth - 1 - depth;
                line.clear();
                for (int along = first; along < last; ++along)
                    line.push_back(across ? foreign(inward, along) : foreign(along, inward));
                const auto middle = line.begin() + static_cast<std::ptrdiff_t>(line.size() / 2);
                std::nth_element(line.begin(), middle, line.end());
                if (*middle < level)
                    break;
            }
            if (depth == 0)
                continue;
            const int reach = std::min(depth + 1, breadth);
            const int from = side % 2 == 0 ? 0 : breadth - reach;
            mask(across ? cv::Rect(first, from, last - first, reach) : cv::Rect(from, first, reach, last - first))
                .setTo(0);
        }
    }
}

cv::Mat kernel3()
{
    return cv::getStructuringElement(cv::MORPH_RECT, {3, 3});
}

// Touching drops are cut apart where each is at least two pixels in radius
// (as the stain scan's own cutting asks), in stains of CutMinimumArea pixels
// and more; a cut leaves no piece under CutSliverPixels.
constexpr float CutMinimumPeak = 2.0f;
constexpr int CutSliverPixels = 4;
constexpr int CutMinimumArea = 20;
// A drop reaching more than half its radius into a larger one's disc is
// taken as part of it: an oval up to nearly three times as long as wide
// stays whole.
constexpr float CutReachShare = 0.5f;

// One stain of touching drops cut into its drops: the parts of `mask`
// (0/1, a clear pixel all round) flooded from the peaks that stand out in its
// distance map weighted by each pixel's share of stain colour (`share`), and
// each part's pixels next to a larger part's given to the paper, so that the
// stain scan takes them as stains of their own whatever its settings.  A
// peak stands out when a valley, however shallow, parts it from every higher
// one, its drop is at least CutMinimumPeak pixels in radius, and it lies
// further from the highest than that one's radius and CutReachShare of its
// own: the ridge of an oval, a bump of a ragged edge or a drop swallowed by
// more than half stays whole.  Blur and the halved colour detail of JPEG
// fill the neck between two drops: in the plain distance map any valley
// left a quarter of the touching pairs of a 600 dpi photo whole; weighted
// by colour the neck lies lower, yet asking there for a valley a twentieth
// of the peak deep still left a quarter whole.  Returns the parts made.
int cutStain(cv::Mat &mask, const cv::Mat &share)
{
    cv::Mat distance;
    cv::distanceTransform(mask, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE);
    const auto *radius = distance.ptr<float>();
    // Each pixel's distance weighted by how fully it is stain: the blurred
    // neck between two drops lies lower than their solid middles.
    const int total = static_cast<int>(mask.total());
    std::vector<float> heights(static_cast<std::size_t>(total));
    const auto *weight = share.ptr<float>();
    for (int i = 0; i < total; ++i)
        heights[static_cast<std::size_t>(i)] = radius[i] * std::min(std::max(weight[i], 0.0f), 1.0f);
    const int w = mask.cols;
    const float *height = heights.data();
    const int around[8] = {-w - 1, -w, -w + 1, -1, 1, w - 1, w, w + 1};
    // Only a pixel that comes before all its neighbours in the flooding
    // order below starts a region of its own, and only such a one, lower
    // than the highest and of CutMinimumPeak, can stand out: a stain without
    // one (a single round drop) is whole, and its flooding is spared.
    const auto before = [height](int a, int b) { return height[a] != height[b] ? height[a] > height[b] : a < b; };
    int top = -1;
    int candidates = 0;
    for (int i = 0; i < total; ++i) {
        if (mask.data[i] == 0)
            continue;
        if (top < 0 || before(i, top))
            top = i;
        if (radius[i] < CutMinimumPeak)
            continue;
        bool first = true;
        for (const int step : around)
            if (mask.data[i + step] != 0 && before(i + step, i)) {
                first = false;
                break;
            }
        candidates += first ? 1 : 0;
    }
    // The highest pixel is one of them when it is of CutMinimumPeak.
    if (candidates - (radius[top] >= CutMinimumPeak ? 1 : 0) <= 0)
        return 1;
    std::vector<int> order;
    for (int i = 0; i < total; ++i)
        if (mask.data[i] != 0)
            order.push_back(i);
    std::sort(order.begin(), order.end(), before);

    // Flooded from the top down; where two regions meet, the lower peak
    // ends, and is kept when it stood out.
    std::vector<int> parent(mask.total(), -1);
    std::vector<int> peakOf(mask.total(), -1);
    auto root = [&parent](int i) {
        while (parent[static_cast<std::size_t>(i)] != i)
            i = parent[static_cast<std::size_t>(i)] =
                parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
        return i;
    };
    std::vector<int> kept;
    for (const int i : order) {
        parent[static_cast<std::size_t>(i)] = i;
        peakOf[static_cast<std::size_t>(i)] = i;
        for (const int step : around) {
            const int j = i + step;
            if (parent[static_cast<std::size_t>(j)] < 0)
                continue;
            int a = root(i);
            int b = root(j);
            if (a == b)
                continue;
            int pa = peakOf[static_cast<std::size_t>(a)];
            int pb = peakOf[static_cast<std::size_t>(b)];
            if (height[pa] < height[pb] || (height[pa] == height[pb] && pa > pb)) {
                std::swap(a, b);
                std::swap(pa, pb);
            }
            const float low = height[pb];
            const float saddle = height[i];
            const double dx = pa % w - pb % w;
            const double dy = pa / w - pb / w;
            if (radius[pb] >= CutMinimumPeak && low > saddle &&
                std::hypot(dx, dy) > radius[pa] + CutReachShare * radius[pb])
                kept.push_back(pb);
            parent[static_cast<std::size_t>(b)] = a;
        }
    }
    if (kept.empty())
        return 1;
    kept.push_back(peakOf[static_cast<std::size_t>(root(order.front()))]);

    // The parts, flooded from the kept peaks down the distance map.
    cv::Mat part(mask.size(), CV_32S, cv::Scalar(0));
    auto *label = part.ptr<std::int32_t>();
    struct Front {
        float Height;
        int Order;
        int Index;
        std::int32_t Label;
        bool operator<(const Front &o) const { return Height != o.Height ? Height < o.Height : Order > o.Order; }
    };
    std::priority_queue<Front> front;
    int pushed = 0;
    // A pixel's first arrival in the front is the one taken, whoever else
    // reaches it later: it is queued once.
    std::vector<char> queued(static_cast<std::size_t>(total), 0);
    for (std::size_t k = 0; k < kept.size(); ++k)
        if (queued[static_cast<std::size_t>(kept[k])] == 0) {
            queued[static_cast<std::size_t>(kept[k])] = 1;
            front.push({height[kept[k]], pushed++, kept[k], static_cast<std::int32_t>(k + 1)});
        }
    while (!front.empty()) {
        const Front f = front.top();
        front.pop();
        label[f.Index] = f.Label;
        for (const int step : around) {
            const int j = f.Index + step;
            if (mask.data[j] != 0 && queued[static_cast<std::size_t>(j)] == 0) {
                queued[static_cast<std::size_t>(j)] = 1;
                front.push({height[j], pushed++, j, f.Label});
            }
        }
    }
    // The seam is taken from the larger of two parts: its area suffers less.
    std::vector<int> area(kept.size() + 1, 0);
    for (int i : order)
        ++area[static_cast<std::size_t>(label[i])];
    auto larger = [&area](std::int32_t a, std::int32_t b) {
        return area[static_cast<std::size_t>(a)] != area[static_cast<std::size_t>(b)]
                   ? area[static_cast<std::size_t>(a)] > area[static_cast<std::size_t>(b)]
                   : a < b;
    };
    for (const int i : order)
        for (const int step : around) {
            const std::int32_t other = label[i + step];
            if (other != 0 && other != label[i] && larger(label[i], other)) {
                mask.data[i] = 0;
                break;
            }
        }
    // A pixel or two the seam parted from its drop is no stain.
    cv::Mat pieces;
    cv::Mat stats;
    cv::Mat centres;
    const int n = cv::connectedComponentsWithStats(mask, pieces, stats, centres, 8, CV_32S);
    for (int k = 1; k < n; ++k)
        if (stats.at<int>(k, cv::CC_STAT_AREA) < CutSliverPixels)
            mask.setTo(0, pieces == k);
    return static_cast<int>(kept.size());
}

// Every stain of touching drops in `stained` (0/1) cut apart; the number of
// stains cut.
std::int64_t cutTouchingStains(cv::Mat &stained, const cv::Mat &share)
{
    cv::Mat labels;
    cv::Mat stats;
    cv::Mat centroids;
    const int n = cv::connectedComponentsWithStats(stained, labels, stats, centroids, 8, CV_32S);
    // Each stain is cut on its own, and changes only its own pixels: the
    // stains are shared out between the cores.
    std::vector<char> wasCut(static_cast<std::size_t>(std::max(n, 1)), 0);
    cv::parallel_for_(cv::Range(1, std::max(n, 1)), [&](const cv::Range &range) {
        cv::Mat mask;
        cv::Mat shareAround;
        for (int k = range.start; k < range.end; ++k) {
            if (stats.at<int>(k, cv::CC_STAT_AREA) < CutMinimumArea)
                continue;
            const cv::Rect box(stats.at<int>(k, cv::CC_STAT_LEFT), stats.at<int>(k, cv::CC_STAT_TOP),
                               stats.at<int>(k, cv::CC_STAT_WIDTH), stats.at<int>(k, cv::CC_STAT_HEIGHT));
            mask.create(box.height + 2, box.width + 2, CV_8U);
            mask.setTo(0);
            shareAround.create(mask.size(), CV_32F);
            shareAround.setTo(0);
            for (int y = 0; y < box.height; ++y) {
                const auto *l = labels.ptr<std::int32_t>(box.y + y) + box.x;
                const auto *t = share.ptr<float>(box.y + y) + box.x;
                auto *m = mask.ptr<std::uint8_t>(y + 1) + 1;
                auto *a = shareAround.ptr<float>(y + 1) + 1;
                for (int x = 0; x < box.width; ++x) {
                    m[x] = l[x] == k ? 1 : 0;
                    a[x] = t[x];
                }
            }
            if (cutStain(mask, shareAround) < 2)
                continue;
            wasCut[static_cast<std::size_t>(k)] = 1;
            for (int y = 0; y < box.height; ++y) {
                const auto *l = labels.ptr<std::int32_t>(box.y + y) + box.x;
                const auto *m = mask.ptr<std::uint8_t>(y + 1) + 1;
                auto *s = stained.ptr<std::uint8_t>(box.y + y) + box.x;
                for (int x = 0; x < box.width; ++x)
                    if (l[x] == k && m[x] == 0)
                        s[x] = 0;
            }
        }
    });
    return std::count(wasCut.begin(), wasCut.end(), 1);
}

} // namespace

PhotoCard segmentPhotoCard(const BgrView &view, double dpi)
{
    PhotoCard result;
    const int w = view.Width;
    const int h = view.Height;
    if (w <= 0 || h <= 0 || view.TopRow == nullptr)
        return result;
    dpi = dpi > 0.0 ? dpi : 600.0;
    const cv::Mat f = toLinear(view);
    // The paper's and the stains' colours are learnt from the card at half
    // its resolution where it has plenty: a quarter of the work, and the
    // interiors of stains are still there to learn from.
    const int factor = dpi >= 500.0 ? 2 : 1;
    cv::Mat m = f;
    if (factor > 1)
        cv::resize(f, m, {std::max(1, w / factor), std::max(1, h / factor)}, 0, 0, cv::INTER_AREA);
    const double modelDpi = dpi * m.cols / w;

    // A first paper colour: the middle of the brighter half of the card
    // (stains are darker than paper, and rarely cover half of it).
    cv::Mat grey;
    cv::transform(m, grey, cv::Matx13f(1.0f / 3, 1.0f / 3, 1.0f / 3));
    cv::Mat greySmall;
    cv::resize(grey, greySmall, {std::min(m.cols, 256), std::min(m.rows, 256)}, 0, 0, cv::INTER_AREA);
    std::vector<float> levels(greySmall.begin<float>(), greySmall.end<float>());
    std::nth_element(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2), levels.end());
    const cv::Mat bright = grey >= levels[levels.size() / 2];
    bool found = false;
    const cv::Vec3f globalPaper = medianColour(m, bright, found);

    // The paper's colour at each place, first from every pixel whose colour
    // (not brightness: the light varies) is that of the paper, then from
    // every pixel away from stains.
    cv::Mat coloured =
        colourDeviationOf(m, cv::Mat(m.size(), CV_32FC3, cv::Scalar(globalPaper))) > 2.0f * PaperDeviation;
    cv::dilate(coloured, coloured, kernel3(), {-1, -1}, 2);
    cv::Mat paperGrid = paperModel(m, ~coloured, modelDpi, globalPaper);
    cv::Mat paper = upsample(paperGrid, m.size());
    const cv::Mat contrast = contrastOf(m, paper);
    const cv::Mat deviation = colourDeviationOf(m, paper);
    const cv::Mat strong = deviation > StrongDeviation;

    // The stain colour: the middle of the stains' interiors (their edges,
    // mixed with paper, and dark rims peeled off), as a contrast.  Only the
    // channels in which stains are darker than the paper measure the way
    // from paper to stain: a pixel lighter than the paper (a glint, the
    // white of a scanner's lid at the edge) is then no stain at all.
    cv::Mat interior;
    cv::erode(strong, interior, kernel3(), {-1, -1}, 2);
    // A card of small stains only has no interior that blur left unmixed:
    // their colour would be learnt too light, and every stain sized too
    // large.  Such a card takes the dye's usual colour instead.
    cv::Vec3f stain = medianColour(contrast, interior, found);
    for (int ch = 0; ch < 3; ++ch)
        result.Facts.Stain[static_cast<std::size_t>(ch)] = stain[ch];
    const cv::Vec3f stainContrast = stain;
    stain = cv::Vec3f(std::max(stain[0], 0.0f), std::max(stain[1], 0.0f), std::max(stain[2], 0.0f));
    if (!found || cv::countNonZero(interior) * factor * factor < MinimumInterior ||
        cv::norm(stain) < MinimumStainContrast) {
        stain = TypicalStainContrast;
        result.Facts.AssumedStainColour = true;
    }
    const cv::Vec3f weight = stain / static_cast<float>(stain.dot(stain));

    // Second paper estimate, away from stains and their blur.
    // Only colour tells: paper that a shadow darkens stays paper.
    cv::Mat nearStain = deviation > PaperDeviation;
    cv::dilate(nearStain, nearStain, kernel3(), {-1, -1}, 2);
    paperGrid = paperModel(m, ~nearStain, modelDpi, globalPaper);

    // From here on at the card's full resolution.
    paper = upsample(paperGrid, f.size());
    std::int64_t paperLike = 0;
    const cv::Mat share = shareOf(f, paper, weight, PaperContrast, paperLike);

    // What the paper's own texture and the noise give, so that a stain is
    // what stands clearly above them.
    const double noise = robustSpread(share, PaperContrast, paperLike);
    result.Facts.Noise = noise;
    const float lowShare = static_cast<float>(std::max(FaintShare, 5.0 * noise));
    const float peakShare = static_cast<float>(std::max(FaintPeak, 8.0 * noise));

    // Stains: pixels darker than the paper in the stain's colour.  The
    // card's outermost pixels are left out: cut from a picture, they hold
    // some of what the card lay on.
    cv::Mat candidate = share > lowShare;
    const int edge = std::min({static_cast<int>(std::lround(EdgeMm * dpi / 25.4)) + 1, w / 4, h / 4});
    if (edge > 0) {
        candidate.rowRange(0, edge).setTo(0);
        candidate.rowRange(h - edge, h).setTo(0);
        candidate.colRange(0, edge).setTo(0);
        candidate.colRange(w - edge, w).setTo(0);
    }
    // What reaches in across the card's edge must be stain coloured: as
    // much lighter than the paper, at least half as much, in the channels
    // in which the stain is lighter (blue dye on yellow paper: blue).  A
    // card cut from a picture a little too generously shows a strip of leaf,
    // soil or shadow along its edge, darker than the paper as stains are, but
    // darker in those channels too.  (The other channels and the amount
    // tell little: light in a photo is not exactly proportional.)
    std::array<bool, 3> lighter{};
    for (int ch = 0; ch < 3; ++ch)
        lighter[static_cast<std::size_t>(ch)] = stainContrast[ch] < -0.2f;
    const bool colourTells = !result.Facts.AssumedStainColour && (lighter[0] || lighter[1] || lighter[2]);
    const int checked = std::max(edge, static_cast<int>(std::lround(EdgeCheckMm * dpi / 25.4)));
    if (colourTells) {
        // Darker than the paper but not of the dye's colour: where most of
        // an edge's pixels are, the card's edge has not yet been reached.
        const auto foreign = [&](int y, int x) {
            const float t = share.at<float>(y, x);
            if (t <= lowShare)
                return 0.0f;
            const auto &f3 = f.at<cv::Vec3f>(y, x);
            const auto &p = paper.at<cv::Vec3f>(y, x);
            float seen = 0.0f;
            float expected = 0.0f;
            for (int ch = 0; ch < 3; ++ch)
                if (lighter[static_cast<std::size_t>(ch)]) {
                    seen += f3[ch] / p[ch] - 1.0f;
                    expected -= t * stainContrast[ch];
                }
            return seen < EdgeColourShare * expected ? 1.0f : 0.0f;
        };
        clearEdgeStrips(candidate, foreign, 0.5f, checked);
    }
    cv::Mat labels;
    cv::Mat stats;
    cv::Mat centroids;
    const int n = cv::connectedComponentsWithStats(candidate, labels, stats, centroids, 8, CV_32S);
    std::vector<std::int32_t> halfPixels(static_cast<std::size_t>(n), 0);
    std::vector<float> peak(static_cast<std::size_t>(n), 0.0f);
    cv::Mat stained(h, w, CV_8U, cv::Scalar(0));
    for (int y = 0; y < h; ++y) {
        const auto *l = labels.ptr<std::int32_t>(y);
        const auto *t = share.ptr<float>(y);
        auto *s = stained.ptr<std::uint8_t>(y);
        for (int x = 0; x < w; ++x) {
            if (l[x] == 0)
                continue;
            const auto k = static_cast<std::size_t>(l[x]);
            peak[k] = std::max(peak[k], t[x]);
            if (t[x] >= 0.5f) {
                ++halfPixels[k];
                s[x] = 1;
            }
        }
    }
    std::vector<char> rejected(static_cast<std::size_t>(n), 0);
    if (colourTells)
        for (int k = 1; k < n; ++k) {
            const cv::Rect box(stats.at<int>(k, cv::CC_STAT_LEFT), stats.at<int>(k, cv::CC_STAT_TOP),
                               stats.at<int>(k, cv::CC_STAT_WIDTH), stats.at<int>(k, cv::CC_STAT_HEIGHT));
            if (box.x > checked && box.y > checked && box.br().x < w - checked && box.br().y < h - checked)
                continue;
            // Pixel by pixel, a stain at the edge may lie in such a strip;
            // each pixel judged by its neighbourhood, as JPEG leaves little
            // of a single pixel's colour.
            const cv::Rect around =
                cv::Rect(box.x - 3, box.y - 3, box.width + 6, box.height + 6) & cv::Rect(0, 0, w, h);
            cv::Mat seenLight(around.size(), CV_32F, cv::Scalar(0));
            cv::Mat expectedLight(around.size(), CV_32F, cv::Scalar(0));
            for (int y = around.y; y < around.br().y; ++y) {
                const auto *l = labels.ptr<std::int32_t>(y);
                const auto *t = share.ptr<float>(y);
                const auto *f3 = f.ptr<cv::Vec3f>(y);
                const auto *p = paper.ptr<cv::Vec3f>(y);
                auto *seenRow = seenLight.ptr<float>(y - around.y);
                auto *expectedRow = expectedLight.ptr<float>(y - around.y);
                for (int x = around.x; x < around.br().x; ++x) {
                    if (l[x] != k)
                        continue;
                    for (int ch = 0; ch < 3; ++ch)
                        if (lighter[static_cast<std::size_t>(ch)]) {
                            seenRow[x - around.x] += f3[x][ch] / p[x][ch] - 1.0f;
                            expectedRow[x - around.x] -= t[x] * stainContrast[ch];
                        }
                }
            }
            cv::blur(seenLight, seenLight, {7, 7});
            cv::blur(expectedLight, expectedLight, {7, 7});
            std::int64_t pixels = 0;
            std::int64_t strays = 0;
            for (int y = box.y; y < box.br().y; ++y) {
                const auto *l = labels.ptr<std::int32_t>(y);
                const auto *seenRow = seenLight.ptr<float>(y - around.y);
                const auto *expectedRow = expectedLight.ptr<float>(y - around.y);
                auto *st = stained.ptr<std::uint8_t>(y);
                for (int x = box.x; x < box.br().x; ++x) {
                    if (l[x] != k)
                        continue;
                    ++pixels;
                    if (seenRow[x - around.x] < EdgeColourShare * expectedRow[x - around.x]) {
                        ++strays;
                        st[x] = 0;
                    }
                }
            }
            rejected[static_cast<std::size_t>(k)] = 2 * strays > pixels ? 1 : 0;
        }

    // Small stains: as many pixels as stain colour they hold, counted over
    // the stain and a margin for its blur, the most coloured ones first.
    std::vector<std::pair<float, cv::Point>> ranked;
    for (int k = 1; k < n; ++k) {
        if (halfPixels[static_cast<std::size_t>(k)] >= SmallStainPixels ||
            peak[static_cast<std::size_t>(k)] < peakShare || rejected[static_cast<std::size_t>(k)] != 0)
            continue;
        // Wide and nowhere half way to the stain colour: a shadow or a fold
        // of the paper, not a stain.
        if (halfPixels[static_cast<std::size_t>(k)] == 0 && stats.at<int>(k, cv::CC_STAT_AREA) > FaintStainPixels) {
            rejected[static_cast<std::size_t>(k)] = 1;
            continue;
        }
        const int margin = 3;
        const cv::Rect box =
            cv::Rect(stats.at<int>(k, cv::CC_STAT_LEFT) - margin, stats.at<int>(k, cv::CC_STAT_TOP) - margin,
                     stats.at<int>(k, cv::CC_STAT_WIDTH) + 2 * margin,
                     stats.at<int>(k, cv::CC_STAT_HEIGHT) + 2 * margin) &
            cv::Rect(0, 0, w, h);
        double ink = 0.0;
        ranked.clear();
        for (int y = box.y; y < box.y + box.height; ++y) {
            const auto *l = labels.ptr<std::int32_t>(y);
            const auto *t = share.ptr<float>(y);
            auto *s = stained.ptr<std::uint8_t>(y);
            for (int x = box.x; x < box.x + box.width; ++x) {
                if (l[x] != k && l[x] != 0)
                    continue;
                ink += std::min(t[x], 1.0f);
                ranked.emplace_back(t[x], cv::Point(x, y));
                if (l[x] == k)
                    s[x] = 0;
            }
        }
        const auto keep = std::min(ranked.size(), static_cast<std::size_t>(std::max(0.0, std::round(ink))));
        if (keep == 0)
            continue;
        std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(keep), ranked.end(),
                          [](const auto &a, const auto &b) { return a.first > b.first; });
        for (std::size_t i = 0; i < keep; ++i)
            stained.at<std::uint8_t>(ranked[i].second) = 1;
        if (halfPixels[static_cast<std::size_t>(k)] == 0)
            ++result.Facts.FaintStains;
    }

    // The edge band takes what lies just inside it, so that a stain across
    // the card's edge keeps its whole area.
    if (edge > 0) {
        for (int y = 0; y < edge; ++y) {
            stained.row(edge).copyTo(stained.row(y));
            stained.row(h - 1 - edge).copyTo(stained.row(h - 1 - y));
        }
        for (int x = 0; x < edge; ++x) {
            stained.col(edge).copyTo(stained.col(x));
            stained.col(w - 1 - edge).copyTo(stained.col(w - 1 - x));
        }
    }

    result.Facts.CutStains = cutTouchingStains(stained, share);

    // The 8-bit card: paper entry 1, stain pixels by hue.
    IndexedImage &image = result.Image;
    image.Width = w;
    image.Height = h;
    image.Pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), PaperIndex);
    std::array<std::array<double, 3>, HueBins> binSum{};
    std::array<std::int64_t, HueBins> binCount{};
    std::int64_t stainPixels = 0;
    // A small stain's pixels, and a large one's rim, hold too little of the
    // stain colour to tell its hue: blur mixes them with the paper and JPEG
    // keeps colour at half the resolution, spreading a small stain's colour
    // over the paper around it while its darkness stays in place.  Those
    // pixels take the colour of their stain as a whole: its contrast against
    // the paper summed over the stain and the ring its colour spread into
    // (blur and subsampling move colour about but keep its sum), over the
    // share of stain colour held there in all.
    cv::Mat stains;
    cv::Mat boxes;
    cv::Mat centres;
    const int stainCount = cv::connectedComponentsWithStats(stained, stains, boxes, centres, 8, CV_32S);
    // Per stain: its paper, its contrast against it (B, G, R each), the share
    // of stain colour it holds, its pixels.
    std::vector<std::array<double, 8>> whole(static_cast<std::size_t>(stainCount));
    constexpr int ColourRing = 2;
    // Each stain's sums are its own, added up in the same order whichever
    // core makes them.
    cv::parallel_for_(cv::Range(1, std::max(stainCount, 1)), [&](const cv::Range &range) {
        for (int k = range.start; k < range.end; ++k) {
            const cv::Rect box = cv::Rect(boxes.at<int>(k, cv::CC_STAT_LEFT) - ColourRing,
                                          boxes.at<int>(k, cv::CC_STAT_TOP) - ColourRing,
                                          boxes.at<int>(k, cv::CC_STAT_WIDTH) + 2 * ColourRing,
                                          boxes.at<int>(k, cv::CC_STAT_HEIGHT) + 2 * ColourRing) &
                                 cv::Rect(0, 0, w, h);
            std::array<double, 8> &sum = whole[static_cast<std::size_t>(k)];
            for (int y = box.y; y < box.br().y; ++y) {
                const int inside = std::clamp(y, edge, h - 1 - edge);
                const auto *l = stains.ptr<std::int32_t>(y);
                const auto *f3 = f.ptr<cv::Vec3f>(inside);
                const auto *p = paper.ptr<cv::Vec3f>(inside);
                const auto *t = share.ptr<float>(inside);
                for (int col = box.x; col < box.br().x; ++col) {
                    if (l[col] != k && l[col] != 0)
                        continue;
                    const int x = std::clamp(col, edge, w - 1 - edge);
                    for (int ch = 0; ch < 3; ++ch)
                        sum[static_cast<std::size_t>(3 + ch)] += (p[x][ch] - f3[x][ch]) / p[x][ch];
                    sum[6] += std::min(t[x], 1.0f);
                    if (l[col] == k) {
                        for (int ch = 0; ch < 3; ++ch)
                            sum[static_cast<std::size_t>(ch)] += p[x][ch];
                        sum[7] += 1.0;
                    }
                }
            }
        }
    });
    // The spray's dye is one colour over the card; a mark whose colour leans
    // the way of the dye's is a stain of it, and its faint pixels take the
    // dye's colour.  Dirt, soil or a dark speck leans another way (brown or
    // grey is no bluer than the paper) and keeps its own colour, for the hue
    // test to refuse.
    const cv::Vec3f dye = result.Facts.AssumedStainColour ? TypicalStainContrast : stainContrast;
    const auto ofTheDye = [&dye](const std::array<double, 8> &sum) {
        const cv::Vec3d mark(sum[3], sum[4], sum[5]);
        const cv::Vec3d reference(dye[0], dye[1], dye[2]);
        const double norms = cv::norm(mark) * cv::norm(reference);
        return norms > 0.0 && mark.dot(reference) >= SameDyeCosine * norms;
    };
    // The pixels' colours are worked out on every core, each into its place
    // in a list in reading order, and added up in that order after: the
    // palette's sums come out the same however the rows were shared out.
    std::vector<std::int64_t> firstOfRow(static_cast<std::size_t>(h) + 1, 0);
    for (int y = 0; y < h; ++y)
        firstOfRow[static_cast<std::size_t>(y) + 1] =
            firstOfRow[static_cast<std::size_t>(y)] + cv::countNonZero(stained.row(y));
    stainPixels = firstOfRow.back();
    std::vector<std::array<double, 3>> pixelColour(static_cast<std::size_t>(stainPixels));
    std::vector<std::uint8_t> pixelBin(static_cast<std::size_t>(stainPixels));
    overRows(h, [&](int firstRow, int lastRow) {
        for (int y = firstRow; y < lastRow; ++y) {
            const int inside = std::clamp(y, edge, h - 1 - edge);
            const auto *s = stained.ptr<std::uint8_t>(y);
            const auto *f3 = f.ptr<cv::Vec3f>(inside);
            const auto *p = paper.ptr<cv::Vec3f>(inside);
            const auto *t = share.ptr<float>(inside);
            std::uint8_t *out = image.row(h - 1 - y);
            auto next = static_cast<std::size_t>(firstOfRow[static_cast<std::size_t>(y)]);
            for (int col = 0; col < w; ++col) {
                if (s[col] == 0)
                    continue;
                const int x = std::clamp(col, edge, w - 1 - edge);
                // The stain's own colour: the pixel with the paper's share in it
                // taken out, so that edge pixels keep the hue of their stain.
                const float scale = t[x] >= 1.0f ? 1.0f : 1.0f / std::max(t[x], 0.5f);
                std::array<double, 3> &bgr = pixelColour[next];
                const std::array<double, 8> &own = whole[static_cast<std::size_t>(stains.at<std::int32_t>(y, col))];
                if ((t[x] < 0.5f || own[7] < SmallStainPixels) && own[6] > 0.0 && ofTheDye(own)) {
                    for (std::size_t ch = 0; ch < 3; ++ch)
                        bgr[ch] = toLevel(p[x][static_cast<int>(ch)] * (1.0 - dye[static_cast<int>(ch)]) - LightFloor);
                } else {
                    for (int ch = 0; ch < 3; ++ch)
                        bgr[static_cast<std::size_t>(ch)] =
                            toLevel(p[x][ch] - (p[x][ch] - f3[x][ch]) * scale - LightFloor);
                }
                const int hue = hueOf(static_cast<int>(std::lround(bgr[2])), static_cast<int>(std::lround(bgr[1])),
                                      static_cast<int>(std::lround(bgr[0])));
                const int bin = std::min(HueBins - 1, hue * HueBins / 256);
                pixelBin[next++] = static_cast<std::uint8_t>(bin);
                out[col] = static_cast<std::uint8_t>(FirstStainIndex + bin * Replicas + col % Replicas);
            }
        }
    });
    for (std::size_t i = 0; i < pixelBin.size(); ++i) {
        for (std::size_t ch = 0; ch < 3; ++ch)
            binSum[pixelBin[i]][ch] += pixelColour[i][ch];
        ++binCount[pixelBin[i]];
    }
    image.PaletteBgr.assign(3 * 256, 0);
    bool medianFound = false;
    const cv::Vec3f paperColour = medianColour(paperGrid, cv::Mat(paperGrid.size(), CV_8U, cv::Scalar(1)), medianFound);
    for (int ch = 0; ch < 3; ++ch) {
        const double light = (medianFound ? paperColour[ch] : globalPaper[ch]) - LightFloor;
        const double value = toLevel(light);
        image.PaletteBgr[3 * PaperIndex + static_cast<std::size_t>(ch)] = static_cast<std::uint8_t>(std::lround(value));
        result.Facts.Paper[static_cast<std::size_t>(ch)] = value;
        result.Facts.Stain[static_cast<std::size_t>(ch)] =
            toLevel(light * (1.0 - result.Facts.Stain[static_cast<std::size_t>(ch)]));
    }
    int colours = 1;
    for (int bin = 0; bin < HueBins; ++bin) {
        const auto b = static_cast<std::size_t>(bin);
        if (binCount[b] == 0)
            continue;
        ++colours;
        for (int r = 0; r < Replicas; ++r)
            for (std::size_t ch = 0; ch < 3; ++ch)
                image.PaletteBgr[3 * static_cast<std::size_t>(FirstStainIndex + bin * Replicas + r) + ch] =
                    static_cast<std::uint8_t>(std::lround(binSum[b][ch] / static_cast<double>(binCount[b])));
    }
    result.Facts.Coverage = static_cast<double>(stainPixels) / (static_cast<double>(w) * h);
    result.Reduction.FromBits = 24;
    result.Reduction.Colours = colours;
    result.Reduction.Exact = false;
    return result;
}

PhotoCard segmentPhotoCard(const ColourImage &card, double dpi)
{
    if (card.Width <= 0 || card.Height <= 0)
        return {};
    return segmentPhotoCard(
        BgrView{card.Width, card.Height, card.row(card.Height - 1), -3 * static_cast<std::ptrdiff_t>(card.Width)}, dpi);
}

DecodedPicture decodedPhotoCard(PhotoCard card, double dpi)
{
    DecodedPicture picture;
    picture.Image = std::move(card.Image);
    picture.BitsPerPixel = 8;
    picture.PixelsPerMetreX = dpi / 0.0254;
    picture.PixelsPerMetreY = picture.PixelsPerMetreX;
    picture.Reduction = card.Reduction;
    return picture;
}

} // namespace vex
