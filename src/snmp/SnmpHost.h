#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// The target of one SNMP query, read from the "IP" text of a table row: an IPv4 literal, an
// IPv6 literal or a host name, optionally followed by ":port" (an IPv6 literal with a port is
// written in brackets, "[::1]:1161"). The default port is 161.
//
// The text is parsed strictly so that the SNMP library only ever receives a numeric peer
// ("udp:ADDR:PORT" / "udp6:[ADDR]:PORT"): texts such as "", "161", ":161" or "0.0.0.0" must
// never be taken to mean the local machine, and a long name must never be cut short.
struct SnmpHost {
    enum class Kind {
        Invalid, // nothing is sent for this text
        Address, // `address` holds the literal
        Name,    // `name` must be resolved first
    };

    Kind kind = Kind::Invalid;
    QHostAddress address;
    QString name;
    quint16 port = DefaultPort;

    static constexpr quint16 DefaultPort = 161;
    static constexpr int MaxNameLength = 253;
    static constexpr int MaxLabelLength = 63;

    bool isValid() const { return kind != Kind::Invalid; }

    // Parses a host text. Rejected (Kind::Invalid): empty text, any blank or control
    // character, a missing host before ":port", a port that is not 1 to 65535 in plain
    // decimal, IPv4 parts with leading zeros or above 255, dotted numbers that are not four
    // parts, the unspecified addresses 0.0.0.0 and ::, names longer than 253 characters or
    // with a label longer than 63, labels with characters other than letters, digits, "-"
    // and "_", names whose last label is all digits (such as "161" or "1.2.3"), and group
    // addresses (see groupKind).
    static SnmpHost parse(const QString &text);

    // Whether an address may be used as a query's destination: IPv4 or IPv6, not unspecified,
    // not a group address (see groupKind). Names are checked with this after resolution.
    static bool isUsableAddress(const QHostAddress &address);

    // The address a resolved name is asked at: the first usable IPv4 address, else the first
    // usable IPv6 one; null when none is usable.
    static QHostAddress pickAddress(const QList<QHostAddress> &addresses);

    // "a multicast address" (224.0.0.0/4, ff00::/8, also IPv4-mapped) or "the broadcast
    // address" (255.255.255.255): no agent answers for a group, so nothing is sent to one.
    // "" for any other address. A subnet's broadcast address cannot be known here.
    static QString groupKind(const QHostAddress &address);

    // Why a host text is refused as an agent's address, in one sentence naming it ("" when
    // parse() accepts it): a group address says so, anything else "is not a valid address".
    static QString problem(const QString &text);
    // Only the first half of that: the sentence for a group address literal, else "".
    static QString groupAddressProblem(const QString &text);

    // The numeric peer text handed to the SNMP library for an address and port:
    // "udp:192.0.2.1:161" or "udp6:[2001:db8::1]:161".
    static QString peerName(const QHostAddress &address, quint16 port);
};
