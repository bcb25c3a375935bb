#pragma once

#include "SnmpExchange.h"
#include "SnmpFailure.h"
#include "SnmpOid.h"
#include "SnmpSecurity.h"
#include "SnmpTimeouts.h"
#include "SnmpVersion.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QHostAddress;
class QHostInfo;

// A subtree to walk, the type every value in it must have, and its name for messages.
struct WalkColumn {
    SnmpOid root;
    quint8 type = SnmpValue::OctetString;
    QString name;
};

struct WalkRequest {
    QString host; // the device file's address syntax (see SnmpHost)
    QString community;
    SnmpVersion version = SnmpVersion::Auto;
    QList<SnmpOid> scalars;    // fetched one by one with Get before the walk
    QList<WalkColumn> columns; // walked one after another
    // For V3: the user, level, protocols and passphrases; the community is not sent then.
    std::shared_ptr<const SnmpSecurity> security = {};
    // The whole walk's deadline in milliseconds, from start(); it then ends with what it has.
    int deadlineMs = 60000;
};

// One value of a column: the OID part after the column's root, and the value.
struct WalkRow {
    SnmpOid suffix;
    SnmpValue value;
};

struct WalkResult {
    enum class Outcome {
        Complete,       // every column walked to its end
        BadAddress,     // the address text is not valid; nothing was sent
        Unresolved,     // the host name could not be resolved
        SendFailed,     // no socket or the request could not be sent
        NoAnswer,       // no reply within the time-out and its retry
        NotIncreasing,  // a returned OID did not increase (a looping agent)
        ErrorStatus,    // the agent answered with an error-status
        EmptyReply,     // a reply without any value
        TooManyRows,    // more than MaxRows values in one column
        DeadlinePassed, // the whole walk's deadline passed before its end
        Refused,        // an SNMP v3 report: wrong user, passphrase or security level, ...
    };

    Outcome outcome = Outcome::Complete;
    QString message;      // for the operator; empty when complete
    QStringList warnings; // columns that ended early (a wrong type), the walk went on
    SnmpVersion version = SnmpVersion::V2c;  // the version that was spoken last
    bool answered = false;                   // whether the agent answered at all
    QList<SnmpValue> scalars;                // per requested scalar; type 0 when the agent has none
    QList<QList<WalkRow>> columns;           // per requested column, in OID order
    int requests = 0;                        // request datagrams sent, retries included
    SnmpFailure failure = SnmpFailure::None; // for Refused and v3's NoAnswer: what went wrong

    bool complete() const { return outcome == Outcome::Complete; }
};

// Walks SNMP subtrees without blocking the event loop: GetBulk for v2c and v3, GetNext for v1.
// A v3 agent's engine ID is learnt by a first exchange of its own (never by a blocking probe),
// and each report (wrong user, passphrase or security level) ends the walk in words. All
// SNMP library calls stay on the thread that owns the walker. The requests go through one
// SnmpExchange at a time (its request-ids, replies only from the address and port asked) with
// the walk policy of SnmpTimeouts (2 s, one retry).
//
// The walk ends cleanly, with what it has and a message, on a time-out, an error-status, a
// returned OID that does not increase, an empty reply, more than MaxRows values in a
// column or at the whole walk's deadline (WalkRequest::deadlineMs). Each text value is cut
// to MaxTextOctets before it is kept, so a walk's memory is bounded by its row cap. A value of the
// wrong type ends only its column (a warning). endOfMibView, v1's noSuchName and an OID beyond the
// subtree are the normal end of a column.
class SnmpWalker : public QObject
{
    Q_OBJECT

public:
    explicit SnmpWalker(QObject *parent = nullptr);
    ~SnmpWalker() override;

    static constexpr int TimeoutMs = SnmpTimeouts::WalkAttemptMs;
    static constexpr int MaxRows = 10000;
    static constexpr int MaxRepetitions = 32;
    static constexpr int MaxTextOctets = SnmpExchange::MaxTextOctets;

    // Starts a walk; one running is cancelled first. finished() always comes from the event
    // loop, never inside start().
    void start(const WalkRequest &request);
    // Ends the running walk at once; finished() is not emitted for it.
    void cancel();
    bool isRunning() const { return m_running; }

    // For tests: a shorter time-out per attempt.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

Q_SIGNALS:
    void progress(int values, int requests);
    void finished(const WalkResult &result);

private:
    void resolved(const QHostInfo &info);
    void openSession();
    void openUserSession();
    void attach();
    void rewind();
    void refused(SnmpFailure report);
    void sendCurrent(bool retry);
    void readable();
    void timedOut();
    void deadlinePassed();
    void handle(const SnmpReply &reply);
    void handleScalar(const SnmpReply &reply);
    void handleColumn(const SnmpReply &reply);
    void nextScalarOrColumn();
    void nextColumn();
    bool fallBack();
    void fail(WalkResult::Outcome outcome, const QString &message);
    void failLater(WalkResult::Outcome outcome, const QString &message);
    void finish();
    void release();
    int valueCount() const;

    WalkRequest m_request;
    WalkResult m_result;
    SnmpExchange m_exchange;
    QTimer m_timer;
    QTimer m_walkDeadline; // the whole walk's
    std::unique_ptr<QHostAddress> m_address;
    quint16 m_port = 0;
    SnmpVersion m_version = SnmpVersion::V2c;
    int m_timeoutMs = TimeoutMs;
    int m_lookupId = -1;
    int m_scalar = 0;  // scalar being fetched, or m_request.scalars.size() once walking
    int m_column = 0;  // column being walked
    SnmpOid m_current; // last OID asked for in the column
    int m_attempt = 0;
    bool m_rediscovered = false; // a v3 engine ID was learnt afresh during this walk
    bool m_engineLearnt = false; // a v3 agent told its engine ID during this walk
    quint64 m_generation = 0;
    bool m_running = false;
};

Q_DECLARE_METATYPE(WalkResult)
