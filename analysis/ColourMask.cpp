#include "analysis/ColourMask.h"

#include <algorithm>

namespace vex {

namespace {

constexpr int HueMax = 255;

} // namespace

bool maskShowsHue(int hue, int hueLow, int hueHigh, bool invert)
{
    if (invert)
        return !(hueLow < hue && hue < hueHigh);
    return hueLow <= hue && hue <= hueHigh;
}

std::vector<std::uint8_t> maskedPaletteBgr(const CardRecord &card, int hueLow, int hueHigh, bool invert, bool whiteMask)
{
    const std::uint8_t mask = whiteMask ? 255 : 0;
    std::vector<std::uint8_t> out = card.Palette;
    const std::size_t entries = std::min<std::size_t>(out.size() / 3, 256);
    for (std::size_t i = 0; i < entries; ++i) {
        const bool clear = i == card.BackgroundIndex || i == card.DitherIndex;
        if (clear || !maskShowsHue(card.PaletteHue[i], hueLow, hueHigh, invert))
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(3 * i), 3, mask);
    }
    return out;
}

SliderValues moveLowSlider(SliderValues current, int value)
{
    SliderValues v = current;
    v.Low = std::clamp(value, 0, HueMax - 1);
    if (v.Low >= v.High)
        v.High = v.Low + 1;
    return v;
}

SliderValues moveHighSlider(SliderValues current, int value)
{
    SliderValues v = current;
    v.High = std::clamp(value, 1, HueMax);
    if (v.High <= v.Low)
        v.Low = v.High - 1;
    return v;
}

HueHistogram hueHistogram(const CardRecord *card, const std::array<Rgb, 257> &hueColour, int hueLow, int hueHigh,
                          bool invert)
{
    HueHistogram h;
    h.Counts.assign(256, 0);
    h.Colours.assign(hueColour.begin(), hueColour.begin() + 256);
    if (card)
        std::copy_n(card->HueCount.begin(), 256, h.Counts.begin());
    const std::int32_t largest = *std::max_element(h.Counts.begin(), h.Counts.end());
    h.Top = static_cast<double>(largest) + 5.0;
    if (invert) {
        h.ValidBands.push_back({0, hueLow});
        h.ValidBands.push_back({hueHigh, HueMax});
    } else {
        h.ValidBands.push_back({hueLow, hueHigh});
    }
    return h;
}

} // namespace vex
