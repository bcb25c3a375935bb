#pragma once

#include <QString>

// Marks the one running copy of the program under a system-wide name. The system releases
// the mark when the process ends, also after a crash, so a dead copy never blocks a start.
// Windows: a named mutex. Elsewhere: an exclusive lock on a file of that name in the user's
// runtime folder.
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

private:
    bool m_anotherIsRunning = false;
#ifdef Q_OS_WIN
    void *m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};
