#pragma once
// The start-up steps that decide something: where the program folder is,
// whether the screen is big enough, which interface font to use.

#include "app/AppState.h"
#include "text/Settings.h"

#include <string>

namespace vex {

// Whole number nearest to x, halves to the even neighbour.
long long roundHalfEven(double x);

// The program folder from the stored value; a blank or missing value gives
// fallback (a per-user data folder).  Always ends with '/'.
std::string resolveRootDir(const std::string &stored, const std::string &fallback);

// The program takes screens lower than this as too small.
constexpr int MinimumScreenHeight = 600;
bool screenTooSmall(int heightPixels);

// The warning for a small screen, in UTF-8 with "\r"
// between lines as the program writes them; widgets turn "\r" into line breaks.
std::string screenResolutionMessage(int widthPixels, int heightPixels);

// Chooses the interface font: the desktop's own face, at a smaller size when
// the screen uses large fonts (12 twips per pixel).
struct UiFont {
    std::string Name;
    float Size = 8.0f;
};
UiFont chooseUiFont(int twipsPerPixelX, const std::string &desktopFamily, float desktopPointSize);

// Twips per pixel of a screen with the given logical dots per inch, rounded
// as the program rounds (halves to even).
int twipsPerPixel(double logicalDpi);

// The tall layout needs more than 600 pixels of screen height.
bool useTallLayout(int screenHeightPixels);

// Runs the start-up steps that fill the module state from the store.
// rootFallback is used when the store has no RootDir.
void startModuleState(SettingsStore &store, ModuleState &module, const std::string &rootFallback, int twipsX,
                      const std::string &desktopFamily, float desktopPointSize);

} // namespace vex
