#include "SingleInstance.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
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

SingleInstance::SingleInstance(const QString &name)
{
    // The user's runtime folder; without one, a private folder of this user under /tmp.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::tempPath() + QStringLiteral("/ostraline-") + QString::number(::getuid());
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
    }
    const QByteArray path = QDir(folder).filePath(name).toLocal8Bit();
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return; // no mark possible: let the start go on
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        m_anotherIsRunning = (errno == EWOULDBLOCK);
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
