#pragma once
// What a batch run gathers on its way from the command line to its
// outputs: each step fills its part.

#include "app/batch/OutputSpool.h"
#include "app/qt/BatchJson.h"
#include "line/LineAnalysis.h"
#include "line/PassMean.h"
#include "trial/Trial.h"

#include <string>
#include <vector>

namespace vex::batch {

struct BatchRun {
    AnalysisSettings Settings;
    CardList Cards;
    // What is reported of each card, in order; a result points at its
    // record only once all have found their places.
    std::vector<BatchCardResult> Results;
    // The trial reported, or the run as a trial to save.
    vex::Trial Trial;
    std::vector<int> Reported;                         // the trial's passes reported, 1-based
    std::vector<std::string> LogOfCard{std::string()}; // by card index, from 1
    std::string StainTable;
    OutputSpool CardTexts; // the cards' part of the JSON document, in card order
    PassMean Mean;
};

} // namespace vex::batch
