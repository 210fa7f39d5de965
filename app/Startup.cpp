#include "app/Startup.h"

#include <cmath>

namespace vex {

long long roundHalfEven(double x)
{
    return static_cast<long long>(std::nearbyint(x)); // default rounding mode is to nearest, ties to even
}

std::string resolveRootDir(const std::string &stored, const std::string &fallback)
{
    // An installer-written folder is taken as stored.  Without one, the folder
    // beside the executable is read-only on this platform, so a per-user data
    // folder takes its place (the root of the drive would be worse still).
    std::string dir = stored;
    if (dir.find_first_not_of(' ') == std::string::npos)
        dir = fallback;
    if (dir.empty() || (dir.back() != '/' && dir.back() != '\\'))
        dir += '/';
    return dir;
}

bool screenTooSmall(int heightPixels)
{
    return heightPixels < MinimumScreenHeight;
}

std::string screenResolutionMessage(int widthPixels, int heightPixels)
{
    const std::string times = "\u00d7";
    return "Your screen resolution is currently set to " + std::to_string(widthPixels) + times +
           std::to_string(heightPixels) + "." + "\r\r" + "Vexolin was designed to run at a minimum resolution" + "\r" +
           "of 800" + times + "600, and preferably 1024" + times + "768" + " or higher." + "\r\r" +
           "Click OK to access the display settings.";
}

UiFont chooseUiFont(int twipsPerPixelX, const std::string &desktopFamily, float desktopPointSize)
{
    UiFont font{desktopFamily, desktopPointSize > 0 ? desktopPointSize : 8.0f};
    if (twipsPerPixelX == 12)
        font.Size = font.Size * 6.0f / 8.0f; // large system fonts: the program's text one step smaller
    return font;
}

int twipsPerPixel(double logicalDpi)
{
    if (!(logicalDpi > 0))
        return 15;
    return static_cast<int>(roundHalfEven(1440.0 / logicalDpi));
}

bool useTallLayout(int screenHeightPixels)
{
    return screenHeightPixels > MinimumScreenHeight;
}

void startModuleState(SettingsStore &store, ModuleState &module, const std::string &rootFallback, int twipsX,
                      const std::string &desktopFamily, float desktopPointSize)
{
    module.RootDir = resolveRootDir(readSetting(store, SettingsSection, "RootDir", ""), rootFallback);
    module.Metric = readBoolSetting(store, PrefsSection, "Metric", true);
    const UiFont font = chooseUiFont(twipsX, desktopFamily, desktopPointSize);
    module.UiFontName = font.Name;
    module.UiFontSize = font.Size;
}

} // namespace vex
