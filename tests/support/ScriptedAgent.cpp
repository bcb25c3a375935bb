#include "ScriptedAgent.h"

#include <QStandardPaths>

ScriptedAgent::~ScriptedAgent()
{
    stop();
}

bool ScriptedAgent::isAvailable()
{
    return !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty();
}

bool ScriptedAgent::start(const QString &mode, const QStringList &options)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(
        QStringLiteral("python3"),
        QStringList{QStringLiteral(OSTRALINE_TEST_SUPPORT_DIR "/hostile_agent.py"), mode} +
            options);
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("python3 did not start: ") + m_process.errorString();
        return false;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(5000)) {
            m_error = QStringLiteral("the scripted agent did not say its port");
            stop();
            return false;
        }
    }
    const QByteArray line = m_process.readLine().trimmed();
    bool ok = false;
    if (line.startsWith("PORT "))
        m_port = line.mid(5).toUShort(&ok);
    if (!ok || m_port == 0) {
        m_error = QStringLiteral("unexpected first line: ") + QString::fromLatin1(line);
        stop();
        return false;
    }
    return true;
}

void ScriptedAgent::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the script ends when its standard input closes
    if (!m_process.waitForFinished(2000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}
