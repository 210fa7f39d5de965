#pragma once
// The program's start: the settings, the screen check, the interface font,
// then the main window.

#include "app/qt/ScreenMetrics.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace vex {
class SettingsStore;
struct ModuleState;
} // namespace vex

namespace vex::ui {

class frmMain;

struct StartupHooks {
    // Asks OK/Cancel about a small screen; true for OK.
    std::function<bool(const QString &text)> confirmSmallScreen;
    // Starts the display settings; called on OK.
    std::function<void()> openDisplaySettings;
};

// The hooks the real program uses: a message box and the desktop's panel.
StartupHooks defaultStartupHooks();

// Runs the start-up steps.  Returns the shown main window, or nothing when
// the user chose Cancel on the small-screen question.
std::unique_ptr<frmMain> startVexolin(SettingsStore &store, ModuleState &module, const ScreenMetrics &screen,
                                      const StartupHooks &hooks);

// Where the open dialog starts on a first run: the first sample cards found
// of VEXOLIN_SAMPLES, those installed with the program in programFolder
// (by default the running program's folder) and those beside the sources;
// else home.
std::string firstRunFolder(const QString &programFolder);
std::string firstRunFolder();

} // namespace vex::ui
