#pragma once

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
    QString host; // the IP literal in its usual form, without brackets
    quint16 port = 0;
};
// Null for a text that is not an IP literal with a port of 1 to 65535 in plain decimal.
std::optional<Address> parse(const QString &text);
// The setting's text for an address and port ("[::1]:9650" for IPv6); empty when host is no
// IP literal.
QString text(const QString &host, quint16 port);
// Whether only this machine can reach an IP literal.
bool isLoopback(const QString &host);

} // namespace MetricsAddress
