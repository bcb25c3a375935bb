#include "PrometheusExport.h"

#include "IfMib.h"
#include "SnmpHost.h"
#include "YamlText.h"

#include <QSet>

#include <algorithm>

#include <optional>

namespace PrometheusExport
{
namespace
{

struct Column {
    const char *name;
    QByteArray oid;
    const char *type;
    const char *help;
};

QByteArray entry(IfMib::IfEntryColumn column)
{
    return oidText(IfMib::ifEntry(column)).toLatin1();
}

QByteArray xEntry(IfMib::IfXEntryColumn column)
{
    return oidText(IfMib::ifXEntry(column)).toLatin1();
}

// What the module walks and turns into metrics, with the SNMP exporter's IF-MIB names.
QList<Column> columns()
{
    using namespace IfMib;
    return {
        {"ifAdminStatus", entry(IfAdminStatus), "gauge", "The desired state of the interface"},
        {"ifOperStatus", entry(IfOperStatus), "gauge",
         "The current operational state of the interface"},
        {"ifInOctets", entry(IfInOctets), "counter", "Octets received on the interface"},
        {"ifInDiscards", entry(IfInDiscards), "counter",
         "Inbound packets discarded without an error"},
        {"ifInErrors", entry(IfInErrors), "counter", "Inbound packets with errors"},
        {"ifOutOctets", entry(IfOutOctets), "counter", "Octets sent out of the interface"},
        {"ifOutDiscards", entry(IfOutDiscards), "counter",
         "Outbound packets discarded without an error"},
        {"ifOutErrors", entry(IfOutErrors), "counter",
         "Outbound packets that could not be sent because of errors"},
        {"ifHCInOctets", xEntry(IfHCInOctets), "counter",
         "Octets received on the interface (64-bit)"},
        {"ifHCOutOctets", xEntry(IfHCOutOctets), "counter",
         "Octets sent out of the interface (64-bit)"},
        {"ifHighSpeed", xEntry(IfHighSpeed), "gauge",
         "The interface's current bandwidth in units of 1,000,000 bits per second"},
    };
}

// The labels every metric gets from the agent's own names, in this order.
QList<Column> lookups()
{
    using namespace IfMib;
    return {
        {"ifName", xEntry(IfName), "DisplayString", ""},
        {"ifAlias", xEntry(IfAlias), "DisplayString", ""},
        {"ifDescr", entry(IfDescr), "DisplayString", ""},
    };
}

constexpr char ModuleName[] = "ostraline_if";

// One way of reaching agents: the SNMP version and the community or the v3 user.
struct Credentials {
    int version = 2; // as the exporter counts: 1, 2 or 3
    QString community;
    SnmpSecurity security;

    bool operator==(const Credentials &) const = default;
};

struct CredentialSet {
    QString name; // "v2c_1", "v3_2", ...: no secret in it, it shows in job names
    Credentials credentials;
    QStringList targets;
};

QByteArray metricsBlock(const QByteArray &indent)
{
    QByteArray text = indent + "walk:\n";
    const QList<Column> metrics = columns();
    const QList<Column> labels = lookups();
    QList<QByteArray> walk;
    for (const Column &c : metrics + labels)
        walk.append(c.oid);
    for (const QByteArray &oid : walk)
        text += indent + "- " + oid + '\n';
    text += indent + "metrics:\n";
    for (const Column &c : metrics) {
        text += indent + "- name: " + c.name + '\n';
        text += indent + "  oid: " + c.oid + '\n';
        text += indent + "  type: " + c.type + '\n';
        text += indent + "  help: " +
                YamlText::quoted(QString::fromLatin1(c.help + QByteArray(" - ") + c.oid)) + '\n';
        text += indent + "  indexes:\n";
        text += indent + "  - labelname: ifIndex\n";
        text += indent + "    type: gauge\n";
        text += indent + "  lookups:\n";
        for (const Column &l : labels) {
            text += indent + "  - labels:\n";
            text += indent + "    - ifIndex\n";
            text += indent + "    labelname: " + l.name + '\n';
            text += indent + "    oid: " + l.oid + '\n';
            text += indent + "    type: " + l.type + '\n';
        }
    }
    return text;
}

QByteArray variableName(const QString &set, const char *what)
{
    return "OSTRALINE_" + set.toUpper().toLatin1() + '_' + what;
}

QByteArray authBlock(const CredentialSet &set, const QByteArray &indent, bool includeSecrets,
                     QStringList *variables)
{
    const Credentials &c = set.credentials;
    if (c.version != 3)
        return indent + "community: " + YamlText::quoted(c.community) + '\n';
    const SnmpSecurity &s = c.security;
    const auto secret = [&](const QByteArray &bytes, const char *what) -> QByteArray {
        if (includeSecrets)
            return YamlText::quoted(QString::fromUtf8(bytes));
        const QByteArray name = variableName(set.name, what);
        variables->append(QString::fromLatin1(name));
        return "\"${" + name + "}\"";
    };
    QByteArray text = indent + "username: " + YamlText::quoted(s.user) + '\n';
    text += indent + "security_level: " + s.levelText(s.level).toLatin1() + '\n';
    if (s.level != SnmpSecurity::Level::NoAuthNoPriv) {
        text += indent + "password: " + secret(s.authPassphrase, "AUTH_PASSPHRASE") + '\n';
        text += indent + "auth_protocol: " + exporterAuth(s.auth).toLatin1() + '\n';
    }
    if (s.level == SnmpSecurity::Level::AuthPriv) {
        text += indent + "priv_protocol: " + exporterPriv(s.priv).toLatin1() + '\n';
        text += indent + "priv_password: " + secret(s.privPassphrase, "PRIV_PASSPHRASE") + '\n';
    }
    if (!s.context.isEmpty())
        text += indent + "context_name: " + YamlText::quoted(s.context) + '\n';
    return text;
}

QByteArray jobBlock(const CredentialSet &set, const Options &options)
{
    const bool current = options.format == Format::Current;
    const QByteArray module =
        current ? QByteArray(ModuleName) : ModuleName + QByteArray("_") + set.name.toLatin1();
    QByteArray text =
        "  - job_name: " + YamlText::quoted(QStringLiteral("ostraline_if_") + set.name) +
        "\n"
        "    metrics_path: /snmp\n"
        "    params:\n"
        "      module:\n"
        "      - " +
        module + '\n';
    if (current)
        text += "      auth:\n      - ostraline_" + set.name.toLatin1() + '\n';
    text += "    static_configs:\n"
            "    - targets:\n";
    for (const QString &target : set.targets)
        text += "      - " + YamlText::quoted(target) + '\n';
    text += "    relabel_configs:\n"
            "    - source_labels: [__address__]\n"
            "      target_label: __param_target\n"
            "    - source_labels: [__param_target]\n"
            "      target_label: instance\n"
            "    - target_label: __address__\n"
            "      replacement: " +
            YamlText::quoted(options.exporter) + '\n';
    return text;
}

} // namespace

QString exporterAuth(SnmpSecurity::Auth auth)
{
    switch (auth) {
    case SnmpSecurity::Auth::MD5:
        return QStringLiteral("MD5");
    case SnmpSecurity::Auth::SHA1:
        return QStringLiteral("SHA");
    case SnmpSecurity::Auth::SHA224:
        return QStringLiteral("SHA224");
    case SnmpSecurity::Auth::SHA256:
        return QStringLiteral("SHA256");
    case SnmpSecurity::Auth::SHA384:
        return QStringLiteral("SHA384");
    case SnmpSecurity::Auth::SHA512:
        return QStringLiteral("SHA512");
    }
    return {};
}

QString exporterPriv(SnmpSecurity::Priv priv)
{
    switch (priv) {
    case SnmpSecurity::Priv::DES:
        return QStringLiteral("DES");
    case SnmpSecurity::Priv::AES128:
        return QStringLiteral("AES");
    case SnmpSecurity::Priv::AES192:
        return QStringLiteral("AES192");
    case SnmpSecurity::Priv::AES256:
        return QStringLiteral("AES256");
    }
    return {};
}

Result build(const QList<DeviceFile::Fields> &rows, const AgentProfiles &profiles,
             const Options &options, const QList<LineEncoding> &encodings)
{
    Result result;
    QList<CredentialSet> sets;
    QSet<QString> agents;
    QSet<QString> leftOut; // agents whose credentials the exporter's file cannot carry
    int setsOfVersion[4] = {};
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const DeviceFile::Fields &row = rows[i];
        const QString line = QString::number(i + 1);
        if (!SnmpHost::parse(row.ip).isValid()) {
            result.notes.append(QStringLiteral("line %1: \"%2\" is not an agent address; left out")
                                    .arg(line, row.ip));
            continue;
        }
        if (leftOut.contains(row.ip))
            continue;
        ++result.interfaces;
        if (agents.contains(row.ip))
            continue;
        agents.insert(row.ip);

        Credentials credentials;
        const AgentProfile *profile = profiles.find(row.ip);
        if (profile && profile->version == AgentProfile::Version::V3) {
            const SnmpSecurity &s = profile->security;
            if (!s.isUsable()) {
                result.problems.append(
                    QStringLiteral("%1: its SNMP v3 profile is incomplete (a user, and the "
                                   "passphrases its security level needs)")
                        .arg(row.ip));
                continue;
            }
            const bool auth = s.level != SnmpSecurity::Level::NoAuthNoPriv;
            const bool priv = s.level == SnmpSecurity::Level::AuthPriv;
            if ((auth && exporterAuth(s.auth).isEmpty()) ||
                (priv && exporterPriv(s.priv).isEmpty())) {
                result.problems.append(QStringLiteral("%1: the SNMP exporter has no %2")
                                           .arg(row.ip, auth && exporterAuth(s.auth).isEmpty()
                                                            ? SnmpSecurity::authText(s.auth)
                                                            : SnmpSecurity::privText(s.priv)));
                continue;
            }
            if (options.includeSecrets &&
                (QString::fromUtf8(s.authPassphrase).toUtf8() != s.authPassphrase ||
                 QString::fromUtf8(s.privPassphrase).toUtf8() != s.privPassphrase)) {
                result.problems.append(QStringLiteral("%1: a passphrase of its SNMP v3 profile "
                                                      "is not UTF-8 text, which the exporter's "
                                                      "file cannot hold")
                                           .arg(row.ip));
                continue;
            }
            credentials.version = 3;
            credentials.security = s;
        } else {
            if (row.community.isEmpty()) {
                result.problems.append(
                    QStringLiteral("%1: no community in the device file and no SNMP v3 profile")
                        .arg(row.ip));
                continue;
            }
            // The exporter must send the bytes the poll sends: those of the line's encoding.
            const LineEncoding encoding =
                i < encodings.size() ? encodings[i] : LineEncoding::System;
            const QByteArray bytes = TextEncoding::encode(row.community, encoding);
            const QString text = QString::fromUtf8(bytes);
            if (YamlText::unquote(YamlText::quoted(text)) != bytes) {
                result.notes.append(
                    QStringLiteral("%1: the poll sends its community as the bytes %2, which are "
                                   "not UTF-8 text and so cannot be written for the SNMP "
                                   "exporter; left out")
                        .arg(row.ip, QString::fromLatin1(bytes.toHex(' '))));
                leftOut.insert(row.ip);
                agents.remove(row.ip);
                --result.interfaces;
                continue;
            }
            credentials.version = profile && profile->version == AgentProfile::Version::V1 ? 1 : 2;
            credentials.community = text;
        }

        auto set = std::find_if(sets.begin(), sets.end(), [&](const CredentialSet &s) {
            return s.credentials == credentials;
        });
        if (set == sets.end()) {
            CredentialSet added;
            added.credentials = credentials;
            static const char *const prefix[] = {"", "v1_", "v2c_", "v3_"};
            added.name = QLatin1String(prefix[credentials.version]) +
                         QString::number(++setsOfVersion[credentials.version]);
            sets.append(added);
            set = sets.end() - 1;
        }
        set->targets.append(row.ip);
    }
    result.agents = int(agents.size());
    result.jobs = int(sets.size());
    if (!result.problems.isEmpty())
        return result;

    const QByteArray header = "# Written by ostraline --export-prometheus from " +
                              YamlText::commentText(options.source) + ".\n";
    const bool current = options.format == Format::Current;
    QByteArray snmp = header;
    if (current) {
        snmp += "auths:\n";
        for (const CredentialSet &set : sets) {
            snmp += "  ostraline_" + set.name.toLatin1() + ":\n";
            snmp += "    version: " + QByteArray::number(set.credentials.version) + '\n';
            snmp += authBlock(set, "    ", options.includeSecrets, &result.variables);
        }
        snmp += "modules:\n  " + QByteArray(ModuleName) + ":\n" + metricsBlock("    ");
    } else {
        for (const CredentialSet &set : sets) {
            snmp += ModuleName + QByteArray("_") + set.name.toLatin1() + ":\n";
            snmp += metricsBlock("  ");
            snmp += "  version: " + QByteArray::number(set.credentials.version) + '\n';
            snmp += "  auth:\n" + authBlock(set, "    ", options.includeSecrets, &result.variables);
        }
    }
    result.snmpYml = snmp;

    QByteArray prometheus = header +
                            "# The SNMP exporter: " + YamlText::commentText(options.exporter) +
                            ".\nscrape_configs:\n";
    for (const CredentialSet &set : sets)
        prometheus += jobBlock(set, options);
    result.prometheusYml = prometheus;
    return result;
}

} // namespace PrometheusExport
