#include "analysis/StainScan.h"

#include "analysis/StainSplit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace vex {

namespace {

constexpr std::uint64_t ProgressEvery = 25;

// One horizontal run of adjacent stain pixels in the current row.
struct RowRun {
    std::int32_t Start = 0;
    std::int32_t End = 0;
    std::int64_t ValidCount = 0;
    bool Used = false;
};

// Beside each run, when the scan tracks what stains hold.
struct RowRunPixels {
    std::size_t IndexOffset = 0;
    std::int64_t HueSum = 0;
};

// A stain still being traced.  Area and valid count are 64-bit because the
// fold of one leg into another may add a leg's area to more than one stain.
// Kept small: the open stains are walked and moved every row.
struct OpenStain {
    std::int32_t RunStart = 0; // column span in the last row that gave it pixels
    std::int32_t RunEnd = 0;
    std::int32_t FirstRow = 0;
    std::int32_t LeastColumn = 0;
    std::int32_t GreatestColumn = 0;
    bool Continued = false;
    bool HasValid = false;
    std::int64_t ValidCount = 0;
    std::int64_t Area = 0;
};

// For the stain table and the splitting only, beside each open stain: what
// the stain's own runs hold, without the legs folded into it (or with them,
// when splitting, which needs the whole shape).
struct OwnPixels {
    bool FoldedAway = false; // a leg given to another stain, and its pixels with it
    std::int64_t Area = 0;
    double SumX = 0.0;
    double SumY = 0.0;
    std::int64_t HueSum = 0;
    std::vector<StainSpan> Spans;
};

class Tracer {
public:
    Tracer(const ScanSettings &settings, ScanResult &result, const std::vector<std::uint8_t> &indices,
           const std::array<std::uint8_t, 256> &validIndex, const std::array<std::uint8_t, 256> &hues)
        : shapeLimit_(shapeLimit(settings.ShapeThreshold)), hueLimit_(hueLimit(settings.HueThreshold)),
          keep_(settings.KeepStains), split_(settings.SplitTouching), pixels_(keep_ && settings.KeepPixels),
          track_(keep_ || split_), result_(result), indices_(indices), validIndex_(validIndex), hues_(hues)
    {}

    bool tracking() const { return track_; }

    // The runs of row r are in runs_; this joins them to the open stains,
    // starts new ones, folds legs and closes what has ended.
    void finishRow(std::int32_t r, bool closingReached)
    {
        continueOpenStains(r);
        startNewStains(r);
        if (anyEnded_)
            mergeEndedLegs();
        closeStains(r, closingReached);
        runs_.clear();
        runPixels_.clear();
    }

    std::vector<RowRun> &runs() { return runs_; }
    std::vector<RowRunPixels> &runPixels() { return runPixels_; }
    bool nothingOpen() const { return open_.empty(); }

private:
    void continueOpenStains(std::int32_t r)
    {
        anyEnded_ = false;
        // Runs already taken are skipped through "next free run" links, so
        // that no run is looked at twice however the stains overlap.
        const auto count = static_cast<std::int32_t>(runs_.size());
        nextFree_.resize(runs_.size() + 1);
        for (std::int32_t i = 0; i <= count; ++i)
            nextFree_[static_cast<std::size_t>(i)] = i;
        startedBy_.assign(runs_.size(), NoStain);
        indexRunEnds();
        for (std::size_t index = 0; index < open_.size(); ++index) {
            OpenStain &s = open_[index];
            s.Continued = false;
            const std::int32_t a = s.RunStart;
            const std::int32_t b = s.RunEnd;
            // Runs are disjoint and left to right, so those that share a
            // column with [a, b] are a block starting at the first one that
            // ends at or after a.  The free run from a run on starts no
            // earlier than it, so a run that starts beyond b ends the block
            // without a look at which runs are taken, which for the run
            // after a stain's own is as often so as not.
            for (auto next = static_cast<std::int32_t>(firstRunEndingFrom(a));
                 next < count && runs_[static_cast<std::size_t>(next)].Start <= b;) {
                const std::int32_t i = freeFrom(next);
                if (i >= count || runs_[static_cast<std::size_t>(i)].Start > b)
                    break;
                next = i + 1;
                RowRun &u = runs_[static_cast<std::size_t>(i)];
                if (!s.Continued) {
                    s.RunStart = u.Start;
                    startedBy_[static_cast<std::size_t>(i)] = index;
                }
                s.RunEnd = u.End;
                s.LeastColumn = std::min(s.LeastColumn, u.Start);
                s.GreatestColumn = std::max(s.GreatestColumn, u.End);
                if (u.ValidCount > 0)
                    s.HasValid = true;
                s.ValidCount += u.ValidCount;
                s.Area += static_cast<std::int64_t>(u.End) - u.Start + 1;
                if (track_)
                    addOwn(own_[index], static_cast<std::size_t>(i), r);
                s.Continued = true;
                u.Used = true;
                nextFree_[static_cast<std::size_t>(i)] = i + 1;
            }
            if (!s.Continued)
                anyEnded_ = true;
        }
    }

    // The first run from i on that no stain has taken yet (count when none).
    std::int32_t freeFrom(std::int32_t i)
    {
        std::int32_t root = i;
        while (nextFree_[static_cast<std::size_t>(root)] != root)
            root = nextFree_[static_cast<std::size_t>(root)];
        while (nextFree_[static_cast<std::size_t>(i)] != root) {
            const std::int32_t next = nextFree_[static_cast<std::size_t>(i)];
            nextFree_[static_cast<std::size_t>(i)] = root;
            i = next;
        }
        return root;
    }

    void startNewStains(std::int32_t r)
    {
        for (std::size_t i = 0; i < runs_.size(); ++i) {
            const RowRun &u = runs_[i];
            if (u.Used)
                continue;
            startedBy_[i] = open_.size();
            OpenStain s;
            s.RunStart = s.LeastColumn = u.Start;
            s.RunEnd = s.GreatestColumn = u.End;
            s.FirstRow = r;
            s.Area = static_cast<std::int64_t>(u.End) - u.Start + 1;
            s.ValidCount = u.ValidCount;
            s.HasValid = u.ValidCount > 0;
            s.Continued = true;
            open_.push_back(s);
            if (track_) {
                own_.emplace_back();
                addOwn(own_.back(), i, r);
            }
        }
    }

    // Where the runs of the row end, by blocks of columns: how many runs end
    // before each block, which for runs left to right is the first run
    // ending in or after it.  An open stain then finds the first run it may
    // touch in a step or two, wherever it lies, where a search over the row
    // cost a dozen mispredicted steps for every stain.  Counted, not
    // searched: no branch here depends on where the runs lie.
    void indexRunEnds()
    {
        std::int64_t last = 0;
        for (const RowRun &u : runs_)
            last = std::max<std::int64_t>(last, u.End);
        // Blocks of 64 columns, wider for a row of few runs far apart, so
        // that the index never has many more blocks than the row has runs.
        blockShift_ = 6;
        while ((last >> blockShift_) > static_cast<std::int64_t>(runs_.size()) + 16)
            ++blockShift_;
        const auto blocks = static_cast<std::size_t>(last >> blockShift_) + 1;
        firstRunInBlock_.assign(blocks + 1, 0);
        // A run counts for the blocks after the one it ends in; one that
        // ends before column 0 for all of them.
        for (const RowRun &u : runs_)
            ++firstRunInBlock_[u.End < 0 ? 0 : static_cast<std::size_t>(u.End >> blockShift_) + 1];
        for (std::size_t k = 1; k < blocks; ++k)
            firstRunInBlock_[k] += firstRunInBlock_[k - 1];
        firstRunInBlock_.resize(blocks);
        // The ends again, packed, behind them one that no column passes.
        ends_.resize(runs_.size() + 1);
        for (std::size_t i = 0; i < runs_.size(); ++i)
            ends_[i] = runs_[i].End;
        ends_[runs_.size()] = std::numeric_limits<std::int64_t>::max();
    }

    // The first run of the row that ends at or after column a.
    std::size_t firstRunEndingFrom(std::int64_t a) const
    {
        if (a <= 0)
            return 0;
        const std::int64_t block = a >> blockShift_;
        if (block >= static_cast<std::int64_t>(firstRunInBlock_.size()))
            return runs_.size();
        // A block seldom holds more than a run or two: the first steps are
        // taken without a branch, which would guess wrong half the time.
        auto i = static_cast<std::size_t>(firstRunInBlock_[static_cast<std::size_t>(block)]);
        i += static_cast<std::size_t>(ends_[i] < a);
        i += static_cast<std::size_t>(ends_[i] < a);
        while (ends_[i] < a)
            ++i;
        return std::min(i, runs_.size());
    }

    // The first run of the row that starts after column `last`.
    std::size_t firstRunStartingAfter(std::int32_t last) const
    {
        const std::size_t i = firstRunEndingFrom(static_cast<std::int64_t>(last) + 1);
        return i < runs_.size() && runs_[i].Start <= last ? i + 1 : i;
    }

    // What run `run` of row r adds to a stain's own pixels.
    void addOwn(OwnPixels &s, std::size_t run, std::int32_t r) const
    {
        const RowRun &u = runs_[run];
        const auto n = static_cast<double>(u.End - u.Start + 1);
        s.Area += u.End - u.Start + 1;
        s.SumX += n * (static_cast<double>(u.Start + u.End) / 2.0 - 1.0);
        s.SumY += n * static_cast<double>(r - 1);
        s.HueSum += runPixels_[run].HueSum;
        if (split_ || pixels_)
            s.Spans.push_back(StainSpan{r, u.Start, u.End, runPixels_[run].IndexOffset});
    }

    // A leg that ended under a run that went to an earlier stain is folded
    // into every continued stain it touches, the legs and the stains taken
    // in the order they were opened.  The folded leg is still closed below,
    // but can no longer be accepted.
    //
    // Every ended leg asks which continued stains share a column with it;
    // asking them all one by one made a card of many small stains (a dither
    // pattern taken as stains) cost the square of their number.  The
    // continued stains are listed by their first column (the run each began
    // with in this row), so a leg looks only at those that begin at or
    // before its last column; the furthest last column among them tells at
    // once whether any reaches back to it, which for nearly every leg none
    // does.  A fold moves a stain's last column; from the first fold of the
    // row on, a tree of the furthest last columns, kept up to date, finds
    // just the stains a leg touches.
    void mergeEndedLegs()
    {
        continued_.clear();
        startedBefore_.resize(startedBy_.size() + 1);
        for (std::size_t i = 0; i < startedBy_.size(); ++i) {
            startedBefore_[i] = continued_.size();
            if (startedBy_[i] != NoStain)
                continued_.push_back(startedBy_[i]);
        }
        startedBefore_[startedBy_.size()] = continued_.size();
        if (continued_.empty())
            return;
        reach_.resize(continued_.size());
        std::int32_t furthest = std::numeric_limits<std::int32_t>::min();
        for (std::size_t p = 0; p < continued_.size(); ++p)
            reach_[p] = furthest = std::max(furthest, open_[continued_[p]].RunEnd);
        bool folded = false;

        for (std::size_t index = 0; index < open_.size(); ++index) {
            OpenStain &s = open_[index];
            if (s.Continued)
                continue;
            // Candidates begin at or before the leg's last column ...
            const std::size_t limit = startedBefore_[firstRunStartingAfter(s.RunEnd)];
            if (limit == 0 || (!folded && reach_[limit - 1] < s.RunStart))
                continue;
            if (!folded) {
                buildTree();
                folded = true;
            }
            // ... and end at or after its first column.
            touched_.clear();
            collect(1, 0, leaves_, limit, s.RunStart);
            std::sort(touched_.begin(), touched_.end(),
                      [this](std::size_t x, std::size_t y) { return continued_[x] < continued_[y]; });
            if (!touched_.empty() && split_)
                giveLeg(own_[index], own_[continued_[touched_.front()]]);
            for (const std::size_t p : touched_) {
                OpenStain &t = open_[continued_[p]];
                t.RunEnd = s.RunEnd;
                t.Area += s.Area;
                if (s.HasValid)
                    t.HasValid = true;
                t.ValidCount += s.ValidCount;
                s.HasValid = false;
                for (std::size_t n = leaves_ + p; n >= 1; n /= 2)
                    furthest_[n] = n >= leaves_ ? t.RunEnd : std::max(furthest_[2 * n], furthest_[2 * n + 1]);
            }
        }
    }

    // Splitting looks at a stain's whole shape, so the pixels of a folded
    // leg go to the first stain it met, and the leg is no stain of its own.
    static void giveLeg(OwnPixels &leg, OwnPixels &to)
    {
        to.Area += leg.Area;
        to.SumX += leg.SumX;
        to.SumY += leg.SumY;
        to.HueSum += leg.HueSum;
        to.Spans.insert(to.Spans.end(), leg.Spans.begin(), leg.Spans.end());
        leg.Spans.clear();
        leg.FoldedAway = true;
    }

    void buildTree()
    {
        leaves_ = 1;
        while (leaves_ < continued_.size())
            leaves_ *= 2;
        furthest_.assign(2 * leaves_, std::numeric_limits<std::int32_t>::min());
        for (std::size_t p = 0; p < continued_.size(); ++p)
            furthest_[leaves_ + p] = open_[continued_[p]].RunEnd;
        for (std::size_t n = leaves_ - 1; n >= 1; --n)
            furthest_[n] = std::max(furthest_[2 * n], furthest_[2 * n + 1]);
    }

    // The positions below `limit` under tree node n (covering [from, to))
    // whose stain ends at or after `column`.
    void collect(std::size_t n, std::size_t from, std::size_t to, std::size_t limit, std::int32_t column)
    {
        if (from >= limit || furthest_[n] < column)
            return;
        if (to - from == 1) {
            touched_.push_back(from);
            return;
        }
        const std::size_t middle = from + (to - from) / 2;
        collect(2 * n, from, middle, limit, column);
        collect(2 * n + 1, middle, to, limit, column);
    }

    void closeStains(std::int32_t r, bool closeAll)
    {
        if (!closeAll && !anyEnded_)
            return;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < open_.size(); ++i) {
            OpenStain &s = open_[i];
            if (s.Continued && !closeAll) {
                if (kept != i) {
                    open_[kept] = s;
                    if (track_)
                        own_[kept] = std::move(own_[i]);
                }
                ++kept;
                continue;
            }
            close(s, track_ ? &own_[i] : nullptr, r);
        }
        open_.resize(kept);
        if (track_)
            own_.resize(kept);
    }

    // Today's tests of a stain of `area` pixels, `valid` of them of a valid
    // hue, whose bounding box is `extent` pixels on its longer side.
    StainOutcome judge(std::int64_t area, std::int64_t valid, std::int64_t extent, double &roundness) const
    {
        const auto e = static_cast<double>(extent);
        const auto a = static_cast<double>(area);
        const auto deviation = static_cast<float>(std::fabs(1.0 - a / (e * e * std::numbers::pi / 4.0)));
        roundness = deviation;
        if (valid == 0)
            return StainOutcome::NoValidHue;
        if (deviation > shapeLimit_ && area > 15)
            return StainOutcome::NotRound;
        if (static_cast<float>(static_cast<double>(valid) / a) < hueLimit_)
            return StainOutcome::TooFewValidHues;
        return StainOutcome::Accepted;
    }

    void count(StainOutcome outcome, std::int64_t area)
    {
        const auto clipped =
            static_cast<std::int32_t>(std::min<std::int64_t>(area, std::numeric_limits<std::int32_t>::max()));
        if (outcome == StainOutcome::Accepted) {
            result_.AcceptedAreas.push_back(clipped);
        } else if (outcome != StainOutcome::Folded) {
            ++result_.RejectedCount;
            result_.Rejected.add(clipped, static_cast<RejectReason>(outcome));
        }
    }

    // `own` is there when the scan tracks what stains hold.
    void close(const OpenStain &s, OwnPixels *own, std::int32_t r)
    {
        const std::int32_t lastRow = r + 1;
        if (own != nullptr && own->FoldedAway)
            return;
        if (split_ && own->Area > 15 && closeParts(s, *own))
            return;
        const std::int64_t width = static_cast<std::int64_t>(s.GreatestColumn) - s.LeastColumn + 1;
        const std::int64_t height = std::llabs(static_cast<std::int64_t>(lastRow) - s.FirstRow) + 1;
        double roundness = 0.0;
        StainOutcome outcome = judge(s.Area, s.ValidCount, std::max(width, height), roundness);
        // A leg that passed is still no drop: its area went to the stain it met.
        if (outcome == StainOutcome::Accepted && !s.HasValid)
            outcome = StainOutcome::Folded;
        count(outcome, s.Area);
        if (!keep_)
            return;
        StainRecord record;
        record.Pixels = own->Area;
        record.MeasuredArea = s.Area;
        if (own->Area > 0) {
            record.CentroidX = own->SumX / static_cast<double>(own->Area);
            record.CentroidY = own->SumY / static_cast<double>(own->Area);
            record.MeanHue = static_cast<double>(own->HueSum) / static_cast<double>(own->Area);
        }
        record.Left = s.LeastColumn - 1;
        record.Right = s.GreatestColumn - 1;
        // A stain still open in the last row the scan reads ends there, not
        // a row below it as the tests above have always taken it.
        const std::int32_t ownLastRow = s.Continued ? r : lastRow;
        record.Top = std::min(s.FirstRow, ownLastRow) - 1;
        record.Bottom = std::max(s.FirstRow, ownLastRow) - 1;
        // Legs given to the stain for splitting lie beyond the box its own
        // runs made; the box holds them too, as its pixel count does.
        for (const StainSpan &span : own->Spans) {
            record.Left = std::min(record.Left, span.First - 1);
            record.Right = std::max(record.Right, span.Last - 1);
            record.Top = std::min(record.Top, span.Row - 1);
            record.Bottom = std::max(record.Bottom, span.Row - 1);
        }
        record.Roundness = roundness;
        record.Outcome = outcome;
        if (pixels_)
            for (const StainSpan &span : own->Spans)
                result_.StainRuns.push_back(StainRun{span.Row - 1, span.First - 1, span.Last - 1,
                                                     static_cast<std::int32_t>(result_.Stains.size())});
        result_.Stains.push_back(record);
    }

    // Cuts the stain along the valleys between its drops and tests every
    // part as a stain of its own; false when it stays whole.
    bool closeParts(const OpenStain &s, const OwnPixels &own)
    {
        // A stain as large as a card's worth of pixels would need gigabytes
        // of working space to cut; it stays whole.
        std::int64_t rows = 0;
        if (const auto [lo, hi] =
                std::minmax_element(own.Spans.begin(), own.Spans.end(),
                                    [](const StainSpan &a, const StainSpan &b) { return a.Row < b.Row; });
            lo != own.Spans.end())
            rows = static_cast<std::int64_t>(hi->Row) - lo->Row + 1;
        const std::int64_t columns = static_cast<std::int64_t>(s.GreatestColumn) - s.LeastColumn + 1;
        if (rows * columns > MaxSplitPixels)
            return false;
        const StainParts parts = splitStain(own.Spans);
        if (parts.Count < 2)
            return false;

        struct Part {
            std::int64_t Area = 0;
            std::int64_t Valid = 0;
            std::int64_t Hue = 0;
            double SumX = 0.0;
            double SumY = 0.0;
            std::int32_t Left = std::numeric_limits<std::int32_t>::max();
            std::int32_t Top = std::numeric_limits<std::int32_t>::max();
            std::int32_t Right = std::numeric_limits<std::int32_t>::min();
            std::int32_t Bottom = std::numeric_limits<std::int32_t>::min();
        };
        std::vector<Part> part(static_cast<std::size_t>(parts.Count));
        std::size_t k = 0;
        for (const StainSpan &span : own.Spans)
            for (std::int32_t c = span.First; c <= span.Last; ++c) {
                Part &p = part[static_cast<std::size_t>(parts.PartOf[k++])];
                const std::uint8_t index = indexAt(span.IndexOffset + static_cast<std::size_t>(c - span.First));
                ++p.Area;
                p.Valid += validIndex_[index];
                p.Hue += hues_[index];
                p.SumX += c - 1;
                p.SumY += span.Row - 1;
                p.Left = std::min(p.Left, c - 1);
                p.Right = std::max(p.Right, c - 1);
                p.Top = std::min(p.Top, span.Row - 1);
                p.Bottom = std::max(p.Bottom, span.Row - 1);
            }
        ++result_.SplitStains;
        result_.SplitParts += parts.Count;
        if (pixels_)
            keepPartRuns(own.Spans, parts);
        for (std::size_t i = 0; i < part.size(); ++i) {
            const Part &p = part[i];
            const std::int64_t extent = std::max<std::int64_t>(static_cast<std::int64_t>(p.Right) - p.Left + 1,
                                                               static_cast<std::int64_t>(p.Bottom) - p.Top + 1);
            double roundness = 0.0;
            const StainOutcome outcome = judge(p.Area, p.Valid, extent, roundness);
            count(outcome, p.Area);
            if (!keep_)
                continue;
            StainRecord record;
            record.Pixels = record.MeasuredArea = p.Area;
            record.CentroidX = p.SumX / static_cast<double>(p.Area);
            record.CentroidY = p.SumY / static_cast<double>(p.Area);
            record.MeanHue = static_cast<double>(p.Hue) / static_cast<double>(p.Area);
            record.Left = p.Left;
            record.Right = p.Right;
            record.Top = p.Top;
            record.Bottom = p.Bottom;
            record.Roundness = roundness;
            record.Outcome = outcome;
            record.Part = static_cast<std::int32_t>(i + 1);
            record.Parts = parts.Count;
            result_.Stains.push_back(record);
        }
        return true;
    }

    // The runs of every part, each part's pixels under the record it is
    // about to get: the parts follow one another from the next record on.
    void keepPartRuns(const std::vector<StainSpan> &spans, const StainParts &parts)
    {
        const auto first = static_cast<std::int32_t>(result_.Stains.size());
        std::size_t k = 0;
        for (const StainSpan &span : spans)
            for (std::int32_t c = span.First; c <= span.Last;) {
                const std::int32_t part = parts.PartOf[k];
                const std::int32_t from = c;
                for (; c <= span.Last && parts.PartOf[k] == part; ++c, ++k) {
                }
                result_.StainRuns.push_back(StainRun{span.Row - 1, from - 1, c - 2, first + part});
            }
    }

    // The index byte at `offset`; a list whose runs disagree with its bytes
    // reads the last one rather than beyond them.
    std::uint8_t indexAt(std::size_t offset) const
    {
        return indices_.empty() ? std::uint8_t{0} : indices_[std::min(offset, indices_.size() - 1)];
    }

    static constexpr std::int64_t MaxSplitPixels = 64'000'000;

    float shapeLimit_;
    float hueLimit_;
    bool keep_;
    bool split_;
    bool pixels_;
    bool track_;
    ScanResult &result_;
    const std::vector<std::uint8_t> &indices_;
    const std::array<std::uint8_t, 256> &validIndex_;
    const std::array<std::uint8_t, 256> &hues_;
    std::vector<RowRun> runs_;
    std::vector<RowRunPixels> runPixels_; // beside runs_, when tracking
    std::vector<OpenStain> open_;
    std::vector<OwnPixels> own_; // beside open_, when tracking
    bool anyEnded_ = false;
    // Working space of one row, kept to save allocations.
    static constexpr std::size_t NoStain = std::numeric_limits<std::size_t>::max();
    std::vector<std::int32_t> nextFree_;
    std::vector<std::size_t> startedBy_;     // per run: the stain that begins with it
    std::vector<std::size_t> continued_;     // open_ indices by first column
    std::vector<std::size_t> startedBefore_; // per run: stains begun with the runs before it
    std::vector<std::int32_t> firstRunInBlock_;
    std::vector<std::int64_t> ends_;
    int blockShift_ = 6;
    std::vector<std::int32_t> reach_; // furthest last column up to each of them
    std::size_t leaves_ = 1;
    std::vector<std::int32_t> furthest_; // tree of the greatest last column
    std::vector<std::size_t> touched_;   // positions in continued_
};

} // namespace

float shapeLimit(std::uint8_t shapeThreshold)
{
    return static_cast<float>(static_cast<double>(shapeThreshold) / 100.0);
}

float hueLimit(std::uint8_t hueThreshold)
{
    return static_cast<float>(static_cast<double>(hueThreshold) / 100.0);
}

bool hueIsValid(std::uint8_t hue, const ScanSettings &settings)
{
    const bool inside = settings.HueLow <= hue && hue <= settings.HueHigh;
    return settings.HueInvert ? !inside : inside;
}

namespace {

ScanResult cancelled()
{
    ScanResult r;
    r.Cancelled = true;
    return r;
}

} // namespace

ScanResult traceStains(const ForegroundPixelList &pixels, const ScanSettings &settings, const ScanCallbacks &callbacks)
{
    ScanResult result;
    std::array<std::uint8_t, 256> validIndex{};
    std::array<std::uint8_t, 256> hues{};
    for (std::size_t i = 0; i < validIndex.size(); ++i) {
        hues[i] = pixels.hueTable()[i];
        validIndex[i] = hueIsValid(hues[i], settings) ? 1 : 0;
    }
    // Every index valid (the whole hue range, the usual setting) or none:
    // a run's valid pixels are then known without looking at them.
    const auto validIndices = std::count(validIndex.begin(), validIndex.end(), std::uint8_t{1});
    const bool allValid = validIndices == static_cast<std::ptrdiff_t>(validIndex.size());
    const bool noneValid = validIndices == 0;
    const std::vector<ForegroundPixelList::Run> &listRuns = pixels.runs();
    const std::uint8_t *indices = pixels.indices().data();
    Tracer tracer(settings, result, pixels.indices(), validIndex, hues);
    const bool tracking = tracer.tracking();
    std::size_t next = 0;      // next list run to read
    std::size_t offset = 0;    // its first index byte
    std::uint64_t entries = 0; // list entries read so far

    std::int32_t r = listRuns.empty() ? pixels.closing().Row : listRuns.front().Row;
    for (;; --r) {
        if (callbacks.CancelRequested && callbacks.CancelRequested())
            return cancelled();

        std::vector<RowRun> &runs = tracer.runs();
        std::vector<RowRunPixels> &runPixels = tracer.runPixels();
        const std::uint64_t rowFirstEntry = entries;
        // A list run whose row lies above r would break the order the list
        // promises; reading it here keeps the loop finite all the same.
        for (; next < listRuns.size() && listRuns[next].Row >= r; ++next) {
            const ForegroundPixelList::Run &run = listRuns[next];
            if (run.Length <= 0)
                continue;
            std::int64_t valid = 0;
            std::int64_t hueSum = 0;
            const std::uint8_t *index = indices + offset;
            const std::size_t first = offset;
            offset += static_cast<std::size_t>(run.Length);
            result.StainPixels += static_cast<std::uint64_t>(run.Length);
            if (allValid)
                valid = run.Length;
            else if (!noneValid)
                for (std::int32_t k = 0; k < run.Length; ++k)
                    valid += validIndex[index[k]];
            if (tracking)
                for (std::int32_t k = 0; k < run.Length; ++k)
                    hueSum += hues[index[k]];
            const std::int32_t end = run.Column + run.Length - 1;
            if (!runs.empty() && run.Column - runs.back().End < 2 && run.Column > 1) {
                runs.back().End = end;
                runs.back().ValidCount += valid;
                if (tracking)
                    runPixels.back().HueSum += hueSum;
            } else {
                runs.push_back(RowRun{run.Column, end, valid, false});
                if (tracking)
                    runPixels.push_back(RowRunPixels{first, hueSum});
            }
            entries += static_cast<std::uint64_t>(run.Length);
        }
        if (callbacks.Progress && entries / ProgressEvery > rowFirstEntry / ProgressEvery)
            callbacks.Progress(entries / ProgressEvery * ProgressEvery);
        const bool closingReached = next == listRuns.size();
        tracer.finishRow(r, closingReached);
        if (callbacks.RowDone)
            callbacks.RowDone();
        if (closingReached)
            break;
        // Rows without stain pixels and without open stains change nothing;
        // go straight to the next row that has pixels, still asking once
        // whether to stop.
        if (tracer.nothingOpen() && listRuns[next].Row < r - 1) {
            if (callbacks.CancelRequested && callbacks.CancelRequested())
                return cancelled();
            r = listRuns[next].Row + 1;
        }
    }
    return result;
}

} // namespace vex
