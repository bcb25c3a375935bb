#include "ExportFolder.h"

#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

ExportFolder::~ExportFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ExportFolder::open(const QString &path, QString *error)
{
    m_path = path;
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) {
        *error = QStringLiteral("Cannot create the folder %1: %2").arg(path, reason(errno));
        return false;
    }
    m_fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0) {
        const int e = errno;
        *error = e == ELOOP || e == ENOTDIR
                     ? QStringLiteral("%1 is not a folder (or is a link); nothing was written.")
                           .arg(path)
                     : QStringLiteral("Cannot open the folder %1: %2").arg(path, reason(e));
        return false;
    }
    struct stat info {
    };
    if (::fstat(m_fd, &info) != 0 || info.st_uid != ::geteuid()) {
        *error =
            QStringLiteral("The folder %1 belongs to another user; nothing was written.").arg(path);
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    return true;
}

bool ExportFolder::write(const QString &name, const QByteArray &bytes, QString *error)
{
    const QByteArray target = QFile::encodeName(name);
    const auto fail = [&](int e) {
        *error = QStringLiteral("Cannot write %1/%2: %3").arg(m_path, name, reason(e));
        return false;
    };
    if (m_fd < 0)
        return fail(EBADF);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        temporary =
            '.' + target + '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        fd = ::openat(m_fd, temporary.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            return fail(errno);
    }
    if (fd < 0)
        return fail(EEXIST);
    const auto abandon = [&](int e) {
        ::close(fd);
        ::unlinkat(m_fd, temporary.constData(), 0);
        return fail(e);
    };
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon(n < 0 ? errno : ENOSPC);
        done += n;
    }
    if (::fchmod(fd, 0600) != 0 || ::fsync(fd) != 0)
        return abandon(errno);
    if (::close(fd) != 0) {
        const int e = errno;
        ::unlinkat(m_fd, temporary.constData(), 0);
        return fail(e);
    }
    if (::renameat(m_fd, temporary.constData(), m_fd, target.constData()) != 0) {
        const int e = errno;
        ::unlinkat(m_fd, temporary.constData(), 0);
        return fail(e);
    }
    return true;
}

bool ExportFolder::read(const QString &name, qint64 maxBytes, QByteArray *bytes,
                        QString *error) const
{
    const auto fail = [&](int e) {
        *error = QStringLiteral("Cannot read %1/%2 back: %3").arg(m_path, name, reason(e));
        return false;
    };
    if (m_fd < 0)
        return fail(EBADF);
    const int fd = ::openat(m_fd, QFile::encodeName(name).constData(),
                            O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return fail(errno);
    bytes->clear();
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            return fail(e);
        }
        if (n == 0)
            break;
        bytes->append(buffer, n);
        if (bytes->size() > maxBytes) {
            ::close(fd);
            return fail(EFBIG);
        }
    }
    ::close(fd);
    return true;
}
