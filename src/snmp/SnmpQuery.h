#pragma once

#include "SnmpFailure.h"
#include "SnmpOid.h"
#include "SnmpSecurity.h"
#include "SnmpTimeouts.h"
#include "SnmpVersion.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QHostAddress;
class QHostInfo;

// One counter query: the object identifier in dotted decimal text, the community and the
// host text of a table row (see SnmpHost for the accepted host forms). moreOids are further
// bindings of the same GetRequest; each gives a reading of its own.
struct SnmpRequest {
    QString oid;
    QString community;
    QString host;
    // The community's exact bytes as the device file held them; when null, the community
    // text goes out as UTF-8.
    QByteArray communityBytes{};

    QByteArray wireCommunity() const
    {
        return communityBytes.isNull() ? community.toUtf8() : communityBytes;
    }

    SnmpVersion version = SnmpVersion::V1;
    QStringList moreOids = {};
    // For V3: the user, level, protocols and passphrases; the community is not sent then.
    std::shared_ptr<const SnmpSecurity> security = {};
    // The last typedMoreOids of moreOids are read by their own type whatever the version, as
    // SNMP v1 reads them (INTEGER signed; Counter32, Gauge32, TimeTicks unsigned; an exception
    // such as noSuchObject or any other type empty, for that binding only). 0 = none.
    int typedMoreOids = 0;
};

// Runs a batch of SNMP version 1 GetRequests side by side without blocking the event loop.
//
// Every request is one GetRequest with an unpredictable request-id and one NULL binding per
// object identifier, one wait, no retransmission, on an SnmpExchange whose UDP socket is
// connected to the agent's address and port so that only datagrams from there count. SNMP v1
// and v2c requests share one session per agent (host text, version and community), kept open
// across batches: a reply counts only for the request whose request-id it carries, and a
// session is closed when a batch no longer asks its agent, by closeSessionsExcept() and with
// the batch. An SNMP v3 request has a session of its own.
//
// The reading of each object identifier is the value text of the first
// binding in the reply whose object identifier equals it. SNMP v1: INTEGER as signed decimal;
// Counter32, Gauge32 and TimeTicks as unsigned 32-bit decimal; every other type is empty.
// SNMP v2c: Counter64 as unsigned 64-bit decimal; every other type, the exceptions
// (noSuchObject, noSuchInstance, endOfMibView) and any reply with an error-status are empty.
// A v2c TimeTicks (sysUpTime.0) reads as unsigned 32-bit decimal.
// SNMP v3: the v1 readings and Counter64; exceptions, an error-status and every report (wrong
// user, passphrase or security level) are empty. The agent's engine ID is learnt by the
// request's own first exchange (never by a blocking probe) and kept for later requests, also
// after one went unanswered (the next request to that agent asks for the engine ID beside
// it, and a new one is learnt and asked again within the deadline). Only a v2c request or an
// ifHC counter's binding asks a 64-bit counter, and only a Counter64 answers it.
// Every failure (time-out, malformed host or object identifier, unresolvable name,
// undecodable reply, missing binding) is the empty text.
//
// All SNMP library calls stay on the thread that owns the batch.
class SnmpBatch : public QObject
{
    Q_OBJECT

public:
    explicit SnmpBatch(QObject *parent = nullptr);
    ~SnmpBatch() override; // cancels anything in flight and frees all sessions

    // Sends all requests at once and returns to the event loop. finished() follows when the
    // last reply is in or at one shared deadline timeoutMs after this call, whichever comes
    // first; for an empty list (or one where nothing could be sent) it is emitted from the
    // event loop, never inside start(). A batch still running is cancelled first.
    void start(const QList<SnmpRequest> &requests, int timeoutMs = DefaultTimeoutMs);
    bool isRunning() const { return m_running; }

    // Discards the running batch; finished() is not emitted for it.
    void cancel();

    // Closes the kept sessions of every agent whose host text is not among hosts (the agents
    // of a device file just loaded); nothing in flight is touched.
    void closeSessionsExcept(const QStringList &hosts);

    static constexpr int DefaultTimeoutMs = SnmpTimeouts::PollDeadlineMs;

    // Why each request of the batch that finished last gave no reading (requests in order);
    // None for a reading. Valid from finished() on until the next start().
    const QList<SnmpFailure> &failures() const { return m_failures; }

Q_SIGNALS:
    // One reading per requested object identifier: requests in order, and within a request
    // oid before moreOids; "" = no value.
    void finished(const QStringList &values);

private:
    struct Slot;
    struct Agent;

    Agent *agentFor(const SnmpRequest &request, const QHostAddress &address, quint16 port);
    void agentReadable(Agent *agent);
    void closeUnusedAgents(const QList<SnmpRequest> &requests);

    void lookUp(int index, const QString &name);
    void hostResolved(int index, const QHostInfo &info);
    void sendSoon(int index, const QHostAddress &address, quint16 port);
    void sendNext();
    void send(int index, const QHostAddress &address, quint16 port);
    void readable(int index);
    void settle(int index);
    void finish();
    void release();

    std::vector<std::unique_ptr<Slot>> m_slots;
    QStringList m_values;
    QList<SnmpFailure> m_failures;
    std::vector<int> m_firstValue; // index in m_values of each request's first reading
    QTimer m_deadline;
    int m_pending = 0;
    int m_timeoutMs = DefaultTimeoutMs;
    bool m_running = false;
    QTimer m_sendTimer; // sends one queued v3 request per turn
    std::deque<std::function<void()>> m_sendQueue;
    std::vector<std::unique_ptr<Agent>> m_agents; // the kept v1 and v2c sessions
};

// One query the one-after-another way: blocks the calling thread for up to timeoutMs (host
// names are resolved blocking as well). Same exchange and readings as SnmpBatch (the reading
// of the first object identifier); meant for comparisons and tests, not for the poll.
QString snmpGetBlocking(const SnmpRequest &request, int timeoutMs = SnmpBatch::DefaultTimeoutMs);
