#pragma once
// Texts that come from outside (file names, typed spray information) may
// hold control characters: a carriage return or an escape sequence that a
// terminal obeys, a line break that would end a line of a file in the
// middle of a value.  These make them harmless where they are shown.

#include <string>
#include <string_view>

namespace vex {

// For a terminal: each control character (C0, DEL, and C1 in UTF-8)
// written as an escape ("\r", "\n", "\t", "\x1b", "\u009b"), and each byte
// that is not UTF-8 as "\xNN"; everything else as it is.
std::string escapedControls(std::string_view text);

// For a line of a file: each line break (CR LF counting once) and each
// other control character becomes a blank, so that the text stays on the
// line it is written on.
std::string oneLineText(std::string_view text);

} // namespace vex
