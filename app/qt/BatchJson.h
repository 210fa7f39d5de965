#pragma once
// The batch tool's results as one JSON document.

#include "app/Batch.h"
#include "app/CardRecord.h"

#include <QByteArray>

#include <vector>

namespace vex {

struct BatchCardResult {
    const CardRecord *Card = nullptr;
    CardFigures Figures;
};

// {"cards": [...]} with every number at the full precision it is kept in.
QByteArray batchJson(const std::vector<BatchCardResult> &cards);

} // namespace vex
