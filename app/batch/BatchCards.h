#pragma once
// The cards of a batch run: each analysed on a worker, then taken in card
// order on the main thread, which writes the scan logs, says what there is
// to say and gathers the results into the run.

#include "app/batch/BatchInputs.h"
#include "app/batch/BatchRun.h"
#include "app/batch/OrderedPool.h"
#include "app/batch/ProgressLine.h"

#include <QByteArray>

#include <atomic>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vex::batch {

// What a worker makes of one card: everything the main thread needs to
// report it as a run of one job would.
struct AnalysedCard {
    // Said of the card before its analysis, in that order, each after the
    // program's name.
    std::vector<std::string> Said;
    std::unique_ptr<CardRecord> Card; // none when the card could not be opened
    CardFigures Figures;
    // With --json, the card's text in the document, made on the worker: the
    // intervals of a large card take as long as its scan.
    QByteArray Json;
    // With --find-cards: a card found in a picture tells where it came
    // from, and a picture holds the cards found in it (and no Card).
    std::optional<FoundCardSource> Source;
    std::vector<AnalysedCard> Found;
};

using CardPool = OrderedPool<AnalysedCard>;

// Qt's allocation limit is one for the whole process and the picture
// readers raise it on their first read; raised before there is more than
// one thread, they only ever read it.
void raisePictureAllocationLimit();

// The card file at `path` opened and analysed with `settings` (which write
// no log), telling in `share` how far it has got.
AnalysedCard analyseCardFile(const std::string &path, const AnalysisSettings &settings, const BatchOptions &options,
                             std::atomic<int> &share);

// Takes the cards of `paths` from `pool` in order into `run`; a card that
// ran out of memory on a worker is tried once more with `analyse`.  The
// exit code so far: 1 when any card or its log failed.
int collectCards(CardPool &pool, const CardPool::Make &analyse, const CardPaths &paths, const BatchOptions &options,
                 ProgressLine::Clock::time_point started, ProgressLine &progress, BatchRun &run);

} // namespace vex::batch
