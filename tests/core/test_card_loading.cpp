#include "intake/CardLoading.h"

#include "support/TempFolder.h"
#include "support/TestImages.h"
#include "trial/CardFileCheck.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace vex {
namespace {

TEST(CardLoading, OnlyRegularFilesAreReadAndEveryRefusalSaysWhy)
{
    const test::TempFolder folder;
    EXPECT_EQ(checkCardFile(folder.file("gone.tif")).reason(), "the file does not exist");
    ASSERT_EQ(::mkfifo(folder.file("pipe.gif").c_str(), 0600), 0);
    EXPECT_EQ(checkCardFile(folder.file("pipe.gif")).reason(), "it is not a regular file");
    EXPECT_EQ(checkCardFile(folder.path().string()).reason(), "it is not a regular file");
    std::filesystem::create_symlink("b.tif", folder.file("a.tif"));
    std::filesystem::create_symlink("a.tif", folder.file("b.tif"));
    EXPECT_EQ(checkCardFile(folder.file("a.tif")).reason(), std::strerror(ELOOP));
    std::ofstream(folder.file("card.bmp")) << "x";
    EXPECT_TRUE(checkCardFile(folder.file("card.bmp")).ok());
    ASSERT_EQ(::chmod(folder.file("card.bmp").c_str(), 0), 0);
    if (::geteuid() != 0) { // the superuser reads anything
        EXPECT_EQ(checkCardFile(folder.file("card.bmp")).reason(), std::strerror(EACCES));
    }
}

// The checksum a trial keeps must be of the version of the file whose
// figures it keeps, however the file changes after it was decoded.
TEST(CardLoading, TheNotedChecksumIsOfTheBytesDecoded)
{
    const test::TempFolder folder;
    CardRecord card = newCardRecord("card.bmp", folder.path().string(), 8, 4, 600);
    const std::vector<std::uint8_t> first = test::makeBmp(test::patternPicture(8, 4));
    test::writeFile(card.FilePath, first);
    const DecodeResult decoded = decodeBmpFile(card.FilePath);
    ASSERT_TRUE(decoded.ok());
    // Another version takes the name, as a program saving over it does.
    test::writeFile(folder.file("new.bmp"), test::makeBmp(test::patternPicture(8, 5)));
    std::filesystem::rename(folder.file("new.bmp"), card.FilePath);
    ASSERT_TRUE(noteCardFile(card, decoded).ok());
    EXPECT_EQ(card.ContentHash, sha256Hex(first.data(), first.size()));
    EXPECT_EQ(card.FileSize, static_cast<std::int64_t>(first.size()));
    // Bytes rewritten in place are no version at all: nothing is noted.
    CardRecord again = card;
    again.ContentHash.clear();
    const DecodeResult rewritten = decodeBmpFile(card.FilePath);
    test::writeFile(card.FilePath, first);
    std::filesystem::last_write_time(card.FilePath,
                                     std::filesystem::last_write_time(card.FilePath) + std::chrono::seconds(2));
    EXPECT_FALSE(noteCardFile(again, rewritten).ok());
    EXPECT_TRUE(again.ContentHash.empty());
}

TEST(CardLoading, PixelsBeyondTheColourTableAreCounted)
{
    EXPECT_EQ(pixelsBeyondTable({0, 1, 7, 2, 255}, 2), 3u);
    EXPECT_EQ(pixelsBeyondTable({0, 255}, 256), 0u);
    EXPECT_EQ(beyondTableWarning(3, 2), "3 pixels use a colour number beyond the file's colour table of 2 entries; "
                                        "such pixels are analysed as a colour of hue 0.");
}

TEST(CardLoading, ExtensionIsTheLastThreeCharactersLowerCased)
{
    EXPECT_EQ(cardExtension("card1.BMP"), "bmp");
    EXPECT_TRUE(isCardExtension(cardExtension("scan.TIF")));
    EXPECT_FALSE(isCardExtension(cardExtension("scan.tiff")));
    EXPECT_FALSE(isCardExtension(cardExtension("scan.jpeg")));
    EXPECT_TRUE(isCardExtension(cardExtension("noextgif"))); // only the last three count
    EXPECT_EQ(cardExtension("ab"), "ab");
}

TEST(CardLoading, MessagesWordForWord)
{
    EXPECT_EQ(unsupportedTypeMessage("x.jpg"), "'x.jpg' is an unsupported file type.");
    EXPECT_EQ(alreadyOpenedMessage("a.bmp"), "'a.bmp' has\ralready been opened.");
    EXPECT_EQ(colourDepthMessage(24), "This file is encoded at 24 bits per\rpixel and cannot be analysed.");
    EXPECT_EQ(invalidGifMessage("g.gif"), "'g.gif' does not seem to be a valid GIF image.");
    EXPECT_EQ(openCommandErrorMessage("disk gone"),
              "Vexolin encountered an error\rwhile trying to open image files.\r\rError: disk gone");
    EXPECT_EQ(unreadableFileMessage("c.bmp", "the file is truncated"),
              "Error: 'c.bmp' cannot be opened as a card image: the file is truncated");
}

TEST(CardLoading, MultipleSelectionLoadsInDescendingBinaryOrder)
{
    EXPECT_EQ(descendingLoadOrder({"c.bmp", "a.bmp", "B.bmp"}), (std::vector<std::string>{"c.bmp", "a.bmp", "B.bmp"}));
    EXPECT_EQ(descendingLoadOrder({"a1.bmp", "a10.bmp", "a2.bmp", "A3.bmp"}),
              (std::vector<std::string>{"a2.bmp", "a10.bmp", "a1.bmp", "A3.bmp"}));
    EXPECT_TRUE(descendingLoadOrder({}).empty());
}

CardList cardsNamed(std::initializer_list<const char *> names)
{
    CardList cards;
    for (const char *n : names)
        cards.add(newCardRecord(n, "/d", 10, 10, 1200));
    return cards;
}

TEST(CardLoading, CardListSortsAscendingUpperCaseFirst)
{
    CardList cards = cardsNamed({"c.bmp", "a.bmp", "B.bmp"});
    std::vector<std::pair<int, int>> swaps;
    sortCardsByTitle(cards, [&](int i, int j) { swaps.emplace_back(i, j); });
    ASSERT_EQ(cards.count(), 3);
    EXPECT_EQ(cards[1].FileTitle, "B.bmp");
    EXPECT_EQ(cards[2].FileTitle, "a.bmp");
    EXPECT_EQ(cards[3].FileTitle, "c.bmp");
    EXPECT_FALSE(swaps.empty());
    for (auto [i, j] : swaps)
        EXPECT_LT(i, j);
    EXPECT_EQ(findCardByTitle(cards, "B.bmp"), 1);
    EXPECT_EQ(findCardByTitle(cards, "zzz"), 1);
    EXPECT_EQ(findCardByTitle(cards, "c.bmp"), 3);
}

TEST(CardLoading, NaturalOrderCountsRunsOfDigitsByValue)
{
    EXPECT_TRUE(titleBefore("Karte 10.bmp", "Karte 2.bmp", false));
    EXPECT_TRUE(titleBefore("Karte 2.bmp", "Karte 10.bmp", true));
    EXPECT_TRUE(titleBefore("card2.bmp", "card02.bmp", true)); // equal values: fewer zeros first
    EXPECT_TRUE(titleBefore("card9", "card9a", true));
    EXPECT_FALSE(titleBefore("card10", "card9", true));
    CardList cards = cardsNamed({"c10.bmp", "c9.bmp", "c1.bmp", "b.bmp"});
    // A line ordered by hand keeps its first cards; those added are sorted.
    sortCardsByTitle(cards, {}, true, 3);
    EXPECT_EQ(cards[1].FileTitle, "c10.bmp");
    EXPECT_EQ(cards[3].FileTitle, "b.bmp");
    sortCardsByTitle(cards, {}, true);
    EXPECT_EQ(cards[1].FileTitle, "b.bmp");
    EXPECT_EQ(cards[4].FileTitle, "c10.bmp");
    EXPECT_EQ(descendingLoadOrder({"c9", "c10"}, true), (std::vector<std::string>{"c10", "c9"}));
}

TEST(CardLoading, SameFullPathIsFoundCaseSensitively)
{
    CardList cards = cardsNamed({"a.bmp"});
    EXPECT_EQ(cards[1].FilePath, "/d/a.bmp");
    EXPECT_EQ(findCardByPath(cards, "/d/a.bmp"), 1);
    EXPECT_EQ(findCardByPath(cards, "/d/A.bmp"), 0);
    EXPECT_EQ(findCardByPath(cards, "/e/a.bmp"), 0);
}

TEST(CardLoading, NewCardOpensAtTheGivenResolution)
{
    const CardRecord c = newCardRecord("k.gif", "/cards/", 1000, 500, 600);
    EXPECT_EQ(c.FilePath, "/cards/k.gif");
    EXPECT_EQ(c.Resolution, 600);
    EXPECT_NEAR(c.PixelSizeX, 42.333848, 1e-6);
    EXPECT_NEAR(c.CardArea, 8.960773, 1e-6);
    EXPECT_FALSE(c.ColoursKnown);
    EXPECT_FALSE(c.Scanned);
    EXPECT_EQ(c.Position, 0.0f);
}

} // namespace
} // namespace vex
