#include "ReadingClock.h"

#include <QElapsedTimer>

#ifdef Q_OS_LINUX
#include <time.h>
#endif

namespace ReadingClock
{

qint64 nowMs()
{
#ifdef Q_OS_LINUX
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) == 0)
        return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#endif
    static QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

} // namespace ReadingClock
