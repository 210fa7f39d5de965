#include "line/CardPositions.h"

#include "app/Preferences.h"
#include "app/Units.h"

#include <cmath>

namespace vex {

float positionValue(const std::string &text)
{
    const std::optional<double> v = parseNumber(text);
    return v ? static_cast<float>(*v) : 0.0f;
}

void AssignCardPositions(CardList &cards, const SprayInfo &spray)
{
    const float first = positionValue(spray[Sample_Position1]);
    const float spacing = positionValue(spray[Sample_Interval]);
    for (int i = 1; i <= cards.CardCount(); ++i)
        cards[i].Position = first + static_cast<float>(i - 1) * spacing;
}

std::optional<std::pair<int, int>> firstDuplicatePosition(const CardList &cards)
{
    for (int i = 1; i <= cards.CardCount(); ++i)
        for (int j = i + 1; j <= cards.CardCount(); ++j)
            if (cards[i].Position == cards[j].Position)
                return std::make_pair(i, j);
    return std::nullopt;
}

CardPosValues cardPosOpening(const SprayInfo &spray, SettingsStore &store)
{
    auto pick = [&store](const std::string &inMemory, int entry, const char *fallback) {
        if (!inMemory.empty())
            return positionValue(inMemory);
        return positionValue(readSetting(store, SprayInfoSection, sprayInfoKey(entry), fallback));
    };
    CardPosValues v;
    v.Position1 = pick(spray[Sample_Position1], Sample_Position1, "-50");
    v.Spacing = pick(spray[Sample_Interval], Sample_Interval, "10");
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
    if (v && (!spacing || *v > 0.0) && std::isfinite(static_cast<float>(*v))) {
        value = static_cast<float>(*v);
        return text;
    }
    return formatFixed(value, 1);
}

std::string cardPositionText(const CardPosValues &values, int card, int decimals)
{
    return formatFixed(values.Position1 + static_cast<float>(card - 1) * values.Spacing, decimals);
}

} // namespace vex
