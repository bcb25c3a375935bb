#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

#include <cstdint>
#include <optional>

// What one poll found out about one interface, as the poll run hands it to the modules that
// listen to it (history, alerts, metrics). Plain values, no table texts: a listener never
// parses cells or reads widgets.
struct InterfaceReading {
    // Why a poll computed no rate for a row although it was polled.
    enum class Outcome {
        Good,   // a rate was computed from two readings
        First,  // a first reading: start, a gap, an agent restart, a counter jump
        Failed, // no reading (a failed SNMP exchange)
        // Read, but its counters cannot give a rate: its bandwidth wraps a 32-bit counter
        // within one poll interval and its agent has no 64-bit counters. Nothing of it is a
        // value (graph, history, alerts, metrics); the link health is read as for any row.
        NotMeasurable,
    };

    int row = 0;         // table row, 1 to 20
    QString address;     // the address text as in the device file (host, host:port, [v6]:port)
    QString ifIndex;     // the interface index as in the device file
    QString description; // the device file's description
    std::uint64_t bandwidth = 0; // bit/s, from the device file (0 when not a number)
    bool polled = false;         // checked in the interface list at this poll
    bool counters64 = false;     // read with ifHCInOctets/ifHCOutOctets
    QString snmpVersion;         // "1", "2c" or "3": what the counters were read with

    Outcome outcome = Outcome::Failed;
    // For First, Failed and NotMeasurable: the words the status bar shows ("" when none).
    QString reason;

    // Whether this poll computed a rate for the row (rates and utilisations below are values).
    // Everything that shows, stores or judges a rate asks this, never the outcome itself.
    bool hasRate() const { return outcome == Outcome::Good; }

    // Rates and utilisation of this poll; 0 unless hasRate().
    double inOctetsPerSecond = 0;
    double outOctetsPerSecond = 0;
    double inUtilisation = 0; // percent of the bandwidth
    double outUtilisation = 0;
    double combinedUtilisation = 0;

    // The raw octet counters of the last good reading (unset before any reading).
    std::optional<std::uint64_t> inOctets;
    std::optional<std::uint64_t> outOctets;

    // Link health, set only while "link health" is on and the agent answered the object.
    // Status values as IF-MIB has them: 1 up, 2 down, 3 testing, ...
    std::optional<int> adminStatus;
    std::optional<int> operStatus;
    // Raw error and discard counters of the last reading, and their counts in this poll's
    // interval (unset on a first reading or when not known).
    std::optional<std::uint64_t> inErrors, outErrors, inDiscards, outDiscards;
    std::optional<std::uint64_t> inErrorsDelta, outErrorsDelta, inDiscardsDelta, outDiscardsDelta;
};

// One finished poll: every loaded interface, in row order.
struct PollResult {
    QDateTime time;              // wall-clock time of the poll (the log's time stamp)
    int pollIntervalSeconds = 0; // the nominal interval in force
    double durationSeconds = 0;  // from the first request out to the last reply in
    QList<InterfaceReading> interfaces;

    // Whether the poll computed a rate for a table row (false for a row it does not hold).
    bool hasRate(int row) const
    {
        for (const InterfaceReading &reading : interfaces) {
            if (reading.row == row)
                return reading.hasRate();
        }
        return false;
    }
};
Q_DECLARE_METATYPE(PollResult)
