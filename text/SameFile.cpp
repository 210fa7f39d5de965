#include "text/SameFile.h"

#include <cerrno>
#include <charconv>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace vex {

namespace fs = std::filesystem;

namespace {

// The path with its folder's links and dots resolved as the system
// resolves them, the last part as it is; as given (made absolute) when its
// folder cannot be reached, so that "gone/../x" is not taken for "x".
fs::path withRealFolder(const fs::path &path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    const fs::path name = absolute.filename();
    const fs::path folder =
        fs::canonical(name.empty() || name == "." || name == ".." ? absolute : absolute.parent_path(), error);
    if (error)
        return absolute;
    return name.empty() || name == "." || name == ".." ? folder : folder / name;
}

// The descriptor `path` names when it lies in this process's own folder
// of open descriptors (/proc/PID/fd/N, or a thread's), else -1.  Such a
// link leads to a pipe or a terminal as often as to a file.
int ownDescriptor(const fs::path &path)
{
    const std::string folder = path.parent_path().string();
    const std::string own = "/proc/" + std::to_string(::getpid());
    const bool ours =
        folder == own + "/fd" || (folder.rfind(own + "/task/", 0) == 0 && path.parent_path().filename() == "fd");
    if (!ours)
        return -1;
    const std::string name = path.filename().string();
    int fd = -1;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), fd);
    return error == std::errc() && end == name.data() + name.size() && fd >= 0 ? fd : -1;
}

} // namespace

LinkEnd followLinks(const std::string &path)
{
    LinkEnd end;
    fs::path at = withRealFolder(path);
    // As many links as the system itself follows before it gives up.
    for (int hops = 0;; ++hops) {
        end.Path = at.string();
        if ((end.Descriptor = ownDescriptor(at)) >= 0)
            return end;
        struct stat info {};
        if (::lstat(end.Path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return end;
        if (hops == 40) {
            end.Error = ELOOP;
            return end;
        }
        std::error_code error;
        const fs::path target = fs::read_symlink(at, error);
        if (error)
            return end;
        at = withRealFolder(target.is_absolute() ? target : at.parent_path() / target);
    }
}

bool sameFile(const std::string &a, const std::string &b)
{
    struct stat first {};
    struct stat second {};
    const bool firstThere = ::stat(a.c_str(), &first) == 0;
    const bool secondThere = ::stat(b.c_str(), &second) == 0;
    if (firstThere && secondThere)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    if (firstThere != secondThere)
        return false;
    return followLinks(a).Path == followLinks(b).Path;
}

} // namespace vex
