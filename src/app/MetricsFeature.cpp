#include "MetricsFeature.h"

#include "MetricsEndpoint.h"
#include "PollRun.h"

#include <algorithm>

MetricsFeature::MetricsFeature(PollRun &run) : m_run(run)
{
    m_pollFinished =
        QObject::connect(&run, &PollRun::pollFinished, &run, [this] { m_sinceLoad.reset(); });
}

MetricsFeature::~MetricsFeature()
{
    QObject::disconnect(m_pollFinished);
}

const PollResult &MetricsFeature::lastPoll() const
{
    return m_sinceLoad ? *m_sinceLoad : m_run.lastResult();
}

QString MetricsFeature::setAddress(const QString &text)
{
    if (!m_endpoint) {
        if (text.isEmpty())
            return QString();
        m_endpoint = std::make_unique<MetricsEndpoint>();
        QObject::connect(&m_run, &PollRun::pollFinished, m_endpoint.get(),
                         &MetricsEndpoint::onPollFinished);
        // Switched on while polling: the last finished poll is served at once.
        if (!lastPoll().interfaces.isEmpty())
            m_endpoint->onPollFinished(lastPoll());
    }
    return m_endpoint->apply(text);
}

void MetricsFeature::interfacesLoaded(const QList<InterfaceReading> &loaded)
{
    PollResult kept = lastPoll();
    kept.interfaces.removeIf([&loaded](const InterfaceReading &polled) {
        return std::none_of(loaded.cbegin(), loaded.cend(), [&polled](const InterfaceReading &r) {
            return r.address == polled.address && r.ifIndex == polled.ifIndex &&
                   r.description == polled.description;
        });
    });
    m_sinceLoad = kept;
    if (m_endpoint && m_run.lastResult().time.isValid())
        m_endpoint->onPollFinished(kept);
}
