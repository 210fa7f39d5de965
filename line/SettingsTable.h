#pragma once
// Every setting the analysis takes, declared once: its name and settings
// file key, type, default and sound range, the trial column that keeps it,
// the batch option that sets it, its field in the preferences window and
// what the outputs say when it changed the figures.  The settings file, the
// trial, the batch tool's options and --help, the preferences window and
// the output notes are all worked from this table, so a new setting is one
// entry here plus the code that uses it.

#include "line/LineAnalysis.h"
#include "text/Settings.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vex {

enum class SettingKind { Flag, Whole, Real };

struct SettingDecl {
    // The settings file key (in the Prefs section) where InFile, else the
    // name the code knows it by.
    const char *Name = nullptr;
    SettingKind Kind = SettingKind::Flag;
    // As the user types and reads them; the analysis keeps value / Scale
    // (the dense coverage is a share there but a percent everywhere else).
    double Default = 0.0;
    double Low = 0.0;
    double High = 0.0;
    double Scale = 1.0;
    bool InFile = false;
    const char *Column = nullptr; // in a trial's settings
    // The batch option, its negation, the name of its value, its --help
    // text (lines after the first indented under it) and, for a number,
    // what it must be beyond "a whole number from LOW to HIGH".
    const char *Option = nullptr;
    const char *Negation = nullptr;
    const char *ValueName = nullptr;
    const char *Help = nullptr;
    const char *Must = nullptr;
    // Options that change how a card image is scanned, refused with --trial.
    bool OnlyScan = false;
    // The preferences window's field: the frame it sits in, its row there,
    // its object name, label and tooltip, and the name its messages use.
    const char *Group = nullptr;
    int Row = 0;
    const char *Widget = nullptr;
    const char *Label = nullptr;
    const char *Tooltip = nullptr;
    const char *Title = nullptr;
    // What the outputs say when the setting is on: the results file's line,
    // the report's sentence and the JSON key.
    const char *ResultsLabel = nullptr;
    const char *ResultsText = nullptr;
    const char *ReportSentence = nullptr;
    const char *JsonKey = nullptr;
    double (*Get)(const AnalysisSettings &) = nullptr; // as the analysis keeps it
    void (*Set)(AnalysisSettings &, double) = nullptr;

    // As the user gives it.
    double userValue(const AnalysisSettings &s) const;
    void setUserValue(AnalysisSettings &s, double value) const;
    bool inRange(double userValue) const;
    // "a whole number from 1 to 100", or Must.
    std::string mustBe() const;
};

std::span<const SettingDecl> settingsTable();
// Null for a name the table does not hold.
const SettingDecl *findSetting(std::string_view name);
const SettingDecl *findSettingOption(std::string_view option);

// The settings the file keeps, each unreadable or out-of-range value at its
// default and named in `reset` ("Prefs/Key = text").
void readTableSettings(SettingsStore &store, AnalysisSettings &settings, std::vector<std::string> &reset);
Status writeTableSettings(SettingsStore &store, const AnalysisSettings &settings);

// The settings a trial keeps, picked from `from` over `into`.
void copyTrialSettings(const AnalysisSettings &from, AnalysisSettings &into);

// The text of a number field and the value of a typed one: whole numbers
// round half to even; nothing for a text that is no number in range.
std::string settingFieldText(const SettingDecl &decl, const AnalysisSettings &s);
std::optional<double> settingFromField(const SettingDecl &decl, const std::string &text);

// The output notes of the settings that are on.
std::vector<std::pair<std::string, std::string>> settingResultsLines(const AnalysisSettings &s);
std::vector<std::string> settingReportSentences(const AnalysisSettings &s);
std::vector<std::string> settingJsonKeys(const AnalysisSettings &s);

} // namespace vex
