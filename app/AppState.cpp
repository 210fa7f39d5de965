#include "app/AppState.h"

#include "analysis/DropStatistics.h"
#include "line/SettingsTable.h"
#include "line/SprayQuality.h"
#include "model/CardGeometry.h"

#include <algorithm>
#include <cmath>

namespace vex {

std::array<Rgb, 257> buildHueColour()
{
    auto clamp = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    std::array<Rgb, 257> table{};
    for (int i = 0; i <= 256; ++i) {
        int r = 0, g = 0, b = 0;
        if (i <= 41) {
            r = 256;
            g = 6 * i;
        } else if (i <= 83) {
            r = 256 - 6 * (i - 42);
            g = 256;
        } else if (i <= 125) {
            g = 256;
            b = 6 * (i - 84);
        } else if (i <= 167) {
            g = 256 - 6 * (i - 126);
            b = 256;
        } else if (i <= 209) {
            r = 6 * (i - 168);
            b = 256;
        } else if (i <= 251) {
            r = 256;
            b = 256 - 6 * (i - 210);
        } else {
            r = 256;
        }
        table[static_cast<std::size_t>(i)] = Rgb{clamp(r), clamp(g), clamp(b)};
    }
    return table;
}

namespace {

// The range and defaults are the settings table's; a low end above the
// high end is no range, and both are reset.
void readHueRange(SettingsStore &store, Preferences &w, std::vector<std::string> &resets)
{
    auto whole = [&](const char *name) {
        const SettingDecl &d = *findSetting(name);
        return static_cast<std::uint8_t>(readIntegerSetting(store, PrefsSection, name, std::llround(d.Default),
                                                            std::llround(d.Low), std::llround(d.High), resets));
    };
    w.HueLow = whole("HueLow");
    w.HueHigh = whole("HueHigh");
    if (w.HueLow > w.HueHigh) {
        resets.push_back(std::string(PrefsSection) + "/HueLow = " + std::to_string(w.HueLow));
        w.HueLow = static_cast<std::uint8_t>(findSetting("HueLow")->Default);
        w.HueHigh = static_cast<std::uint8_t>(findSetting("HueHigh")->Default);
    }
    w.HueInvert = readBoolSetting(store, PrefsSection, "HueInvert", findSetting("HueInvert")->Default != 0.0, resets);
}

// As --card-size takes it, with the settings file's numbers whatever the locale.
std::string cardSizeSetting(const CardSize &size)
{
    return doubleSettingText(size.WidthMm) + "x" + doubleSettingText(size.HeightMm);
}

} // namespace

Preferences readPreferences(SettingsStore &store, ModuleState &module, const std::string &defaultInitialDir,
                            std::vector<std::string> *reset)
{
    std::vector<std::string> ignored;
    std::vector<std::string> &resets = reset ? *reset : ignored;
    Preferences w;
    readTableSettings(store, w.Analysis, resets);
    const std::array<double, 3> spreadDefaults{0.0, 0.56, 0.0};
    for (std::size_t i = 0; i < 3; ++i)
        module.SpreadFactor[i] = readDoubleSetting(store, PrefsSection, "SpreadFactor" + std::to_string(i),
                                                   spreadDefaults[i], -SpreadLimit[i], SpreadLimit[i], resets);
    w.ConfidenceIntervals = readBoolSetting(store, PrefsSection, "ConfidenceIntervals", false, resets);
    // Read with the module state at start; a bad word there is named with the rest.
    (void)readBoolSetting(store, PrefsSection, "Metric", true, resets);
    w.Spray = readSprayInfo(store);
    w.InitialDir = readSetting(store, SettingsSection, "InitialDir", defaultInitialDir);
    w.SaveDir = readSetting(store, SettingsSection, "SaveDir", "");
    readHueRange(store, w, resets);
    w.QualityTablePath = readSetting(store, PrefsSection, "QualityTable", "");
    if (!w.QualityTablePath.empty()) {
        // A table gone or spoilt since leaves the default bounds, and says so.
        Result<QualityTable> table = readQualityTable(w.QualityTablePath);
        if (table.ok())
            w.Analysis.Quality = std::move(*table);
        else
            resets.push_back(std::string(PrefsSection) + "/QualityTable = " + w.QualityTablePath + " (" +
                             table.reason() + ")");
    }
    w.FindCards = readBoolSetting(store, PrefsSection, "FindCards", false, resets);
    w.AlwaysShowOverlapEstimate = readBoolSetting(store, PrefsSection, "ShowOverlapEstimate", false, resets);
    const std::string cardSize = readSetting(store, PrefsSection, "CardSize", cardSizeSetting(CardSize{}));
    if (const std::optional<CardSize> size = parseCardSize(cardSize))
        w.FoundCardSize = *size;
    else
        resets.push_back(std::string(PrefsSection) + "/CardSize = " + cardSize);
    return w;
}

std::string saveDialogFolder(const Preferences &preferences)
{
    return preferences.SaveDir.empty() ? preferences.InitialDir : preferences.SaveDir;
}

void noteSavedTo(Preferences &preferences, const std::string &path)
{
    const auto slash = path.rfind('/');
    if (slash != std::string::npos)
        preferences.SaveDir = path.substr(0, slash + 1);
}

Status writePreferences(SettingsStore &store, const ModuleState &module, const Preferences &window)
{
    Status written = writeTableSettings(store, window.Analysis);
    auto put = [&](const char *section, const std::string &key, const std::string &value) {
        written.add(writeSetting(store, section, key, value));
    };
    for (std::size_t i = 0; i < 3; ++i)
        put(PrefsSection, "SpreadFactor" + std::to_string(i), doubleSettingText(module.SpreadFactor[i]));
    put(SettingsSection, "InitialDir", window.InitialDir);
    put(SettingsSection, "SaveDir", window.SaveDir);
    put(PrefsSection, "HueLow", std::to_string(window.HueLow));
    put(PrefsSection, "HueHigh", std::to_string(window.HueHigh));
    put(PrefsSection, "HueInvert", boolSettingText(window.HueInvert));
    put(PrefsSection, "Metric", boolSettingText(module.Metric));
    put(PrefsSection, "ConfidenceIntervals", boolSettingText(window.ConfidenceIntervals));
    put(PrefsSection, "QualityTable", window.QualityTablePath);
    put(PrefsSection, "FindCards", boolSettingText(window.FindCards));
    put(PrefsSection, "CardSize", cardSizeSetting(window.FoundCardSize));
    put(PrefsSection, "ShowOverlapEstimate", boolSettingText(window.AlwaysShowOverlapEstimate));
    written.add(store.flush());
    return written;
}

} // namespace vex
