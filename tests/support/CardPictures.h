#pragma once
// Pictures of cards lying somewhere, for the card finder's tests: a photo of
// one card warped by a known perspective onto a textured leaf-and-soil
// background under uneven light, and flatbed sheets of generated cards on a
// light or dark lid.  The truth (corners, where each card went) comes with
// each picture.

#include "intake/CardFinder.h"
#include "intake/ColourImage.h"
#include "intake/IndexedImage.h"
#include "tools/cardgen/CardGenerator.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace vex::test {

struct PhotoSpec {
    int Width = 1400;
    int Height = 1000;
    int CardWidth = 760; // pixels of the flat card, 76 x 26 mm at 254 dpi
    int CardHeight = 260;
    double TiltDegrees = 0.0; // turn on the picture, clockwise
    double Perspective = 0.0; // share by which the card's far side shrinks
    double Light = 0.25;      // brighter left, darker right, by this share
    bool SoilBackground = false;
    unsigned Seed = 1;
};

struct CardPhoto {
    ColourImage Picture;
    std::array<PicturePoint, 4> Corners; // of the card, clockwise from its top left
};

inline ColourImage colourImageOf(const cv::Mat &m)
{
    ColourImage c;
    c.Width = m.cols;
    c.Height = m.rows;
    c.Bgr.resize(static_cast<std::size_t>(m.total()) * 3);
    for (int y = 0; y < m.rows; ++y)
        std::memcpy(c.row(m.rows - 1 - y), m.ptr(y), static_cast<std::size_t>(m.cols) * 3);
    return c;
}

// A yellow card with blue dots, warped onto a background of blotches,
// lit unevenly, blurred, with noise and colours at half resolution as a
// phone's JPEG keeps them.
inline CardPhoto cardPhoto(const PhotoSpec &s)
{
    cv::RNG rng(s.Seed);
    cv::Mat background(s.Height, s.Width, CV_8UC3,
                       s.SoilBackground ? cv::Scalar(50, 80, 110) : cv::Scalar(40, 120, 60));
    for (int i = 0; i < 400; ++i) {
        const cv::Scalar blotch = s.SoilBackground
                                      ? cv::Scalar(rng.uniform(30, 80), rng.uniform(60, 110), rng.uniform(90, 150))
                                      : cv::Scalar(rng.uniform(20, 70), rng.uniform(90, 170), rng.uniform(30, 90));
        cv::circle(background, cv::Point(rng.uniform(0, s.Width), rng.uniform(0, s.Height)), rng.uniform(5, 60), blotch,
                   cv::FILLED);
    }
    cv::Mat card(s.CardHeight, s.CardWidth, CV_8UC3, cv::Scalar(45, 215, 235));
    for (int i = 0; i < 150; ++i)
        cv::circle(card, cv::Point(rng.uniform(0, s.CardWidth), rng.uniform(0, s.CardHeight)), rng.uniform(2, 12),
                   cv::Scalar(150, 50, 30), cv::FILLED, cv::LINE_AA);

    // The card's corners: centred, turned, the far (top) side shrunk.
    const double t = s.TiltDegrees * std::numbers::pi / 180.0;
    const double w = s.CardWidth / 2.0;
    const double h = s.CardHeight / 2.0;
    const std::array<cv::Point2d, 4> flat = {cv::Point2d(-w * (1 - s.Perspective), -h),
                                             cv::Point2d(w * (1 - s.Perspective), -h), cv::Point2d(w, h),
                                             cv::Point2d(-w, h)};
    CardPhoto photo;
    std::array<cv::Point2f, 4> to;
    for (std::size_t i = 0; i < 4; ++i) {
        const double x = flat[i].x * std::cos(t) - flat[i].y * std::sin(t) + s.Width / 2.0;
        const double y = flat[i].x * std::sin(t) + flat[i].y * std::cos(t) + s.Height / 2.0;
        to[i] = cv::Point2f(static_cast<float>(x), static_cast<float>(y));
        photo.Corners[i] = {x, y};
    }
    const std::array<cv::Point2f, 4> from = {
        cv::Point2f(0, 0), cv::Point2f(static_cast<float>(s.CardWidth - 1), 0),
        cv::Point2f(static_cast<float>(s.CardWidth - 1), static_cast<float>(s.CardHeight - 1)),
        cv::Point2f(0, static_cast<float>(s.CardHeight - 1))};
    const cv::Mat homography = cv::getPerspectiveTransform(from.data(), to.data());
    cv::Mat picture = background.clone();
    cv::warpPerspective(card, picture, homography, picture.size(), cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);

    cv::Mat lit;
    picture.convertTo(lit, CV_32FC3);
    for (int x = 0; x < lit.cols; ++x)
        lit.col(x) *= 1.0 + s.Light * (1.0 - 2.0 * x / lit.cols);
    cv::GaussianBlur(lit, lit, cv::Size(0, 0), 1.2);
    cv::Mat noise(lit.size(), CV_32FC3);
    rng.fill(noise, cv::RNG::NORMAL, 0, 4);
    lit += noise;
    lit.convertTo(picture, CV_8UC3);
    cv::Mat ycc;
    cv::cvtColor(picture, ycc, cv::COLOR_BGR2YCrCb);
    std::vector<cv::Mat> planes;
    cv::split(ycc, planes);
    for (std::size_t i = 1; i < 3; ++i) {
        cv::Mat half;
        cv::resize(planes[i], half, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
        cv::resize(half, planes[i], planes[i].size(), 0, 0, cv::INTER_LINEAR);
    }
    cv::merge(planes, ycc);
    cv::cvtColor(ycc, picture, cv::COLOR_YCrCb2BGR);
    photo.Picture = colourImageOf(picture);
    return photo;
}

// A generated card pasted on a sheet, top left at (X, Y), turned by Turn
// degrees about its centre when not 0.
struct SheetCard {
    cardgen::Card Card;
    int X = 0;
    int Y = 0;
    double Turn = 0.0;
};

// The palette entry of the card generator's grey ramp nearest `grey`.
inline std::uint8_t lidIndex(const cardgen::Card &card, int grey)
{
    int best = 0;
    for (int i = cardgen::FirstDustIndex + cardgen::DustShades; i < 256; ++i)
        if (std::abs(card.Palette[static_cast<std::size_t>(i)].R - grey) <
            std::abs(card.Palette[static_cast<std::size_t>(best)].R - grey))
            best = i;
    return static_cast<std::uint8_t>(best);
}

// An 8-bit sheet in the generator's colour table: the lid's grey and the
// cards on it.
inline IndexedImage sheetPicture(int width, int height, const std::vector<SheetCard> &cards, int lidGrey)
{
    const std::uint8_t lid = lidIndex(cards.front().Card, lidGrey);
    cv::Mat sheet(height, width, CV_8U, cv::Scalar(lid));
    for (const SheetCard &c : cards) {
        const cv::Mat card(c.Card.Height, c.Card.Width, CV_8U, const_cast<std::uint8_t *>(c.Card.Pixels.data()));
        if (c.Turn == 0.0) {
            card.copyTo(sheet(cv::Rect(c.X, c.Y, c.Card.Width, c.Card.Height)));
            continue;
        }
        cv::Mat turn = cv::getRotationMatrix2D(cv::Point2d(c.Card.Width / 2.0, c.Card.Height / 2.0), -c.Turn, 1.0);
        turn.at<double>(0, 2) += c.X;
        turn.at<double>(1, 2) += c.Y;
        cv::warpAffine(card, sheet, turn, sheet.size(), cv::INTER_NEAREST, cv::BORDER_TRANSPARENT);
    }
    IndexedImage image;
    image.Width = width;
    image.Height = height;
    for (const cardgen::Colour &colour : cards.front().Card.Palette)
        image.PaletteBgr.insert(image.PaletteBgr.end(), {colour.B, colour.G, colour.R});
    image.Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(image.row(height - 1 - y), sheet.ptr(y), static_cast<std::size_t>(width));
    return image;
}

} // namespace vex::test
