#include "InterfaceDiscovery.h"

#include "IfMib.h"
#include "IfStatus.h"

#include <algorithm>

#include <QMap>
#include <QStringDecoder>

#include <limits>

namespace Discovery
{
namespace
{

enum Column { Descr, Type, Speed, Admin, Oper, Name, HcIn, HighSpeed, Alias, ColumnCount };

constexpr quint64 SpeedCeiling = std::numeric_limits<quint32>::max();

} // namespace

QList<WalkColumn> columns()
{
    return {
        {IfMib::ifEntry(IfMib::IfDescr), SnmpValue::OctetString, QStringLiteral("ifDescr")},
        {IfMib::ifEntry(IfMib::IfType), SnmpValue::Integer, QStringLiteral("ifType")},
        {IfMib::ifEntry(IfMib::IfSpeed), SnmpValue::Gauge32, QStringLiteral("ifSpeed")},
        {IfMib::ifEntry(IfMib::IfAdminStatus), SnmpValue::Integer, QStringLiteral("ifAdminStatus")},
        {IfMib::ifEntry(IfMib::IfOperStatus), SnmpValue::Integer, QStringLiteral("ifOperStatus")},
        {IfMib::ifXEntry(IfMib::IfName), SnmpValue::OctetString, QStringLiteral("ifName")},
        {IfMib::ifXEntry(IfMib::IfHCInOctets), SnmpValue::Counter64,
         QStringLiteral("ifHCInOctets")},
        {IfMib::ifXEntry(IfMib::IfHighSpeed), SnmpValue::Gauge32, QStringLiteral("ifHighSpeed")},
        {IfMib::ifXEntry(IfMib::IfAlias), SnmpValue::OctetString, QStringLiteral("ifAlias")},
    };
}

WalkRequest request(const QString &address, const QString &community, SnmpVersion version,
                    std::shared_ptr<const SnmpSecurity> security)
{
    WalkRequest request;
    request.host = address;
    request.community = community;
    request.version = version;
    request.security = std::move(security);
    request.scalars = {IfMib::sysName0()};
    request.columns = columns();
    return request;
}

QString displayText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    // Invisible format characters go: a bidirectional override (U+202A-U+202E, U+2066-U+2069)
    // or a zero-width character (U+200B-U+200F) would make a name read as another one in a
    // caption, a table, a device file or a terminal.
    QString shown;
    shown.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (QChar::category(c) == QChar::Other_Format)
            continue;
        if (QChar::category(c) == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            shown.append(QLatin1Char(' '));
        else
            shown.append(QStringView(QChar::fromUcs4(c)));
    }
    text = shown;
    // Many agents pad or end their texts with NULs, now blanks.
    while (!text.isEmpty() && text.back() == QLatin1Char(' '))
        text.chop(1);
    return text;
}

QList<DiscoveredInterface> interfaces(const WalkResult &walk)
{
    QMap<quint32, DiscoveredInterface> byIndex;
    QMap<quint32, quint64> speeds, highSpeeds;
    for (int c = 0; c < walk.columns.size() && c < ColumnCount; ++c) {
        for (const WalkRow &row : walk.columns[c]) {
            if (row.suffix.size() != 1)
                continue; // not an ifIndex row
            const quint32 index = row.suffix.front();
            DiscoveredInterface &entry = byIndex[index];
            entry.index = index;
            const SnmpValue &v = row.value;
            switch (c) {
            case Descr:
                entry.descr = displayText(v.bytes);
                break;
            case Type:
                entry.type = static_cast<int>(v.integer);
                break;
            case Speed:
                speeds[index] = v.number;
                break;
            case Admin:
                entry.adminStatus = static_cast<int>(v.integer);
                break;
            case Oper:
                entry.operStatus = static_cast<int>(v.integer);
                break;
            case Name:
                entry.name = displayText(v.bytes);
                break;
            case HcIn:
                entry.counters64 = true;
                break;
            case HighSpeed:
                highSpeeds[index] = v.number;
                break;
            case Alias:
                entry.alias = displayText(v.bytes);
                break;
            default:
                break;
            }
        }
    }
    QList<DiscoveredInterface> result;
    result.reserve(byIndex.size());
    for (DiscoveredInterface &entry : byIndex) {
        if (entry.name.isEmpty())
            entry.name = entry.descr;
        const auto speed = speeds.constFind(entry.index);
        const auto high = highSpeeds.constFind(entry.index);
        entry.bandwidth =
            bandwidth(speed == speeds.cend() ? std::nullopt : std::optional<quint64>(*speed),
                      high == highSpeeds.cend() ? std::nullopt : std::optional<quint64>(*high));
        result.append(entry);
    }
    return result;
}

quint64 bandwidth(std::optional<quint64> ifSpeed, std::optional<quint64> ifHighSpeed)
{
    const quint64 speed = ifSpeed.value_or(0);
    if (!ifHighSpeed || *ifHighSpeed == 0)
        return speed;
    const quint64 product = *ifHighSpeed * 1000000u;
    // ifHighSpeed is rounded to whole megabits: n stands for n - 0.5 to n + 0.5 Mbit/s, so an
    // exact ifSpeed inside that range (1,544,000 for a T1 reported as 2) is kept.
    const quint64 lowest = product - 500000u;
    if (!ifSpeed || speed >= SpeedCeiling || speed < lowest)
        return product;
    return speed;
}

bool isPreChecked(const DiscoveredInterface &entry)
{
    // softwareLoopback (24), propVirtual (53), tunnel (131)
    const bool loopbackOrVirtual = entry.type == 24 || entry.type == 53 || entry.type == 131;
    // A null interface (a router's discard sink, "Null0") is typed other (1) and always up.
    const auto isNull = [](const QString &text) {
        return text.startsWith(QStringLiteral("null"), Qt::CaseInsensitive);
    };
    const bool null = entry.type == 1 && (isNull(entry.name) || isNull(entry.descr));
    return entry.operStatus == IfStatus::Up && !loopbackOrVirtual && !null;
}

QList<bool> preCheckSelection(const QList<DiscoveredInterface> &interfaces)
{
    QList<qsizetype> candidates;
    for (qsizetype i = 0; i < interfaces.size(); ++i) {
        if (isPreChecked(interfaces[i]))
            candidates.append(i);
    }
    std::stable_sort(candidates.begin(), candidates.end(), [&](qsizetype a, qsizetype b) {
        const DiscoveredInterface &x = interfaces[a], &y = interfaces[b];
        if (x.bandwidth != y.bandwidth)
            return x.bandwidth > y.bandwidth;
        return x.index < y.index;
    });
    QList<bool> selected(interfaces.size(), false);
    for (qsizetype i = 0; i < candidates.size() && i < MaxPolled; ++i)
        selected[candidates[i]] = true;
    return selected;
}

QList<DiscoveredInterface> inCheckOrder(const QList<DiscoveredInterface> &interfaces)
{
    const QList<bool> selected = preCheckSelection(interfaces);
    QList<qsizetype> order;
    for (qsizetype i = 0; i < interfaces.size(); ++i)
        order.append(i);
    const auto group = [&](qsizetype i) {
        return selected[i] ? 0 : isPreChecked(interfaces[i]) ? 1 : 2;
    };
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        if (group(a) != group(b))
            return group(a) < group(b);
        return interfaces[a].index < interfaces[b].index;
    });
    QList<DiscoveredInterface> ordered;
    ordered.reserve(interfaces.size());
    for (const qsizetype i : std::as_const(order))
        ordered.append(interfaces[i]);
    return ordered;
}

QString description(const DiscoveredInterface &entry)
{
    if (entry.alias.isEmpty())
        return entry.name;
    return entry.name + QStringLiteral(" - ") + entry.alias;
}

QString deviceLine(const QString &address, const DiscoveredInterface &entry,
                   const QString &community)
{
    const QChar sep = QLatin1Char(';');
    return address + sep + QString::number(entry.index) + sep + QString::number(entry.bandwidth) +
           sep + community + sep + description(entry);
}

QString communityProblem(const QString &community)
{
    for (QChar c : community) {
        if (c == QLatin1Char(';'))
            return QStringLiteral("The community contains a semicolon, which a device file "
                                  "cannot hold.");
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return QStringLiteral("The community contains a line break, which a device file "
                                  "cannot hold.");
    }
    return QString();
}

QString proposedFileName(const QString &sysName, const QString &address)
{
    QString base = sysName.trimmed().isEmpty() ? address : sysName.trimmed();
    for (QChar &c : base) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ||
              c == QLatin1Char('.')))
            c = QLatin1Char('_');
    }
    while (base.startsWith(QLatin1Char('.')))
        base.remove(0, 1);
    if (base.isEmpty())
        base = QStringLiteral("device");
    return base.left(100) + QStringLiteral(".dev");
}

QString typeName(int type)
{
    switch (type) {
    case 0:
        return QString();
    case 1:
        return QStringLiteral("other");
    case 6:
        return QStringLiteral("ethernet");
    case 23:
        return QStringLiteral("ppp");
    case 24:
        return QStringLiteral("loopback");
    case 53:
        return QStringLiteral("virtual");
    case 71:
        return QStringLiteral("wireless");
    case 131:
        return QStringLiteral("tunnel");
    case 135:
        return QStringLiteral("vlan");
    case 161:
        return QStringLiteral("lag");
    case 209:
        return QStringLiteral("bridge");
    default:
        return QString::number(type);
    }
}

QString statusName(int status)
{
    return status == 0 ? QString() : ifStatusName(status);
}

} // namespace Discovery

InterfaceDiscovery::InterfaceDiscovery(QObject *parent) : QObject(parent)
{
    connect(&m_walker, &SnmpWalker::progress, this, &InterfaceDiscovery::progress);
    connect(&m_walker, &SnmpWalker::finished, this, &InterfaceDiscovery::walked);
}

void InterfaceDiscovery::start(const QString &address, const QString &community,
                               SnmpVersion version, std::shared_ptr<const SnmpSecurity> security)
{
    m_address = address;
    m_community = community;
    WalkRequest request = Discovery::request(address, community, version, std::move(security));
    request.deadlineMs = m_deadlineMs;
    m_walker.start(request);
}

void InterfaceDiscovery::walked(const WalkResult &walk)
{
    DiscoveryResult result;
    result.address = m_address;
    result.community = m_community;
    result.version = walk.version;
    result.answered = walk.answered;
    result.message = walk.message;
    result.warnings = walk.warnings;
    result.requests = walk.requests;
    result.failure = walk.failure;
    if (!walk.scalars.isEmpty() && walk.scalars.front().type == SnmpValue::OctetString)
        result.sysName = Discovery::displayText(walk.scalars.front().bytes);
    result.interfaces = Discovery::interfaces(walk);
    Q_EMIT finished(result);
}
