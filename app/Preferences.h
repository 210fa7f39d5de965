#pragma once
// The preferences window's rules, free of widgets: what its boxes show,
// what a typed key does to a numeric box, what leaving a box restores, and
// how "Accept" takes the values over.

#include "app/AppState.h"
#include "text/NumberText.h"
#include "text/NumericKeys.h"

#include <map>
#include <optional>
#include <string>

namespace vex {

struct SettingDecl;

// The pixel size read-out beside the resolution box: "= 12.70 µm/pixel",
// or "=" alone when the text is not a number or its whole value is zero or
// above 32500.
std::string conversionLabelText(const std::string &resolutionText);

// The box texts after leaving them: an emptied or unreadable box gets its
// value back; anything else typed stays as typed, for Accept to judge.
std::string coefficientOnLeave(const std::string &text, double current);
std::string thresholdOnLeave(const std::string &text, std::uint8_t current);

// The window's values, as the boxes and buttons hold them.
struct PrefsForm {
    std::string Resolution;
    std::string Spread[3];
    std::string Roundness;
    std::string Hues;
    bool Metric = true;
    bool Log = true;
    bool Append = false;
    bool LogSprayInfo = false;
    // The settings table's fields by the setting's name: the flags, and the
    // texts of the number boxes.
    std::map<std::string, bool> Flags;
    std::map<std::string, std::string> Numbers;
    bool ConfidenceIntervals = false;
    // A laboratory's spray quality table; empty for the default classes.
    std::string QualityTable;
    bool FindCards = false;
    // The card size as typed or chosen: "76 x 26 mm", "52x26".
    std::string CardSize;
    bool AlwaysShowOverlapEstimate = false;
};

PrefsForm prefsFormFrom(const Preferences &state, const ModuleState &module);

// "Accept": takes the values over in the window's order.  On the first
// value that is not a number in its field's range it stops and returns
// false, naming the field and its range in `problem` and giving the field's
// object name in `field`, when given; what was taken over before stays.
bool acceptPrefs(const PrefsForm &form, Preferences &state, ModuleState &module, std::string *problem = nullptr,
                 std::string *field = nullptr);

// What a field of the window does, its range and its default, for its tooltip.
std::string prefsTooltip(const SettingDecl &decl);

} // namespace vex
