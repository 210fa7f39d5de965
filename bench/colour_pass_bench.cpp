// Measures the colour pass as a card is opened: decoding the bitmap file and
// collecting every stain pixel, with the questions answered "Yes to All" and
// the cancel and progress callbacks in place as the window has them.
//
//   colour_pass_bench <card.bmp> [repeats, default 5]
//
// Run it pinned to one core with the file in the page cache; it prints what
// it measured and leaves the judging to the reader.

#include "bench/BenchSupport.h"
#include "intake/BmpFile.h"
#include "intake/ColourPass.h"
#include "model/CardRecord.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace vex::bench;

namespace {

struct Round {
    double Decode = 0.0;
    double Pass = 0.0;
    double total() const { return Decode + Pass; }
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <card.bmp> [repeats]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::error_code error;
    const auto fileSize = static_cast<long long>(std::filesystem::file_size(path, error));
    if (error) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const long long rssBefore = statusBytes("VmRSS");

    std::atomic<bool> cancel{false};
    std::int32_t lastProgress = -1;
    const vex::PassCallbacks callbacks{[&cancel] { return cancel.load(std::memory_order_relaxed); },
                                       [&lastProgress](std::int32_t y) { lastProgress = y; }};

    std::vector<Round> rounds;
    long long pixels = 0;
    std::size_t stainPixels = 0;
    std::size_t runs = 0;
    long long hueTotal = 0;
    int background = 0;
    int dither = 0;
    for (int i = 0; i < repeats; ++i) {
        Round round;
        const Clock::time_point start = Clock::now();
        vex::DecodeResult decoded = vex::decodeBmpFile(path);
        const Clock::time_point decodedAt = Clock::now();
        if (!decoded.ok()) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), decoded.reason().c_str());
            return 1;
        }
        vex::CardRecord card;
        bool noBackgroundQuestion = true;
        bool noDitherQuestion = true;
        const vex::PassOutcome outcome =
            vex::runColourPass(card, decoded->Image, noBackgroundQuestion, noDitherQuestion, {}, callbacks);
        const Clock::time_point passedAt = Clock::now();
        if (outcome != vex::PassOutcome::Complete) {
            std::fprintf(stderr, "the pass did not complete\n");
            return 1;
        }
        round.Decode = secondsBetween(start, decodedAt);
        round.Pass = secondsBetween(decodedAt, passedAt);
        rounds.push_back(round);

        pixels = static_cast<long long>(decoded->Image.Width) * decoded->Image.Height;
        stainPixels = card.ForegroundPixels.size();
        runs = card.ForegroundPixels.runs().size();
        hueTotal = 0;
        for (const std::int32_t n : card.HueCount)
            hueTotal += n;
        background = card.BackgroundIndex;
        dither = card.DitherIndex;
        std::printf("round %d: decode %7.1f ms, pass %7.1f ms, total %7.1f ms = %7.1f Mpx/s\n", i + 1,
                    1e3 * round.Decode, 1e3 * round.Pass, 1e3 * round.total(),
                    static_cast<double>(pixels) / round.total() / 1e6);
    }

    std::vector<double> totals;
    std::vector<double> decodes;
    std::vector<double> passes;
    for (const Round &r : rounds) {
        totals.push_back(r.total());
        decodes.push_back(r.Decode);
        passes.push_back(r.Pass);
    }
    const double best = *std::min_element(totals.begin(), totals.end());
    const double typical = median(totals);
    const long long peak = statusBytes("VmHWM");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long long maxRss = static_cast<long long>(usage.ru_maxrss) * 1024;

    std::printf("\nfile            %s\n", path.c_str());
    std::printf("file size       %lld bytes (%.1f MiB)\n", fileSize, mib(fileSize));
    std::printf("pixels          %lld\n", pixels);
    std::printf("stain pixels    %zu (%.2f %%) in %zu runs; hue counts sum to %lld\n", stainPixels,
                100.0 * static_cast<double>(stainPixels) / static_cast<double>(pixels), runs, hueTotal);
    std::printf("background      %d, dither %d, last progress %d\n", background, dither, lastProgress);
    // The first round is the first card a user opens: every buffer is new
    // memory.  Later rounds may get memory back that the allocator kept.
    const Round &first = rounds.front();
    auto mpx = [pixels](double seconds) { return static_cast<double>(pixels) / seconds / 1e6; };
    std::printf("first round     decode %.1f ms + pass %.1f ms = %.1f Mpx/s (pass alone %.1f Mpx/s)\n",
                1e3 * first.Decode, 1e3 * first.Pass, mpx(first.total()), mpx(first.Pass));
    std::printf("median          decode %.1f ms + pass %.1f ms = %.1f Mpx/s (pass alone %.1f Mpx/s)\n",
                1e3 * median(decodes), 1e3 * median(passes), mpx(typical), mpx(median(passes)));
    std::printf("best            %.1f Mpx/s (%d rounds, decode + pass)\n", mpx(best), repeats);
    std::printf("peak RSS        VmHWM %.1f MiB, ru_maxrss %.1f MiB (%.1f MiB before the first round)\n", mib(peak),
                mib(maxRss), mib(rssBefore));
    std::printf("peak / file     %.3f\n", static_cast<double>(std::max(peak, maxRss)) / static_cast<double>(fileSize));
    return 0;
}
