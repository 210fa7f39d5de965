#include "text/Windows1252.h"

#include "text/Utf8.h"

namespace vex {

namespace {

// Appends the code point to `out` in Windows-1252, or '?'.
void appendCodePoint(std::string &out, char32_t cp)
{
    static constexpr char32_t High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                          0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        out += static_cast<char>(cp);
        return;
    }
    for (int i = 0; i < 32; ++i) {
        if (High[i] != 0 && High[i] == cp) {
            out += static_cast<char>(0x80 + i);
            return;
        }
    }
    out += '?';
}

} // namespace

std::string toWindows1252(const std::string &utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        const std::size_t length = utf8Sequence(utf8, i, cp);
        if (length == 0) {
            out += '?';
            ++i;
            continue;
        }
        appendCodePoint(out, cp);
        i += length;
    }
    return out;
}

} // namespace vex
