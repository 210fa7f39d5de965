#include "app/Batch.h"

#include "analysis/DropStatistics.h"
#include "app/Preferences.h"
#include "line/CardPositions.h"
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

template <typename T>
bool parseInteger(const std::string &text, T low, T high, T &out)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    out = static_cast<T>(value);
    return true;
}

bool parseNumber(const std::string &text, double &out)
{
    const std::optional<double> v = vex::parseNumber(text);
    if (v)
        out = *v;
    return v.has_value();
}

BatchArguments error(std::string text)
{
    BatchArguments r;
    r.What = BatchArguments::Kind::Error;
    r.Error = std::move(text);
    return r;
}

// Options that change nothing but how a card image is scanned.
bool onlyChangesAScan(const std::string &name)
{
    for (const char *scan :
         {"--dpi", "--dpi-from-file", "--no-dpi-from-file", "--reduce-colours", "--no-reduce-colours", "--hue",
          "--invert", "--roundness", "--valid-hues", "--spread", "--no-dither", "--table-background",
          "--split-touching", "--no-split-touching", "--stains", "--log", "--no-log", "--append", "--no-append"})
        if (name == scan)
            return true;
    return false;
}

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

BatchArguments parseBatchArguments(const std::vector<std::string> &args)
{
    BatchArguments r;
    BatchOptions &o = r.Options;
    bool optionsEnded = false;
    std::string scanOption; // the first given, refused with --trial
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
            o.Cards.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            r.What = BatchArguments::Kind::Help;
            return r;
        }
        // Options with a value take it from the next argument or after '='.
        std::string name = a;
        std::optional<std::string> value;
        if (const auto eq = a.find('='); eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        auto takeValue = [&]() -> std::optional<std::string> {
            if (value)
                return value;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        const bool needsValue = name == "--dpi" || name == "--hue" || name == "--roundness" || name == "--valid-hues" ||
                                name == "--spread" || name == "--positions" || name == "--swath" || name == "--range" ||
                                name == "--results" || name == "--info" || name == "--report" || name == "--stains" ||
                                name == "--trial" || name == "--save-trial" || name == "--pass" ||
                                name == "--width-step" || name == "--bootstrap" || name == "--jobs";
        if (!needsValue && value)
            return error("option " + name + " takes no value");
        if (scanOption.empty() && onlyChangesAScan(name))
            scanOption = name;
        if (needsValue) {
            const std::optional<std::string> v = takeValue();
            if (!v)
                return error("option " + name + " needs a value");
            if (name == "--dpi") {
                std::int32_t dpi = 0;
                if (!parseInteger<std::int32_t>(*v, 1, MaxResolution, dpi))
                    return error("--dpi must be a whole number from 1 to " + std::to_string(MaxResolution));
                o.Dpi = dpi;
            } else if (name == "--hue") {
                const auto dash = v->find('-');
                int low = 0;
                int high = 0;
                if (dash == std::string::npos || !parseInteger(v->substr(0, dash), 0, 255, low) ||
                    !parseInteger(v->substr(dash + 1), 0, 255, high) || low > high)
                    return error("--hue must be LOW-HIGH with 0 <= LOW <= HIGH <= 255");
                o.HueLow = static_cast<std::uint8_t>(low);
                o.HueHigh = static_cast<std::uint8_t>(high);
            } else if (name == "--roundness" || name == "--valid-hues") {
                int n = 0;
                if (!parseInteger(*v, 0, 255, n))
                    return error(name + " must be a whole number from 0 to 255");
                (name == "--roundness" ? o.Roundness : o.ValidHues) = static_cast<std::uint8_t>(n);
            } else if (name == "--positions") {
                const auto comma = v->find(',');
                double first = 0.0;
                double spacing = 0.0;
                if (comma == std::string::npos || !parseNumber(v->substr(0, comma), first) ||
                    !parseNumber(v->substr(comma + 1), spacing) || !(spacing > 0.0) || !positionSound(first) ||
                    !spacingSound(spacing))
                    return error("--positions must be P1,I: card 1 position and a spacing above 0, each within "
                                 "a million units");
                if (const std::string problem = cardPositionsProblem(first, spacing); !problem.empty())
                    return error("--positions: " + problem);
                o.Positions = std::make_pair(v->substr(0, comma), v->substr(comma + 1));
            } else if (name == "--results") {
                if (v->empty())
                    return error("--results needs a file name");
                o.Results = *v;
            } else if (name == "--stains") {
                if (v->empty())
                    return error("--stains needs a file name");
                o.Stains = *v;
            } else if (name == "--report") {
                if (v->empty())
                    return error("--report needs a file name");
                o.Report = *v;
            } else if (name == "--trial" || name == "--save-trial") {
                if (v->empty())
                    return error(name + " needs a file name");
                (name == "--trial" ? o.FromTrial : o.SaveTrial) = *v;
            } else if (name == "--width-step") {
                double step = 0.0;
                if (!parseNumber(*v, step) || !(step >= 0.01 && step <= 1.0))
                    return error("--width-step must be a share of the card spacing from 0.01 to 1");
                o.WidthStep = step;
            } else if (name == "--bootstrap") {
                if (!parseInteger(*v, 0, 100000, o.Bootstrap))
                    return error("--bootstrap must be a whole number of replicates from 0 to 100000");
            } else if (name == "--jobs") {
                int jobs = 0;
                if (!parseInteger(*v, 1, MaxBatchJobs, jobs))
                    return error("--jobs must be a whole number from 1 to " + std::to_string(MaxBatchJobs));
                o.Jobs = jobs;
            } else if (name == "--pass") {
                int pass = 0;
                if (!parseInteger(*v, 1, std::numeric_limits<int>::max(), pass))
                    return error("--pass must be a whole number from 1");
                o.Pass = pass;
            } else if (name == "--info") {
                const auto eq = v->find('=');
                int entry = 0;
                for (int e = 1; e <= SprayInfoCount && eq != std::string::npos; ++e)
                    if (v->substr(0, eq) == sprayInfoKey(e))
                        entry = e;
                if (entry == 0)
                    return error("--info must be KEY=VALUE with KEY one of the spray information keys "
                                 "(AC_Type ... Comment)");
                if (const std::string problem = sprayValueProblem(entry, v->substr(eq + 1)); !problem.empty())
                    return error("--info " + problem);
                o.Info.emplace_back(entry, v->substr(eq + 1));
            } else if (name == "--swath") {
                double swath = 0.0;
                if (!parseNumber(*v, swath) || !(swath > 0.0))
                    return error("--swath must be a number above 0");
                o.Swath = *v;
            } else if (name == "--range") {
                // The low end may itself be negative only in theory; the
                // first '-' after the first character splits.
                const auto dash = v->find('-', 1);
                double low = 0.0;
                double high = 0.0;
                if (dash == std::string::npos || !parseNumber(v->substr(0, dash), low) ||
                    !parseNumber(v->substr(dash + 1), high) || low < 0.0 || high <= low)
                    return error("--range must be LOW-HIGH in micrometres with 0 <= LOW < HIGH");
                o.Range = std::make_pair(static_cast<float>(low), static_cast<float>(high));
            } else {
                std::array<double, 3> spread{};
                std::size_t start = 0;
                for (int k = 0; k < 3; ++k) {
                    const std::size_t comma = k < 2 ? v->find(',', start) : v->size();
                    if (comma == std::string::npos ||
                        !parseNumber(v->substr(start, comma - start), spread[static_cast<std::size_t>(k)]))
                        return error("--spread must be three numbers A,B,C");
                    start = comma + 1;
                }
                if (start != v->size() + 1)
                    return error("--spread must be three numbers A,B,C");
                for (std::size_t k = 0; k < 3; ++k)
                    if (!spreadCoefficientSound(k, spread[k]))
                        return error("--spread: A, B and C must lie within +/-1000, +/-100 and +/-1");
                o.Spread = spread;
            }
        } else if (name == "--invert") {
            o.Invert = true;
        } else if (name == "--no-dither") {
            o.NoDither = true;
        } else if (name == "--table-background") {
            o.TableBackground = true;
        } else if (name == "--log") {
            o.Log = true;
        } else if (name == "--no-log") {
            o.Log = false;
        } else if (name == "--reduce-colours") {
            o.ReduceColours = true;
        } else if (name == "--no-reduce-colours") {
            o.ReduceColours = false;
        } else if (name == "--dpi-from-file") {
            o.DpiFromFile = true;
        } else if (name == "--no-dpi-from-file") {
            o.DpiFromFile = false;
        } else if (name == "--append") {
            o.Append = true;
        } else if (name == "--no-append") {
            o.Append = false;
        } else if (name == "--extended") {
            o.Extended = true;
        } else if (name == "--no-extended") {
            o.Extended = false;
        } else if (name == "--split-touching") {
            o.SplitTouching = true;
        } else if (name == "--no-split-touching") {
            o.SplitTouching = false;
        } else if (name == "--json") {
            o.Json = true;
        } else if (name == "--centre") {
            o.Centre = true;
        } else if (name == "--no-centre") {
            o.Centre = false;
        } else if (name == "--mean-of-passes") {
            o.MeanOfPasses = true;
        } else if (name == "--quiet") {
            o.Quiet = true;
        } else if (name == "--metric") {
            o.Metric = true;
        } else if (name == "--us") {
            o.Metric = false;
        } else {
            return error("unknown option " + name);
        }
    }
    // Positions given as spray information are checked together as
    // --positions are (those given with it win).
    std::optional<std::string> given[2];
    for (const auto &[entry, value] : o.Info)
        if ((entry == Sample_Position1 || entry == Sample_Interval) && !value.empty())
            given[entry == Sample_Interval ? 1 : 0] = value;
    if (!o.Positions && given[0] && given[1])
        if (const std::string problem = cardPositionsProblem(positionValue(*given[0]), positionValue(*given[1]));
            !problem.empty())
            return error("--info: " + problem);
    if (o.FromTrial) {
        if (!o.Cards.empty())
            return error("no card image can be given with --trial: the cards are the trial's");
        if (!scanOption.empty())
            return error(scanOption + " cannot be given with --trial: the stored cards are not scanned again");
        if (o.Pass && o.MeanOfPasses)
            return error("--pass and --mean-of-passes cannot be given together");
        return r;
    }
    if (o.Pass || o.MeanOfPasses)
        return error(std::string(o.Pass ? "--pass" : "--mean-of-passes") + " needs --trial");
    if (o.Cards.empty())
        return error("no card image given");
    return r;
}

std::string batchUsage()
{
    return "usage: vexolin-batch [options] CARD|FOLDER...\n"
           "       vexolin-batch [line options] --trial FILE.vexolin\n"
           "Analyses card images (8-bit BMP, GIF, TIF) as the program does and prints their results.\n"
           "A folder stands for the card files in it (not in its subfolders), by name in the order of\n"
           "the NaturalOrder preference; a folder without one is reported like an unreadable card.\n"
           "  --dpi N              resolution of every card (default: the DefaultRes preference)\n"
           "  --dpi-from-file | --no-dpi-from-file\n"
           "                       cards take the resolution their file records, where it records one\n"
           "                       from 50 to 10000 dpi (default: the preference; --dpi wins)\n"
           "  --reduce-colours | --no-reduce-colours\n"
           "                       open 16/24/32-bit BMP, PNG, JPEG and colour TIF cards, reduced to\n"
           "                       256 colours without dithering (default: the preference)\n"
           "  --hue LOW-HIGH       valid hue range, default 0-255\n"
           "  --invert             valid hues lie outside the range\n"
           "  --roundness N        drop roundness threshold (default: the preference)\n"
           "  --valid-hues N       % valid hues threshold (default: the preference)\n"
           "  --spread A,B,C       spread factor coefficients (default: the preferences)\n"
           "  --no-dither          answer No to the dither question\n"
           "  --table-background   answer No to the background question\n"
           "  --log | --no-log     write the scan log beside each card (default: the preference)\n"
           "  --append | --no-append\n"
           "                       add to existing scan logs, or replace them (default: the preference)\n"
           "  --json               print the results as one JSON document on standard output\n"
           "  --positions P1,I     card 1 position and card spacing (default: the stored ones)\n"
           "  --swath W            nominal swath of the aircraft (default: the stored one)\n"
           "  --range LOW-HIGH     selected drop size range in micrometres\n"
           "  --metric | --us      units of positions, swath and deposit (default: the preference)\n"
           "  --results FILE       write the results of the line (CSV when FILE ends in .csv, else text)\n"
           "  --info KEY=VALUE     a spray information entry for the results (AC_Type ... Comment)\n"
           "  --report FILE.pdf    write the four-page report of the line as PDF\n"
           "  --stains FILE.csv    write every stain of every card, accepted or rejected, as CSV\n"
           "  --split-touching | --no-split-touching\n"
           "                       cut stains of touching drops apart before they are tested\n"
           "                       (default: the preference)\n"
           "  --extended | --no-extended\n"
           "                       rejected stains and the overlap estimate in the scan logs, the\n"
           "                       results file and the report (default: the preference)\n"
           "  --save-trial FILE.vexolin\n"
           "                       save the analysed cards, their spray information and the settings\n"
           "                       as a trial of one pass\n"
           "  --trial FILE.vexolin report a saved trial from the figures stored with its cards, reading\n"
           "                       no card image; options that only change a scan cannot be given, the\n"
           "                       line options (--json, --positions ... --report, --extended) go over\n"
           "                       the trial's values\n"
           "  --pass N             with --trial: the pass to report (default: the trial's current pass)\n"
           "  --mean-of-passes     with --trial: report the mean of the passes taken into it\n"
           "  --width-step F       the COV also at widths between whole card spacings, in steps of\n"
           "                       this share of the spacing, 0.01 to 1 (default: the preference, 0.1)\n"
           "  --centre | --no-centre\n"
           "                       move the deposit pattern onto the flight line before the passes\n"
           "                       (default: the preference, off)\n"
           "  --bootstrap N        replicates for the 95 % intervals in the JSON (default 1000; 0 for\n"
           "                       none)\n"
           "  --jobs N             analyse N cards side by side (default: one per core); everything\n"
           "                       printed and written is the same as with --jobs 1\n"
           "  --quiet              no progress line (otherwise drawn on standard error when it is a\n"
           "                       terminal: cards done, cards per second, time left)\n"
           "Exit status: 0 every card analysed and every file written, 1 something could not be read, analysed\n"
           "or written (the rest is still done; the reasons go to standard error), 2 usage error.\n";
}

namespace {

// What the line options say over the values the run starts from.
void applySwathOptions(const BatchOptions &options, AnalysisSettings &s)
{
    s.WidthStep = options.WidthStep.value_or(s.WidthStep);
    s.CentrePattern = options.Centre.value_or(s.CentrePattern);
    s.Bootstrap = options.Bootstrap;
    if (options.Range) {
        s.HasRange = true;
        s.RangeLow = options.Range->first;
        s.RangeHigh = options.Range->second;
    }
}

} // namespace

AnalysisSettings resolveBatchSettings(const BatchOptions &options, const Preferences &preferences,
                                      const ModuleState &module,
                                      const std::pair<std::string, std::string> &storedPositions)
{
    AnalysisSettings s;
    s.Resolution = options.Dpi.value_or(preferences.DefaultRes);
    // A resolution typed for the run wins over what the files record.
    s.ResolutionFromFile = !options.Dpi && options.DpiFromFile.value_or(preferences.ResolutionFromFile);
    s.Intake.ReduceColours = options.ReduceColours.value_or(preferences.ReduceColours);
    s.DenseCoverage = preferences.DenseCoveragePercent / 100.0;
    s.Extended = options.Extended.value_or(preferences.ExtendedFigures);
    s.Scan.SplitTouching = options.SplitTouching.value_or(preferences.SplitTouching);
    s.Scan.KeepStains = options.Stains.has_value();
    s.Scan.HueLow = options.HueLow;
    s.Scan.HueHigh = options.HueHigh;
    s.Scan.HueInvert = options.Invert;
    s.Scan.ShapeThreshold = options.Roundness.value_or(preferences.ShapeThreshold);
    s.Scan.HueThreshold = options.ValidHues.value_or(preferences.HueThreshold);
    s.Spread = options.Spread.value_or(module.SpreadFactor);
    s.NoDither = options.NoDither;
    s.TableBackground = options.TableBackground;
    s.Log = options.Log.value_or(preferences.LogAnalysis);
    s.Append = options.Append.value_or(preferences.Append);
    s.Metric = options.Metric.value_or(module.Metric);
    s.LogSprayInfo = preferences.LogSprayInfo;
    s.Spray = lineSpray(options, preferences.Spray, storedPositions);
    s.WidthStep = preferences.SwathWidthStep;
    s.CentrePattern = preferences.CentrePattern;
    applySwathOptions(options, s);
    return s;
}

AnalysisSettings resolveTrialSettings(const BatchOptions &options, Trial &trial, const std::vector<int> &passes,
                                      const std::pair<std::string, std::string> &storedPositions)
{
    AnalysisSettings s = trial.Settings;
    s.Log = false;
    s.Metric = options.Metric.value_or(s.Metric);
    s.Extended = options.Extended.value_or(s.Extended);
    applySwathOptions(options, s);
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
