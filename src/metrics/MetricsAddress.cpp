#include "MetricsAddress.h"

#include <QStringList>

namespace MetricsAddress
{

std::optional<Address> parse(const QString &text)
{
    QString host;
    QString port;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1String("]:"));
        if (close < 0)
            return std::nullopt;
        host = text.mid(1, close - 1);
        port = text.mid(close + 2);
        if (!host.contains(QLatin1Char(':')))
            return std::nullopt; // brackets are for IPv6 only
    } else {
        const QStringList parts = text.split(QLatin1Char(':'));
        if (parts.size() != 2)
            return std::nullopt;
        host = parts[0];
        port = parts[1];
        if (!QHostAddress(host).isNull() &&
            QHostAddress(host).protocol() != QAbstractSocket::IPv4Protocol)
            return std::nullopt;
    }
    Address address;
    address.host = QHostAddress(host);
    if (address.host.isNull() || !address.host.scopeId().isEmpty())
        return std::nullopt;
    // Plain decimal only: no sign, no blanks, no leading zeros.
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (!ok || number < 1 || number > 65535 || port != QString::number(number))
        return std::nullopt;
    // A dotted IPv4 text with fewer parts ("127.1") is not taken: it is not what it looks like.
    if (address.host.protocol() == QAbstractSocket::IPv4Protocol && address.host.toString() != host)
        return std::nullopt;
    address.port = quint16(number);
    return address;
}

QString text(const QHostAddress &host, quint16 port)
{
    const QString h = host.protocol() == QAbstractSocket::IPv6Protocol
                          ? QLatin1Char('[') + host.toString() + QLatin1Char(']')
                          : host.toString();
    return h + QLatin1Char(':') + QString::number(port);
}

} // namespace MetricsAddress
