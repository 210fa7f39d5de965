#include "text/DialogResults.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

using namespace std::string_literals;

TEST(DialogFilter, PairsAndNameFilters)
{
    const auto pairs = parseFilter("Pictures (*.bmp;*.gif)|*.bmp;*.gif|All files|*.*");
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].Patterns, "*.bmp;*.gif");
    EXPECT_EQ(dialogNameFilter(pairs[0]), "Pictures (*.bmp *.gif)");
    EXPECT_EQ(dialogNameFilter({"Text File (*.txt)", "*.txt"}), "Text File (*.txt)");
    EXPECT_EQ(dialogNameFilter(pairs[1]), "All files (*.*)");
    EXPECT_EQ(filterSuffix({"CSV (*.csv)", "*.csv;*.txt"}, "txt"), "csv");
    EXPECT_EQ(filterSuffix(pairs[1], "txt"), "txt");
    EXPECT_EQ(pairs[1].Description, "All files");
    EXPECT_TRUE(parseFilter("").empty());
    EXPECT_EQ(parseFilter("Lonely").size(), 0u);
}

TEST(DialogResult, OneFileIsAPlainPath)
{
    const FileDialogResult r = composeFileResult({"/data/cards/c1.bmp"});
    EXPECT_EQ(r.FileName, "/data/cards/c1.bmp");
    EXPECT_EQ(r.FileTitle, "c1.bmp");
    EXPECT_EQ(r.Path, "/data/cards");
    EXPECT_EQ(splitFileResult(r.FileName), std::vector<std::string>{"/data/cards/c1.bmp"});
}

TEST(DialogResult, SeveralFilesAreFolderThenNamesSeparatedByZero)
{
    const FileDialogResult r = composeFileResult({"/data/cards/a.bmp", "/data/cards/b.gif", "/data/cards/c.tif"});
    EXPECT_EQ(r.FileName, "/data/cards\0a.bmp\0b.gif\0c.tif"s);
    EXPECT_EQ(r.Path, "/data/cards");
    EXPECT_TRUE(r.FileTitle.empty());
    EXPECT_EQ(splitFileResult(r.FileName),
              (std::vector<std::string>{"/data/cards/a.bmp", "/data/cards/b.gif", "/data/cards/c.tif"}));
}

TEST(DialogResult, FilesInTheRootFolder)
{
    EXPECT_EQ(splitFileResult("/\0a.bmp\0b.bmp"s), (std::vector<std::string>{"/a.bmp", "/b.bmp"}));
    EXPECT_TRUE(splitFileResult("").empty());
}

} // namespace
} // namespace vex
