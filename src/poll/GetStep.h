#pragma once

#include "CounterChoice.h"
#include "OnErrorMode.h"
#include "SnmpQuery.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <functional>

class AgentProfiles;
class GraphSlotControl;
class InterfaceList;
class InterfaceTable;

// The "get" step of a poll: one GetRequest for the input and one for the output octet
// counter of every checked interface, the raw answers into the table, the on-error mode
// applied to failed readings, and every loaded graph slot set running or failed.
namespace GetStep
{

// What one request of a poll is for: the 32-bit input or output counter of a row, or both
// 64-bit counters of a row in one SNMP v2c request (two readings). On SNMP v3 both counters
// of either width go in one request (Both32, Both64).
struct PlannedRequest {
    enum class Kind { In32, Out32, Both64, Both32 };
    int row = 0; // 0 once discarded
    Kind kind = Kind::In32;
    // v2c and v3 requests also carry sysUpTime.0 (a reading after the counters) to see agent
    // restarts.
    bool uptime = false;
    QString host; // the agent asked, as the row's address cell held it
    // The request also carries the row's six link-health objects (IfMib::linkHealth order),
    // read after its other readings.
    bool health = false;
};

// The readings a planned request gives: its counters, then six link-health readings if any.
qsizetype readingCount(const PlannedRequest &request);

// Requests in list order: for each checked row the v1 input and output requests when
// counters says the row asks 32-bit, then the one v2c request when it asks 64-bit (with
// 64-bit counters off: each checked row's input, then its output counter). A row whose agent has a
// v3 profile in profiles (as counters.isV3() says) is asked on SNMP v3 with that profile's security
// instead; its community is not sent. Every v2c and v3 request also asks sysUpTime.0 after
// its counters.
// With linkHealth, the six link-health objects of a row ride on its v2c request when the row
// asks 64-bit only, and on its first v3 request; a row that also asks on v1 gets none here (the
// poller adds a v1 request of their own for it). They are read by their own type, last.
QList<SnmpRequest> planRequests(const InterfaceTable &table, const InterfaceList &list,
                                const CounterChoice &counters, QList<PlannedRequest> *plan,
                                const AgentProfiles *profiles = nullptr, bool linkHealth = false);

// Stores the readings of a planned poll. A row that asked both ways is decided now (two
// 64-bit readings: 64-bit, anything else: 32-bit); when its cells change width its previous
// reading and deltas become "0", so this poll is a first reading. A decided row stores the
// readings of its width. When uptimes is given, each agent's first sysUpTime.0 reading of the
// poll (TimeTicks, hundredths of a second) goes there by its address text.
void storePlannedReadings(InterfaceTable &table, CounterChoice &counters,
                          const QList<PlannedRequest> &plan, const QStringList &values,
                          QMap<QString, quint32> *uptimes = nullptr);

// Empty or "Failure" readings of checked rows: the input cells are zeroed and, by mode, the
// entry is unchecked (stop) or the failed direction's cells are zeroed (zeroes).
void failurePass(InterfaceTable &table, InterfaceList &list, OnErrorMode mode);

// Slots with a list entry: checked ones run on black with an empty error caption, unchecked
// ones stand on red with "Error occured: " and the poll's time stamp (written only once).
void slotPass(const InterfaceList &list, GraphSlotControl &graphSlots, const QDateTime &stamp);

} // namespace GetStep

// Runs the get step without freezing the window: all queries leave at once and the rest of
// the step runs when the last reply is in or the shared deadline has passed. Polls never
// overlap: a get while one is in flight is refused.
class Poller : public QObject
{
    Q_OBJECT

public:
    Poller(InterfaceTable &table, InterfaceList &list, QObject *parent = nullptr);

    // The graph slots the slot pass sets; without them the pass is skipped.
    void setSlots(GraphSlotControl *graphSlots) { m_slots = graphSlots; }

    void setOnErrorMode(OnErrorMode mode) { m_mode = mode; }
    OnErrorMode onErrorMode() const { return m_mode; }
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // The poll interval in force: a row whose bandwidth wraps a 32-bit counter within it
    // chooses 64-bit counters where its agent has them (CounterChoice::setWraps32).
    void setPollInterval(int seconds) { m_interval = seconds; }
    // The agent profiles the poll follows (SNMP v3 where an agent has a v3 profile); none
    // when null. They must outlive the poller.
    void setProfiles(const AgentProfiles *profiles) { m_profiles = profiles; }

    // "link health": each SNMP v1 row also gets one GetRequest for its six link-health objects
    // in the same batch, apart from its counter requests (a v1 agent that lacks one of them
    // fails that whole request, never a counter reading); v2c and v3 rows read them in their
    // counter request (a missing object is "not known" for that value only).
    void setLinkHealth(bool on) { m_linkHealth = on; }

    // Which counters each row is read with; the setting and the reset events go here.
    CounterChoice &counters() { return m_counters; }
    const CounterChoice &counters() const { return m_counters; }

    // Starts a get step; false (and nothing sent) when one is already in flight.
    bool start();
    bool inFlight() const { return m_batch.isRunning(); }
    // Discards the step in flight: its readings are dropped and getFinished() does not come.
    void cancel();
    // Closes the kept SNMP sessions of agents that no row of the list names any more (after a
    // device file load); the agents still listed keep theirs.
    void closeUnlistedSessions();
    // Drops the readings in flight for one row (the row was rewritten meanwhile); its
    // counters are chosen afresh at the next poll.
    void discardRow(int row);

    // Of the step last finished: its time stamp, the time from its start to its last reply,
    // and the checked rows whose input or output reading failed (before the on-error mode).
    QDateTime stamp() const { return m_stamp; }
    double durationSeconds() const { return m_durationSeconds; }
    const QList<int> &failedRows() const { return m_failedRows; }
    // The link-health reading texts of the last get step per row, in IfMib::linkHealth
    // order ("" = no value); a row without an entry read none.
    const QHash<int, QStringList> &linkHealthTexts() const { return m_linkHealthTexts; }
    // Agents whose sysUpTime.0 went below its reading at their previous poll (restarted), by
    // address text, with the new uptime in hundredths of a second.
    const QMap<QString, quint32> &restartedAgents() const { return m_restartedAgents; }

Q_SIGNALS:
    // The readings are stored and the failure and slot passes have run.
    void getFinished();

private:
    void onBatchFinished(const QStringList &values);

    InterfaceTable &m_table;
    InterfaceList &m_list;
    GraphSlotControl *m_slots = nullptr;
    SnmpBatch m_batch;
    OnErrorMode m_mode = OnErrorMode::Zeroes;
    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTime(); };
    int m_timeoutMs = SnmpBatch::DefaultTimeoutMs;
    int m_interval = 6;
    QDateTime m_stamp;
    QElapsedTimer m_elapsed;
    double m_durationSeconds = 0;
    QList<int> m_failedRows;
    QHash<int, QStringList> m_linkHealthTexts;
    bool m_linkHealth = false;
    QList<int> m_healthRows; // the row of each link-health request after the counter requests
    CounterChoice m_counters;
    const AgentProfiles *m_profiles = nullptr;
    QList<GetStep::PlannedRequest> m_plan;
    QMap<QString, quint32> m_uptimes; // each agent's last sysUpTime.0, by address text
    QMap<QString, quint32> m_restartedAgents;
};
