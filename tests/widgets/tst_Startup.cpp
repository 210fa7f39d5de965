// Start-up: the small-screen question and the window it leads to.

#include "app/ui/Startup.h"
#include "app/ui/frmMain.h"
#include "support/WindowHelpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vex;

class tst_Startup : public QObject {
    Q_OBJECT
private:
    QTemporaryDir root;

    MemorySettingsStore storeWithRoot()
    {
        MemorySettingsStore store;
        store.setRaw("Settings", "RootDir", root.path().toStdString());
        return store;
    }

private slots:
    void cancelOnASmallScreenShowsNoWindow()
    {
        MemorySettingsStore store = storeWithRoot();
        ModuleState module;
        QString asked;
        bool opened = false;
        ui::StartupHooks hooks{[&](const QString &text) {
                                   asked = text;
                                   return false;
                               },
                               [&] { opened = true; }};
        auto window = ui::startVexolin(store, module, ScreenMetrics{1024, 599, 15}, hooks);
        QVERIFY(!window);
        QVERIFY(!opened);
        QVERIFY(asked.startsWith(QStringLiteral("Your screen resolution is currently set to 1024\u00d7599.\n\n")));
        QVERIFY(asked.endsWith(QStringLiteral("\n\nClick OK to access the display settings.")));
    }

    void okOpensTheDisplaySettingsAndGoesOn()
    {
        MemorySettingsStore store = storeWithRoot();
        ModuleState module;
        bool opened = false;
        ui::StartupHooks hooks{[](const QString &) { return true; }, [&] { opened = true; }};
        auto window = ui::startVexolin(store, module, ScreenMetrics{1024, 599, 15}, hooks);
        QVERIFY(window);
        QVERIFY(opened);
        QVERIFY(window->isVisible());
        QCOMPARE(test::child<vex::ui::CardPicture>(*window, "Picture1") != nullptr, true);
        QVERIFY(!window->tallLayout());
        window->close();
    }

    void anAdequateScreenAsksNothing()
    {
        MemorySettingsStore store = storeWithRoot();
        ModuleState module;
        bool asked = false;
        ui::StartupHooks hooks{[&](const QString &) {
                                   asked = true;
                                   return false;
                               },
                               [] {}};
        auto window = ui::startVexolin(store, module, ScreenMetrics{640, 600, 15}, hooks);
        QVERIFY(window);
        QVERIFY(!asked);
        QCOMPARE(module.RootDir, root.path().toStdString() + "/");
        QCOMPARE(window->windowTitle(), QStringLiteral("Quarrow Vexolin"));
        window->close();
    }

    void largeFontsShrinkTheInterfaceFont()
    {
        MemorySettingsStore store = storeWithRoot();
        ModuleState normal, large;
        ui::StartupHooks hooks{[](const QString &) { return true; }, [] {}};
        auto a = ui::startVexolin(store, normal, ScreenMetrics{1280, 1024, 15}, hooks);
        auto b = ui::startVexolin(store, large, ScreenMetrics{1280, 1024, 12}, hooks);
        QCOMPARE(large.UiFontSize, normal.UiFontSize * 6.0f / 8.0f);
        QCOMPARE(b->font().pointSizeF(), double(large.UiFontSize));
        a->close();
        b->close();
    }

    void theFirstFolderIsTheNamedThenTheInstalledThenTheSourcesSamples()
    {
        QTemporaryDir prefix;
        const QString bin = prefix.path() + QStringLiteral("/bin");
        const QString installed = prefix.path() + QStringLiteral("/share/vexolin/samples");
        QVERIFY(QDir().mkpath(bin));
        qunsetenv("VEXOLIN_SAMPLES");
        QCOMPARE(ui::firstRunFolder(bin), QDir(QStringLiteral(VEXOLIN_SAMPLE_DIR)).absolutePath().toStdString() + "/");
        QVERIFY(QDir().mkpath(installed));
        QCOMPARE(ui::firstRunFolder(bin), installed.toStdString() + "/");
        qputenv("VEXOLIN_SAMPLES", QFile::encodeName(root.path() + QStringLiteral("/gone")));
        QCOMPARE(ui::firstRunFolder(bin), installed.toStdString() + "/");
        qputenv("VEXOLIN_SAMPLES", QFile::encodeName(root.path()));
        QCOMPARE(ui::firstRunFolder(bin), root.path().toStdString() + "/");
        qunsetenv("VEXOLIN_SAMPLES");
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
