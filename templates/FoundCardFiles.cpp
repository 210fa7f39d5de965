#include "templates/FoundCardFiles.h"

#include "intake/PhotoStains.h"
#include "templates/TemplateCutting.h"

#include <filesystem>

namespace vex {

ReducedPicture eightBitCard(const StraightenedCard &card, std::optional<std::int64_t> *touchingCut)
{
    if (!card.Resampled)
        return reduceColours(card.Colour);
    PhotoCard photo = segmentPhotoCard(card.Colour, static_cast<double>(card.ResolutionDpi));
    if (touchingCut != nullptr)
        *touchingCut = photo.Facts.CutStains;
    return ReducedPicture{std::move(photo.Image), photo.Reduction};
}

std::string foundCardFileName(const std::string &picturePath, int index)
{
    return std::filesystem::path(picturePath).filename().string() + "#" + std::to_string(index) + ".bmp";
}

Result<SavedFoundCard> saveFoundCard(const std::string &picturePath, const SearchedPicture &picture,
                                     const FoundCard &card, int index, const CardSize &size,
                                     std::optional<std::int32_t> scanDpi)
{
    StraightenedCard straight = straightenCard(picture, card, size, scanDpi);
    IndexedImage image = straight.IsColour ? std::move(eightBitCard(straight).Image) : std::move(straight.Indexed);
    const std::string folder = clipFolderOf(picturePath);
    if (const Status made = prepareClipFolder(folder); !made.ok())
        return Result<SavedFoundCard>(made);
    Result<std::string> written =
        writeClip(folder, foundCardFileName(picturePath, index), encodeIndexedBmp(image, straight.ResolutionDpi));
    if (!written.ok())
        return Result<SavedFoundCard>(Status::failure(written.reason()));
    return SavedFoundCard{*written, straight.ResolutionDpi};
}

} // namespace vex
