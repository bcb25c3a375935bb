#include "DeviceFileWriter.h"

#include "ErrorReport.h"
#include "FileOwnership.h"
#include "RegularFile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace DeviceFileWriter
{
namespace
{

[[noreturn]] void fail(const QString &path, int error)
{
    throw OstralineError(QStringLiteral("Cannot write the device file \"%1\": %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

// A device, a pipe or a socket at the name is never replaced: as root, renaming a file onto
// /dev/null would destroy the node for the whole system.
void refuseNonRegular(const QString &path)
{
    switch (RegularFile::replaceTarget(path)) {
    case RegularFile::Target::Absent:
    case RegularFile::Target::Regular:
        return;
    case RegularFile::Target::Folder:
        fail(path, EISDIR);
    case RegularFile::Target::Other:
        throw OstralineError(
            QStringLiteral("The device file \"%1\" is not a regular file; nothing written.")
                .arg(path));
    }
}

} // namespace

void write(const QString &path, const QStringList &lines)
{
    refuseNonRegular(path);
    const QByteArray target = QFile::encodeName(path);
    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat existing {
    };
    if (::lstat(target.constData(), &existing) == 0) {
        if (S_ISREG(existing.st_mode) && existing.st_uid == ::geteuid())
            mode = existing.st_mode & 07777;
    } else if (errno != ENOENT) {
        fail(path, errno);
    }

    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLocal8Bit() + '\n';

    // The superuser replaces another user's file as that user's (see FileOwnership).
    const FileOwnership::Owner owner = FileOwnership::forFile(path);

    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data()); // created 0600, never an existing file
    if (fd < 0)
        fail(path, errno);
    const auto abandon = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        fail(path, error);
    };
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(errno);
        }
        if (n == 0)
            abandon(ENOSPC);
        done += n;
    }
    if (::fchmod(fd, mode) != 0)
        abandon(errno);
    if (const int error = FileOwnership::apply(fd, owner))
        abandon(error);
    if (::fsync(fd) != 0)
        abandon(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        fail(path, error);
    }
    // Once more, for a node put there while the file was written.
    try {
        refuseNonRegular(path);
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        fail(path, error);
    }
}

} // namespace DeviceFileWriter
