// vexolin-batch: the analysis of the desktop program without its windows,
// for scripts.  See batchUsage() for the command line.

#include "analysis/ScanLog.h"
#include "app/Batch.h"
#include "app/TrialState.h"
#include "app/batch/OutputSpool.h"
#include "app/qt/BatchJson.h"
#include "app/qt/QtSettingsStore.h"
#include "intake/CardLoading.h"
#include "intake/qt/CardOpening.h"
#include "line/CardPositions.h"
#include "line/PassMean.h"
#include "line/StainTable.h"
#include "report/qt/ReportPdf.h"
#include "text/ControlText.h"
#include "text/NumberText.h"
#include "text/WholeFile.h"
#include "trial/CardFileCheck.h"
#include "trial/TrialFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImageReader>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A message on one line of the terminal: its own line breaks as blanks,
// any other control character (of a path, a typed text) escaped.
std::string onOneLine(std::string message)
{
    for (char &c : message)
        if (c == '\r')
            c = ' ';
    return vex::escapedControls(message);
}

// A path or a typed text as the terminal shows it: a carriage return in a
// file's name must not redraw the line.
std::string shown(const std::string &text)
{
    return vex::escapedControls(text);
}

// A progress line on standard error when it is a terminal, redrawn a few
// times a second; nothing at all when the output goes to a file.
class ProgressLine {
public:
    explicit ProgressLine(bool quiet) : enabled_(!quiet && isatty(STDERR_FILENO) == 1) {}
    // `text` is only asked for when the line is due, a few times a second,
    // or at once when other output has just taken it away; a line that has
    // not changed is not drawn again.
    template <typename Text>
    void update(const Text &text)
    {
        if (!enabled_)
            return;
        const auto now = Clock::now();
        if (!owed_ && now - last_ < std::chrono::milliseconds(200))
            return;
        last_ = now;
        if (std::string line = text(); owed_ || line != drawn_)
            show(std::move(line));
    }
    void show(std::string line)
    {
        if (!enabled_)
            return;
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        std::fflush(stderr);
        drawn_ = std::move(line);
        shown_ = true;
        owed_ = false;
    }
    // Before other output on the terminal; the line comes back with the
    // next update.
    void clear()
    {
        if (!enabled_ || !shown_)
            return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        shown_ = false;
        owed_ = true;
    }
    // For good.
    void end()
    {
        clear();
        enabled_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
    bool owed_ = false;
    std::string drawn_;
    Clock::time_point last_{};
};

// What a worker makes of one card: everything the main thread needs to
// report it as a run of one job would.
struct AnalysedCard {
    // Said of the card before its analysis, in that order, each after the
    // program's name.
    std::vector<std::string> Said;
    std::unique_ptr<vex::CardRecord> Card; // none when the card could not be opened
    vex::CardFigures Figures;
    // With --json, the card's text in the document, made on the worker: the
    // intervals of a large card take as long as its scan.
    QByteArray Json;
    std::exception_ptr Failure;
};

// Cards analysed by worker threads and handed out in their order.  A worker
// starts a card only while fewer than a window's worth of cards are waiting
// to be taken, so a run of any length holds at most `jobs` pictures and a
// bounded number of results.  Where the system gives fewer threads than
// asked for, fewer work; where it gives none, the cards are analysed as
// they are taken.
class CardWorkers {
public:
    // `analyse(index, share)` analyses a card, telling in `share` (per
    // thousand) how far it has got.
    using Analyse = std::function<AnalysedCard(std::size_t, std::atomic<int> &)>;
    CardWorkers(std::size_t total, int jobs, Analyse analyse)
        : total_(total), analyse_(std::move(analyse)), window_(2 * static_cast<std::size_t>(jobs)), slots_(window_),
          shares_(static_cast<std::size_t>(jobs))
    {
        threads_.reserve(static_cast<std::size_t>(jobs));
        for (int w = 0; w < jobs; ++w) {
            try {
                threads_.emplace_back([this, w] { work(shares_[static_cast<std::size_t>(w)]); });
            } catch (const std::system_error &) {
                break;
            }
        }
    }
    ~CardWorkers()
    {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        room_.notify_all();
        // The threads are joined as threads_ goes, before anything they use.
    }
    CardWorkers(const CardWorkers &) = delete;
    CardWorkers &operator=(const CardWorkers &) = delete;

    // The card at `index`, the next in order; `waiting` is called at least
    // a few times a second until it is there.  A worker's exception is
    // thrown here, in the card's place.
    template <typename Waiting>
    AnalysedCard take(std::size_t index, const Waiting &waiting)
    {
        if (threads_.empty())
            return analyseHere(index);
        std::unique_lock lock(mutex_);
        std::optional<AnalysedCard> &slot = slots_[index % window_];
        // Other cards may finish many times a second while this one is
        // under way; waiting() is asked every time and draws when due.
        while (!slot) {
            ready_.wait_for(lock, std::chrono::milliseconds(100));
            if (!slot) {
                lock.unlock();
                waiting();
                lock.lock();
            }
        }
        AnalysedCard card = std::move(*slot);
        slot.reset();
        ++taken_;
        lock.unlock();
        room_.notify_all();
        if (card.Failure)
            std::rethrow_exception(card.Failure);
        return card;
    }
    std::size_t finished() const { return finished_.load(); }
    // The threads that could be started.
    std::size_t working() const { return threads_.size(); }
    // The shares of the cards being analysed, in cards.
    double underWay() const
    {
        int thousandths = 0;
        for (const std::atomic<int> &share : shares_)
            thousandths += share.load(std::memory_order_relaxed);
        return thousandths / 1000.0;
    }

private:
    AnalysedCard analyseHere(std::size_t index)
    {
        AnalysedCard card;
        try {
            card = analyse_(index, shares_.front());
        } catch (...) {
            card.Failure = std::current_exception();
        }
        shares_.front() = 0;
        ++finished_;
        if (card.Failure)
            std::rethrow_exception(card.Failure);
        return card;
    }

    void work(std::atomic<int> &share)
    {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock lock(mutex_);
                room_.wait(lock, [&] { return stopping_ || next_ >= total_ || next_ < taken_ + window_; });
                if (stopping_ || next_ >= total_)
                    return;
                index = next_++;
            }
            AnalysedCard card;
            try {
                card = analyse_(index, share);
            } catch (...) {
                card.Failure = std::current_exception();
            }
            share = 0;
            ++finished_;
            {
                const std::lock_guard lock(mutex_);
                slots_[index % window_] = std::move(card);
            }
            ready_.notify_all();
        }
    }

    const std::size_t total_;
    const Analyse analyse_;
    const std::size_t window_;
    std::mutex mutex_;
    std::condition_variable ready_; // a card is done
    std::condition_variable room_;  // a card was taken, or the run ends
    std::vector<std::optional<AnalysedCard>> slots_;
    std::size_t next_ = 0;  // the next card to start
    std::size_t taken_ = 0; // cards handed out
    bool stopping_ = false;
    std::atomic<std::size_t> finished_{0};
    std::vector<std::atomic<int>> shares_; // one per worker
    std::vector<std::jthread> threads_;
};

void printCard(const vex::BatchCardResult &result)
{
    const vex::CardRecord &c = *result.Card;
    const bool drops = c.Stains.size() > 1;
    std::printf("%s: %d drops, %d rejected, VMD %s um, %s drops/cm2, %s nL/cm2\n", shown(c.FilePath).c_str(),
                result.Figures.Accepted, c.RejectedCount, vex::formatFixed(drops ? c.VMD : 0.0, 1).c_str(),
                vex::formatFixed(drops ? c.DropDensity : 0.0, 2).c_str(),
                vex::formatFixed(drops ? c.VolumeDensity : 0.0, 3).c_str());
}

// A stored card with the figures of its scan as they were saved, so that
// it reports as it did when it was analysed.
vex::BatchCardResult storedResult(const vex::CardRecord &card, int index, int pass)
{
    vex::BatchCardResult r;
    r.Card = &card;
    r.Index = index;
    r.Pass = pass;
    static_cast<vex::ScanSummary &>(r.Figures) = card.Summary;
    r.Figures.SplitStains = card.SplitStains;
    r.Figures.SplitParts = card.SplitParts;
    return r;
}

// What an exception says, in words for the user.
std::string failureText(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc &) {
        return "not enough memory";
    } catch (const std::system_error &e) {
        return std::string("the system refused: ") + e.what();
    } catch (const std::exception &e) {
        return e.what();
    } catch (...) {
        return "an unexpected failure";
    }
}

int usageError(const std::string &message)
{
    std::fprintf(stderr, "vexolin-batch: %s\n%s", onOneLine(message).c_str(), vex::batchUsage().c_str());
    return 2;
}

} // namespace

int main(int argc, char **argv)
try {
    std::vector<std::string> args(argv + 1, argv + argc);
    const vex::BatchArguments parsed = vex::parseBatchArguments(args);
    if (parsed.What == vex::BatchArguments::Kind::Help) {
        std::fputs(vex::batchUsage().c_str(), stdout);
        return 0;
    }
    if (parsed.What == vex::BatchArguments::Kind::Error)
        return usageError(parsed.Error);
    const vex::BatchOptions &options = parsed.Options;

    // Drawing the report needs fonts, which only a GUI application has; it
    // runs on Qt's offscreen platform where there is no display.
    std::unique_ptr<QCoreApplication> app;
    if (options.Report) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
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

    vex::AnalysisSettings settings;
    vex::CardList cards;
    std::vector<vex::BatchCardResult> results;
    int status = 0;
    ProgressLine progress(options.Quiet);
    // The trial reported, or the run as a trial to save.
    vex::Trial trial;
    std::vector<int> reported; // the trial's passes reported, 1-based
    if (options.FromTrial) {
        vex::Result<vex::Trial> opened = vex::openTrial(*options.FromTrial);
        if (!opened.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", shown(*options.FromTrial).c_str(),
                         onOneLine(opened.reason()).c_str());
            return 1;
        }
        trial = std::move(opened.value());
        const int passes = static_cast<int>(trial.Passes.size());
        if (options.MeanOfPasses) {
            for (int p = 1; p <= passes; ++p)
                if (trial.Passes[static_cast<std::size_t>(p) - 1].InMean)
                    reported.push_back(p);
            if (reported.empty()) {
                std::fprintf(stderr, "vexolin-batch: %s: no pass of the trial is taken into the mean\n",
                             shown(*options.FromTrial).c_str());
                return 1;
            }
        } else {
            const int pass = options.Pass.value_or(trial.CurrentPass);
            if (pass < 1 || pass > passes)
                return usageError("--pass " + std::to_string(pass) + ": the trial has " + std::to_string(passes) +
                                  (passes == 1 ? " pass" : " passes"));
            reported.push_back(pass);
        }
        vex::checkCardFiles(trial, [&](int done, int all) {
            progress.update(
                [&] { return "checking the card files " + std::to_string(done) + "/" + std::to_string(all); });
            return false;
        });
        progress.clear();
        for (const vex::LinePass &pass : trial.Passes)
            for (const vex::CardRecord &card : pass.Cards.records())
                if (const std::string warning = vex::cardFileWarning(card); !warning.empty())
                    std::fprintf(stderr, "vexolin-batch: %s: warning: %s\n", shown(card.FilePath).c_str(),
                                 onOneLine(warning).c_str());
        settings = vex::resolveTrialSettings(options, trial, reported, storedPositions);
        // One pass is reported as a line of cards; the mean keeps its passes.
        if (!options.MeanOfPasses)
            cards = std::move(trial.Passes[static_cast<std::size_t>(reported.front()) - 1].Cards);
        for (const int p : reported) {
            const vex::CardList &held =
                options.MeanOfPasses ? trial.Passes[static_cast<std::size_t>(p) - 1].Cards : cards;
            for (int k = 1; k <= held.count(); ++k) {
                results.push_back(storedResult(held[k], k, options.MeanOfPasses ? p : 0));
                if (const std::string dense = vex::denseCardWarning(held[k], settings.DenseCoverage); !dense.empty())
                    std::fprintf(stderr, "vexolin-batch: %s: warning: %s\n", shown(held[k].FilePath).c_str(),
                                 onOneLine(dense).c_str());
                if (!options.Json)
                    printCard(results.back());
            }
        }
    } else {
        settings = vex::resolveBatchSettings(options, preferences, module, storedPositions);
    }

    // Folders stand for their cards; one without any is reported in its place.
    const std::vector<vex::BatchEntry> entries =
        vex::batchEntries(options.Cards, settings.Intake, preferences.NaturalOrder);
    std::vector<std::string> imagePaths;
    std::vector<std::pair<std::size_t, std::string>> folderProblems; // before card n (0-based)
    for (const vex::BatchEntry &entry : entries) {
        const std::string path = std::filesystem::absolute(entry.Path).string();
        if (entry.Problem.empty())
            imagePaths.push_back(path);
        else
            folderProblems.emplace_back(imagePaths.size(), shown(path) + ": " + entry.Problem);
    }
    const std::size_t total = imagePaths.size();
    // Cards that would share a log name get logs of their own.
    const std::vector<std::string> logPaths = vex::scanLogPaths(imagePaths);
    if (const vex::Status clash = vex::batchOutputClash(
            options, imagePaths, settings.Log ? logPaths : std::vector<std::string>(), trial, cards);
        !clash.ok())
        return usageError(clash.reason());
    std::vector<std::string> logOfCard{std::string()}; // by card index, from 1
    cards.records().reserve(total);
    logOfCard.reserve(total + 1);
    results.reserve(results.size() + total);
    std::string stainTable = vex::stainTableHeader();

    // The workers write no log: the main thread writes each in card order,
    // so that cards sharing a log (one file named twice) add to it in that
    // order, as a run of one job does.
    vex::AnalysisSettings workerSettings = settings;
    workerSettings.Log = false;
    // Qt's allocation limit is one for the whole process and the picture
    // readers raise it on their first read; raised here, before there is
    // more than one thread, they only ever read it.
    constexpr int NeededMegabytes = static_cast<int>(vex::BmpMaxPixels >> 20) * 8;
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < NeededMegabytes)
        QImageReader::setAllocationLimit(NeededMegabytes);
    const auto analyse = [&](std::size_t n, std::atomic<int> &share) {
        AnalysedCard a;
        const std::filesystem::path path = imagePaths[n];
        const std::string title = path.filename().string();
        const std::string folder = path.parent_path().string() + "/";
        // Each worker opens its pictures with readers of its own.
        const vex::OpenedImage opened = vex::openCardImage(title, folder, workerSettings.Intake);
        if (!opened.ok()) {
            a.Said.push_back(shown(path.string()) + ": " + opened.reason());
            return a;
        }
        for (const std::string &warning : opened->Warnings)
            a.Said.push_back(shown(path.string()) + ": warning: " + warning);
        const vex::IndexedImage &image = opened->Decoded->Image;
        auto card = std::make_unique<vex::CardRecord>(
            vex::newCardRecord(title, folder, image.Width, image.Height, workerSettings.Resolution));
        vex::noteDecodedFacts(*card, opened->Decoded);
        // Noted of the bytes analysed: the saved trial tells when the file changes.
        if (options.SaveTrial)
            if (const vex::Status noted = vex::noteCardFile(*card, opened->Decoded); !noted.ok())
                a.Said.push_back(shown(path.string()) + ": warning: " + onOneLine(noted.reason()) +
                                 "; the trial cannot tell when it changes");

        // Half for the colour pass, half for the stain scan.
        vex::BatchProgress callbacks;
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
        thread_local vex::ForegroundPixelList spare;
        card->ForegroundPixels = std::move(spare);
        a.Figures = vex::analyseCard(*card, image, workerSettings, callbacks);
        // The stain pixels are done with; a long run keeps only the results.
        spare = std::exchange(card->ForegroundPixels, vex::ForegroundPixelList());
        spare.clear();
        if (options.Json && a.Figures.Figures.ok()) {
            vex::BatchCardResult r;
            r.Card = card.get();
            r.Figures = std::move(a.Figures);
            a.Json = vex::batchCardJson(r, workerSettings.Bootstrap);
            a.Figures = std::move(r.Figures);
        }
        a.Card = std::move(card);
        return a;
    };
    const std::size_t cores = std::max(1U, std::thread::hardware_concurrency());
    const std::size_t wanted = options.Jobs ? static_cast<std::size_t>(*options.Jobs) : cores;
    const int jobs = static_cast<int>(std::min(wanted, total));
    const Clock::time_point started = Clock::now();
    CardWorkers workers(total, jobs, analyse);
    if (workers.working() < static_cast<std::size_t>(jobs))
        std::fprintf(stderr, "vexolin-batch: warning: the system gave %zu of the %d threads asked for; %s\n",
                     workers.working(), jobs,
                     workers.working() > 0 ? "the cards are analysed by fewer" : "the cards are analysed one by one");
    const auto progressText = [&] {
        return vex::batchProgressText(workers.finished(), total, workers.underWay(),
                                      std::chrono::duration<double>(Clock::now() - started).count());
    };
    const bool stdoutIsTerminal = isatty(STDOUT_FILENO) == 1;
    const auto say = [&](const std::string &message) {
        progress.clear();
        std::fprintf(stderr, "vexolin-batch: %s\n", onOneLine(message).c_str());
    };
    // The cards' part of the JSON document, in card order.
    vex::OutputSpool cardTexts;
    std::size_t problem = 0;
    for (std::size_t n = 0; n <= total; ++n) {
        for (; problem < folderProblems.size() && folderProblems[problem].first == n; ++problem) {
            say(folderProblems[problem].second);
            status = 1;
        }
        if (n == total)
            break;
        const std::string path = shown(imagePaths[n]);
        AnalysedCard analysed;
        try {
            try {
                analysed = workers.take(n, [&] { progress.update(progressText); });
            } catch (const std::bad_alloc &) {
                // What the other workers held then may be free now: the
                // card is tried once more, here, before it is given up.
                std::atomic<int> share{0};
                analysed = analyse(n, share);
            }
        } catch (...) {
            // A card that cannot get its memory is that card's failure; the
            // others go on.
            say(path + ": the card cannot be analysed: " + failureText(std::current_exception()));
            status = 1;
            continue;
        }
        for (const std::string &said : analysed.Said)
            say(said);
        if (!analysed.Card) {
            status = 1;
            continue;
        }
        // Memory may run out here too, while the workers hold theirs: the card is
        // left out and the run goes on.  The lists it joins have their room already.
        try {
            vex::CardRecord &card = *analysed.Card;
            if (settings.Log && logPaths[n] != vex::scanLogPath(imagePaths[n]))
                say(vex::sharedLogMessage(vex::scanLogPath(imagePaths[n]), logPaths[n]));
            vex::BatchCardResult result;
            result.Figures = std::move(analysed.Figures);
            result.Card = &card;
            // As the analysis itself does: a card whose figures are no numbers has no log.
            if (settings.Log && result.Figures.Figures.ok())
                result.Figures.Log =
                    vex::writeScanLog(vex::scanLogInputsFor(card, settings, logPaths[n]), settings.Append);
            if (card.RecordedResolution != 0 && card.RecordedResolution != card.Resolution)
                say(path + ": warning: the file records " + std::to_string(card.RecordedResolution) +
                    " dpi; the card is analysed at " + std::to_string(card.Resolution) + " dpi");
            if (const std::string dense = vex::denseCardWarning(card, settings.DenseCoverage); !dense.empty())
                say(path + ": warning: " + dense);
            if (!result.Figures.Figures.ok()) {
                say(path + ": the card is left out: " + result.Figures.Figures.reason());
                status = 1;
                continue;
            }
            if (!result.Figures.Log.ok()) {
                say(result.Figures.Log.reason());
                status = 1;
            }

            if (!options.Json) {
                if (stdoutIsTerminal)
                    progress.clear();
                printCard(result);
            }
            if (options.Stains)
                stainTable += vex::stainTableRows(card, result.Figures.Stains, settings.Spread);
            result.Figures.Stains = {};
            if (options.Json) {
                if (!results.empty())
                    cardTexts.add(",");
                cardTexts.add(
                    std::string_view(analysed.Json.constData(), static_cast<std::size_t>(analysed.Json.size())));
            }
            result.Index = cards.add(std::move(card));
            logOfCard.push_back(logPaths[n]);
            results.push_back(std::move(result));
        } catch (const std::bad_alloc &) {
            say(path + ": the card cannot be analysed: not enough memory");
            status = 1;
        }
        progress.update(progressText);
    }
    // The swath analysis of a line of thousands of cards takes a while of its own.
    if (total > 0)
        progress.show(std::to_string(total) + "/" + std::to_string(total) + " cards, analysing the line");
    // The records have found their places: point the results at them.
    for (vex::BatchCardResult &r : results)
        r.Card = r.Pass > 0 ? &trial.Passes[static_cast<std::size_t>(r.Pass) - 1].Cards[r.Index] : &cards[r.Index];
    vex::PassMean mean;
    const vex::LineResults line = [&] {
        if (!options.MeanOfPasses)
            return vex::analyseLine(cards, settings);
        // From here on the points of the mean stand for the line of cards,
        // as the window shows them.
        mean = vex::meanOfPasses(trial.Passes, {}, settings);
        cards = mean.Points;
        settings.Spray = mean.Spray;
        return mean.Line;
    }();
    progress.end();
    if (const vex::Status figures = vex::checkLineFigures(line); !figures.ok()) {
        // Nothing is written that would hold a number that is none.
        std::fprintf(stderr, "vexolin-batch: nothing of the line is written: %s\n",
                     onOneLine(figures.reason()).c_str());
        return 1;
    }
    if (options.Results) {
        const vex::ResultsInputs in = vex::lineResultsInputs(cards, line, settings);
        const std::string &path = *options.Results;
        const vex::Status written =
            vex::writeWholeFile(path, vex::wantsCsv(path) ? vex::resultsCsv(in) : vex::resultsTxt(in));
        if (!written.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", shown(path).c_str(),
                         onOneLine(vex::resultsWriteError(written.reason())).c_str());
            status = 1;
        } else if (const vex::Status logs = vex::appendRangeSections(cards, line, settings, logOfCard); !logs.ok()) {
            // As the program's Write Results does: the range goes into the logs too.
            std::fprintf(stderr, "vexolin-batch: %s\n", onOneLine(logs.reason()).c_str());
            status = 1;
        }
    }
    if (options.Stains) {
        const std::string &path = *options.Stains;
        if (const vex::Status written = vex::writeWholeFile(path, stainTable); !written.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", shown(path).c_str(), onOneLine(written.reason()).c_str());
            status = 1;
        }
    }
    if (options.Report) {
        const std::string &path = *options.Report;
        const vex::Status written = vex::writeReportPdf(path, vex::reportInputsFor(cards, line, settings));
        if (!written.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", shown(path).c_str(),
                         onOneLine(vex::reportErrorMessage(written.reason())).c_str());
            status = 1;
        }
    }
    if (options.SaveTrial) {
        if (options.FromTrial) {
            if (!options.MeanOfPasses)
                trial.Passes[static_cast<std::size_t>(reported.front()) - 1].Cards = cards;
        } else {
            vex::LinePass pass{vex::defaultPassName(1), {}, settings.Spray, true, false};
            for (vex::CardRecord &card : cards.records())
                pass.Cards.add(vex::storedCard(card));
            trial.Passes = {std::move(pass)};
            trial.NaturalOrder = preferences.NaturalOrder;
        }
        trial.Settings = vex::trialSettings(settings);
        if (const vex::Status saved = vex::saveTrial(*options.SaveTrial, trial); !saved.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", shown(*options.SaveTrial).c_str(),
                         onOneLine(saved.reason()).c_str());
            status = 1;
        }
    }
    if (options.Json) {
        // The mean of passes has no one line of cards to resample.
        vex::LineIntervals intervals;
        if (settings.Bootstrap > 0 && !options.MeanOfPasses)
            intervals = vex::lineIntervals(cards, line, settings, settings.Bootstrap, vex::BootstrapSeed,
                                           static_cast<int>(std::min<std::size_t>(wanted, 64)));
        const vex::BatchJsonFrame frame =
            vex::batchJsonFrame(results, &line, &settings, options.MeanOfPasses ? &mean : nullptr, &intervals);
        const auto put = [](const QByteArray &text) {
            std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
        };
        put(frame.Head);
        if (options.FromTrial) {
            // Stored cards are made into text one at a time, as they go out.
            for (std::size_t i = 0; i < results.size(); ++i)
                put((i > 0 ? QByteArray(",") : QByteArray()) + vex::batchCardJson(results[i], settings.Bootstrap));
        } else if (const vex::Status copied = cardTexts.copyTo(stdout); !copied.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s\n", onOneLine(copied.reason()).c_str());
            status = 1;
        }
        put(frame.Tail);
    } else if (results.size() >= 2) {
        std::printf("line: %zu cards, VMD %s um, %s drops/cm2, %s nL/cm2", results.size(),
                    vex::formatFixed(line.All.VMD, 1).c_str(), vex::formatFixed(line.All.DropDensity, 2).c_str(),
                    vex::formatFixed(line.All.VolumeDensity, 3).c_str());
        if (line.HasSwath && line.Deposit.SelectedWidth > 0)
            std::printf(
                ", swath %s (COV %s)",
                vex::formatFixed(line.Deposit.SelectedWidth * static_cast<double>(line.Interval), 1).c_str(),
                vex::formatFixed(line.Deposit.Widths[static_cast<std::size_t>(line.Deposit.SelectedWidth)].Cov, 3)
                    .c_str());
        std::printf("\n");
    }
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
