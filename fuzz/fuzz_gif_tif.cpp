// Any bytes as a GIF card file (built as fuzz_gif), a TIF one (fuzz_tif,
// read as 8-bit and reduced from colour), a PNG (fuzz_png) or a JPEG
// (fuzz_jpeg), both reduced: the reader must refuse with a reason or hand
// over a well-formed 8-bit picture, warnings and all, that the colour pass
// and the scan can take.
#include "FuzzChecks.h"
#include "fuzz_picture_files.h"
#include "intake/CardLoading.h"
#include "intake/qt/PictureLoader.h"

#include <QCoreApplication>

using namespace vex;
using fuzz::require;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Qt finds its TIF reader through the application's plugin paths.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

namespace {

void check(const DecodeResult &r)
{
    if (!r.ok()) {
        require(!r.reason().empty());
        return;
    }
    require(r.reason().empty() && r->BitsPerPixel == 8);
    fuzz::requireWellFormed(r->Image);
    for (const std::string &w : r->Warnings)
        require(!w.empty());
    // Pixels beyond the table are counted, never read past it; a reduced
    // picture has none.
    const std::uint64_t beyond = pixelsBeyondTable(r->Image.Pixels, r->Image.paletteCount());
    require(beyond <= r->Image.Pixels.size());
    if (r->Reduction.FromBits != 0)
        require(beyond == 0 && r->Reduction.Colours >= 1 && r->Reduction.Colours <= 256);
    if (r->Image.Pixels.size() <= (std::size_t{1} << 20))
        fuzz::analyse(r->Image, r->Image.Width <= 2000);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string path = fuzz::memoryFile("fuzz_picture", data, size);
    switch (FUZZ_KIND) {
    case 0:
        check(decodeTifFile(path));
        check(decodeTifFile(path, IntakeOptions{true}));
        break;
    case 1:
        check(decodeGifFile(path));
        break;
    default:
        check(decodePngOrJpegFile(path, FUZZ_KIND == 2));
        break;
    }
    return 0;
}
