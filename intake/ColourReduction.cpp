#include "intake/ColourReduction.h"

#include "model/LargeBuffer.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <utility>

namespace vex {
namespace {

constexpr std::size_t TableSize = 256;
// k-means works on this many pixels at most, spread evenly over the picture:
// enough for 255 colours of a card, and it keeps the time independent of the
// picture's size.
constexpr std::size_t KMeansSamples = 100000;
constexpr int KMeansColours = 255;
constexpr std::uint64_t KMeansSeed = 0x5EED0F5A1ull;
// Table colours closer than this in CIELAB (delta E 1976) become one.  A
// photo's background is a texture of many close colours; left apart, all but
// the two most frequent would be taken for stain pixels and grow every stain
// by a rim.  30 keeps the yellow of the card, the blue of stains and the
// brown of dust apart (they are 40 and more apart) and joins the shades of
// each.
constexpr float MergeDistance = 30.0f;
// Pixels are matched to the table through a grid of 64 levels per channel:
// the table colours are 255 means of many pixels, far coarser than a step of 4.
constexpr int GridShift = 2;
constexpr std::size_t GridCells = std::size_t{1} << (3 * (8 - GridShift));

// Progress is told at most every this many pixels.
constexpr std::size_t ProgressPixels = std::size_t{1} << 18;

thread_local const ReductionProgress *threadWatch = nullptr;

// Tells the progress, when there is one, and stops the reduction when asked.
class Stages {
public:
    explicit Stages(const ReductionProgress &progress) : progress_(progress) {}
    void at(double done) const
    {
        if (progress_ && !progress_(done))
            throw ReductionStopped();
    }
    // Within a pass over the pixels that spans [from, to] of the work.
    void pixel(std::size_t i, std::size_t pixels, double from, double to) const
    {
        if (i % ProgressPixels == 0)
            at(from + (to - from) * static_cast<double>(i) / static_cast<double>(std::max<std::size_t>(pixels, 1)));
    }

private:
    const ReductionProgress &progress_;
};

// The exact pass is a quarter of the work of a photo, the k-means half.
constexpr double ExactShare = 0.25;
constexpr double KMeansShare = 0.75;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

std::uint32_t rgbValue(const std::uint8_t *bgr)
{
    return static_cast<std::uint32_t>(bgr[2]) << 16 | static_cast<std::uint32_t>(bgr[1]) << 8 | bgr[0];
}

std::size_t pixelCount(const ColourImage &picture)
{
    return static_cast<std::size_t>(std::max(picture.Width, 0)) * static_cast<std::size_t>(std::max(picture.Height, 0));
}

// The table entries in their final order, from provisional ones: most
// frequent first from index 1, ties by colour value, a 256th entry at index 0
// and black at index 0 otherwise.  Entries no pixel took are left out.
// Rewrites the pixels to the final indices.
void orderTable(const std::vector<std::array<std::uint8_t, 3>> &colours, const std::vector<std::uint64_t> &counts,
                IndexedImage &image)
{
    std::vector<std::size_t> rank;
    for (std::size_t i = 0; i < colours.size(); ++i)
        if (counts[i] != 0)
            rank.push_back(i);
    std::sort(rank.begin(), rank.end(), [&](std::size_t a, std::size_t b) {
        if (counts[a] != counts[b])
            return counts[a] > counts[b];
        return rgbValue(colours[a].data()) < rgbValue(colours[b].data());
    });
    std::array<std::uint8_t, TableSize> finalIndex{};
    for (std::size_t r = 0; r < rank.size(); ++r)
        finalIndex[rank[r]] = static_cast<std::uint8_t>((r + 1) % TableSize);

    image.PaletteBgr.assign(3 * std::min(rank.size() + 1, TableSize), 0);
    for (const std::size_t i : rank)
        std::copy(colours[i].begin(), colours[i].end(), image.PaletteBgr.begin() + 3 * finalIndex[i]);
    for (std::uint8_t &p : image.Pixels)
        p = finalIndex[p];
}

// Maps every pixel to its own colour while there are at most 256; false as
// soon as a 257th colour turns up.
bool mapExactly(const ColourImage &picture, IndexedImage &image, const Stages &stages)
{
    // One slot per 24-bit colour: 32 MiB of address space, but calloc's
    // zero pages are only backed where a colour of the picture falls.
    std::unique_ptr<std::uint16_t, FreeDeleter> slots(
        static_cast<std::uint16_t *>(std::calloc(std::size_t{1} << 24, sizeof(std::uint16_t))));
    if (!slots)
        throw std::bad_alloc();
    std::uint16_t *slot = slots.get();
    std::vector<std::array<std::uint8_t, 3>> colours;
    std::vector<std::uint64_t> counts(TableSize, 0);

    const std::size_t pixels = pixelCount(picture);
    const std::uint8_t *in = picture.Bgr.data();
    std::uint8_t *out = image.Pixels.data();
    // Four sets of counters, so that a run of one colour does not make each
    // pixel wait for the count of the one before.
    std::array<std::array<std::uint64_t, TableSize>, 4> tally{};
    for (std::size_t i = 0; i < pixels; ++i, in += 3) {
        stages.pixel(i, pixels, 0.0, ExactShare);
        const std::uint32_t value = rgbValue(in);
        std::uint16_t s = slot[value];
        if (s == 0) [[unlikely]] {
            if (colours.size() == TableSize)
                return false;
            colours.push_back({in[0], in[1], in[2]});
            s = static_cast<std::uint16_t>(colours.size());
            slot[value] = s;
        }
        const auto index = static_cast<std::uint8_t>(s - 1);
        out[i] = index;
        ++tally[i & 3][index];
    }
    for (std::size_t c = 0; c < TableSize; ++c)
        counts[c] = tally[0][c] + tally[1][c] + tally[2][c] + tally[3][c];
    counts.resize(colours.size());
    orderTable(colours, counts, image);
    return true;
}

std::size_t gridCell(const std::uint8_t *bgr)
{
    return static_cast<std::size_t>(bgr[2] >> GridShift) << (2 * (8 - GridShift)) |
           static_cast<std::size_t>(bgr[1] >> GridShift) << (8 - GridShift) |
           static_cast<std::size_t>(bgr[0] >> GridShift);
}

// Blue, green, red in [0, 1] to CIELAB, many colours at once.
cv::Mat toLab(const cv::Mat &bgrUnit)
{
    // OpenCV fills its CIELAB tables on the first conversion without a
    // lock; pictures reduced side by side must not both fill them.
    static std::once_flag tables;
    std::call_once(tables, [] {
        const cv::Mat one(1, 1, CV_32FC3, cv::Scalar(0, 0, 0));
        cv::Mat converted;
        cv::cvtColor(one, converted, cv::COLOR_BGR2Lab);
    });
    cv::Mat lab;
    cv::cvtColor(bgrUnit, lab, cv::COLOR_BGR2Lab);
    return lab.reshape(1, bgrUnit.rows);
}

// Centres closer than `distance` in CIELAB merge, the nearest pair first,
// into their mean weighted by the samples they took.
cv::Mat mergeCentres(const cv::Mat &centres, const cv::Mat &labels, float distance)
{
    const int k = centres.rows;
    std::vector<cv::Vec3f> centre(static_cast<std::size_t>(k));
    std::vector<double> weight(static_cast<std::size_t>(k), 0.0);
    for (int j = 0; j < k; ++j)
        centre[static_cast<std::size_t>(j)] = centres.at<cv::Vec3f>(j);
    for (int s = 0; s < labels.rows; ++s)
        weight[static_cast<std::size_t>(labels.at<int>(s))] += 1.0;
    const float limit = distance * distance;
    for (;;) {
        float best = limit;
        std::size_t a = 0;
        std::size_t b = 0;
        for (std::size_t i = 0; i < centre.size(); ++i) {
            if (weight[i] == 0.0)
                continue;
            for (std::size_t j = i + 1; j < centre.size(); ++j) {
                if (weight[j] == 0.0)
                    continue;
                const cv::Vec3f d = centre[i] - centre[j];
                const float d2 = d.dot(d);
                if (d2 < best) {
                    best = d2;
                    a = i;
                    b = j;
                }
            }
        }
        if (best >= limit)
            break;
        const double total = weight[a] + weight[b];
        centre[a] = (centre[a] * static_cast<float>(weight[a]) + centre[b] * static_cast<float>(weight[b])) *
                    static_cast<float>(1.0 / total);
        weight[a] = total;
        weight[b] = 0.0;
    }
    cv::Mat merged(0, 3, CV_32F);
    for (std::size_t i = 0; i < centre.size(); ++i)
        if (weight[i] > 0.0)
            merged.push_back(cv::Mat(1, 3, CV_32F, &centre[i][0]).clone());
    return merged;
}

void mapByKMeans(const ColourImage &picture, IndexedImage &image, const Stages &stages)
{
    stages.at(ExactShare);
    const std::size_t pixels = pixelCount(picture);
    const std::size_t step = std::max<std::size_t>(1, pixels / KMeansSamples);
    const int samples = static_cast<int>((pixels + step - 1) / step);
    cv::Mat sample(samples, 1, CV_32FC3);
    for (int s = 0; s < samples; ++s) {
        const std::uint8_t *p = picture.Bgr.data() + 3 * (static_cast<std::size_t>(s) * step);
        sample.at<cv::Vec3f>(s) = cv::Vec3f(p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
    }
    const int k = std::min(KMeansColours, samples);
    cv::Mat labels;
    cv::Mat centres;
    cv::setRNGSeed(static_cast<int>(KMeansSeed & 0x7FFFFFFF));
    cv::kmeans(toLab(sample), k, labels, cv::TermCriteria(cv::TermCriteria::EPS + cv::TermCriteria::COUNT, 20, 0.05), 1,
               cv::KMEANS_PP_CENTERS, centres);
    centres = mergeCentres(centres, labels, MergeDistance);
    stages.at(KMeansShare);

    // The grid cells the picture uses, each matched to its nearest centre.
    std::vector<std::uint8_t> used(GridCells, 0);
    for (std::size_t i = 0; i < pixels; ++i)
        used[gridCell(picture.Bgr.data() + 3 * i)] = 1;
    std::vector<std::uint32_t> cells;
    for (std::size_t c = 0; c < GridCells; ++c)
        if (used[c] != 0)
            cells.push_back(static_cast<std::uint32_t>(c));
    cv::Mat cellColours(static_cast<int>(cells.size()), 1, CV_32FC3);
    constexpr int Levels = 8 - GridShift;
    constexpr float Half = (1 << GridShift) / 2.0f;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::uint32_t c = cells[i];
        const float b = (static_cast<float>((c & ((1u << Levels) - 1)) << GridShift) + Half) / 255.0f;
        const float g = (static_cast<float>(((c >> Levels) & ((1u << Levels) - 1)) << GridShift) + Half) / 255.0f;
        const float r = (static_cast<float>((c >> (2 * Levels)) << GridShift) + Half) / 255.0f;
        cellColours.at<cv::Vec3f>(static_cast<int>(i)) = cv::Vec3f(b, g, r);
    }
    const cv::Mat cellLab = toLab(cellColours);
    std::vector<std::uint8_t> nearest(GridCells, 0);
    for (int i = 0; i < cellLab.rows; ++i) {
        const float *lab = cellLab.ptr<float>(i);
        float best = std::numeric_limits<float>::max();
        int bestCentre = 0;
        for (int j = 0; j < centres.rows; ++j) {
            const float *centre = centres.ptr<float>(j);
            const float d0 = lab[0] - centre[0];
            const float d1 = lab[1] - centre[1];
            const float d2 = lab[2] - centre[2];
            const float d = d0 * d0 + d1 * d1 + d2 * d2;
            if (d < best) {
                best = d;
                bestCentre = j;
            }
        }
        nearest[cells[static_cast<std::size_t>(i)]] = static_cast<std::uint8_t>(bestCentre);
    }

    // Each table colour is the mean of the pixels it takes.
    std::vector<std::array<std::uint64_t, 3>> sums(static_cast<std::size_t>(centres.rows), {0, 0, 0});
    std::vector<std::uint64_t> counts(static_cast<std::size_t>(centres.rows), 0);
    for (std::size_t i = 0; i < pixels; ++i) {
        stages.pixel(i, pixels, KMeansShare, 1.0);
        const std::uint8_t *p = picture.Bgr.data() + 3 * i;
        const std::uint8_t index = nearest[gridCell(p)];
        image.Pixels[i] = index;
        ++counts[index];
        sums[index][0] += p[0];
        sums[index][1] += p[1];
        sums[index][2] += p[2];
    }
    std::vector<std::array<std::uint8_t, 3>> colours(counts.size());
    for (std::size_t j = 0; j < counts.size(); ++j)
        for (std::size_t c = 0; c < 3 && counts[j] != 0; ++c)
            colours[j][c] = static_cast<std::uint8_t>((sums[j][c] + counts[j] / 2) / counts[j]);
    // Centres no pixel took are left out of the table.
    orderTable(colours, counts, image);
}

} // namespace

ReductionWatch::ReductionWatch(ReductionProgress progress) : progress_(std::move(progress)), outer_(threadWatch)
{
    threadWatch = &progress_;
}

ReductionWatch::~ReductionWatch()
{
    threadWatch = outer_;
}

ReducedPicture reduceColours(const ColourImage &picture, const ReductionProgress &progress)
{
    const Stages stages(progress || threadWatch == nullptr ? progress : *threadWatch);
    ReducedPicture out;
    out.Image.Width = picture.Width;
    out.Image.Height = picture.Height;
    reserveLarge(out.Image.Pixels, pixelCount(picture));
    out.Image.Pixels.resize(pixelCount(picture));
    out.Reduction.FromBits = picture.SourceBits;
    out.Reduction.Exact = mapExactly(picture, out.Image, stages);
    if (!out.Reduction.Exact)
        mapByKMeans(picture, out.Image, stages);
    stages.at(1.0);
    // Index 0 holds a colour of the picture only when all 256 entries do.
    const int entries = out.Image.paletteCount();
    out.Reduction.Colours = entries == static_cast<int>(TableSize) ? entries : entries - 1;
    return out;
}

} // namespace vex
