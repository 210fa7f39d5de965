#pragma once
// The batch tool's words on the terminal: messages on one line, paths as
// they are shown, failures in words for the user.

#include <exception>
#include <string>

namespace vex::batch {

// A message on one line of the terminal: its own line breaks as blanks,
// any other control character (of a path, a typed text) escaped.
std::string onOneLine(std::string message);

// A path or a typed text as the terminal shows it: a carriage return in a
// file's name must not redraw the line.
std::string shown(const std::string &text);

// What an exception says, in words for the user.
std::string failureText(const std::exception_ptr &failure);

// `message` and the usage text on standard error; the exit code of a
// command line the tool cannot run.
int usageError(const std::string &message);

} // namespace vex::batch
