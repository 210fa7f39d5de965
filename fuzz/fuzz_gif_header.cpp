// Any bytes as the start of a GIF file.
#include "FuzzChecks.h"
#include "intake/GifHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vex;
    const GifHeaderResult gif = checkGifHeader(data, size);
    fuzz::require(!gif.Complete || size >= GifScreenDescriptorEnd);
    if (gif.Complete)
        fuzz::require(gif.ColourDepth >= 1 && gif.ColourDepth <= 8);
    if (gif.SignatureValid)
        fuzz::require(size >= 6 && (data[0] == 'G' || data[0] == 'g'));
    return 0;
}
