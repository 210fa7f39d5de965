#pragma once
// Correcting the scan resolution of the cards: the grid of the resolution
// window as plain data, and the card information texts.

#include "model/CardList.h"
#include "model/SprayInfo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vex {

// Resolutions a file may record that are taken as a scan's: below and above
// these they are placeholders (72 dpi screens are within, and shown) or junk.
inline constexpr std::int32_t MinRecordedResolution = 50;
inline constexpr std::int32_t MaxRecordedResolution = 10000;

// The resolution a file records, in dpi, from its pixels per metre: 0 unless
// both directions give the same whole dpi within the limits above.
std::int32_t recordedResolution(double pixelsPerMetreX, double pixelsPerMetreY);

// The resolution a new card gets: the recorded one when asked for and there
// is one, else the default.
std::int32_t resolutionForNewCard(std::int32_t defaultResolution, std::int32_t recorded, bool fromFile);

// The whole-number value of a typed resolution when it is a positive number
// (no larger than the largest resolution a card may have); nothing otherwise.
std::optional<std::int32_t> parseResolutionEntry(const std::string &text);

// The grid of the resolution window while it is open: one row per card in
// card order (row 0 is card 1).  Cards change only on accept().
class ResolutionGrid {
public:
    explicit ResolutionGrid(const CardList &cards);

    int rowCount() const { return static_cast<int>(texts_.size()); }
    const std::string &fileTitle(int row) const { return titles_.at(static_cast<std::size_t>(row)); }
    const std::string &text(int row) const { return texts_.at(static_cast<std::size_t>(row)); }
    // Shown in red: a scanned card whose entered resolution differs from its own.
    bool changed(int row) const { return changed_.at(static_cast<std::size_t>(row)); }
    // Once set it stays set while the window is open.
    bool anyChanged() const { return anyChanged_; }
    // The resolution the card's file records, empty when none; shown in red
    // while it differs from the row's resolution, so that a mismatch is
    // never silent.
    std::string recordedText(int row) const;
    bool recordedDiffers(int row) const;

    // An edit of row's resolution; false (cell unchanged) when the text is
    // not a positive number.
    bool enter(int row, const std::string &text);
    // Writes the text of row into every row.
    bool applyToAll(int row);

    // Gives every card the resolution of its row, with pixel size and area.
    void accept(CardList &cards) const;
    // The cards (1-based) to measure again after accept, in card order.
    std::vector<int> cardsToReanalyse() const;

private:
    void setRow(std::size_t row, std::int32_t value);

    std::vector<std::string> titles_;
    std::vector<std::string> texts_;
    std::vector<std::int32_t> current_;
    std::vector<std::int32_t> entered_;
    std::vector<std::int32_t> recorded_;
    std::vector<bool> scanned_;
    std::vector<bool> changed_;
    bool anyChanged_ = false;
};

inline constexpr const char *ReanalyseQuestion =
    "You have changed the resolution for one\ror more analysed images. (shown in red)\r\r"
    "You will have to re-analyse these images\rfor the drop size statistics to be correct.\r\r"
    "Would you like to re-analyse these now?";

// The lines of the card information window.
struct CardInfoTexts {
    std::string Resolution1;
    std::string Resolution2;
    std::string Size1;
    std::string Size2;
    std::string Area;
};
CardInfoTexts cardInfoTexts(const CardRecord &card, bool metric);

} // namespace vex
