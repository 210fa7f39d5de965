// Stains in photographed cards, held to the truth of simulated photos; and
// the simulator's truth held to what it draws.

#include "support/PhotoCards.h"

#include "intake/Hue.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace {

using namespace vex;
using test::PhotoFigures;

photosim::PhotoSpec smallCardPhoto(std::uint64_t seed)
{
    photosim::PhotoSpec spec;
    spec.Card.WidthMm = 40.0;
    spec.Card.Stains = 320;
    spec.Card.Seed = seed;
    spec.Seed = seed + 50;
    return spec;
}

void expectWithinGoals(const PhotoFigures &f)
{
    // The segmentation cuts touching drops apart itself: a scan that cuts
    // nothing finds nearly every stain.
    EXPECT_NEAR(f.Groups, f.TruthStains, 0.05 * f.TruthStains);
    EXPECT_NEAR(f.CoveragePercent, f.TruthCoveragePercent, 1.0);
    if (f.TruthSeparate == f.TruthStains) {
        EXPECT_NEAR(f.Stains, f.TruthStains, 0.03 * f.TruthStains);
        EXPECT_NEAR(f.DropVmd, f.TruthDropVmd, 0.05 * f.TruthDropVmd);
    }
}

TEST(PhotoSimulator, TruthMatchesWhatIsDrawn)
{
    photosim::CardSpec spec;
    spec.TouchingShare = 0.3;
    const photosim::DrawnCard card = photosim::drawCard(spec);
    // The coverage worked out from the discs (lenses of touching pairs taken
    // off) is the share of the card the drawing covers.
    const double drawn = cv::sum(card.Cover)[0] / static_cast<double>(card.Cover.total());
    EXPECT_NEAR(drawn, card.Truth.Coverage, 0.002 * card.Truth.Coverage);
    EXPECT_EQ(card.Truth.Count, static_cast<int>(card.Truth.Stains.size()));
    EXPECT_LT(card.Truth.SeparateCount, card.Truth.Count * 0.9);
    // The corners of a tilted, turned photo go clockwise from the card's top
    // left: paper just inside each, the scene just outside.
    photosim::PhotoSpec photoSpec = smallCardPhoto(3);
    photoSpec.RotationDeg = 100.0;
    photoSpec.TiltXDeg = 15.0;
    photoSpec.CardShare = 0.4;
    const photosim::Photo photo = photosim::simulatePhoto(photoSpec);
    cv::Point2d centre;
    for (const cv::Point2d &c : photo.Corners)
        centre += c / 4.0;
    double area = 0.0;
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Point2d a = photo.Corners[i], b = photo.Corners[(i + 1) % 4];
        area += a.x * b.y - b.x * a.y;
        for (const double step : {-0.04, 0.04}) {
            const cv::Point2d p = a + step * (a - centre);
            ASSERT_TRUE(cv::Rect(0, 0, photo.Image.cols, photo.Image.rows).contains(cv::Point(p)));
            const cv::Vec3b bgr = photo.Image.at<cv::Vec3b>(cv::Point(p));
            const bool paper = bgr[2] > 150 && bgr[1] > 140 && bgr[0] < 110;
            EXPECT_EQ(paper, step < 0) << "corner " << i;
        }
    }
    EXPECT_GT(area, 0.0); // clockwise with y down
    const double top = cv::norm(photo.Corners[1] - photo.Corners[0]);
    const double left = cv::norm(photo.Corners[3] - photo.Corners[0]);
    EXPECT_NEAR(top / left, 40.0 / 26.0, 0.3);

    // A straight card on a sheet lies on whole pixels, its size at the scan's
    // resolution: lid just outside its top left corner, paper just inside.
    photosim::SheetSpec sheetSpec;
    sheetSpec.Cards = 2;
    sheetSpec.Dpi = 300;
    const photosim::Sheet sheet = photosim::simulateSheet(sheetSpec);
    for (const photosim::SheetCard &c : sheet.Cards) {
        const cv::Point topLeft(cv::Point2d(c.Corners[0].x + 0.5, c.Corners[0].y + 0.5));
        EXPECT_EQ(cv::Point2d(topLeft), c.Corners[0] + cv::Point2d(0.5, 0.5));
        EXPECT_EQ(c.Corners[2] - c.Corners[0], cv::Point2d(photosim::cardPixels(c.Truth, 300)));
        const cv::Vec3b inside = sheet.Image.at<cv::Vec3b>(topLeft + cv::Point(1, 1));
        const cv::Vec3b outside = sheet.Image.at<cv::Vec3b>(topLeft - cv::Point(2, 2));
        EXPECT_GT(inside[2] - inside[0], 100);
        EXPECT_LT(std::abs(outside[2] - outside[0]), 20);
    }
}

TEST(PhotoStains, SimulatedPhotosMeetTheGoals)
{
    expectWithinGoals(test::analysePhoto(smallCardPhoto(1)));
    photosim::PhotoSpec hard = smallCardPhoto(2);
    hard.Card.TouchingShare = 0.0;
    hard.Scene = photosim::Background::Soil;
    hard.RotationDeg = -10.0;
    hard.TiltXDeg = 10.0;
    hard.Gradient = 0.25;
    hard.Vignetting = 0.25;
    hard.JpegQuality = 80;
    expectWithinGoals(test::analysePhoto(hard));
}

TEST(PhotoStains, TouchingDropsAreCutApartOvalsAndSwallowedDropsStayWhole)
{
    photosim::PhotoSpec spec = smallCardPhoto(6);
    spec.Card.TouchingShare = 0.5;
    const PhotoFigures f = test::analysePhoto(spec);
    ASSERT_LT(f.TruthSeparate, 0.7 * f.TruthStains);
    // Pairs with a drop under three pixels in radius may stay joined.
    EXPECT_NEAR(f.Groups, f.TruthStains, 0.1 * f.TruthStains);
    EXPECT_NEAR(f.Stains, f.TruthStains, 0.03 * f.TruthStains);
    EXPECT_NEAR(f.DropVmd, f.TruthDropVmd, 0.05 * f.TruthDropVmd);
    EXPECT_NEAR(f.CoveragePercent, f.TruthCoveragePercent, 0.5);
    // An oval nearly three times as long as wide, and a drop whose centre
    // lies inside its neighbour, are one stain each; drops that overlap by a
    // third of the smaller one's radius are two.
    cv::Mat card(150, 450, CV_8UC3, cv::Scalar(50, 200, 230));
    const cv::Scalar blue(130, 50, 35);
    cv::ellipse(card, {75, 75}, {40, 15}, 20, 0, 360, blue, cv::FILLED);
    cv::circle(card, {200, 75}, 20, blue, cv::FILLED);
    cv::circle(card, {217, 75}, 12, blue, cv::FILLED);
    cv::circle(card, {325, 75}, 20, blue, cv::FILLED);
    cv::circle(card, {352, 75}, 10, blue, cv::FILLED);
    cv::GaussianBlur(card, card, {0, 0}, 1.5);
    EXPECT_EQ(segmentPhotoCard(card, 1200).Facts.CutStains, 1);
}

TEST(PhotoStains, UnevenLightMovesNoStain)
{
    photosim::PhotoSpec even = smallCardPhoto(4);
    even.Gradient = 0.0;
    even.Vignetting = 0.0;
    // A shadow over a third of the card, light falling off to its corners.
    photosim::PhotoSpec uneven = even;
    uneven.ShadowDepth = 0.4;
    uneven.ShadowAngleDeg = 0.0;
    uneven.Vignetting = 0.3;
    const PhotoFigures a = test::analysePhoto(even);
    const PhotoFigures b = test::analysePhoto(uneven);
    EXPECT_NEAR(b.CoveragePercent, a.CoveragePercent, 0.02 * a.CoveragePercent);
    EXPECT_NEAR(b.Stains, a.Stains, 0.01 * a.Stains + 1);
    EXPECT_NEAR(b.DropVmd, a.DropVmd, 0.05 * a.DropVmd);
}

TEST(PhotoStains, SmallStainsWashedOutByJpegAreFoundAndSized)
{
    photosim::PhotoSpec spec = smallCardPhoto(5);
    // Stains of 3 to 4 pixels across, blurred and their colour subsampled.
    spec.Card.MinDiameterUm = 130.0;
    spec.Card.MedianDiameterUm = 150.0;
    spec.Card.MaxDiameterUm = 170.0;
    spec.Card.TouchingShare = 0.0;
    spec.BlurPx = 1.0;
    spec.JpegQuality = 80;
    const PhotoFigures f = test::analysePhoto(spec);
    EXPECT_NEAR(f.Stains, f.TruthStains, 0.03 * f.TruthStains);
    EXPECT_NEAR(f.CoveragePercent, f.TruthCoveragePercent, 0.1 * f.TruthCoveragePercent);
    EXPECT_GT(f.Facts.FaintStains, 0);
}

TEST(PhotoStains, CardIsPaperOneColourStainsBlueNoneTakenForDither)
{
    // Paper with a light gradient; one large stain across the bottom rows,
    // where the colour pass samples the background and dither.
    cv::Mat card(300, 600, CV_8UC3);
    for (int x = 0; x < card.cols; ++x)
        card.col(x).setTo(cv::Scalar(50, 180 + x / 20, 210 + x / 20));
    cv::circle(card, {300, 290}, 200, cv::Scalar(130, 50, 35), cv::FILLED);
    const PhotoCard photoCard = segmentPhotoCard(card, 600);
    CardRecord record = newCardRecord("card.jpg", "", card.cols, card.rows, 600);
    AnalysisSettings settings;
    settings.Log = false;
    analyseCard(record, photoCard.Image, settings);
    EXPECT_EQ(record.BackgroundIndex, 1);
    EXPECT_EQ(record.DitherIndex, 1);
    EXPECT_EQ(record.Summary.Accepted + record.RejectedCount, 1);
    cv::Mat drawn(card.size(), CV_8U, cv::Scalar(0));
    cv::circle(drawn, {300, 290}, 200, cv::Scalar(1), cv::FILLED);
    EXPECT_NEAR(record.StainCoverage, cv::countNonZero(drawn) / 180000.0, 0.002);
    int notBlue = 0;
    for (const std::uint8_t index : photoCard.Image.Pixels) {
        const std::uint8_t *c = &photoCard.Image.PaletteBgr[3u * index];
        notBlue += index != 1 && std::abs(hueOf(c[2], c[1], c[0]) - 165) > 12 ? 1 : 0;
    }
    EXPECT_EQ(notBlue, 0);

    // Faint specks: one of the dye keeps the dye's hue, a brown one (soil on
    // the card) keeps its own, for the hue test to refuse.
    cv::Mat specks(300, 600, CV_8UC3, cv::Scalar(50, 200, 230));
    cv::circle(specks, {100, 100}, 60, cv::Scalar(130, 50, 35), cv::FILLED); // a stain to learn the dye from
    cv::circle(specks, {300, 150}, 1, cv::Scalar(130, 50, 35), cv::FILLED);
    cv::circle(specks, {450, 150}, 1, cv::Scalar(40, 70, 110), cv::FILLED);
    cv::GaussianBlur(specks, specks, {5, 5}, 1.0);
    const PhotoCard speckCard = segmentPhotoCard(specks, 300);
    const auto hueAt = [&speckCard](int x, int y) {
        const std::uint8_t *c = &speckCard.Image.PaletteBgr[3u * speckCard.Image.row(299 - y)[x]];
        return hueOf(c[2], c[1], c[0]);
    };
    EXPECT_NEAR(hueAt(300, 150), 165, 12);
    EXPECT_GT(std::abs(hueAt(450, 150) - 165), 40);
}

} // namespace
