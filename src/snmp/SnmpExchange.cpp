#include "SnmpExchange.h"

#include "SnmpHost.h"
#include "SnmpSession.h"

#include <QObject>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace
{

// A request-id no other local user can guess from the ones seen before (positive, as agents
// expect a non-negative INTEGER).
long unpredictableRequestId()
{
    return static_cast<long>(QRandomGenerator::system()->bounded(1u, 0x7fffffffu));
}

SnmpBinding decode(const netsnmp_variable_list *var)
{
    SnmpBinding binding;
    binding.name.reserve(static_cast<qsizetype>(var->name_length));
    for (size_t i = 0; i < var->name_length; ++i)
        binding.name.append(static_cast<quint32>(var->name[i]));
    binding.rawType = var->type;
    SnmpValue &value = binding.value;
    switch (var->type) {
    case ASN_INTEGER:
        if (var->val.integer) {
            value.type = SnmpValue::Integer;
            value.integer = *var->val.integer;
        }
        break;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        if (var->val.integer) {
            value.type = var->type;
            value.number = static_cast<quint32>(*var->val.integer);
        }
        break;
    case ASN_COUNTER64:
        if (var->val.counter64 && var->val_len >= sizeof(counter64)) {
            value.type = SnmpValue::Counter64;
            value.number = (quint64(var->val.counter64->high & 0xffffffffUL) << 32) |
                           quint64(var->val.counter64->low & 0xffffffffUL);
        }
        break;
    case ASN_OCTET_STR:
        value.type = SnmpValue::OctetString;
        if (var->val.string && var->val_len > 0)
            value.bytes = QByteArray(reinterpret_cast<const char *>(var->val.string),
                                     static_cast<qsizetype>(std::min<size_t>(
                                         var->val_len, SnmpExchange::MaxTextOctets)));
        break;
    case ASN_OBJECT_ID:
        value.type = SnmpValue::ObjectId; // its value is not needed
        break;
    default:
        break; // NULL, the exceptions, anything else: no value
    }
    return binding;
}

} // namespace

bool SnmpExchange::openCommunity(SnmpVersion version, const QByteArray &community,
                                 const QHostAddress &address, quint16 port)
{
    close();
    int socket = -1;
    void *handle = SnmpSession::openCommunity(version, community, address, port, &socket);
    m_socket = socket;
    return opened(handle, Kind::Community, address, port);
}

bool SnmpExchange::openEngineDiscovery(const QHostAddress &address, quint16 port)
{
    close();
    int socket = -1;
    void *handle = SnmpSession::openEngineDiscovery(address, port, &socket);
    m_socket = socket;
    return opened(handle, Kind::EngineDiscovery, address, port);
}

bool SnmpExchange::openUser(const QHostAddress &address, quint16 port, const QByteArray &engineId,
                            const SnmpSecurity &security, SnmpFailure *failure)
{
    close();
    int socket = -1;
    void *handle = SnmpSession::openUser(address, port, engineId, security, &socket, failure);
    m_socket = socket;
    return opened(handle, Kind::User, address, port);
}

bool SnmpExchange::opened(void *handle, Kind kind, const QHostAddress &address, quint16 port)
{
    if (!handle) {
        m_socket = -1;
        return false;
    }
    m_handle = handle;
    m_kind = kind;
    m_peer = SnmpHost::peerName(address, port);
    createNotifier();
    return true;
}

void SnmpExchange::close()
{
    dropNotifier();
    // Closing frees every PDU the library still holds for this session.
    if (m_handle)
        snmp_sess_close(m_handle);
    m_handle = nullptr;
    m_socket = -1;
    m_kind = Kind::None;
    m_liveIds.clear();
    m_reply.reset();
}

SnmpExchange::Sent SnmpExchange::send(Command command, const QList<SnmpOid> &names,
                                      int maxRepetitions, int nonRepeaters)
{
    if (!m_handle)
        return Sent::Failed;
    const bool discovery = m_kind == Kind::EngineDiscovery;
    int type = SNMP_MSG_GET;
    if (command == Command::GetNext)
        type = SNMP_MSG_GETNEXT;
    else if (command == Command::GetBulk)
        type = SNMP_MSG_GETBULK;
    netsnmp_pdu *pdu = discovery ? SnmpSession::engineDiscoveryRequest() : snmp_pdu_create(type);
    if (!pdu)
        return Sent::Failed;
    // The library matches the reply to this request by its request-id.
    pdu->reqid = unpredictableRequestId();
    if (type == SNMP_MSG_GETBULK && !discovery) {
        pdu->non_repeaters = std::clamp(nonRepeaters, 0, int(names.size()));
        pdu->max_repetitions = maxRepetitions;
    }
    for (const SnmpOid &name : names) {
        if (discovery)
            break;
        const std::vector<oid> sub(name.cbegin(), name.cend());
        if (!snmp_add_null_var(pdu, sub.data(), sub.size())) {
            snmp_free_pdu(pdu);
            return Sent::Failed;
        }
    }
    const long id = pdu->reqid;
    // On success the library owns the PDU until its reply or the session's close.
    if (SnmpSession::send(m_handle, pdu, &SnmpExchange::received, this) == 0) {
        snmp_free_pdu(pdu);
        // On the connected socket, the host's "port unreachable" to an earlier request comes
        // back as the refusal of this one: nothing listens there.
        int systemError = 0;
        int snmpError = 0;
        char *text = nullptr;
        snmp_sess_error(m_handle, &systemError, &snmpError, &text);
        std::free(text);
        return systemError == ECONNREFUSED ? Sent::Refused : Sent::Failed;
    }
    m_liveIds.push_back(id);
    m_lastId = id;
    return Sent::Ok;
}

void SnmpExchange::read()
{
    if (m_handle && m_socket >= 0)
        SnmpSession::read(m_handle, m_socket);
}

SnmpReply SnmpExchange::takeReply()
{
    SnmpReply reply = m_reply ? std::move(*m_reply) : SnmpReply();
    m_reply.reset();
    return reply;
}

int SnmpExchange::received(int operation, snmp_session *, int, snmp_pdu *pdu, void *magic)
{
    auto *self = static_cast<SnmpExchange *>(magic);
    if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !pdu)
        return 1;
    if (self->m_onReply) {
        // Many requests in flight on one session: each reply goes out by its request-id.
        const auto live = std::find(self->m_liveIds.begin(), self->m_liveIds.end(), pdu->reqid);
        if (live == self->m_liveIds.end() || pdu->command == SNMP_MSG_REPORT)
            return 1; // not wanted (or a report, which only v3 users get)
        *live = self->m_liveIds.back();
        self->m_liveIds.pop_back();
        SnmpReply reply;
        reply.errorStatus = pdu->errstat;
        for (const netsnmp_variable_list *var = pdu->variables; var; var = var->next_variable)
            reply.bindings.push_back(decode(var));
        self->m_onReply(pdu->reqid, std::move(reply));
        return 1;
    }
    if (self->m_reply)
        return 1;
    SnmpReply reply;
    if (self->m_kind == Kind::EngineDiscovery) {
        reply.engineId = SnmpSession::reportedEngine(pdu);
        if (!reply.engineId.isEmpty())
            SnmpSession::learnEngine(self->m_peer, reply.engineId);
        self->m_reply = std::move(reply);
        return 1;
    }
    if (pdu->command == SNMP_MSG_REPORT) {
        // The library matched it to a request of this session; an agent that cannot decrypt
        // a request reports without its request-id. Wrong user, passphrase or security
        // level, or an engine that changed its ID.
        reply.report = SnmpSession::reportFailure(pdu, self->m_peer);
        self->m_reply = std::move(reply);
        return 1;
    }
    if (std::find(self->m_liveIds.cbegin(), self->m_liveIds.cend(), pdu->reqid) ==
        self->m_liveIds.cend())
        return 1; // an answer to a request no longer wanted
    reply.errorStatus = pdu->errstat;
    reply.requestId = pdu->reqid;
    for (const netsnmp_variable_list *var = pdu->variables; var; var = var->next_variable)
        reply.bindings.push_back(decode(var));
    self->m_reply = std::move(reply);
    return 1;
}

void SnmpExchange::setRequestTimeoutMs(int ms)
{
    if (netsnmp_session *session = m_handle ? snmp_sess_session(m_handle) : nullptr)
        session->timeout = static_cast<long>(qMax(0, ms)) * 1000; // microseconds
}

void SnmpExchange::expireRequests()
{
    // Retries are 0: an expired request is dropped with a time-out call, which is ignored.
    if (m_handle)
        snmp_sess_timeout(m_handle);
}

void SnmpExchange::clearSocketError()
{
    if (m_socket < 0)
        return;
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &error, &size); // reading it clears it
}

void SnmpExchange::unanswered()
{
    if (m_kind == Kind::User)
        SnmpSession::markSilent(m_peer);
}

void SnmpExchange::watch(QObject *context, std::function<void()> onReadable)
{
    m_context = context;
    m_onReadable = std::move(onReadable);
    dropNotifier();
    createNotifier();
}

void SnmpExchange::setWatching(bool on)
{
    if (m_notifier)
        m_notifier->setEnabled(on);
}

void SnmpExchange::createNotifier()
{
    if (!m_context || !m_onReadable || m_socket < 0)
        return;
    m_notifier = new QSocketNotifier(m_socket, QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_context,
                     [handler = m_onReadable] { handler(); });
}

void SnmpExchange::dropNotifier()
{
    if (!m_notifier)
        return;
    // The notifier may be the sender of the signal being handled right now.
    m_notifier->setEnabled(false);
    m_notifier->disconnect();
    m_notifier->deleteLater();
    m_notifier = nullptr;
}
