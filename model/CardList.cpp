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

void CardList::move(int from, int to)
{
    if (from < 1 || from > count() || to < 1 || to > count() || from == to)
        return;
    const auto at = [this](int k) { return cards_.begin() + (k - 1); };
    if (from < to)
        std::rotate(at(from), at(from) + 1, at(to) + 1);
    else
        std::rotate(at(to), at(from), at(from) + 1);
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
