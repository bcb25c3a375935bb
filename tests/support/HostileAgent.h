#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <utility>

class QUdpSocket;

// A test-only SNMP responder on a loopback UDP port. Every GetRequest it receives is answered
// with a datagram shaped by the chosen Reply (in the request's SNMP version), optionally after
// a delay. It runs on the event
// loop of the thread that owns it, so it answers only while that loop runs.
class HostileAgent : public QObject
{
    Q_OBJECT

public:
    enum class Reply {
        Correct,        // the requested OID with value() as Counter32
        Integer,        // the requested OID with value() as signed INTEGER
        Gauge,          // ... as Gauge32
        TimeTicks,      // ... as TimeTicks
        OtherOid,       // a Counter32 for a different OID
        SecondBinding,  // a binding for another OID first, then the requested one
        OctetString,    // the requested OID with an OCTET STRING value
        ObjectId,       // ... with an OBJECT IDENTIFIER value
        Counter64,      // ... with a Counter64 value
        Null,           // ... with NULL
        ErrorStatus,    // noSuchName (2) with error-index 1 and a NULL value
        ErrorWithValue, // error-status set but a Counter32 value present
        WrongRequestId, // a correct reply carrying request-id + 1
        Truncated,      // a correct reply cut short
        Garbage,        // bytes that are no BER message
        Empty,          // a zero-length datagram
        Silent,         // no reply at all
        NoSuchObject,   // the requested OID with the v2c exception noSuchObject
        NoSuchInstance, // ... noSuchInstance
        EndOfMibView,   // ... endOfMibView
    };
    Q_ENUM(Reply)

    explicit HostileAgent(QObject *parent = nullptr);
    ~HostileAgent() override;

    // Binds to a free port of the loopback address (127.0.0.1 or ::1).
    bool listen(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost));
    quint16 port() const;
    // The host text for a query: "127.0.0.1:PORT" or "[::1]:PORT".
    QString host() const;

    void setReply(Reply reply) { m_reply = reply; }
    void setValue(qint64 value) { m_value = value; }
    void setDelayMs(int ms) { m_delayMs = ms; }

    // A forger answers each request at once, before the agent's own (delayed) reply: the same
    // reply with forgedValue, sent from a socket of its own on a loopback address (so from
    // another port, and from another address when it is not the agent's).
    bool addForger(const QHostAddress &address, qint64 forgedValue);

    int requestsSeen() const { return m_requests; }
    const QByteArray &lastCommunity() const { return m_lastCommunity; }
    qint64 lastRequestId() const { return m_lastRequestId; }

private:
    void readPending();
    QByteArray craft(const QByteArray &datagram);

    QUdpSocket *m_socket = nullptr;
    QList<std::pair<QUdpSocket *, qint64>> m_forgers;
    Reply m_reply = Reply::Correct;
    qint64 m_value = 0;
    int m_delayMs = 0;
    int m_requests = 0;
    QByteArray m_lastCommunity;
    qint64 m_lastRequestId = -1;
};
