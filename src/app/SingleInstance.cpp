#include "SingleInstance.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

SingleInstance::SingleInstance(const QString &name)
{
    m_handle = CreateMutexA(nullptr, TRUE, name.toLocal8Bit().constData());
    m_anotherIsRunning = (GetLastError() == ERROR_ALREADY_EXISTS);
}

SingleInstance::~SingleInstance()
{
    if (m_handle)
        CloseHandle(static_cast<HANDLE>(m_handle));
}

#else

namespace
{

// A folder fit to hold the lock: a real directory (not a link) of this user that no one else
// may enter. Another user who could create or enter it could hold the lock (every start would
// then end silently) or plant a link in place of the lock file.
bool isPrivateFolder(const QString &folder)
{
    struct stat info;
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 07777) == 0700;
}

// Creates the folder when missing (mode 0700, its parent must exist) and checks it.
bool makePrivateFolder(const QString &folder)
{
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return isPrivateFolder(folder);
}

} // namespace

QString SingleInstance::lockFolder()
{
    // The user's runtime folder; without one, a folder of this user under the temporary
    // folder; when that is taken, one in the user's own cache folder.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime;
    const QString temporary =
        QDir::tempPath() + QStringLiteral("/ostraline-") + QString::number(::geteuid());
    if (makePrivateFolder(temporary))
        return temporary;
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    QDir().mkpath(cache);
    const QString own = cache + QStringLiteral("/ostraline");
    if (makePrivateFolder(own))
        return own;
    return {};
}

SingleInstance::SingleInstance(const QString &name)
{
    const QString folder = lockFolder();
    if (folder.isEmpty()) {
        qDebug("No private folder for the single-instance lock: starting without it.");
        return;
    }
    const QString path = QDir(folder).filePath(name);
    // Never through a link planted in place of the lock file.
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                  0600);
    if (m_fd < 0) {
        qDebug("Cannot open the single-instance lock %s: %s. Starting without it.",
               qPrintable(path), std::strerror(errno));
        return;
    }
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        m_anotherIsRunning = (errno == EWOULDBLOCK);
        if (!m_anotherIsRunning)
            qDebug("Cannot lock %s: %s. Starting without the single-instance lock.",
                   qPrintable(path), std::strerror(errno));
        ::close(m_fd);
        m_fd = -1;
    }
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

#endif
