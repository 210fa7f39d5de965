#include "app/batch/BatchPictures.h"

#include "app/batch/BatchText.h"
#include "intake/PhotoStains.h"
#include "intake/Resolution.h"
#include "intake/qt/PictureLoader.h"
#include "line/CardLimits.h"
#include "templates/FoundCardFiles.h"

#include <QImage>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

namespace vex::batch {

namespace {

// A file records a scanner's resolution from here on; phones record 72 dpi
// or nothing.
constexpr std::int32_t LowestScanDpi = 150;

Result<LoadedPicture> failed(std::string reason)
{
    return Result<LoadedPicture>(Status::failure(std::move(reason)));
}

// Any other picture in its colours, turned as its camera says it is seen.
Result<LoadedPicture> loadColours(const std::string &path)
{
    Result<ColourPicture> read = readColourPicture(path, false);
    if (!read.ok())
        return failed(read.reason());
    LoadedPicture loaded;
    loaded.RecordedDpi = read->RecordedDpi;
    loaded.Colour = std::move(read->Colour);
    return loaded;
}

} // namespace

Result<LoadedPicture> loadPicture(const std::string &path)
{
    if (const Status file = checkCardFile(path); !file.ok())
        return failed(file.reason());
    std::uint8_t head[16] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char *>(head), sizeof head);
    const PictureKind kind = sniffPicture(head, static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    if (kind == PictureKind::Unknown)
        return failed("the file is not a picture: it holds none of BMP, GIF, TIF, PNG or JPEG");
    if (kind == PictureKind::Jpeg || kind == PictureKind::Png)
        return loadColours(path);
    // An 8-bit BMP, GIF or TIF is read as a card is.
    DecodeResult decoded = loadIndexedImage(path, IntakeOptions{false});
    if (decoded.ok()) {
        LoadedPicture loaded;
        loaded.RecordedDpi = recordedResolution(decoded->PixelsPerMetreX, decoded->PixelsPerMetreY);
        loaded.Warnings = decoded->Warnings;
        loaded.Indexed = std::move(decoded->Image);
        return loaded;
    }
    // Colour scans, and 8-bit pictures under another name (.tiff), in their colours.
    if (decoded->BitsPerPixel > 8 || decoded.reason() == "the file type is not supported")
        return loadColours(path);
    return failed(decoded.reason());
}

std::string foundCardLog(const std::string &log, int index)
{
    const std::string tail = ".scn";
    if (log.size() >= tail.size() && log.compare(log.size() - tail.size(), tail.size(), tail) == 0)
        return log.substr(0, log.size() - tail.size()) + "#" + std::to_string(index) + tail;
    return log + "#" + std::to_string(index);
}

AnalysedCard analysePictureFile(const std::string &file, const AnalysisSettings &settings, const BatchOptions &options,
                                std::atomic<int> &share)
{
    AnalysedCard a;
    const std::filesystem::path path = file;
    const std::string title = path.filename().string();
    const std::string folder = path.parent_path().string() + "/";
    Result<LoadedPicture> loaded = loadPicture(file);
    if (!loaded.ok()) {
        a.Said.push_back(shown(file) + ": " + onOneLine(loaded.reason()));
        return a;
    }
    for (const std::string &warning : loaded->Warnings)
        a.Said.push_back(shown(file) + ": warning: " + onOneLine(warning));
    if (loaded->Indexed)
        loaded->Colour = coloursOf(*loaded->Indexed);
    const CardSize size = options.FoundCardSize.value_or(CardSize{});
    const Result<std::vector<FoundCard>> found = findCards(viewOf(loaded->Colour), size);
    if (!found.ok()) {
        a.Said.push_back(shown(file) + ": " + found.reason());
        return a;
    }
    // A scan keeps its resolution: the one typed for the run, else a
    // scanner's that the file records.  A photo's cards take theirs from
    // their size.
    std::optional<std::int32_t> scanDpi;
    if (options.setting("DefaultRes"))
        scanDpi = settings.Resolution;
    else if (loaded->RecordedDpi >= LowestScanDpi)
        scanDpi = loaded->RecordedDpi;
    const SearchedPicture searched{loaded->Indexed ? &*loaded->Indexed : nullptr, &loaded->Colour};
    const auto cards = static_cast<int>(found->size());
    for (int k = 0; k < cards; ++k) {
        const FoundCard &where = (*found)[static_cast<std::size_t>(k)];
        AnalysedCard one;
        StraightenedCard straight = straightenCard(searched, where, size, scanDpi);
        IndexedImage image;
        ColourReduction reduction;
        std::optional<std::int64_t> touchingCut;
        if (straight.IsColour) {
            ReducedPicture reduced = eightBitCard(straight, &touchingCut);
            image = std::move(reduced.Image);
            reduction = reduced.Reduction;
        } else {
            image = std::move(straight.Indexed);
        }
        const std::string name = title + "#" + std::to_string(k + 1);
        auto card = std::make_unique<CardRecord>(
            newCardRecord(name, folder, image.Width, image.Height, straight.ResolutionDpi));
        card->ReducedFromBits = reduction.FromBits;
        card->ReducedColours = reduction.Colours;
        card->ReducedExactly = reduction.Exact;
        AnalysisSettings own = settings;
        own.Resolution = straight.ResolutionDpi;
        own.ResolutionFromFile = false;
        thread_local ForegroundPixelList spare;
        card->ForegroundPixels = std::move(spare);
        one.Figures = analyseCard(*card, image, own);
        spare = std::exchange(card->ForegroundPixels, ForegroundPixelList());
        spare.clear();

        FoundCardSource source;
        source.File = file;
        source.Index = k + 1;
        source.Corners = straight.Corners;
        source.ResolutionDpi = straight.ResolutionDpi;
        source.SmallestStainUm = smallestDetectableStainUm(straight.ResolutionDpi);
        source.SmallestDropUm = smallestDetectableDropUm(straight.ResolutionDpi, settings.Spread);
        source.Warnings = cardLimitWarnings(*card, settings.Spread);
        if (where.AtPictureEdge)
            source.Warnings.insert(
                source.Warnings.begin(),
                "the card reaches the edge of the picture: if part of it is cut off, the corners there "
                "are guessed, and its resolution and figures are wrong");
        source.TouchingCut = touchingCut;
        if (scanDpi) {
            // A scan whose cards measure other than their size: the
            // resolution or the size given is wrong.
            constexpr double MillimetresPerInch = 25.4;
            const double longMm = where.LongSidePixels / *scanDpi * MillimetresPerInch;
            const double shortMm = where.ShortSidePixels / *scanDpi * MillimetresPerInch;
            if (std::fabs(longMm / size.WidthMm - 1) > 0.1 || std::fabs(shortMm / size.HeightMm - 1) > 0.1) {
                char text[200];
                std::snprintf(text, sizeof text, "the card measures %.1f x %.1f mm at %d dpi, not %s", longMm, shortMm,
                              *scanDpi, cardSizeText(size).c_str());
                source.Warnings.insert(source.Warnings.begin(), text);
            }
        }
        for (const std::string &warning : source.Warnings)
            one.Said.push_back(shown(folder + name) + ": warning: " + warning);
        if (options.Json && one.Figures.Figures.ok()) {
            BatchCardResult r;
            r.Card = card.get();
            r.Figures = std::move(one.Figures);
            r.Source = source;
            one.Json = batchCardJson(r, settings.Bootstrap, &own);
            one.Figures = std::move(r.Figures);
        }
        one.Source = std::move(source);
        one.Card = std::move(card);
        a.Found.push_back(std::move(one));
        share.store(1000 * (k + 1) / cards, std::memory_order_relaxed);
    }
    return a;
}

} // namespace vex::batch
