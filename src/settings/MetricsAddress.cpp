#include "MetricsAddress.h"

#include <QHostAddress>
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
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt; // brackets are for IPv6 only
    } else {
        const QStringList parts = text.split(QLatin1Char(':'));
        if (parts.size() != 2)
            return std::nullopt;
        host = parts[0];
        port = parts[1];
    }
    const QHostAddress address(host);
    if (address.isNull() || !address.scopeId().isEmpty())
        return std::nullopt;
    // A dotted IPv4 text with fewer parts ("127.1") is not what it looks like.
    if (address.protocol() == QAbstractSocket::IPv4Protocol && address.toString() != host)
        return std::nullopt;
    // Plain decimal only: no sign, no blanks, no leading zeros.
    bool ok = false;
    const uint number = port.toUInt(&ok);
    if (!ok || number < 1 || number > 65535 || port != QString::number(number))
        return std::nullopt;
    return Address{address.toString(), quint16(number)};
}

QString text(const QString &host, quint16 port)
{
    const QHostAddress address(host);
    if (address.isNull())
        return QString();
    const QString h = address.protocol() == QAbstractSocket::IPv6Protocol
                          ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                          : address.toString();
    return h + QLatin1Char(':') + QString::number(port);
}

bool isLoopback(const QString &host)
{
    return QHostAddress(host).isLoopback();
}

} // namespace MetricsAddress
