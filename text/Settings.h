#pragma once
// The settings store: named text values in sections.  Every value is text;
// callers convert.  Two operations, readSetting and writeSetting, are the only
// way the program touches the store, so the backing (an INI file in the
// desktop program, memory in tests and the batch tool) can change freely.

#include "text/Status.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vex {

// The sections the program keeps its settings in.
inline constexpr const char *PrefsSection = "Prefs";
inline constexpr const char *SettingsSection = "Settings";

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or nothing when the section or key is missing or
    // cannot be read.
    virtual std::optional<std::string> read(const std::string &section, const std::string &key) = 0;
    // A store may defer the actual write until flush().
    virtual Status write(const std::string &section, const std::string &key, const std::string &value) = 0;
    // Makes earlier writes durable.
    virtual Status flush() { return {}; }
};

// Keeps everything in memory; used by the tests and by the batch tool when it
// is told not to touch the user's settings.
class MemorySettingsStore : public SettingsStore {
public:
    std::optional<std::string> read(const std::string &section, const std::string &key) override;
    Status write(const std::string &section, const std::string &key, const std::string &value) override;

    using Map = std::map<std::pair<std::string, std::string>, std::string>;
    const Map &values() const { return values_; }
    // Stores a value as another tool might have, bypassing the blank rule.
    void setRaw(const std::string &section, const std::string &key, const std::string &value);
    void clear() { values_.clear(); }

private:
    Map values_;
};

// Reading never fails towards the caller: missing or unreadable gives the default.
std::string readSetting(SettingsStore &store, const std::string &section, const std::string &key,
                        const std::string &defaultValue);

// An empty value is stored as a single blank, because an empty value cannot
// be told from a missing one in every store.
Status writeSetting(SettingsStore &store, const std::string &section, const std::string &key, const std::string &value);

// Conversions of stored text.  Each gives nothing when the text does not
// convert, so that the caller can fall back to the key's default.
std::optional<bool> settingToBool(const std::string &text);
std::optional<long long> settingToInteger(const std::string &text, long long minValue, long long maxValue);
std::optional<double> settingToDouble(const std::string &text);

// The text forms in which values are stored.
std::string boolSettingText(bool value);     // "True" / "False"
std::string doubleSettingText(double value); // the shortest text that converts back to value

// The same conversions with the fallback applied.
bool readBoolSetting(SettingsStore &store, const std::string &section, const std::string &key, bool defaultValue);
long long readIntegerSetting(SettingsStore &store, const std::string &section, const std::string &key,
                             long long defaultValue, long long minValue, long long maxValue);
double readDoubleSetting(SettingsStore &store, const std::string &section, const std::string &key, double defaultValue);

// Numbers with their sound range: a stored value that does not convert or
// lies outside [minValue, maxValue] gives the default, and "Section/Key =
// text" is added to `reset` so that the user can be told which it was.
double readDoubleSetting(SettingsStore &store, const std::string &section, const std::string &key, double defaultValue,
                         double minValue, double maxValue, std::vector<std::string> &reset);
long long readIntegerSetting(SettingsStore &store, const std::string &section, const std::string &key,
                             long long defaultValue, long long minValue, long long maxValue,
                             std::vector<std::string> &reset);
// A boolean the same way: a stored word other than "True" or "False" is named.
bool readBoolSetting(SettingsStore &store, const std::string &section, const std::string &key, bool defaultValue,
                     std::vector<std::string> &reset);

// What the user is told about the values `reset` lists.
std::string resetSettingsMessage(const std::vector<std::string> &reset);

} // namespace vex
