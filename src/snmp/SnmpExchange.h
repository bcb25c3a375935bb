#pragma once

#include "SnmpFailure.h"
#include "SnmpOid.h"
#include "SnmpSecurity.h"
#include "SnmpVersion.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QObject;
class QSocketNotifier;
struct snmp_session;
struct snmp_pdu;

// One value as the agent sent it. `type` is the BER tag (INTEGER 0x02, OCTET STRING 0x04,
// Counter32 0x41, Gauge32 0x42, TimeTicks 0x43, Counter64 0x46, ...); 0 means no value.
struct SnmpValue {
    static constexpr quint8 Integer = 0x02;
    static constexpr quint8 OctetString = 0x04;
    static constexpr quint8 ObjectId = 0x06;
    static constexpr quint8 Counter32 = 0x41;
    static constexpr quint8 Gauge32 = 0x42;
    static constexpr quint8 TimeTicks = 0x43;
    static constexpr quint8 Counter64 = 0x46;

    quint8 type = 0;
    qint64 integer = 0; // INTEGER, signed
    quint64 number = 0; // Counter32, Gauge32, TimeTicks, Counter64, unsigned
    QByteArray bytes;   // OCTET STRING

    bool isValid() const { return type != 0; }
};

// One binding of a reply: its object identifier, its value and the tag the agent sent (also
// for what has no value here: NULL, the exceptions noSuchObject, noSuchInstance and
// endOfMibView, unknown types).
struct SnmpBinding {
    SnmpOid name;
    SnmpValue value;
    quint8 rawType = 0;
};

// What one reply said, copied out of the library's PDU.
struct SnmpReply {
    SnmpFailure report = SnmpFailure::None; // a v3 report instead of a response
    long errorStatus = 0;
    QByteArray engineId; // an engine ID discovery's answer; empty when it carried none
    long requestId = 0;  // of the request it answers (a response's)
    std::vector<SnmpBinding> bindings;
};

// One connected SNMP session and the exchange of requests and replies on it, for the get
// batch and the walker alike. It owns:
// - the session and its UDP socket, connected to the agent so that only datagrams from its
//   address and port count (see SnmpSession);
// - an unpredictable request-id for every request, and which replies are still wanted;
// - reading the socket and decoding a reply into typed values (text values cut to
//   MaxTextOctets, so one reply's memory is bounded);
// - the v3 engine ID bookkeeping: an engine ID discovery's answer is learnt for the peer, a
//   report is put into words (an unknownEngineIDs one forgets the engine ID), and a user's
//   request left unanswered marks the peer silent while keeping its engine ID;
// - the socket notifier, which is torn down safely also from inside its own signal.
// Everything stays on the thread that owns the exchange.
class SnmpExchange
{
public:
    enum class Kind { None, Community, EngineDiscovery, User };
    enum class Command { Get, GetNext, GetBulk };
    enum class Sent {
        Ok,
        Refused, // the host said nothing listens at that port (on the connected socket)
        Failed,
    };

    static constexpr int MaxTextOctets = 255; // IF-MIB's DisplayString size

    SnmpExchange() = default;
    SnmpExchange(const SnmpExchange &) = delete;
    SnmpExchange &operator=(const SnmpExchange &) = delete;
    ~SnmpExchange() { close(); }

    // Each opens a new session to the agent; the one before is closed first (its replies are
    // lost). False when none could be opened.
    // SNMP v1 or v2c with the community's exact bytes.
    bool openCommunity(SnmpVersion version, const QByteArray &community,
                       const QHostAddress &address, quint16 port);
    // The first exchange with a v3 agent whose engine ID is not known: the empty GET that the
    // agent answers with a report carrying its engine ID.
    bool openEngineDiscovery(const QHostAddress &address, quint16 port);
    // The v3 user at an agent whose engine ID is known; *failure says why it failed.
    bool openUser(const QHostAddress &address, quint16 port, const QByteArray &engineId,
                  const SnmpSecurity &security, SnmpFailure *failure);
    void close();

    Kind kind() const { return m_kind; }
    bool isOpen() const { return m_handle != nullptr; }
    int socket() const { return m_socket; }
    // "udp:ADDR:PORT", the name the v3 engine IDs are kept by.
    const QString &peer() const { return m_peer; }

    // Sends one request for the names (NULL values) with a fresh request-id; an engine ID
    // discovery sends its empty GET whatever the names. Replies to earlier requests stay
    // wanted until forgetRequests(). A GetBulk's first nonRepeaters names are asked once
    // (as GetNext), the rest maxRepetitions times.
    Sent send(Command command, const QList<SnmpOid> &names, int maxRepetitions = 0,
              int nonRepeaters = 0);
    void forgetRequests() { m_liveIds.clear(); }
    // The request-id of the request last sent (0 before any).
    long lastRequestId() const { return m_lastId; }

    // For a session kept open across many requests in flight at once: every reply to a
    // wanted request goes to the handler with its request-id (from inside read()), and that
    // request is no longer wanted; nothing is kept for takeReply() then. The handler must not
    // close or destroy the exchange (the library is still reading). An empty handler restores
    // the one kept reply.
    using ReplyHandler = std::function<void(long requestId, SnmpReply reply)>;
    void setReplyHandler(ReplyHandler handler) { m_onReply = std::move(handler); }
    // The library keeps each request sent until its reply or its time-out: requests sent
    // from now on time out after ms, and expireRequests() lets go of those past it (so that a
    // session kept open does not gather the requests that were never answered).
    void setRequestTimeoutMs(int ms);
    void expireRequests();
    // Clears an error the host reported on the connected socket for an earlier request (a
    // refusal), so that it is not taken for the refusal of the next one.
    void clearSocketError();

    // Reads what waits on the socket. The first reply to a wanted request (or any report or
    // engine ID answer the library matched to this session) is kept until takeReply().
    void read();
    bool hasReply() const { return m_reply.has_value(); }
    SnmpReply takeReply();

    // The request got no answer in its time. A v3 user's peer keeps its engine ID (a late or
    // lost reply says nothing about it) but is marked silent, so that the next request asks
    // for the engine ID again (a replaced device drops requests for the old one silently).
    void unanswered();

    // Calls onReadable (in the context object's thread and lifetime) whenever the socket has
    // something to read, for this session and every one opened after it. The exchange may be
    // destroyed from inside onReadable.
    void watch(QObject *context, std::function<void()> onReadable);
    void setWatching(bool on);

private:
    bool opened(void *handle, Kind kind, const QHostAddress &address, quint16 port);
    void createNotifier();
    void dropNotifier();
    static int received(int operation, snmp_session *, int, snmp_pdu *pdu, void *magic);

    void *m_handle = nullptr;
    int m_socket = -1;
    Kind m_kind = Kind::None;
    QString m_peer;
    std::vector<long> m_liveIds;
    long m_lastId = 0;
    ReplyHandler m_onReply;
    std::optional<SnmpReply> m_reply;
    QSocketNotifier *m_notifier = nullptr;
    QObject *m_context = nullptr;
    std::function<void()> m_onReadable;
};
