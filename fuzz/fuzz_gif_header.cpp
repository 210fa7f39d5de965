// Any bytes as the start of a GIF file.  The check reads a handful of bytes,
// so every field is recomputed here from the raw bytes and compared.
#include "FuzzChecks.h"
#include "intake/GifHeader.h"

#include <cstdint>

namespace {

char asciiLower(std::uint8_t c)
{
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vex;
    using fuzz::require;
    const GifHeaderResult gif = checkGifHeader(data, size);

    bool signature = size >= 6;
    const char *expected = "gif8?a";
    for (std::size_t i = 0; signature && i < 6; ++i) {
        const char c = asciiLower(data[i]);
        signature = expected[i] == '?' ? (c == '7' || c == '9') : c == expected[i];
    }
    require(gif.SignatureValid == signature);
    require(gif.Width == (size >= 8 ? data[6] + 256 * data[7] : 0));
    require(gif.Height == (size >= 10 ? data[8] + 256 * data[9] : 0));
    require(gif.ColourDepth == (size >= 11 ? 1 + ((data[10] >> 4) & 7) : 0));
    require(gif.Complete == (size >= GifScreenDescriptorEnd));

    // Nothing past the screen descriptor is looked at.
    if (size > GifScreenDescriptorEnd) {
        const GifHeaderResult prefix = checkGifHeader(data, GifScreenDescriptorEnd);
        require(prefix.SignatureValid == gif.SignatureValid && prefix.ColourDepth == gif.ColourDepth &&
                prefix.Width == gif.Width && prefix.Height == gif.Height && prefix.Complete);
    }
    return 0;
}
