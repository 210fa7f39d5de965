// vexolin-batch: the analysis of the desktop program without its windows,
// for scripts.  See batchUsage() for the command line.

#include "analysis/ScanLog.h"
#include "app/Batch.h"
#include "app/TrialState.h"
#include "app/qt/BatchJson.h"
#include "app/qt/QtSettingsStore.h"
#include "intake/CardLoading.h"
#include "intake/qt/CardOpening.h"
#include "line/CardPositions.h"
#include "line/PassMean.h"
#include "line/StainTable.h"
#include "report/qt/ReportPdf.h"
#include "text/NumberText.h"
#include "text/WholeFile.h"
#include "trial/CardFileCheck.h"
#include "trial/TrialFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string onOneLine(std::string message)
{
    for (char &c : message)
        if (c == '\r')
            c = ' ';
    return message;
}

// A progress line on standard error when it is a terminal, redrawn a few
// times a second; nothing at all when the output goes to a file.
class ProgressLine {
public:
    ProgressLine() : enabled_(isatty(STDERR_FILENO) == 1) {}
    void show(const std::string &text, bool force = false)
    {
        if (!enabled_)
            return;
        const auto now = Clock::now();
        if (!force && now - last_ < std::chrono::milliseconds(200))
            return;
        last_ = now;
        std::fprintf(stderr, "\r\033[K%s", text.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void clear()
    {
        if (enabled_ && shown_)
            std::fprintf(stderr, "\r\033[K");
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
    Clock::time_point last_{};
};

void printCard(const vex::BatchCardResult &result)
{
    const vex::CardRecord &c = *result.Card;
    const bool drops = c.Stains.size() > 1;
    std::printf("%s: %d drops, %d rejected, VMD %s um, %s drops/cm2, %s nL/cm2\n", c.FilePath.c_str(),
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

int usageError(const std::string &message)
{
    std::fprintf(stderr, "vexolin-batch: %s\n%s", message.c_str(), vex::batchUsage().c_str());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
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
        std::fprintf(stderr, "vexolin-batch: %s\n", store.notice().c_str());
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
    ProgressLine progress;
    // The trial reported, or the run as a trial to save.
    vex::Trial trial;
    std::vector<int> reported; // the trial's passes reported, 1-based
    if (options.FromTrial) {
        vex::OpenedTrial opened = vex::openTrial(*options.FromTrial);
        if (!opened.Result.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", options.FromTrial->c_str(),
                         onOneLine(opened.Result.reason()).c_str());
            return 1;
        }
        trial = std::move(opened.Value);
        const int passes = static_cast<int>(trial.Passes.size());
        if (options.MeanOfPasses) {
            for (int p = 1; p <= passes; ++p)
                if (trial.Passes[static_cast<std::size_t>(p) - 1].InMean)
                    reported.push_back(p);
            if (reported.empty()) {
                std::fprintf(stderr, "vexolin-batch: %s: no pass of the trial is taken into the mean\n",
                             options.FromTrial->c_str());
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
            progress.show("checking the card files " + std::to_string(done) + "/" + std::to_string(all));
            return false;
        });
        progress.clear();
        for (const vex::LinePass &pass : trial.Passes)
            for (const vex::CardRecord &card : pass.Cards.records())
                if (const std::string warning = vex::cardFileWarning(card); !warning.empty())
                    std::fprintf(stderr, "vexolin-batch: %s: warning: %s\n", card.FilePath.c_str(), warning.c_str());
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
                    std::fprintf(stderr, "vexolin-batch: %s: warning: %s\n", held[k].FilePath.c_str(), dense.c_str());
                if (!options.Json)
                    printCard(results.back());
            }
        }
    } else {
        settings = vex::resolveBatchSettings(options, preferences, module, storedPositions);
    }

    const std::size_t total = options.Cards.size();
    std::vector<std::string> imagePaths;
    for (const std::string &card : options.Cards)
        imagePaths.push_back(std::filesystem::absolute(card).string());
    // Cards that would share a log name get logs of their own.
    const std::vector<std::string> logPaths = vex::scanLogPaths(imagePaths);
    std::vector<std::string> logOfCard{std::string()}; // by card index, from 1
    std::string stainTable = vex::stainTableHeader();
    for (std::size_t n = 0; n < total; ++n) {
        const std::filesystem::path path = imagePaths[n];
        const std::string title = path.filename().string();
        const std::string folder = path.parent_path().string() + "/";
        const std::string prefix = "[" + std::to_string(n + 1) + "/" + std::to_string(total) + "] " + title + ": ";
        progress.show(prefix + "reading", true);
        const vex::OpenedImage opened = vex::openCardImage(title, folder, settings.Intake);
        if (!opened.ok()) {
            progress.clear();
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", path.string().c_str(), onOneLine(opened.reason()).c_str());
            status = 1;
            continue;
        }
        for (const std::string &warning : opened.Warnings)
            std::fprintf(stderr, "vexolin-batch: %s: warning: %s\n", path.string().c_str(), warning.c_str());
        const vex::IndexedImage &image = opened.Decoded.Image;
        auto card = std::make_unique<vex::CardRecord>(
            vex::newCardRecord(title, folder, image.Width, image.Height, settings.Resolution));
        vex::noteDecodedFacts(*card, opened.Decoded);
        // Noted while the file is the one analysed: the saved trial tells when it changes.
        if (options.SaveTrial)
            if (const vex::Status noted = vex::noteCardFile(*card); !noted.ok())
                std::fprintf(stderr, "vexolin-batch: %s: warning: %s; the trial cannot tell when it changes\n",
                             path.string().c_str(), onOneLine(noted.reason()).c_str());

        vex::BatchProgress callbacks;
        const auto rows = std::max(image.Height, 1);
        callbacks.Pass.Progress = [&](std::int32_t row) {
            progress.show(prefix + "colour pass " + std::to_string(100LL * row / rows) + " %");
        };
        callbacks.Scan.Progress = [&](std::uint64_t at) {
            const auto all = std::max<std::uint64_t>(card->ForegroundPixels.size() + 1, 1);
            progress.show(prefix + "stain scan " + std::to_string(100 * at / all) + " %");
        };
        if (settings.Log && logPaths[n] != vex::scanLogPath(imagePaths[n]))
            std::fprintf(stderr, "vexolin-batch: %s\n",
                         vex::sharedLogMessage(vex::scanLogPath(imagePaths[n]), logPaths[n]).c_str());
        vex::BatchCardResult result;
        result.Figures = vex::analyseCard(*card, image, settings, callbacks, logPaths[n]);
        result.Card = card.get();
        progress.clear();
        if (card->RecordedResolution != 0 && card->RecordedResolution != card->Resolution)
            std::fprintf(stderr,
                         "vexolin-batch: %s: warning: the file records %d dpi; the card is analysed at %d dpi\n",
                         path.string().c_str(), card->RecordedResolution, card->Resolution);
        if (const std::string dense = vex::denseCardWarning(*card, settings.DenseCoverage); !dense.empty())
            std::fprintf(stderr, "vexolin-batch: %s: warning: %s\n", path.string().c_str(), dense.c_str());
        if (!result.Figures.Figures.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s: the card is left out: %s\n", path.string().c_str(),
                         result.Figures.Figures.reason().c_str());
            status = 1;
            continue;
        }
        if (!result.Figures.Log.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s\n", result.Figures.Log.reason().c_str());
            status = 1;
        }

        if (!options.Json)
            printCard(result);
        if (options.Stains)
            stainTable += vex::stainTableRows(*card, result.Figures.Stains, settings.Spread);
        result.Figures.Stains = {};
        // The stain pixels are done with; a long run keeps only the results.
        card->ForegroundPixels = vex::ForegroundPixelList();
        result.Index = cards.add(std::move(*card));
        logOfCard.push_back(logPaths[n]);
        results.push_back(result);
    }
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
    if (const vex::Status figures = vex::checkLineFigures(line); !figures.ok()) {
        // Nothing is written that would hold a number that is none.
        std::fprintf(stderr, "vexolin-batch: nothing of the line is written: %s\n", figures.reason().c_str());
        return 1;
    }
    if (options.Results) {
        const vex::ResultsInputs in = vex::lineResultsInputs(cards, line, settings);
        const std::string &path = *options.Results;
        const vex::Status written =
            vex::writeWholeFile(path, vex::wantsCsv(path) ? vex::resultsCsv(in) : vex::resultsTxt(in));
        if (!written.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", path.c_str(),
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
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", path.c_str(), onOneLine(written.reason()).c_str());
            status = 1;
        }
    }
    if (options.Report) {
        const std::string &path = *options.Report;
        const vex::Status written = vex::writeReportPdf(path, vex::reportInputsFor(cards, line, settings));
        if (!written.ok()) {
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", path.c_str(),
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
            std::fprintf(stderr, "vexolin-batch: %s: %s\n", options.SaveTrial->c_str(),
                         onOneLine(saved.reason()).c_str());
            status = 1;
        }
    }
    if (options.Json) {
        // The mean of passes has no one line of cards to resample.
        vex::LineIntervals intervals;
        if (settings.Bootstrap > 0 && !options.MeanOfPasses)
            intervals = vex::lineIntervals(cards, line, settings, settings.Bootstrap);
        const QByteArray json =
            vex::batchJson(results, &line, &settings, options.MeanOfPasses ? &mean : nullptr, &intervals);
        std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), stdout);
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
}
