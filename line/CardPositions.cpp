#include "line/CardPositions.h"

#include "line/SprayInfoSettings.h"

#include "text/NumberText.h"

#include <cmath>
#include <map>

namespace vex {

float positionValue(const std::string &text)
{
    const std::optional<double> v = parseNumber(text);
    return v ? static_cast<float>(*v) : 0.0f;
}

bool positionSound(double position)
{
    return std::isfinite(position) && std::fabs(position) <= PositionLimit;
}

bool spacingSound(double spacing)
{
    return positionSound(spacing) && spacing != 0.0;
}

bool cardPositionsSound(double position1, double spacing)
{
    if (!positionSound(position1) || !spacingSound(spacing))
        return false;
    const auto first = static_cast<float>(position1);
    return first + static_cast<float>(spacing) != first;
}

std::string cardPositionsProblem(double position1, double spacing)
{
    if (!positionSound(position1))
        return "card 1's position must lie within a million units of the flight line";
    if (!spacingSound(spacing))
        return "the card spacing must not be 0 and lie within a million units";
    if (cardPositionsSound(position1, spacing))
        return {};
    const auto first = static_cast<float>(position1);
    const float step = std::nextafter(first, std::fabs(first) == first ? HUGE_VALF : -HUGE_VALF) - first;
    return "a spacing of " + significantText(spacing, 6) + " is too fine to tell the cards apart at " +
           significantText(position1, 7) + ", where positions are kept in steps of " +
           significantText(std::fabs(step), 6);
}

std::pair<std::string, std::string> storedCardPositions(SettingsStore &store, std::vector<std::string> &reset)
{
    auto stored = [&](int entry, const char *fallback, bool spacing) {
        const std::string text = readSetting(store, SprayInfoSection, sprayInfoKey(entry), fallback);
        const std::optional<double> v = parseNumber(text);
        if (v && (spacing ? spacingSound(*v) : positionSound(*v)))
            return text;
        if (text.find_first_not_of(' ') != std::string::npos)
            reset.push_back(std::string(SprayInfoSection) + "/" + sprayInfoKey(entry) + " = " + text);
        return std::string(fallback);
    };
    std::pair<std::string, std::string> both = {stored(Sample_Position1, "-50", false),
                                                stored(Sample_Interval, "10", true)};
    if (!cardPositionsSound(positionValue(both.first), positionValue(both.second))) {
        reset.push_back(std::string(SprayInfoSection) + "/" + sprayInfoKey(Sample_Interval) + " = " + both.second);
        both.second = "10";
    }
    return both;
}

float defaultCardPosition(const SprayInfo &spray, int card)
{
    const float first = positionValue(spray[Sample_Position1]);
    const float spacing = positionValue(spray[Sample_Interval]);
    return first + static_cast<float>(card - 1) * spacing;
}

void assignCardPositions(CardList &cards, const SprayInfo &spray)
{
    for (int i = 1; i <= cards.count(); ++i)
        cards[i].Position = cards[i].PositionEdited ? cards[i].EditedPosition : defaultCardPosition(spray, i);
}

int linePositionDecimals(const CardList &cards, const SprayInfo &spray)
{
    for (const CardRecord &card : cards.records())
        if (card.PositionEdited && std::isfinite(card.EditedPosition) &&
            card.EditedPosition != std::trunc(card.EditedPosition))
            return 1;
    return positionDecimals(spray[Sample_Position1], spray[Sample_Interval]);
}

std::optional<std::pair<int, int>> firstDuplicatePosition(const CardList &cards)
{
    // The first card that shares its place with a later one, and the first
    // such later one: the pair a search of every pair would meet first.
    std::map<float, std::pair<int, int>> seen; // position: first card, second card
    for (int i = 1; i <= cards.count(); ++i) {
        const float position = cards[i].Position;
        if (std::isnan(position) || cards[i].Excluded)
            continue;
        auto [at, added] = seen.try_emplace(position, i, 0);
        if (!added && at->second.second == 0)
            at->second.second = i;
    }
    std::optional<std::pair<int, int>> first;
    for (const auto &[position, pair] : seen)
        if (pair.second != 0 && (!first || pair.first < first->first))
            first = pair;
    return first;
}

CardPosValues cardPosOpening(const SprayInfo &spray, SettingsStore &store)
{
    std::vector<std::string> unsound; // told at start already
    const std::pair<std::string, std::string> stored = storedCardPositions(store, unsound);
    CardPosValues v;
    v.Position1 = positionValue(!spray[Sample_Position1].empty() ? spray[Sample_Position1] : stored.first);
    v.Spacing = positionValue(!spray[Sample_Interval].empty() ? spray[Sample_Interval] : stored.second);
    return v;
}

int positionDecimals(const std::string &position1Text, const std::string &spacingText)
{
    auto endsInZero = [](const std::string &t) { return !t.empty() && t.back() == '0'; };
    return endsInZero(position1Text) && endsInZero(spacingText) ? 0 : 1;
}

std::string editPositionBox(const std::string &text, float &value, bool spacing)
{
    const std::optional<double> v = parseNumber(text);
    if (v && (spacing ? *v > 0.0 && spacingSound(*v) : positionSound(*v))) {
        value = static_cast<float>(*v);
        return text;
    }
    return formatFixed(value, 1);
}

std::string cardPositionText(const CardPosValues &values, int card, int decimals)
{
    return formatFixed(values.Position1 + static_cast<float>(card - 1) * values.Spacing, decimals);
}

std::vector<CardPlace> cardPlaces(const CardList &cards)
{
    std::vector<CardPlace> places;
    for (int i = 1; i <= cards.count(); ++i)
        places.push_back({i, cards[i].FileTitle, cards[i].PositionEdited, cards[i].EditedPosition, cards[i].Excluded});
    return places;
}

std::string cardPlaceText(const CardPosValues &values, const CardPlace &place, int row, int decimals)
{
    return place.Edited ? formatFixed(place.Position, decimals) : cardPositionText(values, row, decimals);
}

bool editCardPlace(const std::string &text, CardPlace &place)
{
    if (text.find_first_not_of(' ') == std::string::npos) {
        const bool changed = place.Edited;
        place.Edited = false;
        return changed;
    }
    const std::optional<double> v = parseNumber(text);
    if (!v || !positionSound(*v))
        return false;
    const bool changed = !place.Edited || place.Position != static_cast<float>(*v);
    place.Edited = true;
    place.Position = static_cast<float>(*v);
    return changed;
}

int placeDecimals(const std::vector<CardPlace> &places, const std::string &position1Text,
                  const std::string &spacingText)
{
    for (const CardPlace &p : places)
        if (p.Edited && p.Position != std::trunc(p.Position))
            return 1;
    return positionDecimals(position1Text, spacingText);
}

bool applyCardPlaces(CardList &cards, const std::vector<CardPlace> &places)
{
    // Only a reordering of the cards there are is taken.
    std::vector<bool> seen(places.size() + 1, false);
    for (const CardPlace &p : places) {
        if (p.Card < 1 || p.Card > cards.count() || seen[static_cast<std::size_t>(p.Card)])
            return false;
        seen[static_cast<std::size_t>(p.Card)] = true;
    }
    if (places.size() != static_cast<std::size_t>(cards.count()))
        return false;
    bool moved = false;
    std::vector<CardRecord> ordered;
    ordered.reserve(places.size());
    for (std::size_t row = 0; row < places.size(); ++row) {
        const CardPlace &p = places[row];
        moved = moved || p.Card != static_cast<int>(row) + 1;
        ordered.push_back(std::move(cards[p.Card]));
        ordered.back().PositionEdited = p.Edited;
        ordered.back().EditedPosition = p.Position;
        ordered.back().Excluded = p.Excluded;
    }
    cards.records() = std::move(ordered);
    return moved;
}

} // namespace vex
