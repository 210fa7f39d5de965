#pragma once
// The cards of a trial in the order of the card strip, and the rules of
// moving through them.

#include "model/CardRecord.h"

#include <vector>

namespace vex {

// The cards in the order of the card strip, addressed 1..count().
class CardList {
public:
    friend bool operator==(const CardList &, const CardList &) = default;
    int count() const { return static_cast<int>(cards_.size()); }
    bool empty() const { return cards_.empty(); }

    CardRecord &operator[](int index) { return cards_.at(static_cast<std::size_t>(index - 1)); }
    const CardRecord &operator[](int index) const { return cards_.at(static_cast<std::size_t>(index - 1)); }

    // Appends at the end; returns the new card's index.
    int add(CardRecord card);
    // Removes card k; the records after it move down by one.
    void remove(int k);
    void clear() { cards_.clear(); }
    // Takes card `from` out and puts it in at `to`; the cards between
    // close up.
    void move(int from, int to);

    std::vector<CardRecord> &records() { return cards_; }
    const std::vector<CardRecord> &records() const { return cards_; }

private:
    std::vector<CardRecord> cards_;
};

// The card that is current after card k was closed and count cards are left.
int currentAfterClose(int k, int count);
// Next and previous card with wrap-around; 1 when there is no card.
int nextCard(int current, int count);
int previousCard(int current, int count);

// The greatest LargestDiameter of the scanned cards, 0 when none is scanned.
float maxScannedDiameter(const CardList &cards);

} // namespace vex
