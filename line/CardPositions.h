#pragma once
// Where each card lay along the spray line: card 1's position and the card
// spacing, taken in the order the cards were loaded, and the rules of the
// Card Positions window.

#include "model/CardList.h"
#include "model/SprayInfo.h"
#include "text/Settings.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vex {

// The text read as a 32-bit number, 0 when it is not one.
float positionValue(const std::string &text);

// Positions and spacings Vexolin can place cards with: within a million
// units of the flight line, and a spacing that is not 0.
inline constexpr double PositionLimit = 1.0e6;
bool positionSound(double position);
bool spacingSound(double spacing);
// Both sound, and card 2 apart from card 1: a spacing finer than a 32-bit
// position can tell apart at card 1 puts every card in one place.
bool cardPositionsSound(double position1, double spacing);
// Why they are not, for a message; empty when they are.
std::string cardPositionsProblem(double position1, double spacing);

// Card 1's position and the spacing the program has stored, each that is
// missing or unsound giving -50 and 10; unsound ones are listed in `reset`.
std::pair<std::string, std::string> storedCardPositions(SettingsStore &store, std::vector<std::string> &reset);

// Where card i lies when no position was typed for it: card 1 position +
// (i - 1) x spacing.
float defaultCardPosition(const SprayInfo &spray, int card);

// Every card at its default position, or at the one typed for it.
// (AssignCardPositions in the old design.)
void assignCardPositions(CardList &cards, const SprayInfo &spray);

// Decimals of the positions shown and written: those of the two texts
// (positionDecimals), but one whenever a position typed for a card has a
// fraction, which whole numbers would hide.
int linePositionDecimals(const CardList &cards, const SprayInfo &spray);

// The first pair of cards (i < j) at exactly the same position; cards left
// out of the line do not count.
std::optional<std::pair<int, int>> firstDuplicatePosition(const CardList &cards);

inline constexpr const char *DuplicatePositionsMessage = "There are two or more cards with the same position.";

// The Card Positions window's two values while it is open.
struct CardPosValues {
    float Position1 = -50.0f;
    float Spacing = 10.0f;
};

// What the window opens with: the values in memory when set, else the
// stored ones, else -50 and 10.
CardPosValues cardPosOpening(const SprayInfo &spray, SettingsStore &store);

// Decimals of the positions in the grid: 0 when both box texts end in "0".
int positionDecimals(const std::string &position1Text, const std::string &spacingText);

// Leaving a box: a number (for the spacing, above 0) is taken, anything else
// gives the box the current value back.  Returns the box's new text.
std::string editPositionBox(const std::string &text, float &value, bool spacing);

// The grid's position text of card i.
std::string cardPositionText(const CardPosValues &values, int card, int decimals);

// A row of the Card Positions window: which card, a position typed for it,
// and whether it is left out of the line.  Rows are in line order.
struct CardPlace {
    int Card = 0; // the card's index when the window opened
    std::string Title;
    bool Edited = false;
    float Position = 0.0f;
    bool Excluded = false;
};
std::vector<CardPlace> cardPlaces(const CardList &cards);

// The row's position text: the typed one, else the default of its rank.
std::string cardPlaceText(const CardPosValues &values, const CardPlace &place, int row, int decimals);

// A position typed into a row: an empty text returns the card to the
// default of its rank; a sound number is taken; anything else changes
// nothing.  True when the row changed.
bool editCardPlace(const std::string &text, CardPlace &place);

// Decimals of the rows: those of the two box texts, but one whenever a
// typed position has a fraction.
int placeDecimals(const std::vector<CardPlace> &places, const std::string &position1Text,
                  const std::string &spacingText);

// Puts the cards in the rows' order and gives them the rows' typed
// positions and exclusions.  True when the line order changed.
bool applyCardPlaces(CardList &cards, const std::vector<CardPlace> &places);

inline constexpr const char *ExcludedCardsNote =
    "A card left out counts as no card: its drops are not pooled, and the swath analysis interpolates over its place.";

} // namespace vex
