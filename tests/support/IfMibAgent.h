#pragma once

#include "SnmpdProcess.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

// A real net-snmp agent (snmpd) on 127.0.0.1 at a free UDP port for interface discovery
// tests. Without setInterfaces() it serves this machine's own IF-MIB; with it, a pass_persist
// helper serves the given ifTable and ifXTable instead. It can accept SNMP v1 only. Unless
// it does, SNMP v3 users read at authPriv with SnmpAgent's passphrases: SnmpAgent::privUser()
// with SHA and AES, strongUser() with SHA-256 and AES-256.
class IfMibAgent
{
public:
    struct Interface {
        quint32 index = 0;
        QByteArray descr;
        QByteArray name;
        QByteArray alias;
        int type = 6; // ethernetCsmacd
        quint32 speed = 0;
        quint32 highSpeed = 0;
        int adminStatus = 1;
        int operStatus = 1;
        bool counters64 = true;
    };

    IfMibAgent();
    ~IfMibAgent();
    IfMibAgent(const IfMibAgent &) = delete;
    IfMibAgent &operator=(const IfMibAgent &) = delete;

    static bool isAvailable();
    static QString strongUser() { return QStringLiteral("ostra-strong"); }

    void setInterfaces(const QList<Interface> &interfaces);
    void setV1Only(bool on) { m_v1Only = on; }
    void setSysName(const QByteArray &name) { m_sysName = name; }

    bool start(int readyTimeoutMs = 5000);
    void stop();
    const QString &errorString() const { return m_error; }
    QString host() const;

    // n interfaces with names, aliases and speeds that vary by index.
    static QList<Interface> synthetic(int n);

private:
    QTemporaryDir m_dir;
    SnmpdProcess m_process;
    quint16 m_port = 0;
    QList<Interface> m_interfaces;
    bool m_synthetic = false;
    bool m_v1Only = false;
    QByteArray m_sysName = "discovery-test";
    QString m_error;
};
