#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include <unistd.h>

namespace vex::test {

// A fresh, empty folder that belongs to this object alone and goes with it.
// ctest runs tests side by side (and CI runs two builds of the same tests),
// so a fixed name would let one test delete another's files mid-run.
class TempFolder {
public:
    explicit TempFolder(const std::string &stem = "vexolin")
    {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                (stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(seed()) + "_" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    // An empty file of that name, its folders made as needed.
    std::string touch(const std::string &name) const
    {
        const std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream{file};
        return file.string();
    }

private:
    std::filesystem::path path_;
};

} // namespace vex::test
