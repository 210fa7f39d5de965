#pragma once
// Writes that fail as on a full disc, for the tests of every writer: a file
// size limit on this process (the system's own failure, EFBIG), or the
// whole-file writer told to stop after some bytes (ENOSPC).

#include "text/WholeFile.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace vex::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit old_{};
};

class FailingWrites {
public:
    explicit FailingWrites(long long afterBytes) { failWritesAfterForTesting(afterBytes); }
    ~FailingWrites() { failWritesAfterForTesting(-1); }
    FailingWrites(const FailingWrites &) = delete;
    FailingWrites &operator=(const FailingWrites &) = delete;
};

// The names in a folder, to see that a failed write left nothing behind.
inline std::vector<std::string> filesIn(const std::filesystem::path &folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace vex::test
