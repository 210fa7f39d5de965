#include "app/ui/Startup.h"

#include "app/AppState.h"
#include "app/Startup.h"
#include "app/ui/frmMain.h"
#include "ui/Messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QStandardPaths>

namespace vex::ui {

StartupHooks defaultStartupHooks()
{
    StartupHooks hooks;
    hooks.confirmSmallScreen = [](const QString &text) {
        return showMessage(nullptr, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Warning) ==
               QMessageBox::Ok;
    };
    hooks.openDisplaySettings = [] { startDetached(displaySettingsCommand()); };
    return hooks;
}

std::unique_ptr<frmMain> startVexolin(SettingsStore &store, ModuleState &module, const ScreenMetrics &screen,
                                      const StartupHooks &hooks)
{
    QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dataDir.isEmpty())
        dataDir = QDir::tempPath() + QStringLiteral("/vexolin");
    QDir().mkpath(dataDir);

    const QFont desktop = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const float desktopSize = desktop.pointSizeF() > 0 ? static_cast<float>(desktop.pointSizeF()) : 8.0f;
    startModuleState(store, module, dataDir.toStdString(), screen.TwipsPerPixelX, desktop.family().toStdString(),
                     desktopSize);

    if (screenTooSmall(screen.Height)) {
        const QString text = programText(screenResolutionMessage(screen.Width, screen.Height));
        if (!hooks.confirmSmallScreen || !hooks.confirmSmallScreen(text))
            return nullptr;
        if (hooks.openDisplaySettings)
            hooks.openDisplaySettings();
    }
    QDir().mkpath(QString::fromStdString(module.RootDir));

    auto window = std::make_unique<frmMain>(store, module, screen.Height);
    window->show();
    return window;
}

std::string firstRunFolder(const QString &programFolder)
{
    // The installed cards are found from the program's own folder, not at a
    // path fixed by the build, so that any prefix works; they come before
    // the sources' own, which an installed program built on this machine
    // would otherwise still find.
    QStringList candidates{qEnvironmentVariable("VEXOLIN_SAMPLES")};
#ifdef VEXOLIN_INSTALLED_SAMPLES
    candidates << programFolder + QStringLiteral("/" VEXOLIN_INSTALLED_SAMPLES);
#endif
#ifdef VEXOLIN_SAMPLE_DIR
    candidates << QStringLiteral(VEXOLIN_SAMPLE_DIR);
#endif
    for (const QString &samples : candidates)
        if (!samples.isEmpty() && QDir(samples).exists())
            return QDir::cleanPath(QDir(samples).absolutePath()).toStdString() + "/";
    return QDir::homePath().toStdString();
}

std::string firstRunFolder()
{
    return firstRunFolder(QCoreApplication::applicationDirPath());
}

} // namespace vex::ui
