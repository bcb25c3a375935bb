#include "IfMibAgent.h"

#include "Ber.h"
#include "SnmpAgent.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QUdpSocket>

#include <algorithm>

namespace
{

// pass_persist helper: serves GET and GETNEXT under one prefix from a table file of
// "OID<TAB>TYPE<TAB>VALUE" lines in OID order.
const char *const TableScript = R"PERL(#!/usr/bin/perl
use strict;
use warnings;
$| = 1;
my ($file, $prefix) = @ARGV;
my (@oids, @keys, %rows);
open(my $fh, '<', $file) or die "cannot read $file";
while (my $line = <$fh>) {
    chomp $line;
    my ($oid, $type, $value) = split(/\t/, $line, 3);
    next unless index($oid, $prefix . '.') == 0;
    push @oids, $oid;
    push @keys, [split(/\./, substr($oid, 1))];
    $rows{$oid} = "$type\n$value";
}
close($fh);
sub cmp_oid {
    my ($a, $b) = @_;
    my $n = @$a < @$b ? @$a : @$b;
    for (my $i = 0; $i < $n; ++$i) {
        return $a->[$i] <=> $b->[$i] if $a->[$i] != $b->[$i];
    }
    return @$a <=> @$b;
}
while (defined(my $command = <STDIN>)) {
    chomp $command;
    if ($command eq 'PING') {
        print "PONG\n";
    } elsif ($command eq 'get' || $command eq 'getnext') {
        my $oid = <STDIN>;
        last unless defined $oid;
        chomp $oid;
        my $found;
        if ($command eq 'get') {
            $found = $oid if exists $rows{$oid};
        } else {
            my $key = [split(/\./, substr($oid, 1))];
            my ($lo, $hi) = (0, scalar @keys);
            while ($lo < $hi) {
                my $mid = int(($lo + $hi) / 2);
                if (cmp_oid($keys[$mid], $key) <= 0) { $lo = $mid + 1; } else { $hi = $mid; }
            }
            $found = $oids[$lo] if $lo < @oids;
        }
        if (defined $found) {
            print "$found\n$rows{$found}\n";
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
    return socket.localPort();
}

} // namespace

IfMibAgent::IfMibAgent() = default;

IfMibAgent::~IfMibAgent()
{
    stop();
}

bool IfMibAgent::isAvailable()
{
    QString snmpd = QStandardPaths::findExecutable("snmpd");
    if (snmpd.isEmpty())
        snmpd = QStandardPaths::findExecutable("snmpd", {"/usr/sbin", "/usr/local/sbin", "/sbin"});
    return !snmpd.isEmpty() &&
           !QStandardPaths::findExecutable("perl", {"/usr/bin", "/bin"}).isEmpty();
}

void IfMibAgent::setInterfaces(const QList<Interface> &interfaces)
{
    m_interfaces = interfaces;
    m_synthetic = true;
}

QList<IfMibAgent::Interface> IfMibAgent::synthetic(int n)
{
    QList<Interface> list;
    for (int i = 1; i <= n; ++i) {
        Interface entry;
        entry.index = quint32(i);
        entry.descr = "Port " + QByteArray::number(i);
        entry.name = "ge-0/0/" + QByteArray::number(i);
        entry.alias = i % 3 == 0 ? QByteArray() : "uplink; rack " + QByteArray::number(i);
        entry.speed = i % 2 ? 1000000000u : 4294967295u;
        entry.highSpeed = i % 2 ? 1000 : 40000;
        entry.operStatus = i % 4 == 0 ? 2 : 1;
        list.append(entry);
    }
    return list;
}

QString IfMibAgent::host() const
{
    return "127.0.0.1:" + QString::number(m_port);
}

bool IfMibAgent::start(int readyTimeoutMs)
{
    stop();
    m_error.clear();
    QString snmpd = QStandardPaths::findExecutable("snmpd");
    if (snmpd.isEmpty())
        snmpd = QStandardPaths::findExecutable("snmpd", {"/usr/sbin", "/usr/local/sbin", "/sbin"});
    const QString perl = QStandardPaths::findExecutable("perl", {"/usr/bin", "/bin"});
    if (snmpd.isEmpty() || perl.isEmpty() || !m_dir.isValid()) {
        m_error = "snmpd, perl or a temporary folder is missing";
        return false;
    }
    const QString persist = m_dir.filePath("persist");
    QDir().mkpath(persist);

    QByteArray config;
    if (m_v1Only) {
        config += "com2sec local 127.0.0.1 public\n"
                  "group ro v1 local\n"
                  "view all included .1\n"
                  "access ro \"\" any noauth exact all none none\n";
    } else {
        config += "rocommunity public 127.0.0.1\n";
        const QByteArray auth = SnmpAgent::authPassphrase().toUtf8();
        const QByteArray priv = SnmpAgent::privPassphrase().toUtf8();
        config += "createUser " + SnmpAgent::privUser().toUtf8() + " SHA \"" + auth + "\" AES \"" +
                  priv + "\"\n";
        config += "createUser " + strongUser().toUtf8() + " SHA-256 \"" + auth + "\" AES-256 \"" +
                  priv + "\"\n";
        config += "rouser " + SnmpAgent::privUser().toUtf8() + " priv\n";
        config += "rouser " + strongUser().toUtf8() + " priv\n";
    }
    config += "sysName " + m_sysName + "\n";
    if (m_synthetic) {
        struct Row {
            QList<quint32> oid;
            QByteArray type, value;
        };
        QList<Row> rows;
        const auto add = [&rows](QList<quint32> base, quint32 column, quint32 index,
                                 const QByteArray &type, const QByteArray &value) {
            base << column << index;
            rows.append({base, type, value});
        };
        const QList<quint32> ifEntry{1, 3, 6, 1, 2, 1, 2, 2, 1};
        const QList<quint32> ifXEntry{1, 3, 6, 1, 2, 1, 31, 1, 1, 1};
        for (const Interface &i : m_interfaces) {
            add(ifEntry, 1, i.index, "integer", QByteArray::number(i.index));
            add(ifEntry, 2, i.index, "string", i.descr);
            add(ifEntry, 3, i.index, "integer", QByteArray::number(i.type));
            add(ifEntry, 5, i.index, "gauge", QByteArray::number(i.speed));
            add(ifEntry, 7, i.index, "integer", QByteArray::number(i.adminStatus));
            add(ifEntry, 8, i.index, "integer", QByteArray::number(i.operStatus));
            add(ifXEntry, 1, i.index, "string", i.name);
            if (i.counters64)
                add(ifXEntry, 6, i.index, "counter64", QByteArray::number(1000 + i.index));
            add(ifXEntry, 15, i.index, "gauge", QByteArray::number(i.highSpeed));
            add(ifXEntry, 18, i.index, "string", i.alias);
        }
        std::sort(rows.begin(), rows.end(),
                  [](const Row &a, const Row &b) { return a.oid < b.oid; });
        QFile table(m_dir.filePath("table"));
        if (!table.open(QIODevice::WriteOnly)) {
            m_error = "cannot write the table";
            return false;
        }
        for (const Row &row : rows) {
            QByteArray oid;
            for (quint32 part : row.oid)
                oid += '.' + QByteArray::number(part);
            table.write(oid + '\t' + row.type + '\t' + row.value + '\n');
        }
        table.close();
        QFile script(m_dir.filePath("table.pl"));
        if (!script.open(QIODevice::WriteOnly)) {
            m_error = "cannot write the helper";
            return false;
        }
        script.write(TableScript);
        script.close();
        const QByteArray helper =
            (perl + ' ' + script.fileName() + ' ' + table.fileName()).toUtf8();
        // Priority 10 wins over the agent's own interface tables (127).
        config += "pass_persist -p 10 .1.3.6.1.2.1.2.2 " + helper + " .1.3.6.1.2.1.2.2\n";
        config += "pass_persist -p 10 .1.3.6.1.2.1.31.1.1 " + helper + " .1.3.6.1.2.1.31.1.1\n";
    }
    QFile file(m_dir.filePath("snmpd.conf"));
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = "cannot write snmpd.conf";
        return false;
    }
    file.write(config);
    file.close();

    m_port = freeUdpPort();
    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MIBS", "");
    env.insert("MIBDIRS", "");
    env.insert("SNMP_PERSISTENT_DIR", persist);
    env.insert("SNMPCONFPATH", m_dir.path());
    m_process->setProcessEnvironment(env);
    const QString log = m_dir.filePath("snmpd.log");
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardOutputFile(log);
    m_process->start(snmpd, {"-f", "-Lo", "-C", "-I", "-smux", "-c", file.fileName(),
                             "udp:127.0.0.1:" + QString::number(m_port)});
    if (!m_process->waitForStarted(3000)) {
        m_error = "snmpd did not start";
        m_process.reset();
        return false;
    }
    const QDeadlineTimer deadline(readyTimeoutMs);
    while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
        if (probe(50))
            return true;
    }
    QFile output(log);
    m_error =
        "snmpd did not answer: " +
        (output.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(output.readAll()) : QString());
    stop();
    return false;
}

// One v1 GetRequest for sysUpTime.0; any answer means the agent is up.
bool IfMibAgent::probe(int waitMs)
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return false;
    const QByteArray request = Ber::message(
        "public", Ber::GetRequest, 4711, 0, 0,
        {Ber::binding(Ber::objectId({1, 3, 6, 1, 2, 1, 1, 3, 0}), Ber::tlv(Ber::Null, {}))});
    socket.writeDatagram(request, QHostAddress(QHostAddress::LocalHost), m_port);
    return socket.waitForReadyRead(waitMs) && socket.hasPendingDatagrams();
}

void IfMibAgent::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(1000);
        }
    }
    m_process.reset();
}
