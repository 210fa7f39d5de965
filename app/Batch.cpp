#include "app/Batch.h"

#include "analysis/DropStatistics.h"
#include "app/Preferences.h"
#include "line/CardPositions.h"
#include "line/SettingsTable.h"
#include "line/SprayInfoRules.h"
#include "model/CardGeometry.h"
#include "text/NumberText.h"
#include "text/SameFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <numeric>

#include <sys/stat.h>

namespace vex {

namespace {

// The spray information of the run: the entries given over `spray`, and
// the positions given, else those typed in it, else `storedPositions`.
SprayInfo lineSpray(const BatchOptions &options, SprayInfo spray,
                    const std::pair<std::string, std::string> &storedPositions)
{
    for (const auto &[entry, value] : options.Info)
        spray[entry] = value;
    std::pair<std::string, std::string> positions = storedPositions;
    // Positions typed as spray information count as given, like --positions.
    if (!spray[Sample_Position1].empty())
        positions.first = spray[Sample_Position1];
    if (!spray[Sample_Interval].empty())
        positions.second = spray[Sample_Interval];
    if (options.Positions)
        positions = *options.Positions;
    spray[Sample_Position1] = positions.first;
    spray[Sample_Interval] = positions.second;
    if (options.Swath)
        spray[AC_Swath] = *options.Swath;
    return spray;
}

} // namespace

namespace {

// What the line options say over the values the run starts from.
void applyLineOptions(const BatchOptions &options, AnalysisSettings &s)
{
    for (const auto &[name, value] : options.Settings)
        findSetting(name)->setUserValue(s, value);
    s.Bootstrap = options.Bootstrap;
    if (options.Range) {
        s.HasRange = true;
        s.RangeLow = options.Range->first;
        s.RangeHigh = options.Range->second;
    }
    if (options.DensityTarget) {
        s.DensityTargetLow = options.DensityTarget->Low;
        s.DensityTargetHigh = options.DensityTarget->High;
    }
    if (options.Quality)
        s.Quality = *options.Quality;
}

} // namespace

AnalysisSettings resolveBatchSettings(const BatchOptions &options, const Preferences &preferences,
                                      const ModuleState &module,
                                      const std::pair<std::string, std::string> &storedPositions)
{
    AnalysisSettings s = preferences.Analysis;
    s.Spread = options.Spread.value_or(module.SpreadFactor);
    s.Metric = module.Metric;
    s.Scan.HueLow = options.HueLow;
    s.Scan.HueHigh = options.HueHigh;
    s.Scan.KeepStains = options.Stains.has_value();
    s.Spray = lineSpray(options, preferences.Spray, storedPositions);
    applyLineOptions(options, s);
    // A resolution typed for the run wins over what the files record.
    if (options.setting("DefaultRes"))
        s.ResolutionFromFile = false;
    return s;
}

AnalysisSettings resolveTrialSettings(const BatchOptions &options, Trial &trial, const std::vector<int> &passes,
                                      const std::pair<std::string, std::string> &storedPositions)
{
    AnalysisSettings s = trial.Settings;
    s.Log = false;
    // The parser lets only the line options through with a trial.
    applyLineOptions(options, s);
    for (const int p : passes) {
        if (p < 1 || p > static_cast<int>(trial.Passes.size()))
            continue;
        SprayInfo &spray = trial.Passes[static_cast<std::size_t>(p) - 1].Spray;
        spray = lineSpray(options, spray, storedPositions);
        if (p == passes.front())
            s.Spray = spray;
    }
    return s;
}

std::string cardFileWarning(const CardRecord &card)
{
    switch (card.FileState) {
    case CardFileState::Missing:
        return "the file is missing; its stored figures are used";
    case CardFileState::Changed:
        return "the file has changed since the trial was saved; its stored figures are used";
    case CardFileState::Present:
        break;
    }
    return {};
}

Status batchOutputClash(const BatchOptions &options, const std::vector<std::string> &cards,
                        const std::vector<std::string> &logs, const Trial &trial, const CardList &held)
{
    // The files an output must not take, what each is and its path: those
    // read, the logs written and the outputs before it.
    std::vector<std::pair<std::string, std::string>> taken;
    for (const std::string &card : cards)
        taken.emplace_back("the card", card);
    const auto storedCards = [&](const CardList &list) {
        for (const CardRecord &card : list.records())
            taken.emplace_back("the trial's card", card.FilePath);
    };
    storedCards(held);
    for (const LinePass &pass : trial.Passes)
        storedCards(pass.Cards);
    if (options.FromTrial)
        taken.emplace_back("--trial", *options.FromTrial);
    // (Cards that share a log add to it in turn.)
    for (const std::string &log : logs)
        taken.emplace_back("the scan log", log);
    for (const auto &[name, path] :
         {std::pair("--results", &options.Results), std::pair("--stains", &options.Stains),
          std::pair("--report", &options.Report), std::pair("--save-trial", &options.SaveTrial)})
        if (path->has_value()) {
            // A terminal, a device or a pipe is written into, not replaced:
            // nothing of what it was is lost.
            struct stat kind {};
            if (::stat(path->value().c_str(), &kind) == 0 && !S_ISREG(kind.st_mode) && !S_ISDIR(kind.st_mode))
                continue;
            for (const auto &[what, other] : taken)
                if (sameFile(**path, other))
                    return Status::failure(std::string(name) + " " + **path + " is the same file as " + what + " " +
                                           other + "; nothing is written");
            taken.emplace_back(name, **path);
        }
    return {};
}

bool wantsCsv(const std::string &path)
{
    return resultsAsCsv(path, 1);
}

Result<std::vector<std::string>> cardFilesOf(const std::string &folder, const IntakeOptions &intake, bool natural)
{
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entry(folder, error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        // A broken link or one the system cannot follow is no card file.
        std::error_code kind;
        if (isCardFileName(name, intake) && entry->is_regular_file(kind))
            names.push_back(name);
    }
    if (error)
        return Status::failure(error.message());
    std::sort(names.begin(), names.end(),
              [natural](const std::string &a, const std::string &b) { return titleBefore(a, b, natural); });
    std::vector<std::string> files;
    for (const std::string &name : names)
        files.push_back((std::filesystem::path(folder) / name).string());
    return files;
}

std::vector<BatchEntry> batchEntries(const std::vector<std::string> &arguments, const IntakeOptions &intake,
                                     bool natural)
{
    std::vector<BatchEntry> entries;
    for (const std::string &argument : arguments) {
        std::error_code error;
        if (!std::filesystem::is_directory(argument, error)) {
            entries.push_back({argument, {}});
            continue;
        }
        const Result<std::vector<std::string>> folder = cardFilesOf(argument, intake, natural);
        if (!folder.ok())
            entries.push_back({argument, "the folder cannot be read: " + folder.reason()});
        else if (folder->empty())
            entries.push_back({argument, "the folder holds no card file"});
        for (const std::string &file : *folder)
            entries.push_back({file, {}});
    }
    return entries;
}

namespace {

std::string duration(double seconds)
{
    const auto s = static_cast<long long>(std::ceil(seconds));
    if (s < 60)
        return std::to_string(s) + " s";
    const auto two = [](long long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    if (s < 3600)
        return std::to_string(s / 60) + " min " + two(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + two(s / 60 % 60) + " min";
}

} // namespace

std::string batchProgressText(std::size_t done, std::size_t total, double underWay, double seconds)
{
    std::string text = std::to_string(done) + "/" + std::to_string(total) + " cards";
    const double finished = static_cast<double>(done) + underWay;
    // Less than a second or a tenth of a card says too little of the pace.
    if (seconds < 1.0 || finished < 0.1)
        return text;
    const double rate = finished / seconds;
    // Large cards take longer than a second each.
    if (rate >= 1.0)
        text += ", " + formatFixed(rate, rate < 10.0 ? 2 : 1) + " cards/s";
    else
        text += ", " + formatFixed(1.0 / rate, 1) + " s per card";
    if (done < total)
        text += ", " + duration(std::max(static_cast<double>(total) - finished, 0.0) / rate) + " left";
    return text;
}

} // namespace vex
