#pragma once
// The batch tool's results as one JSON document.

#include "app/Batch.h"
#include "line/LineBootstrap.h"
#include "line/PassMean.h"
#include "model/CardRecord.h"

#include <QByteArray>

#include <optional>
#include <vector>

namespace vex {

// Where a card found in a picture came from, and what its picture can show.
struct FoundCardSource {
    std::string File; // the picture
    int Index = 0;    // 1-based, in reading order
    std::array<PicturePoint, 4> Corners;
    std::int32_t ResolutionDpi = 0;
    double SmallestStainUm = 0.0;
    double SmallestDropUm = 0.0;
    std::vector<std::string> Warnings;
    // Stains of touching drops that the photo segmentation cut apart; none
    // for a card cut from a scan as it lies.
    std::optional<std::int64_t> TouchingCut;
};

struct BatchCardResult {
    const CardRecord *Card = nullptr;
    int Index = 0; // the card's place in the line, 1..CardCount
    CardFigures Figures;
    int Pass = 0; // in a mean of passes, the card's pass (1-based)
    // Worked out beforehand, on the thread that analysed the card; when
    // not, batchJson works them out.
    std::optional<CardIntervals> Intervals;
    std::optional<FoundCardSource> Source; // a card found with --find-cards
};

// {"cards": [...]} with every number at the full precision it is kept in;
// with a line, also "composite", "composite_range" (when a range cuts the
// line), "card_stats" and "swath".  With `mean`, the line is that mean of
// passes (`line` its Line): "card_stats" gives its points.
// With settings->Bootstrap replicates, each card gets the 95 % intervals of
// its VMD, Dv0.1, Dv0.9 and drop density, and with `intervals` the line
// those of its VMD, drop density and the deposit COV of the chosen width.
QByteArray batchJson(const std::vector<BatchCardResult> &cards, const LineResults *line = nullptr,
                     const AnalysisSettings *settings = nullptr, const PassMean *mean = nullptr,
                     const LineIntervals *intervals = nullptr);

// The same document in parts, so that a run of thousands of cards need not
// hold it whole: Head, then each card's text in order with a comma before
// all but the first, then Tail.  The cards' texts may be made as the cards
// are analysed; `cards` is only read for what the rest of the document says
// of them.
struct BatchJsonFrame {
    QByteArray Head;
    QByteArray Tail;
};
BatchJsonFrame batchJsonFrame(const std::vector<BatchCardResult> &cards, const LineResults *line,
                              const AnalysisSettings *settings, const PassMean *mean, const LineIntervals *intervals);
// One card's text in the "cards" list, with settings->Bootstrap (or
// `replicates`) for its intervals.
QByteArray batchCardJson(const BatchCardResult &card, int replicates, const AnalysisSettings *settings = nullptr);

} // namespace vex
