// The one writer of every file users keep: whole or not at all, the old
// file untouched on failure, nothing left beside it.

#include "support/TempFolder.h"
#include "support/WriteFaults.h"
#include "text/WholeFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace vex {
namespace {

std::string contents(const std::string &path)
{
    std::string error;
    return readWholeFile(path, error);
}

TEST(WholeFile, ReplacesTheFileKeepingItsPermissionsAndLeavesNothingBeside)
{
    const test::TempFolder folder;
    const std::string path = folder.file("results.txt");
    ASSERT_TRUE(writeWholeFile(path, "old").ok());
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(writeWholeFile(path, "new bytes").ok());
    EXPECT_EQ(contents(path), "new bytes");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(test::filesIn(folder.path()), std::vector<std::string>{"results.txt"});
}

TEST(WholeFile, AFailedWriteLeavesTheOldFileAndSaysWhy)
{
    const test::TempFolder folder;
    const std::string path = folder.file("report.pdf");
    ASSERT_TRUE(writeWholeFile(path, "old").ok());
    {
        const test::FailingWrites full(3);
        EXPECT_EQ(writeWholeFile(path, "new bytes").reason(), std::strerror(ENOSPC));
    }
    {
        const test::FileSizeLimit limit(4);
        EXPECT_EQ(writeWholeFile(path, "new bytes").reason(), std::strerror(EFBIG));
    }
    EXPECT_EQ(writeWholeFile(folder.file("missing/x.txt"), "x").reason(), std::strerror(ENOENT));
    EXPECT_EQ(contents(path), "old");
    EXPECT_EQ(test::filesIn(folder.path()), std::vector<std::string>{"report.pdf"});
}

TEST(WholeFile, ReadingRefusesAnythingButARegularFile)
{
    const test::TempFolder folder;
    std::string error;
    EXPECT_EQ(readWholeFile(folder.file("none.scn"), error), "");
    EXPECT_EQ(error, "") << "a missing file is no error: there is nothing to add to";
    ASSERT_EQ(::mkfifo(folder.file("pipe.scn").c_str(), 0600), 0);
    readWholeFile(folder.file("pipe.scn"), error); // would wait for ever on a pipe
    EXPECT_EQ(error, "it is not a regular file");
    readWholeFile(folder.path().string(), error);
    EXPECT_EQ(error, "it is not a regular file");
}

} // namespace
} // namespace vex
