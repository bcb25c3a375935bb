#pragma once

#include "SnmpVersion.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// What one poll read of one port, before any rule is applied.
struct PortCounters {
    int width = 64; // 64: ifHCInOctets/ifHCOutOctets; 32: ifInOctets/ifOutOctets
    std::optional<std::uint64_t> inOctets, outOctets;
    std::optional<int> adminStatus, operStatus;
    // Counter32 values of ifInErrors, ifOutErrors, ifInDiscards, ifOutDiscards.
    std::optional<std::uint64_t> inErrors, outErrors, inDiscards, outDiscards;
};

// What one poll says about one port, with the board's first-reading rules applied.
struct PortRates {
    enum class Outcome {
        Good,   // rates from two readings
        First,  // a first reading: reason says why (start, gap, restart, backwards, jump)
        Failed, // no reading of this port in this poll
    };
    Outcome outcome = Outcome::Failed;
    QString reason;

    // 0 unless Good.
    double inBitsPerSecond = 0;
    double outBitsPerSecond = 0;
    // Percent of the port's speed; unset when the speed is not known or the outcome not Good.
    std::optional<double> inUtilisation, outUtilisation;
    // Errors and discards counted in this poll's interval (unset unless known at both ends).
    std::optional<std::uint64_t> inErrorsDelta, outErrorsDelta, inDiscardsDelta, outDiscardsDelta;
};

// One port of a device after a poll: what it is (read at the inventory) and its readings.
struct PortResult {
    quint32 ifIndex = 0;
    QString name;            // ifName, else ifDescr, else "ifIndex N"
    QString alias;           // ifAlias
    QString descr;           // ifDescr
    int type = 0;            // ifType
    std::uint64_t speed = 0; // bit/s from ifHighSpeed or ifSpeed; 0 unknown
    PortCounters counters;
    PortRates rates;

    bool isUp() const { return counters.operStatus == 1; }
    // Errors and discards of this poll, both directions together (0 when not known).
    std::uint64_t problems() const;
};

// One device after a poll.
struct DevicePoll {
    int device = 0;                         // the id DevicePoller::addDevice gave
    QString address;                        // as given
    QString sysName;                        // from the inventory
    SnmpVersion version = SnmpVersion::V2c; // spoken
    bool counters64 = false;                // octets read from ifHCInOctets/ifHCOutOctets
    QDateTime time;                         // wall clock at the poll's start

    bool answered = false; // this poll got the device's tables
    QDateTime silentSince; // first unanswered poll of the current silence; null while answering
    QString problem;       // why this poll failed ("" when answered)
    bool everAnswered = false;
    bool restarted = false; // sysUpTime went back since the last poll
    quint32 uptime = 0;     // sysUpTime.0, hundredths of a second
    QStringList notes;      // interfaces that appeared or disappeared, a restart

    int roundTrips = 0; // requests one after another (the longest chain) for this poll's tables
    int requests = 0;   // request datagrams of this poll's tables (sysUpTime included)
    int datagrams = 0;  // request and reply datagrams of this poll's tables
    int inventoryRequests = 0; // request datagrams of the names and speeds read in this poll
    int maxRepetitions = 0;    // the last GetBulk's (0 for v1)
    QList<PortResult> ports;   // in ifIndex order
};
Q_DECLARE_METATYPE(DevicePoll)
