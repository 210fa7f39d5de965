#include "app/batch/BatchOutputs.h"

#include "analysis/ScanLog.h"
#include "app/TrialState.h"
#include "app/batch/BatchText.h"
#include "line/LineBootstrap.h"
#include "line/ResultsFile.h"
#include "line/StainTable.h"
#include "report/Report.h"
#include "report/qt/ReportPdf.h"
#include "text/NumberText.h"
#include "text/WholeFile.h"
#include "trial/TrialFile.h"

#include <algorithm>
#include <cstdio>

namespace vex::batch {

void printCard(const BatchCardResult &result)
{
    const CardRecord &c = *result.Card;
    const bool drops = c.Stains.size() > 1;
    std::printf("%s: %d drops, %d rejected, VMD %s um, %s drops/cm2, %s nL/cm2\n", shown(c.FilePath).c_str(),
                result.Figures.Accepted, c.RejectedCount, formatFixed(drops ? c.VMD : 0.0, 1).c_str(),
                formatFixed(drops ? c.DropDensity : 0.0, 2).c_str(),
                formatFixed(drops ? c.VolumeDensity : 0.0, 3).c_str());
}

namespace {

bool failed(const std::string &path, const std::string &reason)
{
    std::fprintf(stderr, "vexolin-batch: %s: %s\n", shown(path).c_str(), onOneLine(reason).c_str());
    return false;
}

bool writeResults(const std::string &path, const BatchRun &run, const LineResults &line)
{
    const ResultsInputs in = lineResultsInputs(run.Cards, line, run.Settings);
    const Status written = writeWholeFile(path, wantsCsv(path) ? resultsCsv(in) : resultsTxt(in));
    if (!written.ok())
        return failed(path, resultsWriteError(written.reason()));
    if (const Status logs = appendRangeSections(run.Cards, line, run.Settings, run.LogOfCard); !logs.ok()) {
        // As the program's Write Results does: the range goes into the logs too.
        std::fprintf(stderr, "vexolin-batch: %s\n", onOneLine(logs.reason()).c_str());
        return false;
    }
    return true;
}

bool saveRunTrial(const BatchOptions &options, BatchRun &run)
{
    Trial &trial = run.Trial;
    if (options.FromTrial) {
        if (!options.MeanOfPasses)
            trial.Passes[static_cast<std::size_t>(run.Reported.front()) - 1].Cards = run.Cards;
    } else {
        LinePass pass{defaultPassName(1), {}, run.Settings.Spray, true, false};
        for (CardRecord &card : run.Cards.records())
            pass.Cards.add(storedCard(card));
        trial.Passes = {std::move(pass)};
    }
    trial.Settings = trialSettings(run.Settings);
    if (const Status saved = saveTrial(*options.SaveTrial, trial); !saved.ok())
        return failed(*options.SaveTrial, saved.reason());
    return true;
}

bool writeJson(const BatchOptions &options, BatchRun &run, const LineResults &line, std::size_t threads)
{
    const AnalysisSettings &settings = run.Settings;
    // The mean of passes has no one line of cards to resample.
    LineIntervals intervals;
    if (settings.Bootstrap > 0 && !options.MeanOfPasses)
        intervals = lineIntervals(run.Cards, line, settings, settings.Bootstrap, BootstrapSeed,
                                  static_cast<int>(std::min<std::size_t>(threads, 64)));
    const BatchJsonFrame frame =
        batchJsonFrame(run.Results, &line, &settings, options.MeanOfPasses ? &run.Mean : nullptr, &intervals);
    const auto put = [](const QByteArray &text) {
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
    };
    bool fine = true;
    put(frame.Head);
    if (options.FromTrial) {
        // Stored cards are made into text one at a time, as they go out.
        for (std::size_t i = 0; i < run.Results.size(); ++i)
            put((i > 0 ? QByteArray(",") : QByteArray()) +
                batchCardJson(run.Results[i], settings.Bootstrap, &settings));
    } else if (const Status copied = run.CardTexts.copyTo(stdout); !copied.ok()) {
        std::fprintf(stderr, "vexolin-batch: %s\n", onOneLine(copied.reason()).c_str());
        fine = false;
    }
    put(frame.Tail);
    return fine;
}

void printLine(const std::size_t cards, const LineResults &line)
{
    std::printf("line: %zu cards, VMD %s um, %s drops/cm2, %s nL/cm2", cards, formatFixed(line.All.VMD, 1).c_str(),
                formatFixed(line.All.DropDensity, 2).c_str(), formatFixed(line.All.VolumeDensity, 3).c_str());
    if (line.HasSwath && line.Deposit.SelectedWidth > 0)
        std::printf(
            ", swath %s (COV %s)",
            formatFixed(line.Deposit.SelectedWidth * static_cast<double>(line.Interval), 1).c_str(),
            formatFixed(line.Deposit.Widths[static_cast<std::size_t>(line.Deposit.SelectedWidth)].Cov, 3).c_str());
    std::printf("\n");
}

} // namespace

bool writeOutputs(const BatchOptions &options, BatchRun &run, const LineResults &line, std::size_t threads)
{
    bool fine = true;
    if (options.Results)
        fine = writeResults(*options.Results, run, line) && fine;
    if (options.Stains)
        if (const Status written = writeWholeFile(*options.Stains, run.StainTable); !written.ok())
            fine = failed(*options.Stains, written.reason());
    if (options.Report) {
        const Status written = writeReportPdf(*options.Report, reportInputsFor(run.Cards, line, run.Settings));
        if (!written.ok())
            fine = failed(*options.Report, reportErrorMessage(written.reason()));
    }
    if (options.SaveTrial)
        fine = saveRunTrial(options, run) && fine;
    if (options.Json)
        fine = writeJson(options, run, line, threads) && fine;
    else if (run.Results.size() >= 2)
        printLine(run.Results.size(), line);
    return fine;
}

} // namespace vex::batch
