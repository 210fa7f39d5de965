#pragma once
// The colour pass: decides which colour-table entries are the card's
// background and dither colours, asking the user where the picture leaves
// doubt, and collects every other pixel as a stain pixel.  The window, the
// batch tool and the tests all run this same code; the questions, the cancel
// request and the progress display come in as callbacks.

#include "intake/IndexedImage.h"
#include "model/CardRecord.h"

#include <array>
#include <cstdint>
#include <functional>

namespace vex {

// How often each index occurs in the part of the picture the colour choice
// looks at.
struct ColourSample {
    std::array<std::int64_t, 256> Counts{};
    std::int64_t Size = 0; // bytes counted
};

// The sample: the stored bytes when the picture carries them (an uncompressed
// bottom-up bitmap, row padding included), otherwise the bottom five rows, or
// all rows of a lower picture.
ColourSample sampleColours(const IndexedImage &image);

// The two most frequent indices among 1..255; index 0 takes no part.  On a
// tie the lower index wins.  An index never seen leaves First or Second at
// index 0 with count 0.
struct LeadingColours {
    std::uint8_t First = 0;
    std::int64_t FirstCount = 0;
    std::uint8_t Second = 0;
    std::int64_t SecondCount = 0;
};
LeadingColours leadingColours(const std::array<std::int64_t, 256> &counts);

// True when the second colour makes up more than a tenth of the sample, so
// that it may be a dither pattern rather than stains.  Exactly a tenth is not
// more.  An empty sample suggests nothing.
bool ditherSuspected(const ColourSample &sample, const LeadingColours &leading);

// The two questions.  Each receives the proposal, returns the chosen index
// and may set disableWarning ("Yes to All") so that later cards are not
// asked.  An empty function accepts the proposal, as a batch run needs.
struct ColourQuestions {
    // proposed: the most frequent index.  Yes keeps it, No answers 0.
    std::function<std::uint8_t(std::uint8_t proposed, bool &disableWarning)> AskBackground;
    // Yes keeps the candidate, No answers the background index.
    std::function<std::uint8_t(std::uint8_t background, std::uint8_t candidate, bool &disableWarning)> AskDither;
};

struct ColourChoice {
    std::uint8_t Background = 0;
    std::uint8_t Dither = 0;
};

// Background and dither index for a sample.  The flags are the program's
// "do not ask again" switches and are changed only by the questions.
ColourChoice chooseColours(const ColourSample &sample, bool &disableBackgroundWarning, bool &disableDitherWarning,
                           const ColourQuestions &questions);

// Copies the colour table into the card (Palette, PaletteHue) and gives the
// pixel list the hue of each index.  Entries past the table have hue 0.
void setCardPalette(CardRecord &card, const IndexedImage &image);

struct PassCallbacks {
    // Asked before each row; true stops the pass.
    std::function<bool()> CancelRequested;
    // Told the bottom-up row just finished at every tenth row (0, 10, 20, ...)
    // and the picture height once all rows are done.  The window updates its
    // bar and lets events run here, so this is where a cancel request arises.
    std::function<void(std::int32_t)> Progress;
};

enum class PassOutcome { Complete, Cancelled };

// Rebuilds card.ForegroundPixels and card.HueCount from the picture, using
// the card's BackgroundIndex, DitherIndex and PaletteHue (see
// setCardPalette).  Pixels are listed in file order: bottom row first, left to
// right, with Row = Height - y (1 = top) and 1-based columns.  The list ends
// with a closing record {PaletteHue[0], row, Width, 0}, whose row is that of
// the last stain pixel, or Height (the row the list starts from) when the
// card has none.
//
// On completion ColoursKnown becomes true.  A cancelled pass leaves
// ColoursKnown false and the list and hue counts empty: a half-collected card
// must never look like a clean one, nor keep tens of megabytes for nothing.
PassOutcome collectForegroundPixels(CardRecord &card, const IndexedImage &image, const PassCallbacks &callbacks);

// The whole pass: sample, questions, palette, stain pixels.  The indices
// chosen are stored in the card even when the pixel pass is cancelled.
PassOutcome runColourPass(CardRecord &card, const IndexedImage &image, bool &disableBackgroundWarning,
                          bool &disableDitherWarning, const ColourQuestions &questions, const PassCallbacks &callbacks);

} // namespace vex
