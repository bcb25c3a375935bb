#include "SnmpQuery.h"

#include "IfMib.h"
#include "SnmpExchange.h"
#include "SnmpHost.h"
#include "SnmpLibrary.h"
#include "SnmpSession.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QHostInfo>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <functional>

namespace
{

// The reading of one binding. A 64-bit counter (any object of a v2c request, and the ifHC
// counters in every version) counts only as a Counter64, whatever else the agent sends.
QString readingText(const SnmpValue &value, SnmpVersion version, bool wants64)
{
    if (version == SnmpVersion::V2c && value.type == SnmpValue::TimeTicks && !wants64)
        return QString::number(value.number); // sysUpTime.0
    if (version == SnmpVersion::V2c || wants64 || value.type == SnmpValue::Counter64) {
        if (version == SnmpVersion::V1 || value.type != SnmpValue::Counter64)
            return QString();
        return QString::number(value.number);
    }
    switch (value.type) {
    case SnmpValue::Integer:
        return QString::number(value.integer);
    case SnmpValue::Counter32:
    case SnmpValue::Gauge32:
    case SnmpValue::TimeTicks:
        return QString::number(value.number);
    default:
        return QString(); // NULL, strings, identifiers, exceptions...
    }
}

// The readings of a reply to a GET of the object identifiers, in *values (which holds one
// empty text per identifier); the failure when the reply gives none. Bindings from typedFrom on
// are read by their own type.
SnmpFailure storeReadings(const SnmpReply &reply, const QList<SnmpOid> &oids, SnmpVersion version,
                          std::size_t typedFrom, QStringList *values)
{
    if (reply.report != SnmpFailure::None)
        return reply.report;
    // A v2c or v3 agent that reports an error-status gives no reading at all (a v1 reply's
    // error-status is not examined: its bindings are NULL then).
    if (version != SnmpVersion::V1 && reply.errorStatus != 0)
        return SnmpFailure::ErrorStatus;
    for (std::size_t i = 0; i < std::size_t(oids.size()); ++i) {
        const SnmpOid &oid = oids[qsizetype(i)];
        for (const SnmpBinding &binding : reply.bindings) {
            if (binding.name == oid) {
                // Typed bindings (link health) are read by their own type, as in v1.
                const bool typed = i >= typedFrom;
                (*values)[qsizetype(i)] =
                    readingText(binding.value, typed ? SnmpVersion::V1 : version,
                                !typed && IfMib::isHighCapacityCounter(oid));
                break;
            }
        }
    }
    return SnmpFailure::None;
}

// One GetRequest of the batch and its readings, on an exchange of its own; for a v3 agent
// gone silent, a second exchange asks for its engine ID beside it.
class Query
{
public:
    // Opens the session to the address and sends the request. False when nothing could be
    // sent (the reading stays empty).
    bool send(const QHostAddress &address, quint16 port, const QByteArray &communityBytes,
              const QList<SnmpOid> &oids, SnmpVersion version,
              std::shared_ptr<const SnmpSecurity> security = {})
    {
        m_version = version;
        m_address = address;
        m_port = port;
        m_security = std::move(security);
        m_oids = oids;
        m_values = QStringList(oids.size(), QString());

        if (version == SnmpVersion::V3) {
            if (!m_security)
                return false;
            const QByteArray known = SnmpSession::knownEngine(SnmpHost::peerName(address, port));
            if (!known.isEmpty())
                return sendV3(known);
            return m_exchange.openEngineDiscovery(m_address, m_port) && sendGet();
        }
        // The library's own time-outs never run: the caller owns the single wait.
        return m_exchange.openCommunity(version, communityBytes, address, port) && sendGet();
    }

    // Bindings from this one on (0 = the request's oid) are read by their own type.
    void setTypedFrom(std::size_t first) { m_typedFrom = first; }

    // Calls onRead after each read of either socket (the exchange may be gone by then).
    void watch(QObject *context, const std::function<void()> &onRead)
    {
        m_exchange.watch(context, [this, onRead] {
            readRequest();
            onRead();
        });
        m_check.watch(context, [this, onRead] {
            readCheck();
            onRead();
        });
    }
    void setWatching(bool on)
    {
        m_exchange.setWatching(on);
        m_check.setWatching(on);
    }

    int socket() const { return m_exchange.socket(); }
    // The engine ID check's socket; -1 when there is none.
    int checkSocket() const { return m_check.socket(); }
    bool answered() const { return m_answered; }
    SnmpFailure failure() const { return m_failure; }

    // The request got no answer. The agent's engine ID and time stay known: only an
    // unknownEngineIDs report makes them learnt afresh, and forgetting them would make
    // every later poll of a distant agent need two round trips.
    SnmpFailure unanswered()
    {
        m_exchange.unanswered();
        return SnmpFailure::NoAnswer;
    }
    // The readings, one per object identifier.
    const QStringList &values() const { return m_values; }

    // Reads what is waiting on the request's socket; a reply sets answered(). After a v3
    // agent's engine ID has come in, the request itself is to go out (see readyToSend()).
    void readRequest()
    {
        m_exchange.read();
        if (!m_exchange.hasReply() || m_answered)
            return;
        const SnmpReply reply = m_exchange.takeReply();
        if (m_exchange.kind() == SnmpExchange::Kind::EngineDiscovery) {
            if (reply.engineId.isEmpty()) {
                m_answered = true; // not a v3 agent's answer: no reading
                return;
            }
            // The session cannot be replaced inside its own read; the caller sends the
            // request itself with sendLearnt().
            m_learntEngine = reply.engineId;
            m_readyToSend = true;
            return;
        }
        m_answered = true;
        m_failure = storeReadings(reply, m_oids, m_version, m_typedFrom, &m_values);
    }

    // The engine ID check's reply: the same engine ID ends the check; another one (a replaced
    // device) has been learnt and the request is to go out again for it (see readyToSend()).
    void readCheck()
    {
        m_check.read();
        if (!m_check.hasReply())
            return;
        const QByteArray engine = m_check.takeReply().engineId;
        m_check.close();
        if (engine.isEmpty() || m_answered || engine == m_checkedAgainst)
            return;
        m_learntEngine = engine;
        m_readyToSend = true;
    }

    // The agent's engine ID came in: the request is to go out (on a new socket).
    bool readyToSend() const { return m_readyToSend; }
    void sendLearnt()
    {
        m_readyToSend = false;
        m_check.close();
        if (!sendV3(m_learntEngine)) {
            m_answered = true;
            if (m_failure == SnmpFailure::None)
                m_failure = SnmpFailure::NotSent;
        }
    }

private:
    bool sendGet()
    {
        return m_exchange.send(SnmpExchange::Command::Get, m_oids) == SnmpExchange::Sent::Ok;
    }

    bool sendV3(const QByteArray &engineId)
    {
        if (!m_exchange.openUser(m_address, m_port, engineId, *m_security, &m_failure) ||
            !sendGet())
            return false;
        // Once per request: after the check has found a new engine ID, none is needed.
        if (!m_checked && SnmpSession::isSilent(m_exchange.peer())) {
            m_checked = true;
            m_checkedAgainst = engineId;
            // A check that cannot be sent is skipped.
            if (!m_check.openEngineDiscovery(m_address, m_port) ||
                m_check.send(SnmpExchange::Command::Get, {}) != SnmpExchange::Sent::Ok)
                m_check.close();
        }
        return true;
    }

    SnmpExchange m_exchange;
    SnmpExchange m_check; // the engine ID check beside a request to a silent peer
    SnmpVersion m_version = SnmpVersion::V1;
    QHostAddress m_address;
    quint16 m_port = 0;
    std::shared_ptr<const SnmpSecurity> m_security;
    bool m_readyToSend = false;
    QByteArray m_learntEngine;
    bool m_checked = false;
    QByteArray m_checkedAgainst; // the engine ID the check confirms or replaces
    QList<SnmpOid> m_oids;
    std::size_t m_typedFrom = SIZE_MAX;
    bool m_answered = false;
    SnmpFailure m_failure = SnmpFailure::None;
    QStringList m_values;
};

// Every object identifier of a request, or an empty list when any of them is malformed.
QList<SnmpOid> parseOids(const SnmpRequest &request)
{
    QList<SnmpOid> oids;
    for (const QString &text : QStringList{request.oid} + request.moreOids) {
        SnmpOid oid = parseOidText(text);
        if (oid.isEmpty())
            return {};
        oids.append(std::move(oid));
    }
    return oids;
}

// The index of a request's first typed binding (past the end when none is typed).
std::size_t typedFrom(const SnmpRequest &request)
{
    const qsizetype all = 1 + request.moreOids.size();
    return static_cast<std::size_t>(
        all - qBound(qsizetype(0), qsizetype(request.typedMoreOids), request.moreOids.size()));
}

} // namespace

struct SnmpBatch::Slot {
    SnmpRequest request;
    QList<SnmpOid> oids; // empty when any of the request's identifiers is malformed
    quint16 port = SnmpHost::DefaultPort;
    int lookupId = -1;
    std::unique_ptr<Query> query; // a v3 request's own exchange
    Agent *agent = nullptr;       // the kept session a v1 or v2c request went out on
    bool answered = false;        // a kept session's reply came in
    SnmpFailure failure = SnmpFailure::None;
    QStringList readings;
    bool settled = false;
    SnmpFailure sendFailure = SnmpFailure::NotSent; // when there is no exchange
};

// A kept v1 or v2c session: the agent's host text, version and community, the address it was
// opened to, and the requests of the running batch in flight on it.
struct SnmpBatch::Agent {
    QString host;
    SnmpVersion version = SnmpVersion::V1;
    QByteArray community;
    QHostAddress address;
    quint16 port = 0;
    SnmpExchange exchange;
    std::vector<std::pair<long, int>> inFlight;      // request-id, slot
    std::vector<std::pair<long, SnmpReply>> replies; // taken in by one read

    bool serves(const SnmpRequest &request) const
    {
        return request.version != SnmpVersion::V3 && request.host == host &&
               request.version == version && request.wireCommunity() == community;
    }
};

SnmpBatch::SnmpBatch(QObject *parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, &SnmpBatch::finish);
    m_sendTimer.setInterval(0);
    connect(&m_sendTimer, &QTimer::timeout, this, &SnmpBatch::sendNext);
}

SnmpBatch::~SnmpBatch()
{
    cancel();
}

void SnmpBatch::start(const QList<SnmpRequest> &requests, int timeoutMs)
{
    cancel();
    m_failures.clear();
    initLibrary();

    m_running = true;
    m_pending = 0;
    m_slots.clear();
    m_slots.reserve(static_cast<size_t>(requests.size()));
    m_firstValue.clear();
    int valueCount = 0;
    for (const SnmpRequest &request : requests) {
        auto slot = std::make_unique<Slot>();
        slot->request = request;
        m_slots.push_back(std::move(slot));
        m_firstValue.push_back(valueCount);
        valueCount += 1 + static_cast<int>(request.moreOids.size());
    }
    m_values = QStringList(valueCount, QString());
    closeUnusedAgents(requests);
    for (const auto &agent : m_agents) {
        // Requests of earlier batches left unanswered are let go of, and a refusal the host
        // sent for one of them is not taken for one of this batch.
        agent->exchange.expireRequests();
        agent->exchange.clearSocketError();
        agent->exchange.setRequestTimeoutMs(qMax(0, timeoutMs));
    }
    m_timeoutMs = qMax(0, timeoutMs);
    // The deadline runs from here, before any name lookup or send.
    m_deadline.start(qMax(0, timeoutMs));

    for (int i = 0; i < static_cast<int>(m_slots.size()); ++i) {
        Slot &slot = *m_slots[static_cast<size_t>(i)];
        ++m_pending;
        slot.oids = parseOids(slot.request);
        const SnmpHost host = SnmpHost::parse(slot.request.host);
        slot.port = host.port;
        if (slot.oids.isEmpty() || !host.isValid())
            settle(i);
        else if (host.kind == SnmpHost::Kind::Name)
            lookUp(i, host.name);
        else
            sendSoon(i, host.address, host.port);
    }
    if (m_pending == 0)
        m_deadline.start(0); // nothing in flight: report from the event loop
}

void SnmpBatch::lookUp(int index, const QString &name)
{
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    // The lookup is aborted by release(); a late answer for a released slot is ignored.
    slot.lookupId = QHostInfo::lookupHost(
        name, this, [this, index](const QHostInfo &info) { hostResolved(index, info); });
}

void SnmpBatch::hostResolved(int index, const QHostInfo &info)
{
    if (!m_running || index >= static_cast<int>(m_slots.size()))
        return;
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    if (slot.lookupId != info.lookupId() || slot.settled)
        return;
    slot.lookupId = -1;
    const QHostAddress address = info.error() == QHostInfo::NoError
                                     ? SnmpHost::pickAddress(info.addresses())
                                     : QHostAddress();
    if (address.isNull()) {
        settle(index);
        if (m_pending == 0)
            finish();
        return;
    }
    send(index, address, slot.port);
    if (m_pending == 0)
        finish();
}

void SnmpBatch::sendSoon(int index, const QHostAddress &address, quint16 port)
{
    if (m_slots[static_cast<size_t>(index)]->request.version != SnmpVersion::V3) {
        send(index, address, port);
        return;
    }
    // Opening a v3 session (and deriving keys) costs more than a v1 one: each goes out at a
    // timer turn of its own, so twenty of them never hold up the window in one piece.
    m_sendQueue.push_back([this, index, address, port] {
        if (m_slots[static_cast<size_t>(index)]->settled)
            return;
        send(index, address, port);
        if (m_pending == 0)
            finish();
    });
    m_sendTimer.start();
}

void SnmpBatch::sendNext()
{
    if (m_sendQueue.empty() || !m_running) {
        m_sendTimer.stop();
        return;
    }
    const std::function<void()> next = std::move(m_sendQueue.front());
    m_sendQueue.pop_front();
    if (m_sendQueue.empty())
        m_sendTimer.stop();
    next(); // may finish the batch
}

void SnmpBatch::send(int index, const QHostAddress &address, quint16 port)
{
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    if (slot.request.version != SnmpVersion::V3) {
        Agent *agent = agentFor(slot.request, address, port);
        if (!agent ||
            agent->exchange.send(SnmpExchange::Command::Get, slot.oids) != SnmpExchange::Sent::Ok) {
            settle(index);
            return;
        }
        slot.agent = agent;
        slot.readings = QStringList(slot.oids.size(), QString());
        agent->inFlight.emplace_back(agent->exchange.lastRequestId(), index);
        return;
    }
    slot.query = std::make_unique<Query>();
    slot.query->setTypedFrom(typedFrom(slot.request));
    slot.query->watch(this, [this, index] { readable(index); });
    if (!slot.query->send(address, port, slot.request.wireCommunity(), slot.oids,
                          slot.request.version, slot.request.security)) {
        if (slot.query->failure() != SnmpFailure::None)
            slot.sendFailure = slot.query->failure();
        slot.query.reset();
        settle(index);
    }
}

SnmpBatch::Agent *SnmpBatch::agentFor(const SnmpRequest &request, const QHostAddress &address,
                                      quint16 port)
{
    auto found = std::find_if(m_agents.begin(), m_agents.end(),
                              [&request](const auto &agent) { return agent->serves(request); });
    Agent *agent = found != m_agents.end() ? found->get() : nullptr;
    if (agent && agent->exchange.isOpen() && agent->address == address && agent->port == port)
        return agent;
    if (!agent) {
        m_agents.push_back(std::make_unique<Agent>());
        agent = m_agents.back().get();
        agent->host = request.host;
        agent->version = request.version;
        agent->community = request.wireCommunity();
        // Replies are only taken in during the read; they are handled after it (a handler
        // must not close the session the library is reading).
        agent->exchange.setReplyHandler([agent](long id, SnmpReply reply) {
            agent->replies.emplace_back(id, std::move(reply));
        });
        agent->exchange.watch(this, [this, agent] { agentReadable(agent); });
    }
    // A name that now resolves to another address: the session is opened afresh.
    agent->inFlight.clear();
    agent->address = address;
    agent->port = port;
    if (!agent->exchange.openCommunity(agent->version, agent->community, address, port))
        return nullptr;
    agent->exchange.setRequestTimeoutMs(m_timeoutMs);
    return agent;
}

void SnmpBatch::agentReadable(Agent *agent)
{
    agent->exchange.read();
    std::vector<std::pair<long, SnmpReply>> replies;
    replies.swap(agent->replies);
    if (!m_running)
        return;
    bool settledAny = false;
    for (auto &[id, reply] : replies) {
        const auto it = std::find_if(agent->inFlight.begin(), agent->inFlight.end(),
                                     [id = id](const auto &entry) { return entry.first == id; });
        if (it == agent->inFlight.end())
            continue;
        const int index = it->second;
        agent->inFlight.erase(it);
        Slot &slot = *m_slots[static_cast<size_t>(index)];
        if (slot.settled || slot.agent != agent)
            continue;
        slot.answered = true;
        slot.failure = storeReadings(reply, slot.oids, slot.request.version,
                                     typedFrom(slot.request), &slot.readings);
        for (qsizetype i = 0; i < slot.readings.size(); ++i)
            m_values[m_firstValue[static_cast<size_t>(index)] + i] = slot.readings.at(i);
        settle(index);
        settledAny = true;
    }
    if (settledAny && m_pending == 0)
        finish(); // last: a receiver may delete or restart the batch
}

void SnmpBatch::closeUnusedAgents(const QList<SnmpRequest> &requests)
{
    std::erase_if(m_agents, [&requests](const auto &agent) {
        return std::none_of(requests.cbegin(), requests.cend(),
                            [&agent](const SnmpRequest &r) { return agent->serves(r); });
    });
}

void SnmpBatch::closeSessionsExcept(const QStringList &hosts)
{
    std::erase_if(m_agents, [this, &hosts](const auto &agent) {
        if (hosts.contains(agent->host))
            return false;
        if (m_running) {
            for (const auto &slot : m_slots) {
                if (slot->agent == agent.get())
                    return false; // in flight: closed by the next batch that does not ask it
            }
        }
        return true;
    });
}

// After a read of either of the query's sockets.
void SnmpBatch::readable(int index)
{
    if (!m_running)
        return;
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    if (slot.settled || !slot.query)
        return;
    if (slot.query->readyToSend()) {
        slot.query->setWatching(false);
        m_sendQueue.push_back([this, index] {
            Slot &s = *m_slots[static_cast<size_t>(index)];
            if (s.settled || !s.query)
                return;
            s.query->sendLearnt();     // on a socket of its own, watched as the one before
            if (s.query->answered()) { // nothing could be sent
                settle(index);
                if (m_pending == 0)
                    finish();
            }
        });
        m_sendTimer.start();
        return;
    }
    if (!slot.query->answered())
        return; // not a reply to this request (or undecodable): keep waiting
    const QStringList &readings = slot.query->values();
    for (qsizetype i = 0; i < readings.size(); ++i)
        m_values[m_firstValue[static_cast<size_t>(index)] + i] = readings.at(i);
    settle(index);
    if (m_pending == 0)
        finish();
}

void SnmpBatch::settle(int index)
{
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    if (slot.settled)
        return;
    slot.settled = true;
    --m_pending;
    if (slot.query)
        slot.query->setWatching(false);
}

void SnmpBatch::finish()
{
    if (!m_running)
        return;
    const QStringList values = m_values;
    m_failures.clear();
    for (const auto &slot : m_slots) {
        SnmpFailure failure = SnmpFailure::None;
        if (slot->agent)
            failure = slot->answered ? slot->failure : SnmpFailure::NoAnswer;
        else if (!slot->query)
            failure = slot->sendFailure;
        else if (!slot->query->answered())
            failure = slot->query->unanswered();
        else
            failure = slot->query->failure();
        m_failures.append(failure);
    }
    release();
    // Last statement: a receiver may delete or restart the batch.
    Q_EMIT finished(values);
}

void SnmpBatch::cancel()
{
    if (m_running)
        release();
}

void SnmpBatch::release()
{
    m_running = false;
    m_sendTimer.stop();
    m_sendQueue.clear(); // sends still queued for this batch are dropped
    m_deadline.stop();
    for (auto &slot : m_slots) {
        if (slot->lookupId >= 0)
            QHostInfo::abortHostLookup(slot->lookupId);
        slot->query.reset();
    }
    m_slots.clear();
    // Late replies to this batch's requests are no longer wanted; the sessions stay open.
    for (const auto &agent : m_agents) {
        agent->exchange.forgetRequests();
        agent->inFlight.clear();
        agent->replies.clear();
    }
    m_values.clear();
    m_firstValue.clear();
    m_pending = 0;
}

QString snmpGetBlocking(const SnmpRequest &request, int timeoutMs)
{
    initLibrary();
    const QDeadlineTimer deadline(qMax(0, timeoutMs), Qt::PreciseTimer);

    const QList<QList<quint32>> oids = parseOids(request);
    const SnmpHost host = SnmpHost::parse(request.host);
    if (oids.isEmpty() || !host.isValid())
        return QString();
    QHostAddress address = host.address;
    if (host.kind == SnmpHost::Kind::Name)
        address = SnmpHost::pickAddress(QHostInfo::fromName(host.name).addresses());
    if (address.isNull() || deadline.hasExpired())
        return QString();

    Query exchange;
    exchange.setTypedFrom(typedFrom(request));
    if (!exchange.send(address, host.port, request.wireCommunity(), oids, request.version,
                       request.security))
        return QString();
    while (!exchange.answered()) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0)
            break;
        // The socket changes after a v3 discovery; an engine ID check has one of its own.
        pollfd fds[2] = {{exchange.socket(), POLLIN, 0}, {exchange.checkSocket(), POLLIN, 0}};
        const int ready =
            ::poll(fds, exchange.checkSocket() >= 0 ? 2 : 1, static_cast<int>(remaining));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0 && (fds[0].revents & POLLIN))
            exchange.readRequest();
        if (ready > 0 && fds[1].fd >= 0 && (fds[1].revents & POLLIN))
            exchange.readCheck();
        if (exchange.readyToSend())
            exchange.sendLearnt();
    }
    return exchange.values().value(0);
}
