#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// A hostile SNMP agent in a process of its own (hostile_agent.py, on a free port of
// 127.0.0.1): it goes on answering while the program under test is blocked, which an agent
// on the test's own event loop cannot. Modes as in the script: "time", "engine", "decrypt",
// "cycle" (SNMPv3 report loops), "bigdescr" and "slow" (endless v1/v2c walks).
class ScriptedAgent
{
public:
    ScriptedAgent() = default;
    ~ScriptedAgent();
    ScriptedAgent(const ScriptedAgent &) = delete;
    ScriptedAgent &operator=(const ScriptedAgent &) = delete;

    static bool isAvailable(); // python3 is there

    bool start(const QString &mode, const QStringList &options = {});
    void stop();
    const QString &errorString() const { return m_error; }
    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
