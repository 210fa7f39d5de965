#include "line/SettingsTable.h"

#include "analysis/DropStatistics.h"
#include "model/CardGeometry.h"
#include "text/NumberText.h"

#include <array>
#include <cmath>
#include <limits>

namespace vex {

namespace {

// The accessors of a field of AnalysisSettings, nested ones included.
#define VEX_SETTING_FIELD(path)                                                                                        \
    .Get = [](const AnalysisSettings &s) { return static_cast<double>(s.path); },                                      \
    .Set = [](AnalysisSettings &s, double v) { s.path = static_cast<decltype(s.path)>(v); }

constexpr double SingleMax = std::numeric_limits<float>::max();

// In the order of a trial's settings table, which the saved files keep.
const std::array Table{
    SettingDecl{.Name = "DefaultRes",
                .Kind = SettingKind::Whole,
                .Default = 1200,
                .Low = 1,
                .High = MaxResolution,
                .InFile = true,
                .Column = "resolution",
                .Option = "--dpi",
                .ValueName = "N",
                .Help = "resolution of every card (default: the DefaultRes preference)",
                .OnlyScan = true,
                VEX_SETTING_FIELD(Resolution)},
    SettingDecl{.Name = "ResolutionFromFile",
                .InFile = true,
                .Column = "resolution_from_file",
                .Option = "--dpi-from-file",
                .Negation = "--no-dpi-from-file",
                .Help = "cards take the resolution their file records, where it records one\n"
                        "from 50 to 10000 dpi (default: the preference; --dpi wins)",
                .OnlyScan = true,
                .Group = "ImageFrame",
                .Row = 1,
                .Widget = "ResolutionFromFileCheck",
                .Label = "&Take the resolution from the image file",
                .Tooltip = "Cards whose file records a resolution between 50 and 10000 dpi\n"
                           "get that resolution instead of the default one.",
                VEX_SETTING_FIELD(ResolutionFromFile)},
    SettingDecl{.Name = "ReduceColours",
                .InFile = true,
                .Column = "reduce_colours",
                .Option = "--reduce-colours",
                .Negation = "--no-reduce-colours",
                .Help = "open 16/24/32-bit BMP, PNG, JPEG and colour TIF cards, reduced to\n"
                        "256 colours without dithering (default: the preference)",
                .OnlyScan = true,
                .Group = "ImageFrame",
                .Row = 0,
                .Widget = "ReduceColoursCheck",
                .Label = "Reduce &colour images to 256 colours",
                .Tooltip = "Opens 16, 24 and 32-bit bitmaps, PNG, JPEG and colour TIF files as cards,\n"
                           "reduced without dithering; otherwise only 8-bit images are opened.",
                VEX_SETTING_FIELD(Intake.ReduceColours)},
    SettingDecl{
        .Name = "HueLow", .Kind = SettingKind::Whole, .High = 255, .Column = "hue_low", VEX_SETTING_FIELD(Scan.HueLow)},
    SettingDecl{.Name = "HueHigh",
                .Kind = SettingKind::Whole,
                .Default = 255,
                .High = 255,
                .Column = "hue_high",
                VEX_SETTING_FIELD(Scan.HueHigh)},
    SettingDecl{.Name = "HueInvert",
                .Column = "hue_invert",
                .Option = "--invert",
                .Help = "valid hues lie outside the range",
                .OnlyScan = true,
                VEX_SETTING_FIELD(Scan.HueInvert)},
    SettingDecl{.Name = "ShapeThreshold",
                .Kind = SettingKind::Whole,
                .Default = 100,
                .High = 255,
                .InFile = true,
                .Column = "shape_threshold",
                .Option = "--roundness",
                .ValueName = "N",
                .Help = "drop roundness threshold (default: the preference)",
                .OnlyScan = true,
                VEX_SETTING_FIELD(Scan.ShapeThreshold)},
    SettingDecl{.Name = "HueThreshold",
                .Kind = SettingKind::Whole,
                .High = 255,
                .InFile = true,
                .Column = "hue_threshold",
                .Option = "--valid-hues",
                .ValueName = "N",
                .Help = "% valid hues threshold (default: the preference)",
                .OnlyScan = true,
                VEX_SETTING_FIELD(Scan.HueThreshold)},
    SettingDecl{.Name = "SplitTouching",
                .InFile = true,
                .Column = "split_touching",
                .Option = "--split-touching",
                .Negation = "--no-split-touching",
                .Help = "cut stains of touching drops apart before they are tested\n(default: the preference)",
                .OnlyScan = true,
                .Group = "FilterFrame",
                .Row = 3,
                .Widget = "SplitTouchingCheck",
                .Label = "Se&parate touching stains",
                .Tooltip = "Cuts stains of drops that touch apart where they meet, and tests\n"
                           "each part as a stain of its own.  Off, the figures are as always.",
                // Figures from cut stains are not those of the usual scan.
                .ResultsLabel = "Touching Stains:",
                .ResultsText = "cut apart before testing",
                .ReportSentence = "Touching stains were cut apart before testing.",
                .JsonKey = "split_touching",
                VEX_SETTING_FIELD(Scan.SplitTouching)},
    // The spread factor and the units are the module's, read with it.
    SettingDecl{.Name = "Spread1",
                .Kind = SettingKind::Real,
                .Low = -SpreadLimit[0],
                .High = SpreadLimit[0],
                .Column = "spread_1",
                VEX_SETTING_FIELD(Spread[0])},
    SettingDecl{.Name = "Spread2",
                .Kind = SettingKind::Real,
                .Default = 0.56,
                .Low = -SpreadLimit[1],
                .High = SpreadLimit[1],
                .Column = "spread_2",
                VEX_SETTING_FIELD(Spread[1])},
    SettingDecl{.Name = "Spread3",
                .Kind = SettingKind::Real,
                .Low = -SpreadLimit[2],
                .High = SpreadLimit[2],
                .Column = "spread_3",
                VEX_SETTING_FIELD(Spread[2])},
    SettingDecl{.Name = "NoDither",
                .Column = "no_dither",
                .Option = "--no-dither",
                .Help = "answer No to the dither question",
                .OnlyScan = true,
                VEX_SETTING_FIELD(NoDither)},
    SettingDecl{.Name = "TableBackground",
                .Column = "table_background",
                .Option = "--table-background",
                .Help = "answer No to the background question",
                .OnlyScan = true,
                VEX_SETTING_FIELD(TableBackground)},
    SettingDecl{.Name = "Metric",
                .Default = 1,
                .Column = "metric",
                .Option = "--metric",
                .Negation = "--us",
                .Help = "units of positions, swath and deposit (default: the preference)",
                VEX_SETTING_FIELD(Metric)},
    SettingDecl{.Name = "DenseCoveragePercent",
                .Kind = SettingKind::Whole,
                .Default = 20,
                .Low = 1,
                .High = 100,
                .Scale = 100,
                .InFile = true,
                .Column = "dense_coverage",
                .Group = "FilterFrame",
                .Row = 2,
                .Widget = "txtDenseCoverage",
                .Label = "Dense above %:",
                .Tooltip = "A card whose stains cover more than this share of it is named too\n"
                           "dense for reliable drop counts: stains there overlap and merge.",
                .Title = "Dense coverage",
                VEX_SETTING_FIELD(DenseCoverage)},
    SettingDecl{.Name = "ExtendedFigures",
                .InFile = true,
                .Column = "extended",
                .Option = "--extended",
                .Negation = "--no-extended",
                .Help = "rejected stains and the overlap estimate in the scan logs, the\n"
                        "results file and the report (default: the preference)",
                .Group = "OutputFrame",
                .Row = 0,
                .Widget = "ExtendedFiguresCheck",
                .Label = "E&xtended figures in files and the report",
                .Tooltip = "Adds the rejected stains and the overlap estimate to the scan logs,\n"
                           "the results file and the report.",
                VEX_SETTING_FIELD(Extended)},
    SettingDecl{.Name = "HasRange", .Column = "has_range", VEX_SETTING_FIELD(HasRange)},
    SettingDecl{.Name = "RangeLow",
                .Kind = SettingKind::Real,
                .High = SingleMax,
                .Column = "range_low",
                VEX_SETTING_FIELD(RangeLow)},
    SettingDecl{.Name = "RangeHigh",
                .Kind = SettingKind::Real,
                .Default = 32755,
                .High = SingleMax,
                .Column = "range_high",
                VEX_SETTING_FIELD(RangeHigh)},
    SettingDecl{.Name = "SwathWidthStep",
                .Kind = SettingKind::Real,
                .Default = 0.1,
                .Low = 0.01,
                .High = 1.0,
                .InFile = true,
                .Column = "width_step",
                .Option = "--width-step",
                .ValueName = "F",
                .Help = "the COV also at widths between whole card spacings, in steps of\n"
                        "this share of the spacing, 0.01 to 1 (default: the preference, 0.1)",
                .Must = "a share of the card spacing from 0.01 to 1",
                .Group = "SwathFrame",
                .Row = 0,
                .Widget = "txtWidthStep",
                .Label = "Width step (share of the spacing):",
                .Tooltip = "The COV is also worked out between whole card spacings, in steps of\n"
                           "this share of the spacing.",
                .Title = "Width step",
                VEX_SETTING_FIELD(WidthStep)},
    SettingDecl{.Name = "CentrePattern",
                .InFile = true,
                .Column = "centre_pattern",
                .Option = "--centre",
                .Negation = "--no-centre",
                .Help = "move the deposit pattern onto the flight line before the passes\n"
                        "(default: the preference, off)",
                .Group = "SwathFrame",
                .Row = 1,
                .Widget = "CentrePatternCheck",
                .Label = "C&entre the deposit pattern before the passes",
                .Tooltip = "Moves the pattern so that its centroid lies on the flight line before\n"
                           "the passes are simulated; every output says so.",
                VEX_SETTING_FIELD(CentrePattern)},
    SettingDecl{.Name = "PoolEstimates",
                .Option = "--pool-estimates",
                .Negation = "--no-pool-estimates",
                .Help = "the line's pooled drop density and deposit from each card's estimate\n"
                        "for overlap instead of its count (default: off)",
                // Pooled figures that are no counts: said wherever they go.
                .ResultsLabel = "Pooled Densities:",
                .ResultsText = "each card's estimate for overlap",
                .ReportSentence = "The pooled drop density and deposit are each card's estimate for overlap, "
                                  "not its count.",
                .JsonKey = "pool_estimates",
                VEX_SETTING_FIELD(PoolEstimates)},
    SettingDecl{.Name = "CovTarget",
                .Kind = SettingKind::Real,
                .Default = 0.20,
                .Low = 0.01,
                .High = 1.0,
                .InFile = true,
                .Option = "--cov-target",
                .ValueName = "F",
                .Help = "the effective swath is the widest whose COV is at most this,\n"
                        "0.01 to 1 (default: the preference, 0.20)",
                .Must = "a COV from 0.01 to 1",
                .Group = "SwathFrame",
                .Row = 3,
                .Widget = "txtCovTarget",
                .Label = "COV target of the effective swath:",
                .Tooltip = "The effective swath is the widest width, between whole card spacings\n"
                           "too, whose COV is at most this (0.01 to 1; default 0.20).",
                .Title = "COV target",
                VEX_SETTING_FIELD(CovTarget)},
    SettingDecl{.Name = "DensityTargetLow",
                .Kind = SettingKind::Real,
                .High = 1.0e6,
                .InFile = true,
                .Must = "a drop density from 0 to 1000000 per cm²",
                .Group = "OutputFrame",
                .Row = 1,
                .Widget = "txtDensityTargetLow",
                .Label = "Drop density target from (#/cm²):",
                .Tooltip = "The drop density the product needs; each card is marked below,\n"
                           "within or above it.  Usual advice: insecticides 20-30, contact\n"
                           "herbicides 30-40, fungicides 50-70.  0 to 0 for no target.",
                .Title = "Density target from",
                VEX_SETTING_FIELD(DensityTargetLow)},
    SettingDecl{.Name = "DensityTargetHigh",
                .Kind = SettingKind::Real,
                .High = 1.0e6,
                .InFile = true,
                .Must = "a drop density from 0 to 1000000 per cm²",
                .Group = "OutputFrame",
                .Row = 2,
                .Widget = "txtDensityTargetHigh",
                .Label = "Drop density target to (#/cm²):",
                .Tooltip = "The upper end of the drop density the product needs (0 for no\n"
                           "target).",
                .Title = "Density target to",
                VEX_SETTING_FIELD(DensityTargetHigh)},
    SettingDecl{.Name = "NaturalOrder",
                .InFile = true,
                .Column = "natural_order",
                .Group = "ImageFrame",
                .Row = 4,
                .Widget = "NaturalOrderCheck",
                .Label = "Sort file names by their &numbers",
                .Tooltip = "Loaded cards are put in line as people count: card2 before card10.\n"
                           "Off, names are sorted character by character (card10 before card2).",
                VEX_SETTING_FIELD(NaturalOrder)},
    // The session's own: the logs.
    SettingDecl{.Name = "LogAnalysis",
                .Default = 1,
                .InFile = true,
                .Option = "--log",
                .Negation = "--no-log",
                .Help = "write the scan log beside each card (default: the preference)",
                .OnlyScan = true,
                VEX_SETTING_FIELD(Log)},
    SettingDecl{.Name = "Append",
                .InFile = true,
                .Option = "--append",
                .Negation = "--no-append",
                .Help = "add to existing scan logs, or replace them (default: the preference)",
                .OnlyScan = true,
                VEX_SETTING_FIELD(Append)},
    SettingDecl{.Name = "LogSprayInfo", .InFile = true, VEX_SETTING_FIELD(LogSprayInfo)},
};

#undef VEX_SETTING_FIELD

std::string wholeText(double v)
{
    return std::to_string(std::llround(v));
}

} // namespace

double SettingDecl::userValue(const AnalysisSettings &s) const
{
    return Get(s) * Scale;
}

void SettingDecl::setUserValue(AnalysisSettings &s, double value) const
{
    Set(s, value / Scale);
}

bool SettingDecl::inRange(double value) const
{
    return Kind == SettingKind::Flag || (value >= Low && value <= High);
}

std::string SettingDecl::mustBe() const
{
    if (Must)
        return Must;
    return "a whole number from " + wholeText(Low) + " to " + wholeText(High);
}

std::span<const SettingDecl> settingsTable()
{
    return Table;
}

const SettingDecl *findSetting(std::string_view name)
{
    for (const SettingDecl &d : Table)
        if (name == d.Name)
            return &d;
    return nullptr;
}

const SettingDecl *findSettingOption(std::string_view option)
{
    for (const SettingDecl &d : Table)
        if ((d.Option && option == d.Option) || (d.Negation && option == d.Negation))
            return &d;
    return nullptr;
}

void readTableSettings(SettingsStore &store, AnalysisSettings &settings, std::vector<std::string> &reset)
{
    for (const SettingDecl &d : Table) {
        if (!d.InFile)
            continue;
        double v = d.Default;
        switch (d.Kind) {
        case SettingKind::Flag:
            v = readBoolSetting(store, PrefsSection, d.Name, d.Default != 0.0, reset) ? 1.0 : 0.0;
            break;
        case SettingKind::Whole:
            v = static_cast<double>(readIntegerSetting(store, PrefsSection, d.Name, std::llround(d.Default),
                                                       std::llround(d.Low), std::llround(d.High), reset));
            break;
        case SettingKind::Real:
            v = readDoubleSetting(store, PrefsSection, d.Name, d.Default, d.Low, d.High, reset);
            break;
        }
        d.setUserValue(settings, v);
    }
}

Status writeTableSettings(SettingsStore &store, const AnalysisSettings &settings)
{
    Status written;
    for (const SettingDecl &d : Table) {
        if (!d.InFile)
            continue;
        const double v = d.userValue(settings);
        const std::string text = d.Kind == SettingKind::Flag    ? boolSettingText(v != 0.0)
                                 : d.Kind == SettingKind::Whole ? wholeText(v)
                                                                : doubleSettingText(v);
        written.add(writeSetting(store, PrefsSection, d.Name, text));
    }
    return written;
}

void copyTrialSettings(const AnalysisSettings &from, AnalysisSettings &into)
{
    for (const SettingDecl &d : Table)
        if (d.Column)
            d.Set(into, d.Get(from));
}

std::string settingFieldText(const SettingDecl &decl, const AnalysisSettings &s)
{
    const double v = decl.userValue(s);
    return decl.Kind == SettingKind::Whole ? wholeText(v) : significantText(v, 6);
}

std::optional<double> settingFromField(const SettingDecl &decl, const std::string &text)
{
    std::optional<double> v = parseNumber(text);
    if (v && decl.Kind == SettingKind::Whole)
        v = std::nearbyint(*v);
    if (!v || !decl.inRange(*v))
        return std::nullopt;
    return v;
}

namespace {

template <class Take>
void notes(const AnalysisSettings &s, Take &&take)
{
    for (const SettingDecl &d : Table)
        if (d.Kind == SettingKind::Flag && d.Get(s) != 0.0)
            take(d);
}

} // namespace

std::vector<std::pair<std::string, std::string>> settingResultsLines(const AnalysisSettings &s)
{
    std::vector<std::pair<std::string, std::string>> lines;
    notes(s, [&](const SettingDecl &d) {
        if (d.ResultsLabel)
            lines.emplace_back(d.ResultsLabel, d.ResultsText);
    });
    return lines;
}

std::vector<std::string> settingReportSentences(const AnalysisSettings &s)
{
    std::vector<std::string> sentences;
    notes(s, [&](const SettingDecl &d) {
        if (d.ReportSentence)
            sentences.emplace_back(d.ReportSentence);
    });
    return sentences;
}

std::vector<std::string> settingJsonKeys(const AnalysisSettings &s)
{
    std::vector<std::string> keys;
    notes(s, [&](const SettingDecl &d) {
        if (d.JsonKey)
            keys.emplace_back(d.JsonKey);
    });
    return keys;
}

} // namespace vex
