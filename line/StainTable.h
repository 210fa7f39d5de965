#pragma once
// The stain table: every stain of a card, accepted or rejected, one CSV row
// each, for those who want to check the scan's decisions stain by stain.

#include "analysis/StainScan.h"
#include "model/CardRecord.h"

#include <array>
#include <string>
#include <vector>

namespace vex {

std::string stainTableHeader();

// The rows of one card, its file title first on every row; diameters from
// the card's pixel size and the spread factor.
std::string stainTableRows(const CardRecord &card, const std::vector<StainRecord> &stains,
                           const std::array<double, 3> &spread);

const char *stainOutcomeText(StainOutcome outcome);

} // namespace vex
