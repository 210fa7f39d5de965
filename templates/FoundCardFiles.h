#pragma once
// Cards found in a picture kept as card files of their own: straightened,
// made the 8-bit card the pipeline takes, and written losslessly beside the
// picture, so that the window loads them as any card and a trial finds
// them again.

#include "intake/CardFinder.h"
#include "intake/ColourReduction.h"
#include "model/CardSource.h"
#include "text/Result.h"

#include "model/CardRecord.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vex {

// A card cut straight from a colour scan is reduced as its file alone would
// be, so that it gives the same figures; a warped card (a photo, or a card
// turned on the scan) has blurred, resampled edges, which the photo
// segmentation places halfway between paper and stain.  The segmentation
// also cuts stains of touching drops apart, as blur joins them more than a
// scan does; `touchingCut`, when given, is set to how many it cut (left
// empty for a card reduced as its file would be).
ReducedPicture eightBitCard(const StraightenedCard &card, std::optional<std::int64_t> *touchingCut = nullptr);

// "photo.jpg#2.bmp": the file of card `index` (from 1) of the picture.
std::string foundCardFileName(const std::string &picturePath, int index);

// Straightens the card, makes it 8-bit and writes it as a bitmap recording
// its resolution into the cards' folder beside the picture (made when
// missing; a different file of the name is never replaced).  Gives the
// file's path and the card's resolution.
struct SavedFoundCard {
    std::string Path;
    std::int32_t ResolutionDpi = 0;
    // As the card was cut: clockwise from its top left (a straight cut's as it lies).
    std::array<PicturePoint, 4> Corners;
};
Result<SavedFoundCard> saveFoundCard(const std::string &picturePath, const SearchedPicture &picture,
                                     const FoundCard &card, int index, const CardSize &size,
                                     std::optional<std::int32_t> scanDpi);

// A picture that records a scanner's resolution is a scan, whose cards keep
// it; phones record 72 dpi or nothing, and a photo's cards take theirs from
// their size.
std::optional<std::int32_t> scanResolution(std::int32_t recordedDpi);

// What a card cut from the picture keeps of where it came from.
CardSource cardSourceOf(const std::string &picturePath, const SavedFoundCard &saved, int index, const CardSize &size);

// Cuts a card whose file has gone again from the picture it came from (read
// again, and its scan resolution taken as Find Cards took it), into
// the file it had: the very bytes Find Cards wrote while the picture is
// unchanged.  Only a file missing from the cards' folder of that picture,
// named as Find Cards names that card, is written: a trial from elsewhere
// cannot have a file made anywhere else.
Status cutCardAgain(const CardRecord &card, const SearchedPicture &picture, std::optional<std::int32_t> scanDpi);

// The cards once accepted from the picture at `picturePath`, among `sources`,
// to be shown again as they were: their corners in the order of their places
// in the picture, and the card size they were cut to (that of the last one
// named; cards of another size are left out).  A place named twice, as when
// corners were corrected and accepted again, takes the later.  Nothing when
// no card came from that picture.
struct CutCards {
    std::vector<FoundCard> Cards;
    CardSize Size;
};
std::optional<CutCards> cardsCutFrom(const std::string &picturePath, const std::vector<CardSource> &sources);

} // namespace vex
