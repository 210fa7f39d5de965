#include "text/ControlText.h"

#include "text/Utf8.h"

#include <cstdio>

namespace vex {

namespace {

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

std::string hexEscape(const char *form, unsigned value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, form, value);
    return buffer;
}

// The length of the UTF-8 sequence at `i`, 0 when the bytes there are not
// one or name no character.
std::size_t sequenceLength(std::string_view text, std::size_t i, char32_t &cp)
{
    const std::size_t length = utf8Sequence(text, i, cp);
    return cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? 0 : length;
}

} // namespace

std::string escapedControls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '\r')
                out += "\\r";
            else if (c == '\n')
                out += "\\n";
            else if (c == '\t')
                out += "\\t";
            else if (isControl(c))
                out += hexEscape("\\x%02x", c);
            else
                out += static_cast<char>(c);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = sequenceLength(text, i, cp);
        if (length == 0) {
            out += hexEscape("\\x%02x", c);
            ++i;
        } else if (cp >= 0x80 && cp <= 0x9F) {
            out += hexEscape("\\u%04x", static_cast<unsigned>(cp));
            i += length;
        } else {
            out.append(text, i, length);
            i += length;
        }
    }
    return out;
}

std::string oneLineText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!isControl(c)) {
            out += static_cast<char>(c);
            continue;
        }
        out += ' ';
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
    }
    return out;
}

} // namespace vex
