#include "app/AppState.h"
#include "app/qt/QtSettingsStore.h"
#include "app/qt/ScreenMetrics.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>

#include "support/WriteFaults.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace vex {
namespace {

TEST(QtSettingsStore, MissingValuesReadAsNothing)
{
    QTemporaryDir dir;
    QtSettingsStore store(dir.filePath(QStringLiteral("v.ini")));
    EXPECT_FALSE(store.read("Prefs", "DefaultRes").has_value());
    EXPECT_EQ(readSetting(store, "Prefs", "DefaultRes", "1200"), "1200");
}

TEST(QtSettingsStore, PreferencesSurviveTheFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("v.ini"));
    {
        QtSettingsStore store(file);
        ModuleState module;
        Preferences w = readPreferences(store, module, "/home/u");
        w.Analysis.Resolution = 600;
        w.InitialDir = "/data/with, a comma";
        module.SpreadFactor = {1.5, 0.5, 0.001};
        w.Spray[AC_Type] = "Air Tractor 502";
        ASSERT_TRUE(writePreferences(store, module, w).ok());
        ASSERT_TRUE(saveSprayInfo(store, w.Spray).ok());
        ASSERT_TRUE(store.flush().ok());
    }
    QtSettingsStore again(file);
    ModuleState module;
    const Preferences r = readPreferences(again, module, "");
    EXPECT_EQ(r.Analysis.Resolution, 600);
    EXPECT_EQ(r.InitialDir, "/data/with, a comma");
    EXPECT_EQ(module.SpreadFactor[2], 0.001);
    EXPECT_EQ(r.Spray[AC_Type], "Air Tractor 502");
    EXPECT_EQ(again.read("SprayInfo", "Comment"), std::optional<std::string>(" "));

    QFile ini(file);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(text.contains("[Prefs]"));
    EXPECT_TRUE(text.contains("[Settings]"));
    EXPECT_TRUE(text.contains("[SprayInfo]"));
    EXPECT_TRUE(text.contains("DefaultRes=600"));
}

TEST(QtSettingsStore, AFailedWriteIsReported)
{
    // A folder where the file should be cannot be written, whatever the rights.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("v.ini"));
    ASSERT_TRUE(QDir().mkpath(file));
    QtSettingsStore store(file);
    const Status written = writePreferences(store, ModuleState{}, Preferences{});
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.reason().find("v.ini"), std::string::npos) << written.reason();
}

TEST(QtSettingsStore, ADamagedFileIsKeptAsideAndAFailedWriteKeepsTheFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("v.ini"));
    const QByteArray damaged = "[Prefs]\nDefaultRes=600\n[Prefs\ngarbage\n";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    QtSettingsStore store(file);
    EXPECT_FALSE(store.read("Prefs", "DefaultRes").has_value()) << "nothing of a damaged file is trusted";
    EXPECT_NE(store.notice().find("v.ini.bad"), std::string::npos) << store.notice();
    QFile kept(file + QStringLiteral(".bad"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), damaged);
    ASSERT_TRUE(writeSetting(store, "Prefs", "DefaultRes", "300").ok());
    ASSERT_TRUE(store.flush().ok());
    EXPECT_EQ(QtSettingsStore(file).read("Prefs", "DefaultRes"), std::optional<std::string>("300"));
    // A full disc while writing leaves the file as it was, and says so.
    ASSERT_TRUE(writeSetting(store, "Prefs", "DefaultRes", "900").ok());
    {
        const test::FailingWrites full(5);
        EXPECT_NE(store.flush().reason().find(std::strerror(ENOSPC)), std::string::npos);
    }
    EXPECT_EQ(QtSettingsStore(file).read("Prefs", "DefaultRes"), std::optional<std::string>("300"));
}

TEST(DisplaySettings, FirstKnownPanelIsChosen)
{
    const QStringList gnome = displaySettingsCommand([](const QString &p) { return p == "gnome-control-center"; });
    EXPECT_EQ(gnome, (QStringList{"gnome-control-center", "display"}));
    const QStringList xfce =
        displaySettingsCommand([](const QString &p) { return p == "xfce4-display-settings" || p == "arandr"; });
    EXPECT_EQ(xfce, QStringList{"xfce4-display-settings"});
    EXPECT_TRUE(displaySettingsCommand([](const QString &) { return false; }).isEmpty());
    EXPECT_FALSE(startDetached({}));
}

} // namespace
} // namespace vex
