// Measures the analysis of one card as the batch tool runs it: colour pass,
// stain scan and drop statistics on a decoded picture, with the cancel and
// progress callbacks in place.  Decoding is timed on its own.
//
//   scan_bench <card.bmp> <dpi> [repeats, default 5] [hue low-high, default 150-190] [no-dither | reduce]
//
// "no-dither" answers No to the dither question, as a user who keeps the
// dither colour as stains would: the worst case of the stain scan.
// "reduce" opens a colour bitmap as the batch tool does with
// --reduce-colours: decoding then includes the reduction to 256 colours.
//
// It prints what it measured; bench/run_scan.sh sets it beside OpenCV.

#include "app/Batch.h"
#include "bench/BenchSupport.h"
#include "intake/BmpFile.h"
#include "intake/CardLoading.h"

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

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <card.bmp> <dpi> [repeats] [hue low-high]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const int dpi = std::clamp(std::atoi(argv[2]), 1, 20000);
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    int hueLow = 150;
    int hueHigh = 190;
    if (argc > 4 && std::sscanf(argv[4], "%d-%d", &hueLow, &hueHigh) != 2) {
        std::fprintf(stderr, "the hue range is LOW-HIGH\n");
        return 2;
    }
    const bool noDither = argc > 5 && std::string(argv[5]) == "no-dither";
    const bool reduce = argc > 5 && std::string(argv[5]) == "reduce";
    std::error_code error;
    const auto fileSize = static_cast<long long>(std::filesystem::file_size(path, error));
    if (error) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }

    vex::AnalysisSettings settings;
    settings.Log = false;
    settings.NoDither = noDither;
    settings.Scan.HueLow = static_cast<std::uint8_t>(std::clamp(hueLow, 0, 255));
    settings.Scan.HueHigh = static_cast<std::uint8_t>(std::clamp(hueHigh, 0, 255));

    std::atomic<bool> cancel{false};
    Clock::time_point passDone;
    std::int32_t height = 0;
    std::uint64_t lastScanProgress = 0;
    vex::BatchProgress progress;
    progress.Pass.CancelRequested = [&cancel] { return cancel.load(std::memory_order_relaxed); };
    progress.Pass.Progress = [&](std::int32_t y) {
        if (y == height)
            passDone = Clock::now();
    };
    progress.Scan.CancelRequested = [&cancel] { return cancel.load(std::memory_order_relaxed); };
    progress.Scan.Progress = [&lastScanProgress](std::uint64_t n) { lastScanProgress = n; };
    progress.Scan.RowDone = [] {};

    std::vector<double> decodes;
    std::vector<double> passes;
    std::vector<double> scans;
    std::vector<double> totals;
    vex::CardRecord card;
    vex::CardFigures figures;
    long long pixels = 0;
    for (int i = 0; i < repeats; ++i) {
        const Clock::time_point start = Clock::now();
        const vex::DecodeResult decoded = vex::decodeBmpFile(
            path, reduce ? vex::ColourBitmaps::Reduce : vex::ColourBitmaps::Refuse, vex::BmpRows::InPlace);
        const Clock::time_point decodedAt = Clock::now();
        if (!decoded.ok()) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), decoded.reason().c_str());
            return 1;
        }
        height = decoded->Image.Height;
        pixels = static_cast<long long>(decoded->Image.Width) * decoded->Image.Height;
        card = vex::newCardRecord("card.bmp", "./", decoded->Image.Width, decoded->Image.Height, dpi);
        settings.Resolution = dpi;
        figures = vex::analyseCard(card, decoded->Image, settings, progress);
        const Clock::time_point doneAt = Clock::now();
        if (figures.Cancelled) {
            std::fprintf(stderr, "the analysis did not complete\n");
            return 1;
        }
        decodes.push_back(secondsBetween(start, decodedAt));
        passes.push_back(secondsBetween(decodedAt, passDone));
        scans.push_back(secondsBetween(passDone, doneAt));
        totals.push_back(secondsBetween(decodedAt, doneAt));
        std::printf("round %d: decode %7.1f ms | pass %7.1f ms + scan and statistics %7.1f ms = %7.1f ms\n", i + 1,
                    1e3 * decodes.back(), 1e3 * passes.back(), 1e3 * scans.back(), 1e3 * totals.back());
    }

    // The estimate for overlap is part of the statistics above; on its own:
    std::vector<double> estimates;
    for (int i = 0; i < repeats; ++i) {
        vex::OverlapFigures overlap;
        const Clock::time_point start = Clock::now();
        vex::addDropEstimate(overlap, card, settings);
        estimates.push_back(secondsBetween(start, Clock::now()));
    }

    const long long peak = statusBytes("VmHWM");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long long maxRss = std::max(peak, static_cast<long long>(usage.ru_maxrss) * 1024);

    std::printf("\nfile            %s (%.1f MiB), %lld pixels, %d dpi\n", path.c_str(), mib(fileSize), pixels,
                settings.Resolution);
    std::printf("stain pixels    %llu; accepted %d, rejected %d (together %d); %zu classes\n",
                static_cast<unsigned long long>(figures.ForegroundPixels), figures.Accepted, card.RejectedCount,
                figures.Accepted + card.RejectedCount, card.Stains.size() - 1);
    std::printf("VMD             %.3f um, Dv0.1 %.3f um, Dv0.9 %.3f um, NMD %.3f um (last scan progress %llu)\n",
                card.VMD, figures.Dv01, figures.Dv09, figures.Nmd, static_cast<unsigned long long>(lastScanProgress));
    std::printf("decode          median %.1f ms%s\n", 1e3 * median(decodes),
                reduce ? " (with the reduction to 256 colours)" : "");
    std::printf("analysis        median %.1f ms: pass %.1f ms + scan and statistics %.1f ms (first round %.1f ms)\n",
                1e3 * median(totals), 1e3 * median(passes), 1e3 * median(scans), 1e3 * totals.front());
    std::printf("analysis best   %.1f ms\n", 1e3 * *std::min_element(totals.begin(), totals.end()));
    std::printf("overlap estimate median %.1f ms = %.1f %% of the analysis; best %.1f ms = %.1f %% of its best\n",
                1e3 * median(estimates), 100.0 * median(estimates) / median(totals),
                1e3 * *std::min_element(estimates.begin(), estimates.end()),
                100.0 * *std::min_element(estimates.begin(), estimates.end()) /
                    *std::min_element(totals.begin(), totals.end()));
    std::printf("peak RSS        %.1f MiB = %.3f x the file\n", mib(maxRss),
                static_cast<double>(maxRss) / static_cast<double>(fileSize));
    const double decodedBytes = static_cast<double>(pixels) * (reduce ? 3.0 : 1.0);
    std::printf("peak RSS        %.3f x the decoded picture (%.1f MiB)\n", static_cast<double>(maxRss) / decodedBytes,
                mib(static_cast<long long>(decodedBytes)));
    // One line for the script that compares.
    std::printf("RESULT decode_ms=%.3f peak_per_picture=%.3f analysis_ms=%.3f components=%d peak_ratio=%.3f "
                "background=%d dither=%d\n",
                1e3 * median(decodes), static_cast<double>(maxRss) / decodedBytes, 1e3 * median(totals),
                figures.Accepted + card.RejectedCount, static_cast<double>(maxRss) / static_cast<double>(fileSize),
                card.BackgroundIndex, card.DitherIndex);
    return 0;
}
