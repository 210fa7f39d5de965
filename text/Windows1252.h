#pragma once
// The single-byte code page every file the program writes is in.

#include <string>

namespace vex {

// UTF-8 to Windows-1252; what the code page cannot hold, and malformed
// UTF-8, becomes '?'.
std::string toWindows1252(const std::string &utf8);

} // namespace vex
