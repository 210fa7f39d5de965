#pragma once
// Finding water-sensitive cards in a picture that is more than the card: a
// phone photo of one card lying on a leaf, on soil, in a hand or on a
// table, or a flatbed scan of several cards on the lid.  The paper is found
// by its colour (the yellow of the paper, whatever the light), its outline
// fitted by four straight sides, and each card is then cut out as the
// picture the rest of the pipeline expects: warped onto a rectangle of its
// real size, or, for a card lying straight on a scan, cut without touching
// a pixel.
//
// Corners are in the picture's pixels, x to the right and y down from the
// top left corner of the top left pixel's centre, and clockwise (on the
// screen) from the card's top left.  The card's top left is where it is
// once the card is turned the least way that lays its long side
// horizontal: a card turned by less than a quarter turn either way keeps
// its upper long side as its top, and a card standing exactly upright is
// taken as turned a quarter turn clockwise (its top left is its upper right
// corner in the picture).  Paper has no printed top, so a card lying upside
// down is read upside down; its figures do not depend on it.  A card cut
// straight from a scan keeps the scan's orientation instead, so that it
// holds the scan's very pixels: its corners start at its top left as it
// lies.

#include "intake/ColourImage.h"
#include "intake/IndexedImage.h"
#include "text/Result.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vex {

// The card's size in millimetres, the long side first.
struct CardSize {
    friend bool operator==(const CardSize &, const CardSize &) = default;
    double WidthMm = 76.0;
    double HeightMm = 26.0;
};

// The sizes water-sensitive paper is commonly sold in: the 76 x 26 mm card
// most sprayers use, the 76 x 52 mm double card, and the 52 x 26 mm and
// 38 x 26 mm halves.
struct CardSizePreset {
    const char *Name;
    CardSize Size;
};
const std::vector<CardSizePreset> &cardSizePresets();

// "76x26", "76 X 52", "52x26.5 mm" (either side first; the long side is taken
// as the width); nothing for text that is not two sizes between 5 and 500 mm.
std::optional<CardSize> parseCardSize(const std::string &text);
// "76 x 26 mm".
std::string cardSizeText(const CardSize &size);

struct PicturePoint {
    friend bool operator==(const PicturePoint &, const PicturePoint &) = default;
    double X = 0.0;
    double Y = 0.0;
};

// A card turned less than this from the picture's rows and columns, with
// sides square and parallel within it, lies straight: a scan's card is then
// cut without resampling.
inline constexpr double StraightDegrees = 0.5;

struct FoundCard {
    std::array<PicturePoint, 4> Corners; // clockwise from the card's top left
    // How far the card's top side is turned from the picture's rows,
    // degrees, clockwise on the screen positive.
    double TurnDegrees = 0.0;
    bool Straight = false;
    // The mean lengths of the long and of the short sides, in pixels.
    double LongSidePixels = 0.0;
    double ShortSidePixels = 0.0;
    // A corner lies on the picture's edge or beyond it: the card may run off
    // the picture, its hidden corner guessed from the sides that show.
    bool AtPictureEdge = false;
};

// A picture of blue-green-red triples, rows top first `Step` bytes apart
// (negative for a picture kept bottom row first).
struct PictureView {
    const std::uint8_t *Top = nullptr;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::ptrdiff_t Step = 0;
};
PictureView viewOf(const ColourImage &picture);

// An 8-bit picture in its colours, for the search.
ColourImage coloursOf(const IndexedImage &picture);

// Every card of `size` in the picture, in reading order: top to bottom, and
// left to right in a row (cards whose heights overlap by half the smaller
// one's share a row).  Fails, saying why, when there is none.
Result<std::vector<FoundCard>> findCards(const PictureView &picture, const CardSize &size);

// A card whose corners were placed by hand, in either turning order: its
// top left, turn, sides and straightness as findCards gives them.
FoundCard cardFromCorners(const std::array<PicturePoint, 4> &corners);

// A rectangle of whole pixels, top row first.
struct PixelRect {
    friend bool operator==(const PixelRect &, const PixelRect &) = default;
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};
// The pixels of a straight card, inset by CutInsetPixels from its fitted
// edges so that no lid and no half-lit edge pixel is taken.
inline constexpr std::int32_t CutInsetPixels = 2;
PixelRect straightCut(const FoundCard &card, std::int32_t pictureWidth, std::int32_t pictureHeight);

// A found card as a card of its own.
struct StraightenedCard {
    // One of the two: an 8-bit picture keeps its colour table (cut, or
    // turned by nearest pixels so that no colour is made up), a colour
    // picture is cut or warped with cubic interpolation.
    bool IsColour = false;
    IndexedImage Indexed;
    ColourImage Colour;
    std::int32_t ResolutionDpi = 0;
    bool Resampled = false; // warped, not cut
    // The card's corners in the picture, clockwise from the top left of the
    // card as straightened (a cut card's as it lies).
    std::array<PicturePoint, 4> Corners;
};

// The picture a card is found in: its 8-bit rows when it has them, else
// its colours.
struct SearchedPicture {
    const IndexedImage *Indexed = nullptr;
    const ColourImage *Colour = nullptr;
};

// The resolution of a photographed card: its pixels over its size.
std::int32_t photoResolution(const FoundCard &card, const CardSize &size);

// A card straightened.  With `scanDpi` (a flatbed scan) it keeps the scan's
// resolution and size in pixels, and a straight card is cut; without it
// (a photo) it is warped onto a rectangle of `size` at photoResolution.
// Throws std::bad_alloc when memory runs out.
StraightenedCard straightenCard(const SearchedPicture &picture, const FoundCard &card, const CardSize &size,
                                std::optional<std::int32_t> scanDpi);

} // namespace vex
