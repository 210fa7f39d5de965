#pragma once
// Writes synthetic card scans whose stains are known exactly: round blue
// discs that never touch one another (not even at a corner), a little yellow
// dust, on a yellowish card with a dither colour scattered through it.  The
// tests compare what the analysis finds with the discs this generator drew,
// so it depends on nothing of the analysis and draws each disc as a plain
// digital disc: one run per row, every row overlapping the next.
//
// In overlap mode the discs are instead dropped at random, free to touch
// and overlap as drops on a dense card do, until they cover a given share of
// the card; the truth then lists every drop, hidden or not.
//
// The same CardSpec always gives the same card, on every machine: the random
// numbers come from our own generator and the geometry from integer tests.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex::cardgen {

struct Colour {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
};

// Colour table layout of every generated card.
constexpr std::uint8_t BackgroundIndex = 1;
constexpr std::uint8_t DitherIndex = 2;
constexpr std::uint8_t FirstStainIndex = 3; // blue shades, dark core to light rim
constexpr int StainShades = 8;
constexpr std::uint8_t FirstDustIndex = FirstStainIndex + StainShades; // yellow-brown
constexpr int DustShades = 3;

struct CardSpec {
    std::int32_t Width = 480;
    std::int32_t Height = 1440;
    std::int32_t Dpi = 600;
    std::uint64_t Seed = 1;
    // How many discs to try to place; a disc that finds no free place after
    // a number of tries is left out, so a crowded card holds fewer.
    std::int64_t Discs = 300;
    // Diameters in pixels, small ones far more common than large ones.
    double MinDiameter = 2.0;
    double MaxDiameter = 40.0;
    std::int64_t DustSpecks = 10;
    // Share of the clear card drawn in the dither colour.
    double DitherShare = 0.2;
    // The bottom rows (where the background is sampled) stay clear.
    std::int32_t ClearBottomRows = 8;
    // Overlap mode: log-normal diameters (median and the standard deviation
    // of their logarithm), kept within MinDiameter..MaxDiameter, placed until
    // the union of the discs covers Coverage of the whole card.
    bool Overlap = false;
    double Coverage = 0.3;
    double MedianDiameter = 12.0;
    double Sigma = 0.35;
};

struct Disc {
    // Centre in pixel units: x from the left edge, y from the top edge.
    double CentreX = 0.0;
    double CentreY = 0.0;
    double Radius = 0.0;
    std::int64_t Area = 0; // pixels drawn
};

struct Card {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t Dpi = 0;
    std::vector<std::uint8_t> Pixels; // colour indices, top row first
    std::array<Colour, 256> Palette{};
    std::vector<Disc> Discs;
    std::vector<std::int64_t> DustAreas;
    std::int64_t StainedPixels = 0; // the union of the discs
};

// Checks a CardSpec; an empty string when it can be drawn, else the reason.
std::string checkSpec(const CardSpec &spec);

// Draws the card.  The CardSpec must pass checkSpec.
Card generateCard(const CardSpec &spec);

// The card as an uncompressed, bottom-up 8-bit bitmap with a 40-byte header
// and a full colour table, its resolution in the header.
std::vector<std::uint8_t> encodeBmp(const Card &card);

// Writes encodeBmp(card) to `path` through a temporary file; an empty string
// when it worked, else the reason.
std::string writeBmp(const Card &card, const std::string &path);

// One line per disc, "x y radius area", then one per speck, "dust area".
std::string truthText(const Card &card);

// The CardSpec of card `index` (0-based) of a line of `cards`: the disc count
// follows a bell over the line, highest in the middle, as under one pass of
// an aircraft.
CardSpec lineCardSpec(const CardSpec &base, int index, int cards);

} // namespace vex::cardgen
