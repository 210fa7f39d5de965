#pragma once
// The hue range controls and the colour mask as rules: which palette
// entries the masked picture shows, the slider push rules, and the hue
// histogram's scale.  Masking rewrites colour-table entries only, never
// pixels, so a large card is masked as fast as a small one.

#include "model/CardRecord.h"
#include "model/Colour.h"

#include <cstdint>
#include <vector>

namespace vex {

// Whether the mask leaves an entry of this hue in its own colour.  With
// "Invert" both ends of the range stay visible, although the stain scan
// counts them as not valid: the display has always done so.
bool maskShowsHue(int hue, int hueLow, int hueHigh, bool invert);

// The card's colour table under the mask, blue-green-red per entry: the
// background and dither entries and every hidden hue in black (0) or white
// (255), the rest as they are.  As many entries as the card's palette.
std::vector<std::uint8_t> maskedPaletteBgr(const CardRecord &card, int hueLow, int hueHigh, bool invert,
                                           bool whiteMask);

// The two sliders after one of them moved to `value`: the other one is
// pushed so that the range keeps at least one step.  At the ends of the
// scale the moved slider gives way instead, as a slider cannot go beyond
// 0..255.
struct SliderValues {
    int Low = 0;
    int High = 255;
};
SliderValues moveLowSlider(SliderValues current, int value);
SliderValues moveHighSlider(SliderValues current, int value);

// The hue histogram: bars of HueCount over hues 0..255 under a scale that
// tops at the largest count + 5, with the valid hues marked as white bands.
struct HueBand {
    int From = 0;
    int To = 0;
};
struct HueHistogram {
    double Top = 5.0;
    std::vector<HueBand> ValidBands;
    std::vector<std::int32_t> Counts; // 256 bars
    std::vector<Rgb> Colours;         // 256 bar colours
};
HueHistogram hueHistogram(const CardRecord *card, const std::array<Rgb, 257> &hueColour, int hueLow, int hueHigh,
                          bool invert);

} // namespace vex
