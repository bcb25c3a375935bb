#pragma once

#include "SnmpdProcess.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

// A real net-snmp agent (snmpd) on 127.0.0.1 at a free UDP port whose ifTable, ifXTable and
// sysUpTime.0 a pass_persist helper serves from a port list: every octet and error counter is
// a known function of time, start + rate x (seconds since the agent's clock started), so a
// test knows each port's rate exactly. A 32-bit counter is that value modulo 2^32 (it wraps);
// ports with counters64 also have ifHCInOctets/ifHCOutOctets. Changes to the list and a
// restart of the clock (sysUpTime back to 0, counters from their start again) take effect at
// the agent's next request. SNMP v1 only when asked; otherwise v1, v2c and SNMP v3 users as
// SnmpAgent's (privUser at authPriv).
class PortTableAgent
{
public:
    struct Port {
        quint32 index = 0;
        QByteArray name, descr, alias;
        int type = 6;      // ethernetCsmacd
        quint64 speed = 0; // bit/s; above 2^32-1 ifSpeed is 4294967295 and ifHighSpeed tells
        int adminStatus = 1;
        int operStatus = 1;
        double inRate = 0; // octets per second
        double outRate = 0;
        double errorRate = 0;   // ifInErrors per second (ifOutErrors half of it)
        double discardRate = 0; // ifInDiscards per second
        bool counters64 = true;
        double inStart = 0; // counter values at the clock's start
        double outStart = 0;
    };

    PortTableAgent();
    ~PortTableAgent();
    PortTableAgent(const PortTableAgent &) = delete;
    PortTableAgent &operator=(const PortTableAgent &) = delete;

    static bool isAvailable();
    // n ports: 1 Gbit/s each, in rate 1,000,000 x index octets/s (scaled to fit the speed),
    // out rate half of it, some down, some with errors.
    static QList<Port> ports(int n);

    void setV1Only(bool on) { m_v1Only = on; }
    // Before start(): snmpd logs every datagram; see receivedDatagrams().
    void setLogPackets(bool on) { m_logPackets = on; }
    // Before start(): the agent answers a GetBulk with at most this many values (snmpd's
    // maxGetbulkResponses); 0 = its default.
    void setMaxBulkResponses(int values) { m_maxBulkResponses = values; }
    bool start(int readyTimeoutMs = 5000);
    void stop();
    const QString &errorString() const { return m_error; }
    QString host() const;

    // Replaces the port list (at the next request).
    bool setPorts(const QList<Port> &ports);
    const QList<Port> &portList() const { return m_ports; }
    // sysUpTime goes back to 0 and every counter starts again from its start value.
    bool restartClock();
    // Datagrams the agent received so far (needs setLogPackets).
    int receivedDatagrams() const;

private:
    bool writeTable();
    bool prime();

    QTemporaryDir m_dir;
    SnmpdProcess m_process;
    quint16 m_port = 0;
    QList<Port> m_ports;
    qint64 m_clockStartMs = 0; // wall clock, ms since the epoch
    bool m_v1Only = false;
    bool m_logPackets = false;
    int m_maxBulkResponses = 0;
    QString m_error;
};
