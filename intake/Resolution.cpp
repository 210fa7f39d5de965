#include "intake/Resolution.h"

#include "model/CardGeometry.h"
#include "text/NumberText.h"

#include <charconv>
#include <cmath>

namespace vex {

std::int32_t recordedResolution(double pixelsPerMetreX, double pixelsPerMetreY)
{
    constexpr double MetresPerInch = 0.0254;
    const double x = pixelsPerMetreX * MetresPerInch;
    const double y = pixelsPerMetreY * MetresPerInch;
    if (!(x >= MinRecordedResolution - 0.5) || !(x < MaxRecordedResolution + 0.5) ||
        !(y >= MinRecordedResolution - 0.5) || !(y < MaxRecordedResolution + 0.5))
        return 0;
    // Pixels per metre are whole numbers in most formats: 600 dpi is stored
    // as 23622 and comes back as 599.9988.
    const auto dpiX = static_cast<std::int32_t>(std::lround(x));
    const auto dpiY = static_cast<std::int32_t>(std::lround(y));
    return dpiX == dpiY ? dpiX : 0;
}

std::int32_t resolutionForNewCard(std::int32_t defaultResolution, std::int32_t recorded, bool fromFile)
{
    return fromFile && recorded > 0 ? recorded : defaultResolution;
}

std::optional<std::int32_t> parseResolutionEntry(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    const std::string t = text.substr(first, last - first + 1);
    const char *begin = t.data();
    if (*begin == '+')
        ++begin;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, t.data() + t.size(), value);
    if (ec != std::errc() || ptr != t.data() + t.size() || !std::isfinite(value))
        return std::nullopt;
    const double whole = std::floor(value);
    if (whole <= 0 || whole > MaxResolution)
        return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

ResolutionGrid::ResolutionGrid(const CardList &cards)
{
    for (const CardRecord &card : cards.records()) {
        titles_.push_back(card.FileTitle);
        texts_.push_back(std::to_string(card.Resolution));
        current_.push_back(card.Resolution);
        entered_.push_back(card.Resolution);
        recorded_.push_back(card.RecordedResolution);
        scanned_.push_back(card.Scanned);
        changed_.push_back(false);
    }
}

std::string ResolutionGrid::recordedText(int row) const
{
    const std::int32_t recorded = recorded_.at(static_cast<std::size_t>(row));
    return recorded == 0 ? std::string() : std::to_string(recorded);
}

bool ResolutionGrid::recordedDiffers(int row) const
{
    const auto r = static_cast<std::size_t>(row);
    return recorded_.at(r) != 0 && recorded_.at(r) != entered_.at(r);
}

void ResolutionGrid::setRow(std::size_t row, std::int32_t value)
{
    texts_[row] = std::to_string(value);
    entered_[row] = value;
    if (scanned_[row] && value != current_[row]) {
        changed_[row] = true;
        anyChanged_ = true;
    } else {
        changed_[row] = false;
    }
}

bool ResolutionGrid::enter(int row, const std::string &text)
{
    if (row < 0 || row >= rowCount())
        return false;
    const std::optional<std::int32_t> value = parseResolutionEntry(text);
    if (!value)
        return false;
    setRow(static_cast<std::size_t>(row), *value);
    return true;
}

bool ResolutionGrid::applyToAll(int row)
{
    if (row < 0 || row >= rowCount())
        return false;
    const std::optional<std::int32_t> value = parseResolutionEntry(texts_[static_cast<std::size_t>(row)]);
    if (!value)
        return false;
    for (std::size_t r = 0; r < texts_.size(); ++r)
        setRow(r, *value);
    return true;
}

void ResolutionGrid::accept(CardList &cards) const
{
    for (int i = 1; i <= cards.count() && i <= rowCount(); ++i) {
        const std::int32_t value =
            parseResolutionEntry(texts_[static_cast<std::size_t>(i - 1)]).value_or(cards[i].Resolution);
        applyResolution(cards[i], value);
    }
}

std::vector<int> ResolutionGrid::cardsToReanalyse() const
{
    std::vector<int> cards;
    for (std::size_t r = 0; r < changed_.size(); ++r)
        if (changed_[r])
            cards.push_back(static_cast<int>(r) + 1);
    return cards;
}

CardInfoTexts cardInfoTexts(const CardRecord &card, bool metric)
{
    CardInfoTexts t;
    t.Resolution1 = formatFixed(card.PixelSizeX, 1) + " " + MicroSign + "m/pixel";
    t.Resolution2 = std::to_string(card.Resolution) + " d.p.i.";
    t.Size1 = std::to_string(card.ImageWidth) + TimesSign + std::to_string(card.ImageHeight) + " pixels";
    if (metric) {
        t.Size2 = formatFixed(card.ImageWidth * card.PixelSizeX / 10000.0, 2) + TimesSign +
                  formatFixed(card.ImageHeight * card.PixelSizeY / 10000.0, 2) + " cm";
        t.Area = formatFixed(card.CardArea, 2) + " cm " + SuperscriptTwo;
    } else {
        const double dpi = card.Resolution > 0 ? card.Resolution : 1;
        t.Size2 =
            formatFixed(card.ImageWidth / dpi, 2) + TimesSign + formatFixed(card.ImageHeight / dpi, 2) + " inches";
        const double inchesPerCm = 3.2808 * 12.0 / 100.0;
        t.Area = formatFixed(card.CardArea * inchesPerCm * inchesPerCm, 2) + " inches " + SuperscriptTwo;
    }
    return t;
}

} // namespace vex
