// Pictures straight from the fuzzer's bytes, past any decoder: small sizes,
// short colour tables and indices beyond them.
#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vex;
    if (size < 3)
        return 0;
    IndexedImage image;
    image.Width = 1 + data[0] % 64;
    image.Height = 1 + data[1] % 64;
    const std::size_t entries = 1 + static_cast<std::size_t>(data[2]);
    std::size_t at = 3;
    image.PaletteBgr.resize(entries * 3);
    for (std::uint8_t &byte : image.PaletteBgr)
        byte = at < size ? data[at++] : 0;
    image.Pixels.resize(static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height));
    for (std::uint8_t &index : image.Pixels)
        index = at < size ? data[at++] : 0;
    fuzz::analyse(image);
    return 0;
}
