#pragma once

#include <QString>

// Marks the one running copy of the program under a system-wide name. The system releases
// the mark when the process ends, also after a crash, so a dead copy never blocks a start.
// Windows: a named mutex. Elsewhere: an exclusive lock on a file of that name in a folder
// that only this user can enter (see lockFolder), opened without following links.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &name);
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // True when another running copy holds the mark. Any other failure to take the mark
    // lets the start go on.
    bool anotherIsRunning() const { return m_anotherIsRunning; }

#ifndef Q_OS_WIN
    // The folder of the lock file: $XDG_RUNTIME_DIR, else $TMPDIR/ostraline-<uid>, else
    // ostraline in the user's cache folder ($XDG_CACHE_HOME or ~/.cache), the first that is a
    // real directory owned by this user with mode 0700 (the last two are created so). Empty
    // when there is none: the program then starts without the lock and says so in the debug
    // log.
    static QString lockFolder();
#endif

private:
    bool m_anotherIsRunning = false;
#ifdef Q_OS_WIN
    void *m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};
