// vexolin-batch: the analysis of the desktop program without its windows,
// for scripts.  See batchUsage() for the command line.  A run reads its
// inputs (BatchInputs), has its cards analysed side by side and taken in
// their order (BatchCards, over OrderedPool), then writes what the options
// ask for (BatchOutputs).

#include "app/Batch.h"
#include "app/batch/BatchCards.h"
#include "app/batch/BatchInputs.h"
#include "app/batch/BatchOutputs.h"
#include "app/batch/BatchRun.h"
#include "app/batch/BatchText.h"
#include "app/batch/ProgressLine.h"
#include "app/qt/QtSettingsStore.h"
#include "line/CardPositions.h"
#include "line/PassMean.h"
#include "line/StainTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>

#include <unistd.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace vex::batch;

// Drawing the report needs fonts, which only a GUI application has; it
// runs on Qt's offscreen platform where there is no display.
std::unique_ptr<QCoreApplication> application(int &argc, char **argv, bool report)
{
    if (!report)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

// The line of the run's cards, or the mean of the trial's passes.
vex::LineResults analyseRunLine(const vex::BatchOptions &options, BatchRun &run)
{
    // The records have found their places: point the results at them.
    for (vex::BatchCardResult &r : run.Results)
        r.Card =
            r.Pass > 0 ? &run.Trial.Passes[static_cast<std::size_t>(r.Pass) - 1].Cards[r.Index] : &run.Cards[r.Index];
    if (!options.MeanOfPasses)
        return vex::analyseLine(run.Cards, run.Settings);
    // From here on the points of the mean stand for the line of cards, as
    // the window shows them.
    run.Mean = vex::meanOfPasses(run.Trial.Passes, {}, run.Settings);
    run.Cards = run.Mean.Points;
    run.Settings.Spray = run.Mean.Spray;
    return run.Mean.Line;
}

} // namespace

int main(int argc, char **argv)
try {
#if defined(__GLIBC__)
    // A picture's work makes and drops many buffers of tens of megabytes:
    // kept in the heap and used again, rather than mapped afresh and faulted
    // in page by page each time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_TOP_PAD, 64 * 1024 * 1024);
#endif
    std::vector<std::string> args(argv + 1, argv + argc);
    const vex::BatchArguments parsed = vex::parseBatchArguments(args);
    if (parsed.What == vex::BatchArguments::Kind::Help) {
        std::fputs(vex::batchUsage().c_str(), stdout);
        return 0;
    }
    if (parsed.What == vex::BatchArguments::Kind::Error)
        return usageError(parsed.Error);
    const vex::BatchOptions &options = parsed.Options;
    const std::unique_ptr<QCoreApplication> app = application(argc, argv, options.Report.has_value());

    vex::QtSettingsStore store;
    if (!store.notice().empty())
        std::fprintf(stderr, "vexolin-batch: %s\n", onOneLine(store.notice()).c_str());
    vex::ModuleState module;
    std::vector<std::string> reset;
    const vex::Preferences preferences = vex::readPreferences(store, module, QDir::homePath().toStdString(), &reset);
    // Positions the program has stored, as its Card Positions window opens with them.
    const std::pair<std::string, std::string> storedPositions = vex::storedCardPositions(store, reset);
    if (!reset.empty())
        std::fprintf(stderr, "vexolin-batch: %s\n", onOneLine(vex::resetSettingsMessage(reset)).c_str());

    BatchRun run;
    ProgressLine progress(options.Quiet);
    if (!options.FromTrial)
        run.Settings = vex::resolveBatchSettings(options, preferences, module, storedPositions);
    else if (const std::optional<int> stopped = openTrialRun(options, storedPositions, progress, run))
        return *stopped;

    const CardPaths paths = cardPaths(options.Cards, run.Settings.Intake, run.Settings.NaturalOrder);
    const std::size_t total = paths.Images.size();
    if (const vex::Status clash = vex::batchOutputClash(
            options, paths.Images, run.Settings.Log ? paths.Logs : std::vector<std::string>(), run.Trial, run.Cards);
        !clash.ok())
        return usageError(clash.reason());
    run.Cards.records().reserve(total);
    run.LogOfCard.reserve(total + 1);
    run.Results.reserve(run.Results.size() + total);
    run.StainTable = vex::stainTableHeader();

    // The workers write no log: the main thread writes each in card order,
    // so that cards sharing a log (one file named twice) add to it in that
    // order, as a run of one job does.
    vex::AnalysisSettings workerSettings = run.Settings;
    workerSettings.Log = false;
    raisePictureAllocationLimit();
    const CardPool::Make analyse = [&](std::size_t n, std::atomic<int> &share) {
        return analyseCardFile(paths.Images[n], workerSettings, options, share);
    };
    const std::size_t cores = std::max(1U, std::thread::hardware_concurrency());
    const std::size_t wanted = options.Jobs ? static_cast<std::size_t>(*options.Jobs) : cores;
    const int jobs = static_cast<int>(std::min(wanted, total));
    const ProgressLine::Clock::time_point started = ProgressLine::Clock::now();
    int status = 0;
    {
        CardPool pool(total, jobs, analyse);
        if (pool.working() < static_cast<std::size_t>(jobs))
            std::fprintf(stderr, "vexolin-batch: warning: the system gave %zu of the %d threads asked for; %s\n",
                         pool.working(), jobs,
                         pool.working() > 0 ? "the cards are analysed by fewer" : "the cards are analysed one by one");
        status = collectCards(pool, analyse, paths, options, started, progress, run);
    }

    // The swath analysis of a line of thousands of cards takes a while of its own.
    if (total > 0)
        progress.show(std::to_string(total) + "/" + std::to_string(total) + " cards, analysing the line");
    const vex::LineResults line = analyseRunLine(options, run);
    progress.end();
    if (const vex::Status figures = vex::checkLineFigures(line); !figures.ok()) {
        // Nothing is written that would hold a number that is none.
        std::fprintf(stderr, "vexolin-batch: nothing of the line is written: %s\n",
                     onOneLine(figures.reason()).c_str());
        return 1;
    }
    if (!writeOutputs(options, run, line, wanted))
        status = 1;
    // Output that never arrived (a full disc, a closed pipe) is a failure
    // like any other.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "vexolin-batch: the results could not be written to standard output: %s\n",
                     std::strerror(errno != 0 ? errno : EIO));
        status = 1;
    }
    return status;
} catch (...) {
    // Nothing leaves without a word: most often memory ran out outside any one card.
    std::fflush(stdout);
    if (isatty(STDERR_FILENO) == 1)
        std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "vexolin-batch: the run is stopped: %s\n", failureText(std::current_exception()).c_str());
    return 1;
}
