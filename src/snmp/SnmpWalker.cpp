#include "SnmpWalker.h"

#include "SnmpHost.h"
#include "SnmpLibrary.h"
#include "SnmpSession.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <net-snmp/library/large_fd_set.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace
{

// RFC 1157 / RFC 3416 error-status values that get their own words.
QString errorStatusText(long status)
{
    switch (status) {
    case SNMP_ERR_TOOBIG:
        return QStringLiteral("tooBig");
    case SNMP_ERR_NOSUCHNAME:
        return QStringLiteral("noSuchName");
    case SNMP_ERR_BADVALUE:
        return QStringLiteral("badValue");
    case SNMP_ERR_READONLY:
        return QStringLiteral("readOnly");
    case SNMP_ERR_GENERR:
        return QStringLiteral("genErr");
    case SNMP_ERR_NOACCESS:
        return QStringLiteral("noAccess");
    case SNMP_ERR_AUTHORIZATIONERROR:
        return QStringLiteral("authorizationError");
    default:
        return QStringLiteral("error %1").arg(status);
    }
}

// The error-statuses of an agent whose access control turns the request away.
bool isAccessDenied(long status)
{
    return status == SNMP_ERR_AUTHORIZATIONERROR || status == SNMP_ERR_NOACCESS;
}

QString typeText(quint8 type)
{
    switch (type) {
    case SnmpValue::Integer:
        return QStringLiteral("INTEGER");
    case SnmpValue::OctetString:
        return QStringLiteral("OCTET STRING");
    case SnmpValue::ObjectId:
        return QStringLiteral("OBJECT IDENTIFIER");
    case SnmpValue::Counter32:
        return QStringLiteral("Counter32");
    case SnmpValue::Gauge32:
        return QStringLiteral("Gauge32");
    case SnmpValue::TimeTicks:
        return QStringLiteral("TimeTicks");
    case SnmpValue::Counter64:
        return QStringLiteral("Counter64");
    case ASN_NULL:
        return QStringLiteral("NULL");
    case SNMP_NOSUCHOBJECT:
        return QStringLiteral("noSuchObject");
    case SNMP_NOSUCHINSTANCE:
        return QStringLiteral("noSuchInstance");
    default:
        return QStringLiteral("type 0x%1").arg(type, 2, 16, QLatin1Char('0'));
    }
}

// A request-id no other local user can guess from the ones seen before.
long unpredictableRequestId()
{
    return static_cast<long>(QRandomGenerator::system()->bounded(1u, 0x7fffffffu));
}

} // namespace

// One binding of a reply, copied out of the library's PDU.
struct Binding {
    SnmpOid name;
    SnmpValue value;
    quint8 rawType = 0;
};

struct SnmpWalker::Reply {
    SnmpFailure report = SnmpFailure::None; // a v3 report instead of a response
    long errorStatus = 0;
    std::vector<Binding> bindings;
};

// The library session of one walk (one per version spoken, and for v3 one for the engine ID
// discovery), its connected socket and the request-ids that the current step accepts.
struct SnmpWalker::Session {
    void *handle = nullptr;
    int socket = -1;
    QString peer;
    bool discovering = false; // asks a v3 agent for its engine ID
    QByteArray learntEngine;
    QSocketNotifier *notifier = nullptr;
    std::vector<long> liveIds;
    bool haveReply = false;
    Reply reply;

    ~Session()
    {
        if (notifier) {
            // The notifier may be the sender of the signal being handled right now.
            notifier->setEnabled(false);
            notifier->disconnect();
            notifier->deleteLater();
        }
        if (handle)
            snmp_sess_close(handle);
    }

    static int received(int operation, netsnmp_session *, int, netsnmp_pdu *pdu, void *magic)
    {
        auto *self = static_cast<Session *>(magic);
        if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !pdu || self->haveReply)
            return 1;
        if (self->discovering) {
            self->haveReply = true;
            self->learntEngine = SnmpSession::reportedEngine(pdu);
            return 1;
        }
        if (pdu->command == SNMP_MSG_REPORT) {
            // The library matched it to a request of this session; an agent that cannot
            // decrypt a request reports without its request-id.
            self->haveReply = true;
            self->reply = Reply();
            self->reply.report = SnmpSession::reportFailure(pdu, self->peer);
            return 1;
        }
        const auto live = std::find(self->liveIds.cbegin(), self->liveIds.cend(), pdu->reqid);
        if (live == self->liveIds.cend())
            return 1; // an answer to a step already settled
        self->haveReply = true;
        self->reply = Reply();
        self->reply.errorStatus = pdu->errstat;
        for (const netsnmp_variable_list *var = pdu->variables; var; var = var->next_variable) {
            Binding binding;
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
                if (var->val.counter64) {
                    value.type = SnmpValue::Counter64;
                    value.number = (quint64(var->val.counter64->high & 0xffffffffUL) << 32) |
                                   (var->val.counter64->low & 0xffffffffUL);
                }
                break;
            case ASN_OCTET_STR:
                value.type = SnmpValue::OctetString;
                if (var->val.string && var->val_len > 0)
                    value.bytes = QByteArray(reinterpret_cast<const char *>(var->val.string),
                                             static_cast<qsizetype>(var->val_len));
                break;
            default:
                value.type = var->type == ASN_OBJECT_ID ? SnmpValue::ObjectId : 0;
                break;
            }
            self->reply.bindings.push_back(std::move(binding));
        }
        return 1;
    }
};

SnmpWalker::SnmpWalker(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SnmpWalker::timedOut);
}

SnmpWalker::~SnmpWalker()
{
    cancel();
}

void SnmpWalker::start(const WalkRequest &request)
{
    cancel();
    initLibrary();
    m_running = true;
    ++m_generation;
    m_request = request;
    m_result = WalkResult();
    m_result.scalars = QList<SnmpValue>(request.scalars.size());
    m_result.columns = QList<QList<WalkRow>>(request.columns.size());
    m_version = request.version == SnmpVersion::V1 || request.version == SnmpVersion::V3
                    ? request.version
                    : SnmpVersion::V2c;
    m_result.version = m_version;
    m_rediscovered = false;
    m_engineLearnt = false;
    rewind();

    const SnmpHost host = SnmpHost::parse(request.host);
    if (!host.isValid()) {
        failLater(WalkResult::Outcome::BadAddress, SnmpHost::problem(request.host));
        return;
    }
    m_port = host.port;
    if (host.kind == SnmpHost::Kind::Name) {
        const quint64 generation = m_generation;
        m_lookupId =
            QHostInfo::lookupHost(host.name, this, [this, generation](const QHostInfo &info) {
                if (generation == m_generation && m_running)
                    resolved(info);
            });
        return;
    }
    m_address = std::make_unique<QHostAddress>(host.address);
    // Sending starts from the event loop too, so that start() never emits.
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation] {
        if (generation == m_generation && m_running)
            openSession();
    });
}

void SnmpWalker::resolved(const QHostInfo &info)
{
    m_lookupId = -1;
    QHostAddress chosen;
    if (info.error() == QHostInfo::NoError) {
        for (const QHostAddress &address : info.addresses()) {
            if (address.protocol() == QAbstractSocket::IPv4Protocol &&
                SnmpHost::isUsableAddress(address)) {
                chosen = address;
                break;
            }
        }
        if (chosen.isNull()) {
            for (const QHostAddress &address : info.addresses()) {
                if (SnmpHost::isUsableAddress(address)) {
                    chosen = address;
                    break;
                }
            }
        }
    }
    if (chosen.isNull()) {
        fail(WalkResult::Outcome::Unresolved,
             QStringLiteral("The name \"%1\" could not be resolved.").arg(info.hostName()));
        return;
    }
    m_address = std::make_unique<QHostAddress>(chosen);
    openSession();
}

void SnmpWalker::openSession()
{
    m_session.reset();
    m_result.version = m_version;
    m_peer = SnmpHost::peerName(*m_address, m_port);

    auto session = std::make_unique<Session>();
    session->peer = m_peer;
    if (m_version == SnmpVersion::V3) {
        if (!m_request.security) {
            fail(WalkResult::Outcome::SendFailed,
                 QStringLiteral("SNMP v3 needs a user and its security settings."));
            return;
        }
        if (!SnmpSession::knownEngine(m_peer).isEmpty()) {
            openUserSession();
            return;
        }
        session->handle = SnmpSession::openEngineDiscovery(*m_address, m_port, &session->socket);
        session->discovering = true;
    } else {
        session->handle = SnmpSession::openCommunity(m_version, m_request.community.toUtf8(),
                                                     *m_address, m_port, &session->socket);
    }
    if (!session->handle) {
        fail(WalkResult::Outcome::SendFailed,
             QStringLiteral("No SNMP session to %1 could be opened.").arg(m_request.host));
        return;
    }
    attach(std::move(session));
}

// The v3 session for the request's user, once the agent's engine ID is known.
void SnmpWalker::openUserSession()
{
    m_session.reset();
    auto session = std::make_unique<Session>();
    session->peer = m_peer;
    SnmpFailure failure = SnmpFailure::None;
    session->handle = SnmpSession::openUser(*m_address, m_port, SnmpSession::knownEngine(m_peer),
                                            *m_request.security, &session->socket, &failure);
    if (!session->handle) {
        m_result.failure = failure;
        fail(WalkResult::Outcome::SendFailed,
             failure == SnmpFailure::Unsupported
                 ? snmpFailureText(failure)
                 : QStringLiteral("No SNMP session to %1 could be opened.").arg(m_request.host));
        return;
    }
    attach(std::move(session));
}

// Takes the session on and asks the current step (or the engine ID) on it.
void SnmpWalker::attach(std::unique_ptr<Session> session)
{
    session->notifier = new QSocketNotifier(session->socket, QSocketNotifier::Read, this);
    connect(session->notifier, &QSocketNotifier::activated, this, &SnmpWalker::readable);
    m_session = std::move(session);
    if (m_session->discovering || m_scalar < m_request.scalars.size() ||
        m_column < m_request.columns.size())
        sendCurrent(false);
    else
        finish();
}

void SnmpWalker::rewind()
{
    m_scalar = 0;
    m_column = 0;
    m_current = m_request.columns.isEmpty() ? SnmpOid() : m_request.columns.first().root;
}

void SnmpWalker::sendCurrent(bool retry)
{
    m_attempt = retry ? m_attempt + 1 : 1;
    if (!retry)
        m_session->liveIds.clear();
    m_session->haveReply = false;

    const bool scalar = m_scalar < m_request.scalars.size();
    const SnmpOid &target = scalar ? m_request.scalars[m_scalar] : m_current;
    int command = SNMP_MSG_GET;
    if (!scalar)
        command = m_version == SnmpVersion::V1 ? SNMP_MSG_GETNEXT : SNMP_MSG_GETBULK;
    netsnmp_pdu *pdu =
        m_session->discovering ? SnmpSession::engineDiscoveryRequest() : snmp_pdu_create(command);
    if (!pdu) {
        fail(WalkResult::Outcome::SendFailed, QStringLiteral("No request could be made."));
        return;
    }
    pdu->reqid = unpredictableRequestId();
    if (command == SNMP_MSG_GETBULK && !m_session->discovering) {
        pdu->non_repeaters = 0;
        pdu->max_repetitions = MaxRepetitions;
    }
    std::vector<oid> name(target.cbegin(), target.cend());
    if (!m_session->discovering && !snmp_add_null_var(pdu, name.data(), name.size())) {
        snmp_free_pdu(pdu);
        fail(WalkResult::Outcome::SendFailed, QStringLiteral("No request could be made."));
        return;
    }
    const long id = pdu->reqid;
    // On success the library owns the PDU until its reply or the session's close.
    if (snmp_sess_async_send(m_session->handle, pdu, &Session::received, m_session.get()) == 0) {
        snmp_free_pdu(pdu);
        // On the connected socket, the host's "port unreachable" to an earlier request comes
        // back as the refusal of this one: nothing listens there.
        int systemError = 0;
        int snmpError = 0;
        char *text = nullptr;
        snmp_sess_error(m_session->handle, &systemError, &snmpError, &text);
        std::free(text);
        if (systemError == ECONNREFUSED) {
            fail(WalkResult::Outcome::NoAnswer,
                 QStringLiteral("No answer from %1: no SNMP agent listens at this address and "
                                "port.")
                     .arg(m_request.host));
            return;
        }
        fail(WalkResult::Outcome::SendFailed,
             QStringLiteral("The request to %1 could not be sent.").arg(m_request.host));
        return;
    }
    m_session->liveIds.push_back(id);
    ++m_result.requests;
    m_timer.start(m_timeoutMs);
}

void SnmpWalker::readable()
{
    if (!m_running || !m_session)
        return;
    netsnmp_large_fd_set fds;
    netsnmp_large_fd_set_init(&fds, m_session->socket + 1);
    NETSNMP_LARGE_FD_SET(m_session->socket, &fds);
    snmp_sess_read2(m_session->handle, &fds);
    netsnmp_large_fd_set_cleanup(&fds);
    if (!m_session->haveReply)
        return; // not an answer to this step (or undecodable): keep waiting
    m_timer.stop();
    m_session->liveIds.clear();
    if (m_session->discovering) {
        const QByteArray engine = m_session->learntEngine;
        m_session->haveReply = false;
        if (engine.isEmpty()) {
            m_result.failure = SnmpFailure::Report;
            fail(WalkResult::Outcome::Refused,
                 QStringLiteral("%1 did not answer as an SNMP v3 agent (no engine ID).")
                     .arg(m_request.host));
            return;
        }
        SnmpSession::learnEngine(m_peer, engine);
        m_engineLearnt = true;
        // The user's keys are derived at a turn of their own, outside this socket's handler.
        const quint64 generation = m_generation;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation && m_running)
                openUserSession();
        });
        return;
    }
    const Reply reply = std::move(m_session->reply);
    m_session->haveReply = false;
    handle(reply);
}

void SnmpWalker::timedOut()
{
    if (!m_running || !m_session)
        return;
    if (m_attempt < 2) {
        sendCurrent(true);
        return;
    }
    if (fallBack())
        return;
    if (m_version == SnmpVersion::V3) {
        // A silent v3 agent may have a new engine ID: the next walk learns it afresh.
        if (!m_session->discovering)
            SnmpSession::forgetEngine(m_peer);
        m_result.failure = SnmpFailure::NoAnswer;
    }
    if (m_version == SnmpVersion::V3 && m_engineLearnt && !m_result.answered) {
        fail(WalkResult::Outcome::NoAnswer,
             QStringLiteral("%1 told its engine ID but did not answer the request: check the "
                            "privacy passphrase and protocol.")
                 .arg(m_request.host));
    } else if (m_result.answered) {
        fail(WalkResult::Outcome::NoAnswer, QStringLiteral("%1 stopped answering after %2 values.")
                                                .arg(m_request.host)
                                                .arg(valueCount()));
    } else {
        fail(WalkResult::Outcome::NoAnswer,
             m_version == SnmpVersion::V3
                 ? QStringLiteral("No answer from %1. Check the address and the port.")
                       .arg(m_request.host)
                 : QStringLiteral("No answer from %1. Check the address, the port and the "
                                  "community.")
                       .arg(m_request.host));
    }
}

bool SnmpWalker::fallBack()
{
    if (m_request.version != SnmpVersion::Auto || m_version != SnmpVersion::V2c ||
        m_result.answered)
        return false;
    m_version = SnmpVersion::V1;
    m_timer.stop();
    rewind();
    openSession();
    return true;
}

void SnmpWalker::handle(const Reply &reply)
{
    if (reply.report != SnmpFailure::None) {
        refused(reply.report);
        return;
    }
    if (m_scalar < m_request.scalars.size())
        handleScalar(reply);
    else
        handleColumn(reply);
}

void SnmpWalker::handleScalar(const Reply &reply)
{
    if (reply.errorStatus != SNMP_ERR_NOERROR) {
        const bool missing =
            m_version == SnmpVersion::V1 && reply.errorStatus == SNMP_ERR_NOSUCHNAME;
        if (!missing) {
            if (fallBack())
                return;
            if (m_version == SnmpVersion::V3 && isAccessDenied(reply.errorStatus)) {
                m_result.failure = SnmpFailure::ErrorStatus;
                fail(WalkResult::Outcome::ErrorStatus,
                     QStringLiteral("%1 answered with an error (%2). %3")
                         .arg(m_request.host, errorStatusText(reply.errorStatus),
                              snmpFailureText(SnmpFailure::ErrorStatus)));
                return;
            }
            fail(WalkResult::Outcome::ErrorStatus,
                 QStringLiteral("%1 answered with an error (%2).")
                     .arg(m_request.host, errorStatusText(reply.errorStatus)));
            return;
        }
    } else if (!reply.bindings.empty()) {
        const Binding &binding = reply.bindings.front();
        if (binding.name == m_request.scalars[m_scalar] && binding.value.isValid())
            m_result.scalars[m_scalar] = binding.value;
    }
    m_result.answered = true;
    ++m_scalar;
    if (m_scalar < m_request.scalars.size())
        sendCurrent(false);
    else
        nextColumn();
}

void SnmpWalker::handleColumn(const Reply &reply)
{
    const WalkColumn &column = m_request.columns[m_column];
    if (reply.errorStatus != SNMP_ERR_NOERROR) {
        if (m_version == SnmpVersion::V1 && reply.errorStatus == SNMP_ERR_NOSUCHNAME) {
            m_result.answered = true;
            ++m_column;
            nextColumn(); // the end of the agent's view
            return;
        }
        if (fallBack())
            return;
        fail(WalkResult::Outcome::ErrorStatus,
             QStringLiteral("%1 answered with an error (%2) while reading %3.")
                 .arg(m_request.host, errorStatusText(reply.errorStatus), column.name));
        return;
    }
    m_result.answered = true;
    if (reply.bindings.empty()) {
        fail(WalkResult::Outcome::EmptyReply,
             QStringLiteral("%1 sent an answer without values while reading %2.")
                 .arg(m_request.host, column.name));
        return;
    }

    QList<WalkRow> &rows = m_result.columns[m_column];
    bool columnDone = false;
    for (const Binding &binding : reply.bindings) {
        if (binding.rawType == SNMP_ENDOFMIBVIEW) {
            columnDone = true;
            break;
        }
        if (compareOids(binding.name, m_current) <= 0) {
            fail(WalkResult::Outcome::NotIncreasing,
                 QStringLiteral("%1 returned %2 after %3 (its answers do not advance); "
                                "stopped with what was read so far.")
                     .arg(m_request.host, oidText(binding.name), oidText(m_current)));
            return;
        }
        if (!isUnder(binding.name, column.root)) {
            columnDone = true;
            break;
        }
        if (binding.value.type != column.type) {
            m_result.warnings.append(QStringLiteral("%1: %2 sent %3 instead of %4; the rest of "
                                                    "this column was skipped.")
                                         .arg(column.name, m_request.host,
                                              typeText(binding.rawType), typeText(column.type)));
            columnDone = true;
            break;
        }
        m_current = binding.name;
        if (rows.size() >= MaxRows) {
            fail(WalkResult::Outcome::TooManyRows,
                 QStringLiteral("%1 has more than %2 entries in %3; stopped there.")
                     .arg(m_request.host)
                     .arg(MaxRows)
                     .arg(column.name));
            return;
        }
        rows.append(WalkRow{binding.name.mid(column.root.size()), binding.value});
    }
    const quint64 generation = m_generation;
    Q_EMIT progress(valueCount(), m_result.requests);
    if (!m_running || generation != m_generation)
        return; // a receiver cancelled or restarted the walk
    if (columnDone) {
        ++m_column;
        nextColumn();
    } else {
        sendCurrent(false);
    }
}

// A v3 report. An engine that changed its ID or a clock the library lost is learnt afresh
// once and the step asked again; a wrong user, passphrase or level ends the walk in words.
void SnmpWalker::refused(SnmpFailure report)
{
    if ((report == SnmpFailure::UnknownEngine || report == SnmpFailure::NotInTimeWindow) &&
        !m_rediscovered) {
        m_rediscovered = true;
        const quint64 generation = m_generation;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation && m_running)
                openSession();
        });
        return;
    }
    m_result.failure = report;
    fail(WalkResult::Outcome::Refused,
         QStringLiteral("%1: %2").arg(m_request.host, snmpFailureText(report)));
}

void SnmpWalker::nextColumn()
{
    if (m_column >= m_request.columns.size()) {
        finish();
        return;
    }
    m_current = m_request.columns[m_column].root;
    sendCurrent(false);
}

int SnmpWalker::valueCount() const
{
    int count = 0;
    for (const QList<WalkRow> &rows : m_result.columns)
        count += static_cast<int>(rows.size());
    return count;
}

void SnmpWalker::fail(WalkResult::Outcome outcome, const QString &message)
{
    m_result.outcome = outcome;
    m_result.message = message;
    finish();
}

void SnmpWalker::failLater(WalkResult::Outcome outcome, const QString &message)
{
    const quint64 generation = m_generation;
    QTimer::singleShot(0, this, [this, generation, outcome, message] {
        if (generation == m_generation && m_running)
            fail(outcome, message);
    });
}

void SnmpWalker::finish()
{
    if (!m_running)
        return;
    const WalkResult result = m_result;
    release();
    // Last statement: a receiver may delete or restart the walker.
    Q_EMIT finished(result);
}

void SnmpWalker::cancel()
{
    if (m_running)
        release();
}

void SnmpWalker::release()
{
    m_running = false;
    ++m_generation;
    m_timer.stop();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    m_session.reset();
    m_address.reset();
}
