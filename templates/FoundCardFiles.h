#pragma once
// Cards found in a picture kept as card files of their own: straightened,
// made the 8-bit card the pipeline takes, and written losslessly beside the
// picture, so that the window loads them as any card and a trial finds
// them again.

#include "intake/CardFinder.h"
#include "intake/ColourReduction.h"
#include "text/Result.h"

#include <cstdint>
#include <optional>
#include <string>

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
};
Result<SavedFoundCard> saveFoundCard(const std::string &picturePath, const SearchedPicture &picture,
                                     const FoundCard &card, int index, const CardSize &size,
                                     std::optional<std::int32_t> scanDpi);

} // namespace vex
