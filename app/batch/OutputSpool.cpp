#include "app/batch/OutputSpool.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace vex {

namespace {

std::string temporaryFolder()
{
    const char *dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

// A file that is gone from its folder from the start: O_TMPFILE where the
// file system has it, else made and unlinked at once.
int openNameless(std::string &failure)
{
    const std::string folder = temporaryFolder();
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    std::string path = folder + "/vexolin-batch-XXXXXX";
    fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        failure = "no temporary file in " + folder + ": " + std::strerror(errno);
        return -1;
    }
    ::unlink(path.c_str());
    return fd;
}

} // namespace

OutputSpool::~OutputSpool()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void OutputSpool::add(std::string_view text)
{
    if (!status_.ok())
        return;
    if (fd_ < 0) {
        std::string failure;
        fd_ = openNameless(failure);
        if (fd_ < 0) {
            status_ = Status::failure(failure);
            return;
        }
    }
    while (!text.empty()) {
        const ssize_t written = ::write(fd_, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            status_ = Status::failure(std::string("the output could not be held in a temporary file: ") +
                                      std::strerror(written < 0 ? errno : ENOSPC));
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

Status OutputSpool::copyTo(std::FILE *out)
{
    if (!status_.ok())
        return status_;
    if (fd_ < 0)
        return Status();
    if (::lseek(fd_, 0, SEEK_SET) != 0)
        return Status::failure(std::string("the held output could not be read back: ") + std::strerror(errno));
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Status::failure(std::string("the held output could not be read back: ") + std::strerror(errno));
        if (got == 0)
            return Status();
        if (std::fwrite(buffer.data(), 1, static_cast<std::size_t>(got), out) != static_cast<std::size_t>(got))
            return Status::failure(std::string("the output could not be written: ") + std::strerror(errno));
    }
}

} // namespace vex
