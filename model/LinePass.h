#pragma once
// One pass of the aircraft over the line of cards: its cards, in line
// order, and its own spray information (positions included).  A trial
// holds one or more passes over the same line.

#include "model/CardList.h"
#include "model/SprayInfo.h"

#include <string>

namespace vex {

struct LinePass {
    friend bool operator==(const LinePass &, const LinePass &) = default;
    std::string Name; // "Pass 1" unless the user named it
    CardList Cards;
    SprayInfo Spray;
    // Taken into the mean of passes.
    bool InMean = true;
    // Cards were moved by hand: a load adds new cards at the end, in name
    // order among themselves, instead of sorting the line again.
    bool OrderEdited = false;
};

// "Pass 1", "Pass 2", ...
inline std::string defaultPassName(int number)
{
    return "Pass " + std::to_string(number);
}

} // namespace vex
