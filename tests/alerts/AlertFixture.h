#pragma once

#include "AlertEvent.h"
#include "PollResult.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

// Constructed poll results for the alert tests: one interface ("Core uplink", 10.0.0.1 #3)
// whose readings the test describes one poll at a time.
namespace AlertFixture
{

inline const QDateTime Start = QDateTime(QDate(2026, 3, 2), QTime(9, 0, 0), Qt::UTC);

inline InterfaceReading reading(InterfaceReading::Outcome outcome, double in = 0, double out = 0)
{
    InterfaceReading r;
    r.row = 1;
    r.address = QStringLiteral("10.0.0.1");
    r.ifIndex = QStringLiteral("3");
    r.description = QStringLiteral("Core uplink");
    r.bandwidth = 100000000;
    r.polled = true;
    r.outcome = outcome;
    r.inUtilisation = in;
    r.outUtilisation = out;
    return r;
}

inline InterfaceReading good(double in, double out = 0)
{
    return reading(InterfaceReading::Outcome::Good, in, out);
}

inline InterfaceReading withStatus(InterfaceReading r, int admin, int oper)
{
    r.adminStatus = admin;
    r.operStatus = oper;
    return r;
}

inline PollResult poll(int index, const InterfaceReading &r, int intervalSeconds = 6)
{
    PollResult result;
    result.time = Start.addSecs(qint64(index) * intervalSeconds);
    result.pollIntervalSeconds = intervalSeconds;
    result.interfaces = {r};
    return result;
}

// "busy raised", "down cleared", ...: events in a form a failure message shows plainly.
inline QStringList describe(const QList<AlertEvent> &events)
{
    QStringList texts;
    for (const AlertEvent &e : events)
        texts << AlertText::condition(e.condition) + QLatin1Char(' ') + AlertText::state(e.state);
    return texts;
}

} // namespace AlertFixture
