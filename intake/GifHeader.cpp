#include "intake/GifHeader.h"

#include <cctype>

namespace vex {

GifHeaderResult checkGifHeader(const std::uint8_t *data, std::size_t size)
{
    GifHeaderResult r;
    if (data == nullptr)
        return r;
    if (size >= 6) {
        // Old scanning software wrote the signature in capitals; GIF readers
        // have always accepted that, so we do too.
        char lowered[6];
        for (std::size_t i = 0; i < 6; ++i)
            lowered[i] = static_cast<char>(std::tolower(data[i]));
        const bool gif = lowered[0] == 'g' && lowered[1] == 'i' && lowered[2] == 'f' && lowered[3] == '8' &&
                         (lowered[4] == '7' || lowered[4] == '9') && lowered[5] == 'a';
        r.SignatureValid = gif;
    }
    if (size >= 8)
        r.Width = static_cast<std::int32_t>(data[6] | (data[7] << 8));
    if (size >= 10)
        r.Height = static_cast<std::int32_t>(data[8] | (data[9] << 8));
    if (size >= 11)
        r.ColourDepth = ((data[10] >> 4) & 7) + 1;
    r.Complete = size >= GifScreenDescriptorEnd;
    return r;
}

} // namespace vex
