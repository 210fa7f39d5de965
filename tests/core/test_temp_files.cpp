#include "app/TempFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace vex {
namespace {

class TempFilesTest : public ::testing::Test {
protected:
    void touch(const std::string &name) { std::ofstream(dir / name) << "x"; }
    bool has(const std::string &name) const { return fs::exists(dir / name); }
    vex::test::TempFolder folder{"vexolin_temp"};
    fs::path dir = folder.path();
};

TEST_F(TempFilesTest, RemovesEveryClipAndTheFixedTemporaries)
{
    for (const char *name : {"clip00.bmp", "clip01.bmp", "clip17.bmp", "CLIP99.BMP", "clip.bmp", "masktemp.bmp",
                             "background_temp.bmp", "dither_temp.bmp", "temp.bmp"})
        touch(name);
    touch("card1.bmp");
    touch("clip01.bmp.bak");
    touch("myclip01.bmp");
    touch("templates.dat");
    EXPECT_TRUE(removeTemporaryFiles(dir.string() + "/").empty());
    for (const char *gone : {"clip00.bmp", "clip01.bmp", "clip17.bmp", "CLIP99.BMP", "clip.bmp", "masktemp.bmp",
                             "background_temp.bmp", "dither_temp.bmp", "temp.bmp"})
        EXPECT_FALSE(has(gone)) << gone;
    for (const char *kept : {"card1.bmp", "clip01.bmp.bak", "myclip01.bmp", "templates.dat"})
        EXPECT_TRUE(has(kept)) << kept;
}

TEST_F(TempFilesTest, MissingFilesAndFolderAreNotErrors)
{
    EXPECT_TRUE(removeTemporaryFiles(dir.string()).empty());
    EXPECT_TRUE(removeTemporaryFiles((dir / "absent").string()).empty());
}

TEST_F(TempFilesTest, ClipFilesAloneLeaveTheOthers)
{
    touch("clip03.bmp");
    touch("masktemp.bmp");
    EXPECT_TRUE(removeClipFiles(dir.string()).empty());
    EXPECT_FALSE(has("clip03.bmp"));
    EXPECT_TRUE(has("masktemp.bmp"));
}

TEST(ClipFileName, Pattern)
{
    EXPECT_TRUE(isClipFileName("clip00.bmp"));
    EXPECT_TRUE(isClipFileName("Clip1.Bmp"));
    EXPECT_FALSE(isClipFileName("clip00.gif"));
    EXPECT_FALSE(isClipFileName("xclip00.bmp"));
    EXPECT_FALSE(isClipFileName("clip"));
}

} // namespace
} // namespace vex
