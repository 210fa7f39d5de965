#pragma once
// The settings store over QSettings: an INI file in the user's configuration
// folder, with the same sections and keys the program always used.

#include "app/Settings.h"

#include <QSettings>
#include <QString>

#include <memory>

namespace vex {

class QtSettingsStore : public SettingsStore {
public:
    // The user's own store (~/.config/Quarrow/Vexolin.ini).
    QtSettingsStore();
    // A store in the given INI file; used by tests and the batch tool.
    explicit QtSettingsStore(const QString &iniFile);

    std::optional<std::string> read(const std::string &section, const std::string &key) override;
    std::string write(const std::string &section, const std::string &key, const std::string &value) override;
    std::string flush() override;

    QString fileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace vex
