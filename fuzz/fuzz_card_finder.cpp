// Pictures straight from the fuzzer's bytes given to the card finder, and
// every card it finds straightened as a photo's and as a scan's.
//
// Input: width - 8, height - 8, a mode byte, the card's two sides in
// millimetres - 5, four corners of a yellow quadrilateral (x, y bytes,
// scaled to the picture), then the picture's blue-green-red bytes.  Bytes
// past the end of the input repeat it.
#include "FuzzChecks.h"
#include "intake/CardFinder.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using namespace vex;
using fuzz::require;

enum Mode : std::uint8_t {
    // Paint the quadrilateral in the paper's yellow, with a blue dot.
    PaintCard = 1,
    // Search the picture as an 8-bit one of the input's colour table.
    Indexed = 2,
    // Straighten as a scan at the mode's resolution rather than as a photo.
    Scan = 4,
};

// Inside the triangle fan of the quadrilateral, by the sign of each side.
bool inside(const std::array<PicturePoint, 4> &q, double x, double y)
{
    int positive = 0;
    int negative = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const PicturePoint &a = q[i];
        const PicturePoint &b = q[(i + 1) % 4];
        const double cross = (b.X - a.X) * (y - a.Y) - (b.Y - a.Y) * (x - a.X);
        positive += cross > 0;
        negative += cross < 0;
    }
    return positive == 0 || negative == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 13)
        return 0;
    ColourImage picture;
    picture.Width = 8 + data[0];
    picture.Height = 8 + data[1];
    const std::uint8_t mode = data[2];
    const CardSize cardSize{5.0 + std::max(data[3], data[4]), 5.0 + std::min(data[3], data[4])};
    std::array<PicturePoint, 4> quad;
    for (std::size_t i = 0; i < 4; ++i)
        quad[i] = {data[5 + 2 * i] / 255.0 * picture.Width, data[6 + 2 * i] / 255.0 * picture.Height};
    picture.Bgr.resize(static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height) * 3);
    std::size_t at = 13;
    for (std::uint8_t &byte : picture.Bgr) {
        if (at >= size)
            at = 13 < size ? 13 : 0;
        byte = data[at++];
    }
    if ((mode & PaintCard) != 0)
        for (std::int32_t y = 0; y < picture.Height; ++y)
            for (std::int32_t x = 0; x < picture.Width; ++x)
                if (inside(quad, x, picture.Height - 1 - y)) {
                    std::uint8_t *p = picture.row(y) + 3 * static_cast<std::size_t>(x);
                    const bool dot = (x / 5 + y / 5) % 7 == 0;
                    p[0] = dot ? 160 : 50;
                    p[1] = dot ? 60 : 215;
                    p[2] = dot ? 30 : 235;
                }

    // The 8-bit picture: each pixel's blue byte an index into the input's table.
    IndexedImage indexed;
    if ((mode & Indexed) != 0) {
        indexed.Width = picture.Width;
        indexed.Height = picture.Height;
        indexed.PaletteBgr.assign(data + 13, data + std::min<std::size_t>(size, 13 + 768));
        indexed.PaletteBgr.resize(std::max<std::size_t>(3, indexed.PaletteBgr.size() / 3 * 3));
        indexed.Pixels.resize(static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height));
        for (std::size_t i = 0; i < indexed.Pixels.size(); ++i)
            indexed.Pixels[i] = picture.Bgr[3 * i];
        picture = coloursOf(indexed);
    }
    const Result<std::vector<FoundCard>> found = findCards(viewOf(picture), cardSize);
    if (!found.ok()) {
        require(!found.reason().empty());
        return 0;
    }
    require(!found->empty());
    const std::optional<std::int32_t> scanDpi =
        (mode & Scan) != 0 ? std::optional<std::int32_t>(50 + (mode >> 3) * 40) : std::nullopt;
    double lastTop = -1e9;
    for (const FoundCard &card : *found) {
        double top = card.Corners[0].Y;
        for (const PicturePoint &p : card.Corners) {
            require(std::isfinite(p.X) && std::isfinite(p.Y));
            require(p.X > -picture.Width && p.X < 2.0 * picture.Width);
            require(p.Y > -picture.Height && p.Y < 2.0 * picture.Height);
            top = std::min(top, p.Y);
        }
        require(card.LongSidePixels >= card.ShortSidePixels && card.ShortSidePixels > 0);
        require(std::fabs(card.TurnDegrees) <= 180.0);
        lastTop = std::max(lastTop, top);
        const SearchedPicture searched{(mode & Indexed) != 0 ? &indexed : nullptr, &picture};
        const StraightenedCard straight = straightenCard(searched, card, cardSize, scanDpi);
        require(straight.ResolutionDpi > 0);
        if (straight.IsColour)
            require(straight.Colour.Bgr.size() == 3 * static_cast<std::size_t>(straight.Colour.Width) *
                                                      static_cast<std::size_t>(straight.Colour.Height));
        else
            require(straight.Indexed.Pixels.size() == static_cast<std::size_t>(straight.Indexed.Width) *
                                                          static_cast<std::size_t>(straight.Indexed.Height) &&
                    straight.Indexed.PaletteBgr == indexed.PaletteBgr);
        if (card.Straight) {
            const PixelRect cut = straightCut(card, picture.Width, picture.Height);
            require(cut.X >= 0 && cut.Y >= 0 && cut.X + cut.Width <= picture.Width &&
                    cut.Y + cut.Height <= picture.Height);
        }
    }
    return 0;
}
