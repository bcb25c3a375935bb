#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <utility>

class QProcess;

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

    // Defines or changes an interface's two counters.
    void setCounters(int ifIndex, quint32 in, quint32 out);
    // Makes the agent forget an interface: its counters are then unknown (noSuchName).
    void removeInterface(int ifIndex);

    static QString inOctetsOid(int ifIndex);
    static QString outOctetsOid(int ifIndex);

private:
    void writeCounters();
    bool probe(int waitMs);

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QMap<int, std::pair<quint32, quint32>> m_counters;
    QString m_error;
};
