// Pictures straight from the fuzzer's bytes, past any decoder: small sizes,
// short colour tables, indices beyond them, short pixel buffers, and rows
// just either side of the width where the pixel count switches blocks.
//
// Input: width, height, colour-table entries - 1, a mode byte, one answer
// byte, then the colour table and the pixels.  Pixels past the end of the
// input repeat the input's bytes, so that wide rows are not all zero.
#include "FuzzChecks.h"

#include <cstdint>
#include <vector>

namespace {

using namespace vex;
using fuzz::require;

enum Mode : std::uint8_t {
    // Pass the stored sample an uncompressed bottom-up bitmap would carry.
    WithStoredSample = 1,
    // Leave the pixel buffer short of Width x Height.
    ShortPixels = 2,
    // Ask the questions and answer them from the answer byte.
    AskQuestions = 4,
    // Set the background and dither indices by hand and run the pixel pass alone.
    DirectIndices = 8,
    // Stop the pass at a row chosen by the answer byte.
    Cancel = 16,
};

class Bytes {
public:
    Bytes(const std::uint8_t *data, std::size_t size, std::size_t start) : data_(data), size_(size), at_(start) {}
    std::uint8_t next()
    {
        if (size_ == 0)
            return 0;
        if (at_ >= size_)
            at_ = 0;
        return data_[at_++];
    }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t at_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 5)
        return 0;
    const std::uint8_t mode = data[3];
    const std::uint8_t answer = data[4];

    IndexedImage image;
    const bool wide = data[0] >= 224;
    if (wide) {
        // The row count works through blocks of 8160 pixels.
        image.Width = 8160 - 16 + (data[0] - 224);
        image.Height = 1 + data[1] % 3;
    } else {
        image.Width = 1 + data[0] % 64;
        image.Height = 1 + data[1] % 64;
    }
    const std::size_t entries = 1 + static_cast<std::size_t>(data[2]);
    Bytes bytes(data, size, 5);
    image.PaletteBgr.resize(entries * 3);
    for (std::uint8_t &byte : image.PaletteBgr)
        byte = bytes.next();
    std::size_t pixels = static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height);
    if ((mode & ShortPixels) != 0)
        pixels -= std::min<std::size_t>(pixels, 1 + answer % static_cast<std::size_t>(2 * image.Width));
    image.Pixels.resize(pixels);
    for (std::uint8_t &index : image.Pixels)
        index = bytes.next();
    if ((mode & WithStoredSample) != 0) {
        image.StoredSample.resize(1 + answer % (5 * static_cast<std::size_t>(image.Width)));
        for (std::uint8_t &index : image.StoredSample)
            index = bytes.next();
    }

    if ((mode & (ShortPixels | AskQuestions | DirectIndices | Cancel)) == 0) {
        // As a batch run sees it: every question answered yes.
        fuzz::analyse(image, !wide);
        return 0;
    }

    CardRecord card;
    card.ImageWidth = image.Width;
    card.ImageHeight = image.Height;
    ColourQuestions questions;
    int askedBackground = 0;
    int askedDither = 0;
    const std::uint8_t ditherAnswer = static_cast<std::uint8_t>(answer ^ 0x5A);
    std::uint8_t chosenBackground = 0;
    if ((mode & AskQuestions) != 0) {
        questions.AskBackground = [&](std::uint8_t, bool &disable) {
            ++askedBackground;
            disable = (answer & 1) != 0;
            return answer;
        };
        questions.AskDither = [&](std::uint8_t background, std::uint8_t, bool &disable) {
            ++askedDither;
            // The dither question comes after the background answer.
            chosenBackground = background;
            disable = (answer & 2) != 0;
            return ditherAnswer;
        };
    }
    const std::int32_t cancelRow = answer % 8;
    std::int32_t rowsAsked = 0;
    std::vector<std::int32_t> progress;
    PassCallbacks callbacks;
    callbacks.Progress = [&](std::int32_t row) { progress.push_back(row); };
    if ((mode & Cancel) != 0)
        callbacks.CancelRequested = [&] { return rowsAsked++ == cancelRow; };

    PassOutcome outcome;
    if ((mode & DirectIndices) != 0) {
        card.BackgroundIndex = answer;
        card.DitherIndex = bytes.next();
        setCardPalette(card, image);
        outcome = collectForegroundPixels(card, image, callbacks);
    } else {
        bool noBackgroundWarning = false;
        bool noDitherWarning = false;
        outcome = runColourPass(card, image, noBackgroundWarning, noDitherWarning, questions, callbacks);

        // The choice, redone from a sample counted byte by byte; a question
        // is asked only where the picture leaves doubt, and its answer wins.
        const bool ask = (mode & AskQuestions) != 0;
        const ColourSample sample = fuzz::plainSample(image);
        const LeadingColours lead = fuzz::plainLeaders(sample.Counts);
        const bool doubtfulBackground = lead.FirstCount > sample.Counts[0];
        const bool dither = sample.Size > 0 && lead.SecondCount * 10 > sample.Size;
        const std::uint8_t background = doubtfulBackground ? (ask ? answer : lead.First) : 0;
        require(askedBackground == (ask && doubtfulBackground ? 1 : 0));
        require(askedDither == (ask && dither ? 1 : 0));
        require(card.BackgroundIndex == background);
        require(card.DitherIndex == (dither ? (ask ? ditherAnswer : lead.Second) : background));
        if (askedDither != 0)
            require(chosenBackground == background);
        require(noBackgroundWarning == (askedBackground != 0 && (answer & 1) != 0));
        require(noDitherWarning == (askedDither != 0 && (answer & 2) != 0));
    }

    const std::int32_t rows = fuzz::rowsHeld(image);
    if ((mode & Cancel) != 0 && cancelRow < rows) {
        // A stopped pass must not look like a finished one.
        require(outcome == PassOutcome::Cancelled);
        require(!card.ColoursKnown);
        require(card.ForegroundPixels.size() == 0 && card.ForegroundPixels.runs().empty());
        require(!card.ForegroundPixels.closed());
        for (const std::int32_t count : card.HueCount)
            require(count == 0);
        return 0;
    }
    require(outcome == PassOutcome::Complete);
    fuzz::requirePassResult(card, image);
    // Progress at every tenth row, then the height once.
    std::vector<std::int32_t> expected;
    for (std::int32_t y = 0; y < rows; y += 10)
        expected.push_back(y);
    expected.push_back(rows);
    require(progress == expected);

    if (!wide) {
        const ScanResult scan = traceStains(card.ForegroundPixels, ScanSettings{});
        require(!scan.Cancelled);
    }
    return 0;
}
