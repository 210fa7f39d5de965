// The batch tool's command line, worked from declarations: the options of
// the settings table and the tool's own below, in the order --help lists
// them.  A parser of our own rather than a library's, so that every message,
// exit status and line of --help stays as scripts have come to rely on.

#include "app/Batch.h"

#include "analysis/DropStatistics.h"
#include "line/CardPositions.h"
#include "line/SettingsTable.h"
#include "line/SprayInfoRules.h"
#include "model/CardGeometry.h"
#include "text/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

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

// Takes an option's value over the options; what is wrong with it, else
// empty.
using TakeValue = std::string (*)(BatchOptions &, const std::string &);

// An option of the tool's own, or (with Setting) the place in --help of one of
// the settings table's; those not placed come after the rest.
struct OptionDecl {
    const char *Name = nullptr;
    const char *ValueName = nullptr; // none for a switch
    const char *Help = nullptr;
    TakeValue Take = nullptr;
    bool OnlyScan = false;
    const char *Setting = nullptr;
};

std::string takeHue(BatchOptions &o, const std::string &v)
{
    const auto dash = v.find('-');
    int low = 0;
    int high = 0;
    if (dash == std::string::npos || !parseInteger(v.substr(0, dash), 0, 255, low) ||
        !parseInteger(v.substr(dash + 1), 0, 255, high) || low > high)
        return "--hue must be LOW-HIGH with 0 <= LOW <= HIGH <= 255";
    o.HueLow = static_cast<std::uint8_t>(low);
    o.HueHigh = static_cast<std::uint8_t>(high);
    return {};
}

std::string takeSpread(BatchOptions &o, const std::string &v)
{
    std::array<double, 3> spread{};
    std::size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        const std::size_t comma = k < 2 ? v.find(',', start) : v.size();
        if (comma == std::string::npos ||
            !parseNumber(v.substr(start, comma - start), spread[static_cast<std::size_t>(k)]))
            return "--spread must be three numbers A,B,C";
        start = comma + 1;
    }
    if (start != v.size() + 1)
        return "--spread must be three numbers A,B,C";
    for (std::size_t k = 0; k < 3; ++k)
        if (!spreadCoefficientSound(k, spread[k]))
            return "--spread: A, B and C must lie within +/-1000, +/-100 and +/-1";
    o.Spread = spread;
    return {};
}

std::string takePositions(BatchOptions &o, const std::string &v)
{
    const auto comma = v.find(',');
    double first = 0.0;
    double spacing = 0.0;
    if (comma == std::string::npos || !parseNumber(v.substr(0, comma), first) ||
        !parseNumber(v.substr(comma + 1), spacing) || !(spacing > 0.0) || !positionSound(first) ||
        !spacingSound(spacing))
        return "--positions must be P1,I: card 1 position and a spacing above 0, each within a million units";
    if (const std::string problem = cardPositionsProblem(first, spacing); !problem.empty())
        return "--positions: " + problem;
    o.Positions = std::make_pair(v.substr(0, comma), v.substr(comma + 1));
    return {};
}

std::string takeRange(BatchOptions &o, const std::string &v)
{
    // The low end may itself be negative only in theory; the first '-'
    // after the first character splits.
    const auto dash = v.find('-', 1);
    double low = 0.0;
    double high = 0.0;
    if (dash == std::string::npos || !parseNumber(v.substr(0, dash), low) || !parseNumber(v.substr(dash + 1), high) ||
        low < 0.0 || high <= low)
        return "--range must be LOW-HIGH in micrometres with 0 <= LOW < HIGH";
    o.Range = std::make_pair(static_cast<float>(low), static_cast<float>(high));
    return {};
}

std::string takeDensityTarget(BatchOptions &o, const std::string &v)
{
    o.DensityTarget = parseDensityTarget(v);
    if (!o.DensityTarget) {
        std::string names;
        for (const DensityPreset &p : densityPresets())
            names += std::string(p.Name) + ", ";
        return "--density-target must be " + names + "or LOW-HIGH drops per cm2 with 0 <= LOW < HIGH";
    }
    return {};
}

std::string takeQualityTable(BatchOptions &o, const std::string &v)
{
    Result<QualityTable> table = readQualityTable(v);
    if (!table.ok())
        return "--quality-table: " + table.reason();
    o.Quality = std::move(*table);
    return {};
}

std::string takeInfo(BatchOptions &o, const std::string &v)
{
    const auto eq = v.find('=');
    int entry = 0;
    for (int e = 1; e <= SprayInfoCount && eq != std::string::npos; ++e)
        if (v.substr(0, eq) == sprayInfoKey(e))
            entry = e;
    if (entry == 0)
        return "--info must be KEY=VALUE with KEY one of the spray information keys (AC_Type ... Comment)";
    if (const std::string problem = sprayValueProblem(entry, v.substr(eq + 1)); !problem.empty())
        return "--info " + problem;
    o.Info.emplace_back(entry, v.substr(eq + 1));
    return {};
}

// A file name that must not be empty.
template <std::optional<std::string> BatchOptions::*Field>
std::string takeFile(const char *option, BatchOptions &o, const std::string &v)
{
    if (v.empty())
        return std::string(option) + " needs a file name";
    o.*Field = v;
    return {};
}

const OptionDecl Options[] = {
    {.Setting = "DefaultRes"},
    {.Setting = "ResolutionFromFile"},
    {.Setting = "ReduceColours"},
    {"--hue", "LOW-HIGH", "valid hue range, default 0-255", takeHue, true},
    {.Setting = "HueInvert"},
    {.Setting = "ShapeThreshold"},
    {.Setting = "HueThreshold"},
    {"--spread", "A,B,C", "spread factor coefficients (default: the preferences)", takeSpread, true},
    {.Setting = "NoDither"},
    {.Setting = "TableBackground"},
    {.Setting = "LogAnalysis"},
    {.Setting = "Append"},
    {"--json", nullptr, "print the results as one JSON document on standard output",
     [](BatchOptions &o, const std::string &) { return (o.Json = true, std::string()); }},
    {"--positions", "P1,I", "card 1 position and card spacing (default: the stored ones)", takePositions},
    {"--swath", "W", "nominal swath of the aircraft (default: the stored one)",
     [](BatchOptions &o, const std::string &v) {
         double swath = 0.0;
         if (!parseNumber(v, swath) || !(swath > 0.0))
             return std::string("--swath must be a number above 0");
         o.Swath = v;
         return std::string();
     }},
    {"--range", "LOW-HIGH", "selected drop size range in micrometres", takeRange},
    {"--density-target", "RANGE",
     "the drop density the product needs, LOW-HIGH per cm2 or insecticide\n(20-30), herbicide (30-40), fungicide "
     "(50-70)",
     takeDensityTarget},
    {"--quality-table", "FILE.csv",
     "spray quality classes from a laboratory's table: class,dv01_um,vmd_um\nper row, finest first", takeQualityTable},
    {.Setting = "Metric"},
    {"--results", "FILE", "write the results of the line (CSV when FILE ends in .csv, else text)",
     [](BatchOptions &o, const std::string &v) { return takeFile<&BatchOptions::Results>("--results", o, v); }},
    {"--info", "KEY=VALUE", "a spray information entry for the results (AC_Type ... Comment)", takeInfo},
    {"--report", "FILE.pdf", "write the four-page report of the line as PDF",
     [](BatchOptions &o, const std::string &v) { return takeFile<&BatchOptions::Report>("--report", o, v); }},
    {"--stains", "FILE.csv", "write every stain of every card, accepted or rejected, as CSV",
     [](BatchOptions &o, const std::string &v) { return takeFile<&BatchOptions::Stains>("--stains", o, v); }, true},
    {.Setting = "SplitTouching"},
    {.Setting = "ExtendedFigures"},
    {"--save-trial", "FILE.vexolin",
     "save the analysed cards, their spray information and the settings\nas a trial of one pass",
     [](BatchOptions &o, const std::string &v) { return takeFile<&BatchOptions::SaveTrial>("--save-trial", o, v); }},
    {"--trial", "FILE.vexolin",
     "report a saved trial from the figures stored with its cards, reading\n"
     "no card image; options that only change a scan cannot be given, the\n"
     "line options (--json, --positions ... --report, --extended) go over\nthe trial's values",
     [](BatchOptions &o, const std::string &v) { return takeFile<&BatchOptions::FromTrial>("--trial", o, v); }},
    {"--pass", "N", "with --trial: the pass to report (default: the trial's current pass)",
     [](BatchOptions &o, const std::string &v) {
         int pass = 0;
         if (!parseInteger(v, 1, std::numeric_limits<int>::max(), pass))
             return std::string("--pass must be a whole number from 1");
         o.Pass = pass;
         return std::string();
     }},
    {"--mean-of-passes", nullptr, "with --trial: report the mean of the passes taken into it",
     [](BatchOptions &o, const std::string &) { return (o.MeanOfPasses = true, std::string()); }},
    {.Setting = "SwathWidthStep"},
    {.Setting = "CentrePattern"},
    {"--bootstrap", "N", "replicates for the 95 % intervals in the JSON (default 1000; 0 for\nnone)",
     [](BatchOptions &o, const std::string &v) {
         if (!parseInteger(v, 0, 100000, o.Bootstrap))
             return std::string("--bootstrap must be a whole number of replicates from 0 to 100000");
         return std::string();
     }},
    {"--jobs", "N",
     "analyse N cards side by side (default: one per core); everything\n"
     "printed and written is the same as with --jobs 1",
     [](BatchOptions &o, const std::string &v) {
         int jobs = 0;
         if (!parseInteger(v, 1, MaxBatchJobs, jobs))
             return "--jobs must be a whole number from 1 to " + std::to_string(MaxBatchJobs);
         o.Jobs = jobs;
         return std::string();
     }},
    {"--quiet", nullptr,
     "no progress line (otherwise drawn on standard error when it is a\n"
     "terminal: cards done, cards per second, time left)",
     [](BatchOptions &o, const std::string &) { return (o.Quiet = true, std::string()); }},
    {"--find-cards", nullptr,
     "find the cards in each picture (a photo of a card, a flatbed scan of\n"
     "several) and analyse each as a card of its own, PICTURE#1, #2 ...",
     [](BatchOptions &o, const std::string &) { return (o.FindCards = true, std::string()); }, true},
    {"--card-size", "WxH", "with --find-cards: the cards' size in millimetres (default 76x26)",
     [](BatchOptions &o, const std::string &v) {
         o.FoundCardSize = parseCardSize(v);
         return o.FoundCardSize ? std::string()
                                : std::string("--card-size must be WIDTHxHEIGHT in millimetres, each from 5 to 500");
     },
     true},
};

// An option as typed: one of the tool's own, or a setting's option or its
// negation.
struct Found {
    const OptionDecl *Own = nullptr;
    const SettingDecl *Setting = nullptr;
    bool Negated = false;
    bool takesValue() const { return Own ? Own->ValueName != nullptr : Setting && Setting->ValueName != nullptr; }
    bool onlyScan() const { return Own ? Own->OnlyScan : Setting && Setting->OnlyScan; }
};

Found findOption(const std::string &name)
{
    for (const OptionDecl &d : Options)
        if (d.Name && name == d.Name)
            return {&d};
    const SettingDecl *s = findSettingOption(name);
    return {nullptr, s, s && s->Negation && name == s->Negation};
}

// A setting's value as typed: a switch gives 1, its negation 0.
std::string takeSetting(BatchOptions &o, const Found &f, const std::string &name, const std::string &v)
{
    const SettingDecl &d = *f.Setting;
    double value = f.Negated ? 0.0 : 1.0;
    if (d.Kind == SettingKind::Whole) {
        long long whole = 0;
        if (!parseInteger(v, std::llround(d.Low), std::llround(d.High), whole))
            return name + " must be " + d.mustBe();
        value = static_cast<double>(whole);
    } else if (d.Kind == SettingKind::Real && (!parseNumber(v, value) || !d.inRange(value))) {
        return name + " must be " + d.mustBe();
    }
    o.Settings.emplace_back(d.Name, value);
    return {};
}

BatchArguments error(std::string text)
{
    BatchArguments r;
    r.What = BatchArguments::Kind::Error;
    r.Error = std::move(text);
    return r;
}

// What the options say together, once each is sound on its own.
BatchArguments checkTogether(BatchArguments r, const std::string &scanOption)
{
    const BatchOptions &o = r.Options;
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
    if (o.FoundCardSize && !o.FindCards)
        return error("--card-size needs --find-cards");
    // A found card has no file of its own that a trial could check again.
    if (o.FindCards && o.SaveTrial)
        return error("--save-trial cannot be given with --find-cards: the found cards are no files of their own");
    return r;
}

// An option's lines of --help: its name, the names of its negation and
// value, and its help beside them, or under them when they are long.
void addUsage(std::string &text, const std::string &name, const char *valueName, const char *help,
              const char *negation = nullptr)
{
    constexpr std::size_t HelpColumn = 23;
    std::string synopsis = name;
    if (negation)
        synopsis += std::string(" | ") + negation;
    if (valueName)
        synopsis += std::string(" ") + valueName;
    text += "  " + synopsis;
    if (synopsis.size() + 3 > HelpColumn)
        text += "\n" + std::string(HelpColumn, ' ');
    else
        text += std::string(HelpColumn - 2 - synopsis.size(), ' ');
    for (const char c : std::string(help))
        text += c == '\n' ? "\n" + std::string(HelpColumn, ' ') : std::string(1, c);
    text += "\n";
}

void addUsage(std::string &text, const SettingDecl &s)
{
    addUsage(text, s.Option, s.ValueName, s.Help, s.Negation);
}

} // namespace

std::optional<double> BatchOptions::setting(std::string_view name) const
{
    std::optional<double> value;
    for (const auto &[given, v] : Settings)
        if (given == name)
            value = v;
    return value;
}

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
        const auto eq = a.find('=');
        const std::string name = a.substr(0, eq);
        std::optional<std::string> value;
        if (eq != std::string::npos)
            value = a.substr(eq + 1);
        const Found found = findOption(name);
        if (!found.takesValue() && value)
            return error("option " + name + " takes no value");
        if (!found.Own && !found.Setting)
            return error("unknown option " + name);
        if (scanOption.empty() && found.onlyScan())
            scanOption = name;
        if (found.takesValue() && !value) {
            if (i + 1 >= args.size())
                return error("option " + name + " needs a value");
            value = args[++i];
        }
        const std::string problem = found.Own ? found.Own->Take(o, value.value_or(std::string()))
                                              : takeSetting(o, found, name, value.value_or(std::string()));
        if (!problem.empty())
            return error(problem);
    }
    return checkTogether(std::move(r), scanOption);
}

std::string batchUsage()
{
    std::string text = "usage: vexolin-batch [options] CARD|FOLDER...\n"
                       "       vexolin-batch [line options] --trial FILE.vexolin\n"
                       "Analyses card images (8-bit BMP, GIF, TIF) as the program does and prints their results.\n"
                       "A folder stands for the card files in it (not in its subfolders), by name in the order of\n"
                       "the NaturalOrder preference; a folder without one is reported like an unreadable card.\n";
    // The settings' options where the list places them, those it does not
    // name after the rest.
    std::vector<const SettingDecl *> unplaced;
    for (const SettingDecl &s : settingsTable())
        if (s.Option && std::none_of(std::begin(Options), std::end(Options), [&](const OptionDecl &d) {
                return d.Setting && std::string_view(d.Setting) == s.Name;
            }))
            unplaced.push_back(&s);
    for (const OptionDecl &d : Options)
        if (d.Setting)
            addUsage(text, *findSetting(d.Setting));
        else
            addUsage(text, d.Name, d.ValueName, d.Help);
    for (const SettingDecl *s : unplaced)
        addUsage(text, *s);
    return text + "Exit status: 0 every card analysed and every file written, 1 something could not be read, "
                  "analysed\nor written (the rest is still done; the reasons go to standard error), 2 usage error.\n";
}

} // namespace vex
