#pragma once
// How many drops a dense card caught, whatever their stains hide of one
// another, for drops that land at random and leave round stains.
//
// Such stains make the union of a Boolean model.  Two things of it can be
// read on the card however much the stains merge: the share A it covers,
// with A = 1 - exp(-n a) for n drops per unit area of mean stain area a; and
// the stains that stand alone.  A stain of radius r stands alone when no
// other drop landed within r + R + d of it (R the other's radius, d the reach
// of a digital touch), which happens with probability
//
//     p(r) = exp(-n E[pi (r + R + d)^2])
//
// so weighting each lone stain by 1 / p(r) (Horvitz and Thompson) gives back
// the size distribution of all drops, hidden or not.  Its mean area in the
// first formula gives n; n is in the weights too, so the two are solved
// together.  Lone stains cut by the card's edge are not seen whole: they are
// left out and the others weighted for the smaller window their centres had
// (minus sampling).  Every stain holds a drop at least: where the estimate
// comes out below the stains seen, the drops avoided one another rather than
// landing at random, and the stains are taken as they are.
//
// At high coverage the largest drops are hardly ever seen alone, and the
// weights cannot give back what no lone stain shows.  Whether such drops
// landed or none did, the lone stains cannot tell: where those sizes are
// hidden, the deposit is worked out again with them taken from a log-normal
// fitted to the smaller lone stains, and its interval spans both.
//
// The connectivity, the covered share and the Euler number of such unions
// were tried too: the Euler number of a digital union is far from that of the
// drawn one where two stain rims cross (pixels left between them count as
// holes), which biased the density by 7 to 20 % at 45 % coverage; the lone
// stains' sizes are exact and carry no such bias.

#include "analysis/StainScan.h"
#include "model/CardRecord.h"

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace vex {

// A stain that touches no other and not the card's edge, and is round.
struct LoneStain {
    std::int64_t Area = 0; // pixels
    double X = 0.0;        // centroid, pixels from the left and top edges
    double Y = 0.0;
};

// What the estimate needs of a card: its covered pixels, in tiles too (for
// the interval), and its lone stains.
struct StainUnion {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int64_t Covered = 0;
    static constexpr int TileSide = 4;     // tiles across and down
    std::vector<std::int64_t> TileCovered; // TileSide * TileSide, rows of tiles top first
    std::vector<std::int64_t> TilePixels;
    // Stains that count and lie off the edge, each holding one drop at least.
    std::int64_t Stains = 0;
    std::vector<std::int64_t> TileStains;
    std::vector<LoneStain> Lone;
};

// The tile (0 .. TileSide^2 - 1) of a point of a width x height card.
int tileOf(std::int32_t width, std::int32_t height, double x, double y);

// Stains are the eight-connected pieces of the foreground pixels, as the
// stain scan joins them; only those whose hues pass the scan's hue tests
// count, so the estimate sees the stains the hue range accepts.  With the
// card's stain pixels counted by hue, a range that holds every hue found
// spares the look at each pixel.
StainUnion measureStainUnion(const ForegroundPixelList &pixels, std::int32_t width, std::int32_t height,
                             const ScanSettings &settings, const std::array<std::int32_t, 257> *hueCounts = nullptr);

struct DropEstimate {
    bool Known = false;
    double Density = 0.0; // drops per pixel
    double DensityLow = 0.0;
    double DensityHigh = 0.0;
    double Deposit = 0.0; // volume per pixel, in the unit of the volume function
    double DepositLow = 0.0;
    double DepositHigh = 0.0;
    double MeanArea = 0.0; // pixels, of all drops' stains
    std::int32_t LoneStains = 0;
};

// The estimate and its 95 % intervals (from the spread of the estimate with
// each tile left out in turn: a jackknife; the deposit's widened where the
// largest drops hide).  `volume` gives the drop volume
// of a stain of that many pixels.  Unknown on a bare card and where no stain
// stands alone.
DropEstimate estimateDrops(const StainUnion &stains, const std::function<double(std::int64_t)> &volume);

} // namespace vex
