#pragma once
// What start-up needs to know about the screen, and the desktop's own
// display-settings program.

#include <QString>
#include <QStringList>

#include <functional>

namespace vex {

struct ScreenMetrics {
    int Width = 0;  // pixels
    int Height = 0; // pixels
    int TwipsPerPixelX = 15;
};

// The primary screen; a machine without one gives a screen large enough.
ScreenMetrics primaryScreenMetrics();

// The first display-settings program found on the PATH, as program and
// arguments; empty when none is known.  exists is asked per program name.
QStringList displaySettingsCommand(const std::function<bool(const QString &)> &exists);
QStringList displaySettingsCommand();

// Starts the command without waiting; false when it could not be started.
bool startDetached(const QStringList &command);

} // namespace vex
