#include "app/qt/ScreenMetrics.h"

#include "app/Startup.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

namespace vex {

ScreenMetrics primaryScreenMetrics()
{
    ScreenMetrics m;
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) {
        m.Width = 1024;
        m.Height = 768;
        return m;
    }
    const QSize size = screen->size();
    m.Width = size.width();
    m.Height = size.height();
    m.TwipsPerPixelX = twipsPerPixel(screen->logicalDotsPerInchX());
    return m;
}

QStringList displaySettingsCommand(const std::function<bool(const QString &)> &exists)
{
    // The desktops' own display panels, most common first.
    const QList<QStringList> candidates = {
        {QStringLiteral("gnome-control-center"), QStringLiteral("display")},
        {QStringLiteral("systemsettings"), QStringLiteral("kcm_kscreen")},
        {QStringLiteral("xfce4-display-settings")},
        {QStringLiteral("lxrandr")},
        {QStringLiteral("arandr")},
    };
    for (const QStringList &command : candidates)
        if (exists(command.front()))
            return command;
    return {};
}

QStringList displaySettingsCommand()
{
    return displaySettingsCommand(
        [](const QString &program) { return !QStandardPaths::findExecutable(program).isEmpty(); });
}

bool startDetached(const QStringList &command)
{
    if (command.isEmpty())
        return false;
    return QProcess::startDetached(command.front(), command.mid(1));
}

} // namespace vex
