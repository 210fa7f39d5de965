#include "tools/photosim/PhotoSimulator.h"

#include "tools/cardgen/Random.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace vex::photosim {
namespace {

using cardgen::Random;

constexpr double MmPerInch = 25.4;
constexpr double Gamma = 2.2;

double normal(Random &rng)
{
    // Box-Muller: the standard library's distributions differ between
    // library versions, and the same description must give the same card.
    const double u = std::max(rng.unit(), 1e-12);
    const double v = rng.unit();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * v);
}

double uniform(Random &rng, double low, double high)
{
    return low + (high - low) * rng.unit();
}

double toLinear(double srgb8)
{
    return std::pow(srgb8 / 255.0, Gamma);
}

cv::Vec3f linearBgr(double r, double g, double b)
{
    return {static_cast<float>(toLinear(b)), static_cast<float>(toLinear(g)), static_cast<float>(toLinear(r))};
}

// The area two discs share.
double lensArea(double r1, double r2, double d)
{
    if (d >= r1 + r2)
        return 0.0;
    if (d <= std::abs(r1 - r2)) {
        const double r = std::min(r1, r2);
        return std::numbers::pi * r * r;
    }
    const double a1 = std::acos(std::clamp((d * d + r1 * r1 - r2 * r2) / (2.0 * d * r1), -1.0, 1.0));
    const double a2 = std::acos(std::clamp((d * d + r2 * r2 - r1 * r1) / (2.0 * d * r2), -1.0, 1.0));
    const double k = (-d + r1 + r2) * (d + r1 - r2) * (d - r1 + r2) * (d + r1 + r2);
    return r1 * r1 * a1 + r2 * r2 * a2 - 0.5 * std::sqrt(std::max(k, 0.0));
}

// Smooth noise of about `scale` pixels, zero mean, unit spread: random
// values on a coarse grid, enlarged with cubic interpolation.
cv::Mat smoothNoise(Random &rng, cv::Size size, double scale)
{
    const int gw = std::max(2, static_cast<int>(std::ceil(size.width / scale)) + 2);
    const int gh = std::max(2, static_cast<int>(std::ceil(size.height / scale)) + 2);
    cv::Mat grid(gh, gw, CV_32F);
    for (int y = 0; y < gh; ++y)
        for (int x = 0; x < gw; ++x)
            grid.at<float>(y, x) = static_cast<float>(normal(rng));
    cv::Mat big;
    cv::resize(grid, big, cv::Size(static_cast<int>(gw * scale), static_cast<int>(gh * scale)), 0, 0, cv::INTER_CUBIC);
    return big(cv::Rect(0, 0, size.width, size.height)).clone();
}

// Pixel noise, zero mean, unit spread.
cv::Mat pixelNoise(Random &rng, cv::Size size)
{
    cv::Mat n(size, CV_32F);
    // cv::randn would be quicker but its sequence is OpenCV's to change.
    cv::RNG cvRng(rng.next());
    cvRng.fill(n, cv::RNG::NORMAL, 0.0, 1.0);
    return n;
}

struct LinearCard {
    cv::Mat Image; // CV_32FC3, linear light
    cv::Mat Cover; // CV_32F
    CardTruth Truth;
};

LinearCard drawLinearCard(const CardSpec &spec)
{
    LinearCard card;
    card.Truth = placeStains(spec);
    const double pxPerMm = spec.Dpi / MmPerInch;
    const int w = static_cast<int>(std::lround(spec.WidthMm * pxPerMm));
    const int h = static_cast<int>(std::lround(spec.HeightMm * pxPerMm));
    Random rng(spec.Seed ^ 0xC0FFEEull);

    // Paper: the yellow of the card, a cloud of a few millimetres and the
    // fibres' grain.
    const cv::Vec3f paper = linearBgr(236, 214, 58);
    cv::Mat cloud = smoothNoise(rng, {w, h}, 3.0 * pxPerMm);
    cv::Mat grain = pixelNoise(rng, {w, h});
    cv::GaussianBlur(grain, grain, {0, 0}, 0.7);
    cv::Mat shade = 1.0 + 0.025 * cloud + 0.03 * grain;
    std::vector<cv::Mat> planes{shade * paper[0], shade * paper[1], shade * paper[2]};
    cv::Mat paperImage;
    cv::merge(planes, paperImage);

    card.Cover = cv::Mat::zeros(h, w, CV_32F);
    cv::Mat ink(h, w, CV_32FC3, cv::Scalar::all(0.0));
    const cv::Vec3f stainColour = linearBgr(34, 52, 128);
    const cv::Vec3f rimColour = linearBgr(22, 34, 96);
    for (const Stain &s : card.Truth.Stains) {
        const double cx = s.XMm * pxPerMm - 0.5; // pixel centres at whole numbers
        const double cy = s.YMm * pxPerMm - 0.5;
        const double r = s.DiameterUm / 1000.0 * pxPerMm / 2.0;
        // Each stain a little lighter or darker: drops carry more or less dye
        // into the paper.  The dye absorbs as a filter does (Beer-Lambert):
        // a stain with less dye passes the paper's light times the full
        // stain's share of it to a power below 1.
        const double depth = uniform(rng, 0.75, 1.0);
        cv::Vec3f core;
        cv::Vec3f rim;
        for (int ch = 0; ch < 3; ++ch) {
            core[ch] = static_cast<float>(paper[ch] * std::pow(stainColour[ch] / paper[ch], depth));
            rim[ch] = static_cast<float>(paper[ch] * std::pow(rimColour[ch] / paper[ch], depth));
        }
        const double rimWidth = spec.DarkRim ? std::max(0.8, 0.12 * r) : 0.0;
        const int x0 = std::max(0, static_cast<int>(std::floor(cx - r - 1)));
        const int x1 = std::min(w - 1, static_cast<int>(std::ceil(cx + r + 1)));
        const int y0 = std::max(0, static_cast<int>(std::floor(cy - r - 1)));
        const int y1 = std::min(h - 1, static_cast<int>(std::ceil(cy + r + 1)));
        for (int y = y0; y <= y1; ++y) {
            auto *coverRow = card.Cover.ptr<float>(y);
            auto *inkRow = ink.ptr<cv::Vec3f>(y);
            for (int x = x0; x <= x1; ++x) {
                const double d = std::hypot(x - cx, y - cy);
                // The share of the pixel inside the disc, to within a
                // twelfth of a pixel over the whole disc.
                const double alpha = std::clamp(r - d + 0.5, 0.0, 1.0);
                if (alpha <= 0.0)
                    continue;
                const double inner = r - d;
                const float rimShare =
                    rimWidth > 0.0 ? static_cast<float>(std::clamp(1.0 - inner / rimWidth, 0.0, 1.0)) : 0.0f;
                const cv::Vec3f colour = rimShare * rim + (1.0f - rimShare) * core;
                if (alpha >= coverRow[x] || coverRow[x] == 0.0f)
                    inkRow[x] = colour;
                coverRow[x] = std::max(coverRow[x], static_cast<float>(alpha));
            }
        }
    }
    // Paper where nothing fell, the dye's colour where a stain covers all.
    card.Image.create(h, w, CV_32FC3);
    for (int y = 0; y < h; ++y) {
        const auto *c = card.Cover.ptr<float>(y);
        const auto *i = ink.ptr<cv::Vec3f>(y);
        const auto *p = paperImage.ptr<cv::Vec3f>(y);
        auto *out = card.Image.ptr<cv::Vec3f>(y);
        for (int x = 0; x < w; ++x)
            out[x] = c[x] * i[x] + (1.0f - c[x]) * p[x];
    }
    return card;
}

cv::Mat toSrgb8(const cv::Mat &linear)
{
    cv::Mat clipped = cv::max(linear, 0.0);
    cv::Mat encoded;
    cv::pow(clipped, 1.0 / Gamma, encoded);
    cv::Mat out;
    encoded.convertTo(out, CV_8UC3, 255.0);
    return out;
}

// Noise in 8-bit levels: the same in every channel (brightness) plus a half
// as large part of each channel's own (colour).
void addSensorNoise(cv::Mat &srgb255, Random &rng, double levels)
{
    if (levels <= 0.0)
        return;
    const cv::Size size = srgb255.size();
    cv::Mat luma = pixelNoise(rng, size) * levels;
    std::vector<cv::Mat> planes;
    cv::split(srgb255, planes);
    for (cv::Mat &p : planes)
        p += luma + pixelNoise(rng, size) * (levels / 2.0);
    cv::merge(planes, srgb255);
}

cv::Mat background(Background scene, cv::Size size, Random &rng)
{
    cv::Mat base(size, CV_32FC3);
    const double s = std::max(size.width, size.height);
    cv::Mat coarse = smoothNoise(rng, size, s / 6.0);
    cv::Mat mid = smoothNoise(rng, size, s / 40.0);
    cv::Mat fine = smoothNoise(rng, size, 3.0);
    cv::Mat texture;
    cv::Vec3f colour;
    switch (scene) {
    case Background::Leaf: {
        colour = linearBgr(70, 125, 45);
        // Veins: parallel, slightly wavy light lines as on a maize leaf.
        cv::Mat veins(size, CV_32F);
        for (int y = 0; y < size.height; ++y) {
            auto *row = veins.ptr<float>(y);
            for (int x = 0; x < size.width; ++x) {
                const double u = x * 0.26 + y * 0.97 + 6.0 * std::sin(x * 0.004);
                row[x] = static_cast<float>(std::pow(std::abs(std::sin(u * std::numbers::pi / 28.0)), 12.0));
            }
        }
        texture = 0.18 * coarse + 0.08 * mid + 0.04 * fine + 0.35 * veins;
        break;
    }
    case Background::Soil: {
        colour = linearBgr(110, 84, 60);
        cv::Mat grains = pixelNoise(rng, size);
        cv::GaussianBlur(grains, grains, {0, 0}, 1.5);
        texture = 0.25 * coarse + 0.2 * mid + 0.25 * fine + 0.9 * grains;
        break;
    }
    case Background::Skin:
        colour = linearBgr(205, 152, 125);
        texture = 0.1 * coarse + 0.04 * mid + 0.015 * fine;
        break;
    case Background::Table: {
        colour = linearBgr(150, 118, 86);
        // Grain of wood: noise stretched along the boards.
        cv::Mat stretched = smoothNoise(rng, {std::max(2, size.width / 40), size.height}, 4.0);
        cv::resize(stretched, stretched, size, 0, 0, cv::INTER_LINEAR);
        texture = 0.1 * coarse + 0.25 * stretched + 0.03 * fine;
        break;
    }
    }
    cv::Mat shade = cv::max(1.0 + texture, 0.05);
    std::vector<cv::Mat> planes{shade * colour[0], shade * colour[1], shade * colour[2]};
    cv::merge(planes, base);
    return base;
}

cv::Mat rotation(double rz, double rx, double ry)
{
    const double cz = std::cos(rz), sz = std::sin(rz), cx = std::cos(rx), sx = std::sin(rx), cy = std::cos(ry),
                 sy = std::sin(ry);
    const cv::Matx33d z(cz, -sz, 0, sz, cz, 0, 0, 0, 1);
    const cv::Matx33d x(1, 0, 0, 0, cx, -sx, 0, sx, cx);
    const cv::Matx33d y(cy, 0, sy, 0, 1, 0, -sy, 0, cy);
    return cv::Mat(z * x * y);
}

double radians(double deg)
{
    return deg * std::numbers::pi / 180.0;
}

std::array<cv::Point2f, 4> textureCorners(cv::Size size)
{
    const float w = static_cast<float>(size.width) - 0.5f;
    const float h = static_cast<float>(size.height) - 0.5f;
    return {cv::Point2f(-0.5f, -0.5f), cv::Point2f(w, -0.5f), cv::Point2f(w, h), cv::Point2f(-0.5f, h)};
}

void blurLens(cv::Mat &image, double px, bool defocus)
{
    if (px <= 0.0)
        return;
    if (!defocus) {
        cv::GaussianBlur(image, image, {0, 0}, px);
        return;
    }
    const int r = static_cast<int>(std::ceil(px));
    cv::Mat kernel = cv::Mat::zeros(2 * r + 1, 2 * r + 1, CV_32F);
    cv::circle(kernel, {r, r}, static_cast<int>(std::lround(px)), cv::Scalar(1.0), cv::FILLED, cv::LINE_AA);
    kernel /= cv::sum(kernel)[0];
    cv::filter2D(image, image, -1, kernel, {-1, -1}, 0, cv::BORDER_REFLECT);
}

void appendNumber(std::string &out, double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", value);
    out += buffer;
}

} // namespace

double volumeMedianDiameter(std::vector<double> diameters)
{
    if (diameters.empty())
        return 0.0;
    std::sort(diameters.begin(), diameters.end());
    double total = 0.0;
    for (const double d : diameters)
        total += d * d * d;
    // The diameter at which the volume of the smaller stains reaches half,
    // linear between one stain's diameter and the next.
    double below = 0.0;
    double previousD = 0.0;
    double previousShare = 0.0;
    for (const double d : diameters) {
        below += d * d * d;
        const double share = below / total;
        if (share >= 0.5) {
            const double t = share > previousShare ? (0.5 - previousShare) / (share - previousShare) : 1.0;
            return previousD + t * (d - previousD);
        }
        previousD = d;
        previousShare = share;
    }
    return diameters.back();
}

CardTruth placeStains(const CardSpec &spec)
{
    CardTruth truth;
    truth.WidthMm = spec.WidthMm;
    truth.HeightMm = spec.HeightMm;
    Random rng(spec.Seed);
    const double pixelMm = MmPerInch / spec.Dpi;
    // Stains that do not touch keep three pixels of paper between them, so
    // that they stay apart through the blur of a scan.
    const double gap = 3.0 * pixelMm;
    const double margin = 0.3;
    std::vector<Stain> &stains = truth.Stains;
    std::vector<char> paired;
    auto freeOf = [&](double x, double y, double r, int except) {
        for (std::size_t k = 0; k < stains.size(); ++k) {
            if (static_cast<int>(k) == except)
                continue;
            const double rk = stains[k].DiameterUm / 2000.0;
            if (std::hypot(stains[k].XMm - x, stains[k].YMm - y) < r + rk + gap)
                return false;
        }
        return true;
    };
    auto inside = [&](double x, double y, double r) {
        return x - r >= margin && y - r >= margin && x + r <= spec.WidthMm - margin && y + r <= spec.HeightMm - margin;
    };
    for (int i = 0; i < spec.Stains; ++i) {
        const double d = std::clamp(spec.MedianDiameterUm * std::exp(spec.Sigma * normal(rng)), spec.MinDiameterUm,
                                    spec.MaxDiameterUm);
        const double r = d / 2000.0;
        const bool touching = !stains.empty() && rng.unit() < spec.TouchingShare;
        for (int attempt = 0; attempt < 60; ++attempt) {
            Stain s;
            s.DiameterUm = d;
            if (touching) {
                const auto j = static_cast<std::size_t>(rng.below(static_cast<std::int64_t>(stains.size())));
                if (paired[j] != 0)
                    continue;
                const double rj = stains[j].DiameterUm / 2000.0;
                // Overlapping by a fifth of the smaller radius: joined as
                // drops that land side by side are, yet two stains to the eye.
                const double dist = r + rj - 0.2 * std::min(r, rj);
                const double angle = 2.0 * std::numbers::pi * rng.unit();
                s.XMm = stains[j].XMm + dist * std::cos(angle);
                s.YMm = stains[j].YMm + dist * std::sin(angle);
                if (!inside(s.XMm, s.YMm, r) || !freeOf(s.XMm, s.YMm, r, static_cast<int>(j)))
                    continue;
                s.TouchingWith = static_cast<int>(j);
                paired[j] = 1;
                stains.push_back(s);
                paired.push_back(1);
                break;
            }
            s.XMm = uniform(rng, r + margin, spec.WidthMm - r - margin);
            s.YMm = uniform(rng, r + margin, spec.HeightMm - r - margin);
            if (!inside(s.XMm, s.YMm, r) || !freeOf(s.XMm, s.YMm, r, -1))
                continue;
            stains.push_back(s);
            paired.push_back(0);
            break;
        }
    }
    double area = 0.0;
    std::vector<double> diameters;
    for (const Stain &s : stains) {
        const double r = s.DiameterUm / 2000.0;
        area += std::numbers::pi * r * r;
        diameters.push_back(s.DiameterUm);
        if (s.TouchingWith >= 0) {
            const Stain &o = stains[static_cast<std::size_t>(s.TouchingWith)];
            area -= lensArea(r, o.DiameterUm / 2000.0, std::hypot(s.XMm - o.XMm, s.YMm - o.YMm));
        } else {
            ++truth.SeparateCount;
        }
    }
    truth.Count = static_cast<int>(stains.size());
    truth.Coverage = area / (spec.WidthMm * spec.HeightMm);
    truth.StainVmdUm = volumeMedianDiameter(diameters);
    return truth;
}

DrawnCard drawCard(const CardSpec &spec)
{
    LinearCard linear = drawLinearCard(spec);
    DrawnCard card;
    card.Image = toSrgb8(linear.Image);
    card.Cover = linear.Cover;
    card.Truth = std::move(linear.Truth);
    return card;
}

std::string checkCardSpec(const CardSpec &c)
{
    if (!(c.WidthMm >= 5.0 && c.WidthMm <= 300.0 && c.HeightMm >= 5.0 && c.HeightMm <= 300.0))
        return "the card size must be 5 to 300 mm";
    if (!(c.Dpi >= 50.0 && c.Dpi <= 2400.0))
        return "the resolution on the card must be 50 to 2400 dpi";
    if (c.Stains < 0 || c.Stains > 100000)
        return "the stain count must be 0 to 100000";
    if (!(c.MinDiameterUm > 0.0 && c.MinDiameterUm <= c.MedianDiameterUm && c.MedianDiameterUm <= c.MaxDiameterUm &&
          c.MaxDiameterUm < std::min(c.WidthMm, c.HeightMm) * 500.0))
        return "the stain diameters must be 0 < min <= median <= max, max below half the card";
    return {};
}

std::string checkSpec(const PhotoSpec &spec)
{
    if (std::string card = checkCardSpec(spec.Card); !card.empty())
        return card;
    const CardSpec &c = spec.Card;
    if (!(spec.CardShare > 0.05 && spec.CardShare <= 0.95) || !(spec.Aspect >= 0.3 && spec.Aspect <= 3.5))
        return "the card's share must be 0.05 to 0.95 of the width and the aspect 0.3 to 3.5";
    if (std::abs(spec.TiltXDeg) > 45.0 || std::abs(spec.TiltYDeg) > 45.0)
        return "the tilt must be within 45 degrees";
    if (!(spec.Gradient >= 0.0 && spec.Gradient < 0.9 && spec.Vignetting >= 0.0 && spec.Vignetting < 0.9 &&
          spec.ShadowDepth >= 0.0 && spec.ShadowDepth < 0.9 && spec.ShadowEdge >= 0.0))
        return "the light's gradient, vignetting and shadow must be 0 to 0.9";
    if (!(spec.BlurPx >= 0.0 && spec.BlurPx <= 20.0) || !(spec.NoiseLevels >= 0.0 && spec.NoiseLevels <= 50.0))
        return "the blur must be 0 to 20 pixels and the noise 0 to 50 levels";
    if (spec.JpegQuality < 0 || spec.JpegQuality > 100)
        return "the JPEG quality must be 0 (none) to 100";
    const double cardPx = c.WidthMm / MmPerInch * c.Dpi / spec.CardShare;
    if (cardPx * cardPx / spec.Aspect > 80e6)
        return "the photo would exceed 80 megapixels";
    return {};
}

Photo simulatePhoto(const PhotoSpec &spec)
{
    Photo photo;
    LinearCard card = drawLinearCard(spec.Card);
    photo.Truth = card.Truth;
    Random rng(spec.Seed);

    const cv::Size cardSize = card.Image.size();
    const int width = static_cast<int>(std::lround(cardSize.width / spec.CardShare));
    const int height = static_cast<int>(std::lround(width / spec.Aspect));
    const cv::Size size(width, height);

    // The card in space, centred on the camera's axis at the distance that
    // shows its width, seen straight, at its nominal resolution.
    const double f = spec.FocalShare * width;
    const double z = f * spec.Card.WidthMm / cardSize.width;
    const cv::Matx33d r(rotation(radians(spec.RotationDeg), radians(spec.TiltXDeg), radians(spec.TiltYDeg)));
    const double cx = (width - 1) / 2.0 + spec.OffsetX * width;
    const double cy = (height - 1) / 2.0 + spec.OffsetY * height;
    const std::array<cv::Point2f, 4> from = textureCorners(cardSize);
    std::array<cv::Point2f, 4> to;
    const double mmPerPx = spec.Card.WidthMm / cardSize.width;
    for (std::size_t i = 0; i < 4; ++i) {
        const cv::Vec3d p(((from[i].x + 0.5) - cardSize.width / 2.0) * mmPerPx,
                          ((from[i].y + 0.5) - cardSize.height / 2.0) * mmPerPx, 0.0);
        const cv::Vec3d q = r * p + cv::Vec3d(0.0, 0.0, z);
        to[i] = cv::Point2f(static_cast<float>(cx + f * q[0] / q[2]), static_cast<float>(cy + f * q[1] / q[2]));
        photo.Corners[i] = cv::Point2d(to[i].x, to[i].y);
    }
    const cv::Mat h = cv::getPerspectiveTransform(from.data(), to.data());

    cv::Mat scene = background(spec.Scene, size, rng);
    cv::Mat warped;
    cv::warpPerspective(card.Image, warped, h, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
    cv::Mat ones(cardSize, CV_32F, cv::Scalar(1.0));
    cv::Mat mask;
    cv::warpPerspective(ones, mask, h, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
    // The card's soft shadow on what it lies on.
    cv::Mat shadow;
    cv::warpAffine(mask, shadow, cv::Mat(cv::Matx23d(1, 0, 0.004 * width, 0, 1, 0.006 * width)), size);
    cv::GaussianBlur(shadow, shadow, {0, 0}, 0.006 * width);
    const cv::Mat shadowed = 1.0 - 0.35 * shadow;
    cv::Mat light(size, CV_32F);

    // Light: a fall-off across the picture and towards its corners.
    const double angle = radians(spec.GradientAngleDeg);
    const double halfDiagonal = std::hypot(width, height) / 2.0;
    const double shadowAngle = radians(spec.ShadowAngleDeg);
    const double reach = std::abs(std::cos(angle)) * width / 2.0 + std::abs(std::sin(angle)) * height / 2.0;
    for (int y = 0; y < height; ++y) {
        auto *row = light.ptr<float>(y);
        for (int x = 0; x < width; ++x) {
            const double dx = x - (width - 1) / 2.0;
            const double dy = y - (height - 1) / 2.0;
            const double across = (dx * std::cos(angle) + dy * std::sin(angle)) / reach;
            const double rho = std::hypot(dx, dy) / halfDiagonal;
            const double beyond = (dx * std::cos(shadowAngle) + dy * std::sin(shadowAngle)) / width - spec.ShadowOffset;
            const double shade =
                spec.ShadowDepth * std::clamp(0.5 + beyond / std::max(spec.ShadowEdge, 1e-6), 0.0, 1.0);
            row[x] = static_cast<float>((1.0 + spec.Gradient * across) * (1.0 - spec.Vignetting * rho * rho) *
                                        (1.0 - shade));
        }
    }
    cv::Mat image(size, CV_32FC3);
    for (int y = 0; y < height; ++y) {
        const auto *m = mask.ptr<float>(y);
        const auto *c = warped.ptr<cv::Vec3f>(y);
        const auto *b = scene.ptr<cv::Vec3f>(y);
        const auto *l = light.ptr<float>(y);
        const auto *s = shadowed.ptr<float>(y);
        auto *out = image.ptr<cv::Vec3f>(y);
        // The card's shadow falls on what it lies on only.
        for (int x = 0; x < width; ++x)
            out[x] = (m[x] * c[x] + (1.0f - m[x]) * s[x] * b[x]) * l[x];
    }
    blurLens(image, spec.BlurPx, spec.Defocus);

    cv::Mat encoded;
    cv::pow(cv::max(image, 0.0), 1.0 / Gamma, encoded);
    encoded *= 255.0;
    addSensorNoise(encoded, rng, spec.NoiseLevels);
    encoded.convertTo(photo.Image, CV_8UC3);
    if (spec.JpegQuality > 0) {
        photo.Jpeg = encodeJpeg(photo.Image, spec.JpegQuality, spec.Subsample420);
        if (!photo.Jpeg.empty())
            photo.Image = decodeJpeg(photo.Jpeg);
    }
    return photo;
}

std::string checkSheetSpec(const SheetSpec &spec)
{
    if (!(spec.Dpi >= 50.0 && spec.Dpi <= 2400.0))
        return "the scan's resolution must be 50 to 2400 dpi";
    if (!(spec.WidthMm > 0.0 && spec.HeightMm > 0.0 && spec.WidthMm <= 450.0 && spec.HeightMm <= 450.0))
        return "the sheet must be up to 450 x 450 mm";
    if (spec.Cards < 1 || spec.Cards > 100)
        return "the sheet holds 1 to 100 cards";
    if (std::abs(spec.MaxRotationDeg) > 20.0)
        return "cards on a sheet turn by 20 degrees at most";
    const double pitchX = spec.Card.WidthMm + 10.0;
    const double pitchY = spec.Card.HeightMm + 10.0;
    const int columns = static_cast<int>((spec.WidthMm - 10.0) / pitchX);
    const int rows = static_cast<int>((spec.HeightMm - 10.0) / pitchY);
    if (columns * rows < spec.Cards)
        return "the cards do not fit on the sheet";
    const double px = spec.WidthMm / MmPerInch * spec.Dpi;
    if (px * spec.HeightMm / MmPerInch * spec.Dpi > 200e6)
        return "the sheet would exceed 200 megapixels";
    CardSpec card = spec.Card;
    card.Dpi = spec.Dpi;
    return checkCardSpec(card);
}

Sheet simulateSheet(const SheetSpec &spec)
{
    Sheet sheet;
    sheet.Dpi = spec.Dpi;
    Random rng(spec.Seed);
    const double pxPerMm = spec.Dpi / MmPerInch;
    const cv::Size size(static_cast<int>(std::lround(spec.WidthMm * pxPerMm)),
                        static_cast<int>(std::lround(spec.HeightMm * pxPerMm)));
    const cv::Vec3f lid = spec.DarkLid ? linearBgr(28, 28, 32) : linearBgr(238, 238, 234);
    cv::Mat image(size, CV_32FC3, cv::Scalar(lid[0], lid[1], lid[2]));
    const double pitchX = spec.Card.WidthMm + 10.0;
    const double pitchY = spec.Card.HeightMm + 10.0;
    const int columns = std::max(1, static_cast<int>((spec.WidthMm - 10.0) / pitchX));
    for (int i = 0; i < spec.Cards; ++i) {
        CardSpec cardSpec = spec.Card;
        cardSpec.Dpi = spec.Dpi;
        cardSpec.Seed = spec.Card.Seed + static_cast<std::uint64_t>(i);
        LinearCard card = drawLinearCard(cardSpec);
        const cv::Size cs = card.Image.size();
        // Laid by hand: the grid's place, a millimetre or two off it.
        const double left = (10.0 + (i % columns) * pitchX + uniform(rng, -1.5, 1.5)) * pxPerMm;
        const double top = (10.0 + (i / columns) * pitchY + uniform(rng, -1.5, 1.5)) * pxPerMm;
        const double turn = spec.MaxRotationDeg == 0.0 ? 0.0 : uniform(rng, -1.0, 1.0) * spec.MaxRotationDeg;
        SheetCard placed;
        placed.RotationDeg = turn;
        placed.Truth = card.Truth;
        const std::array<cv::Point2f, 4> corners = textureCorners(cs);
        if (turn == 0.0) {
            // Straight: the card's pixels as drawn, at whole pixels.
            const int x0 = static_cast<int>(std::lround(left));
            const int y0 = static_cast<int>(std::lround(top));
            card.Image.copyTo(image(cv::Rect(x0, y0, cs.width, cs.height)));
            for (std::size_t k = 0; k < 4; ++k)
                placed.Corners[k] = cv::Point2d(double{corners[k].x} + x0, double{corners[k].y} + y0);
        } else {
            const cv::Point2f centre(static_cast<float>(left + cs.width / 2.0),
                                     static_cast<float>(top + cs.height / 2.0));
            const cv::Point2f middle(static_cast<float>(cs.width - 1) / 2.0f, static_cast<float>(cs.height - 1) / 2.0f);
            cv::Mat m = cv::getRotationMatrix2D(middle, -turn, 1.0);
            m.at<double>(0, 2) += centre.x - (cs.width - 1) / 2.0;
            m.at<double>(1, 2) += centre.y - (cs.height - 1) / 2.0;
            cv::Mat warped;
            cv::Mat mask;
            cv::warpAffine(card.Image, warped, m, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
            cv::warpAffine(cv::Mat(cs, CV_32F, cv::Scalar(1.0)), mask, m, size, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
            for (int y = 0; y < size.height; ++y) {
                const auto *k = mask.ptr<float>(y);
                const auto *c = warped.ptr<cv::Vec3f>(y);
                auto *out = image.ptr<cv::Vec3f>(y);
                for (int x = 0; x < size.width; ++x)
                    if (k[x] > 0.0f)
                        out[x] = k[x] * c[x] + (1.0f - k[x]) * out[x];
            }
            const cv::Matx23d a(m);
            for (std::size_t k = 0; k < 4; ++k)
                placed.Corners[k] = cv::Point2d(a(0, 0) * corners[k].x + a(0, 1) * corners[k].y + a(0, 2),
                                                a(1, 0) * corners[k].x + a(1, 1) * corners[k].y + a(1, 2));
        }
        sheet.Cards.push_back(std::move(placed));
    }
    blurLens(image, spec.BlurPx, false);
    cv::Mat encoded;
    cv::pow(cv::max(image, 0.0), 1.0 / Gamma, encoded);
    encoded *= 255.0;
    addSensorNoise(encoded, rng, spec.NoiseLevels);
    encoded.convertTo(sheet.Image, CV_8UC3);
    return sheet;
}

cv::Mat straightenCard(const cv::Mat &picture, const std::array<cv::Point2d, 4> &corners, cv::Size size)
{
    const std::array<cv::Point2f, 4> to = textureCorners(size);
    std::array<cv::Point2f, 4> from;
    for (std::size_t i = 0; i < 4; ++i)
        from[i] = cv::Point2f(static_cast<float>(corners[i].x), static_cast<float>(corners[i].y));
    cv::Mat card;
    cv::warpPerspective(picture, card, cv::getPerspectiveTransform(from.data(), to.data()), size, cv::INTER_LINEAR,
                        cv::BORDER_REPLICATE);
    return card;
}

cv::Size cardPixels(const CardTruth &truth, double dpi)
{
    return {static_cast<int>(std::lround(truth.WidthMm / MmPerInch * dpi)),
            static_cast<int>(std::lround(truth.HeightMm / MmPerInch * dpi))};
}

std::string truthJson(const CardTruth &truth, const std::array<cv::Point2d, 4> *corners, double dpi, double dropVmdUm)
{
    std::string out = "{\n";
    if (corners != nullptr) {
        out += "  \"corners_px\": [";
        for (std::size_t i = 0; i < 4; ++i) {
            out += i == 0 ? "[" : ", [";
            appendNumber(out, (*corners)[i].x);
            out += ", ";
            appendNumber(out, (*corners)[i].y);
            out += "]";
        }
        out += "],\n";
    }
    out += "  \"card_size_mm\": [";
    appendNumber(out, truth.WidthMm);
    out += ", ";
    appendNumber(out, truth.HeightMm);
    out += "],\n  \"dpi\": ";
    appendNumber(out, dpi);
    out += ",\n  \"count\": " + std::to_string(truth.Count);
    out += ",\n  \"separate_count\": " + std::to_string(truth.SeparateCount);
    out += ",\n  \"coverage\": ";
    appendNumber(out, truth.Coverage * 100.0);
    out += ",\n  \"stain_vmd_um\": ";
    appendNumber(out, truth.StainVmdUm);
    if (dropVmdUm >= 0.0) {
        out += ",\n  \"drop_vmd_um\": ";
        appendNumber(out, dropVmdUm);
    }
    out += ",\n  \"stains\": [";
    for (std::size_t i = 0; i < truth.Stains.size(); ++i) {
        const Stain &s = truth.Stains[i];
        out += i == 0 ? "\n    {\"x_mm\": " : ",\n    {\"x_mm\": ";
        appendNumber(out, s.XMm);
        out += ", \"y_mm\": ";
        appendNumber(out, s.YMm);
        out += ", \"diameter_um\": ";
        appendNumber(out, s.DiameterUm);
        out += ", \"touching\": " + std::to_string(s.TouchingWith) + "}";
    }
    out += "\n  ]\n}\n";
    return out;
}

} // namespace vex::photosim
