#include "MainWindow.h"

#include "MetricsEndpoint.h"
#include "PollRun.h"

// The metrics endpoint for Prometheus: switched by the setting "metrics address".
QString TForm1::setMetricsAddress(const QString &text)
{
    if (!m_metrics) {
        if (text.isEmpty())
            return QString();
        m_metrics = std::make_unique<MetricsEndpoint>();
        connect(m_pollRun.get(), &PollRun::pollFinished, m_metrics.get(),
                &MetricsEndpoint::onPollFinished);
        // Switched on while polling: the last finished poll is served at once.
        if (!m_pollRun->lastResult().interfaces.isEmpty())
            m_metrics->onPollFinished(m_pollRun->lastResult());
    }
    return m_metrics->apply(text);
}
