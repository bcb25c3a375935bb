#include "IfMibAgent.h"

#include "SnmpAgent.h"
#include "SnmpdProcess.h"

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

} // namespace

IfMibAgent::IfMibAgent() = default;

IfMibAgent::~IfMibAgent()
{
    stop();
}

bool IfMibAgent::isAvailable()
{
    return !SnmpdProcess::snmpd().isEmpty() && !SnmpdProcess::perl().isEmpty();
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
    const QString perl = SnmpdProcess::perl();
    if (!isAvailable() || !m_dir.isValid()) {
        m_error = "snmpd, perl or a temporary folder is missing";
        return false;
    }

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
            // Octet counters that stand still, so that the window can poll the ports.
            add(ifEntry, 10, i.index, "counter", QByteArray::number(7000 + i.index));
            add(ifEntry, 16, i.index, "counter", QByteArray::number(5000 + i.index));
            add(ifXEntry, 1, i.index, "string", i.name);
            if (i.counters64)
                add(ifXEntry, 6, i.index, "counter64", QByteArray::number(1000 + i.index));
            add(ifXEntry, 15, i.index, "gauge", QByteArray::number(i.highSpeed));
            add(ifXEntry, 18, i.index, "string", i.alias);
        }
        std::sort(rows.begin(), rows.end(),
                  [](const Row &a, const Row &b) { return a.oid < b.oid; });
        QByteArray table;
        for (const Row &row : rows) {
            QByteArray oid;
            for (quint32 part : row.oid)
                oid += '.' + QByteArray::number(part);
            table += oid + '\t' + row.type + '\t' + row.value + '\n';
        }
        if (!writeAgentFile(m_dir.filePath("table"), table, &m_error) ||
            !writeAgentFile(m_dir.filePath("table.pl"), TableScript, &m_error))
            return false;
        const QByteArray helper =
            (perl + ' ' + m_dir.filePath("table.pl") + ' ' + m_dir.filePath("table")).toUtf8();
        // Priority 10 wins over the agent's own interface tables (127).
        config += "pass_persist -p 10 .1.3.6.1.2.1.2.2 " + helper + " .1.3.6.1.2.1.2.2\n";
        config += "pass_persist -p 10 .1.3.6.1.2.1.31.1.1 " + helper + " .1.3.6.1.2.1.31.1.1\n";
    }
    if (!writeAgentFile(m_dir.filePath("snmpd.conf"), config, &m_error))
        return false;
    m_port = SnmpdProcess::freeUdpPort();
    return m_process.start(m_dir.path(), m_port, "public", readyTimeoutMs, false, &m_error);
}

void IfMibAgent::stop()
{
    m_process.stop();
}
