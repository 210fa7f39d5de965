#include "app/batch/BatchInputs.h"

#include "analysis/ScanLog.h"
#include "app/batch/BatchOutputs.h"
#include "app/batch/BatchText.h"
#include "trial/CardFileCheck.h"
#include "trial/TrialFile.h"

#include <cstdio>
#include <filesystem>

namespace vex::batch {
namespace {

// A stored card with the figures of its scan as they were saved, so that
// it reports as it did when it was analysed.
BatchCardResult storedResult(const CardRecord &card, int index, int pass)
{
    BatchCardResult r;
    r.Card = &card;
    r.Index = index;
    r.Pass = pass;
    static_cast<ScanSummary &>(r.Figures) = card.Summary;
    r.Figures.SplitStains = card.SplitStains;
    r.Figures.SplitParts = card.SplitParts;
    return r;
}

void warnOf(const std::string &path, const std::string &warning)
{
    std::fprintf(stderr, "vexolin-batch: %s: warning: %s\n", shown(path).c_str(), onOneLine(warning).c_str());
}

} // namespace

std::optional<int> openTrialRun(const BatchOptions &options, const std::pair<std::string, std::string> &storedPositions,
                                ProgressLine &progress, BatchRun &run)
{
    Result<Trial> opened = openTrial(*options.FromTrial);
    if (!opened.ok()) {
        std::fprintf(stderr, "vexolin-batch: %s: %s\n", shown(*options.FromTrial).c_str(),
                     onOneLine(opened.reason()).c_str());
        return 1;
    }
    Trial &trial = run.Trial;
    trial = std::move(opened.value());
    const int passes = static_cast<int>(trial.Passes.size());
    if (options.MeanOfPasses) {
        for (int p = 1; p <= passes; ++p)
            if (trial.Passes[static_cast<std::size_t>(p) - 1].InMean)
                run.Reported.push_back(p);
        if (run.Reported.empty()) {
            std::fprintf(stderr, "vexolin-batch: %s: no pass of the trial is taken into the mean\n",
                         shown(*options.FromTrial).c_str());
            return 1;
        }
    } else {
        const int pass = options.Pass.value_or(trial.CurrentPass);
        if (pass < 1 || pass > passes)
            return usageError("--pass " + std::to_string(pass) + ": the trial has " + std::to_string(passes) +
                              (passes == 1 ? " pass" : " passes"));
        run.Reported.push_back(pass);
    }
    checkCardFiles(trial, [&](int done, int all) {
        progress.update([&] { return "checking the card files " + std::to_string(done) + "/" + std::to_string(all); });
        return false;
    });
    progress.clear();
    for (const LinePass &pass : trial.Passes)
        for (const CardRecord &card : pass.Cards.records())
            if (const std::string warning = cardFileWarning(card); !warning.empty())
                warnOf(card.FilePath, warning);
    run.Settings = resolveTrialSettings(options, trial, run.Reported, storedPositions);
    // One pass is reported as a line of cards; the mean keeps its passes.
    if (!options.MeanOfPasses)
        run.Cards = std::move(trial.Passes[static_cast<std::size_t>(run.Reported.front()) - 1].Cards);
    for (const int p : run.Reported) {
        const CardList &held = options.MeanOfPasses ? trial.Passes[static_cast<std::size_t>(p) - 1].Cards : run.Cards;
        for (int k = 1; k <= held.count(); ++k) {
            run.Results.push_back(storedResult(held[k], k, options.MeanOfPasses ? p : 0));
            if (const std::string dense = denseCardWarning(held[k], run.Settings.DenseCoverage); !dense.empty())
                warnOf(held[k].FilePath, dense);
            if (!options.Json)
                printCard(run.Results.back());
        }
    }
    return std::nullopt;
}

CardPaths cardPaths(const std::vector<std::string> &arguments, const IntakeOptions &intake, bool natural)
{
    CardPaths paths;
    for (const BatchEntry &entry : batchEntries(arguments, intake, natural)) {
        const std::string path = std::filesystem::absolute(entry.Path).string();
        if (entry.Problem.empty())
            paths.Images.push_back(path);
        else
            paths.FolderProblems.emplace_back(paths.Images.size(), shown(path) + ": " + entry.Problem);
    }
    paths.Logs = scanLogPaths(paths.Images);
    return paths;
}

} // namespace vex::batch
