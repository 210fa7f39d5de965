#pragma once
// Pictures of water-sensitive cards whose every stain is known: a phone photo
// of one card lying on a leaf, soil, a hand or a table, and a flatbed scan of
// several cards on the scanner's lid.  The tests and benchmarks hold what the
// analysis finds in such a picture to the truth that comes with it, so this
// library depends on nothing of the analysis.
//
// A card is drawn at its own resolution in millimetres and micrometres: a
// yellow paper with a faint fibre texture and blue stains, round, each a
// little lighter or darker than the next, optionally with a darker rim, some
// in touching pairs.  Stain edges are drawn with the share of each pixel the
// disc covers, so that the drawn area is the disc's area.
//
// A photo then goes through what a phone camera does to it, in this order:
// the card placed in the scene by a homography (the card turned in the
// picture and tilted away from the camera, seen by a pinhole of a phone's
// focal length), light falling off across the picture and towards its
// corners, the lens blur (Gaussian or a defocus disc, in linear light), the
// sensor's noise, the sRGB curve, and JPEG compression with the chroma
// subsampled 2 x 2 (4:2:0), as phones store pictures.
//
// Usage:
//     vex::photosim::PhotoSpec spec;          // every field has a default
//     spec.Card.Dpi = 600; spec.TiltDeg = 8; spec.JpegQuality = 85;
//     vex::photosim::Photo photo = vex::photosim::simulatePhoto(spec);
//     photo.Image (BGR, as decoded from photo.Jpeg), photo.Corners, photo.Truth
//
// The same description gives the same picture on every machine that has the same
// OpenCV and libjpeg: the random numbers come from our own generator.

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vex::photosim {

// One stain on the card: its centre in millimetres from the card's top left
// corner (x to the right, y down) and its diameter on the card.
struct Stain {
    double XMm = 0.0;
    double YMm = 0.0;
    double DiameterUm = 0.0;
    // The stain it was placed touching (index into the list), or -1.
    int TouchingWith = -1;
};

struct CardSpec {
    double WidthMm = 76.0;
    double HeightMm = 26.0;
    // The resolution the card is drawn at; in a photo, the resolution the
    // card has at its centre.
    double Dpi = 600.0;
    std::uint64_t Seed = 1;
    // How many stains to place; one that finds no free place is left out.
    int Stains = 600;
    // Log-normal diameters: the median and the standard deviation of their
    // logarithm, kept within Min..Max.
    double MedianDiameterUm = 400.0;
    double Sigma = 0.45;
    double MinDiameterUm = 150.0;
    double MaxDiameterUm = 1500.0;
    // Share of the stains placed so that they overlap a neighbour a little,
    // as two drops landing side by side do; every other stain keeps a gap.
    double TouchingShare = 0.1;
    // A darker ring at the edge of each stain, as the dye gathers there.
    bool DarkRim = true;
};

// What is known of a card: its stains and the figures they give.
struct CardTruth {
    double WidthMm = 0.0;
    double HeightMm = 0.0;
    std::vector<Stain> Stains;
    // Stains, and groups of stains that touch (what a scan sees as one).
    int Count = 0;
    int SeparateCount = 0;
    // The union of the stains over the card, 0..1, worked out from the discs
    // (a touching pair is one lens less than its two discs).
    double Coverage = 0.0;
    // The stain diameter below which half the stain volume lies (stains
    // taken as the drops a spread factor of 1 would give).
    double StainVmdUm = 0.0;
};

enum class Background { Leaf, Soil, Skin, Table };

struct PhotoSpec {
    CardSpec Card;
    Background Scene = Background::Leaf;
    // Share of the picture's width the card's width takes, seen straight.
    double CardShare = 0.7;
    // Width to height of the picture (4:3 as most phones).
    double Aspect = 4.0 / 3.0;
    // The card turned in the picture, and tilted away from the camera about
    // its horizontal and vertical axes, in degrees.
    double RotationDeg = 5.0;
    double TiltXDeg = 6.0;
    double TiltYDeg = 3.0;
    // Focal length over the picture's width: 0.72 is a phone's 26 mm wide
    // lens.
    double FocalShare = 0.72;
    // The card's centre moved from the picture's centre, in shares of the
    // picture's width and height.
    double OffsetX = 0.02;
    double OffsetY = -0.03;
    // Light: a linear fall-off across the picture, from 1 + Gradient to
    // 1 - Gradient, in the direction given, and a vignetting that darkens the
    // corners by Vignetting.
    double Gradient = 0.25;
    double GradientAngleDeg = 30.0;
    double Vignetting = 0.2;
    // The phone's or the hand's shadow across the picture: the light falls by
    // ShadowDepth beyond a line through the picture's centre, moved by
    // ShadowOffset (a share of the width) and turned by ShadowAngleDeg,
    // over a soft edge of ShadowEdge of the width.  0 casts none.
    double ShadowDepth = 0.0;
    double ShadowAngleDeg = 80.0;
    double ShadowOffset = 0.1;
    double ShadowEdge = 0.03;
    // Lens blur in picture pixels: a Gaussian's sigma, or with Defocus a disc
    // of that radius.
    double BlurPx = 0.8;
    bool Defocus = false;
    // Sensor noise, standard deviation in 8-bit levels at mid grey; chroma
    // noise is half of it.
    double NoiseLevels = 2.0;
    // JPEG quality 1..100; 0 keeps the picture uncompressed.
    int JpegQuality = 88;
    bool Subsample420 = true;
    std::uint64_t Seed = 7;
};

struct Photo {
    // The picture as a decoder gives it back (BGR, 8 bits).
    cv::Mat Image;
    // The JPEG file's bytes; empty when JpegQuality is 0.
    std::vector<std::uint8_t> Jpeg;
    // The card's corners in picture pixels (pixel centres at whole
    // numbers), clockwise from the card's top left.
    std::array<cv::Point2d, 4> Corners;
    CardTruth Truth;
};

// Fine (empty) when the card or photo described can be drawn, else why not.
std::string checkCardSpec(const CardSpec &spec);
std::string checkSpec(const PhotoSpec &spec);
// The description must pass checkSpec.
Photo simulatePhoto(const PhotoSpec &spec);

// The card alone as drawn, at spec.Dpi, without camera: BGR 8 bits, and the
// stain cover of each pixel (0..1, float).
struct DrawnCard {
    cv::Mat Image;
    cv::Mat Cover;
    CardTruth Truth;
};
DrawnCard drawCard(const CardSpec &spec);
// Where the stains of a card lie and what they give, without drawing.
CardTruth placeStains(const CardSpec &spec);

// A flatbed sheet: cards in rows on the scanner's lid, light or dark, each
// straight or turned by up to MaxRotationDeg, scanned at Dpi.
struct SheetSpec {
    double Dpi = 600.0;
    double WidthMm = 216.0;
    double HeightMm = 150.0;
    int Cards = 4;
    CardSpec Card; // every card as this one, with seeds Seed, Seed + 1, ...
    bool DarkLid = false;
    double MaxRotationDeg = 0.0;
    double NoiseLevels = 1.0;
    double BlurPx = 0.5;
    std::uint64_t Seed = 11;
};

struct SheetCard {
    std::array<cv::Point2d, 4> Corners; // in sheet pixels, clockwise from top left
    double RotationDeg = 0.0;           // clockwise as seen in the picture
    CardTruth Truth;
};

struct Sheet {
    cv::Mat Image; // BGR 8 bits
    double Dpi = 0.0;
    std::vector<SheetCard> Cards; // in reading order
};

std::string checkSheetSpec(const SheetSpec &spec);
Sheet simulateSheet(const SheetSpec &spec);

// The truth as JSON: corners (when given), card size, every stain, count,
// coverage, stain VMD and, when dropVmdUm is not negative, the drop VMD.
std::string truthJson(const CardTruth &truth, const std::array<cv::Point2d, 4> *corners, double dpi,
                      double dropVmdUm = -1.0);

// The volume median of these diameters, the way the truth gives it.
double volumeMedianDiameter(std::vector<double> diameters);

// The card cut out of a picture by its corners (clockwise from its top
// left) and warped onto a rectangle of `size` pixels, as a card finder that
// found the corners exactly would give it.
cv::Mat straightenCard(const cv::Mat &picture, const std::array<cv::Point2d, 4> &corners, cv::Size size);
// The size in pixels of a card of the truth's size at `dpi`.
cv::Size cardPixels(const CardTruth &truth, double dpi);

// Encodes BGR 8-bit pictures; empty when libjpeg or libpng fails.
std::vector<std::uint8_t> encodeJpeg(const cv::Mat &bgr, int quality, bool subsample420, double dpi = 0.0);
cv::Mat decodeJpeg(const std::vector<std::uint8_t> &bytes);
std::vector<std::uint8_t> encodePng(const cv::Mat &bgr, double dpi);

} // namespace vex::photosim
