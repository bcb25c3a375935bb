#include "MainWindow.h"

#include "MetricsEndpoint.h"

// The metrics endpoint for Prometheus: switched by the setting "metrics address".
QString TForm1::setMetricsAddress(const QString &text)
{
    if (!m_metrics) {
        if (text.isEmpty())
            return QString();
        m_metrics = std::make_unique<MetricsEndpoint>();
    }
    return m_metrics->apply(text);
}
