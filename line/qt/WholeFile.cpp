#include "line/qt/WholeFile.h"

#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace vex {

std::string saveWholeFile(const std::string &path, const std::string &bytes)
{
    // A file size limit would otherwise end the program instead of failing
    // the write.
    std::signal(SIGXFSZ, SIG_IGN);
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString().toStdString();
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        const std::string error = file.errorString().toStdString();
        file.cancelWriting();
        return error.empty() ? std::string("the file could not be written") : error;
    }
    // A write cut short (a full disc, a file size limit) can leave the
    // buffer reporting success: what reached the file is counted before the
    // old file is replaced.
    errno = 0;
    const bool flushed = file.flush();
    const int code = errno;
    if (!flushed || file.size() != size) {
        // The system's own words when it gave any (Qt says "Unknown error").
        const std::string error = code != 0 ? std::string(std::strerror(code)) : std::string("the file was cut short");
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString().toStdString();
    return {};
}

} // namespace vex
