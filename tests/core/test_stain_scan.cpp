#include "analysis/OverlapEstimate.h"
#include "analysis/StainMap.h"
#include "analysis/StainScan.h"
#include "support/PixelGrid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace vex {
namespace {

using test::pixelGrid;

ScanResult scan(const std::vector<std::string> &rows, ScanSettings settings = {})
{
    return traceStains(pixelGrid(rows), settings);
}

std::vector<std::int32_t> areas(const std::vector<std::string> &rows, ScanSettings settings = {})
{
    return scan(rows, settings).AcceptedAreas;
}

// ---- Connectivity -------------------------------------------------------

TEST(StainScanShapes, SinglePixelIsAStainOfAreaOne)
{
    const ScanResult r = scan({"...", ".b.", "..."});
    EXPECT_EQ(r.AcceptedAreas, std::vector<std::int32_t>{1});
    EXPECT_EQ(r.RejectedCount, 0);
}

TEST(StainScanShapes, DiagonalNeighboursAreTwoStains)
{
    EXPECT_EQ(areas({"b.", ".b"}).size(), 2u);
    EXPECT_EQ(areas({".b", "b."}).size(), 2u);
}

TEST(StainScanShapes, HorizontalGapOfOneColumnSeparatesRuns)
{
    EXPECT_EQ(areas({"bb.bb"}), (std::vector<std::int32_t>{2, 2}));
}

TEST(StainScanShapes, UprightUIsOneStain)
{
    EXPECT_EQ(areas({"b.b", "b.b", "bbb"}), std::vector<std::int32_t>{7});
}

TEST(StainScanShapes, UpsideDownUIsCountedOnce)
{
    // The legs start as two stains; where the top joins them the second leg
    // is folded into the first and never counted itself.
    const ScanResult r = scan({"bbb", "b.b", "b.b"});
    EXPECT_EQ(r.AcceptedAreas, std::vector<std::int32_t>{7});
    EXPECT_EQ(r.RejectedCount, 0);
}

TEST(StainScanShapes, WShapeSplitsWhereARunTouchesTwoStains)
{
    // The middle run of the third row touches both lower legs but joins only
    // the first, and the second leg goes on by itself: two stains.
    const ScanResult r = scan({
        "b...b...b",
        "b...b...b",
        "bb.bbb.bb",
        ".bbb.bbb.",
    });
    EXPECT_EQ(r.AcceptedAreas, (std::vector<std::int32_t>{12, 7}));
}

TEST(StainScanShapes, ThreeLegsMeetingAtTheTopFoldOnlyTheLegsTheSpanStillTouches)
{
    // The first fold shortens the joined stain's span to the folded leg's,
    // so the third leg no longer touches it and closes as a stain of its own.
    const ScanResult r = scan({"bbbbb", "b.b.b", "b.b.b"});
    EXPECT_EQ(r.AcceptedAreas, (std::vector<std::int32_t>{9, 2}));
    EXPECT_EQ(r.RejectedCount, 0);
    // Lower down the card the third leg closes in the row of the join, the
    // joined stain one row later.
    EXPECT_EQ(areas({"b....", ".....", "bbbbb", "b.b.b", "b.b.b"}), (std::vector<std::int32_t>{2, 9, 1}));
}

TEST(StainScanShapes, StainsTouchingEveryBorderAreMeasured)
{
    EXPECT_EQ(areas({"bbb", "bbb", "bbb"}), std::vector<std::int32_t>{9});
    EXPECT_EQ(areas({"b...b", ".....", "b...b"}).size(), 4u);
    EXPECT_EQ(areas({"b"}), std::vector<std::int32_t>{1});
}

TEST(StainScanShapes, EmptyRowsBetweenStainsCloseThem)
{
    EXPECT_EQ(areas({"bb", "..", "..", "..", "b."}), (std::vector<std::int32_t>{1, 2}));
}

TEST(StainScanShapes, NoStainPixelsFindsNothing)
{
    const ScanResult r = scan({"...", "..."});
    EXPECT_FALSE(r.Cancelled);
    EXPECT_TRUE(r.AcceptedAreas.empty());
    EXPECT_EQ(r.RejectedCount, 0);
}

// ---- Hue and shape tests ------------------------------------------------

TEST(StainScanTests, StainWithoutValidHueIsRejectedWhateverTheThreshold)
{
    ScanSettings blue;
    blue.HueLow = 150;
    blue.HueHigh = 200;
    const ScanResult r = scan({"yy.b", "yy.."}, blue);
    EXPECT_EQ(r.AcceptedAreas, std::vector<std::int32_t>{1});
    EXPECT_EQ(r.RejectedCount, 1);
    EXPECT_EQ(r.Rejected.count(RejectReason::NoValidHue), 1);
    EXPECT_EQ(r.Rejected.area(RejectReason::NoValidHue), 4);
}

TEST(StainScanTests, InvertedFullRangeAcceptsNothing)
{
    ScanSettings s;
    s.HueInvert = true;
    const ScanResult r = scan({"b.y.g.r"}, s);
    EXPECT_TRUE(r.AcceptedAreas.empty());
    EXPECT_EQ(r.RejectedCount, 4);
}

TEST(StainScanTests, InvertedRangeAcceptsHuesOutsideIt)
{
    ScanSettings s;
    s.HueLow = 100;
    s.HueHigh = 200;
    s.HueInvert = true;
    EXPECT_EQ(scan({"b.y"}, s).AcceptedAreas, std::vector<std::int32_t>{1});
}

TEST(StainScanTests, GreyHue169AtTheRangeEnds)
{
    ScanSettings s;
    s.HueLow = 0;
    s.HueHigh = 169;
    EXPECT_EQ(scan({"g"}, s).AcceptedAreas.size(), 1u);
    s.HueLow = 169;
    EXPECT_EQ(scan({"g"}, s).AcceptedAreas.size(), 1u);
    s.HueLow = 170;
    s.HueHigh = 255;
    EXPECT_EQ(scan({"g"}, s).RejectedCount, 1);
}

TEST(StainScanTests, OneValidPixelIsEnoughWithTheDefaultThreshold)
{
    ScanSettings blue;
    blue.HueLow = 150;
    blue.HueHigh = 200;
    EXPECT_EQ(scan({"yyyb"}, blue).AcceptedAreas, std::vector<std::int32_t>{4});
}

TEST(StainScanTests, ValidHueShareAgainstThreshold)
{
    ScanSettings blue;
    blue.HueLow = 150;
    blue.HueHigh = 200;
    blue.HueThreshold = 25; // one pixel in four is exactly 25 %
    EXPECT_EQ(scan({"yyyb"}, blue).AcceptedAreas.size(), 1u);
    blue.HueThreshold = 26;
    const ScanResult r = scan({"yyyb"}, blue);
    EXPECT_TRUE(r.AcceptedAreas.empty());
    EXPECT_EQ(r.RejectedCount, 1);
    EXPECT_EQ(r.Rejected.count(RejectReason::TooFewValidHues), 1);
    EXPECT_EQ(r.Rejected.count(RejectReason::NoValidHue), 0);
}

TEST(StainScanTests, ThinLinesFailRoundnessOnlyAbove15Pixels)
{
    ScanSettings s;
    s.ShapeThreshold = 50;
    EXPECT_EQ(scan({std::string(15, 'b')}, s).AcceptedAreas, std::vector<std::int32_t>{15});
    const ScanResult r = scan({std::string(16, 'b')}, s);
    EXPECT_TRUE(r.AcceptedAreas.empty());
    EXPECT_EQ(r.RejectedCount, 1);
    EXPECT_EQ(r.Rejected.count(RejectReason::NotRound), 1);
    EXPECT_EQ(r.Rejected.area(RejectReason::NotRound), 16);
}

TEST(StainScanTests, DiscPassesAStrictRoundnessLimit)
{
    std::vector<std::string> rows;
    const int radius = 10;
    for (int y = -radius; y <= radius; ++y) {
        std::string row;
        for (int x = -radius; x <= radius; ++x)
            row += x * x + y * y <= radius * radius ? 'b' : '.';
        rows.push_back(row);
    }
    ScanSettings s;
    s.ShapeThreshold = 10;
    EXPECT_EQ(scan(rows, s).AcceptedAreas.size(), 1u);
}

TEST(StainScanTests, SquareDeviatesByAbout0273)
{
    // A 5 x 5 square against the disc of diameter 5: 1 - 25 / (25 pi / 4).
    const std::vector<std::string> square(5, "bbbbb");
    ScanSettings s;
    s.ShapeThreshold = 28;
    EXPECT_EQ(scan(square, s).AcceptedAreas.size(), 1u);
    s.ShapeThreshold = 27;
    EXPECT_TRUE(scan(square, s).AcceptedAreas.empty());
}

// ---- Cancel and progress --------------------------------------------------

TEST(StainScanProgress, CancelStopsAtTheStartOfARowAndDiscardsEverything)
{
    int asked = 0;
    ScanCallbacks callbacks;
    callbacks.CancelRequested = [&] { return ++asked == 2; };
    const ScanResult r = traceStains(pixelGrid({"b", "b", "."}), {}, callbacks);
    EXPECT_TRUE(r.Cancelled);
    EXPECT_TRUE(r.AcceptedAreas.empty());
    EXPECT_EQ(asked, 2);
}

TEST(StainScanProgress, ProgressAtEveryMultipleOf25AndEventsOncePerRow)
{
    std::vector<std::uint64_t> progress;
    int rows = 0;
    ScanCallbacks callbacks;
    callbacks.Progress = [&](std::uint64_t at) { progress.push_back(at); };
    callbacks.RowDone = [&] { ++rows; };
    // 30 pixels in the bottom row, 30 in the top one.
    traceStains(pixelGrid({std::string(30, 'b'), std::string(30, '.'), std::string(30, 'b')}), {}, callbacks);
    EXPECT_EQ(progress, (std::vector<std::uint64_t>{25, 50}));
    EXPECT_EQ(rows, 3);
}

// ---- Against a plain transcription of the rules -------------------------

// The tracing rules done the slow way, one pixel record at a time, with
// plain lists; the real scan must agree on any picture.
ScanResult referenceScan(const ForegroundPixelList &list, const ScanSettings &settings)
{
    struct Run {
        int s, e;
        bool used;
        long long valid;
    };
    struct Stain {
        int a, b;
        bool cont, hasValid;
        long long valid, area;
        int first, last, least, greatest;
    };
    const std::vector<ForegroundPixel> entries = list.toVector();
    ScanResult out;
    std::vector<Stain> open;
    std::size_t j = 0;
    const float shape = shapeLimit(settings.ShapeThreshold);
    const float hue = hueLimit(settings.HueThreshold);
    for (int r = entries.front().Row;; --r) {
        std::vector<Run> runs;
        while (j + 1 < entries.size() && entries[j].Row >= r) {
            const ForegroundPixel &p = entries[j++];
            if (!runs.empty() && p.Column - runs.back().e < 2 && p.Column > 1)
                runs.back().e = p.Column;
            else
                runs.push_back({p.Column, p.Column, false, 0});
            if (hueIsValid(p.Hue, settings))
                ++runs.back().valid;
        }
        const bool closing = j + 1 == entries.size();
        for (Stain &s : open) {
            s.cont = false;
            const int a = s.a, b = s.b;
            for (Run &u : runs) {
                if (u.s <= b && u.e >= a && !u.used) {
                    if (!s.cont)
                        s.a = u.s;
                    s.b = u.e;
                    s.least = std::min(s.least, u.s);
                    s.greatest = std::max(s.greatest, u.e);
                    if (u.valid > 0)
                        s.hasValid = true;
                    s.valid += u.valid;
                    s.area += u.e - u.s + 1;
                    s.cont = true;
                    u.used = true;
                }
            }
        }
        for (const Run &u : runs)
            if (!u.used)
                open.push_back({u.s, u.e, true, u.valid > 0, u.valid, u.e - u.s + 1, r, 0, u.s, u.e});
        for (Stain &s : open) {
            if (s.cont)
                continue;
            for (Stain &t : open) {
                if (t.cont && t.a <= s.b && t.b >= s.a) {
                    t.b = s.b;
                    t.area += s.area;
                    if (s.hasValid)
                        t.hasValid = true;
                    t.valid += s.valid;
                    s.hasValid = false;
                }
            }
        }
        std::vector<Stain> kept;
        for (Stain &s : open) {
            if (s.cont && !closing) {
                kept.push_back(s);
                continue;
            }
            s.last = r + 1;
            const double extent = std::max(s.greatest - s.least + 1, std::abs(s.last - s.first) + 1);
            if (s.valid == 0) {
                ++out.RejectedCount;
            } else if (static_cast<float>(std::fabs(1.0 - static_cast<double>(s.area) / (extent * extent * M_PI / 4))) >
                           shape &&
                       s.area > 15) {
                s.hasValid = false;
                ++out.RejectedCount;
            } else if (static_cast<float>(static_cast<double>(s.valid) / static_cast<double>(s.area)) < hue) {
                s.hasValid = false;
                ++out.RejectedCount;
            }
            if (s.hasValid)
                out.AcceptedAreas.push_back(static_cast<std::int32_t>(s.area));
        }
        open = kept;
        if (closing)
            break;
    }
    return out;
}

TEST(StainScanReference, RandomPicturesAgreeWithThePlainRules)
{
    std::mt19937 random(20261207);
    const char inks[] = {'b', 'y', 'g', 'r'};
    for (int picture = 0; picture < 400; ++picture) {
        const int width = 1 + static_cast<int>(random() % 40);
        const int height = 1 + static_cast<int>(random() % 40);
        const double density = 0.2 + 0.5 * static_cast<double>(random() % 100) / 100.0;
        std::vector<std::string> rows(static_cast<std::size_t>(height),
                                      std::string(static_cast<std::size_t>(width), '.'));
        for (std::string &row : rows)
            for (char &c : row)
                if (static_cast<double>(random() % 1000) / 1000.0 < density)
                    c = inks[random() % 4];
        ScanSettings s;
        s.HueLow = static_cast<std::uint8_t>(random() % 200);
        s.HueHigh = static_cast<std::uint8_t>(s.HueLow + random() % 56);
        s.HueInvert = random() % 4 == 0;
        s.ShapeThreshold = static_cast<std::uint8_t>(random() % 2 == 0 ? 100 : random() % 100);
        s.HueThreshold = static_cast<std::uint8_t>(random() % 3 == 0 ? random() % 100 : 0);
        const ForegroundPixelList list = pixelGrid(rows);
        const ScanResult expected = referenceScan(list, s);
        const ScanResult actual = traceStains(list, s);
        ASSERT_EQ(actual.AcceptedAreas, expected.AcceptedAreas) << "picture " << picture;
        ASSERT_EQ(actual.RejectedCount, expected.RejectedCount) << "picture " << picture;
    }
}

// Rows hundreds of pixels wide, of few runs or many, so that a stain looks
// for its runs far from where the last one did; every hue valid or none.
TEST(StainScanReference, WideSparseRowsAgreeWithThePlainRules)
{
    std::mt19937 random(20261209);
    for (int picture = 0; picture < 60; ++picture) {
        const int width = 100 + static_cast<int>(random() % 1500);
        const int height = 1 + static_cast<int>(random() % 30);
        const std::size_t gap = 2 + random() % 200;
        std::vector<std::string> rows(static_cast<std::size_t>(height),
                                      std::string(static_cast<std::size_t>(width), '.'));
        for (std::string &row : rows)
            for (std::size_t x = random() % gap; x < row.size(); x += 1 + random() % gap)
                for (std::size_t end = std::min(row.size(), x + 1 + random() % 12); x < end; ++x)
                    row[x] = "bygr"[random() % 4];
        ScanSettings s;
        s.HueInvert = picture % 3 == 1;
        if (picture % 3 == 2)
            s.HueHigh = static_cast<std::uint8_t>(random() % 256);
        const ForegroundPixelList list = pixelGrid(rows);
        const ScanResult expected = referenceScan(list, s);
        const ScanResult actual = traceStains(list, s);
        ASSERT_EQ(actual.AcceptedAreas, expected.AcceptedAreas) << "picture " << picture;
        ASSERT_EQ(actual.RejectedCount, expected.RejectedCount) << "picture " << picture;
    }
}

// Where the window outlines stains: every stain pixel is found under one
// record whose box holds it and whose pixel count it makes up, the figures
// are those of a scan that keeps nothing, and a cut stain's parts are apart.
TEST(StainScanPixels, EveryStainPixelIsFoundUnderItsOwnRecord)
{
    std::mt19937 random(20261210);
    for (int picture = 0; picture < 200; ++picture) {
        const int width = 1 + static_cast<int>(random() % 40);
        const int height = 1 + static_cast<int>(random() % 40);
        std::vector<std::string> rows(static_cast<std::size_t>(height),
                                      std::string(static_cast<std::size_t>(width), '.'));
        for (std::string &row : rows)
            for (char &c : row)
                if (random() % 100 < 55)
                    c = "bbygr"[random() % 5];
        ScanSettings s;
        s.HueLow = 150;
        s.HueHigh = 190;
        s.ShapeThreshold = static_cast<std::uint8_t>(random() % 100);
        s.SplitTouching = picture % 2 == 1;
        const ScanResult plain = scan(rows, s);
        s.KeepStains = s.KeepPixels = true;
        ScanResult kept = scan(rows, s);
        ASSERT_EQ(kept.AcceptedAreas, plain.AcceptedAreas) << "picture " << picture;
        ASSERT_EQ(kept.RejectedCount, plain.RejectedCount) << "picture " << picture;
        const StainMap map(std::move(kept.StainRuns), std::move(kept.Stains));
        std::vector<std::int64_t> found(map.stains().size(), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::int32_t at = map.stainAt(x, y);
                ASSERT_EQ(at >= 0, rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] != '.')
                    << "picture " << picture << " at " << x << "," << y;
                if (at < 0)
                    continue;
                const StainRecord &r = map.stains()[static_cast<std::size_t>(at)];
                ASSERT_TRUE(r.Left <= x && x <= r.Right && r.Top <= y && y <= r.Bottom) << "picture " << picture;
                ++found[static_cast<std::size_t>(at)];
            }
        for (std::size_t i = 0; i < found.size(); ++i)
            ASSERT_EQ(found[i], map.stains()[i].Pixels) << "picture " << picture << " stain " << i;
    }
    // Two discs that touch, cut apart: each centre under its own part, the
    // cut drawn between them and the outer edge drawn as accepted.
    std::vector<std::string> rows(14, std::string(26, '.'));
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 26; ++x)
            if (std::hypot(x - 7.5, y - 6.5) < 6.0 || std::hypot(x - 17.5, y - 6.5) < 6.0)
                rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 'b';
    ScanSettings s;
    s.KeepStains = s.KeepPixels = s.SplitTouching = true;
    ScanResult cut = scan(rows, s);
    const StainMap map(std::move(cut.StainRuns), std::move(cut.Stains));
    const std::int32_t left = map.stainAt(7, 6);
    const std::int32_t right = map.stainAt(18, 6);
    ASSERT_TRUE(left >= 0 && right >= 0 && left != right);
    EXPECT_EQ(map.stains()[static_cast<std::size_t>(left)].Parts, 2);
    const std::vector<std::uint8_t> codes = map.outlines(26, 14);
    EXPECT_NE(std::count(codes.begin(), codes.end(), std::uint8_t(OutlineCode::Cut)), 0);
    EXPECT_EQ(codes[6 * 26 + 7], std::uint8_t(OutlineCode::None));
    EXPECT_EQ(codes[6 * 26 + 2], std::uint8_t(OutlineCode::Accepted));
}

// ---- What the overlap estimate reads of the stains ----------------------

// Only stains that touch nothing, stay off the edge and are round stand
// alone; a stain with no hue in the range is not covered at all.
TEST(StainUnion, LoneStainsAreRoundUntouchedAndOffTheEdge)
{
    const std::vector<std::string> rows = {
        "b.......................", "......bb.......bb....yy.", "..bb.bbbb.....bbbb...yy.", "..bb.bbbb.....bbbb......",
        "......bb......bbbbbb....", "...............bbbbbb...", "................bbbb....", "......................bb",
    };
    ScanSettings settings;
    settings.HueLow = 150;
    settings.HueHigh = 190;
    const StainUnion u = measureStainUnion(pixelGrid(rows), 24, 8, settings);
    // Corner pixels, the square, the disc, the merged pair; no yellow.
    EXPECT_EQ(u.Covered, 1 + 4 + 12 + 26 + 2);
    EXPECT_EQ(std::accumulate(u.TileCovered.begin(), u.TileCovered.end(), std::int64_t{0}), u.Covered);
    std::vector<LoneStain> lone = u.Lone;
    std::sort(lone.begin(), lone.end(), [](const LoneStain &a, const LoneStain &b) { return a.Area < b.Area; });
    ASSERT_EQ(lone.size(), 2u);
    EXPECT_EQ(lone[0].Area, 4);
    EXPECT_DOUBLE_EQ(lone[0].X, 3.0);
    EXPECT_EQ(lone[1].Area, 12);
    EXPECT_DOUBLE_EQ(lone[1].X, 7.0);
    EXPECT_DOUBLE_EQ(lone[1].Y, 3.0);
}

} // namespace
} // namespace vex
