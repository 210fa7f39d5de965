#include "text/Settings.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace vex {

namespace {

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool equalsIgnoringCase(const std::string &a, const char *b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

} // namespace

std::optional<std::string> MemorySettingsStore::read(const std::string &section, const std::string &key)
{
    const auto it = values_.find({section, key});
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

Status MemorySettingsStore::write(const std::string &section, const std::string &key, const std::string &value)
{
    values_[{section, key}] = value;
    return {};
}

void MemorySettingsStore::setRaw(const std::string &section, const std::string &key, const std::string &value)
{
    values_[{section, key}] = value;
}

std::string readSetting(SettingsStore &store, const std::string &section, const std::string &key,
                        const std::string &defaultValue)
{
    auto value = store.read(section, key);
    return value ? *value : defaultValue;
}

Status writeSetting(SettingsStore &store, const std::string &section, const std::string &key, const std::string &value)
{
    return store.write(section, key, value.empty() ? std::string(" ") : value);
}

std::optional<bool> settingToBool(const std::string &text)
{
    const std::string t = trimmed(text);
    if (equalsIgnoringCase(t, "True"))
        return true;
    if (equalsIgnoringCase(t, "False"))
        return false;
    return std::nullopt;
}

namespace {

// The whole trimmed text, with an optional '+', as one number of type T.
template <class T>
std::optional<T> wholeNumber(const std::string &text)
{
    const std::string t = trimmed(text);
    if (t.empty())
        return std::nullopt;
    const char *begin = t.data();
    const char *end = t.data() + t.size();
    if (*begin == '+')
        ++begin;
    T value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<long long> settingToInteger(const std::string &text, long long minValue, long long maxValue)
{
    const auto value = wholeNumber<long long>(text);
    if (!value || *value < minValue || *value > maxValue)
        return std::nullopt;
    return value;
}

std::optional<double> settingToDouble(const std::string &text)
{
    const auto value = wholeNumber<double>(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

std::string boolSettingText(bool value)
{
    return value ? "True" : "False";
}

std::string doubleSettingText(double value)
{
    char buffer[64];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc())
        return "0";
    return std::string(buffer, ptr);
}

bool readBoolSetting(SettingsStore &store, const std::string &section, const std::string &key, bool defaultValue)
{
    return settingToBool(readSetting(store, section, key, boolSettingText(defaultValue))).value_or(defaultValue);
}

long long readIntegerSetting(SettingsStore &store, const std::string &section, const std::string &key,
                             long long defaultValue, long long minValue, long long maxValue)
{
    return settingToInteger(readSetting(store, section, key, std::to_string(defaultValue)), minValue, maxValue)
        .value_or(defaultValue);
}

double readDoubleSetting(SettingsStore &store, const std::string &section, const std::string &key, double defaultValue)
{
    return settingToDouble(readSetting(store, section, key, doubleSettingText(defaultValue))).value_or(defaultValue);
}

namespace {

// The stored text when there is one worth judging: a blank stands for an
// empty value, which every reader takes as missing.
std::optional<std::string> storedText(SettingsStore &store, const std::string &section, const std::string &key)
{
    std::optional<std::string> text = store.read(section, key);
    if (text && trimmed(*text).empty())
        return std::nullopt;
    return text;
}

} // namespace

double readDoubleSetting(SettingsStore &store, const std::string &section, const std::string &key, double defaultValue,
                         double minValue, double maxValue, std::vector<std::string> &reset)
{
    const std::optional<std::string> text = storedText(store, section, key);
    if (!text)
        return defaultValue;
    const std::optional<double> value = settingToDouble(*text);
    if (value && *value >= minValue && *value <= maxValue)
        return *value;
    reset.push_back(section + "/" + key + " = " + *text);
    return defaultValue;
}

long long readIntegerSetting(SettingsStore &store, const std::string &section, const std::string &key,
                             long long defaultValue, long long minValue, long long maxValue,
                             std::vector<std::string> &reset)
{
    const std::optional<std::string> text = storedText(store, section, key);
    if (!text)
        return defaultValue;
    if (const std::optional<long long> value = settingToInteger(*text, minValue, maxValue))
        return *value;
    reset.push_back(section + "/" + key + " = " + *text);
    return defaultValue;
}

bool readBoolSetting(SettingsStore &store, const std::string &section, const std::string &key, bool defaultValue,
                     std::vector<std::string> &reset)
{
    const std::optional<std::string> text = storedText(store, section, key);
    if (!text)
        return defaultValue;
    if (const std::optional<bool> value = settingToBool(*text))
        return *value;
    reset.push_back(section + "/" + key + " = " + *text);
    return defaultValue;
}

std::string resetSettingsMessage(const std::vector<std::string> &reset)
{
    std::string text = "These settings held values Vexolin cannot use and were set back to their defaults:";
    for (const std::string &r : reset)
        text += "\r" + r;
    return text;
}

} // namespace vex
