#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

// One net-snmp agent process (snmpd) for the test agents: started in a folder of its own with
// a configuration the caller writes, on 127.0.0.1 at a given UDP port, and ready once it
// answers an SNMP v1 GetRequest. Its log goes to snmpd.log in the folder.
class SnmpdProcess
{
public:
    SnmpdProcess();
    ~SnmpdProcess();
    SnmpdProcess(const SnmpdProcess &) = delete;
    SnmpdProcess &operator=(const SnmpdProcess &) = delete;

    static QString snmpd();       // empty when not installed
    static QString perl();        // for the pass_persist helpers; empty when not installed
    static quint16 freeUdpPort(); // 0 when none could be had

    // Starts snmpd with the folder's snmpd.conf and waits (bounded) until it answers a GET
    // with the community. False with the reason, the agent's own output included, in *error.
    bool start(const QString &folder, quint16 port, const QByteArray &community, int readyTimeoutMs,
               bool logPackets, QString *error);
    void stop();
    bool isRunning() const;

private:
    bool probe(int waitMs) const;

    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QByteArray m_community;
};

// Writes a file of the test agents' folders; false with the reason in *error.
bool writeAgentFile(const QString &path, const QByteArray &bytes, QString *error);
