#pragma once
// Pictures searched for cards (--find-cards): a photo of a card or a
// flatbed scan of several, each card found analysed as a card of its own.

#include "app/batch/BatchCards.h"
#include "intake/CardFinder.h"
#include "intake/ColourReduction.h"
#include "text/Result.h"

#include <optional>
#include <string>

namespace vex::batch {

// A picture as decoded: the rows of an 8-bit file, which a straight card is
// cut from untouched, or the colours of any other.
struct LoadedPicture {
    std::optional<IndexedImage> Indexed;
    ColourImage Colour;
    std::int32_t RecordedDpi = 0; // 0 for a file that records none
    std::vector<std::string> Warnings;
};
Result<LoadedPicture> loadPicture(const std::string &path);

// The cards found in the picture at `path`, each analysed with `settings`
// at its own resolution, in AnalysedCard::Found; none, with the reason in
// Said, when the picture cannot be read or holds no card.
AnalysedCard analysePictureFile(const std::string &path, const AnalysisSettings &settings, const BatchOptions &options,
                                std::atomic<int> &share);

// The scan log of card `index` of a picture whose own log would be `log`:
// "photo.scn" gives "photo#2.scn".
std::string foundCardLog(const std::string &log, int index);

} // namespace vex::batch
