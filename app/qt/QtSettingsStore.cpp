#include "app/qt/QtSettingsStore.h"

#include <QStringList>

namespace vex {

namespace {
QString settingPath(const std::string &section, const std::string &key)
{
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}
} // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quarrow"),
                                            QStringLiteral("Vexolin")))
{
}

QtSettingsStore::QtSettingsStore(const QString &iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

std::optional<std::string> QtSettingsStore::read(const std::string &section, const std::string &key)
{
    const QVariant value = settings_->value(settingPath(section, key));
    if (!value.isValid())
        return std::nullopt;
    // A hand-edited INI line with commas comes back as a list; it was one text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    if (!value.canConvert<QString>())
        return std::nullopt;
    return value.toString().toStdString();
}

std::string QtSettingsStore::write(const std::string &section, const std::string &key, const std::string &value)
{
    if (!settings_->isWritable())
        return "Failed to set setting value Section: '" + section + "',Key: '" + key + "' to value: '" + value +
               "': " + fileName().toStdString() + " is not writable";
    settings_->setValue(settingPath(section, key), QString::fromStdString(value));
    return {};
}

std::string QtSettingsStore::flush()
{
    settings_->sync();
    switch (settings_->status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return "Failed to write the settings file " + fileName().toStdString() + ": access denied";
    case QSettings::FormatError:
        return "Failed to write the settings file " + fileName().toStdString() + ": format error";
    }
    return {};
}

QString QtSettingsStore::fileName() const
{
    return settings_->fileName();
}

} // namespace vex
