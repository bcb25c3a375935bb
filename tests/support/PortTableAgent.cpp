#include "PortTableAgent.h"

#include "Ber.h"
#include "SnmpAgent.h"

#include <QHostAddress>
#include <QUdpSocket>

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

namespace
{

// pass_persist helper: serves GET and GETNEXT under its prefix from a port file, reread when it
// changes (a new file: the test replaces it whole). The first line is the clock's start (seconds
// since the epoch); each further line one port: index, descr, name, alias, type, ifSpeed,
// ifHighSpeed, admin, oper, in rate, out rate, error rate, discard rate, counters64, in start, out
// start (tab-separated).
const char *const PortScript = R"PERL(#!/usr/bin/perl
use strict;
use warnings;
use Time::HiRes qw(time);
$| = 1;
my ($file, $prefix) = @ARGV;
my ($inode, $boot, @oids, @keys, %rows) = (-1, 0);
sub cmp_oid {
    my ($a, $b) = @_;
    my $n = @$a < @$b ? @$a : @$b;
    for (my $i = 0; $i < $n; ++$i) {
        return $a->[$i] <=> $b->[$i] if $a->[$i] != $b->[$i];
    }
    return @$a <=> @$b;
}
sub load {
    my @st = stat($file);
    return if @st && $st[1] == $inode;
    $inode = @st ? $st[1] : -1;
    open(my $fh, '<', $file) or return;
    my @lines = <$fh>;
    close($fh);
    chomp @lines;
    $boot = shift @lines;
    %rows = ();
    $rows{'.1.3.6.1.2.1.1.3.0'} = ['timeticks', sub { int((time() - $boot) * 100) }];
    for my $line (@lines) {
        my ($i, $descr, $name, $alias, $type, $speed, $high, $admin, $oper, $in, $out, $err,
            $disc, $c64, $in0, $out0) = split(/\t/, $line, -1);
        my $e = '.1.3.6.1.2.1.2.2.1';
        my $x = '.1.3.6.1.2.1.31.1.1.1';
        my $count = sub { my ($start, $rate) = @_; return $start + $rate * (time() - $boot); };
        my $c32 = sub { my ($start, $rate) = @_;
            return sub { sprintf('%.0f', fmod_2_32($count->($start, $rate))) } };
        $rows{"$e.1.$i"} = ['integer', $i];
        $rows{"$e.2.$i"} = ['string', $descr];
        $rows{"$e.3.$i"} = ['integer', $type];
        $rows{"$e.5.$i"} = ['gauge', $speed];
        $rows{"$e.7.$i"} = ['integer', $admin];
        $rows{"$e.8.$i"} = ['integer', $oper];
        $rows{"$e.10.$i"} = ['counter', $c32->($in0, $in)];
        $rows{"$e.13.$i"} = ['counter', $c32->(0, $disc)];
        $rows{"$e.14.$i"} = ['counter', $c32->(0, $err)];
        $rows{"$e.16.$i"} = ['counter', $c32->($out0, $out)];
        $rows{"$e.19.$i"} = ['counter', $c32->(0, $disc / 2)];
        $rows{"$e.20.$i"} = ['counter', $c32->(0, $err / 2)];
        $rows{"$x.1.$i"} = ['string', $name];
        if ($c64) {
            $rows{"$x.6.$i"} = ['counter64', sub { sprintf('%.0f', $count->($in0, $in)) }];
            $rows{"$x.10.$i"} = ['counter64', sub { sprintf('%.0f', $count->($out0, $out)) }];
        }
        $rows{"$x.15.$i"} = ['gauge', $high];
        $rows{"$x.18.$i"} = ['string', $alias];
    }
    my @sorted = sort { cmp_oid($a->[1], $b->[1]) }
                 map { [$_, [split(/\./, substr($_, 1))]] }
                 grep { index($_, $prefix . '.') == 0 } keys %rows;
    @oids = map { $_->[0] } @sorted;
    @keys = map { $_->[1] } @sorted;
}
sub fmod_2_32 {
    my ($v) = @_;
    my $m = 4294967296;
    return $v - $m * int($v / $m);
}
while (defined(my $command = <STDIN>)) {
    chomp $command;
    if ($command eq 'PING') {
        print "PONG\n";
    } elsif ($command eq 'get' || $command eq 'getnext') {
        my $oid = <STDIN>;
        last unless defined $oid;
        chomp $oid;
        load();
        my $found;
        if ($command eq 'get') {
            $found = $oid if exists $rows{$oid} && index($oid, $prefix . '.') == 0;
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
            my ($type, $value) = @{$rows{$found}};
            $value = $value->() if ref($value) eq 'CODE';
            print "$found\n$type\n$value\n";
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

QByteArray clean(const QByteArray &text)
{
    QByteArray out = text;
    out.replace('\t', ' ').replace('\n', ' ');
    return out;
}

} // namespace

PortTableAgent::PortTableAgent() = default;

PortTableAgent::~PortTableAgent()
{
    stop();
}

bool PortTableAgent::isAvailable()
{
    return !SnmpdProcess::snmpd().isEmpty() && !SnmpdProcess::perl().isEmpty();
}

QList<PortTableAgent::Port> PortTableAgent::ports(int n)
{
    QList<Port> list;
    for (int i = 1; i <= n; ++i) {
        Port port;
        port.index = quint32(i);
        port.descr = "Port " + QByteArray::number(i);
        port.name = "Gi1/0/" + QByteArray::number(i);
        port.alias = i % 5 == 0 ? QByteArray() : "desk " + QByteArray::number(i);
        port.speed = 1000000000;
        port.operStatus = i % 7 == 0 ? 2 : 1;
        // Up to 100 MB/s in (80 % of the speed), so every rate is distinct.
        port.inRate = 1000000.0 * (i % 100 + 1);
        port.outRate = port.inRate / 2;
        port.errorRate = i % 6 == 0 ? 4 : 0;
        port.inStart = 1000.0 * i;
        port.outStart = 500.0 * i;
        list.append(port);
    }
    return list;
}

QString PortTableAgent::host() const
{
    return "127.0.0.1:" + QString::number(m_port);
}

bool PortTableAgent::writeTable()
{
    QByteArray table = QByteArray::number(double(m_clockStartMs) / 1000.0, 'f', 3) + '\n';
    for (const Port &p : m_ports) {
        const quint64 ifSpeed = p.speed > 4294967295ull ? 4294967295ull : p.speed;
        const QList<QByteArray> fields = {QByteArray::number(p.index),
                                          clean(p.descr),
                                          clean(p.name),
                                          clean(p.alias),
                                          QByteArray::number(p.type),
                                          QByteArray::number(ifSpeed),
                                          QByteArray::number(p.speed / 1000000),
                                          QByteArray::number(p.adminStatus),
                                          QByteArray::number(p.operStatus),
                                          QByteArray::number(p.inRate, 'f', 3),
                                          QByteArray::number(p.outRate, 'f', 3),
                                          QByteArray::number(p.errorRate, 'f', 3),
                                          QByteArray::number(p.discardRate, 'f', 3),
                                          p.counters64 ? "1" : "0",
                                          QByteArray::number(p.inStart, 'f', 0),
                                          QByteArray::number(p.outStart, 'f', 0)};
        table += fields.join('\t') + '\n';
    }
    // Replaced whole (the helpers read it at any time): a new file the helpers notice.
    QSaveFile file(m_dir.filePath("ports"));
    if (!file.open(QIODevice::WriteOnly) || file.write(table) != table.size() || !file.commit()) {
        m_error = "cannot write the port file";
        return false;
    }
    return true;
}

bool PortTableAgent::setPorts(const QList<Port> &ports)
{
    m_ports = ports;
    if (m_clockStartMs == 0)
        m_clockStartMs = QDateTime::currentMSecsSinceEpoch();
    return writeTable() && prime();
}

bool PortTableAgent::restartClock()
{
    m_clockStartMs = QDateTime::currentMSecsSinceEpoch();
    return writeTable() && prime();
}

// One v1 GetRequest through each helper, so that they read a new port file now and not in
// the middle of a test's timed poll.
bool PortTableAgent::prime()
{
    if (!m_process.isRunning())
        return true;
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return false;
    const QByteArray null = Ber::tlv(Ber::Null, {});
    const QByteArray request =
        Ber::message("public", Ber::GetRequest, 4712, 0, 0,
                     {Ber::binding(Ber::objectId({1, 3, 6, 1, 2, 1, 1, 3, 0}), null),
                      Ber::binding(Ber::objectId({1, 3, 6, 1, 2, 1, 2, 2, 1, 1, 1}), null),
                      Ber::binding(Ber::objectId({1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 1, 1}), null)});
    socket.writeDatagram(request, QHostAddress(QHostAddress::LocalHost), m_port);
    if (!socket.waitForReadyRead(3000)) {
        m_error = "the agent did not answer after the port file changed";
        return false;
    }
    return true;
}

bool PortTableAgent::start(int readyTimeoutMs)
{
    stop();
    m_error.clear();
    if (!isAvailable() || !m_dir.isValid()) {
        m_error = "snmpd, perl or a temporary folder is missing";
        return false;
    }
    if (m_clockStartMs == 0)
        m_clockStartMs = QDateTime::currentMSecsSinceEpoch();
    QByteArray config;
    if (m_v1Only) {
        config += "com2sec local 127.0.0.1 public\n"
                  "group ro v1 local\n"
                  "view all included .1\n"
                  "access ro \"\" any noauth exact all none none\n";
    } else {
        config += "rocommunity public 127.0.0.1\n";
        config += "createUser " + SnmpAgent::privUser().toUtf8() + " SHA \"" +
                  SnmpAgent::authPassphrase().toUtf8() + "\" AES \"" +
                  SnmpAgent::privPassphrase().toUtf8() + "\"\n";
        config += "rouser " + SnmpAgent::privUser().toUtf8() + " priv\n";
    }
    config += "sysName port-table-test\n";
    if (m_maxBulkResponses > 0)
        config += "maxGetbulkResponses " + QByteArray::number(m_maxBulkResponses) + '\n';
    if (!writeTable() || !writeAgentFile(m_dir.filePath("ports.pl"), PortScript, &m_error))
        return false;
    const QString perl = SnmpdProcess::perl();
    const QByteArray helper =
        (perl + ' ' + m_dir.filePath("ports.pl") + ' ' + m_dir.filePath("ports")).toUtf8();
    // Priority 10 wins over the agent's own tables (127).
    for (const char *prefix : {".1.3.6.1.2.1.2.2", ".1.3.6.1.2.1.31.1.1", ".1.3.6.1.2.1.1.3"})
        config += QByteArray("pass_persist -p 10 ") + prefix + ' ' + helper + ' ' + prefix + '\n';
    if (!writeAgentFile(m_dir.filePath("snmpd.conf"), config, &m_error))
        return false;
    m_port = SnmpdProcess::freeUdpPort();
    return m_process.start(m_dir.path(), m_port, "public", readyTimeoutMs, m_logPackets, &m_error);
}

void PortTableAgent::stop()
{
    m_process.stop();
}

int PortTableAgent::receivedDatagrams() const
{
    QFile file(m_dir.filePath("snmpd.log"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int count = 0;
    for (const QByteArray &line : file.readAll().split('\n'))
        count += line.startsWith("Received ") ? 1 : 0;
    return count;
}
