#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

// A precise timer that beats every intervalMs from construction until stop(). The longest gap
// between two beats shows how long the event loop was held up meanwhile.
class Heartbeat
{
public:
    explicit Heartbeat(int intervalMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this] { m_longestGapMs = std::max(m_longestGapMs, m_beat.restart()); });
        m_beat.start();
        m_timer.start(intervalMs);
    }

    void stop() { m_timer.stop(); }
    qint64 longestGapMs() const { return m_longestGapMs; }

private:
    QTimer m_timer;
    QElapsedTimer m_beat;
    qint64 m_longestGapMs = 0;
};
