#pragma once

#include "AlertEvent.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>

class QProcess;

// Runs the operator's alert command for every raised and cleared alert: a program and its
// arguments, separated by blanks, a word with blanks in double quotes (QProcess::splitCommand:
// no shell, so nothing is expanded or redirected), with the program's environment less its
// secrets (ScrubbedEnvironment) and the alert in these variables:
//   OSTRALINE_ALERT_STATE      raised | cleared
//   OSTRALINE_ALERT_CONDITION  busy | down | silent | flapping
//   OSTRALINE_ALERT_INTERFACE  the interface's name
//   OSTRALINE_ALERT_ADDRESS, OSTRALINE_ALERT_IFINDEX, OSTRALINE_ALERT_VALUE
//   OSTRALINE_ALERT_TIME       ISO 8601 with the UTC offset
// Each run is a process group of its own (the command and whatever it starts), and lasts until the
// whole group has ended. At most MaxRunning run at once; more wait in a queue of at most MaxQueued
// (the oldest waiting alert gives way). A run still going after the time limit (10 s) has its whole
// group killed, as have the runs still going when this object goes. A run that cannot start, ends
// with a non-zero status, crashes, is killed or leaves processes behind until the time limit is a
// failure: failed() is emitted for the first one only, until a run succeeds again. Nothing here
// waits: runs report through the event loop.
class AlertCommand : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxRunning = 4;
    static constexpr int MaxQueued = 64;
    static constexpr int DefaultTimeLimitMs = 10000;

    explicit AlertCommand(QObject *parent = nullptr);
    ~AlertCommand() override;

    // The "alert command" setting; empty runs nothing.
    void setCommandLine(const QString &commandLine);
    QString commandLine() const { return m_commandLine; }
    void setTimeLimitMs(int ms) { m_timeLimitMs = ms; }

    void run(const AlertEvent &event);
    int running() const { return m_running; }

    // The variables of one alert, as name=value pairs.
    static QStringList environment(const AlertEvent &event);

Q_SIGNALS:
    // The first failure after a success (or since the start), in words.
    void failed(const QString &message);
    // A run ended, well or not (for tests and for draining the queue).
    void finished();

private:
    void start(const AlertEvent &event);
    void ended(QProcess *process, const QString &failure);

    QString m_commandLine;
    int m_timeLimitMs = DefaultTimeLimitMs;
    int m_running = 0;
    bool m_failureReported = false;
    std::deque<AlertEvent> m_queue;
};
