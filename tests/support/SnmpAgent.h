#pragma once

#include "SnmpdProcess.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

#include <utility>

// A real net-snmp agent (snmpd) for tests, listening on 127.0.0.1 at a free UDP port. It
// serves ifInOctets (1.3.6.1.2.1.2.2.1.10.N) and ifOutOctets (1.3.6.1.2.1.2.2.1.16.N) as
// Counter32 for the interfaces the test defines; the values are read from a file on every
// GET, so a test can change them between queries. Everything it writes lives in a temporary
// folder; the agent is stopped by stop() or the destructor.
class SnmpAgent
{
public:
    SnmpAgent();
    ~SnmpAgent();
    SnmpAgent(const SnmpAgent &) = delete;
    SnmpAgent &operator=(const SnmpAgent &) = delete;

    // Whether the snmpd binary is installed.
    static bool isAvailable();
    static QString executable();

    // Starts the agent and waits (bounded) until it answers. On failure returns false and
    // describes why in errorString() (including the agent's own output).
    bool start(int readyTimeoutMs = 5000);
    void stop();
    bool isRunning() const;
    const QString &errorString() const { return m_error; }

    quint16 port() const { return m_port; }
    // The host text for a query: "127.0.0.1:PORT".
    QString host() const;
    // The read community; any other community is ignored by the agent.
    static QString community() { return QStringLiteral("public"); }
    // A device file line for one of the agent's interfaces: "host;ifIndex;bandwidth;community;
    // ifN", the description naming the index.
    QString deviceLine(int ifIndex, const QString &bandwidth = QStringLiteral("2048000"),
                       const QString &community = SnmpAgent::community()) const;

    // The agent's sysUpTime.0 in hundredths of a second, read with one SNMP v2c request
    // (waiting at most timeoutMs); nothing when the agent does not answer.
    std::optional<quint32> uptimeTicks(int timeoutMs = 1000) const;

    // Defines or changes an interface's two counters.
    void setCounters(int ifIndex, quint32 in, quint32 out);
    // Makes the agent forget an interface: its counters are then unknown (noSuchName).
    void removeInterface(int ifIndex);

    // 64-bit counters (ifHCInOctets, ifHCOutOctets of IF-MIB's ifXTable, Counter64, served to
    // SNMP v2c requests) for an interface. An index without them has no ifXTable entry.
    void setCounters64(int ifIndex, quint64 in, quint64 out);
    void removeCounters64(int ifIndex);

    // Link health of an interface: ifAdminStatus (.7), ifOperStatus (.8) as INTEGER and
    // ifInDiscards (.13), ifInErrors (.14), ifOutDiscards (.19), ifOutErrors (.20) as
    // Counter32. An unset value is an object the agent does not have (noSuchName in v1,
    // noSuchInstance in v2c); an index without health values has none of them.
    struct LinkHealth {
        std::optional<int> admin = 1, oper = 1;
        std::optional<quint32> inDiscards = 0, inErrors = 0, outDiscards = 0, outErrors = 0;
    };
    void setLinkHealth(int ifIndex, const LinkHealth &health);

    // Before start(): accept SNMP v1 only; a v2c request then gets no reply at all.
    void setV1Only(bool on) { m_v1Only = on; }
    // Before start(): the agent logs every datagram it receives, see receivedRequests().
    void setLogPackets(bool on) { m_logPackets = on; }
    // The requests received so far (needs setLogPackets): SNMP version (0 = v1, 1 = v2c)
    // and the first binding's object identifier in dotted text, one entry per datagram.
    QList<std::pair<int, QString>> receivedRequests() const;
    // The same with every binding's object identifier of each datagram.
    QList<std::pair<int, QStringList>> receivedBindings() const;

    // SNMP v3 users of every agent: privUser() reads at authPriv only (SHA, AES), authUser()
    // at authNoPriv (SHA); both with the passphrases below.
    static QString privUser() { return QStringLiteral("ostra-priv"); }
    static QString authUser() { return QStringLiteral("ostra-auth"); }
    static QString authPassphrase() { return QStringLiteral("auth-secret-4711"); }
    static QString privPassphrase() { return QStringLiteral("priv-secret-0815"); }

    // Stops the agent and starts it again on the same port with the same persistent state:
    // its engine ID stays, its engine boots count goes up (a rebooted device).
    bool restart(int readyTimeoutMs = 5000);
    // Before start() or restart(): the text the agent's engine ID is built from (by default
    // its folder's name); a new text is a device whose engine ID changed.
    void setEngineIdText(const QString &text) { m_engineId = text; }

    static QString inOctetsOid(int ifIndex);
    static QString outOctetsOid(int ifIndex);

private:
    void writeCounters();
    // The datagrams snmpd -d logged as received, decoded from its hex dump.
    QList<QByteArray> receivedDatagrams() const;

    QTemporaryDir m_dir;
    SnmpdProcess m_process;
    quint16 m_port = 0;
    QMap<int, std::pair<quint32, quint32>> m_counters;
    QMap<int, std::pair<quint64, quint64>> m_counters64;
    QMap<int, LinkHealth> m_health;
    bool m_v1Only = false;
    bool m_logPackets = false;
    bool m_keepPort = false;
    QString m_engineId;
    QString m_error;
};
