#include "text/WholeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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

std::string writeWholeFile(const std::string &path, std::string_view bytes)
{
    // Under a file size limit the system would end the program rather than
    // fail the write; the write must fail so that it can be reported.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::filesystem::path target(path);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    // A unique name, created here and nowhere else (two programs writing
    // the same file never share a temporary), hidden while it is written.
    std::string temporary = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return systemText(errno);
    auto fail = [&](int code) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return systemText(code);
    };
    // The new file gets the old one's permissions, or what a new file
    // would get, rather than the private ones of a temporary.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0)
        return fail(errno);
    if (const int code = writeAll(fd, bytes))
        return fail(code);
    // A full disc may show only when the data reach it.
    if (::fsync(fd) != 0)
        return fail(errno);
    struct stat written {};
    if (::fstat(fd, &written) != 0)
        return fail(errno);
    if (written.st_size != static_cast<off_t>(bytes.size())) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return "the file was cut short";
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return systemText(code);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        return systemText(code);
    }
    // The new name itself survives a crash only once the folder is on disc.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

std::string readWholeFile(const std::string &path, std::string &error)
{
    error.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            error = systemText(errno);
        return {};
    }
    // A device or a pipe under the log's name would be read for ever.
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    if (!known || !S_ISREG(info.st_mode)) {
        error = known ? std::string("it is not a regular file") : systemText(errno);
        ::close(fd);
        return {};
    }
    std::string bytes;
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = systemText(errno);
            bytes.clear();
            break;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return bytes;
}

} // namespace vex
