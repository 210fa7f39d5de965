#include "intake/ColourPass.h"

#include "intake/Hue.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vex {
namespace {

constexpr int SampleRows = 5;
constexpr std::int32_t ProgressEvery = 10;
constexpr std::int32_t WordPixels = 64;

// A large card is 130 million pixels, 85 % of them background or dither.
// The pass reads a row as words of 64 pixels, one bit each for a stain
// pixel, made 16 bytes at a time; runs then start and end where bits change.
class StainTest {
public:
    StainTest(std::uint8_t background, std::uint8_t dither) : background_(background), dither_(dither) {}

    // Bit i set when p[i] is a stain pixel, for the `count` pixels at p
    // (at most 64; the bits above them are clear).
    std::uint64_t word(const std::uint8_t *p, std::int32_t count) const
    {
#if defined(__SSE2__)
        if (count == WordPixels) {
            const __m128i background = _mm_set1_epi8(static_cast<char>(background_));
            const __m128i dither = _mm_set1_epi8(static_cast<char>(dither_));
            std::uint64_t clear = 0;
            for (int k = 0; k < 4; ++k) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * k));
                const __m128i either = _mm_or_si128(_mm_cmpeq_epi8(v, background), _mm_cmpeq_epi8(v, dither));
                clear |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(either))) << (16 * k);
            }
            return ~clear;
        }
#endif
        std::uint64_t bits = 0;
        for (std::int32_t i = 0; i < count; ++i)
            bits |= static_cast<std::uint64_t>(isStain(p[i])) << i;
        return bits;
    }

    // The stain bits of a row of `width` pixels, word by word.
    void rowWords(const std::uint8_t *row, std::int32_t width, std::vector<std::uint64_t> &words) const
    {
        words.resize(static_cast<std::size_t>((width + WordPixels - 1) / WordPixels));
        std::size_t w = 0;
        std::int32_t x = 0;
        for (; x + WordPixels <= width; x += WordPixels)
            words[w++] = word(row + x, WordPixels);
        if (x < width)
            words[w] = word(row + x, width - x);
    }

private:
    bool isStain(std::uint8_t index) const
    {
        return index != background_ && index != dither_;
    }

    std::uint8_t background_;
    std::uint8_t dither_;
};

// Stain pixels and runs of a row's words; a run starts at a stain pixel
// whose left neighbour is clear, and a row starts clear.  Built for
// processors with a population count instruction too, where it is one, and
// without a branch: half the words of a card are empty, at random.
[[gnu::target_clones("popcnt", "default")]] void countWords(const std::uint64_t *words, std::size_t n,
                                                            std::uint64_t &pixels, std::uint64_t &runs)
{
    std::uint64_t carry = 0;
    std::uint64_t bitsSet = 0;
    std::uint64_t starts = 0;
    for (std::size_t w = 0; w < n; ++w) {
        const std::uint64_t bits = words[w];
        bitsSet += static_cast<std::uint64_t>(std::popcount(bits));
        starts += static_cast<std::uint64_t>(std::popcount(bits & ~((bits << 1) | carry)));
        carry = bits >> 63;
    }
    pixels += bitsSet;
    runs += starts;
}

// Where the stain bits of a row change, left to right, into `edges`: a run
// starts at each even entry and ends before the next, or at the row's end
// when there is none.  Half the words of a card have no edge, at random,
// so no branch asks which: the words with edges are found by the bits of a
// summary, and their edges are written four at a time whether a word has
// that many or not, the count moving on by those it has.  The buffer needs
// room for four entries beyond the row's edges.
[[gnu::target_clones("popcnt", "default")]] std::size_t rowEdges(const std::uint64_t *words, std::size_t n,
                                                                 std::int32_t *edges)
{
    std::size_t count = 0;
    std::uint64_t carry = 0;
    std::array<std::uint64_t, 64> changes;
    for (std::size_t group = 0; group < n; group += 64) {
        const std::size_t inGroup = std::min<std::size_t>(64, n - group);
        std::uint64_t withEdges = 0;
        for (std::size_t j = 0; j < inGroup; ++j) {
            const std::uint64_t bits = words[group + j];
            changes[j] = bits ^ ((bits << 1) | carry);
            carry = bits >> 63;
            withEdges |= static_cast<std::uint64_t>(changes[j] != 0) << j;
        }
        while (withEdges != 0) {
            const int j = std::countr_zero(withEdges);
            withEdges &= withEdges - 1;
            std::uint64_t change = changes[static_cast<std::size_t>(j)];
            const auto base = static_cast<std::int32_t>(group + static_cast<std::size_t>(j)) * WordPixels;
            const auto found = static_cast<std::size_t>(std::popcount(change));
            std::int32_t *out = edges + count;
            // The top bit set keeps the count of trailing zeros of a word
            // without edges left from asking whether it is zero.
            constexpr std::uint64_t Stop = std::uint64_t{1} << 63;
            for (int k = 0; k < 4; ++k) {
                out[k] = base + std::countr_zero(change | Stop);
                change &= change - 1;
            }
            for (std::size_t k = 4; k < found; ++k) {
                out[k] = base + std::countr_zero(change | Stop);
                change &= change - 1;
            }
            count += found;
        }
    }
    return count;
}

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
    std::vector<std::uint64_t> words;
    std::uint64_t pixels = 0;
    std::uint64_t runs = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        test.rowWords(image.row(y), width, words);
        countWords(words.data(), words.size(), pixels, runs);
    }
    const ForegroundPixelList::Room room =
        list.makeRoom(static_cast<std::size_t>(runs), static_cast<std::size_t>(pixels));
    ForegroundPixelList::Run *runOut = room.Runs;
    const ForegroundPixelList::Run *const runEnd = room.Runs + runs;
    std::uint8_t *indexOut = room.Indices;
    const std::uint8_t *const indexEnd = room.Indices + pixels;

    IndexTally tally;
    std::int32_t lastRow = height;
    // Every pixel of a row may be an edge, and rowEdges writes a few
    // entries beyond the last.
    std::vector<std::int32_t> edges(static_cast<std::size_t>(width) + 2 * WordPixels);

    for (std::int32_t y = 0; y < height; ++y) {
        if (callbacks.CancelRequested && callbacks.CancelRequested()) {
            list.clear();
            return PassOutcome::Cancelled;
        }
        const std::uint8_t *row = image.row(y);
        const std::int32_t rowNumber = height - y;
        std::uint8_t *const rowIndices = indexOut;
        auto emit = [&](std::int32_t start, std::int32_t end) {
            const std::int32_t length = end - start;
            // Rows read in place may change between the two sweeps when
            // another program rewrites the file: what was not counted is
            // left out (and the analysis refuses such a card).
            if (runOut == runEnd || length > indexEnd - indexOut)
                return;
            *runOut++ = ForegroundPixelList::Run{rowNumber, start + 1, length};
            // Whole blocks of 32 bytes where the row and the room have them,
            // which for nearly every run is one: the bytes beyond the run
            // are the next run's to overwrite.
            const std::int32_t whole = (length + 31) & ~31;
            if (start + whole <= width && indexOut + whole <= indexEnd) {
                for (std::int32_t k = 0; k < whole; k += 32)
                    std::memcpy(indexOut + k, row + start + k, 32);
            } else {
                std::memcpy(indexOut, row + start, static_cast<std::size_t>(length));
            }
            indexOut += length;
        };
        test.rowWords(row, width, words);
        const std::size_t edgeCount = rowEdges(words.data(), words.size(), edges.data());
        for (std::size_t e = 0; e < edgeCount; e += 2)
            emit(edges[e], e + 1 < edgeCount ? edges[e + 1] : width);
        if (indexOut != rowIndices) {
            tally.add(rowIndices, static_cast<std::size_t>(indexOut - rowIndices));
            lastRow = rowNumber;
        }
        if (y % ProgressEvery == 0 && callbacks.Progress)
            callbacks.Progress(y);
    }
    if (callbacks.Progress)
        callbacks.Progress(height);
    list.keepWritten(static_cast<std::size_t>(runOut - room.Runs), static_cast<std::size_t>(indexOut - room.Indices));

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
