#pragma once

#include "Calculation.h"
#include "GetStep.h"
#include "LinkHealthCounters.h"
#include "MaxInterfaces.h"
#include "OnErrorMode.h"
#include "PollResult.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class InterfaceList;
class InterfaceTable;
struct LogEnvironment;

// One poll, outside any window: the get step (through the Poller), the calculation and the
// "to graph" step with the two logs, always in this order. It tells the board what to show
// per slot through signals and hands every listener (history, alerts, metrics) one
// PollResult per finished poll. The window only forwards its settings and shows.
class PollRun : public QObject
{
    Q_OBJECT

public:
    // The value a checked interface's graph draws next: the shown cell, rounded half to even.
    struct SlotValue {
        int slot = 0; // 1 to 20
        int value = 0;
    };

    // table, list and logs must outlive the run.
    PollRun(InterfaceTable &table, InterfaceList &list, LogEnvironment &logs,
            QObject *parent = nullptr);

    Poller &poller() { return m_poller; }
    const Poller &poller() const { return m_poller; }

    // Settings the poll follows; the window forwards them as they change.
    void setOnErrorMode(OnErrorMode mode) { m_poller.setOnErrorMode(mode); }
    void setPollInterval(int seconds)
    {
        m_interval = seconds;
        m_poller.setPollInterval(seconds);
    }
    int pollInterval() const { return m_interval; }
    void setDeviceFilePath(const QString &path) { m_deviceFilePath = path; }
    void setLogs(bool utilisation, bool analysis);
    // "link health": the results carry link state, errors and discards, and with either log
    // on the health log gets its lines. Off: nothing of it is read, kept or written.
    void setLinkHealth(bool on);
    bool linkHealth() const { return m_linkHealth; }
    // Forgets the error and discard counters of the last poll (Start polling, a load).
    void resetLinkHealth() { m_health.reset(); }
    // Forgets them for one row (its address or index was rewritten).
    void forgetLinkHealthRow(int row) { m_health.forgetRow(row); }
    // The table column whose value the graphs draw (Col::InUtil, OutUtil or CombinedUtil).
    void setShownColumn(int column) { m_shownColumn = column; }
    int shownColumn() const { return m_shownColumn; }

    // The loaded interfaces as the next poll will name them (row, address, ifIndex,
    // description, bandwidth), with nothing read yet.
    QList<InterfaceReading> loadedInterfaces() const;

    // Starts a poll with its get step; false when one is still in flight (polls never
    // overlap). The calculation and the "to graph" step follow when the last reply is in.
    bool start();
    bool inFlight() const { return m_poller.inFlight(); }
    // Takes a row stopped after errors back: at the next start() its entry is checked again and
    // that poll is its first reading (no delta against readings from before the stop).
    void pollAgain(int row);
    // Discards the poll in flight: no step after the get runs, pollFinished does not come.
    void cancel() { m_poller.cancel(); }

    // The calculation step, then the "to graph" step.
    void calculate();
    // The "to graph" step: the switched-on log lines, then the graph values; ends the poll.
    void toGraph();
    // One log line each; a failure is reported once and named in status panel 0.
    void writeUtilisationLog();
    void writeAnalysisLog();
    void writeHealthLog();

    // The clock reading times come from (ReadingClock::nowMs unless a test replaces it).
    void setReadingClock(std::function<qint64()> clock) { m_readingClock = std::move(clock); }
    // A row read more than GapFactor × the poll interval after its previous reading (a stall,
    // a suspend, timer events merged, a wall clock that leapt) takes the poll as a first
    // reading: on the reading clock or on the polls' wall-clock time stamps, whichever shows
    // more time.
    static constexpr double GapFactor = 1.5;
    // A per-direction rate above JumpFactor × the bandwidth is no traffic but a counter
    // discontinuity (a restart that looked like a wrap, a jump, a wrong reading): that poll is
    // a first reading for the row. Below it utilisation stays uncapped.
    static constexpr double JumpFactor = 2.0;
    // "0 d 00:01:12" for an uptime in hundredths of a second (TimeTicks).
    static QString uptimeText(quint32 ticks);

    // The last finished poll.
    const PollResult &lastResult() const { return m_result; }

    // For a row the last calculation found not measurable (its bandwidth wraps a 32-bit
    // counter within the interval and its agent has no 64-bit counters): why, as its tooltip
    // says it ("10 Gbit/s wraps a 32-bit counter every 3.4 s, faster than the 6 s poll; use
    // 64-bit counters or a shorter interval"); "" for every other row, and once its counters
    // are to be chosen afresh (Start polling, a load, a rewrite of the row).
    QString notMeasurableText(int row) const;
    // Its caption instead of the values ("" for every other row).
    QString notMeasurableCaption(int row) const;

Q_SIGNALS:
    // The readings are in the table, the on-error mode is applied and the slots are set.
    void getFinished();
    // After the calculation: the last-values caption of every slot, slot 1 first (20 texts).
    void lastValuesShown(const QStringList &captions);
    // In the "to graph" step, after the logs: the graph values of the checked interfaces.
    void graphValuesShown(const QList<PollRun::SlotValue> &values);
    // A message for status panel 0, and the start of one that no longer applies (the panel
    // is cleared only when its text still starts with it).
    void statusMessage(const QString &text);
    void statusWithdrawn(const QString &text);
    // Once per finished poll, after the graphs and the logs.
    void pollFinished(const PollResult &result);

private:
    void writeLog(const QString &name, const std::function<void()> &write);
    void markGaps();
    void markRestarts();
    void markJumps(const QList<Calculation::RowFault> &faults);
    // Rows read with 32-bit counters that wrap within the interval: their computed cells
    // become 0 (as for a first reading; the readings stay as read). Returns the status texts
    // of the rows found so for the first time since their counters were chosen.
    QStringList markNotMeasurable(const QList<Calculation::RowFault> &faults);
    InterfaceReading identity(int row) const;
    void buildResult(const QList<int> &restarted, const QString &restartText,
                     const QList<Calculation::RowFault> &faults);

    InterfaceTable &m_table;
    InterfaceList &m_list;
    LogEnvironment &m_logs;
    Poller m_poller;
    int m_interval = 6;
    int m_shownColumn = 0;
    bool m_utilisationLog = false;
    bool m_analysisLog = false;
    bool m_linkHealth = false;
    LinkHealthCounters m_health;
    QString m_deviceFilePath;
    QString m_faultStatus; // the calculation's fault message last sent to panel 0
    PollResult m_result;
    std::function<qint64()> m_readingClock;
    std::array<std::optional<qint64>, MaxInterfaces + 1> m_readAt{}; // by row, ms
    std::array<QDateTime, MaxInterfaces + 1> m_stampAt{}; // by row: the time stamp of that poll
    qint64 m_startedAt = 0;        // reading clock at the start of the poll in flight, ms
    QMap<int, QString> m_gaps;     // rows of this poll taken as first readings for a gap, and why
    QMap<int, QString> m_jumps;    // rows whose rate was above twice the bandwidth, and why
    QMap<int, QString> m_restarts; // rows of agents whose sysUpTime went back, and why
    QStringList m_restartTexts;    // one per restarted agent
    std::array<int, MaxInterfaces + 1> m_jumpRun{};    // consecutive polls each row tripped it
    QMap<int, QString> m_notMeasurable;                // rows of the last calculation, and why
    std::array<bool, MaxInterfaces + 1> m_wrapShown{}; // the status bar named the row's wrap
    QList<int> m_pollAgain;                            // rows to check again at the next start
};
