#include "app/batch/BatchCards.h"

#include "analysis/ScanLog.h"
#include "app/batch/BatchOutputs.h"
#include "app/batch/BatchPictures.h"
#include "app/batch/BatchText.h"
#include "intake/qt/CardOpening.h"
#include "line/StainTable.h"
#include "trial/CardFileCheck.h"

#include <QImageReader>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <new>
#include <string_view>
#include <utility>

namespace vex::batch {

void raisePictureAllocationLimit()
{
    constexpr int NeededMegabytes = static_cast<int>(BmpMaxPixels >> 20) * 8;
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < NeededMegabytes)
        QImageReader::setAllocationLimit(NeededMegabytes);
}

AnalysedCard analyseCardFile(const std::string &file, const AnalysisSettings &settings, const BatchOptions &options,
                             std::atomic<int> &share)
{
    if (options.FindCards)
        return analysePictureFile(file, settings, options, share);
    AnalysedCard a;
    const std::filesystem::path path = file;
    const std::string title = path.filename().string();
    const std::string folder = path.parent_path().string() + "/";
    // Each worker opens its pictures with readers of its own.
    const OpenedImage opened = openCardImage(title, folder, settings.Intake);
    if (!opened.ok()) {
        a.Said.push_back(shown(path.string()) + ": " + opened.reason());
        return a;
    }
    for (const std::string &warning : opened->Warnings)
        a.Said.push_back(shown(path.string()) + ": warning: " + warning);
    const IndexedImage &image = opened->Decoded->Image;
    auto card =
        std::make_unique<CardRecord>(newCardRecord(title, folder, image.Width, image.Height, settings.Resolution));
    noteDecodedFacts(*card, opened->Decoded);
    // Noted of the bytes analysed: the saved trial tells when the file changes.
    if (options.SaveTrial)
        if (const Status noted = noteCardFile(*card, opened->Decoded); !noted.ok())
            a.Said.push_back(shown(path.string()) + ": warning: " + onOneLine(noted.reason()) +
                             "; the trial cannot tell when it changes");

    // Half for the colour pass, half for the stain scan.
    BatchProgress callbacks;
    const auto rows = std::max(image.Height, 1);
    callbacks.Pass.Progress = [&](std::int32_t row) {
        share.store(static_cast<int>(500LL * row / rows), std::memory_order_relaxed);
    };
    callbacks.Scan.Progress = [&](std::uint64_t at) {
        const auto all = std::max<std::uint64_t>(card->ForegroundPixels.size() + 1, 1);
        share.store(static_cast<int>(500 + 500 * at / all), std::memory_order_relaxed);
    };
    // The stain pixels of a large card fill tens of megabytes: a worker
    // keeps the buffers of its last card for the next one, whose pages
    // are then already there instead of each faulted in and cleared.
    thread_local ForegroundPixelList spare;
    card->ForegroundPixels = std::move(spare);
    a.Figures = analyseCard(*card, image, settings, callbacks);
    // The stain pixels are done with; a long run keeps only the results.
    spare = std::exchange(card->ForegroundPixels, ForegroundPixelList());
    spare.clear();
    if (options.Json && a.Figures.Figures.ok()) {
        BatchCardResult r;
        r.Card = card.get();
        r.Figures = std::move(a.Figures);
        a.Json = batchCardJson(r, settings.Bootstrap, &settings);
        a.Figures = std::move(r.Figures);
    }
    a.Card = std::move(card);
    return a;
}

namespace {

enum class Added { Fine, LogFailed, LeftOut };

// One analysed card into the run, in its place; `path` is the card file's
// `image` as shown.
Added addCard(AnalysedCard &analysed, const std::string &image, const std::string &path, const std::string &log,
              bool stdoutIsTerminal, const BatchOptions &options, ProgressLine &progress, BatchRun &run)
{
    const AnalysisSettings &settings = run.Settings;
    CardRecord &card = *analysed.Card;
    // A found card's log is named after its picture's (image is empty).
    if (settings.Log && !image.empty() && log != scanLogPath(image))
        progress.say(sharedLogMessage(scanLogPath(image), log));
    BatchCardResult result;
    result.Figures = std::move(analysed.Figures);
    result.Card = &card;
    result.Source = std::move(analysed.Source);
    // As the analysis itself does: a card whose figures are no numbers has no log.
    if (settings.Log && result.Figures.Figures.ok())
        result.Figures.Log = writeScanLog(scanLogInputsFor(card, settings, log), settings.Append);
    if (card.RecordedResolution != 0 && card.RecordedResolution != card.Resolution)
        progress.say(path + ": warning: the file records " + std::to_string(card.RecordedResolution) +
                     " dpi; the card is analysed at " + std::to_string(card.Resolution) + " dpi");
    if (const std::string dense = denseCardWarning(card, settings.DenseCoverage); !dense.empty())
        progress.say(path + ": warning: " + dense);
    if (!result.Figures.Figures.ok()) {
        progress.say(path + ": the card is left out: " + result.Figures.Figures.reason());
        return Added::LeftOut;
    }
    const Added added = result.Figures.Log.ok() ? Added::Fine : Added::LogFailed;
    if (added == Added::LogFailed)
        progress.say(result.Figures.Log.reason());

    if (!options.Json) {
        if (stdoutIsTerminal)
            progress.clear();
        printCard(result);
    }
    if (options.Stains)
        run.StainTable += stainTableRows(card, result.Figures.Stains, settings.Spread);
    result.Figures.Stains = {};
    if (options.Json) {
        if (!run.Results.empty())
            run.CardTexts.add(",");
        run.CardTexts.add(std::string_view(analysed.Json.constData(), static_cast<std::size_t>(analysed.Json.size())));
    }
    result.Index = run.Cards.add(std::move(card));
    run.LogOfCard.push_back(log);
    run.Results.push_back(std::move(result));
    return added;
}

// The cards found in a picture, in their order; true when any failed.
bool addFoundCards(AnalysedCard &picture, const std::string &log, bool stdoutIsTerminal, const BatchOptions &options,
                   ProgressLine &progress, BatchRun &run)
{
    bool failed = false;
    for (std::size_t k = 0; k < picture.Found.size(); ++k) {
        AnalysedCard &found = picture.Found[k];
        for (const std::string &said : found.Said)
            progress.say(said);
        if (!found.Card) {
            failed = true;
            continue;
        }
        const std::string path = shown(found.Card->FilePath);
        try {
            if (addCard(found, {}, path, foundCardLog(log, static_cast<int>(k) + 1), stdoutIsTerminal, options,
                        progress, run) != Added::Fine)
                failed = true;
        } catch (const std::bad_alloc &) {
            progress.say(path + ": the card cannot be analysed: not enough memory");
            failed = true;
        }
    }
    return failed;
}

} // namespace

int collectCards(CardPool &pool, const CardPool::Make &analyse, const CardPaths &paths, const BatchOptions &options,
                 ProgressLine::Clock::time_point started, ProgressLine &progress, BatchRun &run)
{
    const std::size_t total = paths.Images.size();
    const auto progressText = [&] {
        return batchProgressText(pool.finished(), total, pool.underWay(),
                                 std::chrono::duration<double>(ProgressLine::Clock::now() - started).count());
    };
    const bool stdoutIsTerminal = isatty(STDOUT_FILENO) == 1;
    int status = 0;
    std::size_t problem = 0;
    for (std::size_t n = 0; n <= total; ++n) {
        for (; problem < paths.FolderProblems.size() && paths.FolderProblems[problem].first == n; ++problem) {
            progress.say(paths.FolderProblems[problem].second);
            status = 1;
        }
        if (n == total)
            break;
        const std::string path = shown(paths.Images[n]);
        AnalysedCard analysed;
        try {
            try {
                analysed = pool.take(n, [&] { progress.update(progressText); });
            } catch (const std::bad_alloc &) {
                // What the other workers held then may be free now: the
                // card is tried once more, here, before it is given up.
                std::atomic<int> share{0};
                analysed = analyse(n, share);
            }
        } catch (...) {
            // A card that cannot get its memory is that card's failure; the
            // others go on.
            progress.say(path + ": the card cannot be analysed: " + failureText(std::current_exception()));
            status = 1;
            continue;
        }
        for (const std::string &said : analysed.Said)
            progress.say(said);
        if (!analysed.Found.empty()) {
            if (addFoundCards(analysed, paths.Logs[n], stdoutIsTerminal, options, progress, run))
                status = 1;
            progress.update(progressText);
            continue;
        }
        if (!analysed.Card) {
            status = 1;
            continue;
        }
        // Memory may run out here too, while the workers hold theirs: the card is
        // left out and the run goes on.  The lists it joins have their room already.
        try {
            const Added added =
                addCard(analysed, paths.Images[n], path, paths.Logs[n], stdoutIsTerminal, options, progress, run);
            if (added != Added::Fine)
                status = 1;
            if (added == Added::LeftOut)
                continue;
        } catch (const std::bad_alloc &) {
            progress.say(path + ": the card cannot be analysed: not enough memory");
            status = 1;
        }
        progress.update(progressText);
    }
    return status;
}

} // namespace vex::batch
