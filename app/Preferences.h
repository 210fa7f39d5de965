#pragma once
// The preferences window's rules, free of widgets: what its boxes show,
// what a typed key does to a numeric box, what leaving a box restores, and
// how "Accept" takes the values over.

#include "app/AppState.h"

#include <optional>
#include <string>

namespace vex {

// A number as the boxes accept it: blanks around it, an optional sign,
// digits with at most one point, an optional exponent.
std::optional<double> parseNumber(const std::string &text);

// The pixel size read-out beside the resolution box: "= 12.70 µm/pixel",
// or "=" alone when the text is not a number or its whole value is zero or
// above 32500.
std::string conversionLabelText(const std::string &resolutionText);

// A spread coefficient as its box shows it: "0.00##########".
std::string formatCoefficient(double value);

// The box texts after leaving them.
std::string coefficientOnLeave(const std::string &text, double current);
std::string thresholdOnLeave(const std::string &text, std::uint8_t current);

// What one typed character does to a numeric box.
struct KeyEdit {
    enum class Kind { Pass, Discard, Replace } What = Kind::Discard;
    std::string Text; // Replace: the new text
    int Caret = 0;    // Replace: the caret position in it
};
// `selectionStart` and `selectionLength` in characters (the boxes hold
// ASCII); a caret without selection has length 0.  Backspace is character 8.
KeyEdit numericKey(const std::string &text, int selectionStart, int selectionLength, char32_t key,
                   bool allowDecimal, bool allowMinus);

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
};

PrefsForm prefsFormFrom(const MainWindowState &state, const ModuleState &module);

// "Accept": takes the values over in the window's order.  On the first
// value that does not convert it stops and returns false; what was taken
// over before stays.
bool acceptPrefs(const PrefsForm &form, MainWindowState &state, ModuleState &module);

} // namespace vex
