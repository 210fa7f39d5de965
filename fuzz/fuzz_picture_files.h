#pragma once
// Shared by the fuzz targets that hand the bytes to a reader as a file: a
// memory-backed file, so that a run costs no disc and leaves nothing.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vex::fuzz {

inline std::string memoryFile(const char *name, const std::uint8_t *data, std::size_t size)
{
    static const int fd = memfd_create(name, MFD_CLOEXEC);
    if (fd < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    if (ftruncate(fd, 0) != 0 || (size != 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
        std::perror("writing the memory file");
        std::abort();
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

} // namespace vex::fuzz
