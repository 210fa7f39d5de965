#include "analysis/StainMap.h"

#include <algorithm>

namespace vex {

OutlineCode outlineCode(StainOutcome outcome)
{
    return static_cast<OutlineCode>(static_cast<std::uint8_t>(outcome) + 1);
}

StainMap::StainMap(std::vector<StainRun> runs, std::vector<StainRecord> stains)
    : runs_(std::move(runs)), stains_(std::move(stains))
{
    std::sort(runs_.begin(), runs_.end(),
              [](const StainRun &a, const StainRun &b) { return a.Row != b.Row ? a.Row < b.Row : a.First < b.First; });
    if (runs_.empty())
        return;
    firstRow_ = runs_.front().Row;
    const auto rows = static_cast<std::size_t>(runs_.back().Row - firstRow_) + 1;
    rowStart_.assign(rows + 1, 0);
    for (const StainRun &run : runs_)
        ++rowStart_[static_cast<std::size_t>(run.Row - firstRow_) + 1];
    for (std::size_t r = 1; r <= rows; ++r)
        rowStart_[r] += rowStart_[r - 1];
}

std::int32_t StainMap::stainIn(std::size_t rowFirst, std::size_t rowEnd, std::int32_t x) const
{
    const auto begin = runs_.begin() + static_cast<std::ptrdiff_t>(rowFirst);
    const auto end = runs_.begin() + static_cast<std::ptrdiff_t>(rowEnd);
    auto after = std::upper_bound(begin, end, x, [](std::int32_t c, const StainRun &run) { return c < run.First; });
    if (after == begin)
        return -1;
    --after;
    return x <= after->Last ? after->Stain : -1;
}

std::int32_t StainMap::stainAt(std::int32_t x, std::int32_t y) const
{
    if (runs_.empty() || y < firstRow_ || y > runs_.back().Row)
        return -1;
    const auto r = static_cast<std::size_t>(y - firstRow_);
    return stainIn(rowStart_[r], rowStart_[r + 1], x);
}

std::int32_t StainMap::wholeOf(std::int32_t stain) const
{
    const StainRecord &s = stains_[static_cast<std::size_t>(stain)];
    return s.Part > 0 ? stain - (s.Part - 1) : stain;
}

void StainMap::fillRow(std::int32_t y, std::int32_t width, std::vector<std::int32_t> &labels) const
{
    std::fill(labels.begin(), labels.end(), -1);
    if (runs_.empty() || y < firstRow_ || y > runs_.back().Row)
        return;
    const auto r = static_cast<std::size_t>(y - firstRow_);
    for (std::size_t i = rowStart_[r]; i < rowStart_[r + 1]; ++i) {
        const StainRun &run = runs_[i];
        const std::int32_t from = std::max(run.First, 0);
        const std::int32_t to = std::min(run.Last, width - 1);
        for (std::int32_t x = from; x <= to; ++x)
            labels[static_cast<std::size_t>(x)] = run.Stain;
    }
}

std::vector<std::uint8_t> StainMap::outlines(std::int32_t width, std::int32_t height) const
{
    std::vector<std::uint8_t> codes(
        static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0)), 0);
    if (width <= 0 || height <= 0 || runs_.empty())
        return codes;
    // Three rows of labels at a time, whatever the size of the card.
    const auto w = static_cast<std::size_t>(width);
    std::vector<std::int32_t> above(w), here(w), below(w);
    fillRow(-1, width, above);
    fillRow(0, width, here);
    for (std::int32_t y = 0; y < height; ++y) {
        fillRow(y + 1 < height ? y + 1 : -1, width, below);
        std::uint8_t *out = codes.data() + static_cast<std::size_t>(y) * w;
        for (std::size_t x = 0; x < w; ++x) {
            const std::int32_t me = here[x];
            if (me < 0)
                continue;
            const std::int32_t around[4] = {x > 0 ? here[x - 1] : -1, x + 1 < w ? here[x + 1] : -1, above[x], below[x]};
            bool edge = false;
            bool cut = false;
            for (const std::int32_t other : around) {
                if (other == me)
                    continue;
                if (other >= 0 && wholeOf(other) == wholeOf(me))
                    cut = true;
                else
                    edge = true;
            }
            if (edge)
                out[x] = static_cast<std::uint8_t>(outlineCode(stains_[static_cast<std::size_t>(me)].Outcome));
            else if (cut)
                out[x] = static_cast<std::uint8_t>(OutlineCode::Cut);
        }
        std::swap(above, here);
        std::swap(here, below);
    }
    return codes;
}

std::vector<std::int64_t> StainMap::counts() const
{
    std::vector<std::int64_t> n(OutlineCodes, 0);
    for (const StainRecord &s : stains_) {
        ++n[static_cast<std::size_t>(outlineCode(s.Outcome))];
        if (s.Part == 1)
            ++n[static_cast<std::size_t>(OutlineCode::Cut)];
    }
    return n;
}

} // namespace vex
