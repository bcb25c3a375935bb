#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// A minimal BER coder for test agents: just enough to read an SNMP GetRequest and to craft
// replies byte by byte, including malformed ones.
namespace Ber
{

enum Tag : unsigned char {
    Integer = 0x02,
    OctetString = 0x04,
    Null = 0x05,
    ObjectId = 0x06,
    Sequence = 0x30,
    Counter32 = 0x41,
    Gauge32 = 0x42,
    TimeTicks = 0x43,
    Counter64 = 0x46,
    NoSuchObject = 0x80,
    NoSuchInstance = 0x81,
    EndOfMibView = 0x82,
    GetRequest = 0xa0,
    GetResponse = 0xa2,
};

QByteArray length(int size);
QByteArray tlv(unsigned char tag, const QByteArray &content);
// Two's complement, shortest form (signed INTEGER).
QByteArray integer(qint64 value, unsigned char tag = Integer);
// Unsigned application types (Counter32, Gauge32, TimeTicks, Counter64): a leading zero byte
// keeps the top bit clear.
QByteArray unsignedValue(quint64 value, unsigned char tag);
QByteArray objectId(const QList<quint32> &parts);

// An SNMP message (version 0 = v1, 1 = v2c) with one PDU and the given variable bindings (each
// already a complete SEQUENCE).
QByteArray message(const QByteArray &community, unsigned char pduTag, qint64 requestId,
                   qint64 errorStatus, qint64 errorIndex, const QList<QByteArray> &bindings,
                   qint64 version = 0);
QByteArray binding(const QByteArray &encodedOid, const QByteArray &encodedValue);

// The parts of a received request that a reply needs.
struct Request {
    qint64 version = -1;
    QByteArray community;
    unsigned char pduTag = 0;
    qint64 requestId = 0;
    QByteArray encodedOid; // complete TLV of the first binding's name
    QList<quint32> oid;
    QList<QList<quint32>> oids; // every binding's name, in order
};

std::optional<Request> parseRequest(const QByteArray &datagram);

} // namespace Ber
