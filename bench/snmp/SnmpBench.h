#pragma once

#include "SnmpQuery.h"

#include <QList>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

class HostileAgent;
class SnmpAgent;

// Shared pieces of the SNMP benchmarks: the three kinds of agent (a loopback snmpd that
// answers, a responder that stays silent, one that answers after a delay), the 40 counter
// requests of 20 interfaces, and timing of the batch, of the get step and of the
// one-after-another way.
class QEventLoop;

namespace SnmpBench
{

inline constexpr int Interfaces = 20;
inline constexpr int Requests = Interfaces * 2;

struct LoopFigures {
    double ms = 0;
    double longestGapMs = 0; // longest gap of the heartbeat timer meanwhile
    int answered = 0;        // readings that came back with a value
};

// The ifInOctets and ifOutOctets requests of interfaces 1 to 20 at one host.
QList<SnmpRequest> counterRequests(const QString &community, const QString &host);

// Runs `begin` in a local event loop until the work it started quits the loop given, with a
// heartbeat timer of heartbeatMs whose longest gap shows how long the loop was held up.
LoopFigures timeInLoop(const std::function<void(QEventLoop &)> &begin, int heartbeatMs = 10);

// One SnmpBatch over the requests, with the heartbeat running.
LoopFigures timeBatch(const QList<SnmpRequest> &requests);

// One get step (Poller: requests built from the table, readings stored, failure and slot
// passes) over 20 checked rows at one host, with the heartbeat running.
LoopFigures timeGetStep(const QString &community, const QString &host);

// Runs the first `sample` requests (0: all) one after another and scales the time to all
// of them; *extrapolated tells whether it did.
double timeBlocking(const QList<SnmpRequest> &requests, int sample, bool *extrapolated);

// Prints one case: the event-loop time against the one-after-another time.
void report(const QString &name, const QString &label, const LoopFigures &figures,
            double blockingMs, bool extrapolated);

// The three agents of the benchmarks. The delayed responder runs on its own thread, so that
// the blocking queries of the calling thread are answered too.
class Agents
{
public:
    explicit Agents(int delayMs);
    ~Agents();
    Agents(const Agents &) = delete;
    Agents &operator=(const Agents &) = delete;

    // The snmpd, serving interfaces 1 to 20; empty host and a reason when it did not start.
    QString answeringHost() const;
    QString answeringError() const;
    QString silentHost() const;
    QString delayedHost() const { return m_delayedHost; }
    int delayMs() const { return m_delayMs; }

private:
    int m_delayMs;
    std::unique_ptr<SnmpAgent> m_snmpd;
    bool m_snmpdStarted = false;
    std::unique_ptr<HostileAgent> m_silent;
    QThread m_thread;
    QString m_delayedHost;
};

} // namespace SnmpBench
