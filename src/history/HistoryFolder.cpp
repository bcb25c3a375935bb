#include "HistoryFolder.h"

#include "LogFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace HistoryFolder
{
namespace
{

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString defaultPath()
{
    return QDir(LogFolder::userFolder()).filePath(QStringLiteral("history"));
}

QString prepare(const QString &folder)
{
    const QString absolute = QDir(folder).absolutePath();
    // Parents are made one by one so that every new level is private from the start.
    QString path;
    const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        const QByteArray name = QFile::encodeName(path);
        if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            return QStringLiteral("Cannot create the history folder \"%1\": %2")
                .arg(path, systemReason(errno));
    }
    const QByteArray name = QFile::encodeName(absolute);
    struct stat info {
    };
    if (::lstat(name.constData(), &info) != 0)
        return QStringLiteral("Cannot use the history folder \"%1\": %2")
            .arg(absolute, systemReason(errno));
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return QStringLiteral("The history folder \"%1\" is not a folder of this user; nothing "
                              "is written there.")
            .arg(absolute);
    if ((info.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)
        return QStringLiteral("Cannot make the history folder \"%1\" private: %2")
            .arg(absolute, systemReason(errno));
    if (::access(name.constData(), W_OK | X_OK) != 0)
        return QStringLiteral("Cannot write to the history folder \"%1\": %2")
            .arg(absolute, systemReason(errno));
    return QString();
}

FileState check(const QString &path, QString *reason)
{
    struct stat info {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno == ENOENT)
            return FileState::Absent;
        *reason =
            QStringLiteral("Cannot use the history file \"%1\": %2").arg(path, systemReason(errno));
        return FileState::Refused;
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        *reason = QStringLiteral("The history file \"%1\" is not a regular file of this user; "
                                 "it is left alone.")
                      .arg(path);
        return FileState::Refused;
    }
    return FileState::Usable;
}

bool makePrivate(const QString &path, QString *reason)
{
    if (::chmod(QFile::encodeName(path).constData(), 0600) == 0)
        return true;
    *reason = QStringLiteral("Cannot make the history file \"%1\" private: %2")
                  .arg(path, systemReason(errno));
    return false;
}

} // namespace HistoryFolder
