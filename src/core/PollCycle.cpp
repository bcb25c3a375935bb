#include "PollCycle.h"

PollCycle::PollCycle(QObject *parent) : QObject(parent)
{
    m_pollTimer.setInterval(m_interval * 1000);
    m_countdownTimer.setInterval(1000);
    connect(&m_pollTimer, &QTimer::timeout, this, &PollCycle::pollTimerEvent);
    connect(&m_countdownTimer, &QTimer::timeout, this, &PollCycle::countdownTimerEvent);
}

bool PollCycle::isValidInterval(int seconds)
{
    for (const int valid : Intervals) {
        if (seconds == valid)
            return true;
    }
    return false;
}

QString PollCycle::countdownText(int seconds)
{
    return QStringLiteral("Next poll in %1 seconds").arg(seconds);
}

void PollCycle::setPollInterval(int seconds)
{
    if (isValidInterval(seconds))
        m_interval = seconds;
}

void PollCycle::showCountdown()
{
    Q_EMIT countdownTextChanged(countdownText(m_countdown));
}

void PollCycle::start()
{
    m_countdown = m_interval;
    showCountdown();
    // A timer that already runs at this period keeps its schedule (a Start while polling
    // adds one poll but does not move the next timed one).
    if (!m_pollTimer.isActive() || m_pollTimer.interval() != m_interval * 1000)
        m_pollTimer.start(m_interval * 1000);
    if (!m_countdownTimer.isActive())
        m_countdownTimer.start();
}

void PollCycle::stop()
{
    m_pollTimer.stop();
    m_countdownTimer.stop();
    m_countdown = 0;
}

void PollCycle::pollTimerEvent()
{
    // Only a changed period restarts the timer; an unchanged one keeps the schedule.
    if (m_pollTimer.interval() != m_interval * 1000)
        m_pollTimer.start(m_interval * 1000);
    m_countdown = m_interval;
    showCountdown();
    if (!m_countdownTimer.isActive())
        m_countdownTimer.start();
    Q_EMIT pollDue();
}

void PollCycle::countdownTimerEvent()
{
    if (!m_pollTimer.isActive())
        return;
    if (m_countdown > 0)
        --m_countdown;
    if (m_countdown == 1)
        m_countdownTimer.stop();
    showCountdown();
}
