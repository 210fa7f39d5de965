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

#include <bit>
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
    const Result<Trial> opened = openTrial(path);
    ASSERT_TRUE(opened.ok()) << opened.reason();
    test::expectSameTrial(opened.value(), test::asOpened(trial));
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

    Result<Trial> opened = openTrial(folder.file("moved/trial.vexolin"));
    ASSERT_TRUE(opened.ok()) << opened.reason();
    const CardList &first = opened.value().Passes[0].Cards;
    EXPECT_EQ(first[2].FilePath, folder.file("moved/cards/card 02.tif"));
    EXPECT_EQ(first[1].Source->PicturePath, folder.file("moved/cards/field.jpg"));
    EXPECT_EQ(opened.value().Passes[1].Cards[1].FilePath, folder.file("elsewhere/card03.bmp"));
    std::vector<int> seen;
    checkCardFiles(opened.value(), [&](int done, int total) {
        seen.push_back(done * 10 + total);
        return false;
    });
    EXPECT_EQ(seen, (std::vector<int>{13, 23, 33}));
    EXPECT_EQ(first[1].FileState, CardFileState::Present);
    EXPECT_EQ(first[2].FileState, CardFileState::Present);
    EXPECT_EQ(opened.value().Passes[1].Cards[1].FileState, CardFileState::Missing);
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
    const Result<Trial> opened = openTrial(path);
    EXPECT_EQ(opened.reason(), "next.vexolin was saved by a newer version of Vexolin (trial format 7); this "
                               "version reads format 3 and older.");
    EXPECT_TRUE(opened.value().Passes.empty());
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_EQ(test::filesIn(folder.path()), std::vector<std::string>{"next.vexolin"});
}

TEST(TrialFile, FilesThatAreNoTrialAreRefused)
{
    const test::TempFolder folder;
    writeBytes(folder.file("notes.vexolin"), "SQLite format 3 is what this text says");
    ASSERT_TRUE(test::runSql(folder.file("other.db"), "CREATE TABLE settings (key TEXT, value TEXT)"));
    EXPECT_EQ(openTrial(folder.file("notes.vexolin")).reason(), "notes.vexolin is not a Vexolin trial file.");
    EXPECT_EQ(openTrial(folder.file("other.db")).reason(), "other.db is not a Vexolin trial file.");
    EXPECT_EQ(openTrial(folder.path().string()).reason(),
              folder.path().filename().string() + " is not a Vexolin trial file.");
    EXPECT_EQ(openTrial(folder.file("gone.vexolin")).reason(), "gone.vexolin does not exist.");
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
        const Result<Trial> opened = openTrial(path);
        EXPECT_EQ(opened.reason().rfind("bad.vexolin is damaged and cannot be opened: ", 0), 0u) << opened.reason();
    }
}

TEST(TrialFile, DamageAndContradictingFiguresAreRefusedAndTheFileLeftAsItWas)
{
    const test::TempFolder folder;
    const Trial trial = test::sampleTrial(folder.path(), folder.path());
    const std::string good = folder.file("good.vexolin");
    ASSERT_TRUE(saveTrial(good, trial).ok());
    const std::string saved = bytesOf(good);
    // SQLite keeps a REAL as 8 bytes, most significant first.
    const auto vmdBits = std::bit_cast<std::uint64_t>(trial.Passes[0].Cards[1].VMD);
    std::string vmd;
    for (int shift = 56; shift >= 0; shift -= 8)
        vmd += static_cast<char>(vmdBits >> shift);
    ASSERT_NE(saved.find(vmd), std::string::npos);
    std::string flipped = saved;
    flipped[saved.find(vmd) + 7] ^= 1;
    flipped[saved.rfind("True")] ^= 0x20; // a switch in the settings: "true"

    // The bytes as they are, SQL on a trial of today's format, or SQL on
    // one of the previous format, which carries no checksum.
    enum Start { Bytes, Today, Previous };
    struct Case {
        Start From;
        std::string Change, Reason;
    };
    const std::vector<Case> cases = {
        {Bytes, saved.substr(0, saved.size() - 16), "it is cut short: it holds"},
        {Bytes, flipped, "its contents do not match the checksum saved with them"},
        {Today, "UPDATE cards SET position = 7 WHERE id = 1", "do not match the checksum"},
        {Today, "DELETE FROM vexolin WHERE key = 'content_sha256'", "it holds no checksum of its contents"},
        {Previous, "UPDATE cards SET vmd = 5000 WHERE id = 1", "disagree: its VMD (5000"},
        {Previous, "UPDATE size_classes SET volume_fraction = 0.5 WHERE card = 1 AND class = 1",
         "disagree: the fractions of size class 1 do not match its drops"},
        {Previous, "UPDATE cards SET accepted = 999999", "its accepted drops (999999) are not those of its size"},
        {Previous, "UPDATE size_classes SET volume_fraction = 5 WHERE class = 3", "unsound volume_fraction"},
        {Previous, "UPDATE settings SET value = '1e300' WHERE key = 'spread_2'", "the setting spread_2 holds \"1e300"},
        {Previous, "UPDATE settings SET value = '0.0' WHERE key = 'dense_coverage'", "setting dense_coverage holds"},
        {Previous,
         "CREATE TABLE copy AS SELECT * FROM settings; DROP TABLE settings; ALTER TABLE copy RENAME TO settings;"
         "INSERT INTO settings VALUES ('metric', 'True')",
         "the setting metric is stored twice"},
        {Previous, "UPDATE cards SET path = '/some/where/secret.bmp' WHERE id = 1",
         "card 1 of pass 1 is named \"card01.bmp\", which is not the name of its file"},
        {Previous, "REPLACE INTO spray_info VALUES (1, 'Sample_Interval', '0')", "1: Sample_Interval holds \"0\""},
        {Previous, "UPDATE card_sources SET width_mm = 2 WHERE card = 1", "card 1 of pass 1 has an unsound width_mm"},
        {Previous, "UPDATE card_sources SET picture = '' WHERE card = 3", "card 1 of pass 2 has an unsound picture"},
        {Previous, "REPLACE INTO spray_info VALUES (2, 'Sample_Interval', 'NaN')", "2: Sample_Interval holds \"NaN\""},
        {Previous, "REPLACE INTO spray_info VALUES (1, 'Sample_Position1', '3e9')", "Sample_Position1 holds \"3e9\""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Reason);
        const std::string path = folder.file("bad.vexolin");
        writeBytes(path, c.From == Bytes ? c.Change : saved);
        ASSERT_TRUE(c.From != Previous || test::asPreviousFormat(path));
        ASSERT_TRUE(c.From == Bytes || test::runSql(path, c.Change));
        const std::string before = bytesOf(path);
        const Result<Trial> opened = openTrial(path);
        EXPECT_EQ(opened.reason().rfind("bad.vexolin is damaged and cannot be opened: ", 0), 0u);
        EXPECT_NE(opened.reason().find(c.Reason), std::string::npos) << opened.reason();
        EXPECT_EQ(bytesOf(path), before);
    }
    EXPECT_EQ(test::filesIn(folder.path()), (std::vector<std::string>{"bad.vexolin", "good.vexolin"}));
}

TEST(TrialFile, ATrialOfThePreviousFormatWithoutChecksumStillOpens)
{
    const test::TempFolder folder;
    const Trial trial = test::sampleTrial(folder.path() / "cards", folder.path() / "elsewhere");
    const std::string path = folder.file("old.vexolin");
    ASSERT_TRUE(saveTrial(path, trial).ok());
    ASSERT_TRUE(test::asPreviousFormat(path));
    const Result<Trial> opened = openTrial(path);
    ASSERT_TRUE(opened.ok()) << opened.reason();
    test::expectSameTrial(opened.value(), test::asOpened(trial));
}

TEST(TrialFile, ATrialWithoutCardsCutFromPicturesIsWrittenAsBeforeSourcesWereKept)
{
    const test::TempFolder folder;
    Trial trial = test::sampleTrial(folder.path() / "cards", folder.path() / "elsewhere");
    for (LinePass &pass : trial.Passes)
        for (CardRecord &card : pass.Cards.records())
            card.Source.reset();
    const std::string path = folder.file("plain.vexolin");
    ASSERT_TRUE(saveTrial(path, trial).ok());
    EXPECT_FALSE(test::runSql(path, "SELECT 1 FROM card_sources"));
    const Result<Trial> opened = openTrial(path);
    ASSERT_TRUE(opened.ok()) << opened.reason();
    test::expectSameTrial(opened.value(), test::asOpened(trial));
}

TEST(TrialFile, AJournalLeftBesideTheTrialIsNamed)
{
    const test::TempFolder folder;
    const std::string path = folder.file("trial.vexolin");
    ASSERT_TRUE(saveTrial(path, test::sampleTrial(folder.path(), folder.path())).ok());
    // Another program's change caught half way, as a crash would leave it:
    // the file with pages written and the journal that undoes them.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA cache_size = 1; BEGIN; UPDATE cards SET palette = randomblob(60000)", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(fs::exists(path + "-journal"));
    fs::copy_file(path, folder.file("copy.vexolin"));
    fs::copy_file(path + "-journal", folder.file("copy.vexolin-journal"));
    sqlite3_close(db);
    const std::string before = bytesOf(folder.file("copy.vexolin"));

    EXPECT_EQ(openTrial(folder.file("copy.vexolin")).reason(),
              "copy.vexolin is damaged and cannot be opened: a change another program left unfinished is kept beside "
              "it in copy.vexolin-journal; opening the trial once in that program undoes the change.");
    EXPECT_EQ(bytesOf(folder.file("copy.vexolin")), before);
    EXPECT_TRUE(fs::exists(folder.file("copy.vexolin-journal")));
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
