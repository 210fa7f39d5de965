#include "model/CardList.h"

#include <algorithm>

namespace vex {

int CardList::add(CardRecord card)
{
    cards_.push_back(std::move(card));
    return count();
}

void CardList::remove(int k)
{
    if (k < 1 || k > count())
        return;
    cards_.erase(cards_.begin() + (k - 1));
}

int currentAfterClose(int k, int count)
{
    if (count <= 0)
        return 1;
    return k <= count ? std::max(k, 1) : count;
}

int nextCard(int current, int count)
{
    if (count <= 0)
        return 1;
    return current >= count ? 1 : current + 1;
}

int previousCard(int current, int count)
{
    if (count <= 0)
        return 1;
    return current <= 1 ? count : current - 1;
}

float maxScannedDiameter(const CardList &cards)
{
    float largest = 0.0f;
    for (const CardRecord &card : cards.records())
        if (card.Scanned)
            largest = std::max(largest, card.LargestDiameter);
    return largest;
}

} // namespace vex
