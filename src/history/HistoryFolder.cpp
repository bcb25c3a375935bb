#include "HistoryFolder.h"

#include "LogFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

QString setAside(const QString &path, QString *reason)
{
    const QByteArray from = QFile::encodeName(path);
    constexpr int MaxTries = 1000;
    for (int n = 1; n <= MaxTries; ++n) {
        QString to = path;
        if (n > 1)
            to += QLatin1Char('.') + QString::number(n);
        to += QStringLiteral(".damaged");
        const QByteArray name = QFile::encodeName(to);
        int result =
            ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
            // A file system without an exclusive rename: a hard link fails on an existing
            // name just the same.
            result = ::link(from.constData(), name.constData());
            if (result == 0 && ::unlink(from.constData()) != 0) {
                const int error = errno;
                ::unlink(name.constData());
                errno = error;
                result = -1;
            }
        }
        if (result == 0)
            return to;
        if (errno != EEXIST) {
            *reason = systemReason(errno);
            return QString();
        }
    }
    *reason = QStringLiteral("%1 damaged files lie beside it already").arg(MaxTries);
    return QString();
}

QString roomProblem(const QString &folder, std::int64_t bytes)
{
    QByteArray name = QFile::encodeName(QDir(folder).filePath(QStringLiteral(".room-XXXXXX")));
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return systemReason(errno);
    const int error = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes));
    ::close(fd);
    ::unlink(name.constData());
    return error == 0 ? QString() : systemReason(error);
}

} // namespace HistoryFolder
