#pragma once
// A simulated photo of a card, cut out by its true corners, segmented and
// analysed as the batch tool analyses a card; the figures beside the truth.

#include "analysis/DropStatistics.h"
#include "intake/CardLoading.h"
#include "intake/ColourReduction.h"
#include "intake/PhotoStainsCv.h"
#include "line/LineAnalysis.h"
#include "tools/photosim/PhotoSimulator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace vex::test {

struct PhotoFigures {
    // Found: stains (accepted and rejected), coverage in percent, drop VMD.
    int Stains = 0;
    int Accepted = 0;
    double CoveragePercent = 0.0;
    double DropVmd = 0.0;
    double Seconds = 0.0; // the segmentation alone
    PhotoStainFacts Facts;
    // Truth: stains, groups of touching stains, coverage, drop VMD.
    int TruthStains = 0;
    int TruthSeparate = 0;
    double TruthCoveragePercent = 0.0;
    double TruthDropVmd = 0.0;
    // The drop VMD the analysis's statistics give for the true stains, each
    // a disc of its true area in whole pixels: the truth as the analysis
    // would report it from a perfect segmentation.
    double TruthDropVmdAsAnalysed = 0.0;
    // Stains found by a scan that does not cut touching stains apart,
    // beside the truth's groups of touching stains.
    int Groups = 0;
};

inline double truthDropVmd(const photosim::CardTruth &truth, const SpreadFactors &spread)
{
    std::vector<double> drops;
    for (const photosim::Stain &s : truth.Stains)
        drops.push_back(dropDiameter(s.DiameterUm, spread));
    return photosim::volumeMedianDiameter(drops);
}

// With `reduce`, the card goes through the 256-colour reduction of colour
// scans instead, for comparison.
inline PhotoFigures analysePictureOfCard(const cv::Mat &picture, const std::array<cv::Point2d, 4> &corners,
                                         const photosim::CardTruth &truth, int dpi, bool reduce = false)
{
    const cv::Mat straight = photosim::straightenCard(picture, corners, photosim::cardPixels(truth, dpi));
    const auto start = std::chrono::steady_clock::now();
    PhotoCard segmented;
    if (reduce) {
        ColourImage colour;
        colour.Width = straight.cols;
        colour.Height = straight.rows;
        colour.Bgr.resize(3 * straight.total());
        for (int y = 0; y < straight.rows; ++y)
            std::copy(straight.ptr(y), straight.ptr(y) + 3 * straight.cols, colour.row(straight.rows - 1 - y));
        ReducedPicture reduced = reduceColours(colour);
        segmented.Image = std::move(reduced.Image);
        segmented.Reduction = reduced.Reduction;
    } else {
        segmented = segmentPhotoCard(straight, dpi);
    }
    PhotoFigures f;
    f.Facts = segmented.Facts;
    f.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The card's resolution comes with it, as from a file that records it.
    AnalysisSettings settings;
    settings.Resolution = 1200;
    settings.ResolutionFromFile = true;
    settings.Log = false;
    settings.Scan.SplitTouching = true;
    const DecodeResult decoded(decodedPhotoCard(segmented, dpi));
    CardRecord card = newCardRecord("photo.jpg", "", straight.cols, straight.rows, settings.Resolution);
    noteDecodedFacts(card, decoded);
    analyseCard(card, decoded->Image, settings);
    f.Accepted = card.Summary.Accepted;
    f.Stains = card.Summary.Accepted + card.RejectedCount;
    f.CoveragePercent = card.StainCoverage * 100.0;
    f.DropVmd = card.VMD;
    f.TruthStains = truth.Count;
    f.TruthSeparate = truth.SeparateCount;
    f.TruthCoveragePercent = truth.Coverage * 100.0;
    f.TruthDropVmd = truthDropVmd(truth, settings.Spread);
    ScanSettings whole = settings.Scan;
    whole.SplitTouching = false;
    const ScanResult groups = traceStains(card.ForegroundPixels, whole);
    f.Groups = static_cast<int>(groups.AcceptedAreas.size()) + groups.RejectedCount;
    CardRecord perfect = card;
    std::vector<std::int32_t> areas;
    for (const photosim::Stain &s : truth.Stains) {
        const double radius = s.DiameterUm / 2.0 / card.PixelSizeX;
        areas.push_back(static_cast<std::int32_t>(std::lround(M_PI * radius * radius)));
    }
    computeCardStatistics(perfect, areas, settings.Spread);
    f.TruthDropVmdAsAnalysed = perfect.VMD;
    return f;
}

// With `slack`, the card is cut that share of its diagonal too wide at
// every corner, as by a card finder that erred outwards.
inline PhotoFigures analysePhoto(const photosim::PhotoSpec &spec, double slack = 0.0, bool reduce = false)
{
    const photosim::Photo photo = photosim::simulatePhoto(spec);
    std::array<cv::Point2d, 4> corners = photo.Corners;
    const cv::Point2d centre = (corners[0] + corners[1] + corners[2] + corners[3]) / 4.0;
    for (cv::Point2d &c : corners)
        c += slack * (c - centre) * 2.0;
    return analysePictureOfCard(photo.Image, corners, photo.Truth, static_cast<int>(spec.Card.Dpi), reduce);
}

} // namespace vex::test
