#pragma once

#include "HistoryWriter.h"
#include "PollResult.h"

#include <QDateTime>

#include <cstdint>

// Constructed poll results for the history tests: one interface (127.0.0.1:1161, ifIndex 2,
// 100 Mbit/s) at clock-aligned times, so that each poll lands exactly on one file step.
namespace HistoryFixture
{

inline constexpr std::int64_t T0 = 1800000000; // a multiple of 300 s
inline const QString Address = QStringLiteral("127.0.0.1:1161");
inline const QString IfIndex = QStringLiteral("2");

inline InterfaceReading reading(double inOctets, double outOctets,
                                InterfaceReading::Outcome outcome = InterfaceReading::Outcome::Good)
{
    InterfaceReading r;
    r.row = 1;
    r.address = Address;
    r.ifIndex = IfIndex;
    r.description = QStringLiteral("uplink");
    r.bandwidth = 100000000;
    r.polled = true;
    r.outcome = outcome;
    if (outcome == InterfaceReading::Outcome::Good) {
        r.inOctetsPerSecond = inOctets;
        r.outOctetsPerSecond = outOctets;
    }
    return r;
}

inline PollResult poll(std::int64_t time, int interval, QList<InterfaceReading> interfaces)
{
    PollResult result;
    result.time = QDateTime::fromSecsSinceEpoch(time);
    result.pollIntervalSeconds = interval;
    result.interfaces = std::move(interfaces);
    return result;
}

// polls k = first .. last at T0 + k * interval, in octets/s 1000 * k and 500 * k; poll 0 is a
// first reading.
inline void writeRamp(HistoryWriter &writer, int first, int last, int interval = 6)
{
    for (int k = first; k <= last; ++k) {
        const auto outcome =
            k == 0 ? InterfaceReading::Outcome::First : InterfaceReading::Outcome::Good;
        writer.write(poll(T0 + std::int64_t(k) * interval, interval,
                          {reading(1000.0 * k, 500.0 * k, outcome)}));
    }
}

} // namespace HistoryFixture
