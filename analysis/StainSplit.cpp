#include "analysis/StainSplit.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <limits>
#include <numeric>
#include <queue>

namespace vex {

namespace {

struct Peak {
    int X = 0;
    int Y = 0;
    float Height = 0.0f;
};

std::size_t findRoot(std::vector<std::size_t> &parent, std::size_t i)
{
    while (parent[i] != i)
        i = parent[i] = parent[parent[i]];
    return i;
}

} // namespace

StainParts splitStain(const std::vector<StainSpan> &spans, double minPeak)
{
    StainParts parts;
    if (spans.empty())
        return parts;
    std::int32_t top = std::numeric_limits<std::int32_t>::max();
    std::int32_t bottom = std::numeric_limits<std::int32_t>::min();
    std::int32_t left = top;
    std::int32_t right = bottom;
    for (const StainSpan &s : spans) {
        if (s.Last < s.First)
            return parts; // runs no well-formed list holds
        top = std::min(top, s.Row);
        bottom = std::max(bottom, s.Row);
        left = std::min(left, s.First);
        right = std::max(right, s.Last);
    }
    // A clear border of one pixel all round, so that the distance to the
    // card is measured at the picture's edge too.
    const int width = right - left + 3;
    const int height = bottom - top + 3;
    cv::Mat mask(height, width, CV_8U, cv::Scalar(0));
    for (const StainSpan &s : spans)
        mask.row(s.Row - top + 1).colRange(s.First - left + 1, s.Last - left + 2).setTo(1);

    cv::Mat distance;
    cv::distanceTransform(mask, distance, cv::DIST_L2, cv::DIST_MASK_PRECISE);
    cv::Mat around;
    cv::dilate(distance, around, cv::Mat());

    // The peaks: pixels no lower than their eight neighbours, plateaus of
    // equal height taken as one.
    cv::Mat top8 = (distance >= around) & (distance >= static_cast<float>(minPeak)) & (mask != 0);
    cv::Mat plateau;
    const int plateaus = cv::connectedComponents(top8, plateau, 8, CV_32S) - 1;
    if (plateaus < 2)
        return parts;
    std::vector<Peak> peaks(static_cast<std::size_t>(plateaus));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (const int p = plateau.at<std::int32_t>(y, x); p > 0)
                peaks[static_cast<std::size_t>(p - 1)] = {x, y, distance.at<float>(y, x)};

    // A peak inside the largest disc that fits around another is a ridge
    // of the same drop, not a drop of its own: an oval stays whole, while
    // two drops that overlap by less than half still part.
    std::vector<std::size_t> parent(peaks.size());
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    for (std::size_t i = 0; i < peaks.size(); ++i)
        for (std::size_t j = i + 1; j < peaks.size(); ++j) {
            const double dx = peaks[i].X - peaks[j].X;
            const double dy = peaks[i].Y - peaks[j].Y;
            const double reach = std::max(peaks[i].Height, peaks[j].Height);
            if (dx * dx + dy * dy <= reach * reach)
                parent[findRoot(parent, j)] = findRoot(parent, i);
        }
    std::vector<int> label(peaks.size(), 0);
    int count = 0;
    for (std::size_t i = 0; i < peaks.size(); ++i)
        if (findRoot(parent, i) == i)
            label[i] = ++count;
    if (count < 2)
        return parts;

    cv::Mat markers(height, width, CV_32S, cv::Scalar(0));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (const int p = plateau.at<std::int32_t>(y, x); p > 0)
                markers.at<std::int32_t>(y, x) = label[findRoot(parent, static_cast<std::size_t>(p - 1))];

    // Flooded from the peaks down the distance map, the highest ground
    // first, so that parts meet in the valleys.  OpenCV's watershed ranks
    // pixels by the colour step to their neighbour, and a distance map has
    // no step at the neck between two drops; the flooding is done here.
    struct Front {
        float Height;
        std::uint64_t Order; // first come first served among equals: the same cut every run
        int X;
        int Y;
        std::int32_t Label;
        bool operator<(const Front &o) const { return Height != o.Height ? Height < o.Height : Order > o.Order; }
    };
    std::priority_queue<Front> front;
    std::uint64_t order = 0;
    auto spread = [&](int x, int y, std::int32_t part) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if ((dx != 0 || dy != 0) && mask.at<std::uint8_t>(y + dy, x + dx) != 0 &&
                    markers.at<std::int32_t>(y + dy, x + dx) == 0)
                    front.push({distance.at<float>(y + dy, x + dx), order++, x + dx, y + dy, part});
    };
    for (int y = 1; y + 1 < height; ++y)
        for (int x = 1; x + 1 < width; ++x)
            if (const std::int32_t m = markers.at<std::int32_t>(y, x); m > 0)
                spread(x, y, m);
    while (!front.empty()) {
        const Front f = front.top();
        front.pop();
        std::int32_t &m = markers.at<std::int32_t>(f.Y, f.X);
        if (m != 0)
            continue;
        m = f.Label;
        spread(f.X, f.Y, f.Label);
    }
    for (const StainSpan &s : spans)
        for (std::int32_t c = s.First; c <= s.Last; ++c)
            if (markers.at<std::int32_t>(s.Row - top + 1, c - left + 1) == 0)
                return StainParts{}; // pixels no peak reaches: keep the stain whole

    parts.Count = count;
    for (const StainSpan &s : spans)
        for (std::int32_t c = s.First; c <= s.Last; ++c)
            parts.PartOf.push_back(markers.at<std::int32_t>(s.Row - top + 1, c - left + 1) - 1);
    return parts;
}

} // namespace vex
