#include "analysis/StainScan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace vex {

namespace {

constexpr std::uint64_t ProgressEvery = 25;

// One horizontal run of adjacent stain pixels in the current row.
struct RowRun {
    std::int32_t Start = 0;
    std::int32_t End = 0;
    bool Used = false;
    std::int64_t ValidCount = 0;
};

// A stain still being traced.  Area and valid count are 64-bit because the
// fold of one leg into another may add a leg's area to more than one stain.
struct OpenStain {
    std::int32_t RunStart = 0; // column span in the last row that gave it pixels
    std::int32_t RunEnd = 0;
    bool Continued = false;
    bool HasValid = false;
    std::int64_t ValidCount = 0;
    std::int64_t Area = 0;
    std::int32_t FirstRow = 0;
    std::int32_t LastRow = 0;
    std::int32_t LeastColumn = 0;
    std::int32_t GreatestColumn = 0;
};

bool shareColumn(std::int32_t start1, std::int32_t end1, std::int32_t start2, std::int32_t end2)
{
    return start1 <= end2 && end1 >= start2;
}

class Tracer {
public:
    Tracer(const ScanSettings &settings, ScanResult &result)
        : shapeLimit_(shapeLimit(settings.ShapeThreshold)), hueLimit_(hueLimit(settings.HueThreshold)),
          result_(result)
    {
    }

    // The runs of row r are in runs_; this joins them to the open stains,
    // starts new ones, folds legs and closes what has ended.
    void finishRow(std::int32_t r, bool closingReached)
    {
        continueOpenStains();
        startNewStains(r);
        if (anyEnded_)
            mergeEndedLegs();
        closeStains(r, closingReached);
        runs_.clear();
    }

    std::vector<RowRun> &runs() { return runs_; }
    bool nothingOpen() const { return open_.empty(); }

private:
    void continueOpenStains()
    {
        anyEnded_ = false;
        for (OpenStain &s : open_) {
            s.Continued = false;
            const std::int32_t a = s.RunStart;
            const std::int32_t b = s.RunEnd;
            // Runs are disjoint and left to right, so those that share a
            // column with [a, b] are a block starting at the first one that
            // ends at or after a.
            auto u = std::lower_bound(runs_.begin(), runs_.end(), a,
                                      [](const RowRun &run, std::int32_t column) { return run.End < column; });
            for (; u != runs_.end() && u->Start <= b; ++u) {
                if (u->Used)
                    continue;
                if (!s.Continued)
                    s.RunStart = u->Start;
                s.RunEnd = u->End;
                s.LeastColumn = std::min(s.LeastColumn, u->Start);
                s.GreatestColumn = std::max(s.GreatestColumn, u->End);
                if (u->ValidCount > 0)
                    s.HasValid = true;
                s.ValidCount += u->ValidCount;
                s.Area += static_cast<std::int64_t>(u->End) - u->Start + 1;
                s.Continued = true;
                u->Used = true;
            }
            if (!s.Continued)
                anyEnded_ = true;
        }
    }

    void startNewStains(std::int32_t r)
    {
        for (const RowRun &u : runs_) {
            if (u.Used)
                continue;
            OpenStain s;
            s.RunStart = s.LeastColumn = u.Start;
            s.RunEnd = s.GreatestColumn = u.End;
            s.FirstRow = r;
            s.Area = static_cast<std::int64_t>(u.End) - u.Start + 1;
            s.ValidCount = u.ValidCount;
            s.HasValid = u.ValidCount > 0;
            s.Continued = true;
            open_.push_back(s);
        }
    }

    // A leg that ended under a run that went to an earlier stain is folded
    // into every continued stain it touches.  The folded leg is still closed
    // below, but can no longer be accepted.
    void mergeEndedLegs()
    {
        for (OpenStain &s : open_) {
            if (s.Continued)
                continue;
            for (OpenStain &t : open_) {
                if (!t.Continued || !shareColumn(t.RunStart, t.RunEnd, s.RunStart, s.RunEnd))
                    continue;
                t.RunEnd = s.RunEnd;
                t.Area += s.Area;
                if (s.HasValid)
                    t.HasValid = true;
                t.ValidCount += s.ValidCount;
                s.HasValid = false;
            }
        }
    }

    void closeStains(std::int32_t r, bool closeAll)
    {
        if (!closeAll && !anyEnded_)
            return;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < open_.size(); ++i) {
            OpenStain &s = open_[i];
            if (s.Continued && !closeAll) {
                if (kept != i)
                    open_[kept] = s;
                ++kept;
                continue;
            }
            close(s, r);
        }
        open_.resize(kept);
    }

    void close(OpenStain &s, std::int32_t r)
    {
        s.LastRow = r + 1;
        const std::int64_t width = static_cast<std::int64_t>(s.GreatestColumn) - s.LeastColumn + 1;
        const std::int64_t height = std::llabs(static_cast<std::int64_t>(s.LastRow) - s.FirstRow) + 1;
        const double extent = static_cast<double>(std::max(width, height));
        const double area = static_cast<double>(s.Area);
        if (s.ValidCount == 0) {
            ++result_.RejectedCount;
        } else {
            const auto deviation = static_cast<float>(std::fabs(1.0 - area / (extent * extent * Pi / 4.0)));
            if (deviation > shapeLimit_ && s.Area > 15) {
                s.HasValid = false;
                ++result_.RejectedCount;
            } else if (static_cast<float>(static_cast<double>(s.ValidCount) / area) < hueLimit_) {
                s.HasValid = false;
                ++result_.RejectedCount;
            }
        }
        if (s.HasValid) {
            result_.AcceptedAreas.push_back(static_cast<std::int32_t>(
                std::min<std::int64_t>(s.Area, std::numeric_limits<std::int32_t>::max())));
        }
    }

    static constexpr double Pi = 3.14159265358979323846;

    float shapeLimit_;
    float hueLimit_;
    ScanResult &result_;
    std::vector<RowRun> runs_;
    std::vector<OpenStain> open_;
    bool anyEnded_ = false;
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

ScanResult traceStains(const ForegroundPixelList &pixels, const ScanSettings &settings,
                       const ScanCallbacks &callbacks)
{
    ScanResult result;
    Tracer tracer(settings, result);

    std::array<std::uint8_t, 256> validIndex{};
    for (std::size_t i = 0; i < validIndex.size(); ++i)
        validIndex[i] = hueIsValid(pixels.hueTable()[i], settings) ? 1 : 0;

    const std::vector<ForegroundPixelList::Run> &listRuns = pixels.runs();
    const std::uint8_t *indices = pixels.indices().data();
    std::size_t next = 0;     // next list run to read
    std::uint64_t entries = 0; // list entries read so far

    std::int32_t r = listRuns.empty() ? pixels.closing().Row : listRuns.front().Row;
    for (;; --r) {
        if (callbacks.CancelRequested && callbacks.CancelRequested())
            return ScanResult{true, {}, 0};

        std::vector<RowRun> &runs = tracer.runs();
        // A list run whose row lies above r would break the order the list
        // promises; reading it here keeps the loop finite all the same.
        for (; next < listRuns.size() && listRuns[next].Row >= r; ++next) {
            const ForegroundPixelList::Run &run = listRuns[next];
            if (run.Length <= 0)
                continue;
            std::int64_t valid = 0;
            const std::uint8_t *index = indices + run.Offset;
            for (std::int32_t k = 0; k < run.Length; ++k)
                valid += validIndex[index[k]];
            const std::int32_t end = run.Column + run.Length - 1;
            if (!runs.empty() && run.Column - runs.back().End < 2 && run.Column > 1) {
                runs.back().End = end;
                runs.back().ValidCount += valid;
            } else {
                runs.push_back(RowRun{run.Column, end, false, valid});
            }
            const std::uint64_t last = entries + static_cast<std::uint64_t>(run.Length);
            if (callbacks.Progress && last / ProgressEvery > entries / ProgressEvery)
                callbacks.Progress(last / ProgressEvery * ProgressEvery);
            entries = last;
        }
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
                return ScanResult{true, {}, 0};
            r = listRuns[next].Row + 1;
        }
    }
    return result;
}

} // namespace vex
