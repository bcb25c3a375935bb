#include "SnmpQuery.h"

#include "SnmpHost.h"
#include "SnmpLibrary.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <net-snmp/library/large_fd_set.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace
{

// The reading of one binding's value.
QString valueText(const netsnmp_variable_list *var, SnmpVersion version)
{
    if (!var->val.integer)
        return QString();
    if (version == SnmpVersion::V2c) {
        // Only the 64-bit counters count here; exceptions and every other type do not.
        if (var->type != ASN_COUNTER64 || var->val_len < sizeof(counter64))
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

// Connects the session's socket to the peer, so the kernel drops every datagram that does not
// come from exactly the address and port the request goes to: a local user who spots the new
// socket cannot answer in the agent's place.
bool connectToPeer(int socket, const QHostAddress &address, quint16 port)
{
    sockaddr_storage storage;
    std::memset(&storage, 0, sizeof storage);
    socklen_t size = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto *in4 = reinterpret_cast<sockaddr_in *>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(port);
        in4->sin_addr.s_addr = htonl(address.toIPv4Address());
        size = sizeof(sockaddr_in);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(in6->sin6_addr.s6_addr, bytes.c, sizeof bytes.c);
        in6->sin6_scope_id = static_cast<uint32_t>(address.scopeId().toUInt());
        size = sizeof(sockaddr_in6);
    } else {
        return false;
    }
    return ::connect(socket, reinterpret_cast<const sockaddr *>(&storage), size) == 0;
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
    ~Exchange()
    {
        if (m_session)
            snmp_sess_close(m_session);
    }

    // Opens the session to the address and sends the request. False when nothing could be
    // sent (the reading stays empty).
    bool send(const QHostAddress &address, quint16 port, const QByteArray &communityBytes,
              const QList<QList<quint32>> &oids, SnmpVersion version)
    {
        m_version = version;
        m_oids.clear();
        for (const QList<quint32> &oid : oids)
            m_oids.emplace_back(oid.cbegin(), oid.cend());
        m_values = QStringList(oids.size(), QString());

        const QByteArray peerName = SnmpHost::peerName(address, port).toLatin1();
        netsnmp_session settings;
        snmp_sess_init(&settings);
        settings.version = version == SnmpVersion::V2c ? SNMP_VERSION_2c : SNMP_VERSION_1;
        settings.peername = const_cast<char *>(peerName.constData());
        settings.community =
            reinterpret_cast<u_char *>(const_cast<char *>(communityBytes.constData()));
        settings.community_len = static_cast<size_t>(communityBytes.size());
        settings.retries = 0;
        // The library's own time-outs never run: the caller owns the single wait.
        m_session = snmp_sess_open(&settings);
        if (!m_session)
            return false;
        if (communityBytes.isEmpty()) {
            // The library substitutes its default community for an empty one; the request
            // must carry exactly the configured text, so the copy is marked empty.
            snmp_sess_session(m_session)->community_len = 0;
        }
        netsnmp_transport *transport = snmp_sess_transport(m_session);
        if (!transport || transport->sock < 0 || !connectToPeer(transport->sock, address, port))
            return false;
        m_socket = transport->sock;

        netsnmp_pdu *pdu = snmp_pdu_create(SNMP_MSG_GET);
        if (!pdu)
            return false;
        // The library matches the reply to this request by its request-id.
        pdu->reqid = newRequestId();
        for (const std::vector<oid> &name : m_oids) {
            if (!snmp_add_null_var(pdu, name.data(), name.size())) {
                snmp_free_pdu(pdu);
                return false;
            }
        }
        // On success the library owns the PDU until the reply or the session's close.
        if (snmp_sess_async_send(m_session, pdu, &Exchange::received, this) == 0) {
            snmp_free_pdu(pdu);
            return false;
        }
        return true;
    }

    int socket() const { return m_socket; }
    bool answered() const { return m_answered; }
    // The readings, one per object identifier.
    const QStringList &values() const { return m_values; }

    // Reads what is waiting on the socket; a matching reply sets answered().
    void read()
    {
        if (!m_session || m_socket < 0)
            return;
        netsnmp_large_fd_set fds;
        netsnmp_large_fd_set_init(&fds, m_socket + 1);
        NETSNMP_LARGE_FD_SET(m_socket, &fds);
        snmp_sess_read2(m_session, &fds);
        netsnmp_large_fd_set_cleanup(&fds);
    }

private:
    static int received(int operation, netsnmp_session *, int, netsnmp_pdu *reply, void *magic)
    {
        auto *self = static_cast<Exchange *>(magic);
        if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !reply || self->m_answered)
            return 1;
        self->m_answered = true;
        // A v2c agent that reports an error-status gives no reading at all (a v1 reply's
        // error-status is not examined: its bindings are NULL then).
        if (self->m_version == SnmpVersion::V2c && reply->errstat != SNMP_ERR_NOERROR)
            return 1;
        for (std::size_t i = 0; i < self->m_oids.size(); ++i) {
            const std::vector<oid> &name = self->m_oids[i];
            for (const netsnmp_variable_list *var = reply->variables; var;
                 var = var->next_variable) {
                if (snmp_oid_compare(var->name, var->name_length, name.data(), name.size()) == 0) {
                    self->m_values[static_cast<qsizetype>(i)] = valueText(var, self->m_version);
                    break;
                }
            }
        }
        return 1;
    }

    void *m_session = nullptr;
    int m_socket = -1;
    SnmpVersion m_version = SnmpVersion::V1;
    std::vector<std::vector<oid>> m_oids;
    bool m_answered = false;
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

} // namespace

QList<quint32> parseOidText(const QString &text)
{
    QList<quint32> result;
    const QList<QStringView> parts = QStringView(text).split(QLatin1Char('.'));
    if (parts.size() < 2 || parts.size() > MAX_OID_LEN)
        return {};
    for (QStringView part : parts) {
        if (part.isEmpty() || part.size() > 10)
            return {};
        for (QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
        }
        if (part.size() > 1 && part.front() == QLatin1Char('0'))
            return {};
        const qulonglong value = part.toULongLong();
        if (value > 0xffffffffULL)
            return {};
        result.append(static_cast<quint32>(value));
    }
    if (result[0] > 2 || (result[0] < 2 && result[1] >= 40))
        return {};
    return result;
}

struct SnmpBatch::Slot {
    SnmpRequest request;
    QList<QList<quint32>> oids; // empty when any of the request's identifiers is malformed
    quint16 port = SnmpHost::DefaultPort;
    int lookupId = -1;
    std::unique_ptr<Exchange> exchange;
    QSocketNotifier *notifier = nullptr;
    bool settled = false;
};

SnmpBatch::SnmpBatch(QObject *parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, &SnmpBatch::finish);
}

SnmpBatch::~SnmpBatch()
{
    cancel();
}

void SnmpBatch::start(const QList<SnmpRequest> &requests, int timeoutMs)
{
    cancel();
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
            send(i, host.address, host.port);
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

void SnmpBatch::send(int index, const QHostAddress &address, quint16 port)
{
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    slot.exchange = std::make_unique<Exchange>();
    if (!slot.exchange->send(address, port, slot.request.wireCommunity(), slot.oids,
                             slot.request.version)) {
        slot.exchange.reset();
        settle(index);
        return;
    }
    slot.notifier = new QSocketNotifier(slot.exchange->socket(), QSocketNotifier::Read, this);
    connect(slot.notifier, &QSocketNotifier::activated, this, [this, index]() { readable(index); });
}

void SnmpBatch::readable(int index)
{
    if (!m_running)
        return;
    Slot &slot = *m_slots[static_cast<size_t>(index)];
    if (slot.settled || !slot.exchange)
        return;
    slot.exchange->read();
    if (!slot.exchange->answered())
        return; // not a reply to this request (or undecodable): keep waiting
    const QStringList &readings = slot.exchange->values();
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
    if (slot.notifier)
        slot.notifier->setEnabled(false);
}

void SnmpBatch::finish()
{
    if (!m_running)
        return;
    const QStringList values = m_values;
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
    m_deadline.stop();
    for (auto &slot : m_slots) {
        if (slot->lookupId >= 0)
            QHostInfo::abortHostLookup(slot->lookupId);
        if (slot->notifier) {
            // The notifier may be the sender of the signal being handled right now.
            slot->notifier->setEnabled(false);
            slot->notifier->disconnect(this);
            slot->notifier->deleteLater();
            slot->notifier = nullptr;
        }
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
    if (!exchange.send(address, host.port, request.wireCommunity(), oids, request.version))
        return QString();
    while (!exchange.answered()) {
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0)
            break;
        pollfd fd{exchange.socket(), POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(remaining));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0)
            exchange.read();
    }
    return exchange.values().value(0);
}
