#pragma once
// A whole trial as the user saves it and opens it the next day: the values
// that shape the figures, and every pass with its cards and spray
// information.

#include "line/LineAnalysis.h"
#include "model/LinePass.h"

#include <vector>

namespace vex {

struct Trial {
    friend bool operator==(const Trial &, const Trial &) = default;
    // The values that shape the figures, as the analysis takes them: those
    // the settings table gives a trial column; the rest (the logs, the spray
    // information of the preferences, KeepStains) belongs to the session and
    // opens at its default.
    AnalysisSettings Settings;
    std::vector<LinePass> Passes; // one or more
    int CurrentPass = 1;          // 1-based
};

inline constexpr int TrialSchemaVersion = 3;
inline constexpr const char *TrialExtension = ".vexolin";

} // namespace vex
