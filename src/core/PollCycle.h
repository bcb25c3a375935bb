#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

// The clock of polling: the poll interval (the time base of every rate), the poll timer and
// the one-second countdown shown in the status bar. The main window's handlers drive it
// and run the poll's steps when it says a poll is due.
class PollCycle : public QObject
{
    Q_OBJECT

public:
    // The poll intervals the operator can choose, in seconds.
    static constexpr std::array<int, 6> Intervals = {3, 6, 12, 30, 60, 120};
    static constexpr int DefaultInterval = 6;

    explicit PollCycle(QObject *parent = nullptr);

    static bool isValidInterval(int seconds);
    // "Next poll in N seconds" (always "seconds", also for 1).
    static QString countdownText(int seconds);

    int pollInterval() const { return m_interval; }
    // Stores the interval; the poll timer's period follows at its next event.
    void setPollInterval(int seconds);
    int countdown() const { return m_countdown; }
    bool isPolling() const { return m_pollTimer.isActive(); }

    // Start polling with interfaces loaded: countdown from the interval, both timers on.
    // A poll timer that already runs at the current period keeps its schedule.
    void start();
    // Both timers off, countdown 0. The countdown text keeps its last value.
    void stop();

    QTimer &pollTimer() { return m_pollTimer; }
    QTimer &countdownTimer() { return m_countdownTimer; }

    // The timers' events (public so the window and tests can run them directly).
    void pollTimerEvent();
    void countdownTimerEvent();

Q_SIGNALS:
    void countdownTextChanged(const QString &text);
    // A poll is due now (from the poll timer).
    void pollDue();

private:
    void showCountdown();

    int m_interval = DefaultInterval;
    int m_countdown = 0;
    QTimer m_pollTimer;
    QTimer m_countdownTimer;
};
