// Any bytes as a GIF card file (built as fuzz_gif) or a TIF one (fuzz_tif):
// the reader must refuse with a reason or hand over a well-formed 8-bit
// picture, warnings and all, that the colour pass and the scan can take.
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string path = fuzz::memoryFile("fuzz_picture", data, size);
    const DecodeResult r = FUZZ_GIF ? decodeGifFile(path) : decodeTifFile(path);
    if (!r.ok()) {
        require(!r.reason().empty());
        return 0;
    }
    require(r.reason().empty() && r.BitsPerPixel == 8);
    fuzz::requireWellFormed(r.Image);
    for (const std::string &w : r.Warnings)
        require(!w.empty());
    // Pixels beyond the table are counted, never read past it.
    require(pixelsBeyondTable(r.Image.Pixels, r.Image.paletteCount()) <= r.Image.Pixels.size());
    if (r.Image.Pixels.size() <= (std::size_t{1} << 20))
        fuzz::analyse(r.Image, r.Image.Width <= 2000);
    return 0;
}
