#pragma once
// Copies of the sample cards (VEXOLIN_SAMPLE_DIR) in a test's own folder, to move or change.

#include <filesystem>
#include <string>
#include <vector>

namespace vex::test {

inline std::vector<std::string> copySampleCards(const std::filesystem::path &to)
{
    std::filesystem::create_directories(to);
    std::vector<std::string> copies;
    for (const auto &entry : std::filesystem::directory_iterator(VEXOLIN_SAMPLE_DIR))
        if (entry.path().extension() == ".bmp" &&
            std::filesystem::copy_file(entry.path(), to / entry.path().filename()))
            copies.push_back((to / entry.path().filename()).string());
    return copies;
}

} // namespace vex::test
