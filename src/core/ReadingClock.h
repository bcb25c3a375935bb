#pragma once

#include <QtGlobal>

// The clock reading times are taken from: milliseconds since an arbitrary start, counting the
// time the machine spent suspended (CLOCK_BOOTTIME on Linux; a monotonic clock elsewhere).
// Only differences of two of its values mean anything. Wall-clock changes do not move it.
namespace ReadingClock
{
qint64 nowMs();
}
