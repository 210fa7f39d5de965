#pragma once
// segmentPhotoCard for an OpenCV picture, as the card finder gives a card:
// for code that already includes OpenCV.

#include "intake/PhotoStains.h"

#include <opencv2/core.hpp>

#include <stdexcept>

namespace vex {

// `bgr` must be 8-bit with three channels (blue, green, red).
inline PhotoCard segmentPhotoCard(const cv::Mat &bgr, double dpi)
{
    if (bgr.type() != CV_8UC3)
        throw std::invalid_argument("a card picture must have three 8-bit channels");
    return segmentPhotoCard(BgrView{bgr.cols, bgr.rows, bgr.data, static_cast<std::ptrdiff_t>(bgr.step)}, dpi);
}

} // namespace vex
