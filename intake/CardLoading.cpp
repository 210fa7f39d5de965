#include "intake/CardLoading.h"

#include "intake/Resolution.h"
#include "model/CardGeometry.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>

#include <cctype>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace vex {

std::string cardExtension(const std::string &fileTitle)
{
    std::string ext = fileTitle.size() >= 3 ? fileTitle.substr(fileTitle.size() - 3) : fileTitle;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool isCardExtension(const std::string &extension)
{
    return extension == "bmp" || extension == "gif" || extension == "tif";
}

std::string lowerCaseExtension(const std::string &fileTitle)
{
    const std::size_t dot = fileTitle.find_last_of('.');
    const std::size_t slash = fileTitle.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = fileTitle.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

bool isCardFileName(const std::string &fileTitle, const IntakeOptions &options)
{
    if (isCardExtension(cardExtension(fileTitle)))
        return true;
    if (!options.ReduceColours)
        return false;
    const std::string ext = lowerCaseExtension(fileTitle);
    return ext == "png" || ext == "jpg" || ext == "jpeg" || ext == "tiff";
}

std::string loadDialogFilter(const IntakeOptions &options)
{
    if (!options.ReduceColours)
        return LoadDialogFilter;
    return "All Image Files|*.bmp;*.gif;*.tif;*.png;*.jpg;*.jpeg;*.tiff|Bitmap Files (*.bmp)|*.bmp|"
           "GIF Files (*.gif)|*.gif|TIF Files (*.tif *.tiff)|*.tif;*.tiff|PNG Files (*.png)|*.png|"
           "JPEG Files (*.jpg *.jpeg)|*.jpg;*.jpeg";
}

std::string reductionNote(const CardRecord &card)
{
    if (card.ReducedFromBits == 0)
        return {};
    return "reduced from " + std::to_string(card.ReducedFromBits) + " bits to " + std::to_string(card.ReducedColours) +
           (card.ReducedColours == 1 ? " colour" : " colours") + (card.ReducedExactly ? "" : ", approximately");
}

std::string unsupportedTypeMessage(const std::string &fileTitle)
{
    return "'" + fileTitle + "' is an unsupported file type.";
}

std::string alreadyOpenedMessage(const std::string &fileTitle)
{
    return "'" + fileTitle + "' has\ralready been opened.";
}

std::string colourDepthMessage(int bitsPerPixel)
{
    return "This file is encoded at " + std::to_string(bitsPerPixel) + " bits per\rpixel and cannot be analysed.";
}

std::string invalidGifMessage(const std::string &fileTitle)
{
    return "'" + fileTitle + "' does not seem to be a valid GIF image.";
}

std::string unreadableFileMessage(const std::string &fileTitle, const std::string &reason)
{
    return "Error: '" + fileTitle + "' cannot be opened as a card image: " + reason;
}

std::string openCommandErrorMessage(const std::string &description)
{
    return "Vexolin encountered an error\rwhile trying to open image files.\r\rError: " + description;
}

Status checkCardFile(const std::string &path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return Status::failure(errno == ENOENT ? std::string("the file does not exist") : std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return Status::failure("it is not a regular file");
    // Opened once without waiting, so that the reason given is the real one
    // (a file the user may not read says so, not "not found").
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Status::failure(std::strerror(errno));
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular ? Status() : Status::failure("it is not a regular file");
}

PictureKind sniffPicture(const std::uint8_t *data, std::size_t size)
{
    auto starts = [&](std::initializer_list<std::uint8_t> head) {
        return data != nullptr && size >= head.size() && std::equal(head.begin(), head.end(), data);
    };
    if (starts({'B', 'M'}))
        return PictureKind::Bmp;
    if (starts({'G', 'I', 'F', '8'}))
        return PictureKind::Gif;
    if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42}) || starts({'I', 'I', 43, 0}) ||
        starts({'M', 'M', 0, 43}))
        return PictureKind::Tif;
    if (starts({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}))
        return PictureKind::Png;
    if (starts({0xFF, 0xD8, 0xFF}))
        return PictureKind::Jpeg;
    return PictureKind::Unknown;
}

PictureKind pictureKindOfName(const std::string &fileTitle)
{
    const std::string ext = lowerCaseExtension(fileTitle);
    if (ext == "bmp")
        return PictureKind::Bmp;
    if (ext == "gif")
        return PictureKind::Gif;
    if (ext == "tif" || ext == "tiff")
        return PictureKind::Tif;
    if (ext == "png")
        return PictureKind::Png;
    if (ext == "jpg" || ext == "jpeg")
        return PictureKind::Jpeg;
    return PictureKind::Unknown;
}

std::string pictureKindName(PictureKind kind)
{
    switch (kind) {
    case PictureKind::Bmp:
        return "BMP";
    case PictureKind::Gif:
        return "GIF";
    case PictureKind::Tif:
        return "TIF";
    case PictureKind::Png:
        return "PNG";
    case PictureKind::Jpeg:
        return "JPEG";
    case PictureKind::Unknown:
        break;
    }
    return {};
}

Status checkPictureSize(std::int64_t width, std::int64_t height, int sourceBits, std::uint64_t fileBytes)
{
    const auto w = static_cast<std::uint64_t>(std::max<std::int64_t>(width, 0));
    const auto h = static_cast<std::uint64_t>(std::max<std::int64_t>(height, 0));
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (w * h > BmpMaxPixels)
        return Status::failure("the image size " + size + " is too large");
    // How much larger than its file the picture's own bits may be.  Deflate
    // (PNG, TIF) gives at most about 1000 to 1; JPEG of a textured card far
    // less.  The bits are counted as stored: a blank 1-bit scan is small.
    constexpr double MaxBytesPerFileByte = 2000.0;
    const double pictureBytes = static_cast<double>(w * h) * std::max(sourceBits, 1) / 8.0;
    if (pictureBytes > MaxBytesPerFileByte * std::max(static_cast<double>(fileBytes), 1.0))
        return Status::failure("the file is too small for an image of " + size + " pixels: it is damaged");
    return {};
}

std::uint64_t pixelsBeyondTable(const std::vector<std::uint8_t> &pixels, int tableEntries)
{
    if (tableEntries >= 256)
        return 0;
    const auto first = static_cast<std::uint8_t>(std::max(tableEntries, 0));
    return static_cast<std::uint64_t>(
        std::count_if(pixels.begin(), pixels.end(), [first](std::uint8_t p) { return p >= first; }));
}

std::uint64_t pixelsBeyondTable(const IndexedImage &image)
{
    const int entries = image.paletteCount();
    if (entries >= 256)
        return 0;
    const auto first = static_cast<std::uint8_t>(std::max(entries, 0));
    const auto width = static_cast<std::size_t>(std::max(image.Width, 0));
    std::uint64_t beyond = 0;
    for (std::int32_t y = 0; y < image.rowsHeld(); ++y) {
        const std::uint8_t *row = image.row(y);
        beyond +=
            static_cast<std::uint64_t>(std::count_if(row, row + width, [first](std::uint8_t p) { return p >= first; }));
    }
    return beyond;
}

std::string beyondTableWarning(std::uint64_t pixels, int tableEntries)
{
    return std::to_string(pixels) + (pixels == 1 ? " pixel uses" : " pixels use") +
           " a colour number beyond the file's colour table of " + std::to_string(tableEntries) +
           (tableEntries == 1 ? " entry" : " entries") + "; such pixels are analysed as a colour of hue 0.";
}

std::string withTrailingSeparator(const std::string &folder)
{
    if (!folder.empty() && folder.back() == '/')
        return folder;
    return folder + "/";
}

int findCardByPath(const CardList &cards, const std::string &filePath)
{
    for (int i = 1; i <= cards.count(); ++i)
        if (cards[i].FilePath == filePath)
            return i;
    return 0;
}

int findCardByTitle(const CardList &cards, const std::string &fileTitle)
{
    for (int i = 1; i <= cards.count(); ++i)
        if (cards[i].FileTitle == fileTitle)
            return i;
    return 1;
}

bool titleBefore(const std::string &a, const std::string &b, bool natural)
{
    if (!natural)
        return a < b;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // Leading zeros do not change the value; a longer run without
            // them is the larger number, else the first digit that differs.
            std::size_t si = i;
            std::size_t sj = j;
            while (si < a.size() && a[si] == '0')
                ++si;
            while (sj < b.size() && b[sj] == '0')
                ++sj;
            std::size_t ei = si;
            std::size_t ej = sj;
            while (ei < a.size() && digit(a[ei]))
                ++ei;
            while (ej < b.size() && digit(b[ej]))
                ++ej;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            if (const int c = a.compare(si, ei - si, b, sj, ej - sj); c != 0)
                return c < 0;
            // Equal values: fewer leading zeros first, so that the order is total.
            if (si - i != sj - j)
                return si - i < sj - j;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> descendingLoadOrder(std::vector<std::string> names, bool natural)
{
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t j = i; j < names.size(); ++j)
            if (titleBefore(names[i], names[j], natural))
                std::swap(names[i], names[j]);
    return names;
}

void sortCardsByTitle(CardList &cards, const std::function<void(int, int)> &swapped, bool natural, int from)
{
    // The exchange sort is kept on purpose: it is not stable, and cards with
    // equal names from different folders end in the order users are used to.
    std::vector<CardRecord> &records = cards.records();
    for (std::size_t i = static_cast<std::size_t>(std::max(from, 1)) - 1; i < records.size(); ++i)
        for (std::size_t j = i + 1; j < records.size(); ++j)
            if (titleBefore(records[j].FileTitle, records[i].FileTitle, natural)) {
                std::swap(records[i], records[j]);
                if (swapped)
                    swapped(static_cast<int>(i) + 1, static_cast<int>(j) + 1);
            }
}

void noteDecodedFacts(CardRecord &card, const DecodeResult &decoded)
{
    card.RecordedResolution = recordedResolution(decoded->PixelsPerMetreX, decoded->PixelsPerMetreY);
    card.ReducedFromBits = decoded->Reduction.FromBits;
    card.ReducedColours = decoded->Reduction.Colours;
    card.ReducedExactly = decoded->Reduction.Exact;
}

CardRecord newCardRecord(const std::string &fileTitle, const std::string &folder, std::int32_t width,
                         std::int32_t height, std::int32_t resolution)
{
    CardRecord card;
    card.FilePath = withTrailingSeparator(folder) + fileTitle;
    card.FileTitle = fileTitle;
    card.Position = 0.0f;
    card.ImageWidth = width;
    card.ImageHeight = height;
    applyResolution(card, resolution);
    return card;
}

} // namespace vex
