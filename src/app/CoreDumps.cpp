#include "CoreDumps.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace CoreDumps
{

void disable()
{
#ifdef Q_OS_UNIX
    // Both limits: the soft one alone could be raised again by the process itself.
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#endif
}

bool enabled()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    return getrlimit(RLIMIT_CORE, &limit) != 0 || limit.rlim_cur != 0;
#else
    return false;
#endif
}

} // namespace CoreDumps
