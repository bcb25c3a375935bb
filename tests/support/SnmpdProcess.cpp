#include "SnmpdProcess.h"

#include "Ber.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QUdpSocket>

SnmpdProcess::SnmpdProcess() = default;

SnmpdProcess::~SnmpdProcess()
{
    stop();
}

QString SnmpdProcess::snmpd()
{
    QString path = QStandardPaths::findExecutable("snmpd");
    if (path.isEmpty())
        path = QStandardPaths::findExecutable("snmpd", {"/usr/sbin", "/usr/local/sbin", "/sbin"});
    return path;
}

QString SnmpdProcess::perl()
{
    return QStandardPaths::findExecutable("perl", {"/usr/bin", "/bin"});
}

quint16 SnmpdProcess::freeUdpPort()
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    return socket.localPort();
}

bool SnmpdProcess::start(const QString &folder, quint16 port, const QByteArray &community,
                         int readyTimeoutMs, bool logPackets, QString *error)
{
    stop();
    m_port = port;
    m_community = community;
    const QString executable = snmpd();
    if (executable.isEmpty()) {
        *error = "snmpd is not installed";
        return false;
    }
    const QDir dir(folder);
    const QString persist = dir.filePath("persist");
    QDir().mkpath(persist);

    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MIBS", "");
    env.insert("MIBDIRS", "");
    env.insert("SNMP_PERSISTENT_DIR", persist);
    env.insert("SNMPCONFPATH", folder);
    m_process->setProcessEnvironment(env);
    // The agent logs every request: into a file, so a long run does not pile it up in memory.
    const QString log = dir.filePath("snmpd.log");
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(log);
    // -f: stay in the foreground; -Lo: log to stdout; -C: no default configuration files;
    // -I -smux: no SMUX listener on TCP port 199.
    QStringList arguments = {"-f",
                             "-Lo",
                             "-C",
                             "-I",
                             "-smux",
                             "-c",
                             dir.filePath("snmpd.conf"),
                             "udp:127.0.0.1:" + QString::number(port)};
    if (logPackets)
        arguments.prepend("-d"); // dump every datagram into the log
    m_process->start(executable, arguments);
    if (!m_process->waitForStarted(3000)) {
        *error = "snmpd did not start: " + m_process->errorString();
        m_process.reset();
        return false;
    }

    const QDeadlineTimer deadline(readyTimeoutMs);
    while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
        if (probe(50))
            return true;
    }
    QFile output(log);
    *error =
        "snmpd did not answer on port " + QString::number(port) + ": " +
        (output.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(output.readAll()) : QString());
    stop();
    return false;
}

// One v1 GetRequest for sysUpTime.0; any answer means the agent is up.
bool SnmpdProcess::probe(int waitMs) const
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return false;
    const QByteArray request = Ber::message(
        m_community, Ber::GetRequest, 4711, 0, 0,
        {Ber::binding(Ber::objectId({1, 3, 6, 1, 2, 1, 1, 3, 0}), Ber::tlv(Ber::Null, {}))});
    socket.writeDatagram(request, QHostAddress(QHostAddress::LocalHost), m_port);
    return socket.waitForReadyRead(waitMs) && socket.hasPendingDatagrams();
}

bool SnmpdProcess::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

void SnmpdProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate(); // SIGTERM to this agent's process id only
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(1000);
        }
    }
    m_process.reset();
}

bool writeAgentFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}
