#include "DeviceFileWriter.h"

#include "ErrorReport.h"

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

} // namespace

void write(const QString &path, const QStringList &lines)
{
    const QByteArray target = QFile::encodeName(path);
    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat existing {
    };
    if (::lstat(target.constData(), &existing) == 0) {
        if (S_ISREG(existing.st_mode) && existing.st_uid == ::geteuid())
            mode = existing.st_mode & 07777;
        else if (S_ISDIR(existing.st_mode))
            fail(path, EISDIR);
    } else if (errno != ENOENT) {
        fail(path, errno);
    }

    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toLocal8Bit() + '\n';

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
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        abandon(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        fail(path, error);
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        fail(path, error);
    }
}

} // namespace DeviceFileWriter
