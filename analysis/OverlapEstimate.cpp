#include "analysis/OverlapEstimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace vex {

namespace {

// The reach of a digital touch, in pixels: two stains drawn as the pixels
// whose centres lie inside their discs are eight-connected when the rims are
// closer than about this.  Measured on pairs of digital discs at random
// offsets (the area of centre offsets at which they touch, as
// pi (r1 + r2 + d)^2): 0.75 to 1.05 for radii of 1.5 to 20, 0.9 on average.
constexpr double TouchReach = 0.9;
// A smaller stain that reaches less than about half a pixel beyond a larger
// one's rim adds no pixel centre to it: the pixels show it as inside.
constexpr double HiddenReach = 0.5;

// How far the spread of a lone stain's pixels about its centroid may exceed
// that of a continuous disc of its area (A^2 / 2 pi) before it is taken for
// merged drops: by at most 0.7 / A for digital discs of radius 2 to 20 at
// random offsets, so 0.75 / A and a thousandth.  Two equal drops of radius 8
// merged with their centres a fifth of a radius apart exceed it, smaller
// ones sooner.  Their extent across and down, which for one digital disc
// differ by one pixel at most, catches most merged drops the spread misses.
constexpr double RoundSlack = 0.75;
constexpr double RoundFloor = 0.001;

// A run of the row last read and the stain it went to.
struct Piece {
    std::int32_t Start = 0;
    std::int32_t End = 0;
    std::int32_t Stain = 0;
};

// A run kept for the covered share, where which stains count is known
// only once every row is read.
struct KeptRun {
    std::int32_t Row = 0;
    std::int32_t Start = 0;
    std::int32_t End = 0;
    std::int32_t Stain = 0;
};

std::int32_t findRoot(std::vector<std::int32_t> &parent, std::int32_t i)
{
    while (parent[static_cast<std::size_t>(i)] != i) {
        std::int32_t &p = parent[static_cast<std::size_t>(i)];
        p = parent[static_cast<std::size_t>(p)];
        i = p;
    }
    return i;
}

// A stain's sums, for its area, hues, centroid, spread and extent.
struct Stats {
    std::int64_t Area = 0;
    std::int64_t Valid = 0;
    // Of pixel columns twice and their squares twelve times, which a run
    // gives without a division; of pixel rows.
    std::int64_t Sx2 = 0, Sxx12 = 0, Sy = 0, Syy = 0;
    std::int32_t Left = 0, Right = 0, Top = 0, Bottom = 0;

    void add(const Stats &o)
    {
        Area += o.Area;
        Valid += o.Valid;
        Sx2 += o.Sx2;
        Sxx12 += o.Sxx12;
        Sy += o.Sy;
        Syy += o.Syy;
        Left = std::min(Left, o.Left);
        Right = std::max(Right, o.Right);
        Top = std::min(Top, o.Top);
        Bottom = std::max(Bottom, o.Bottom);
    }
};

// The stains of a card, found row by row: the union-find runs over the
// stains, not over every run, and each stain's sums are kept at its root,
// so the card's runs are read once and never stored.
class StainLabels {
public:
    // A row holds `width` runs at most.
    StainLabels(std::int32_t width, std::size_t runs, bool keepRuns)
        : keepRuns_(keepRuns), rows_(2 * static_cast<std::size_t>(std::max(width, 1)))
    {
        // Stains of a few rows each, as a guess that spares most regrowing.
        stains_.reserve(runs / 8);
        parent_.reserve(runs / 8);
        belowAt_ = belowEnd_ = current_ = end_ = rows_.data();
    }

    // The runs come row by row, bottom first, left to right in a row.
    void addRun(std::int32_t row, std::int32_t start, std::int32_t end, std::int32_t valid)
    {
        if (row != row_) {
            // Only the row just below meets this one.
            belowAt_ = current_;
            belowEnd_ = row_ == row + 1 ? end_ : current_;
            current_ = end_ = current_ == rows_.data() ? rows_.data() + rows_.size() / 2 : rows_.data();
            row_ = row;
        }
        std::int32_t stain = -1;
        // A run that meets the one before it in the row is of its stain.
        if (end_ != current_ && start - end_[-1].End < 2)
            stain = findRoot(parent_, end_[-1].Stain);
        // Runs of the row below that reach within one column of it
        // (eight-connected).
        while (belowAt_ != belowEnd_ && belowAt_->End < start - 1)
            ++belowAt_;
        for (const Piece *k = belowAt_; k != belowEnd_ && k->Start <= end + 1; ++k)
            stain = join(stain, findRoot(parent_, k->Stain));
        if (stain < 0) {
            stain = static_cast<std::int32_t>(stains_.size());
            parent_.push_back(stain);
            stains_.push_back(Stats{0, 0, 0, 0, 0, 0, start, end, row, row});
        }
        // Rows come bottom first: this one is the stain's top.
        Stats &st = stains_[static_cast<std::size_t>(stain)];
        const std::int64_t n = end - start + 1, ends = std::int64_t{start} + end;
        st.Area += n;
        st.Valid += valid;
        st.Sx2 += n * ends;
        st.Sxx12 += 3 * n * ends * ends + n * n * n - n;
        st.Sy += n * row;
        st.Syy += n * row * row;
        st.Left = std::min(st.Left, start);
        st.Right = std::max(st.Right, end);
        st.Top = row;
        *end_++ = Piece{start, end, stain};
        if (keepRuns_)
            kept_.push_back(KeptRun{row, start, end, stain});
    }

    // The stain of a label handed out, and the label a stain goes by.
    std::int32_t stainOf(std::int32_t label) { return findRoot(parent_, label); }
    bool isStain(std::size_t label) const { return parent_[label] == static_cast<std::int32_t>(label); }
    const std::vector<Stats> &stains() const { return stains_; }
    const std::vector<KeptRun> &kept() const { return kept_; }

private:
    // Two stains found to be one: the later begun goes into the earlier.
    std::int32_t join(std::int32_t a, std::int32_t b)
    {
        if (a < 0 || a == b)
            return b;
        const std::int32_t keep = std::min(a, b), gone = std::max(a, b);
        parent_[static_cast<std::size_t>(gone)] = keep;
        stains_[static_cast<std::size_t>(keep)].add(stains_[static_cast<std::size_t>(gone)]);
        return keep;
    }

    bool keepRuns_ = false;
    std::int32_t row_ = -2;
    // Two rows' room: the row below and the row being read, in turn.
    std::vector<Piece> rows_;
    Piece *belowAt_, *belowEnd_, *current_, *end_;
    std::vector<std::int32_t> parent_;
    std::vector<Stats> stains_;
    std::vector<KeptRun> kept_;
};

} // namespace

int tileOf(std::int32_t width, std::int32_t height, double x, double y)
{
    const int side = StainUnion::TileSide;
    const int column = std::clamp(static_cast<int>(x * side / std::max(width, 1)), 0, side - 1);
    const int row = std::clamp(static_cast<int>(y * side / std::max(height, 1)), 0, side - 1);
    return row * side + column;
}

StainUnion measureStainUnion(const ForegroundPixelList &pixels, std::int32_t width, std::int32_t height,
                             const ScanSettings &settings, const std::array<std::int32_t, 257> *hueCounts)
{
    StainUnion u;
    u.Width = width;
    u.Height = height;
    const int side = StainUnion::TileSide;
    u.TileCovered.assign(static_cast<std::size_t>(side * side), 0);
    u.TilePixels.assign(static_cast<std::size_t>(side * side), 0);
    u.TileStains.assign(static_cast<std::size_t>(side * side), 0);
    for (int t = 0; t < side; ++t)
        for (int s = 0; s < side; ++s) {
            const std::int64_t columns =
                static_cast<std::int64_t>(width) * (s + 1) / side - std::int64_t{width} * s / side;
            const std::int64_t rows =
                static_cast<std::int64_t>(height) * (t + 1) / side - std::int64_t{height} * t / side;
            u.TilePixels[static_cast<std::size_t>(t * side + s)] = columns * rows;
        }
    if (width <= 0 || height <= 0)
        return u;

    std::array<std::uint8_t, 256> valid{};
    for (std::size_t i = 0; i < valid.size(); ++i)
        valid[i] = hueIsValid(pixels.hueTable()[i], settings) ? 1 : 0;
    bool allValid = std::all_of(valid.begin(), valid.end(), [](std::uint8_t v) { return v != 0; });
    if (hueCounts && !allValid) {
        allValid = true;
        for (std::size_t h = 0; h < 256; ++h)
            if ((*hueCounts)[h] > 0 && !hueIsValid(static_cast<std::uint8_t>(h), settings))
                allValid = false;
    }

    const bool anyShare = hueLimit(settings.HueThreshold) > 0.0f;

    // The last column and row of each tile column and row.
    std::array<std::int32_t, StainUnion::TileSide> columnEnds{}, rowEnds{};
    for (int k = 0; k < side; ++k) {
        columnEnds[static_cast<std::size_t>(k)] =
            static_cast<std::int32_t>(static_cast<std::int64_t>(width) * (k + 1) / side) - 1;
        rowEnds[static_cast<std::size_t>(k)] =
            static_cast<std::int32_t>(static_cast<std::int64_t>(height) * (k + 1) / side) - 1;
    }
    auto tileRow = [&](std::int32_t y) {
        int k = 0;
        while (k < side - 1 && y > rowEnds[static_cast<std::size_t>(k)])
            ++k;
        return k;
    };
    // A run's pixels into the covered share, split at the tile columns;
    // `first` is the first tile of its row of tiles.
    std::vector<std::uint8_t> tileColumnOf(static_cast<std::size_t>(width));
    for (std::int32_t x = 0, k = 0; x < width; ++x) {
        while (x > columnEnds[static_cast<std::size_t>(k)])
            ++k;
        tileColumnOf[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(k);
    }
    std::array<std::int64_t, StainUnion::TileSide * StainUnion::TileSide> tileCovered{};
    auto cover = [&](std::size_t first, std::int32_t start, std::int32_t end) {
        for (std::size_t column = tileColumnOf[static_cast<std::size_t>(start)];; ++column) {
            const std::int32_t to = std::min(end, columnEnds[column]);
            tileCovered[first + column] += to - start + 1;
            if (to == end)
                break;
            start = to + 1;
        }
    };

    // With every hue valid every stain counts and its runs cover the card as
    // they are read; else which count is known at the end, and the runs are
    // kept till then.
    StainLabels labels(width, pixels.runs().size(), !allValid);
    std::int32_t rowAt = -1;
    std::size_t tileRowStart = 0;
    std::size_t offset = 0;
    const std::uint8_t *indices = pixels.indices().data();
    for (const ForegroundPixelList::Run &run : pixels.runs()) {
        if (run.Length <= 0)
            continue;
        const std::int32_t y = run.Row - 1;
        const std::int32_t start = run.Column - 1;
        const std::int32_t end = start + run.Length - 1;
        std::int32_t validPixels = run.Length;
        if (!allValid) {
            // Without a share of valid hues to reach, one valid pixel is enough.
            validPixels = 0;
            const std::uint8_t *index = indices + offset;
            for (std::int32_t k = 0; k < run.Length && (anyShare || validPixels == 0); ++k)
                validPixels += valid[index[k]];
        }
        offset += static_cast<std::size_t>(run.Length);
        if (y < 0 || y >= height || start < 0 || end >= width)
            continue;
        labels.addRun(y, start, end, validPixels);
        if (allValid) {
            if (y != rowAt) {
                rowAt = y;
                tileRowStart = static_cast<std::size_t>(tileRow(y) * side);
            }
            cover(tileRowStart, start, end);
        }
    }
    const std::vector<Stats> &stains = labels.stains();

    // Which stains count: those the scan's hue tests would pass.
    const float limit = hueLimit(settings.HueThreshold);
    std::vector<std::uint8_t> counts(stains.size());
    for (std::size_t k = 0; k < stains.size(); ++k)
        counts[k] =
            labels.isStain(k) && stains[k].Valid > 0 &&
            !(static_cast<float>(static_cast<double>(stains[k].Valid) / static_cast<double>(stains[k].Area)) < limit);
    for (const KeptRun &r : labels.kept())
        if (counts[static_cast<std::size_t>(labels.stainOf(r.Stain))])
            cover(static_cast<std::size_t>(tileRow(r.Row) * side), r.Start, r.End);
    u.TileCovered.assign(tileCovered.begin(), tileCovered.end());
    u.Covered = std::accumulate(tileCovered.begin(), tileCovered.end(), std::int64_t{0});
    u.Lone.reserve(stains.size());
    for (std::size_t k = 0; k < stains.size(); ++k) {
        const Stats &p = stains[k];
        if (!counts[k] || p.Left == 0 || p.Top == 0 || p.Right == width - 1 || p.Bottom == height - 1)
            continue;
        ++u.Stains;
        const std::int64_t sumX = p.Sx2 / 2;
        ++u.TileStains[static_cast<std::size_t>(tileOf(width, height,
                                                       static_cast<double>(sumX) / static_cast<double>(p.Area) + 0.5,
                                                       static_cast<double>(p.Sy) / static_cast<double>(p.Area) + 0.5))];
        if (std::abs((p.Right - p.Left) - (p.Bottom - p.Top)) > 1)
            continue;
        // The spread about the centroid, exactly: sums taken from the
        // stain's corner first.
        const std::int64_t x0 = p.Left, y0 = p.Top;
        const std::int64_t sx = sumX - p.Area * x0, sy = p.Sy - p.Area * y0;
        const std::int64_t sxx = p.Sxx12 / 12 - 2 * x0 * sumX + p.Area * x0 * x0;
        const std::int64_t syy = p.Syy - 2 * y0 * p.Sy + p.Area * y0 * y0;
        const double area = static_cast<double>(p.Area);
        const double spread =
            static_cast<double>(sxx) + static_cast<double>(syy) -
            (static_cast<double>(sx) * static_cast<double>(sx) + static_cast<double>(sy) * static_cast<double>(sy)) /
                area;
        const double round = 2.0 * std::numbers::pi * spread / (area * area);
        if (round > 1.0 + RoundSlack / area + RoundFloor)
            continue;
        // Pixel centres lie half a pixel in.
        const double cx = static_cast<double>(sumX) / area + 0.5, cy = static_cast<double>(p.Sy) / area + 0.5;
        u.Lone.push_back(LoneStain{p.Area, cx, cy});
    }
    return u;
}

namespace {

struct Solved {
    double Density = 0.0;
    double Deposit = 0.0;
    double MeanArea = 0.0;
};

// The lone stains by area, smallest first: stain areas are whole pixels, so
// a card's thousands of lone stains fall into a few hundred sizes.
struct Sizes {
    std::vector<double> Area, Radius, LogRadius, Window, Volume;
    const std::function<double(std::int64_t)> *VolumeOf = nullptr;
};

// Fewer lone stains than this at the large end say little of how many
// drops of those sizes landed: at high coverage a large drop is almost
// never seen alone, and one lone stain there weighs as much as hundreds.
constexpr double TailStains = 10.0;
// Cards with fewer lone stains than this keep them all as they are.
constexpr double FitStains = 40.0;
// ... and only where those sizes are hidden: where a drop of the first of
// them would be seen alone more often than once in e^HiddenLoad (about 20),
// that no such stain is seen says that no such drop landed.
constexpr double HiddenLoad = 3.0;

double normalCdf(double z)
{
    return 0.5 * std::erfc(-z / std::numbers::sqrt2);
}

double normalPdf(double z)
{
    return std::exp(-0.5 * z * z) / std::sqrt(2.0 * std::numbers::pi);
}

// The drops above the sizes seen alone often enough, as a log-normal of
// stain radius fitted to those below: its mass and radius sums in the
// units of the weights below.
struct Tail {
    bool Known = false;
    double Mu = 0.0, Sigma = 0.0, Beta = 0.0;  // Beta: the cut in standard units
    double Scale = 0.0;                        // the weight of the whole fitted distribution
    double Sum0 = 0.0, Sum1 = 0.0, Sum2 = 0.0; // of 1, R, R^2 over the tail
};

// Fits the log-normal to the weighted sizes below the cut, as a normal
// distribution of ln r cut off above at ln `cutRadius` (the mean and
// spread of a truncated normal give its own), and adds what lies above.
Tail fitTail(const Sizes &sizes, const std::vector<double> &weighted, std::size_t cut, double cutRadius)
{
    Tail t;
    double h = 0.0, s1 = 0.0, s2 = 0.0;
    for (std::size_t k = 0; k < cut; ++k) {
        const double x = sizes.LogRadius[k];
        h += weighted[k];
        s1 += weighted[k] * x;
        s2 += weighted[k] * x * x;
    }
    if (!(h > 0.0))
        return t;
    const double mean = s1 / h, spread = std::sqrt(std::max(s2 / h - mean * mean, 0.0));
    const double c = std::log(cutRadius);
    if (!(spread > 0.0) || !(c > mean))
        return t;
    // (c - mean) / spread of a normal cut at beta standard units grows
    // with beta, from 1 (far out in its lower tail) to beta.
    auto ratio = [](double beta) {
        const double lambda = normalPdf(beta) / normalCdf(beta);
        return (beta + lambda) / std::sqrt(std::max(1.0 - beta * lambda - lambda * lambda, 1e-12));
    };
    const double wanted = (c - mean) / spread;
    double lo = -4.0, hi = 12.0;
    if (!(wanted > ratio(lo)))
        return t;
    if (wanted >= ratio(hi)) {
        lo = hi = wanted;
    } else {
        for (int i = 0; i < 60; ++i) {
            const double mid = 0.5 * (lo + hi);
            (ratio(mid) < wanted ? lo : hi) = mid;
        }
    }
    const double beta = 0.5 * (lo + hi);
    const double lambda = normalPdf(beta) / normalCdf(beta);
    t.Sigma = spread / std::sqrt(std::max(1.0 - beta * lambda - lambda * lambda, 1e-12));
    t.Mu = c - beta * t.Sigma;
    t.Beta = beta;
    t.Scale = h / normalCdf(beta);
    // E[R^j; ln R > c] = exp(j mu + j^2 sigma^2 / 2) Phi(j sigma - beta).
    t.Sum0 = t.Scale * normalCdf(-beta);
    t.Sum1 = t.Scale * std::exp(t.Mu + 0.5 * t.Sigma * t.Sigma) * normalCdf(t.Sigma - beta);
    t.Sum2 = t.Scale * std::exp(2.0 * t.Mu + 2.0 * t.Sigma * t.Sigma) * normalCdf(2.0 * t.Sigma - beta);
    t.Known = std::isfinite(t.Sum0) && std::isfinite(t.Sum1) && std::isfinite(t.Sum2);
    return t;
}

// The volume sum over the tail, by the midpoint rule over steps of ln r
// fixed for every card, so that each solve asks for the volumes of the same
// few stain sizes.
double tailVolume(const Tail &t, const std::function<double(std::int64_t)> &volume)
{
    constexpr double step = 0.04;
    const double from = t.Mu + t.Sigma * t.Beta, to = t.Mu + t.Sigma * (t.Beta + 9.0);
    double sum = 0.0;
    for (auto j = static_cast<std::int64_t>(std::floor(from / step)); static_cast<double>(j) * step < to; ++j) {
        const double lo = std::max(from, static_cast<double>(j) * step);
        const double hi = std::min(to, static_cast<double>(j + 1) * step);
        const double r = std::exp((static_cast<double>(j) + 0.5) * step);
        const auto area = std::max<std::int64_t>(1, std::llround(std::numbers::pi * r * r));
        sum += (hi - lo) * normalPdf((0.5 * (lo + hi) - t.Mu) / t.Sigma) / t.Sigma * volume(area);
    }
    return t.Scale * sum;
}

// n and the deposit from the covered share (`load` = n a = -ln(1 - A)) and
// `count` lone stains of each size, from a first guess of n where one is
// known; false where nothing can be said.
bool solve(double load, const Sizes &sizes, const std::vector<double> &count, Solved &out, double guess = 0.0,
           bool tailed = false)
{
    const std::size_t m = sizes.Area.size();
    std::vector<double> weight(m), exponent(m), weighted(m);
    double s0 = 0.0, sumArea = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        s0 += count[k];
        sumArea += count[k] * sizes.Area[k];
    }
    if (!(s0 > 0.0) || !(load > 0.0) || !std::isfinite(load))
        return false;
    // With `tailed`, the sizes from `cut` on, which hold fewer than
    // TailStains lone stains, are left to a log-normal fitted to those below.
    std::size_t cut = m;
    double cutRadius = 0.0;
    if (tailed && s0 >= FitStains) {
        double above = 0.0;
        while (cut > 0 && above + count[cut - 1] < TailStains)
            above += count[--cut];
        cutRadius = cut > 0 ? std::sqrt((sizes.Area[cut - 1] + 0.5) / std::numbers::pi) : 0.0;
        // Judged with the lone stains' own sizes, at the first guess.
        double s1 = 0.0, s2 = 0.0, b0 = 0.0, b1 = 0.0, b2 = 0.0;
        for (std::size_t k = 0; k < m; ++k) {
            s1 += count[k] * sizes.Radius[k];
            s2 += count[k] * sizes.Radius[k] * sizes.Radius[k];
            if (k < cut) {
                b0 += count[k];
                b1 += count[k] * sizes.Radius[k];
                b2 += count[k] * sizes.Radius[k] * sizes.Radius[k];
            }
        }
        const double reach = cutRadius + TouchReach, hold = cutRadius + HiddenReach;
        const double touch = reach * reach * s0 + 2.0 * reach * s1 + s2;
        const double inside = hold * hold * b0 - 2.0 * hold * b1 + b2;
        const double hidden = (guess > 0.0 ? guess : load / (sumArea / s0)) * std::numbers::pi * (touch - inside) / s0;
        if (!(hidden > HiddenLoad))
            return false;
    }
    Tail tail;
    // The mean area of all drops' stains when n drops land per pixel.
    auto meanArea = [&](double n) {
        // Another drop hides a stain of radius r from being seen alone when
        // it lands within r + R + d, unless it lands wholly inside it
        // (within r - R): its stain then adds nothing to the lone one.  The
        // sizes of the other drops are those the weights give back, first
        // the lone stains' own.
        tail = Tail{};
        for (int pass = 0; pass < (cut < m ? 3 : 2); ++pass) {
            double w0 = 0.0, w1 = 0.0, w2 = 0.0;
            const std::size_t known = tail.Known ? cut : m;
            for (std::size_t k = 0; k < known; ++k) {
                const double wk = pass == 0 ? count[k] : weighted[k];
                w0 += wk;
                w1 += wk * sizes.Radius[k];
                w2 += wk * sizes.Radius[k] * sizes.Radius[k];
            }
            if (tail.Known) {
                w0 += tail.Sum0;
                w1 += tail.Sum1;
                w2 += tail.Sum2;
            }
            double b0 = 0.0, b1 = 0.0, b2 = 0.0;
            double top = -1e300;
            for (std::size_t k = 0; k < m; ++k) {
                const double r = sizes.Radius[k], reach = r + TouchReach, hold = r + HiddenReach;
                const double touch = reach * reach * w0 + 2.0 * reach * w1 + w2;
                const double inside = hold * hold * b0 - 2.0 * hold * b1 + b2;
                exponent[k] = n * std::numbers::pi * (touch - inside) / w0 - sizes.Window[k];
                top = std::max(top, exponent[k]);
                const double wk = pass == 0 ? count[k] : weighted[k];
                b0 += wk;
                b1 += wk * r;
                b2 += wk * r * r;
            }
            for (std::size_t k = 0; k < m; ++k) {
                // Far below the largest a weight adds nothing to the sums,
                // and exp is slow where its result underflows.
                weight[k] = exponent[k] - top > -700.0 ? std::exp(exponent[k] - top) : 0.0;
                weighted[k] = weight[k] * count[k];
            }
            if (cut < m)
                tail = fitTail(sizes, weighted, cut, cutRadius);
        }
        double sum = 0.0, areas = 0.0;
        const std::size_t kept = tail.Known ? cut : m;
        for (std::size_t k = 0; k < kept; ++k) {
            sum += weighted[k];
            areas += weighted[k] * sizes.Area[k];
        }
        if (tail.Known) {
            sum += tail.Sum0;
            areas += std::numbers::pi * tail.Sum2;
        }
        return sum > 0.0 ? areas / sum : 0.0;
    };
    // n = load / meanArea(n), by the secant method on the difference.
    double n0 = guess > 0.0 ? guess : load / (sumArea / s0);
    double g0 = load / meanArea(n0) - n0;
    double n1 = n0 + g0;
    double area = meanArea(n1);
    for (int iteration = 0; iteration < 60; ++iteration) {
        const double g1 = load / area - n1;
        if (std::abs(g1) <= 1e-10 * n1 || g1 == g0)
            break;
        double next = n1 - g1 * (n1 - n0) / (g1 - g0);
        if (!(next > 0.0) || !std::isfinite(next))
            next = n1 + g1;
        n0 = n1;
        g0 = g1;
        n1 = next;
        area = meanArea(n1);
    }
    double sum = 0.0, sumVolume = 0.0;
    const std::size_t kept = tail.Known ? cut : m;
    for (std::size_t k = 0; k < kept; ++k) {
        sum += weighted[k];
        sumVolume += weighted[k] * sizes.Volume[k];
    }
    if (tail.Known && sizes.VolumeOf) {
        sum += tail.Sum0;
        sumVolume += tailVolume(tail, *sizes.VolumeOf);
    }
    out.Density = load / area;
    out.MeanArea = area;
    out.Deposit = out.Density * sumVolume / sum;
    return std::isfinite(out.Density) && std::isfinite(out.Deposit) && out.Density > 0.0;
}

// Code built for AVX elsewhere in the process (the batch tool's picture
// decoding) can leave the upper halves of the vector registers in use; the
// SSE arithmetic of the solve then waits on them at every step, which made
// the estimate ten times slower in the batch tool than in the window
// (5 ms against 0.5 ms on a 3600 x 2400 card).  Clearing them costs
// nothing.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target("avx"))) void clearUpperVectorHalvesWithAvx()
{
    _mm256_zeroupper();
}

void clearUpperVectorHalves()
{
    if (__builtin_cpu_supports("avx"))
        clearUpperVectorHalvesWithAvx();
}
#else
void clearUpperVectorHalves()
{}
#endif

// Student's t at 97.5 % for the jackknife's degrees of freedom.
double studentT(int degrees)
{
    static constexpr double table[] = {12.706, 4.303, 3.182, 2.776, 2.571, 2.447, 2.365, 2.306,
                                       2.262,  2.228, 2.201, 2.179, 2.160, 2.145, 2.131};
    return degrees >= 1 && degrees <= 15 ? table[degrees - 1] : 1.96;
}

} // namespace

DropEstimate estimateDrops(const StainUnion &u, const std::function<double(std::int64_t)> &volume)
{
    clearUpperVectorHalves();
    DropEstimate e;
    const double pixels = static_cast<double>(u.Width) * static_cast<double>(u.Height);
    if (!(pixels > 0.0) || u.Lone.empty())
        return e;
    std::vector<std::int64_t> areas;
    for (const LoneStain &s : u.Lone)
        areas.push_back(s.Area);
    std::sort(areas.begin(), areas.end());
    areas.erase(std::unique(areas.begin(), areas.end()), areas.end());
    Sizes sizes;
    sizes.VolumeOf = &volume;
    const double w = u.Width, h = u.Height;
    for (const std::int64_t a : areas) {
        const double r = std::sqrt(static_cast<double>(a) / std::numbers::pi);
        sizes.Area.push_back(static_cast<double>(a));
        sizes.Radius.push_back(r);
        sizes.LogRadius.push_back(std::log(r));
        // Where its centre could lie with the stain whole and off the edge.
        sizes.Window.push_back(std::log(std::max(w - 1.0 - 2.0 * r, 1.0) * std::max(h - 1.0 - 2.0 * r, 1.0)));
        sizes.Volume.push_back(volume(a));
    }
    const std::size_t tiles = u.TileCovered.size();
    std::vector<double> all(areas.size(), 0.0);
    std::vector<std::vector<double>> inTile(tiles, std::vector<double>(areas.size(), 0.0));
    for (const LoneStain &s : u.Lone) {
        const auto k = static_cast<std::size_t>(std::lower_bound(areas.begin(), areas.end(), s.Area) - areas.begin());
        all[k] += 1.0;
        inTile[static_cast<std::size_t>(tileOf(u.Width, u.Height, s.X, s.Y))][k] += 1.0;
    }
    auto loadOf = [](double covered, double of) {
        const double open = 1.0 - covered / of;
        return covered > 0.0 && open > 0.0 ? -std::log(open) : 0.0;
    };
    // Each stain holds one drop at least: an estimate below the stains seen
    // says the drops did not land at random (they avoided one another), and
    // the lone stains then stand for all drops as they are, unweighted.
    auto atLeastTheStains = [&](Solved &s, double stains, double of, const std::vector<double> &count) {
        if (!(s.Density < stains / of))
            return;
        double n = 0.0, volumes = 0.0;
        for (std::size_t k = 0; k < count.size(); ++k) {
            n += count[k];
            volumes += count[k] * sizes.Volume[k];
        }
        s.Density = stains / of;
        s.Deposit = n > 0.0 ? s.Density * volumes / n : 0.0;
    };
    Solved whole;
    if (!solve(loadOf(static_cast<double>(u.Covered), pixels), sizes, all, whole))
        return e;
    atLeastTheStains(whole, static_cast<double>(u.Stains), pixels, all);
    e.Known = true;
    e.Density = whole.Density;
    e.Deposit = whole.Deposit;
    e.MeanArea = whole.MeanArea;
    e.LoneStains = static_cast<std::int32_t>(u.Lone.size());

    // The deposit again with the largest sizes, which are seldom seen alone
    // at high coverage, taken from a log-normal fitted to the smaller ones:
    // whether drops that large landed and hid, or none landed, the lone
    // stains cannot tell, so the deposit's interval spans both.
    Solved tailed;
    const bool withTail =
        solve(loadOf(static_cast<double>(u.Covered), pixels), sizes, all, tailed, whole.Density, true);
    if (withTail)
        atLeastTheStains(tailed, static_cast<double>(u.Stains), pixels, all);

    // Each tile left out in turn.
    std::vector<double> densities, deposits;
    for (std::size_t t = 0; t < tiles; ++t) {
        std::vector<double> rest(all);
        for (std::size_t k = 0; k < rest.size(); ++k)
            rest[k] -= inTile[t][k];
        const double load =
            loadOf(static_cast<double>(u.Covered - u.TileCovered[t]), pixels - static_cast<double>(u.TilePixels[t]));
        const double stains = static_cast<double>(u.Stains - u.TileStains[t]);
        const double of = pixels - static_cast<double>(u.TilePixels[t]);
        Solved part;
        if (solve(load, sizes, rest, part, whole.Density)) {
            atLeastTheStains(part, stains, of, rest);
            densities.push_back(part.Density);
            deposits.push_back(part.Deposit);
        }
    }
    auto halfWidth = [](const std::vector<double> &values) {
        const auto k = static_cast<double>(values.size());
        if (values.size() < 2)
            return 0.0;
        const double mean = std::accumulate(values.begin(), values.end(), 0.0) / k;
        double squares = 0.0;
        for (const double v : values)
            squares += (v - mean) * (v - mean);
        return studentT(static_cast<int>(values.size()) - 1) * std::sqrt((k - 1.0) / k * squares);
    };
    const double dn = halfWidth(densities), dd = halfWidth(deposits);
    e.DensityLow = std::max(0.0, e.Density - dn);
    e.DensityHigh = e.Density + dn;
    e.DepositLow = std::max(0.0, e.Deposit - dd);
    e.DepositHigh = e.Deposit + dd;
    if (withTail) {
        // Its spread taken as the weighted one's, in proportion.
        const double dt = dd * tailed.Deposit / std::max(e.Deposit, 1e-300);
        e.DepositLow = std::min(e.DepositLow, std::max(0.0, tailed.Deposit - dt));
        e.DepositHigh = std::max(e.DepositHigh, tailed.Deposit + dt);
    }
    return e;
}

} // namespace vex
