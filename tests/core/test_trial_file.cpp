// The trial file: a whole trial back exactly as saved, its cards found when
// the folder moves with them, every file that is no sound trial refused
// without harm, a failed save that leaves the old file, and the check of
// the cards' image files.

#include "support/CommaLocale.h"
#include "support/TempFolder.h"
#include "support/TrialFixtures.h"
#include "support/WriteFaults.h"
#include "trial/CardFileCheck.h"
#include "trial/TrialFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace vex {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path &path, const std::string &bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(TrialFile, EveryStoredValueComesBackExactlyUnderACommaLocale)
{
    const test::CommaLocale comma;
    const test::TempFolder folder;
    const Trial trial = test::sampleTrial(folder.path() / "cards", "/elsewhere/line 2");
    const std::string path = folder.file("trial.vexolin");
    ASSERT_TRUE(saveTrial(path, trial).ok());
    const OpenedTrial opened = openTrial(path);
    ASSERT_TRUE(opened.Result.ok()) << opened.Result.reason();
    test::expectSameTrial(opened.Value, test::asOpened(trial));
    EXPECT_EQ(test::filesIn(folder.path()), std::vector<std::string>{"trial.vexolin"});
}

TEST(TrialFile, CardsBelowTheTrialMoveWithItsFolder)
{
    const test::TempFolder folder;
    Trial trial = test::sampleTrial(folder.path() / "day1" / "cards", folder.path() / "elsewhere");
    for (LinePass &pass : trial.Passes)
        for (CardRecord &card : pass.Cards.records()) {
            writeBytes(card.FilePath, "pixels of " + card.FileTitle);
            ASSERT_TRUE(noteCardFile(card).ok());
        }
    // Saved through a link from another folder: the file is made where the link leads.
    fs::create_directory(folder.path() / "links");
    fs::create_symlink("../day1/trial.vexolin", folder.path() / "links/trial.vexolin");
    ASSERT_TRUE(saveTrial(folder.file("links/trial.vexolin"), trial).ok());
    fs::rename(folder.path() / "day1", folder.path() / "moved");
    fs::remove_all(folder.path() / "elsewhere");

    OpenedTrial opened = openTrial(folder.file("moved/trial.vexolin"));
    ASSERT_TRUE(opened.Result.ok()) << opened.Result.reason();
    const CardList &first = opened.Value.Passes[0].Cards;
    EXPECT_EQ(first[2].FilePath, folder.file("moved/cards/card 02.tif"));
    EXPECT_EQ(opened.Value.Passes[1].Cards[1].FilePath, folder.file("elsewhere/card03.bmp"));
    std::vector<int> seen;
    checkCardFiles(opened.Value, [&](int done, int total) {
        seen.push_back(done * 10 + total);
        return false;
    });
    EXPECT_EQ(seen, (std::vector<int>{13, 23, 33}));
    EXPECT_EQ(first[1].FileState, CardFileState::Present);
    EXPECT_EQ(first[2].FileState, CardFileState::Present);
    EXPECT_EQ(opened.Value.Passes[1].Cards[1].FileState, CardFileState::Missing);
}

TEST(CardFileCheck, TellsPresentChangedAndMissingFiles)
{
    const test::TempFolder folder;
    CardRecord card = newCardRecord("card.bmp", folder.path().string(), 1, 1, 600);
    writeBytes(card.FilePath, "abc");
    ASSERT_TRUE(noteCardFile(card).ok());
    EXPECT_EQ(card.ContentHash, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(card.FileSize, 3);
    EXPECT_EQ(cardFileState(card), CardFileState::Present);
    writeBytes(card.FilePath, "abd");
    EXPECT_EQ(cardFileState(card), CardFileState::Changed) << "same size, one byte changed";
    card.ContentHash.clear();
    writeBytes(card.FilePath, "abcd");
    EXPECT_EQ(cardFileState(card), CardFileState::Changed) << "the size alone tells";
    fs::remove(card.FilePath);
    EXPECT_EQ(cardFileState(card), CardFileState::Missing);
    fs::create_directory(card.FilePath);
    EXPECT_EQ(cardFileState(card), CardFileState::Missing) << "a folder is no card";
    EXPECT_FALSE(noteCardFile(card).ok());
}

TEST(TrialFile, ANewerFormatIsRefusedAndTheFileLeftAsItWas)
{
    const test::TempFolder folder;
    const std::string path = folder.file("next.vexolin");
    ASSERT_TRUE(saveTrial(path, test::sampleTrial(folder.path(), folder.path())).ok());
    ASSERT_TRUE(test::runSql(path, "UPDATE vexolin SET value = '7' WHERE key = 'schema_version'"));
    const std::string before = bytesOf(path);
    const OpenedTrial opened = openTrial(path);
    EXPECT_EQ(opened.Result.reason(), "next.vexolin was saved by a newer version of Vexolin (trial format 7); this "
                                      "version reads format 1 and older.");
    EXPECT_TRUE(opened.Value.Passes.empty());
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_EQ(test::filesIn(folder.path()), std::vector<std::string>{"next.vexolin"});
}

TEST(TrialFile, FilesThatAreNoTrialAreRefused)
{
    const test::TempFolder folder;
    writeBytes(folder.file("notes.vexolin"), "SQLite format 3 is what this text says");
    ASSERT_TRUE(test::runSql(folder.file("other.db"), "CREATE TABLE settings (key TEXT, value TEXT)"));
    EXPECT_EQ(openTrial(folder.file("notes.vexolin")).Result.reason(), "notes.vexolin is not a Vexolin trial file.");
    EXPECT_EQ(openTrial(folder.file("other.db")).Result.reason(), "other.db is not a Vexolin trial file.");
    EXPECT_EQ(openTrial(folder.path().string()).Result.reason(),
              folder.path().filename().string() + " is not a Vexolin trial file.");
    EXPECT_EQ(openTrial(folder.file("gone.vexolin")).Result.reason(), "gone.vexolin does not exist.");
}

TEST(TrialFile, UnsoundValuesAreRefusedAsDamage)
{
    const test::TempFolder folder;
    const std::string good = folder.file("good.vexolin");
    ASSERT_TRUE(saveTrial(good, test::sampleTrial(folder.path(), folder.path())).ok());
    const std::string endless = "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) ";
    for (const std::string &sql : std::vector<std::string>{
             "UPDATE cards SET vmd = 0.0 / 0.0 WHERE id = 1", "UPDATE cards SET vmd = 9e999 WHERE id = 1",
             "UPDATE cards SET image_width = -5", "UPDATE cards SET resolution = 40000",
             "UPDATE cards SET dither_index = 256", "UPDATE cards SET palette_hue = x'00'",
             "UPDATE cards SET file_title = x'41'", "UPDATE cards SET pass = 3 WHERE id = 3",
             "UPDATE size_classes SET card = 99 WHERE card = 3", "DELETE FROM size_classes WHERE class = 1",
             "UPDATE settings SET value = '0,5' WHERE key = 'spread_2'",
             "UPDATE settings SET value = 300 WHERE key = 'hue_low'", "DELETE FROM passes WHERE number = 1",
             "ALTER TABLE cards DROP COLUMN nmd", "PRAGMA journal_mode = WAL",
             "DROP TABLE passes; CREATE VIEW passes AS " + endless +
                 "SELECT x AS number, 'p' AS name, 1 AS in_mean, 0 AS order_edited FROM n"}) {
        SCOPED_TRACE(sql);
        const std::string path = folder.file("bad.vexolin");
        fs::copy_file(good, path, fs::copy_options::overwrite_existing);
        ASSERT_TRUE(test::runSql(path, sql));
        const OpenedTrial opened = openTrial(path);
        EXPECT_EQ(opened.Result.reason().rfind("bad.vexolin is damaged and cannot be opened: ", 0), 0u)
            << opened.Result.reason();
    }
}

TEST(TrialFile, AFailedSaveLeavesTheOldTrialAndNothingBeside)
{
    const test::TempFolder folder;
    const std::string path = folder.file("trial.vexolin");
    Trial small;
    small.Passes.resize(1);
    ASSERT_TRUE(saveTrial(path, small).ok());
    const std::string before = bytesOf(path);
    {
        const test::FileSizeLimit limit(before.size() - 4096);
        const Status saved = saveTrial(path, test::sampleTrial(folder.path(), folder.path()));
        EXPECT_EQ(saved.reason(), std::string("the trial could not be written: ") + std::strerror(EFBIG));
    }
    Trial unsound = test::sampleTrial(folder.path(), folder.path());
    unsound.Passes[1].Cards[1].VMD = std::nan("");
    EXPECT_EQ(saveTrial(path, unsound).reason(),
              "the trial could not be written: card card03.bmp's vmd is not a number");
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_EQ(test::filesIn(folder.path()), std::vector<std::string>{"trial.vexolin"});
}

TEST(TrialFile, TheStockShellListsTheTables)
{
    if (!fs::exists("/usr/bin/sqlite3"))
        GTEST_SKIP() << "the sqlite3 shell is not installed";
    const test::TempFolder folder;
    const std::string path = folder.file("trial.vexolin");
    ASSERT_TRUE(saveTrial(path, test::sampleTrial(folder.path(), folder.path())).ok());
    FILE *shell = ::popen(("/usr/bin/sqlite3 '" + path + "' .tables").c_str(), "r");
    ASSERT_NE(shell, nullptr);
    std::string listed;
    for (char buffer[256]; std::fgets(buffer, sizeof buffer, shell);)
        listed += buffer;
    EXPECT_EQ(::pclose(shell), 0);
    for (const char *table : {"vexolin", "settings", "passes", "spray_info", "cards", "size_classes"})
        EXPECT_NE(listed.find(table), std::string::npos) << table << " in: " << listed;
}

} // namespace
} // namespace vex
