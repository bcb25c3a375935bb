#include "CommandLine.h"

#include "AgentProfileFile.h"
#include "AgentProfileStore.h"
#include "ApplicationIdentity.h"
#include "Calculation.h"
#include "DeviceFileWriter.h"
#include "ErrorReport.h"
#include "ExportOptions.h"
#include "InterfaceDiscovery.h"
#include "PortsOptions.h"
#include "RateFormat.h"
#include "SecurityOptions.h"
#include "SnmpHost.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cstdio>

namespace CommandLine
{
namespace
{

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

QString shortUsage()
{
    return QStringLiteral("Usage: ostraline [DEVICE-FILE]\n"
                          "       ostraline --discover ADDRESS [--community TEXT] "
                          "[--snmp-version auto|1|2c] [--up-only] [--output FILE] "
                          "[--default-bandwidth BITS] [--save-profile] [--timeout SECONDS]\n"
                          "       ostraline --discover ADDRESS --snmp-version 3 --user NAME "
                          "[--security-level LEVEL] [--auth-protocol PROTOCOL] "
                          "[--priv-protocol PROTOCOL] [--context NAME] ...\n"
                          "       ostraline --export-prometheus DEVICE-FILE --output-dir DIR "
                          "[--exporter HOST:PORT] [--snmp-exporter-format current|0.21] "
                          "[--include-secrets]\n"
                          "       ostraline --ports ADDRESS [--community TEXT | --snmp-version 3 "
                          "--user NAME ...] [--interval SECONDS] [--count N] "
                          "[--format table|csv] [--sort in|out|util|errors|name]\n"
                          "Try 'ostraline --help' for more.\n");
}

int usageError(const QString &message)
{
    print(stderr, QStringLiteral("ostraline: ") + message + QLatin1Char('\n') + shortUsage());
    return 2;
}

// One row of the table on standard error.
QString tableRow(const QStringList &cells)
{
    static const int widths[] = {6, 20, 24, 9, 13, 22, 6};
    QString row;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const int width = i < qsizetype(std::size(widths)) ? widths[i] : 0;
        row += cells[i].leftJustified(width) + QLatin1Char(' ');
    }
    while (row.endsWith(QLatin1Char(' ')))
        row.chop(1);
    return row + QLatin1Char('\n');
}

// The discovery table is written in pieces of about this many characters.
constexpr qsizetype ReportChunk = 32 * 1024;

// A day: longer is no deadline any more, and the milliseconds stay within an int.
constexpr int MaxTimeoutSeconds = 86400;

struct Options {
    QString address;
    QString community;
    SnmpVersion version = SnmpVersion::Auto;
    bool upOnly = false;
    QString output;
    quint64 defaultBandwidth = 0;
    std::shared_ptr<const SnmpSecurity> security; // --snmp-version 3
    bool saveProfile = false;
    int timeoutSeconds = 60; // the whole walk's deadline
};

// Stores the settings the agent answered to as its profile, beside the window's settings.
bool saveProfile(const Options &options, SnmpVersion answered)
{
    AgentProfile profile;
    profile.address = options.address;
    switch (answered) {
    case SnmpVersion::V1:
        profile.version = AgentProfile::Version::V1;
        break;
    case SnmpVersion::Auto:
    case SnmpVersion::V2c:
        profile.version = AgentProfile::Version::V2c;
        break;
    case SnmpVersion::V3:
        profile.version = AgentProfile::Version::V3;
        profile.security = *options.security;
        break;
    }
    const QString path = AgentProfileFile::defaultPath();
    AgentProfileStore store(path);
    QString error;
    if (!store.change([&](AgentProfiles &profiles) { profiles.set(profile); }, &error)) {
        print(stderr, error + QStringLiteral("\nNo profile was saved.\n"));
        return false;
    }
    print(stderr, QStringLiteral("SNMP v%1 profile of %2 saved to %3\n")
                      .arg(AgentProfile::versionText(profile.version), options.address,
                           QDir::toNativeSeparators(path)));
    return true;
}

int writeLines(const Options &options, const DiscoveryResult &result);

int discover(const Options &options)
{
    InterfaceDiscovery discovery;
    DiscoveryResult result;
    QObject::connect(&discovery, &InterfaceDiscovery::finished, &discovery,
                     [&result](const DiscoveryResult &r) {
                         result = r;
                         QCoreApplication::quit();
                     });
    discovery.setDeadlineMs(options.timeoutSeconds * 1000);
    discovery.start(options.address, options.community, options.version, options.security);
    QCoreApplication::exec();

    if (!result.answered) {
        print(stderr, result.message + QLatin1Char('\n'));
        if (options.saveProfile)
            print(stderr, QStringLiteral("No profile was saved.\n"));
        return 1;
    }
    // The lines and the profile are two results of one walk: a profile file that cannot be
    // read or written costs the profile, not the lines.
    int status = writeLines(options, result);
    if (options.saveProfile && !saveProfile(options, result.version))
        status = 1;
    return status;
}

int writeLines(const Options &options, const DiscoveryResult &result)
{
    // One multi-argument arg(): a "%" in the agent's sysName is not taken for a placeholder.
    QString report =
        QStringLiteral("%1 (SNMP v%2%3): %4 interfaces\n")
            .arg(result.address, snmpVersionText(result.version),
                 result.sysName.isEmpty() ? QString() : QStringLiteral(", ") + result.sysName,
                 QString::number(result.interfaces.size()));
    report +=
        tableRow({QStringLiteral("Index"), QStringLiteral("Name"), QStringLiteral("Alias"),
                  QStringLiteral("Type"), QStringLiteral("Speed"), QStringLiteral("Admin/oper"),
                  QStringLiteral("64-bit"), QStringLiteral("Chosen")});
    QStringList lines;
    int unknown = 0;
    // The lines come in the window's pre-check order, so the first 20 are the ones it checks.
    for (DiscoveredInterface entry : Discovery::inCheckOrder(result.interfaces)) {
        QString chosen;
        if (options.upOnly && entry.operStatus != 1) {
            chosen = QStringLiteral("no: not up");
        } else if (entry.bandwidth == 0 && options.defaultBandwidth == 0) {
            chosen = QStringLiteral("no: bandwidth unknown");
            ++unknown;
        } else {
            chosen = QStringLiteral("yes");
            if (entry.bandwidth == 0) {
                entry.bandwidth = options.defaultBandwidth;
                chosen = QStringLiteral("yes, default bandwidth");
            }
            lines.append(Discovery::deviceLine(options.address, entry, options.community));
        }
        report +=
            tableRow({QString::number(entry.index), entry.name, entry.alias,
                      Discovery::typeName(entry.type), RateFormat::speed(entry.bandwidth),
                      Discovery::statusName(entry.adminStatus) + QLatin1Char('/') +
                          Discovery::statusName(entry.operStatus),
                      entry.counters64 ? QStringLiteral("yes") : QStringLiteral("no"), chosen});
        // The table goes out as it is made: 10,000 rows of 255-character names held whole
        // (and again in the encoding of the output) would cost tens of megabytes at once.
        if (report.size() >= ReportChunk) {
            print(stderr, report);
            report.clear();
        }
    }
    print(stderr, report);
    for (const QString &warning : result.warnings)
        print(stderr, QStringLiteral("Note: ") + warning + QLatin1Char('\n'));
    if (!result.message.isEmpty())
        print(stderr, QStringLiteral("Note: ") + result.message + QLatin1Char('\n'));
    if (unknown > 0) {
        print(stderr, unknown == 1
                          ? QStringLiteral("Note: 1 interface with an unknown bandwidth was left "
                                           "out; give --default-bandwidth BITS to write it.\n")
                          : QStringLiteral("Note: %1 interfaces with an unknown bandwidth were "
                                           "left out; give --default-bandwidth BITS to write "
                                           "them.\n")
                                .arg(unknown));
    }
    if (lines.isEmpty()) {
        print(stderr, QStringLiteral("No interface was written.\n"));
        return 1;
    }
    print(stderr, QStringLiteral("Note: lines are in the order the window checks interfaces: "
                                 "the up to %1 it checks first (up and neither loopback, "
                                 "virtual nor null, the fastest first) by index, then the "
                                 "others by index; the first %1 are polled.\n")
                      .arg(Discovery::MaxPolled));
    if (options.output.isEmpty() || options.output == QLatin1String("-")) {
        QString text;
        for (const QString &line : lines)
            text += line + QLatin1Char('\n');
        print(stdout, text);
    } else {
        try {
            DeviceFileWriter::write(options.output, lines);
        } catch (const OstralineError &error) {
            print(stderr, error.message() + QLatin1Char('\n'));
            return 1;
        }
        print(stderr, lines.size() == 1
                          ? QStringLiteral("1 line written to %1\n").arg(options.output)
                          : QStringLiteral("%1 lines written to %2\n")
                                .arg(QString::number(lines.size()), options.output));
    }
    // Only once they are written: a failed write must not read as lines written.
    if (lines.size() > Discovery::MaxPolled) {
        print(stderr, QStringLiteral("Note: %1 lines written; only the first %2 are polled "
                                     "when the file is loaded.\n")
                          .arg(lines.size())
                          .arg(Discovery::MaxPolled));
    }
    return 0;
}

} // namespace

Arguments splitQtOptions(const QStringList &arguments)
{
    // The options QGuiApplication and QApplication take themselves.
    static const QStringList withValue{
        QStringLiteral("style"),         QStringLiteral("stylesheet"),
        QStringLiteral("platform"),      QStringLiteral("qwindowgeometry"),
        QStringLiteral("display"),       QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"),
        QStringLiteral("qwindowtitle"),  QStringLiteral("qwindowicon"),
        QStringLiteral("session"),       QStringLiteral("widgetcount")};
    static const QStringList withoutValue{QStringLiteral("reverse")};

    Arguments split;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--")) {
            split.own += arguments.mid(i);
            break;
        }
        QStringView name(argument);
        if (name.startsWith(u"--"))
            name = name.mid(2);
        else if (name.startsWith(u'-'))
            name = name.mid(1);
        else
            name = {};
        const qsizetype equals = name.indexOf(u'=');
        const QStringView bare = equals < 0 ? name : name.left(equals);
        if (!bare.isEmpty() && withValue.contains(bare)) {
            if (equals >= 0) {
                split.qt << argument;
                continue;
            }
            if (i + 1 < arguments.size()) {
                split.qt << argument << arguments.at(i + 1);
                ++i;
                continue;
            }
        } else if (!bare.isEmpty() && equals < 0 && withoutValue.contains(bare)) {
            split.qt << argument;
            continue;
        }
        split.own << argument;
    }
    return split;
}

std::optional<QString> windowArgument(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return QString();
    if (arguments.first() == QLatin1String("--"))
        return arguments.value(1);
    // A lone "-" is no file name either (it would stand for standard input elsewhere).
    for (const QString &argument : arguments) {
        if (argument.startsWith(QLatin1Char('-')))
            return std::nullopt;
    }
    return arguments.first();
}

int run(int &argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ApplicationIdentity::apply();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Traffic monitor for up to 20 interfaces read over SNMP.\n"
                       "With a device file (or none) it opens the window. With --discover it "
                       "walks an agent's interface tables and writes device-file lines "
                       "(address;index;bandwidth;community;description) to standard output, "
                       "with a table of what it found on standard error; no window and no "
                       "display are needed. Exit status: 0 lines written, 1 no answer or "
                       "nothing written, 2 bad usage.\n"
                       "With --export-prometheus it writes snmp.yml for the SNMP exporter and "
                       "a prometheus.yml scrape configuration for the device file's agents "
                       "into --output-dir, and a summary to standard error. Exit status: 0 "
                       "written, 1 nothing could be written, 2 bad usage or an agent that "
                       "cannot be exported.\n"
                       "With --ports it polls every port of an agent and prints their state, "
                       "rates, utilisation and errors after each poll (the first after two "
                       "readings), also while the window runs. Exit status: 0 done, 1 the "
                       "agent never answered, 2 bad usage.\n"

                       "Qt's own options (-style, -stylesheet, -platform, -reverse, "
                       "-qwindowgeometry, -display) may come before the device file."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    const QCommandLineOption discoverOption(
        QStringLiteral("discover"),
        QStringLiteral("Discover the interfaces of the agent at ADDRESS (host, IPv4 or [IPv6], "
                       "optionally :port)."),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption community(QStringLiteral("community"),
                                       QStringLiteral("SNMP community (default: public)."),
                                       QStringLiteral("TEXT"), QStringLiteral("public"));
    const QCommandLineOption snmpVersion(
        QStringLiteral("snmp-version"),
        QStringLiteral("auto (v2c, else v1), 1, 2c or 3 (default: auto). Version 3 takes the "
                       "passphrases from the environment variables %1 and %2.")
            .arg(QLatin1String(SecurityOptions::AuthPassphraseVariable),
                 QLatin1String(SecurityOptions::PrivPassphraseVariable)),
        QStringLiteral("VERSION"), QStringLiteral("auto"));
    const QCommandLineOption upOnly(QStringLiteral("up-only"),
                                    QStringLiteral("Write only interfaces that are up."));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Write the device file FILE instead of "
                                                   "standard output (\"-\": standard output)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption defaultBandwidth(
        QStringLiteral("default-bandwidth"),
        QStringLiteral("Bandwidth in bit/s for interfaces whose speed the agent does not know "
                       "(otherwise they are left out)."),
        QStringLiteral("BITS"));
    const QCommandLineOption saveProfileOption(
        QStringLiteral("save-profile"),
        QStringLiteral("When the agent answers, store its version (and the v3 settings with "
                       "their passphrases) as its agent profile, which the window polls it "
                       "with."));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("End the walk after SECONDS (default 60) with the interfaces read so "
                       "far."),
        QStringLiteral("SECONDS"));
    const SecurityOptions securityOptions;
    parser.addOptions({help, version, discoverOption, community, snmpVersion});
    parser.addOptions(securityOptions.options());
    parser.addOptions({upOnly, output, defaultBandwidth, saveProfileOption, timeout});
    const ExportOptions exportOptions;
    parser.addOptions(exportOptions.options());
    const PortsOptions portsOptions;
    parser.addOptions(portsOptions.options());
    parser.addPositionalArgument(QStringLiteral("device-file"),
                                 QStringLiteral("Device file to open in the window."),
                                 QStringLiteral("[device-file]"));

    // Qt's window options mean nothing here and are not the program's to refuse.
    QStringList arguments = QCoreApplication::arguments();
    arguments = QStringList{arguments.value(0)} + splitQtOptions(arguments.mid(1)).own;
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QCoreApplication::applicationName() + QLatin1Char(' ') +
                          QCoreApplication::applicationVersion() + QLatin1Char('\n'));
        return 0;
    }
    if (parser.isSet(exportOptions.exportPrometheus)) {
        if (parser.isSet(discoverOption))
            return usageError(QStringLiteral("--export-prometheus and --discover are two commands; "
                                             "give one."));
        return exportOptions.run(parser, usageError);
    }
    if (parser.isSet(portsOptions.ports)) {
        if (parser.isSet(discoverOption))
            return usageError(QStringLiteral("--ports and --discover are two commands; give one."));
        return portsOptions.run(parser, usageError, community, snmpVersion, securityOptions);
    }
    if (portsOptions.anySet(parser))
        return usageError(QStringLiteral("--interval, --count, --format and --sort need --ports."));
    if (exportOptions.anySet(parser))
        return usageError(QStringLiteral("--output-dir, --exporter, --snmp-exporter-format and "
                                         "--include-secrets need --export-prometheus."));
    if (!parser.isSet(discoverOption) && parser.positionalArguments().contains(QLatin1String("-")))
        return usageError(QStringLiteral("\"-\" is no device file; open a file of that name with "
                                         "'ostraline -- -'."));
    if (!parser.isSet(discoverOption))
        return usageError(QStringLiteral("these options need --discover ADDRESS, --ports ADDRESS "
                                         "or --export-prometheus DEVICE-FILE."));
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("--discover takes no device file; use --output FILE."));

    Options options;
    options.address = parser.value(discoverOption);
    if (const QString problem = SnmpHost::problem(options.address); !problem.isEmpty())
        return usageError(problem);
    options.community = parser.value(community);
    const auto parsedVersion = parseSnmpVersion(parser.value(snmpVersion));
    if (!parsedVersion)
        return usageError(QStringLiteral("--snmp-version must be auto, 1, 2c or 3."));
    options.version = *parsedVersion;
    if (options.version == SnmpVersion::V3) {
        QString error;
        const std::optional<SnmpSecurity> security = securityOptions.read(parser, &error);
        if (!security)
            return usageError(error);
        options.security = std::make_shared<const SnmpSecurity>(*security);
        // The community is not sent; the device file's community field stays empty unless
        // one is given.
        if (!parser.isSet(community))
            options.community.clear();
    } else if (securityOptions.anySet(parser)) {
        return usageError(QStringLiteral("--user, --security-level, --auth-protocol, "
                                         "--priv-protocol and --context need --snmp-version 3."));
    }
    if (const QString problem = Discovery::communityProblem(options.community); !problem.isEmpty())
        return usageError(problem);
    options.upOnly = parser.isSet(upOnly);
    options.saveProfile = parser.isSet(saveProfileOption);
    options.output = parser.value(output);
    if (parser.isSet(output) && options.output.isEmpty())
        return usageError(QStringLiteral("--output needs a file name."));
    if (parser.isSet(defaultBandwidth)) {
        bool ok = false;
        const QString text = parser.value(defaultBandwidth);
        options.defaultBandwidth = text.toULongLong(&ok);
        const bool digits = !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        if (!ok || !digits || options.defaultBandwidth == 0)
            return usageError(
                QStringLiteral("--default-bandwidth must be a whole number of bit/s above 0."));
        if (options.defaultBandwidth > quint64(Calculation::MaxBandwidth))
            return usageError(QStringLiteral("--default-bandwidth must be at most %1 bit/s.")
                                  .arg(Calculation::MaxBandwidth));
    }
    if (parser.isSet(timeout)) {
        const QString text = parser.value(timeout);
        bool ok = false;
        const int seconds = text.toInt(&ok);
        const bool digits = !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        if (!ok || !digits || seconds < 1 || seconds > MaxTimeoutSeconds)
            return usageError(QStringLiteral("--timeout must be a whole number of seconds from 1 "
                                             "to %1.")
                                  .arg(MaxTimeoutSeconds));
        options.timeoutSeconds = seconds;
    }
    return discover(options);
}

} // namespace CommandLine
