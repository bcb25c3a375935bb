#include "FileOwnership.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace FileOwnership
{

#ifdef Q_OS_WIN

Owner forFile(const QString &)
{
    return {};
}

int apply(int, const Owner &)
{
    return 0;
}

int applyTo(const QString &, const Owner &)
{
    return 0;
}

bool givenToFolderOwner(unsigned, const QString &)
{
    return false;
}

bool makePath(const QString &folder)
{
    return QDir().mkpath(folder);
}

#else

namespace
{

// The owner of a folder, for what is made in it.
Owner ofFolder(const QString &folder)
{
    struct stat info;
    if (::geteuid() != 0 || ::stat(QFile::encodeName(folder).constData(), &info) != 0 ||
        !S_ISDIR(info.st_mode) || info.st_uid == 0)
        return {};
    return {true, unsigned(info.st_uid), unsigned(info.st_gid), 0};
}

} // namespace

Owner forFile(const QString &path)
{
    if (::geteuid() != 0)
        return {};
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || info.st_uid == 0)
            return {};
        return {true, unsigned(info.st_uid), unsigned(info.st_gid), unsigned(info.st_mode & 07777)};
    }
    return ofFolder(QFileInfo(path).absolutePath());
}

int apply(int fd, const Owner &owner)
{
    if (!owner.keep)
        return 0;
    if (::fchown(fd, uid_t(owner.uid), gid_t(owner.gid)) != 0)
        return errno;
    // The change of owner clears set-id bits: the permissions go on afterwards.
    if (owner.mode != 0 && ::fchmod(fd, mode_t(owner.mode)) != 0)
        return errno;
    return 0;
}

int applyTo(const QString &path, const Owner &owner)
{
    if (!owner.keep)
        return 0;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info;
    int error = ::fstat(fd, &info) != 0 ? errno : 0;
    if (!error && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        error = EINVAL;
    if (!error)
        error = apply(fd, owner);
    ::close(fd);
    return error;
}

bool givenToFolderOwner(unsigned ownerId, const QString &path)
{
    struct stat folder;
    return ::geteuid() == 0 &&
           ::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) == 0 &&
           S_ISDIR(folder.st_mode) && unsigned(folder.st_uid) == ownerId;
}

bool makePath(const QString &folder)
{
    const QString absolute = QFileInfo(folder).absoluteFilePath();
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).absolutePath();
    if (parent == absolute || !makePath(parent))
        return false;
    const Owner owner = ofFolder(parent);
    if (!QDir().mkdir(absolute))
        return QFileInfo(absolute).isDir(); // made meanwhile by someone else
    applyTo(absolute, owner);
    return true;
}

#endif

} // namespace FileOwnership
