#include "intake/CardFinder.h"
#include "line/CardLimits.h"
#include "support/CardPictures.h"
#include "support/CommaLocale.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vex;
using namespace vex::test;

namespace {

cardgen::Card generated(std::uint64_t seed)
{
    return cardgen::generateCard({.Width = 480, .Height = 180, .Seed = seed, .Discs = 120});
}

} // namespace

TEST(CardFinder, PhotoCornersWithinOneAndAHalfPercentOfTheWidth)
{
    struct Case {
        double Tilt, Perspective, Light;
        bool Soil;
    };
    for (const Case c : {Case{0, 0, 0, false}, Case{8, 0, 0.25, false}, Case{-10, 0.08, 0.25, true},
                         Case{85, 0.05, -0.2, false}, Case{178, 0, 0.1, true}}) {
        const PhotoSpec spec{
            .TiltDegrees = c.Tilt, .Perspective = c.Perspective, .Light = c.Light, .SoilBackground = c.Soil};
        const CardPhoto photo = cardPhoto(spec);
        const Result<std::vector<FoundCard>> found = findCards(viewOf(photo.Picture), CardSize{});
        ASSERT_TRUE(found.ok()) << "tilt " << c.Tilt << ": " << found.reason();
        ASSERT_EQ(found->size(), 1u) << "tilt " << c.Tilt;
        // The corners start where the least turn lays the card's long side
        // horizontal: a card upside down (178 degrees) starts at the other end.
        for (std::size_t i = 0, shift = std::fabs(c.Tilt) > 90 ? 2 : 0; i < 4; ++i)
            EXPECT_LT(std::hypot(found->front().Corners[i].X - photo.Corners[(i + shift) % 4].X,
                                 found->front().Corners[i].Y - photo.Corners[(i + shift) % 4].Y),
                      0.015 * spec.CardWidth)
                << "tilt " << c.Tilt;
        EXPECT_EQ(found->front().Straight, c.Tilt == 0);
        EXPECT_FALSE(found->front().AtPictureEdge);
        // Its resolution is its pixels over its size: 254 dpi less the perspective's shrinking.
        EXPECT_NEAR(photoResolution(found->front(), CardSize{}), 254 * (1 - c.Perspective / 4), 254 * 0.02);
    }
    // The same photo cut through the card: the card runs off its right edge.
    const CardPhoto photo = cardPhoto(PhotoSpec{});
    PictureView cut = viewOf(photo.Picture);
    cut.Width = static_cast<std::int32_t>(photo.Corners[1].X - 0.15 * PhotoSpec{}.CardWidth);
    const Result<std::vector<FoundCard>> partly = findCards(cut, CardSize{});
    ASSERT_TRUE(partly.ok()) << partly.reason();
    EXPECT_TRUE(partly->front().AtPictureEdge);
}

TEST(CardFinder, ACardPartlyInADeepShadowIsFoundWhole)
{
    // The phone's shadow takes two thirds of the light from the card's right
    // part; the leaves beside the card are of another hue and stay out.
    CardPhoto photo = cardPhoto(PhotoSpec{.Light = 0.0});
    for (int y = 0; y < photo.Picture.Height; ++y)
        for (int x = 820; x < photo.Picture.Width; ++x)
            for (int ch = 0; ch < 3; ++ch) {
                std::uint8_t &v = photo.Picture.row(y)[3 * x + ch];
                v = static_cast<std::uint8_t>(v * 0.33);
            }
    const Result<std::vector<FoundCard>> found = findCards(viewOf(photo.Picture), CardSize{});
    ASSERT_TRUE(found.ok()) << found.reason();
    ASSERT_EQ(found->size(), 1u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_LT(std::hypot(found->front().Corners[i].X - photo.Corners[i].X,
                             found->front().Corners[i].Y - photo.Corners[i].Y),
                  0.015 * PhotoSpec{}.CardWidth)
            << "corner " << i;
}

TEST(CardFinder, SheetCardsInReadingOrderAndStraightOnesCutAsTheyAre)
{
    // Two rows, the second card of the first row lower than the first and
    // the second row's first card turned: rows go by overlap, not by top.
    std::vector<SheetCard> cards = {
        {generated(1), 700, 60, 0}, {generated(2), 60, 90, 0}, {generated(3), 80, 400, 4}, {generated(4), 700, 380, 0}};
    const std::vector<int> reading = {1, 0, 2, 3};
    for (const int lid : {250, 15}) {
        const IndexedImage sheet = sheetPicture(1300, 700, cards, lid);
        const ColourImage colours = coloursOf(sheet);
        const Result<std::vector<FoundCard>> found = findCards(viewOf(colours), CardSize{});
        ASSERT_TRUE(found.ok()) << found.reason();
        ASSERT_EQ(found->size(), cards.size()) << "lid " << lid;
        for (std::size_t k = 0; k < cards.size(); ++k) {
            const SheetCard &truth = cards[static_cast<std::size_t>(reading[k])];
            const FoundCard &card = (*found)[k];
            EXPECT_NEAR(card.LongSidePixels, 479, 2.0) << "card " << k + 1;
            EXPECT_EQ(card.Straight, truth.Turn == 0.0) << "card " << k + 1;
            const StraightenedCard cut = straightenCard({&sheet, nullptr}, card, CardSize{}, 600);
            EXPECT_EQ(cut.ResolutionDpi, 600);
            EXPECT_EQ(cut.Resampled, truth.Turn != 0.0);
            if (cut.Resampled)
                continue;
            // The generator's very pixels, inset from the card's edges.
            ASSERT_EQ(cut.Indexed.Width, truth.Card.Width - 2 * CutInsetPixels);
            ASSERT_EQ(cut.Indexed.Height, truth.Card.Height - 2 * CutInsetPixels);
            EXPECT_EQ(cut.Indexed.PaletteBgr, sheet.PaletteBgr);
            EXPECT_NEAR(cut.Corners[0].X, truth.X, 0.5);
            EXPECT_NEAR(cut.Corners[0].Y, truth.Y, 0.5);
            bool same = true;
            for (int y = 0; y < cut.Indexed.Height && same; ++y)
                same = std::memcmp(cut.Indexed.row(cut.Indexed.Height - 1 - y),
                                   truth.Card.Pixels.data() +
                                       static_cast<std::size_t>(y + CutInsetPixels) * truth.Card.Width + CutInsetPixels,
                                   static_cast<std::size_t>(cut.Indexed.Width)) == 0;
            EXPECT_TRUE(same) << "card " << k + 1 << " on lid " << lid;
        }
    }
}

TEST(CardFinder, NoCardIsAFailureWithItsReason)
{
    const CardPhoto leaves = cardPhoto(PhotoSpec{});
    // The same leaves, no card: a picture of the background alone.
    const CardPhoto empty = cardPhoto({.CardWidth = 2, .CardHeight = 2});
    const Result<std::vector<FoundCard>> found = findCards(viewOf(empty.Picture), CardSize{});
    ASSERT_FALSE(found.ok());
    EXPECT_NE(found.reason().find("no card was found"), std::string::npos) << found.reason();
    // A card of another shape than the size given is named as such.
    const Result<std::vector<FoundCard>> square = findCards(viewOf(leaves.Picture), CardSize{30, 30});
    ASSERT_FALSE(square.ok());
    EXPECT_NE(square.reason().find("sides of"), std::string::npos) << square.reason();
}

TEST(CardFinder, CardSizesAreReadInEitherOrder)
{
    EXPECT_EQ(parseCardSize("26x76"), (CardSize{76, 26}));
    EXPECT_EQ(parseCardSize("76 X 52"), (CardSize{76, 52}));
    EXPECT_FALSE(parseCardSize("76x"));
    EXPECT_FALSE(parseCardSize("2x76"));
    EXPECT_FALSE(parseCardSize("76x2e1"));
    const test::CommaLocale comma;
    EXPECT_EQ(parseCardSize("52.5x26"), (CardSize{52.5, 26})) << comma.active();
    for (const CardSizePreset &preset : cardSizePresets())
        EXPECT_EQ(parseCardSize(preset.Name), preset.Size);
}

TEST(CardLimits, CoarsePicturesAndGiantDropsAreNamed)
{
    // Three pixels at 254 dpi are 300 um; at a spread factor of 0.5 a drop of 150 um.
    EXPECT_DOUBLE_EQ(smallestDetectableStainUm(254), 300.0);
    EXPECT_NEAR(smallestDetectableDropUm(254, {0.0, 0.5, 0.0}), 150.0, 1e-3);
    CardRecord card;
    card.Resolution = 600;
    card.Stains.resize(2);
    card.LargestDiameter = 1900.0f;
    EXPECT_TRUE(cardLimitWarnings(card, {0.0, 0.5, 0.0}).empty());
    card.Resolution = 250;
    card.LargestDiameter = 7900.0f;
    const std::vector<std::string> said = cardLimitWarnings(card, {0.0, 0.5, 0.0});
    ASSERT_EQ(said.size(), 2u);
    EXPECT_NE(said[0].find("250 dpi, is below 300 dpi"), std::string::npos) << said[0];
    EXPECT_NE(said[1].find("7900 um"), std::string::npos) << said[1];
}
