#pragma once

#include "AgentProfile.h"
#include "DeviceFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Turns a device file and the agent profiles into a configuration for Prometheus and its SNMP
// exporter: snmp.yml with one module that walks what Ostraline reads (the octet counters of
// both widths, ifHighSpeed, the admin and oper status, the error and discard counters) with
// ifName, ifAlias and ifDescr as labels, and prometheus.yml with one scrape job per module
// and credential set.
//
// Credentials per agent (the address text as in the device file): an agent with a v3
// profile uses its user; any other uses the device file's community with SNMP v2c (v1 when
// its profile says 1), since only v2c carries the 64-bit counters. Passphrases are written
// only when asked for; otherwise as ${OSTRALINE_<SET>_AUTH_PASSPHRASE} and
// ${OSTRALINE_<SET>_PRIV_PASSPHRASE} placeholders for the exporter to expand.
namespace PrometheusExport
{

enum class Format {
    Current, // SNMP exporter 0.23 and later: "auths:" and "modules:" apart
    V0_21,   // the older layout, one module per credential set with its "auth:"
};

struct Options {
    Format format = Format::Current;
    QString exporter = QStringLiteral("127.0.0.1:9116"); // host:port of the SNMP exporter
    bool includeSecrets = false;
    QString source;       // the device file's name, for the files' first comment
    QString formatReason; // why this layout, for the summary ("" when the user asked for it)
};

struct Result {
    QByteArray snmpYml;
    QByteArray prometheusYml;
    int agents = 0;
    int interfaces = 0;
    int jobs = 0;
    QStringList variables; // placeholders to set in the exporter's environment
    QStringList notes;     // lines left out, and why
    QStringList problems;  // usage errors: nothing may be written when any is here
};

// rows: the device file's lines after the split rule, in file order; encodings: how each line
// was read (see DeviceFile::readLines; System where it has no entry). A community is written
// as the bytes the poll sends for it; an agent whose community bytes are not UTF-8 text,
// which the exporter's file cannot carry, is left out with a note.
Result build(const QList<DeviceFile::Fields> &rows, const AgentProfiles &profiles,
             const Options &options, const QList<LineEncoding> &encodings = {});

// The exporter's spellings of the protocols; empty when the exporter has none for it.
QString exporterAuth(SnmpSecurity::Auth auth);
QString exporterPriv(SnmpSecurity::Priv priv);

} // namespace PrometheusExport
