#include "app/AppState.h"
#include "app/qt/QtSettingsStore.h"
#include "app/qt/ScreenMetrics.h"
#include "app/ui/Startup.h"
#include "app/ui/frmMain.h"
#include "ui/Messages.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quarrow"));
    QApplication::setApplicationName(QStringLiteral("Vexolin"));

    vex::QtSettingsStore store;
    vex::ModuleState module;
    auto window = vex::ui::startVexolin(store, module, vex::primaryScreenMetrics(), vex::ui::defaultStartupHooks());
    if (!window)
        return 0;
    // What became of the settings found, once, over the window.
    if (!store.notice().empty())
        vex::ui::showMessage(window.get(), QString::fromStdString(store.notice()), QMessageBox::Ok,
                             QMessageBox::Warning);
    if (!window->resetSettings().empty())
        vex::ui::showMessage(window.get(), vex::ui::programText(vex::resetSettingsMessage(window->resetSettings())),
                             QMessageBox::Ok, QMessageBox::Warning);
    return QApplication::exec();
}
