// Any bytes as a bitmap file: the parser must refuse cleanly or hand over a
// picture that the colour pass and the scan can take.
#include "FuzzChecks.h"
#include "intake/BmpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vex;
    const BmpHeaderResult header = parseBmpHeader(data, size);
    const DecodeResult decoded = decodeBmp(data, size);
    if (!decoded.Ok) {
        fuzz::require(!decoded.Reason.empty());
        return 0;
    }
    fuzz::require(header.Ok && header.Info.BitsPerPixel == 8);
    fuzz::require(decoded.BitsPerPixel == 8);
    fuzz::requireWellFormed(decoded.Image);
    if (decoded.Image.Pixels.size() <= (std::size_t{1} << 20))
        fuzz::analyse(decoded.Image);
    return 0;
}
