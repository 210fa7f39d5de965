#include "text/WholeFile.h"

#include "text/SameFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vex {

namespace {

std::atomic<long long> failAfter{-1};

std::string systemText(int code)
{
    return std::strerror(code != 0 ? code : EIO);
}

// Writes everything, retrying where the system wrote less than asked.
int writeAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t chunk = bytes.size() - done;
        if (const long long limit = failAfter.load(); limit >= 0) {
            if (static_cast<long long>(done) >= limit)
                return ENOSPC;
            chunk = std::min(chunk, static_cast<std::size_t>(limit) - done);
        }
        const ssize_t n = ::write(fd, bytes.data() + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

void failWritesAfterForTesting(long long bytes)
{
    failAfter = bytes;
}

namespace {

// The process's umask, read without changing it (setting and restoring it
// would race with files other threads create meanwhile).
mode_t currentUmask()
{
    const std::string status = readWholeFile("/proc/self/status").value();
    const auto at = status.find("Umask:");
    if (at != std::string::npos)
        return static_cast<mode_t>(std::strtoul(status.c_str() + at + 6, nullptr, 8));
    return 022;
}

// A name beside the target that no one else uses: "." + name + 6 letters.
std::string uniqueName(const std::filesystem::path &folder, const std::string &name, unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    const unsigned n = counter.fetch_add(1) * 2654435761u ^ static_cast<unsigned>(::getpid()) ^ (attempt * 40503u);
    const char *letters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    unsigned v = n ^ static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(&suffix));
    for (int i = 0; i < 6; ++i, v /= 36)
        suffix += letters[v % 36];
    return (folder / ("." + name + "." + suffix)).string();
}

} // namespace

namespace {

// Bytes for a descriptor the program has open (standard output): they go
// after what the standard streams hold, where the descriptor stands.
Status writeToDescriptor(int fd, std::string_view bytes)
{
    std::fflush(nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a reader that has gone is reported, not the program ended
    if (const int code = writeAll(fd, bytes))
        return Status::failure(systemText(code));
    return {};
}

// Bytes for a terminal, a device such as /dev/null or a pipe, which are
// written to as they are: there is no file to replace.
Status writeIntoDevice(const std::string &path, std::string_view bytes)
{
    // A pipe waits here for its reader, as it would for any other writer,
    // and a reader that goes before the end is reported.
    std::signal(SIGPIPE, SIG_IGN);
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Status::failure(systemText(errno));
    const int code = writeAll(fd, bytes);
    if (::close(fd) != 0 && code == 0)
        return Status::failure(systemText(errno));
    return code == 0 ? Status() : Status::failure(systemText(code));
}

Status replaceWholeFile(const std::string &path, std::string_view bytes);

} // namespace

Status writeWholeFile(const std::string &path, std::string_view bytes)
{
    // Under a file size limit the system would end the program rather than
    // fail the write; the write must fail so that it can be reported.
    std::signal(SIGXFSZ, SIG_IGN);
    // A link stays a link: the file it leads to is the one replaced, its
    // new version made beside it.
    const LinkEnd end = followLinks(path);
    if (end.Error != 0)
        return Status::failure(systemText(end.Error));
    if (end.Descriptor >= 0)
        return writeToDescriptor(end.Descriptor, bytes);
    // Only a regular file is replaced; renamed over, a device would become
    // a file and a pipe would lose its reader.
    struct stat kind {};
    if (::stat(end.Path.c_str(), &kind) == 0 && !S_ISREG(kind.st_mode)) {
        if (S_ISCHR(kind.st_mode) || S_ISFIFO(kind.st_mode))
            return writeIntoDevice(end.Path, bytes);
        if (S_ISDIR(kind.st_mode))
            return Status::failure("it is a folder");
        return Status::failure(S_ISBLK(kind.st_mode) ? "it is a disc device, not a file"
                                                     : "it is neither a file, a terminal, a device nor a pipe");
    }
    return replaceWholeFile(end.Path, bytes);
}

namespace {

// Why no new file can be made in `folder` ("Permission denied" alone would
// seem to be about the file itself).
std::string folderText(const std::filesystem::path &folder, int code)
{
    if (code == EACCES || code == EPERM || code == EROFS)
        return "no file can be made in the folder " + folder.string() + " (" + systemText(code) + ")";
    return systemText(code);
}

Status replaceWholeFile(const std::string &path, std::string_view bytes)
{
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const std::string name = target.filename().string();

    // The bytes go first into a file without a name, which a kill or a
    // crash cannot leave behind; it takes a unique name beside the target
    // (two programs writing the same file never share one) only once it is
    // whole, and that name at once gives way to the target's.  Where the
    // file system has no such files, a unique name is created at the start.
    std::string temporary;
    // (The unnamed file is named through /proc, so that must be there.)
    int fd = ::access("/proc/self/fd", X_OK) == 0 ? ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
    const bool unnamed = fd >= 0;
    if (!unnamed) {
        temporary = (folder / ("." + name + ".XXXXXX")).string();
        fd = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (fd < 0)
            return Status::failure(folderText(folder, errno));
    }
    auto fail = [&](int code) {
        ::close(fd);
        if (!temporary.empty())
            ::unlink(temporary.c_str());
        return Status::failure(systemText(code));
    };
    // The new file keeps the old one's permissions; a first file gets what
    // any new file would get (a named temporary starts private).
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return fail(errno);
    } else if (!unnamed && ::fchmod(fd, 0666 & ~currentUmask()) != 0) {
        return fail(errno);
    }
    if (const int code = writeAll(fd, bytes))
        return fail(code);
    // A full disc may show only when the data reach it.
    if (::fsync(fd) != 0)
        return fail(errno);
    struct stat written {};
    if (::fstat(fd, &written) != 0)
        return fail(errno);
    if (written.st_size != static_cast<off_t>(bytes.size())) {
        (void)fail(EIO);
        return Status::failure("the file was cut short");
    }
    if (unnamed) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        for (unsigned attempt = 0;; ++attempt) {
            temporary = uniqueName(folder, name, attempt);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0)
                break;
            if (errno != EEXIST || attempt > 100) {
                const int code = errno;
                temporary.clear();
                return fail(code);
            }
        }
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return Status::failure(systemText(code));
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return Status::failure(systemText(code));
    }
    // The new name itself survives a crash only once the folder is on disc.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

} // namespace

Result<std::string> readWholeFile(const std::string &path)
{
    // Opened without waiting: a pipe would wait for a writer for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            return Status::failure(systemText(errno));
        return std::string();
    }
    // A device or a pipe under the log's name would be read for ever.
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        Status refused = Status::failure(known ? std::string("it is not a regular file") : systemText(errno));
        ::close(fd);
        return refused;
    }
    std::string bytes;
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Status failed = Status::failure(systemText(errno));
            ::close(fd);
            return failed;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

} // namespace vex
