#pragma once
// The settings store over an INI file in the user's configuration folder,
// with the same sections and keys the program always used.  QSettings reads
// and formats the file; the file itself is written whole through the
// program's one writer, so a full disc or a kill leaves the old file.

#include "text/Settings.h"

#include <QMap>
#include <QString>
#include <QVariant>

namespace vex {

class QtSettingsStore : public SettingsStore {
public:
    // The user's own store (~/.config/Quarrow/Vexolin.ini).
    QtSettingsStore();
    // A store in the given INI file; used by tests and the batch tool.
    explicit QtSettingsStore(const QString &iniFile);

    std::optional<std::string> read(const std::string &section, const std::string &key) override;
    Status write(const std::string &section, const std::string &key, const std::string &value) override;
    Status flush() override;

    QString fileName() const;
    // What the user must be told about the file as it was found: empty, or
    // that it could not be read, that the defaults are used and where the
    // old file was kept.
    const std::string &notice() const { return notice_; }

private:
    void load();

    QString path_;
    QMap<QString, QVariant> values_; // "Section/Key"
    std::string notice_;
    // Why the file is never written over, when what was found at start
    // could not be read nor moved aside: empty when it may be written.
    std::string unwritable_;
};

} // namespace vex
