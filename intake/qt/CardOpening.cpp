#include "intake/qt/CardOpening.h"

#include "intake/CardLoading.h"
#include "intake/GifHeader.h"
#include "intake/qt/PictureLoader.h"

#include <algorithm>
#include <cstdint>
#include <fstream>

namespace vex {

namespace {

OpenedImage refused(std::string message)
{
    OpenedImage r;
    r.setStatus(Status::failure(std::move(message)));
    return r;
}

} // namespace

OpenedImage openCardImage(const std::string &fileTitle, const std::string &folder, const IntakeOptions &options)
{
    const std::string extension = cardExtension(fileTitle);
    if (!isCardFileName(fileTitle, options))
        return refused(unsupportedTypeMessage(fileTitle));
    const std::string fullPath = withTrailingSeparator(folder) + fileTitle;
    if (const Status file = checkCardFile(fullPath); !file.ok())
        return refused(unreadableFileMessage(fileTitle, file.reason()));

    if (extension == "gif") {
        std::uint8_t header[GifScreenDescriptorEnd] = {};
        std::ifstream in(fullPath, std::ios::binary);
        if (!in)
            return refused(unreadableFileMessage(fileTitle, "the file cannot be opened"));
        in.read(reinterpret_cast<char *>(header), sizeof header);
        const auto got = static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0));
        // Another kind of picture under this name is read as what it is.
        const PictureKind kind = sniffPicture(header, got);
        if (kind == PictureKind::Gif || kind == PictureKind::Unknown) {
            const GifHeaderResult gif = checkGifHeader(header, got);
            if (!gif.SignatureValid)
                return refused(invalidGifMessage(fileTitle));
            if (gif.Complete && gif.ColourDepth != 8)
                return refused(colourDepthMessage(gif.ColourDepth));
        }
    }

    OpenedImage r;
    // A card is read once, from end to end, while it is analysed: its rows
    // can stay in the file.
    r->Decoded = loadIndexedImage(fullPath, options, BmpRows::InPlace);
    if (!r->Decoded.ok()) {
        if (r->Decoded->BitsPerPixel != 0 && r->Decoded->BitsPerPixel != 8)
            return refused(colourDepthMessage(r->Decoded->BitsPerPixel));
        return refused(unreadableFileMessage(fileTitle, r->Decoded.reason()));
    }
    r.setStatus(Status());
    r->Warnings = r->Decoded->Warnings;
    const IndexedImage &image = r->Decoded->Image;
    if (const std::uint64_t beyond = pixelsBeyondTable(image))
        r->Warnings.push_back(beyondTableWarning(beyond, image.paletteCount()));
    return r;
}

} // namespace vex
