#include "app/TempFiles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace vex {

namespace {
std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

void removeIfPresent(const fs::path &file, std::vector<std::string> &failed)
{
    std::error_code ec;
    if (!fs::exists(file, ec))
        return;
    if (!fs::remove(file, ec) || ec)
        failed.push_back(file.string());
}
} // namespace

bool isClipFileName(const std::string &name)
{
    const std::string n = lower(name);
    return n.size() >= 8 && n.compare(0, 4, "clip") == 0 && n.compare(n.size() - 4, 4, ".bmp") == 0;
}

std::vector<std::string> removeClipFiles(const std::string &dir)
{
    std::vector<std::string> failed;
    std::error_code ec;
    std::vector<fs::path> clips;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (isClipFileName(it->path().filename().string()) && it->is_regular_file(ec))
            clips.push_back(it->path());
    for (const fs::path &clip : clips)
        removeIfPresent(clip, failed);
    return failed;
}

std::vector<std::string> removeTemporaryFiles(const std::string &dir)
{
    // temp.bmp (a converted image) is removed too: it is as temporary as the rest.
    static const std::array<const char *, 4> fixed = {"masktemp.bmp", "background_temp.bmp", "dither_temp.bmp",
                                                      "temp.bmp"};
    std::vector<std::string> failed;
    for (const char *name : fixed)
        removeIfPresent(fs::path(dir) / name, failed);
    std::vector<std::string> clipsLeft = removeClipFiles(dir);
    failed.insert(failed.end(), clipsLeft.begin(), clipsLeft.end());
    return failed;
}

} // namespace vex
