#pragma once
// The temporary images the program keeps in its folder, and their removal.

#include <string>
#include <vector>

namespace vex {

// True for "clip*.bmp", letters in any case.
bool isClipFileName(const std::string &name);

// Deletes every clip*.bmp in dir.  Returns the files that could not be deleted.
std::vector<std::string> removeClipFiles(const std::string &dir);

// Deletes the fixed temporary images and every clip*.bmp in dir.  A file that
// cannot be deleted is left behind and named in the result.
std::vector<std::string> removeTemporaryFiles(const std::string &dir);

} // namespace vex
