#include "intake/ColourPass.h"

#include "intake/Hue.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vex {
namespace {

constexpr int SampleRows = 5;
constexpr std::int32_t ProgressEvery = 10;

// A large card is 130 million pixels, 85 % of them background or dither, so
// the row scan looks at eight bytes at a time and only stops where a stain
// starts or ends.
constexpr std::uint64_t EveryByte = 0x0101010101010101u;
constexpr std::uint64_t HighBits = EveryByte * 0x80u;
constexpr std::uint64_t LowBits = EveryByte * 0x7Fu;

std::uint64_t load8(const std::uint8_t *p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// The high bit of every byte of v that is not zero.  Adding 0x7F to the low
// seven bits never carries into the next byte, so unlike the usual borrow
// trick this has no false hits next to a zero byte.
std::uint64_t nonZeroBytes(std::uint64_t v)
{
    return (((v & LowBits) + LowBits) | v) & HighBits;
}

// Offset of the first byte whose high bit is set in a non-zero mask.
std::int32_t firstMarkedByte(std::uint64_t mask)
{
    if constexpr (std::endian::native == std::endian::little)
        return std::countr_zero(mask) / 8;
    else
        return std::countl_zero(mask) / 8;
}

class StainTest {
public:
    StainTest(std::uint8_t background, std::uint8_t dither)
        : background_(background), dither_(dither), backgroundWord_(EveryByte * background),
          ditherWord_(EveryByte * dither)
    {}
    bool isStain(std::uint8_t index) const { return index != background_ && index != dither_; }
    std::uint8_t stainFlag(std::uint8_t index) const
    {
        return static_cast<std::uint8_t>((index != background_) & (index != dither_));
    }
    // High bit set in each byte that is a stain pixel.
    std::uint64_t stainBytes(std::uint64_t word) const
    {
        return nonZeroBytes(word ^ backgroundWord_) & nonZeroBytes(word ^ ditherWord_);
    }

    // The first stain pixel in row[x..width), or width.
    std::int32_t nextStain(const std::uint8_t *row, std::int32_t x, std::int32_t width) const
    {
        // Two words per step: the long background stretches are what the
        // whole pass spends its time on.
        for (; x + 16 <= width; x += 16) {
            const std::uint64_t low = stainBytes(load8(row + x));
            const std::uint64_t high = stainBytes(load8(row + x + 8));
            if ((low | high) != 0)
                return low != 0 ? x + firstMarkedByte(low) : x + 8 + firstMarkedByte(high);
        }
        for (; x + 8 <= width; x += 8) {
            if (const std::uint64_t m = stainBytes(load8(row + x)))
                return x + firstMarkedByte(m);
        }
        for (; x < width; ++x) {
            if (isStain(row[x]))
                return x;
        }
        return width;
    }

    // The first pixel in row[x..width) that is not a stain pixel, or width.
    std::int32_t nextClear(const std::uint8_t *row, std::int32_t x, std::int32_t width) const
    {
        for (; x + 8 <= width; x += 8) {
            if (const std::uint64_t m = ~stainBytes(load8(row + x)) & HighBits)
                return x + firstMarkedByte(m);
        }
        for (; x < width; ++x) {
            if (!isStain(row[x]))
                return x;
        }
        return width;
    }

    // Adds the stain pixels and runs of row[0..width) to the totals.  A run
    // starts at a stain pixel whose left neighbour is clear.  The loops are
    // plain byte loops over blocks short enough for byte-wide tallies, which
    // the compiler turns into vector code: this sweep costs little more than
    // reading the picture once.
    void countRow(const std::uint8_t *row, std::int32_t width, std::uint64_t &pixels, std::uint64_t &runs) const
    {
        if (width <= 0)
            return;
        const std::uint8_t first = stainFlag(row[0]);
        pixels += first;
        runs += first;
        constexpr std::int32_t Lanes = 32;
        constexpr std::int32_t BlockLength = Lanes * 255;
        std::int32_t x = 1;
        while (x < width) {
            const std::int32_t end = width - x > BlockLength ? x + BlockLength : width;
            std::array<std::uint8_t, Lanes> stains{};
            std::array<std::uint8_t, Lanes> starts{};
            for (; x + Lanes <= end; x += Lanes) {
                for (std::int32_t k = 0; k < Lanes; ++k) {
                    const std::uint8_t here = stainFlag(row[x + k]);
                    const std::uint8_t left = stainFlag(row[x + k - 1]);
                    stains[k] = static_cast<std::uint8_t>(stains[k] + here);
                    starts[k] = static_cast<std::uint8_t>(starts[k] + (here & (left ^ 1u)));
                }
            }
            for (std::int32_t k = 0; k < Lanes; ++k) {
                pixels += stains[k];
                runs += starts[k];
            }
            for (; x < end; ++x) {
                const std::uint8_t here = stainFlag(row[x]);
                pixels += here;
                runs += here & (stainFlag(row[x - 1]) ^ 1u);
            }
        }
    }

private:
    std::uint8_t background_;
    std::uint8_t dither_;
    std::uint64_t backgroundWord_;
    std::uint64_t ditherWord_;
};

// Stain pixels are counted per palette index and turned into hue counts at
// the end: four tables, so that runs of one colour do not wait on the same
// counter over and over.
class IndexTally {
public:
    void add(const std::uint8_t *p, std::size_t n)
    {
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4) {
            ++counts_[0][p[i]];
            ++counts_[1][p[i + 1]];
            ++counts_[2][p[i + 2]];
            ++counts_[3][p[i + 3]];
        }
        for (; i < n; ++i)
            ++counts_[0][p[i]];
    }
    std::uint64_t total(int index) const
    {
        const auto i = static_cast<std::size_t>(index);
        return counts_[0][i] + counts_[1][i] + counts_[2][i] + counts_[3][i];
    }

private:
    std::array<std::array<std::uint64_t, 256>, 4> counts_{};
};

std::array<std::uint8_t, 256> hueTableOf(const CardRecord &card)
{
    std::array<std::uint8_t, 256> hues{};
    for (std::size_t i = 0; i < hues.size(); ++i)
        hues[i] = static_cast<std::uint8_t>(card.PaletteHue[i]);
    return hues;
}

} // namespace

ColourSample sampleColours(const IndexedImage &image)
{
    ColourSample sample;
    auto count = [&sample](const std::uint8_t *p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            ++sample.Counts[p[i]];
        sample.Size += static_cast<std::int64_t>(n);
    };
    if (!image.StoredSample.empty()) {
        // These files were always sampled by reading 5 x Width bytes straight
        // after the colour table, so row padding is counted and a narrow
        // picture's sample reaches beyond its fifth row.  Saved cards depend
        // on the colours that choice found.
        count(image.StoredSample.data(), image.StoredSample.size());
        return sample;
    }
    const auto rows = std::clamp(image.Height, 0, SampleRows);
    const auto width = static_cast<std::size_t>(std::max(image.Width, 0));
    if (image.MappedBottomRow != nullptr) {
        for (std::int32_t y = 0; y < rows; ++y)
            count(image.row(y), width);
        return sample;
    }
    const std::size_t bytes = std::min(static_cast<std::size_t>(rows) * width, image.Pixels.size());
    count(image.Pixels.data(), bytes);
    return sample;
}

LeadingColours leadingColours(const std::array<std::int64_t, 256> &counts)
{
    LeadingColours lead;
    for (int i = 1; i < 256; ++i) {
        const std::int64_t n = counts[static_cast<std::size_t>(i)];
        if (n > lead.FirstCount) {
            lead.Second = lead.First;
            lead.SecondCount = lead.FirstCount;
            lead.First = static_cast<std::uint8_t>(i);
            lead.FirstCount = n;
        } else if (n > lead.SecondCount) {
            lead.Second = static_cast<std::uint8_t>(i);
            lead.SecondCount = n;
        }
    }
    return lead;
}

bool ditherSuspected(const ColourSample &sample, const LeadingColours &leading)
{
    // second / size > 0.1 in integers, so that exactly a tenth is never
    // pushed over by rounding.
    return sample.Size > 0 && leading.SecondCount * 10 > sample.Size;
}

ColourChoice chooseColours(const ColourSample &sample, bool &disableBackgroundWarning, bool &disableDitherWarning,
                           const ColourQuestions &questions)
{
    const LeadingColours lead = leadingColours(sample.Counts);
    ColourChoice choice;

    // Index 0 at least as frequent as any other: the usual background of a
    // card scan, nothing to ask.
    if (lead.FirstCount > sample.Counts[0]) {
        if (!disableBackgroundWarning && questions.AskBackground)
            choice.Background = questions.AskBackground(lead.First, disableBackgroundWarning);
        else
            choice.Background = lead.First;
    }

    if (!ditherSuspected(sample, lead)) {
        // One background colour only: the dither index repeats it so that the
        // pixel pass needs no special case.
        choice.Dither = choice.Background;
    } else if (!disableDitherWarning && questions.AskDither) {
        choice.Dither = questions.AskDither(choice.Background, lead.Second, disableDitherWarning);
    } else {
        choice.Dither = lead.Second;
    }
    return choice;
}

void setCardPalette(CardRecord &card, const IndexedImage &image)
{
    const int n = std::min(image.paletteCount(), 256);
    card.Palette.assign(image.PaletteBgr.begin(), image.PaletteBgr.begin() + 3 * n);
    card.PaletteHue.fill(0);
    for (int i = 0; i < n; ++i) {
        const std::uint8_t *bgr = card.Palette.data() + 3 * i;
        card.PaletteHue[static_cast<std::size_t>(i)] = hueOf(bgr[2], bgr[1], bgr[0]);
    }
    card.ForegroundPixels.setHueTable(hueTableOf(card));
}

PassOutcome collectForegroundPixels(CardRecord &card, const IndexedImage &image, const PassCallbacks &callbacks)
{
    ForegroundPixelList &list = card.ForegroundPixels;
    list.clear();
    card.HueCount.fill(0);
    card.ColoursKnown = false;
    const std::array<std::uint8_t, 256> hues = hueTableOf(card);
    list.setHueTable(hues);

    const std::int32_t width = std::max(image.Width, 0);
    // A picture whose pixel buffer is short of its stated size is read only
    // as far as it goes; the decoders never hand one over.
    const std::int32_t height = image.rowsHeld();
    const StainTest test(card.BackgroundIndex, card.DitherIndex);
    // Counting first costs one quick sweep; growing the list as it fills
    // would copy it over and over and touch twice the memory.
    std::uint64_t pixels = 0;
    std::uint64_t runs = 0;
    for (std::int32_t y = 0; y < height; ++y)
        test.countRow(image.row(y), width, pixels, runs);
    list.reserve(static_cast<std::size_t>(runs), static_cast<std::size_t>(pixels));

    IndexTally tally;
    std::int32_t lastRow = height;

    for (std::int32_t y = 0; y < height; ++y) {
        if (callbacks.CancelRequested && callbacks.CancelRequested()) {
            list.clear();
            return PassOutcome::Cancelled;
        }
        const std::uint8_t *row = image.row(y);
        const std::int32_t rowNumber = height - y;
        const std::size_t before = list.size();
        std::int32_t start = test.nextStain(row, 0, width);
        while (start < width) {
            const std::int32_t end = test.nextClear(row, start + 1, width);
            list.appendRun(rowNumber, start + 1, row + start, end - start);
            start = test.nextStain(row, end, width);
        }
        if (list.size() != before) {
            tally.add(list.indices().data() + before, list.size() - before);
            lastRow = rowNumber;
        }
        if (y % ProgressEvery == 0 && callbacks.Progress)
            callbacks.Progress(y);
    }
    if (callbacks.Progress)
        callbacks.Progress(height);

    // At most 2^30 pixels reach a card (the decoders' limit), so every count
    // fits the card's 32-bit fields.
    for (int i = 0; i < 256; ++i)
        card.HueCount[hues[static_cast<std::size_t>(i)]] += static_cast<std::int32_t>(tally.total(i));

    ForegroundPixel closing;
    closing.Hue = hues[0];
    closing.Row = lastRow;
    closing.Column = width;
    closing.PaletteIndex = 0;
    list.setClosing(closing);
    card.ColoursKnown = true;
    return PassOutcome::Complete;
}

PassOutcome runColourPass(CardRecord &card, const IndexedImage &image, bool &disableBackgroundWarning,
                          bool &disableDitherWarning, const ColourQuestions &questions, const PassCallbacks &callbacks)
{
    card.ColoursKnown = false;
    const ColourChoice choice =
        chooseColours(sampleColours(image), disableBackgroundWarning, disableDitherWarning, questions);
    card.BackgroundIndex = choice.Background;
    card.DitherIndex = choice.Dither;
    setCardPalette(card, image);
    return collectForegroundPixels(card, image, callbacks);
}

} // namespace vex
