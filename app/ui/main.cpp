#include "app/AppState.h"
#include "app/qt/QtSettingsStore.h"
#include "app/qt/ScreenMetrics.h"
#include "app/ui/Startup.h"
#include "app/ui/frmMain.h"

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
    return QApplication::exec();
}
