#include "SnmpHost.h"

#include <QStringList>

namespace
{

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool allDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (!isAsciiDigit(c))
            return false;
    }
    return true;
}

// Plain decimal without leading zeros (a lone "0" is fine), at most maxDigits long.
bool parseDecimal(QStringView text, int maxDigits, quint32 *value)
{
    if (!allDigits(text) || text.size() > maxDigits)
        return false;
    if (text.size() > 1 && text.front() == QLatin1Char('0'))
        return false;
    bool ok = false;
    const uint parsed = text.toUInt(&ok);
    if (!ok)
        return false;
    *value = parsed;
    return true;
}

bool parsePort(QStringView text, quint16 *port)
{
    quint32 value = 0;
    if (!parseDecimal(text, 5, &value) || value == 0 || value > 65535)
        return false;
    *port = static_cast<quint16>(value);
    return true;
}

// Four dotted decimal parts of 0..255. Returns false for everything else.
bool parseIpv4(QStringView text, QHostAddress *address)
{
    const QList<QStringView> parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    quint32 ip = 0;
    for (QStringView part : parts) {
        quint32 value = 0;
        if (!parseDecimal(part, 3, &value) || value > 255)
            return false;
        ip = (ip << 8) | value;
    }
    *address = QHostAddress(ip);
    return true;
}

bool isLabelChar(QChar c);

bool parseIpv6(QStringView text, QHostAddress *address)
{
    if (text.isEmpty() || !text.contains(QLatin1Char(':')))
        return false;
    // A scope ("fe80::1%eth0") names an interface: the address parser takes any text there,
    // so only letters, digits, "-", "_" and "." may reach the peer text.
    const qsizetype percent = text.indexOf(QLatin1Char('%'));
    if (percent >= 0) {
        const QStringView scope = text.sliced(percent + 1);
        if (scope.isEmpty())
            return false;
        for (QChar c : scope) {
            if (!isLabelChar(c) && c != QLatin1Char('.'))
                return false;
        }
    }
    QHostAddress parsed;
    if (!parsed.setAddress(text.toString()) || parsed.protocol() != QAbstractSocket::IPv6Protocol)
        return false;
    *address = parsed;
    return true;
}

bool isLabelChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
           u == u'-' || u == u'_';
}

bool isHostName(QStringView text)
{
    QStringView name = text;
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1); // one trailing dot marks a fully qualified name
    if (name.isEmpty() || name.size() > SnmpHost::MaxNameLength)
        return false;
    const QList<QStringView> labels = name.split(QLatin1Char('.'));
    for (QStringView label : labels) {
        if (label.isEmpty() || label.size() > SnmpHost::MaxLabelLength)
            return false;
        if (label.front() == QLatin1Char('-') || label.back() == QLatin1Char('-'))
            return false;
        for (QChar c : label) {
            if (!isLabelChar(c))
                return false;
        }
    }
    // An all-digit last label is a malformed address ("161", "10.1.2"), never a name.
    return !allDigits(labels.back());
}

// The parse without the check of the literal's use as a destination.
SnmpHost parseText(const QString &text)
{
    using Kind = SnmpHost::Kind;
    constexpr int MaxNameLength = SnmpHost::MaxNameLength;
    SnmpHost invalid;
    // Longest sensible text: a bracketed IPv6 literal with a scope or a full-length name,
    // plus ":65535".
    if (text.isEmpty() || text.size() > MaxNameLength + 1 + 6)
        return invalid;
    for (QChar c : text) {
        if (c.isSpace() || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return invalid;
    }

    SnmpHost host;
    QStringView rest(text);

    if (rest.front() == QLatin1Char('[')) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return invalid;
        const QStringView after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (after.front() != QLatin1Char(':') || !parsePort(after.mid(1), &host.port))
                return invalid;
        }
        if (!parseIpv6(rest.mid(1, close - 1), &host.address))
            return invalid;
        host.kind = Kind::Address;
    } else if (rest.count(QLatin1Char(':')) > 1) {
        // A bare IPv6 literal: it cannot carry a port without brackets.
        if (!parseIpv6(rest, &host.address))
            return invalid;
        host.kind = Kind::Address;
    } else {
        const qsizetype colon = rest.indexOf(QLatin1Char(':'));
        if (colon >= 0) {
            if (!parsePort(rest.mid(colon + 1), &host.port))
                return invalid;
            rest = rest.left(colon);
        }
        if (rest.isEmpty())
            return invalid;
        if (parseIpv4(rest, &host.address)) {
            host.kind = Kind::Address;
        } else if (isHostName(rest)) {
            host.kind = Kind::Name;
            host.name = rest.toString();
        } else {
            return invalid;
        }
    }

    return host;
}

} // namespace

SnmpHost SnmpHost::parse(const QString &text)
{
    const SnmpHost host = parseText(text);
    if (host.kind == Kind::Address && !isUsableAddress(host.address))
        return SnmpHost();
    return host;
}

QString SnmpHost::groupKind(const QHostAddress &address)
{
    bool mapped = false;
    const quint32 ipv4 = address.toIPv4Address(&mapped);
    if (mapped) {
        if (ipv4 == 0xffffffffu)
            return QStringLiteral("the broadcast address");
        if ((ipv4 >> 28) == 0xe)
            return QStringLiteral("a multicast address");
        return QString();
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol && address.toIPv6Address()[0] == 0xff)
        return QStringLiteral("a multicast address");
    return QString();
}

QString SnmpHost::groupAddressProblem(const QString &text)
{
    const SnmpHost literal = parseText(text);
    if (literal.kind != Kind::Address)
        return QString();
    const QString kind = groupKind(literal.address);
    if (kind.isEmpty())
        return QString();
    return QStringLiteral("%1 is %2, not an agent's address; nothing is sent to it.")
        .arg(text, kind);
}

QString SnmpHost::problem(const QString &text)
{
    if (parse(text).isValid())
        return QString();
    if (const QString group = groupAddressProblem(text); !group.isEmpty())
        return group;
    return QStringLiteral("\"%1\" is not a valid address.").arg(text);
}

bool SnmpHost::isUsableAddress(const QHostAddress &address)
{
    const auto protocol = address.protocol();
    if (protocol != QAbstractSocket::IPv4Protocol && protocol != QAbstractSocket::IPv6Protocol)
        return false;
    // The tolerant comparison also catches the IPv4-mapped form ::ffff:0.0.0.0, which a
    // dual-stack socket would send to the local machine just like 0.0.0.0.
    return !address.isEqual(QHostAddress(QHostAddress::AnyIPv4),
                            QHostAddress::TolerantConversion) &&
           address != QHostAddress(QHostAddress::AnyIPv6) && groupKind(address).isEmpty();
}

QString SnmpHost::peerName(const QHostAddress &address, quint16 port)
{
    const QString portText = QString::number(port);
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        return QLatin1String("udp6:[") + address.toString() + QLatin1String("]:") + portText;
    return QLatin1String("udp:") + address.toString() + QLatin1Char(':') + portText;
}

QHostAddress SnmpHost::pickAddress(const QList<QHostAddress> &addresses)
{
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && isUsableAddress(address))
            return address;
    }
    for (const QHostAddress &address : addresses) {
        if (isUsableAddress(address))
            return address;
    }
    return QHostAddress();
}
