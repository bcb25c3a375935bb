#include "SnmpQuery.h"

#include "IfMib.h"
#include "SnmpHost.h"
#include "SnmpLibrary.h"
#include "SnmpSession.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QHostInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <poll.h>

#include <cerrno>
#include <cstdint>

namespace
{

// The reading of one binding's value. A 64-bit counter (any object of a v2c request, and the
// ifHC counters in every version) counts only as a Counter64, whatever else the agent sends.
QString valueText(const netsnmp_variable_list *var, SnmpVersion version, bool wants64)
{
    if (!var->val.integer)
        return QString();
    if (version == SnmpVersion::V2c && var->type == ASN_TIMETICKS && !wants64)
        return QString::number(static_cast<quint32>(*var->val.integer)); // sysUpTime.0
    if (version == SnmpVersion::V2c || wants64 || var->type == ASN_COUNTER64) {
        if (version == SnmpVersion::V1 || var->type != ASN_COUNTER64 ||
            var->val_len < sizeof(counter64))
            return QString();
        const quint64 value = (quint64(var->val.counter64->high & 0xffffffffUL) << 32) |
                              quint64(var->val.counter64->low & 0xffffffffUL);
        return QString::number(value);
    }
    switch (var->type) {
    case ASN_INTEGER:
        return QString::number(static_cast<qint64>(*var->val.integer));
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        return QString::number(static_cast<quint32>(*var->val.integer));
    default:
        return QString(); // NULL, strings, identifiers, Counter64, exceptions...
    }
}

// A fresh, unpredictable request-id (positive, as agents expect a non-negative INTEGER).
long newRequestId()
{
    return static_cast<long>(QRandomGenerator::system()->bounded(1u, 0x7fffffffu));
}

// One GetRequest on its own session. The session, its socket and every PDU the library still
// holds are freed exactly once, by the destructor.
class Exchange
{
public:
    Exchange() = default;
    Exchange(const Exchange &) = delete;
    Exchange &operator=(const Exchange &) = delete;
    ~Exchange() { close(); }

    // Opens the session to the address and sends the request. False when nothing could be
    // sent (the reading stays empty).
    bool send(const QHostAddress &address, quint16 port, const QByteArray &communityBytes,
              const QList<QList<quint32>> &oids, SnmpVersion version,
              std::shared_ptr<const SnmpSecurity> security = {})
    {
        m_version = version;
        m_address = address;
        m_port = port;
        m_security = std::move(security);
        m_oids.clear();
        m_wants64.clear();
        for (const QList<quint32> &oid : oids) {
            m_oids.emplace_back(oid.cbegin(), oid.cend());
            m_wants64.push_back(IfMib::isHighCapacityCounter(oid));
        }
        m_values = QStringList(oids.size(), QString());
        m_peer = SnmpHost::peerName(address, port);

        if (version == SnmpVersion::V3) {
            if (!m_security)
                return false;
            const QByteArray known = SnmpSession::knownEngine(m_peer);
            return !known.isEmpty() ? sendV3(known) : sendDiscovery();
        }
        // The library's own time-outs never run: the caller owns the single wait.
        m_session = SnmpSession::openCommunity(version, communityBytes, address, port, &m_socket);
        return m_session && sendGet(true);
    }

    // Bindings from this one on (0 = the request's oid) are read by their own type.
    void setTypedFrom(std::size_t first) { m_typedFrom = first; }

    int socket() const { return m_socket; }
    bool answered() const { return m_answered; }
    SnmpFailure failure() const { return m_failure; }

    // The request got no answer. The agent's engine ID and time stay known: a late or lost
    // reply says nothing about them (only an unknownEngineIDs report makes them learnt afresh),
    // and forgetting them would make every later poll of a distant agent need two round trips.
    SnmpFailure unanswered() const
    {
        if (m_version == SnmpVersion::V3 && !m_discovering)
            SnmpSession::markSilent(m_peer);
        return SnmpFailure::NoAnswer;
    }
    // The readings, one per object identifier.
    const QStringList &values() const { return m_values; }

    // Reads what is waiting on the socket; a matching reply sets answered(). After a v3
    // agent's engine ID has come in, the request itself goes out on a new socket.
    // The socket of the engine ID check that runs beside a request to a peer gone silent;
    // -1 when there is none.
    int checkSocket() const { return m_checkSocket; }

    void read(int socket)
    {
        if (socket >= 0 && socket == m_checkSocket) {
            readCheck();
            return;
        }
        if (!m_session || m_socket < 0)
            return;
        SnmpSession::read(m_session, m_socket);
        if (m_discovering && !m_learntEngine.isEmpty()) {
            // The session cannot be replaced inside the library's callback; the caller sends
            // the request itself with sendLearnt().
            m_discovering = false;
            SnmpSession::learnEngine(m_peer, m_learntEngine);
            m_readyToSend = true;
        }
    }

    // The agent's engine ID came in: the request is to go out (on a new socket).
    bool readyToSend() const { return m_readyToSend; }
    void sendLearnt()
    {
        m_readyToSend = false;
        close();
        if (!sendV3(m_learntEngine)) {
            m_answered = true;
            if (m_failure == SnmpFailure::None)
                m_failure = SnmpFailure::NotSent;
        }
    }

private:
    void close()
    {
        closeCheck();
        if (m_session)
            snmp_sess_close(m_session);
        m_session = nullptr;
        m_socket = -1;
    }

    void closeCheck()
    {
        if (m_check)
            snmp_sess_close(m_check);
        m_check = nullptr;
        m_checkSocket = -1;
    }

    // The engine ID check's reply: the same engine ID ends the check; another one (a replaced
    // device) is learnt and the request goes out again for it (see readyToSend()).
    void readCheck()
    {
        if (!m_check)
            return;
        SnmpSession::read(m_check, m_checkSocket);
        if (!m_checkDone)
            return;
        closeCheck();
        if (m_checkedEngine.isEmpty() || m_answered)
            return;
        if (m_checkedEngine == SnmpSession::knownEngine(m_peer)) {
            SnmpSession::learnEngine(m_peer, m_checkedEngine); // confirmed
            return;
        }
        m_learntEngine = m_checkedEngine;
        SnmpSession::learnEngine(m_peer, m_learntEngine);
        m_readyToSend = true;
    }

    // Opens the engine ID check beside the request; a check that cannot be sent is skipped.
    void startCheck()
    {
        m_check = SnmpSession::openEngineDiscovery(m_address, m_port, &m_checkSocket);
        if (!m_check)
            return;
        netsnmp_pdu *pdu = SnmpSession::engineDiscoveryRequest();
        if (!pdu) {
            closeCheck();
            return;
        }
        pdu->reqid = newRequestId();
        if (SnmpSession::send(m_check, pdu, &Exchange::checkReceived, this) == 0) {
            snmp_free_pdu(pdu);
            closeCheck();
        }
    }

    static int checkReceived(int operation, netsnmp_session *, int, netsnmp_pdu *reply, void *magic)
    {
        auto *self = static_cast<Exchange *>(magic);
        if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !reply || self->m_checkDone)
            return 1;
        self->m_checkDone = true;
        self->m_checkedEngine = SnmpSession::reportedEngine(reply);
        return 1;
    }

    // One GET: the request's bindings, or none (the engine ID discovery).
    bool sendGet(bool withBindings)
    {
        netsnmp_pdu *pdu =
            withBindings ? snmp_pdu_create(SNMP_MSG_GET) : SnmpSession::engineDiscoveryRequest();
        if (!pdu)
            return false;
        // The library matches the reply to this request by its request-id.
        pdu->reqid = newRequestId();
        for (const std::vector<oid> &name : m_oids) {
            if (!withBindings)
                break;
            if (!snmp_add_null_var(pdu, name.data(), name.size())) {
                snmp_free_pdu(pdu);
                return false;
            }
        }
        // On success the library owns the PDU until the reply or the session's close.
        if (SnmpSession::send(m_session, pdu, &Exchange::received, this) == 0) {
            snmp_free_pdu(pdu);
            return false;
        }
        return true;
    }

    // The first exchange with a v3 agent whose engine ID is not known yet. It runs like any
    // request (no blocking probe when the session opens).
    bool sendDiscovery()
    {
        m_session = SnmpSession::openEngineDiscovery(m_address, m_port, &m_socket);
        if (!m_session)
            return false;
        m_discovering = true;
        return sendGet(false);
    }

    bool sendV3(const QByteArray &engineId)
    {
        m_session =
            SnmpSession::openUser(m_address, m_port, engineId, *m_security, &m_socket, &m_failure);
        if (!m_session || !sendGet(true))
            return false;
        // Once per request: after the check has found a new engine ID, none is needed.
        if (!m_checked && SnmpSession::isSilent(m_peer)) {
            m_checked = true;
            startCheck();
        }
        return true;
    }

    static int received(int operation, netsnmp_session *, int, netsnmp_pdu *reply, void *magic)
    {
        auto *self = static_cast<Exchange *>(magic);
        if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !reply || self->m_answered)
            return 1;
        if (self->m_discovering) {
            self->m_learntEngine = SnmpSession::reportedEngine(reply);
            if (self->m_learntEngine.isEmpty())
                self->m_answered = true; // not a v3 agent's answer: no reading
            return 1;
        }
        self->m_answered = true;
        if (reply->command == SNMP_MSG_REPORT) {
            // Wrong user, passphrase or security level, or an engine that changed its ID.
            self->m_failure = SnmpSession::reportFailure(reply, self->m_peer);
            return 1;
        }
        // A v2c or v3 agent that reports an error-status gives no reading at all (a v1
        // reply's error-status is not examined: its bindings are NULL then).
        if (self->m_version != SnmpVersion::V1 && reply->errstat != SNMP_ERR_NOERROR) {
            self->m_failure = SnmpFailure::ErrorStatus;
            return 1;
        }
        for (std::size_t i = 0; i < self->m_oids.size(); ++i) {
            const std::vector<oid> &name = self->m_oids[i];
            for (const netsnmp_variable_list *var = reply->variables; var;
                 var = var->next_variable) {
                if (snmp_oid_compare(var->name, var->name_length, name.data(), name.size()) == 0) {
                    // Typed bindings (link health) are read by their own type, as in v1.
                    const bool typed = i >= self->m_typedFrom;
                    self->m_values[static_cast<qsizetype>(i)] =
                        valueText(var, typed ? SnmpVersion::V1 : self->m_version,
                                  !typed && self->m_wants64[i]);
                    break;
                }
            }
        }
        return 1;
    }

    void *m_session = nullptr;
    int m_socket = -1;
    SnmpVersion m_version = SnmpVersion::V1;
    QHostAddress m_address;
    quint16 m_port = 0;
    QString m_peer;
    std::shared_ptr<const SnmpSecurity> m_security;
    bool m_discovering = false;
    bool m_readyToSend = false;
    QByteArray m_learntEngine;
    void *m_check = nullptr; // the engine ID check beside a request to a silent peer
    int m_checkSocket = -1;
    bool m_checked = false;
    bool m_checkDone = false;
    QByteArray m_checkedEngine;
    std::vector<std::vector<oid>> m_oids;
    std::vector<bool> m_wants64; // per object identifier: only a Counter64 is a reading
    std::size_t m_typedFrom = SIZE_MAX;
    bool m_answered = false;
    SnmpFailure m_failure = SnmpFailure::None;
    QStringList m_values;
};

// The address a resolved name is queried at: the first IPv4 address, else the first IPv6.
QHostAddress pickAddress(const QList<QHostAddress> &addresses)
{
    for (const QHostAddress &address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol &&
            SnmpHost::isUsableAddress(address))
            return address;
    }
    for (const QHostAddress &address : addresses) {
        if (SnmpHost::isUsableAddress(address))
            return address;
    }
    return QHostAddress();
}

// Every object identifier of a request, or an empty list when any of them is malformed.
QList<QList<quint32>> parseOids(const SnmpRequest &request)
{
    QList<QList<quint32>> oids;
    for (const QString &text : QStringList{request.oid} + request.moreOids) {
        QList<quint32> oid = parseOidText(text);
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
    QList<QList<quint32>> oids; // empty when any of the request's identifiers is malformed
    quint16 port = SnmpHost::DefaultPort;
    int lookupId = -1;
    std::unique_ptr<Exchange> exchange;
    QSocketNotifier *notifier = nullptr;
    QSocketNotifier *checkNotifier = nullptr; // the exchange's engine ID check, if any
    bool settled = false;
    SnmpFailure sendFailure = SnmpFailure::NotSent; // when there is no exchange
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
    const QHostAddress address =
        info.error() == QHostInfo::NoError ? pickAddress(info.addresses()) : QHostAddress();
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
    slot.exchange = std::make_unique<Exchange>();
    slot.exchange->setTypedFrom(typedFrom(slot.request));
    if (!slot.exchange->send(address, port, slot.request.wireCommunity(), slot.oids,
                             slot.request.version, slot.request.security)) {
        if (slot.exchange->failure() != SnmpFailure::None)
            slot.sendFailure = slot.exchange->failure();
        slot.exchange.reset();
        settle(index);
        return;
    }
    slot.notifier = new QSocketNotifier(slot.exchange->socket(), QSocketNotifier::Read, this);
    connect(slot.notifier, &QSocketNotifier::activated, this,
            [this, index]() { readable(index, -1); });
    const int check = slot.exchange->checkSocket();
    if (check >= 0) {
        slot.checkNotifier = new QSocketNotifier(check, QSocketNotifier::Read, this);
        connect(slot.checkNotifier, &QSocketNotifier::activated, this,
                [this, index, check]() { readable(index, check); });
    }
}

void SnmpBatch::dropNotifier(QSocketNotifier *&notifier)
{
    if (!notifier)
        return;
    // The notifier may be the sender of the signal being handled right now.
    notifier->setEnabled(false);
    notifier->disconnect(this);
    notifier->deleteLater();
    notifier = nullptr;
}

void SnmpBatch::readable(int index, int socket)
{
    if (!m_running)
        return;
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    if (slot.settled || !slot.exchange)
        return;
    slot.exchange->read(socket);
    if (slot.exchange->checkSocket() < 0)
        dropNotifier(slot.checkNotifier); // the engine ID check is over (its socket closed)
    if (slot.exchange->readyToSend()) {
        slot.notifier->setEnabled(false);
        m_sendQueue.push_back([this, index] {
            Slot &s = *m_slots[static_cast<size_t>(index)];
            if (s.settled || !s.exchange)
                return;
            s.exchange->sendLearnt();
            if (s.exchange->answered()) { // nothing could be sent
                settle(index);
                if (m_pending == 0)
                    finish();
                return;
            }
            rearm(index);
        });
        m_sendTimer.start();
        return;
    }
    if (!slot.exchange->answered())
        return; // not a reply to this request (or undecodable): keep waiting
    const QStringList &readings = slot.exchange->values();
    for (qsizetype i = 0; i < readings.size(); ++i)
        m_values[m_firstValue[static_cast<size_t>(index)] + i] = readings.at(i);
    settle(index);
    if (m_pending == 0)
        finish();
}

// The request left on a socket of its own after the agent's engine ID came in.
void SnmpBatch::rearm(int index)
{
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    dropNotifier(slot.notifier);
    dropNotifier(slot.checkNotifier);
    slot.notifier = new QSocketNotifier(slot.exchange->socket(), QSocketNotifier::Read, this);
    connect(slot.notifier, &QSocketNotifier::activated, this,
            [this, index]() { readable(index, -1); });
}

void SnmpBatch::settle(int index)
{
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    if (slot.settled)
        return;
    slot.settled = true;
    --m_pending;
    if (slot.notifier)
        slot.notifier->setEnabled(false);
    if (slot.checkNotifier)
        slot.checkNotifier->setEnabled(false);
}

void SnmpBatch::finish()
{
    if (!m_running)
        return;
    const QStringList values = m_values;
    m_failures.clear();
    for (const auto &slot : m_slots) {
        SnmpFailure failure = SnmpFailure::None;
        if (!slot->exchange)
            failure = slot->sendFailure;
        else if (!slot->exchange->answered())
            failure = slot->exchange->unanswered();
        else
            failure = slot->exchange->failure();
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
        dropNotifier(slot->notifier);
        dropNotifier(slot->checkNotifier);
        slot->exchange.reset();
    }
    m_slots.clear();
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
        address = pickAddress(QHostInfo::fromName(host.name).addresses());
    if (address.isNull() || deadline.hasExpired())
        return QString();

    Exchange exchange;
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
            exchange.read(fds[0].fd);
        if (ready > 0 && fds[1].fd >= 0 && (fds[1].revents & POLLIN))
            exchange.read(fds[1].fd);
        if (exchange.readyToSend())
            exchange.sendLearnt();
    }
    return exchange.values().value(0);
}
