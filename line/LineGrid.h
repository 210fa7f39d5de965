#pragma once
// The line as the swath analysis samples it: the figures at whole card
// spacings from the first card of the line.  A line of cards at their
// default places is its own grid; where positions were typed or cards left
// out, the figures between the cards that count are interpolated onto the
// grid.

#include "model/CardList.h"
#include "model/CardStat.h"
#include "model/SprayInfo.h"

#include <string>
#include <vector>

namespace vex {

struct LineGrid {
    float Position1 = 0.0f; // where point 1 lies
    float Interval = 0.0f;
    std::vector<CardStat> Stats; // points 1..N (element 0 unused)
    // One point per card, at the card: the figures are the cards' own.
    bool Regular = true;
    // Why the line has no grid (the cards lie too far apart for their
    // spacing); empty otherwise.
    std::string Problem;

    int points() const { return Stats.empty() ? 0 : static_cast<int>(Stats.size()) - 1; }
};

// More points than this stand for a typing error, not a line of cards:
// MaxGridPoints in all, and GridPointsPerCard for each card of the line
// and one more.  The swath analysis costs the square of the points, so
// its time follows the number of cards, not how far apart they were typed.
inline constexpr int MaxGridPoints = 20000;
inline constexpr int GridPointsPerCard = 20;
int maxGridPoints(int cards);

// `stats` as fillCardStats gives them (1..CardCount), the positions as
// assignCardPositions left them.
LineGrid lineGrid(const CardList &cards, const std::vector<CardStat> &stats, const SprayInfo &spray);

// Figures at positions (ascending, distinct) taken onto points start,
// start + interval, ... up to the last position, linear between positions.
std::vector<CardStat> interpolateOntoGrid(const std::vector<double> &positions, const std::vector<CardStat> &figures,
                                          double start, double interval, int points);

} // namespace vex
