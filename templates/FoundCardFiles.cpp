#include "templates/FoundCardFiles.h"

#include "intake/PhotoStains.h"
#include "templates/TemplateCutting.h"
#include "text/SameFile.h"
#include "text/WholeFile.h"

#include <array>
#include <filesystem>
#include <map>
#include <string_view>

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

namespace {

// The bytes of the card's file, with its resolution and corners.
std::vector<std::uint8_t> cardFileBytes(const SearchedPicture &picture, const FoundCard &card, const CardSize &size,
                                        std::optional<std::int32_t> scanDpi, SavedFoundCard &facts)
{
    StraightenedCard straight = straightenCard(picture, card, size, scanDpi);
    IndexedImage image = straight.IsColour ? std::move(eightBitCard(straight).Image) : std::move(straight.Indexed);
    facts.ResolutionDpi = straight.ResolutionDpi;
    facts.Corners = straight.Corners;
    return encodeIndexedBmp(image, straight.ResolutionDpi);
}

std::array<PicturePoint, 4> cornersOf(const CardSource &source)
{
    std::array<PicturePoint, 4> corners;
    for (std::size_t i = 0; i < corners.size(); ++i)
        corners[i] = {source.Corners[i].X, source.Corners[i].Y};
    return corners;
}

} // namespace

Result<SavedFoundCard> saveFoundCard(const std::string &picturePath, const SearchedPicture &picture,
                                     const FoundCard &card, int index, const CardSize &size,
                                     std::optional<std::int32_t> scanDpi)
{
    SavedFoundCard saved;
    const std::vector<std::uint8_t> bytes = cardFileBytes(picture, card, size, scanDpi, saved);
    const std::string folder = clipFolderOf(picturePath);
    if (const Status made = prepareClipFolder(folder); !made.ok())
        return Result<SavedFoundCard>(made);
    Result<std::string> written = writeClip(folder, foundCardFileName(picturePath, index), bytes);
    if (!written.ok())
        return Result<SavedFoundCard>(Status::failure(written.reason()));
    saved.Path = *written;
    return saved;
}

std::optional<std::int32_t> scanResolution(std::int32_t recordedDpi)
{
    constexpr std::int32_t LowestScanDpi = 150;
    return recordedDpi >= LowestScanDpi ? std::optional<std::int32_t>(recordedDpi) : std::nullopt;
}

CardSource cardSourceOf(const std::string &picturePath, const SavedFoundCard &saved, int index, const CardSize &size)
{
    CardSource source;
    source.PicturePath = std::filesystem::absolute(picturePath).lexically_normal().string();
    source.Index = index;
    for (std::size_t i = 0; i < saved.Corners.size(); ++i)
        source.Corners[i] = {saved.Corners[i].X, saved.Corners[i].Y};
    source.WidthMm = size.WidthMm;
    source.HeightMm = size.HeightMm;
    return source;
}

std::optional<CutCards> cardsCutFrom(const std::string &picturePath, const std::vector<CardSource> &sources)
{
    std::vector<const CardSource *> cut;
    for (const CardSource &s : sources)
        if (sameFile(s.PicturePath, picturePath))
            cut.push_back(&s);
    if (cut.empty())
        return std::nullopt;
    const CardSize size{cut.back()->WidthMm, cut.back()->HeightMm};
    std::map<std::int32_t, const CardSource *> byPlace;
    for (const CardSource *s : cut)
        if (CardSize{s->WidthMm, s->HeightMm} == size)
            byPlace[s->Index] = s;
    CutCards cards{{}, size};
    for (const auto &placed : byPlace)
        cards.Cards.push_back(cardFromCorners(cornersOf(*placed.second)));
    return cards;
}

Status cutCardAgain(const CardRecord &card, const SearchedPicture &picture, std::optional<std::int32_t> scanDpi)
{
    namespace fs = std::filesystem;
    if (!card.Source)
        return Status::failure(card.FileTitle + " was not cut from a picture.");
    const CardSource &source = *card.Source;
    const fs::path file = fs::absolute(card.FilePath).lexically_normal();
    const fs::path folder = fs::absolute(fs::path(clipFolderOf(source.PicturePath)).parent_path()).lexically_normal();
    const std::string name = foundCardFileName(source.PicturePath, source.Index);
    const std::string stem = fs::path(name).stem().string();
    const std::string title = file.filename().string();
    // Its own name, or the name writeClip gave it beside an earlier cut.
    const bool named = title == name || (title.rfind(stem + "-", 0) == 0 && file.extension() == ".bmp");
    if (file.parent_path() != folder)
        return Status::failure(title + " is not in the folder of the cards of " + source.PicturePath + ".");
    if (!named)
        return Status::failure(title + " is not named as a card of " + source.PicturePath + ".");
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec)))
        return Status::failure(title + " is there already.");
    SavedFoundCard facts;
    const std::vector<std::uint8_t> bytes = cardFileBytes(picture, cardFromCorners(cornersOf(source)),
                                                          CardSize{source.WidthMm, source.HeightMm}, scanDpi, facts);
    if (const Status made = prepareClipFolder(folder.string()); !made.ok())
        return made;
    return writeWholeFile(file.string(), std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
}

} // namespace vex
