#include "PortsReport.h"

#include "IfStatus.h"
#include "NumberFormat.h"
#include "RateFormat.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace PortsReport
{
namespace
{

double utilisation(const PortResult &port)
{
    return std::max(port.rates.inUtilisation.value_or(0), port.rates.outUtilisation.value_or(0));
}

QString percent(const std::optional<double> &value)
{
    return value ? QLocale().toString(*value, 'f', 1) + QStringLiteral(" %") : QStringLiteral("-");
}

QString count(const std::optional<std::uint64_t> &a, const std::optional<std::uint64_t> &b)
{
    if (!a && !b)
        return QStringLiteral("-");
    return QString::number(a.value_or(0) + b.value_or(0));
}

QString row(const QStringList &cells)
{
    // Index, name, state, speed, in, out, in %, out %, errors, discards, alias.
    static const int widths[] = {7, 16, 10, 11, 13, 13, 8, 8, 7, 9, 0};
    static const bool right[] = {true, false, false, true, true, true,
                                 true, true,  true,  true, false};
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const int width = i < qsizetype(std::size(widths)) ? widths[i] : 0;
        line += (right[i] ? cells[i].rightJustified(width) : cells[i].leftJustified(width)) +
                QLatin1Char(' ');
    }
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line + QLatin1Char('\n');
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString optionalNumber(const std::optional<std::uint64_t> &value)
{
    return value ? QString::number(*value) : QString();
}

QString optionalPercent(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'f', 2) : QString();
}

QString outcomeText(PortRates::Outcome outcome)
{
    switch (outcome) {
    case PortRates::Outcome::Good:
        return QStringLiteral("good");
    case PortRates::Outcome::First:
        return QStringLiteral("first");
    case PortRates::Outcome::Failed:
        break;
    }
    return QStringLiteral("failed");
}

QString heading(const DevicePoll &poll)
{
    const QString name = poll.sysName.isEmpty() ? poll.address
                                                : poll.sysName + QStringLiteral(" (") +
                                                      poll.address + QLatin1Char(')');
    return name + QStringLiteral(" at ") + poll.time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

bool parseSort(const QString &text, Sort *sort)
{
    static const std::pair<const char *, Sort> names[] = {{"in", Sort::In},
                                                          {"out", Sort::Out},
                                                          {"util", Sort::Util},
                                                          {"errors", Sort::Errors},
                                                          {"name", Sort::Name}};
    for (const auto &[name, value] : names) {
        if (text == QLatin1String(name)) {
            *sort = value;
            return true;
        }
    }
    return false;
}

QList<PortResult> sorted(const QList<PortResult> &ports, Sort sort)
{
    QList<PortResult> list = ports;
    std::stable_sort(list.begin(), list.end(), [](const PortResult &a, const PortResult &b) {
        return a.ifIndex < b.ifIndex;
    });
    const auto by = [&list](auto key) {
        std::stable_sort(list.begin(), list.end(),
                         [&key](const PortResult &a, const PortResult &b) { return key(a, b); });
    };
    switch (sort) {
    case Sort::Index:
        break;
    case Sort::In:
        by([](const PortResult &a, const PortResult &b) {
            return a.rates.inBitsPerSecond > b.rates.inBitsPerSecond;
        });
        break;
    case Sort::Out:
        by([](const PortResult &a, const PortResult &b) {
            return a.rates.outBitsPerSecond > b.rates.outBitsPerSecond;
        });
        break;
    case Sort::Util:
        by([](const PortResult &a, const PortResult &b) {
            return utilisation(a) > utilisation(b);
        });
        break;
    case Sort::Errors:
        by([](const PortResult &a, const PortResult &b) { return a.problems() > b.problems(); });
        break;
    case Sort::Name:
        by([](const PortResult &a, const PortResult &b) {
            return QString::localeAwareCompare(a.name, b.name) < 0;
        });
        break;
    }
    return list;
}

QString stateText(const PortResult &port)
{
    if (port.counters.adminStatus == 2)
        return QStringLiteral("admin down");
    return port.counters.operStatus ? ifStatusName(*port.counters.operStatus) : QStringLiteral("?");
}

QString table(const DevicePoll &poll, Sort sort)
{
    int up = 0;
    for (const PortResult &port : poll.ports)
        up += port.isUp() ? 1 : 0;
    using NumberFormat::counted;
    QString text =
        heading(poll) +
        QStringLiteral(": %1, %2 up; %3, %4\n")
            .arg(counted(poll.ports.size(), QStringLiteral("port"), QStringLiteral("ports")))
            .arg(up)
            .arg(counted(poll.roundTrips, QStringLiteral("round trip"),
                         QStringLiteral("round trips")),
                 counted(poll.datagrams, QStringLiteral("datagram"), QStringLiteral("datagrams")));
    for (const QString &note : poll.notes)
        text += QStringLiteral("  ") + note + QLatin1Char('\n');
    text += row({QStringLiteral("INDEX"), QStringLiteral("NAME"), QStringLiteral("STATE"),
                 QStringLiteral("SPEED"), QStringLiteral("IN"), QStringLiteral("OUT"),
                 QStringLiteral("IN %"), QStringLiteral("OUT %"), QStringLiteral("ERRORS"),
                 QStringLiteral("DISCARDS"), QStringLiteral("ALIAS")});
    for (const PortResult &port : sorted(poll.ports, sort)) {
        const bool good = port.rates.outcome == PortRates::Outcome::Good;
        const QString none = port.rates.outcome == PortRates::Outcome::First
                                 ? QStringLiteral("first")
                                 : QStringLiteral("-");
        text += row({QString::number(port.ifIndex), port.name, stateText(port),
                     port.speed ? RateFormat::speed(port.speed) : QStringLiteral("-"),
                     good ? RateFormat::bitRate(port.rates.inBitsPerSecond) : none,
                     good ? RateFormat::bitRate(port.rates.outBitsPerSecond) : none,
                     percent(port.rates.inUtilisation), percent(port.rates.outUtilisation),
                     count(port.rates.inErrorsDelta, port.rates.outErrorsDelta),
                     count(port.rates.inDiscardsDelta, port.rates.outDiscardsDelta), port.alias});
    }
    return text + QLatin1Char('\n');
}

QString silentLine(const DevicePoll &poll)
{
    return heading(poll) +
           QStringLiteral(": silent since %1 (%2)\n")
               .arg(poll.silentSince.toString(QStringLiteral("HH:mm:ss")), poll.problem);
}

QString csvHeader()
{
    return QStringLiteral("time,address,ifIndex,name,alias,admin,oper,speed,in_bps,out_bps,"
                          "in_util,out_util,in_errors,out_errors,in_discards,out_discards,"
                          "outcome,reason\n");
}

QString csvLines(const DevicePoll &poll, Sort sort)
{
    const QString time = poll.time.toString(Qt::ISODate);
    QString text;
    for (const PortResult &port : sorted(poll.ports, sort)) {
        const bool good = port.rates.outcome == PortRates::Outcome::Good;
        const PortCounters &c = port.counters;
        const QStringList fields = {
            time,
            csvField(poll.address),
            QString::number(port.ifIndex),
            csvField(port.name),
            csvField(port.alias),
            c.adminStatus ? ifStatusName(*c.adminStatus) : QString(),
            c.operStatus ? ifStatusName(*c.operStatus) : QString(),
            QString::number(port.speed),
            good ? QString::number(port.rates.inBitsPerSecond, 'f', 0) : QString(),
            good ? QString::number(port.rates.outBitsPerSecond, 'f', 0) : QString(),
            optionalPercent(port.rates.inUtilisation),
            optionalPercent(port.rates.outUtilisation),
            optionalNumber(port.rates.inErrorsDelta),
            optionalNumber(port.rates.outErrorsDelta),
            optionalNumber(port.rates.inDiscardsDelta),
            optionalNumber(port.rates.outDiscardsDelta),
            outcomeText(port.rates.outcome),
            csvField(port.rates.reason)};
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

} // namespace PortsReport
