#pragma once
// Writes a 24-bit picture as an uncompressed 8-bit BMP file: the colours
// reduced to a palette (the halftone one unless another is given), the
// file written beside its final name and renamed into place, so that a
// failure leaves neither a half-written file nor a damaged earlier one.

#include "DibSection.h"
#include "Palette.h"

#include <string>

namespace palwrite {

struct SaveResult {
    int Error = 0; // 0, or the error number
    std::string Description;
    bool ok() const { return Error == 0; }
};

class DibSectionSave {
public:
    SaveResult Save(const std::string &fileName, const DibSection &source, const Palette *palette = nullptr) const;
};

// Row length of the 8-bit file: the width rounded up to a multiple of 4.
std::int64_t rowLength8(std::int32_t width);

} // namespace palwrite
