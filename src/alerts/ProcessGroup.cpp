#include "ProcessGroup.h"

#include <QProcess>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace ProcessGroup
{
namespace
{

#ifdef Q_OS_LINUX
// Whether /proc/<name>/stat describes a process of the group that is not a zombie. The fields
// after the name in parentheses (which may hold anything) are: state, parent, group, ...
bool runningMember(const char *name, long long group)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", name);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[512];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0)
        return false;
    text[n] = '\0';
    const char *end = std::strrchr(text, ')');
    if (!end || end[1] != ' ' || end[2] == '\0' || end[2] == 'Z')
        return false;
    char *rest = nullptr;
    std::strtol(end + 4, &rest, 10); // the parent
    return rest && std::strtoll(rest, nullptr, 10) == group;
}

// Whether a process of the group other than a zombie is left. A zombie has ended; whether its
// new parent reaps it is not the command's doing (an init that never reaps would otherwise
// keep every run with a finished child going to the time limit).
bool anyRunningMember(long long group)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return true;
    bool found = false;
    while (const dirent *entry = ::readdir(proc)) {
        if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9' &&
            runningMember(entry->d_name, group)) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}
#endif

} // namespace

void startInOwnGroup(QProcess &process)
{
    // Runs in the child between fork and exec: only async-signal-safe calls.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

bool alive(qint64 groupId)
{
    // Never a group of 0 or 1 (ours, or every process), or a negative id (one process).
    if (groupId <= 1)
        return false;
    if (::kill(-pid_t(groupId), 0) != 0 && errno != EPERM)
        return false;
#ifdef Q_OS_LINUX
    return anyRunningMember(groupId);
#else
    return true;
#endif
}

void kill(qint64 groupId)
{
    if (groupId > 1)
        ::kill(-pid_t(groupId), SIGKILL);
}

} // namespace ProcessGroup
