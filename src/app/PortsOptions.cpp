#include "PortsOptions.h"

#include "DevicePoller.h"
#include "InterfaceDiscovery.h"
#include "PortsReport.h"
#include "SecurityOptions.h"
#include "SnmpHost.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace
{

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

// A whole number from min to max in plain decimal, or -1.
long long wholeNumber(const QString &text, long long min, long long max)
{
    const bool digits =
        !text.isEmpty() && text.size() <= 9 && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
    const long long value = digits ? text.toLongLong() : -1;
    return value >= min && value <= max ? value : -1;
}

constexpr int MaxIntervalSeconds = 3600;

} // namespace

PortsOptions::PortsOptions()
    : ports(QStringLiteral("ports"),
            QStringLiteral("Poll every port of the agent at ADDRESS and print their state, "
                           "rates, utilisation and errors after each poll."),
            QStringLiteral("ADDRESS")),
      m_interval(QStringLiteral("interval"),
                 QStringLiteral("--ports: seconds between polls (default 10)."),
                 QStringLiteral("SECONDS"), QStringLiteral("10")),
      m_count(QStringLiteral("count"),
              QStringLiteral("--ports: end after N reports (N + 1 polls; default: run until "
                             "interrupted)."),
              QStringLiteral("N")),
      m_format(QStringLiteral("format"), QStringLiteral("--ports: table or csv (default table)."),
               QStringLiteral("FORMAT"), QStringLiteral("table")),
      m_sort(QStringLiteral("sort"),
             QStringLiteral("--ports: in, out, util, errors (largest first) or name (default: "
                            "by ifIndex)."),
             QStringLiteral("ORDER"))
{
}

QList<QCommandLineOption> PortsOptions::options() const
{
    return {ports, m_interval, m_count, m_format, m_sort};
}

bool PortsOptions::anySet(const QCommandLineParser &parser) const
{
    return parser.isSet(m_interval) || parser.isSet(m_count) || parser.isSet(m_format) ||
           parser.isSet(m_sort);
}

int PortsOptions::run(const QCommandLineParser &parser, int (*usageError)(const QString &),
                      const QCommandLineOption &community, const QCommandLineOption &snmpVersion,
                      const SecurityOptions &security) const
{
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("--ports takes no device file."));
    DeviceAccess access;
    access.address = parser.value(ports);
    if (const QString problem = SnmpHost::problem(access.address); !problem.isEmpty())
        return usageError(problem);
    const auto version = parseSnmpVersion(parser.value(snmpVersion));
    if (!version)
        return usageError(QStringLiteral("--snmp-version must be auto, 1, 2c or 3."));
    access.version = *version;
    QString communityText = parser.value(community);
    if (access.version == SnmpVersion::V3) {
        QString error;
        const std::optional<SnmpSecurity> v3 = security.read(parser, &error);
        if (!v3)
            return usageError(error);
        access.security = std::make_shared<const SnmpSecurity>(*v3);
        if (!parser.isSet(community))
            communityText.clear();
    } else if (security.anySet(parser)) {
        return usageError(QStringLiteral("--user, --security-level, --auth-protocol, "
                                         "--priv-protocol and --context need --snmp-version 3."));
    }
    if (const QString problem = Discovery::communityProblem(communityText); !problem.isEmpty())
        return usageError(problem);
    access.community = communityText.toUtf8();

    const long long interval = wholeNumber(parser.value(m_interval), 1, MaxIntervalSeconds);
    if (interval < 0)
        return usageError(QStringLiteral("--interval must be a whole number of seconds from 1 "
                                         "to %1.")
                              .arg(MaxIntervalSeconds));
    long long reports = 0; // 0: until interrupted
    if (parser.isSet(m_count)) {
        reports = wholeNumber(parser.value(m_count), 1, 100000000);
        if (reports < 0)
            return usageError(QStringLiteral("--count must be a whole number above 0."));
    }
    const QString format = parser.value(m_format);
    if (format != QLatin1String("table") && format != QLatin1String("csv"))
        return usageError(QStringLiteral("--format must be table or csv."));
    const bool csv = format == QLatin1String("csv");
    PortsReport::Sort sort = PortsReport::Sort::Index;
    if (parser.isSet(m_sort) && !PortsReport::parseSort(parser.value(m_sort), &sort))
        return usageError(QStringLiteral("--sort must be in, out, util, errors or name."));

    DevicePoller poller;
    poller.setInterval(int(interval));
    poller.addDevice(access);
    int status = 0;
    long long printed = 0;
    bool first = true;
    if (csv)
        print(stdout, PortsReport::csvHeader());
    QObject::connect(&poller, &DevicePoller::devicePolled, &poller, [&](const DevicePoll &poll) {
        if (!poll.everAnswered) {
            // The agent never answered: nothing to watch.
            print(stderr, QStringLiteral("ostraline: %1\n").arg(poll.problem));
            status = 1;
            QCoreApplication::exit(1);
            return;
        }
        if (poll.answered && first) {
            // The first reading: rates need a second one.
            first = false;
            print(stderr, QStringLiteral("%1: %2 ports; rates after the next poll in %3 s.\n")
                              .arg(poll.address)
                              .arg(poll.ports.size())
                              .arg(interval));
            return;
        }
        if (csv)
            print(stdout, PortsReport::csvLines(poll, sort));
        else
            print(stdout,
                  poll.answered ? PortsReport::table(poll, sort) : PortsReport::silentLine(poll));
        if (reports > 0 && ++printed >= reports)
            QCoreApplication::exit(0);
    });
    poller.start();
    const int loop = QCoreApplication::exec();
    return status != 0 ? status : loop;
}
