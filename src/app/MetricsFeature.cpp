#include "MetricsFeature.h"

#include "MetricsEndpoint.h"
#include "PollRun.h"

MetricsFeature::MetricsFeature(PollRun &run) : m_run(run) {}

MetricsFeature::~MetricsFeature() = default;

QString MetricsFeature::setAddress(const QString &text)
{
    if (!m_endpoint) {
        if (text.isEmpty())
            return QString();
        m_endpoint = std::make_unique<MetricsEndpoint>();
        QObject::connect(&m_run, &PollRun::pollFinished, m_endpoint.get(),
                         &MetricsEndpoint::onPollFinished);
        // Switched on while polling: the last finished poll is served at once.
        if (!m_run.lastResult().interfaces.isEmpty())
            m_endpoint->onPollFinished(m_run.lastResult());
    }
    return m_endpoint->apply(text);
}
