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

struct Piece {
    std::int32_t Parent = 0;
    std::int64_t Area = 0;
    std::int64_t Valid = 0;
    double Sx = 0.0, Sy = 0.0, Sxx = 0.0, Syy = 0.0;
    std::int32_t Left = 0, Right = 0, Top = 0, Bottom = 0;
};

struct RowRun {
    std::int32_t Row = 0; // 0-based from the top
    std::int32_t Start = 0;
    std::int32_t End = 0; // 0-based, inclusive
    std::int32_t Piece = 0;
};

std::int32_t findRoot(std::vector<Piece> &pieces, std::int32_t i)
{
    while (pieces[static_cast<std::size_t>(i)].Parent != i) {
        Piece &p = pieces[static_cast<std::size_t>(i)];
        p.Parent = pieces[static_cast<std::size_t>(p.Parent)].Parent;
        i = p.Parent;
    }
    return i;
}

void join(std::vector<Piece> &pieces, std::int32_t a, std::int32_t b)
{
    a = findRoot(pieces, a);
    b = findRoot(pieces, b);
    if (a == b)
        return;
    if (a > b)
        std::swap(a, b);
    Piece &into = pieces[static_cast<std::size_t>(a)];
    Piece &from = pieces[static_cast<std::size_t>(b)];
    from.Parent = a;
    into.Area += from.Area;
    into.Valid += from.Valid;
    into.Sx += from.Sx;
    into.Sy += from.Sy;
    into.Sxx += from.Sxx;
    into.Syy += from.Syy;
    into.Left = std::min(into.Left, from.Left);
    into.Right = std::max(into.Right, from.Right);
    into.Top = std::min(into.Top, from.Top);
    into.Bottom = std::max(into.Bottom, from.Bottom);
}

// Pixel centres at x + 0.5.
double sumOf(std::int32_t start, std::int32_t end)
{
    const double n = end - start + 1;
    return n * (static_cast<double>(start) + static_cast<double>(end) + 1.0) / 2.0;
}

double sumOfSquares(std::int32_t start, std::int32_t end)
{
    // Sum of (x + 0.5)^2 = x^2 + x + 1/4 over start..end.
    auto upTo = [](double m) { return m * (m + 1.0) * (2.0 * m + 1.0) / 6.0 + m * (m + 1.0) / 2.0; };
    const double n = end - start + 1;
    return upTo(end) - upTo(static_cast<double>(start) - 1.0) + n / 4.0;
}

} // namespace

int tileOf(std::int32_t width, std::int32_t height, double x, double y)
{
    const int side = StainUnion::TileSide;
    const int column = std::clamp(static_cast<int>(x * side / std::max(width, 1)), 0, side - 1);
    const int row = std::clamp(static_cast<int>(y * side / std::max(height, 1)), 0, side - 1);
    return row * side + column;
}

StainUnion measureStainUnion(const ForegroundPixelList &pixels, std::int32_t width, std::int32_t height,
                             const ScanSettings &settings)
{
    StainUnion u;
    u.Width = width;
    u.Height = height;
    const int side = StainUnion::TileSide;
    u.TileCovered.assign(static_cast<std::size_t>(side * side), 0);
    u.TilePixels.assign(static_cast<std::size_t>(side * side), 0);
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
    const bool allValid = std::all_of(valid.begin(), valid.end(), [](std::uint8_t v) { return v != 0; });

    // Runs of a row joined where they meet, and the pieces they belong to;
    // the list holds the rows bottom first.
    std::vector<Piece> pieces;
    std::vector<RowRun> runs;
    runs.reserve(pixels.runs().size());
    std::size_t rowBegin = 0, belowBegin = 0, belowEnd = 0; // runs of this row and of the one below
    std::size_t offset = 0;
    const std::uint8_t *indices = pixels.indices().data();
    for (const ForegroundPixelList::Run &run : pixels.runs()) {
        if (run.Length <= 0)
            continue;
        const std::int32_t row = run.Row - 1;
        const std::int32_t start = run.Column - 1;
        const std::int32_t end = start + run.Length - 1;
        std::int64_t validPixels = run.Length;
        if (!allValid) {
            validPixels = 0;
            for (std::int32_t k = 0; k < run.Length; ++k)
                validPixels += valid[indices[offset + static_cast<std::size_t>(k)]];
        }
        offset += static_cast<std::size_t>(run.Length);
        if (row < 0 || row >= height || start < 0 || end >= width)
            continue;
        const bool sameRow = !runs.empty() && runs.back().Row == row;
        if (!sameRow) {
            // The row just read becomes the one below, if it is.
            const bool adjacent = !runs.empty() && runs.back().Row == row + 1;
            belowBegin = adjacent ? rowBegin : runs.size();
            belowEnd = runs.size();
            rowBegin = runs.size();
        }
        Piece piece;
        piece.Parent = static_cast<std::int32_t>(pieces.size());
        piece.Area = run.Length;
        piece.Valid = validPixels;
        piece.Sx = sumOf(start, end);
        piece.Sxx = sumOfSquares(start, end);
        piece.Sy = static_cast<double>(run.Length) * (row + 0.5);
        piece.Syy = static_cast<double>(run.Length) * (row + 0.5) * (row + 0.5);
        piece.Left = start;
        piece.Right = end;
        piece.Top = row;
        piece.Bottom = row;
        const auto id = static_cast<std::int32_t>(pieces.size());
        pieces.push_back(piece);
        if (sameRow && start - runs.back().End < 2)
            join(pieces, runs.back().Piece, id);
        runs.push_back(RowRun{row, start, end, id});
        // Eight-connected to the runs of the row below that reach within
        // one column of it.
        for (std::size_t k = belowBegin; k < belowEnd; ++k) {
            const RowRun &below = runs[k];
            if (below.End < start - 1)
                continue;
            if (below.Start > end + 1)
                break;
            join(pieces, below.Piece, id);
        }
        // Runs below that end before this one can touch nothing further on.
        while (belowBegin < belowEnd && runs[belowBegin].End < start - 1)
            ++belowBegin;
    }

    // Which pieces count: those the scan's hue tests would pass.
    const double hueShare = hueLimit(settings.HueThreshold);
    auto counts = [&](const Piece &p) {
        return p.Valid > 0 && static_cast<double>(p.Valid) >= hueShare * static_cast<double>(p.Area);
    };
    for (const RowRun &r : runs) {
        const Piece &root = pieces[static_cast<std::size_t>(findRoot(pieces, r.Piece))];
        if (!counts(root))
            continue;
        u.Covered += r.End - r.Start + 1;
        // Split at the tile columns.
        for (int s = 0; s < side; ++s) {
            const auto left = static_cast<std::int32_t>(static_cast<std::int64_t>(width) * s / side);
            const auto right = static_cast<std::int32_t>(static_cast<std::int64_t>(width) * (s + 1) / side) - 1;
            const std::int32_t a = std::max(left, r.Start), b = std::min(right, r.End);
            if (a <= b)
                u.TileCovered[static_cast<std::size_t>(tileOf(width, height, left + 0.5, r.Row + 0.5))] += b - a + 1;
        }
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece &p = pieces[i];
        if (p.Parent != static_cast<std::int32_t>(i) || !counts(p))
            continue;
        if (p.Left == 0 || p.Top == 0 || p.Right == width - 1 || p.Bottom == height - 1)
            continue;
        const double area = static_cast<double>(p.Area);
        const double cx = p.Sx / area, cy = p.Sy / area;
        const double spread = p.Sxx - p.Sx * cx + p.Syy - p.Sy * cy;
        const double round = 2.0 * std::numbers::pi * spread / (area * area);
        if (round > 1.0 + RoundSlack / area + RoundFloor || std::abs((p.Right - p.Left) - (p.Bottom - p.Top)) > 1)
            continue;
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

// n from the covered share and the lone stains, leaving out those of tile
// `skip` (none when negative); false where nothing can be said.
bool solve(const StainUnion &u, double covered, double pixels, const std::vector<double> &volumes, int skip,
           Solved &out)
{
    const double open = 1.0 - covered / pixels;
    if (!(covered > 0.0) || !(open > 0.0))
        return false;
    const double load = -std::log(open); // n a
    std::vector<std::size_t> which;
    for (std::size_t i = 0; i < u.Lone.size(); ++i)
        if (skip < 0 || tileOf(u.Width, u.Height, u.Lone[i].X, u.Lone[i].Y) != skip)
            which.push_back(i);
    if (which.empty())
        return false;
    std::sort(which.begin(), which.end(),
              [&](std::size_t a, std::size_t b) { return u.Lone[a].Area < u.Lone[b].Area; });
    const std::size_t m = which.size();
    std::vector<double> radius(m), area(m), window(m), exponent(m), weight(m, 1.0);
    const double w = u.Width, h = u.Height;
    for (std::size_t k = 0; k < m; ++k) {
        area[k] = static_cast<double>(u.Lone[which[k]].Area);
        radius[k] = std::sqrt(area[k] / std::numbers::pi);
        // Where its centre could lie with the stain whole and off the edge.
        window[k] = std::log(std::max(w - 1.0 - 2.0 * radius[k], 1.0) * std::max(h - 1.0 - 2.0 * radius[k], 1.0));
    }
    // Sums of the weights and of their radius and squared radius over the
    // stains smaller than each one (sorted by size: those before it).
    std::vector<double> below0(m), below1(m), below2(m);
    double n = load / (std::accumulate(area.begin(), area.end(), 0.0) / static_cast<double>(m));
    double meanArea = 0.0;
    for (int iteration = 0; iteration < 200; ++iteration) {
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, sumArea = 0.0;
        for (std::size_t k = 0; k < m; ++k) {
            // Equal sizes neither hold nor hide one another.
            const bool same = k > 0 && area[k] == area[k - 1];
            below0[k] = same ? below0[k - 1] : s0;
            below1[k] = same ? below1[k - 1] : s1;
            below2[k] = same ? below2[k - 1] : s2;
            s0 += weight[k];
            s1 += weight[k] * radius[k];
            s2 += weight[k] * radius[k] * radius[k];
            sumArea += weight[k] * area[k];
        }
        meanArea = sumArea / s0;
        const double next = load / meanArea;
        const bool settled = iteration > 0 && std::abs(next - n) <= 1e-12 * next;
        n = next;
        if (settled)
            break;
        // Another drop hides a stain of radius r from being seen alone when
        // it lands within r + R + d, unless it lands wholly inside it (within
        // r - R): its stain then adds nothing to the lone one.
        double top = -1e300;
        for (std::size_t k = 0; k < m; ++k) {
            const double r = radius[k], reach = r + TouchReach;
            const double touch = reach * reach * s0 + 2.0 * reach * s1 + s2;
            const double hold = r + HiddenReach;
            const double inside = hold * hold * below0[k] - 2.0 * hold * below1[k] + below2[k];
            exponent[k] = n * std::numbers::pi * (touch - inside) / s0 - window[k];
            top = std::max(top, exponent[k]);
        }
        for (std::size_t k = 0; k < m; ++k)
            weight[k] = std::exp(exponent[k] - top);
    }
    double sum = 0.0, sumVolume = 0.0;
    for (std::size_t k = 0; k < m; ++k) {
        sum += weight[k];
        sumVolume += weight[k] * volumes[which[k]];
    }
    out.Density = n;
    out.MeanArea = meanArea;
    out.Deposit = n * sumVolume / sum;
    return std::isfinite(out.Density) && std::isfinite(out.Deposit);
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
    std::vector<double> volumes;
    volumes.reserve(u.Lone.size());
    for (const LoneStain &s : u.Lone)
        volumes.push_back(volume(s.Area));
    Solved whole;
    if (!(pixels > 0.0) || !solve(u, static_cast<double>(u.Covered), pixels, volumes, -1, whole))
        return e;
    e.Known = true;
    e.Density = whole.Density;
    e.Deposit = whole.Deposit;
    e.MeanArea = whole.MeanArea;
    e.LoneStains = static_cast<std::int32_t>(u.Lone.size());

    std::vector<double> densities, deposits;
    for (std::size_t t = 0; t < u.TileCovered.size(); ++t) {
        Solved part;
        if (solve(u, static_cast<double>(u.Covered - u.TileCovered[t]), pixels - static_cast<double>(u.TilePixels[t]),
                  volumes, static_cast<int>(t), part)) {
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
