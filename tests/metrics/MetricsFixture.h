#pragma once

#include "PollResult.h"

#include <QDateTime>

// Poll results as the poll run hands them out, for the metrics tests.
namespace MetricsFixture
{

inline InterfaceReading reading(int row, const QString &address, const QString &ifIndex,
                                const QString &description)
{
    InterfaceReading r;
    r.row = row;
    r.address = address;
    r.ifIndex = ifIndex;
    r.description = description;
    r.bandwidth = 100000000;
    r.polled = true;
    r.snmpVersion = QStringLiteral("1");
    return r;
}

inline InterfaceReading good(int row, const QString &address, const QString &ifIndex,
                             const QString &description, std::uint64_t in, std::uint64_t out)
{
    InterfaceReading r = reading(row, address, ifIndex, description);
    r.outcome = InterfaceReading::Outcome::Good;
    r.inOctets = in;
    r.outOctets = out;
    r.inOctetsPerSecond = 1250000;
    r.outOctetsPerSecond = 625000;
    r.inUtilisation = 10;
    r.outUtilisation = 5;
    r.combinedUtilisation = 7.5;
    return r;
}

inline PollResult result(const QList<InterfaceReading> &rows)
{
    PollResult p;
    p.time = QDateTime::fromMSecsSinceEpoch(1765370000250, Qt::UTC);
    p.pollIntervalSeconds = 3;
    p.durationSeconds = 0.0125;
    p.interfaces = rows;
    return p;
}

} // namespace MetricsFixture
