#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace RegularFile
{

Opened openForReading(const QString &path, bool followLinks)
{
    Opened opened;
#ifdef Q_OS_WIN
    Q_UNUSED(followLinks);
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        opened.notRegular = true;
        return opened;
    }
    opened.error = ENOSYS;
    return opened;
#else
    int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    if (!followLinks)
        flags |= O_NOFOLLOW;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0) {
        opened.error = errno;
        return opened;
    }
    struct stat info {
    };
    if (::fstat(fd, &info) != 0) {
        opened.error = errno;
        ::close(fd);
        return opened;
    }
    if (!S_ISREG(info.st_mode)) {
        opened.notRegular = true;
        ::close(fd);
        return opened;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    opened.fd = fd;
    opened.ownerId = info.st_uid;
    opened.mode = info.st_mode & 07777;
    opened.size = info.st_size;
    return opened;
#endif
}

Target replaceTarget(const QString &path)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (!info.exists())
        return Target::Absent;
    return info.isDir() ? Target::Folder : info.isFile() ? Target::Regular : Target::Other;
#else
    const QByteArray name = QFile::encodeName(path);
    struct stat info {
    };
    if (::lstat(name.constData(), &info) != 0)
        return Target::Absent; // or unreachable: creating the new file will say why
    if (S_ISLNK(info.st_mode) && ::stat(name.constData(), &info) != 0)
        return Target::Absent; // a dangling link
    if (S_ISDIR(info.st_mode))
        return Target::Folder;
    return S_ISREG(info.st_mode) ? Target::Regular : Target::Other;
#endif
}

} // namespace RegularFile
