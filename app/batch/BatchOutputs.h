#pragma once
// What a batch run writes: a line per card and one for the line on
// standard output, or the JSON document there; the results file, the stain
// table, the report and the saved trial where the options ask for them.

#include "app/Batch.h"
#include "app/batch/BatchRun.h"

#include <cstddef>

namespace vex::batch {

// The card's line on standard output.
void printCard(const BatchCardResult &result);

// Every output the options ask for, in turn, of `line` analysed from
// `run`; a file that cannot be written is told and the others are still
// written.  `threads` is the most the bootstrap of the JSON document may use.  False
// when anything failed.
bool writeOutputs(const BatchOptions &options, BatchRun &run, const LineResults &line, std::size_t threads);

} // namespace vex::batch
