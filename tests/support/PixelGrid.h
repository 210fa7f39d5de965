#pragma once
// Stain pixel lists drawn as text: one string per image row, top row first.
// '.' is background; 'b' is a blue pixel (hue 170), 'y' yellow (42), 'g' grey
// (169), 'r' red (0).  The list is built in file order, bottom row first,
// with one run per stretch of adjacent stain pixels, and ends with its
// closing record, as the colour pass builds it.

#include "model/CardRecord.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace vex::test {

inline std::uint8_t gridIndex(char c)
{
    switch (c) {
    case 'b':
        return 1;
    case 'y':
        return 2;
    case 'g':
        return 3;
    case 'r':
        return 4;
    default:
        return 0;
    }
}

inline std::array<std::uint8_t, 256> gridHues()
{
    std::array<std::uint8_t, 256> hues{};
    hues.fill(169);
    hues[1] = 170;
    hues[2] = 42;
    hues[3] = 169;
    hues[4] = 0;
    return hues;
}

inline ForegroundPixelList pixelGrid(const std::vector<std::string> &rows)
{
    ForegroundPixelList list;
    list.setHueTable(gridHues());
    const auto height = static_cast<std::int32_t>(rows.size());
    std::int32_t lastRow = height;
    std::int32_t width = 0;
    for (std::int32_t y = height; y >= 1; --y) {
        const std::string &text = rows[static_cast<std::size_t>(y - 1)];
        width = std::max(width, static_cast<std::int32_t>(text.size()));
        std::vector<std::uint8_t> indices;
        for (std::size_t x = 0; x <= text.size(); ++x) {
            const bool stain = x < text.size() && text[x] != '.';
            if (stain) {
                indices.push_back(gridIndex(text[x]));
                continue;
            }
            if (!indices.empty()) {
                const auto length = static_cast<std::int32_t>(indices.size());
                list.appendRun(y, static_cast<std::int32_t>(x) - length + 1, indices.data(), length);
                indices.clear();
                lastRow = y;
            }
        }
    }
    ForegroundPixel closing;
    closing.Row = lastRow;
    closing.Column = width;
    list.setClosing(closing);
    return list;
}

} // namespace vex::test
