#include "app/AppState.h"
#include "app/qt/QtSettingsStore.h"
#include "app/qt/ScreenMetrics.h"
#include "app/ui/Startup.h"
#include "app/ui/frmMain.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <new>

int main(int argc, char *argv[])
try {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quarrow"));
    QApplication::setApplicationName(QStringLiteral("Vexolin"));
    QApplication::setApplicationVersion(QStringLiteral(VEXOLIN_VERSION));

    // A file manager and the desktop entry pass cards, photos and trials to
    // open.  A wrong option is a usage error before any window; a file that
    // cannot be opened is told over the window by the check that refuses it.
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Analyses spray deposit cards."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Card images, photos or a trial file (.vexolin) to open."),
                                 QStringLiteral("[FILE...]"));
    const bool parsed = parser.parse(QCoreApplication::arguments());
    if (parsed && parser.isSet(help))
        parser.showHelp(0);
    if (parsed && parser.isSet(version))
        parser.showVersion();
    const QStringList files = parser.positionalArguments();
    if (!parsed) {
        std::fprintf(stderr, "vexolin: %s\nTry 'vexolin --help'.\n", qUtf8Printable(parser.errorText()));
        return 2;
    }

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
    // Once the window is up, so that the progress of loading shows in it.
    if (!files.isEmpty())
        QTimer::singleShot(0, window.get(), [&window, files] { window->openFiles(files); });
    return QApplication::exec();
} catch (const std::bad_alloc &) {
    // Whatever the window held is gone with it; at least the user hears why.
    std::fputs("vexolin: the program is stopped: not enough memory\n", stderr);
    return 1;
} catch (const std::exception &e) {
    std::fprintf(stderr, "vexolin: the program is stopped: %s\n", e.what());
    return 1;
} catch (...) {
    std::fputs("vexolin: the program is stopped by an unexpected failure\n", stderr);
    return 1;
}
