#include "app/qt/QtSettingsStore.h"

#include "text/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

namespace vex {

namespace {

QString settingPath(const std::string &section, const std::string &key)
{
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

QString userSettingsFile()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quarrow"), QStringLiteral("Vexolin"))
        .fileName();
}

// "Vexolin.ini.bad", or the first of "Vexolin.ini.bad.1", ".2" ... not taken.
QString backupName(const QString &path)
{
    QString name = path + QStringLiteral(".bad");
    for (int n = 1; QFileInfo::exists(name); ++n)
        name = path + QStringLiteral(".bad.") + QString::number(n);
    return name;
}

} // namespace

QtSettingsStore::QtSettingsStore() : path_(userSettingsFile())
{
    load();
}

QtSettingsStore::QtSettingsStore(const QString &iniFile) : path_(iniFile)
{
    load();
}

void QtSettingsStore::load()
{
    const QFileInfo info(path_);
    if (!info.exists() && !info.isSymLink())
        return;
    const std::string start = "The settings file " + path_.toStdString() +
                              " could not be read, so Vexolin starts with its default settings. ";
    if (!info.isFile()) {
        unwritable_ = "it is not a regular file";
        notice_ = start + "It is not a regular file, so settings changed now are not saved.";
        return;
    }
    const QSettings file(path_, QSettings::IniFormat);
    switch (file.status()) {
    case QSettings::NoError:
        for (const QString &key : file.allKeys())
            values_.insert(key, file.value(key));
        return;
    case QSettings::AccessError:
        unwritable_ = "the file found at start could not be read";
        notice_ = start + "It is left as it is, and settings changed now are not saved.";
        return;
    case QSettings::FormatError:
        break;
    }
    // Whatever could be read of a damaged file is not trusted; the file is
    // kept for the user instead of being written over at the next close.
    const QString backup = backupName(path_);
    if (QFile::rename(path_, backup)) {
        notice_ = start + "The old file is kept as " + backup.toStdString() + ".";
    } else {
        unwritable_ = "the unreadable file found at start could not be kept aside";
        notice_ = start + "The old file could not be kept aside and is left as it is; settings changed now are "
                          "not saved.";
    }
}

std::optional<std::string> QtSettingsStore::read(const std::string &section, const std::string &key)
{
    const auto found = values_.constFind(settingPath(section, key));
    if (found == values_.constEnd())
        return std::nullopt;
    const QVariant &value = *found;
    // A hand-edited INI line with commas comes back as a list; it was one text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", ")).toStdString();
    if (!value.canConvert<QString>())
        return std::nullopt;
    return value.toString().toStdString();
}

Status QtSettingsStore::write(const std::string &section, const std::string &key, const std::string &value)
{
    values_.insert(settingPath(section, key), QString::fromStdString(value));
    return {};
}

Status QtSettingsStore::flush()
{
    const std::string failed = "Failed to write the settings file " + path_.toStdString() + ": ";
    if (!unwritable_.empty())
        return Status::failure(failed + unwritable_);
    // QSettings formats the file in a folder of its own; the bytes then
    // replace the real file whole.
    const QTemporaryDir scratch;
    if (!scratch.isValid())
        return Status::failure(failed + scratch.errorString().toStdString());
    const QString formatted = scratch.filePath(QStringLiteral("settings.ini"));
    {
        QSettings file(formatted, QSettings::IniFormat);
        for (auto it = values_.constBegin(); it != values_.constEnd(); ++it)
            file.setValue(it.key(), it.value());
        file.sync();
        if (file.status() != QSettings::NoError)
            return Status::failure(failed + "the settings could not be formatted");
    }
    // No settings at all make no file; the real one is then written empty.
    QByteArray bytes;
    QFile ini(formatted);
    if (ini.exists()) {
        if (!ini.open(QIODevice::ReadOnly))
            return Status::failure(failed + ini.errorString().toStdString());
        bytes = ini.readAll();
    }
    QDir().mkpath(QFileInfo(path_).absolutePath());
    const Status written = writeWholeFile(path_.toStdString(),
                                          std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return written.ok() ? written : Status::failure(failed + written.reason());
}

QString QtSettingsStore::fileName() const
{
    return path_;
}

} // namespace vex
