#include "SnmpAgent.h"

#include "Ber.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUdpSocket>

namespace
{

// pass_persist helper: answers GETs for the two counter columns from the counters file,
// re-reading it on every request ("INDEX IN OUT" per line).
const char *const CounterScript = R"PERL(#!/usr/bin/perl
use strict;
use warnings;
$| = 1;
my $file = shift;
sub lookup {
    my ($column, $index) = @_;
    open(my $fh, '<', $file) or return undef;
    while (my $line = <$fh>) {
        my ($i, $in, $out) = split(' ', $line);
        next unless defined $out;
        if ($i eq $index) {
            close($fh);
            return $column == 10 ? $in : $out;
        }
    }
    close($fh);
    return undef;
}
while (defined(my $command = <STDIN>)) {
    chomp $command;
    if ($command eq 'PING') {
        print "PONG\n";
    } elsif ($command eq 'get' || $command eq 'getnext') {
        my $oid = <STDIN>;
        last unless defined $oid;
        chomp $oid;
        my $value;
        if ($command eq 'get' && $oid =~ /^\.1\.3\.6\.1\.2\.1\.2\.2\.1\.(10|16)\.(\d+)$/) {
            $value = lookup($1, $2);
        }
        if (defined $value) {
            print "$oid\ncounter\n$value\n";
        } else {
            print "NONE\n";
        }
    } elsif ($command eq 'set') {
        my $ignored = <STDIN>;
        $ignored = <STDIN>;
        print "not-writable\n";
    } else {
        last;
    }
}
)PERL";

// pass_persist helper for the 64-bit columns of ifXTable: answers GETs for ifHCInOctets (6)
// and ifHCOutOctets (10) as counter64 from its file ("INDEX IN OUT" per line).
const char *const Counter64Script = R"PERL(#!/usr/bin/perl
use strict;
use warnings;
$| = 1;
my $file = shift;
sub lookup {
    my ($column, $index) = @_;
    open(my $fh, '<', $file) or return undef;
    while (my $line = <$fh>) {
        my ($i, $in, $out) = split(' ', $line);
        next unless defined $out;
        if ($i eq $index) {
            close($fh);
            return $column == 6 ? $in : $out;
        }
    }
    close($fh);
    return undef;
}
while (defined(my $command = <STDIN>)) {
    chomp $command;
    if ($command eq 'PING') {
        print "PONG\n";
    } elsif ($command eq 'get' || $command eq 'getnext') {
        my $oid = <STDIN>;
        last unless defined $oid;
        chomp $oid;
        my $value;
        if ($command eq 'get' && $oid =~ /^\.1\.3\.6\.1\.2\.1\.31\.1\.1\.1\.(6|10)\.(\d+)$/) {
            $value = lookup($1, $2);
        }
        if (defined $value) {
            print "$oid\ncounter64\n$value\n";
        } else {
            print "NONE\n";
        }
    } elsif ($command eq 'set') {
        my $ignored = <STDIN>;
        $ignored = <STDIN>;
        print "not-writable\n";
    } else {
        last;
    }
}
)PERL";

quint16 freeUdpPort()
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    const quint16 port = socket.localPort();
    socket.close();
    return port;
}

} // namespace

SnmpAgent::SnmpAgent() = default;

SnmpAgent::~SnmpAgent()
{
    stop();
}

QString SnmpAgent::executable()
{
    QString path = QStandardPaths::findExecutable("snmpd");
    if (path.isEmpty())
        path = QStandardPaths::findExecutable("snmpd", {"/usr/sbin", "/usr/local/sbin", "/sbin"});
    return path;
}

bool SnmpAgent::isAvailable()
{
    return !executable().isEmpty() &&
           !QStandardPaths::findExecutable("perl", {"/usr/bin", "/bin"}).isEmpty();
}

QString SnmpAgent::host() const
{
    return "127.0.0.1:" + QString::number(m_port);
}

QString SnmpAgent::inOctetsOid(int ifIndex)
{
    return "1.3.6.1.2.1.2.2.1.10." + QString::number(ifIndex);
}

QString SnmpAgent::outOctetsOid(int ifIndex)
{
    return "1.3.6.1.2.1.2.2.1.16." + QString::number(ifIndex);
}

void SnmpAgent::setCounters(int ifIndex, quint32 in, quint32 out)
{
    m_counters[ifIndex] = {in, out};
    writeCounters();
}

void SnmpAgent::setCounters64(int ifIndex, quint64 in, quint64 out)
{
    m_counters64[ifIndex] = {in, out};
    writeCounters();
}

void SnmpAgent::removeCounters64(int ifIndex)
{
    m_counters64.remove(ifIndex);
    writeCounters();
}

QList<std::pair<int, QString>> SnmpAgent::receivedRequests() const
{
    // snmpd -d dumps each received datagram as hex lines after a "Received ..." line.
    QList<std::pair<int, QString>> requests;
    QFile file(m_dir.filePath("snmpd.log"));
    if (!file.open(QIODevice::ReadOnly))
        return requests;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith("Received "))
            continue;
        QByteArray bytes;
        for (qsizetype j = i + 1; j < lines.size(); ++j) {
            const QByteArray line = lines[j];
            if (line.size() < 6 || line[4] != ':')
                break;
            // "0000: 30 29 02 01  00 04 ...    ascii": sixteen hex bytes after the offset.
            const QList<QByteArray> parts = line.mid(6, 52).simplified().split(' ');
            for (const QByteArray &part : parts) {
                if (part.size() == 2)
                    bytes.append(QByteArray::fromHex(part));
            }
        }
        if (const auto request = Ber::parseRequest(bytes)) {
            QStringList parts;
            for (quint32 part : request->oid)
                parts << QString::number(part);
            requests.append({int(request->version), parts.join('.')});
        }
    }
    return requests;
}

void SnmpAgent::removeInterface(int ifIndex)
{
    m_counters.remove(ifIndex);
    writeCounters();
}

void SnmpAgent::writeCounters()
{
    if (!m_dir.isValid())
        return;
    // Replaced atomically, so the agent never reads a half-written file.
    QSaveFile file(m_dir.filePath("counters"));
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (auto it = m_counters.cbegin(); it != m_counters.cend(); ++it) {
        file.write(QByteArray::number(it.key()) + ' ' + QByteArray::number(it->first) + ' ' +
                   QByteArray::number(it->second) + '\n');
    }
    file.commit();

    QSaveFile file64(m_dir.filePath("counters64"));
    if (!file64.open(QIODevice::WriteOnly))
        return;
    for (auto it = m_counters64.cbegin(); it != m_counters64.cend(); ++it) {
        file64.write(QByteArray::number(it.key()) + ' ' + QByteArray::number(it->first) + ' ' +
                     QByteArray::number(it->second) + '\n');
    }
    file64.commit();
}

bool SnmpAgent::start(int readyTimeoutMs)
{
    stop();
    m_error.clear();
    const QString snmpd = executable();
    const QString perl = QStandardPaths::findExecutable("perl", {"/usr/bin", "/bin"});
    if (snmpd.isEmpty() || perl.isEmpty()) {
        m_error = "snmpd or perl is not installed";
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = "no temporary folder";
        return false;
    }
    const QString script = m_dir.filePath("counters.pl");
    const QString counters = m_dir.filePath("counters");
    const QString persist = m_dir.filePath("persist");
    const QString config = m_dir.filePath("snmpd.conf");
    QDir().mkpath(persist);
    writeCounters();
    {
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly)) {
            m_error = "cannot write " + script;
            return false;
        }
        file.write(CounterScript);
    }
    const QString script64 = m_dir.filePath("counters64.pl");
    {
        QFile file(script64);
        if (!file.open(QIODevice::WriteOnly)) {
            m_error = "cannot write " + script64;
            return false;
        }
        file.write(Counter64Script);
    }
    {
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            m_error = "cannot write " + config;
            return false;
        }
        // The two columns are registered one by one: the more specific registrations win
        // over the agent's own interfaces table.
        const QString helper = perl + ' ' + script + ' ' + counters;
        const QString helper64 = perl + ' ' + script64 + ' ' + m_dir.filePath("counters64");
        // Access for v1 and v2c, or (v1 only) a view that only SNMP v1 may read.
        const QString access =
            m_v1Only ? QString("com2sec v1only 127.0.0.1 " + community() +
                               "\ngroup v1group v1 v1only\nview everything included .1\n"
                               "access v1group \"\" v1 noauth exact everything none none\n")
                     : QString("rocommunity " + community() + " 127.0.0.1\n");
        // SNMP v3: one user at authPriv, one at authNoPriv. The engine ID is fixed per agent
        // folder, so that a restart keeps it as a rebooted device does.
        const QString engine =
            m_engineId.isEmpty() ? QFileInfo(m_dir.path()).fileName() : m_engineId;
        const QString v3 = "engineID " + engine + "\n" + "createUser " + privUser() + " SHA \"" +
                           authPassphrase() + "\" AES \"" + privPassphrase() + "\"\n" +
                           "createUser " + authUser() + " SHA \"" + authPassphrase() + "\"\n" +
                           "rouser " + privUser() + " priv\n" + "rouser " + authUser() + " auth\n";
        file.write((access + v3 + "pass_persist .1.3.6.1.2.1.2.2.1.10 " + helper + "\n" +
                    "pass_persist .1.3.6.1.2.1.2.2.1.16 " + helper + "\n" +
                    "pass_persist .1.3.6.1.2.1.31.1.1.1.6 " + helper64 + "\n" +
                    "pass_persist .1.3.6.1.2.1.31.1.1.1.10 " + helper64 + "\n")
                       .toUtf8());
    }

    if (!m_keepPort || m_port == 0)
        m_port = freeUdpPort();
    m_keepPort = false;
    if (m_port == 0) {
        m_error = "no free UDP port on 127.0.0.1";
        return false;
    }

    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MIBS", "");
    env.insert("MIBDIRS", "");
    env.insert("SNMP_PERSISTENT_DIR", persist);
    env.insert("SNMPCONFPATH", m_dir.path());
    m_process->setProcessEnvironment(env);
    // The agent logs every request: into a file, so a long run does not pile it up in memory.
    const QString log = m_dir.filePath("snmpd.log");
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(log);
    // -f: stay in the foreground; -Lo: log to stdout; -C: no default configuration files;
    // -I -smux: no SMUX listener on TCP port 199.
    QStringList arguments = {"-f",    "-Lo", "-C",   "-I",
                             "-smux", "-c",  config, "udp:127.0.0.1:" + QString::number(m_port)};
    if (m_logPackets)
        arguments.prepend("-d"); // dump every datagram into the log
    m_process->start(snmpd, arguments);
    if (!m_process->waitForStarted(3000)) {
        m_error = "snmpd did not start: " + m_process->errorString();
        m_process.reset();
        return false;
    }

    const QDeadlineTimer deadline(readyTimeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running)
            break;
        if (probe(50))
            return true;
    }
    QFile output(log);
    m_error =
        "snmpd did not answer on port " + QString::number(m_port) + ": " +
        (output.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(output.readAll()) : QString());
    stop();
    return false;
}

// Sends one GetRequest for sysUpTime.0 and waits up to waitMs for any answer.
bool SnmpAgent::probe(int waitMs)
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return false;
    const QByteArray request = Ber::message(
        community().toUtf8(), Ber::GetRequest, 4711, 0, 0,
        {Ber::binding(Ber::objectId({1, 3, 6, 1, 2, 1, 1, 3, 0}), Ber::tlv(Ber::Null, {}))});
    socket.writeDatagram(request, QHostAddress(QHostAddress::LocalHost), m_port);
    return socket.waitForReadyRead(waitMs) && socket.hasPendingDatagrams();
}

bool SnmpAgent::restart(int readyTimeoutMs)
{
    stop();
    m_keepPort = true;
    return start(readyTimeoutMs);
}

bool SnmpAgent::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

void SnmpAgent::stop()
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
