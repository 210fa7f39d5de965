#include "app/Startup.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

TEST(Startup, RoundingTakesHalvesToEven)
{
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(599.4), 599);
}

TEST(Startup, TwipsPerPixelFromLogicalDpi)
{
    EXPECT_EQ(twipsPerPixel(96), 15);
    EXPECT_EQ(twipsPerPixel(120), 12);
    EXPECT_EQ(twipsPerPixel(0), 15);
}

TEST(Startup, RootDirGetsATrailingSeparator)
{
    EXPECT_EQ(resolveRootDir("/opt/vexolin", "/home/u/.local/share/Vexolin"), "/opt/vexolin/");
    EXPECT_EQ(resolveRootDir("/opt/vexolin/", "/x"), "/opt/vexolin/");
}

TEST(Startup, MissingOrBlankRootDirUsesTheUserFolder)
{
    EXPECT_EQ(resolveRootDir("", "/home/u/.local/share/Vexolin"), "/home/u/.local/share/Vexolin/");
    EXPECT_EQ(resolveRootDir(" ", "/home/u/data"), "/home/u/data/");
}

TEST(Startup, OnlyTheHeightDecidesTheScreenCheck)
{
    EXPECT_TRUE(screenTooSmall(599));
    EXPECT_FALSE(screenTooSmall(600));
    EXPECT_FALSE(useTallLayout(600));
    EXPECT_TRUE(useTallLayout(601));
}

TEST(Startup, SmallScreenMessageWordForWord)
{
    EXPECT_EQ(screenResolutionMessage(1024, 599), "Your screen resolution is currently set to 1024\u00d7599.\r\r"
                                                  "Vexolin was designed to run at a minimum resolution\r"
                                                  "of 800\u00d7600, and preferably 1024\u00d7768 or higher.\r\r"
                                                  "Click OK to access the display settings.");
}

TEST(Startup, LargeFontsGiveASmallerInterfaceFont)
{
    const UiFont normal = chooseUiFont(15, "Cantarell", 11.0f);
    EXPECT_EQ(normal.Name, "Cantarell");
    EXPECT_EQ(normal.Size, 11.0f);
    const UiFont large = chooseUiFont(12, "Cantarell", 8.0f);
    EXPECT_EQ(large.Size, 6.0f);
}

TEST(Startup, ModuleStateFromTheStore)
{
    MemorySettingsStore store;
    store.setRaw("Settings", "RootDir", "/srv/vexolin");
    store.setRaw("Prefs", "Metric", "False");
    ModuleState m;
    startModuleState(store, m, "/fallback", 12, "Sans", 8.0f);
    EXPECT_EQ(m.RootDir, "/srv/vexolin/");
    EXPECT_FALSE(m.Metric);
    EXPECT_EQ(m.UiFontSize, 6.0f);
}

} // namespace
} // namespace vex
