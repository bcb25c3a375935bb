#pragma once

#include <QHostAddress>
#include <QString>

#include <optional>

// The text of the setting "metrics address": empty is off; otherwise an IP literal and a
// port, "127.0.0.1:9650" or "[::1]:9650". Host names are not taken: what a name means can
// change under a running server.
namespace MetricsAddress
{

inline constexpr quint16 ProposedPort = 9650;
inline QString proposedHost()
{
    return QStringLiteral("127.0.0.1");
}

struct Address {
    QHostAddress host;
    quint16 port = 0;
};
// Null for a text that is not an IP literal with a port of 1 to 65535 in plain decimal.
std::optional<Address> parse(const QString &text);
// The setting's text for an address and port ("[::1]:9650" for IPv6).
QString text(const QHostAddress &host, quint16 port);

} // namespace MetricsAddress
