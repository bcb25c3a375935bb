#include "SnmpAgent.h"

#include "Ber.h"
#include "SnmpdProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QSaveFile>
#include <QUdpSocket>

#include <algorithm>

namespace
{

// pass_persist helper: answers GETs for two counter columns of one table from a counters
// file ("INDEX IN OUT" per line), re-reading it on every request. Arguments: the file, the
// table entry's OID, the IN and OUT column numbers and the value type (counter, counter64).
const char *const CounterScript = R"PERL(#!/usr/bin/perl
use strict;
use warnings;
$| = 1;
my ($file, $entry, $inColumn, $outColumn, $type) = @ARGV;
sub lookup {
    my ($column, $index) = @_;
    open(my $fh, '<', $file) or return undef;
    while (my $line = <$fh>) {
        my ($i, $in, $out) = split(' ', $line);
        next unless defined $out;
        if ($i eq $index) {
            close($fh);
            return $column == $inColumn ? $in : $out;
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
        if ($command eq 'get' && $oid =~ /^\Q$entry\E\.(\d+)\.(\d+)$/ &&
            ($1 == $inColumn || $1 == $outColumn)) {
            $value = lookup($1, $2);
        }
        if (defined $value) {
            print "$oid\n$type\n$value\n";
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

// pass_persist helper: answers GETs for the link-health columns of ifEntry from a file
// ("INDEX ADMIN OPER INDISC INERR OUTDISC OUTERR" per line, "-" for an object the agent does
// not have), re-reading it on every request.
const char *const HealthScript = R"PERL(#!/usr/bin/perl
use strict;
use warnings;
$| = 1;
my ($file) = @ARGV;
my %field = (7 => 1, 8 => 2, 13 => 3, 14 => 4, 19 => 5, 20 => 6);
sub lookup {
    my ($column, $index) = @_;
    open(my $fh, '<', $file) or return undef;
    while (my $line = <$fh>) {
        my @f = split(' ', $line);
        next unless @f == 7;
        if ($f[0] eq $index) {
            close($fh);
            my $v = $f[$field{$column}];
            return $v eq '-' ? undef : $v;
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
        my ($value, $type);
        if ($command eq 'get' && $oid =~ /^\.1\.3\.6\.1\.2\.1\.2\.2\.1\.(\d+)\.(\d+)$/ &&
            exists $field{$1}) {
            $value = lookup($1, $2);
            $type = ($1 == 7 || $1 == 8) ? 'integer' : 'counter';
        }
        if (defined $value) {
            print "$oid\n$type\n$value\n";
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

} // namespace

SnmpAgent::SnmpAgent() = default;

SnmpAgent::~SnmpAgent()
{
    stop();
}

QString SnmpAgent::executable()
{
    return SnmpdProcess::snmpd();
}

bool SnmpAgent::isAvailable()
{
    return !executable().isEmpty() && !SnmpdProcess::perl().isEmpty();
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

QList<QByteArray> SnmpAgent::receivedDatagrams() const
{
    // snmpd -d dumps each received datagram as hex lines after a "Received ..." line.
    QList<QByteArray> datagrams;
    QFile file(m_dir.filePath("snmpd.log"));
    if (!file.open(QIODevice::ReadOnly))
        return datagrams;
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
        datagrams.append(bytes);
    }
    return datagrams;
}

namespace
{
QString dotted(const QList<quint32> &oid)
{
    QStringList parts;
    for (quint32 part : oid)
        parts << QString::number(part);
    return parts.join('.');
}
} // namespace

QList<std::pair<int, QString>> SnmpAgent::receivedRequests() const
{
    QList<std::pair<int, QString>> requests;
    for (const QByteArray &datagram : receivedDatagrams()) {
        if (const auto request = Ber::parseRequest(datagram))
            requests.append({int(request->version), dotted(request->oid)});
    }
    return requests;
}

void SnmpAgent::setLinkHealth(int ifIndex, const LinkHealth &health)
{
    m_health[ifIndex] = health;
    writeCounters();
}

QList<std::pair<int, QStringList>> SnmpAgent::receivedBindings() const
{
    QList<std::pair<int, QStringList>> requests;
    for (const QByteArray &datagram : receivedDatagrams()) {
        if (const auto request = Ber::parseRequest(datagram)) {
            QStringList oids;
            for (const QList<quint32> &oid : request->oids)
                oids << dotted(oid);
            requests.append({int(request->version), oids});
        }
    }
    return requests;
}

QString SnmpAgent::deviceLine(int ifIndex, const QString &bandwidth, const QString &community) const
{
    return QStringLiteral("%1;%2;%3;%4;if%2").arg(host()).arg(ifIndex).arg(bandwidth, community);
}

std::optional<quint32> SnmpAgent::uptimeTicks(int timeoutMs) const
{
    const QByteArray oid = Ber::objectId({1, 3, 6, 1, 2, 1, 1, 3, 0}); // sysUpTime.0
    QUdpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), m_port);
    socket.write(Ber::message(community().toLatin1(), Ber::GetRequest, 4711, 0, 0,
                              {Ber::binding(oid, Ber::tlv(Ber::Null, {}))}, 1));
    QDeadlineTimer deadline(timeoutMs);
    while (socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 0)))) {
        const QByteArray reply = socket.receiveDatagram().data();
        // The reply ends with the one binding: the name, then TimeTicks with its length.
        const qsizetype at = reply.indexOf(oid);
        const qsizetype value = at + oid.size();
        if (at < 0 || value + 2 > reply.size() || quint8(reply[value]) != Ber::TimeTicks)
            continue;
        const int length = quint8(reply[value + 1]);
        if (length < 1 || length > 5 || value + 2 + length > reply.size())
            continue;
        quint64 ticks = 0;
        for (int i = 0; i < length; ++i)
            ticks = (ticks << 8) | quint8(reply[value + 2 + i]);
        return quint32(ticks);
    }
    return std::nullopt;
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

    QSaveFile health(m_dir.filePath("health"));
    if (!health.open(QIODevice::WriteOnly))
        return;
    const auto text = [](const auto &value) {
        return value ? QByteArray::number(*value) : QByteArray("-");
    };
    for (auto it = m_health.cbegin(); it != m_health.cend(); ++it) {
        health.write(QByteArray::number(it.key()) + ' ' + text(it->admin) + ' ' + text(it->oper) +
                     ' ' + text(it->inDiscards) + ' ' + text(it->inErrors) + ' ' +
                     text(it->outDiscards) + ' ' + text(it->outErrors) + '\n');
    }
    health.commit();
}

bool SnmpAgent::start(int readyTimeoutMs)
{
    stop();
    m_error.clear();
    const QString perl = SnmpdProcess::perl();
    if (executable().isEmpty() || perl.isEmpty()) {
        m_error = "snmpd or perl is not installed";
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = "no temporary folder";
        return false;
    }
    const QString script = m_dir.filePath("counters.pl");
    const QString healthScript = m_dir.filePath("health.pl");
    writeCounters();
    if (!writeAgentFile(script, CounterScript, &m_error) ||
        !writeAgentFile(healthScript, HealthScript, &m_error))
        return false;
    // The four columns are registered one by one: the more specific registrations win over
    // the agent's own interface tables.
    const QString helper32 = perl + ' ' + script + ' ' + m_dir.filePath("counters") +
                             " .1.3.6.1.2.1.2.2.1 10 16 counter";
    const QString helper64 = perl + ' ' + script + ' ' + m_dir.filePath("counters64") +
                             " .1.3.6.1.2.1.31.1.1.1 6 10 counter64";
    // Access for v1 and v2c, or (v1 only) a view that only SNMP v1 may read.
    const QString access =
        m_v1Only ? QString("com2sec v1only 127.0.0.1 " + community() +
                           "\ngroup v1group v1 v1only\nview everything included .1\n"
                           "access v1group \"\" v1 noauth exact everything none none\n")
                 : QString("rocommunity " + community() + " 127.0.0.1\n");
    // SNMP v3: one user at authPriv, one at authNoPriv. The engine ID is fixed per agent
    // folder, so that a restart keeps it as a rebooted device does.
    const QString engine = m_engineId.isEmpty() ? QFileInfo(m_dir.path()).fileName() : m_engineId;
    const QString v3 = "engineID " + engine + "\n" + "createUser " + privUser() + " SHA \"" +
                       authPassphrase() + "\" AES \"" + privPassphrase() + "\"\n" + "createUser " +
                       authUser() + " SHA \"" + authPassphrase() + "\"\n" + "rouser " + privUser() +
                       " priv\n" + "rouser " + authUser() + " auth\n";
    QString healthConfig;
    const QString healthHelper = perl + ' ' + healthScript + ' ' + m_dir.filePath("health");
    for (const int column : {7, 8, 13, 14, 19, 20})
        healthConfig += "pass_persist .1.3.6.1.2.1.2.2.1." + QString::number(column) + ' ' +
                        healthHelper + '\n';
    const QString config = access + v3 + "pass_persist .1.3.6.1.2.1.2.2.1.10 " + helper32 + "\n" +
                           "pass_persist .1.3.6.1.2.1.2.2.1.16 " + helper32 + "\n" +
                           "pass_persist .1.3.6.1.2.1.31.1.1.1.6 " + helper64 + "\n" +
                           "pass_persist .1.3.6.1.2.1.31.1.1.1.10 " + helper64 + "\n" +
                           healthConfig;
    if (!writeAgentFile(m_dir.filePath("snmpd.conf"), config.toUtf8(), &m_error))
        return false;

    if (!m_keepPort || m_port == 0)
        m_port = SnmpdProcess::freeUdpPort();
    m_keepPort = false;
    if (m_port == 0) {
        m_error = "no free UDP port on 127.0.0.1";
        return false;
    }
    return m_process.start(m_dir.path(), m_port, community().toUtf8(), readyTimeoutMs, m_logPackets,
                           &m_error);
}

bool SnmpAgent::restart(int readyTimeoutMs)
{
    stop();
    m_keepPort = true;
    return start(readyTimeoutMs);
}

bool SnmpAgent::isRunning() const
{
    return m_process.isRunning();
}

void SnmpAgent::stop()
{
    m_process.stop();
}
