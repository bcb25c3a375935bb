#include "SnmpWalker.h"

#include "SnmpHost.h"
#include "SnmpLibrary.h"
#include "SnmpSession.h"

#include <QHostAddress>
#include <QHostInfo>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <algorithm>
#include <utility>
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

} // namespace

SnmpWalker::SnmpWalker(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SnmpWalker::timedOut);
    m_walkDeadline.setSingleShot(true);
    connect(&m_walkDeadline, &QTimer::timeout, this, &SnmpWalker::deadlinePassed);
    m_exchange.watch(this, [this] { readable(); });
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
    m_walkDeadline.start(qMax(1, request.deadlineMs));

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
    const QHostAddress chosen = info.error() == QHostInfo::NoError
                                    ? SnmpHost::pickAddress(info.addresses())
                                    : QHostAddress();
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
    m_exchange.close();
    m_result.version = m_version;
    bool opened = false;
    if (m_version == SnmpVersion::V3) {
        if (!m_request.security) {
            fail(WalkResult::Outcome::SendFailed,
                 QStringLiteral("SNMP v3 needs a user and its security settings."));
            return;
        }
        // A peer that went silent is asked for its engine ID first: a replaced device drops
        // requests for the old one without a word.
        const QString peer = SnmpHost::peerName(*m_address, m_port);
        if (!SnmpSession::knownEngine(peer).isEmpty() && !SnmpSession::isSilent(peer)) {
            openUserSession();
            return;
        }
        opened = m_exchange.openEngineDiscovery(*m_address, m_port);
    } else {
        opened =
            m_exchange.openCommunity(m_version, m_request.community.toUtf8(), *m_address, m_port);
    }
    if (!opened) {
        fail(WalkResult::Outcome::SendFailed,
             QStringLiteral("No SNMP session to %1 could be opened.").arg(m_request.host));
        return;
    }
    attach();
}

// The v3 session for the request's user, once the agent's engine ID is known.
void SnmpWalker::openUserSession()
{
    SnmpFailure failure = SnmpFailure::None;
    if (!m_exchange.openUser(*m_address, m_port,
                             SnmpSession::knownEngine(SnmpHost::peerName(*m_address, m_port)),
                             *m_request.security, &failure)) {
        m_result.failure = failure;
        fail(WalkResult::Outcome::SendFailed,
             failure == SnmpFailure::Unsupported
                 ? snmpFailureText(failure)
                 : QStringLiteral("No SNMP session to %1 could be opened.").arg(m_request.host));
        return;
    }
    attach();
}

// Asks the current step (or the engine ID) on the session just opened.
void SnmpWalker::attach()
{
    if (m_exchange.kind() == SnmpExchange::Kind::EngineDiscovery ||
        m_scalar < m_request.scalars.size() || m_column < m_request.columns.size())
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
        m_exchange.forgetRequests(); // a late answer to the step before is not this one's

    const bool scalar = m_scalar < m_request.scalars.size();
    const SnmpOid &target = scalar ? m_request.scalars[m_scalar] : m_current;
    SnmpExchange::Command command = SnmpExchange::Command::Get;
    if (!scalar)
        command = m_version == SnmpVersion::V1 ? SnmpExchange::Command::GetNext
                                               : SnmpExchange::Command::GetBulk;
    switch (m_exchange.send(command, {target}, MaxRepetitions)) {
    case SnmpExchange::Sent::Ok:
        break;
    case SnmpExchange::Sent::Refused:
        fail(WalkResult::Outcome::NoAnswer,
             QStringLiteral("No answer from %1: no SNMP agent listens at this address and "
                            "port.")
                 .arg(m_request.host));
        return;
    case SnmpExchange::Sent::Failed:
        fail(WalkResult::Outcome::SendFailed,
             QStringLiteral("The request to %1 could not be sent.").arg(m_request.host));
        return;
    }
    ++m_result.requests;
    m_timer.start(m_timeoutMs);
}

void SnmpWalker::readable()
{
    if (!m_running || !m_exchange.isOpen())
        return;
    m_exchange.read();
    if (!m_exchange.hasReply())
        return; // not an answer to this step (or undecodable): keep waiting
    m_timer.stop();
    m_exchange.forgetRequests();
    const SnmpReply reply = m_exchange.takeReply();
    if (m_exchange.kind() == SnmpExchange::Kind::EngineDiscovery) {
        if (reply.engineId.isEmpty()) {
            m_result.failure = SnmpFailure::Report;
            fail(WalkResult::Outcome::Refused,
                 QStringLiteral("%1 did not answer as an SNMP v3 agent (no engine ID).")
                     .arg(m_request.host));
            return;
        }
        m_engineLearnt = true;
        // The user's keys are derived at a turn of their own, outside this socket's handler.
        const quint64 generation = m_generation;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation && m_running)
                openUserSession();
        });
        return;
    }
    handle(reply);
}

void SnmpWalker::timedOut()
{
    if (!m_running || !m_exchange.isOpen())
        return;
    if (m_attempt <= SnmpTimeouts::WalkRetries) {
        sendCurrent(true);
        return;
    }
    if (fallBack())
        return;
    // A silent v3 agent keeps its engine ID (only an unknownEngineIDs report forgets it); the
    // next walk checks it first.
    if (m_version == SnmpVersion::V3) {
        m_exchange.unanswered();
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

void SnmpWalker::deadlinePassed()
{
    if (!m_running)
        return;
    fail(WalkResult::Outcome::DeadlinePassed,
         QStringLiteral("%1: the walk was stopped at its deadline of %2 s with the %3 values "
                        "read so far.")
             .arg(m_request.host)
             .arg(qMax(1, m_request.deadlineMs) / 1000.0)
             .arg(valueCount()));
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

void SnmpWalker::handle(const SnmpReply &reply)
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

void SnmpWalker::handleScalar(const SnmpReply &reply)
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
        const SnmpBinding &binding = reply.bindings.front();
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

void SnmpWalker::handleColumn(const SnmpReply &reply)
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
    for (const SnmpBinding &binding : reply.bindings) {
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
    // The walker keeps nothing of a finished walk: up to MaxRows rows per column go to the
    // receiver alone.
    const WalkResult result = std::exchange(m_result, WalkResult());
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
    m_walkDeadline.stop();
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    m_exchange.close();
    m_address.reset();
}
