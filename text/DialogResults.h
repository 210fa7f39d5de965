#pragma once
// The results a file dialog hands back, in the form the rest of the program
// reads: one full path, or for several files the folder followed by the names,
// each part ended by character 0.

#include <string>
#include <vector>

namespace vex {

struct FilterPair {
    std::string Description;
    std::string Patterns; // "*.bmp;*.gif"
};

// Splits "desc|pattern|desc|pattern".  A trailing description without a
// pattern is dropped.
std::vector<FilterPair> parseFilter(const std::string &filter);

// The filter as a file dialog shows it: "desc (*.a *.b)".
std::string dialogNameFilter(const FilterPair &pair);

// The extension a save dialog adds for this filter: "csv" for "*.csv", or
// `fallback` when the first pattern is no plain "*.ext".
std::string filterSuffix(const FilterPair &pair, const std::string &fallback);

struct FileDialogResult {
    std::string FileName;
    std::string FileTitle; // empty when several files were chosen
    std::string Path;      // folder, without trailing separator
};

// Builds the result from the chosen full paths (never empty).
FileDialogResult composeFileResult(const std::vector<std::string> &chosen);

// The full paths that a FileName result stands for.
std::vector<std::string> splitFileResult(const std::string &fileName);

} // namespace vex
