#pragma once
// Numbers as text, both ways, and the unit signs, shared by the labels, the
// logs, the results file and the report, so that every place shows and reads
// a value the same way, whatever the user's locale.

#include <optional>
#include <string>

namespace vex {

// A number as the boxes accept it: blanks around it, an optional sign,
// digits with at most one point, an optional exponent.
std::optional<double> parseNumber(const std::string &text);

// The value with exactly `decimals` digits after the point ("0", "0.0", "0.00"...).
std::string formatFixed(double value, int decimals);

// At least minDecimals and at most maxDecimals digits, trailing zeros beyond
// the minimum dropped ("0.0#" is formatOptional(v, 1, 2)).
std::string formatOptional(double value, int minDecimals, int maxDecimals);

// A spread coefficient as its box shows it: "0.00##########".
std::string formatCoefficient(double value);

// The value rounded to `digits` significant digits, in plain decimal
// notation (never an exponent), without trailing zeros: 0.56, 10, 0.00001.
std::string significantText(double value, int digits);

// How many characters a UTF-8 text holds: the columns it takes in a file
// written in a single-byte code page.
std::size_t textLength(const std::string &utf8);

// The characters the program writes as single Windows-1252 bytes, here in UTF-8.
inline constexpr const char *MicroSign = "\u00b5";
inline constexpr const char *TimesSign = "\u00d7";
inline constexpr const char *SuperscriptTwo = "\u00b2";

} // namespace vex
