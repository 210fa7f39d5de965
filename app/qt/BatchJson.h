#pragma once
// The batch tool's results as one JSON document.

#include "app/Batch.h"
#include "model/CardRecord.h"

#include <QByteArray>

#include <vector>

namespace vex {

struct BatchCardResult {
    const CardRecord *Card = nullptr;
    int Index = 0; // the card's place in the line, 1..CardCount
    CardFigures Figures;
};

// {"cards": [...]} with every number at the full precision it is kept in;
// with a line, also "composite", "composite_range" (when a range cuts the
// line), "card_stats" and "swath".
QByteArray batchJson(const std::vector<BatchCardResult> &cards, const LineResults *line = nullptr,
                     const AnalysisSettings *settings = nullptr);

} // namespace vex
