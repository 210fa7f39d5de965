// The one writer of every file users keep: whole or not at all, the old
// file untouched on failure, nothing left beside it.

#include "support/TempFolder.h"
#include "support/WriteFaults.h"
#include "text/WholeFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vex {
namespace {

std::string contents(const std::string &path)
{
    return readWholeFile(path).value();
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

TEST(WholeFile, LinksAreFollowedAndDevicesAndPipesWrittenIntoNeverReplaced)
{
    const test::TempFolder folder;
    std::filesystem::create_directories(folder.path() / "real");
    ASSERT_TRUE(writeWholeFile(folder.file("real/results.txt"), "old").ok());
    std::filesystem::create_symlink("real/results.txt", folder.path() / "link.txt");
    ASSERT_TRUE(writeWholeFile(folder.file("link.txt"), "new").ok());
    EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "link.txt"));
    EXPECT_EQ(test::filesIn(folder.path() / "real"), std::vector<std::string>{"results.txt"});
    EXPECT_EQ(writeWholeFile(folder.file("real"), "x").reason(), "it is a folder");
    EXPECT_EQ(writeWholeFile(folder.file("gone/../link.txt"), "x").reason(), std::strerror(ENOENT));
    // A pipe with a reader, by its own name and as an open descriptor (as /dev/stdout is).
    const std::string fifo = folder.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(fifo.c_str(), O_WRONLY);
    ASSERT_TRUE(writeWholeFile(fifo, "piped,").ok());
    ASSERT_TRUE(writeWholeFile("/dev/fd/" + std::to_string(writer), "by fd").ok());
    char got[16] = {};
    EXPECT_EQ(std::string(got, static_cast<std::size_t>(::read(reader, got, sizeof got))), "piped,by fd");
    ::close(reader);
    ::close(writer);
    struct stat info {};
    EXPECT_TRUE(::stat(fifo.c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
    EXPECT_EQ(contents(folder.file("real/results.txt")), "new");
    // A private /dev/null: written into, still a device afterwards.
    if (::mknod(folder.file("null").c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no device can be made here (not root)";
    ASSERT_TRUE(writeWholeFile(folder.file("null"), "gone").ok());
    EXPECT_TRUE(::stat(folder.file("null").c_str(), &info) == 0 && S_ISCHR(info.st_mode));
}

TEST(WholeFile, ReadingRefusesAnythingButARegularFile)
{
    const test::TempFolder folder;
    const Result<std::string> none = readWholeFile(folder.file("none.scn"));
    EXPECT_TRUE(none.ok() && none->empty()) << "a missing file is no error: there is nothing to add to";
    ASSERT_EQ(::mkfifo(folder.file("pipe.scn").c_str(), 0600), 0);
    // would wait for ever on a pipe
    EXPECT_EQ(readWholeFile(folder.file("pipe.scn")).reason(), "it is not a regular file");
    EXPECT_EQ(readWholeFile(folder.path().string()).reason(), "it is not a regular file");
}

} // namespace
} // namespace vex
