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

// One stain's row as the window shows it under the pointer: its number in
// the table, outcome, area and diameters, with the figures of its CSV row.
std::string stainRowText(const StainRecord &stain, std::size_t number, double pixelSizeX,
                         const std::array<double, 3> &spread);

} // namespace vex
