#pragma once
// Reading UTF-8 one sequence at a time, for the writers that turn typed
// text into something else (a code page, an escaped terminal line).

#include <cstddef>
#include <string_view>

namespace vex {

// The length of the UTF-8 sequence at `i` with its code point in `cp`, or 0
// when the bytes there are not a whole, shortest-form sequence: an overlong
// form would smuggle a control character past the checks.  Surrogates and
// code points past U+10FFFF are left to the caller.
inline std::size_t utf8Sequence(std::string_view text, std::size_t i, char32_t &cp)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t Least[5] = {0, 0, 0x80, 0x800, 0x10000};
    return cp < Least[length] ? 0 : length;
}

} // namespace vex
