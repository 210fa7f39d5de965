#include "analysis/OverlapEstimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>

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
    std::vector<double> Area, Radius, Window, Volume;
};

// n and the deposit from the covered share (`load` = n a = -ln(1 - A)) and
// `count` lone stains of each size, from a first guess of n where one is
// known; false where nothing can be said.
bool solve(double load, const Sizes &sizes, const std::vector<double> &count, Solved &out, double guess = 0.0)
{
    const std::size_t m = sizes.Area.size();
    std::vector<double> weight(m), exponent(m), below0(m), below1(m), below2(m);
    // The mean area of all drops' stains when n drops land per pixel.
    auto meanArea = [&](double n) {
        double s0 = 0.0, s1 = 0.0, s2 = 0.0;
        for (std::size_t k = 0; k < m; ++k) {
            below0[k] = s0;
            below1[k] = s1;
            below2[k] = s2;
            s0 += count[k];
            s1 += count[k] * sizes.Radius[k];
            s2 += count[k] * sizes.Radius[k] * sizes.Radius[k];
        }
        // Another drop hides a stain of radius r from being seen alone when
        // it lands within r + R + d, unless it lands wholly inside it
        // (within r - R): its stain then adds nothing to the lone one.  The
        // sizes of the other drops are those the weights give back.
        double top = -1e300;
        for (int pass = 0; pass < 2; ++pass) {
            double w0 = 0.0, w1 = 0.0, w2 = 0.0;
            for (std::size_t k = 0; k < m; ++k) {
                w0 += weight[k] * count[k];
                w1 += weight[k] * count[k] * sizes.Radius[k];
                w2 += weight[k] * count[k] * sizes.Radius[k] * sizes.Radius[k];
            }
            if (pass == 0) {
                // First with the lone stains' own sizes.
                w0 = s0;
                w1 = s1;
                w2 = s2;
            }
            double b0 = 0.0, b1 = 0.0, b2 = 0.0;
            top = -1e300;
            for (std::size_t k = 0; k < m; ++k) {
                const double r = sizes.Radius[k], reach = r + TouchReach, hold = r + HiddenReach;
                const double touch = reach * reach * w0 + 2.0 * reach * w1 + w2;
                const double inside = hold * hold * b0 - 2.0 * hold * b1 + b2;
                exponent[k] = n * std::numbers::pi * (touch - inside) / w0 - sizes.Window[k];
                top = std::max(top, exponent[k]);
                const double wk = pass == 0 ? count[k] : weight[k] * count[k];
                b0 += wk;
                b1 += wk * r;
                b2 += wk * r * r;
            }
            for (std::size_t k = 0; k < m; ++k)
                weight[k] = std::exp(exponent[k] - top);
        }
        double sum = 0.0, sumArea = 0.0;
        for (std::size_t k = 0; k < m; ++k) {
            sum += weight[k] * count[k];
            sumArea += weight[k] * count[k] * sizes.Area[k];
        }
        return sum > 0.0 ? sumArea / sum : 0.0;
    };
    double s0 = 0.0, sumArea = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        s0 += count[k];
        sumArea += count[k] * sizes.Area[k];
    }
    if (!(s0 > 0.0) || !(load > 0.0) || !std::isfinite(load))
        return false;
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
    for (std::size_t k = 0; k < m; ++k) {
        sum += weight[k] * count[k];
        sumVolume += weight[k] * count[k] * sizes.Volume[k];
    }
    out.Density = load / area;
    out.MeanArea = area;
    out.Deposit = out.Density * sumVolume / sum;
    return std::isfinite(out.Density) && std::isfinite(out.Deposit) && out.Density > 0.0;
}

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
    const double w = u.Width, h = u.Height;
    for (const std::int64_t a : areas) {
        const double r = std::sqrt(static_cast<double>(a) / std::numbers::pi);
        sizes.Area.push_back(static_cast<double>(a));
        sizes.Radius.push_back(r);
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

    // Each tile left out in turn.
    std::vector<double> densities, deposits;
    for (std::size_t t = 0; t < tiles; ++t) {
        std::vector<double> rest(all);
        for (std::size_t k = 0; k < rest.size(); ++k)
            rest[k] -= inTile[t][k];
        Solved part;
        if (solve(loadOf(static_cast<double>(u.Covered - u.TileCovered[t]),
                         pixels - static_cast<double>(u.TilePixels[t])),
                  sizes, rest, part, whole.Density)) {
            atLeastTheStains(part, static_cast<double>(u.Stains - u.TileStains[t]),
                             pixels - static_cast<double>(u.TilePixels[t]), rest);
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
    return e;
}

} // namespace vex
