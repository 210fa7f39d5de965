#pragma once
// Writes a file that users keep so that it appears whole or not at all: an
// earlier file of the same name survives any failure untouched.

#include <string>

namespace vex {

// An empty string when the file was written, else the system's description.
std::string saveWholeFile(const std::string &path, const std::string &bytes);

} // namespace vex
