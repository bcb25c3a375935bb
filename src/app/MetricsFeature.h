#pragma once

#include <QString>

#include <memory>

class MetricsEndpoint;
class PollRun;

// The metrics endpoint for Prometheus in the application, switched by the setting "metrics
// address": made when first switched on, then fed every finished poll of the poll run.
class MetricsFeature
{
public:
    // run must outlive the feature.
    explicit MetricsFeature(PollRun &run);
    ~MetricsFeature();

    // Applies the setting ("" is off): why it cannot be served, "" when it is.
    QString setAddress(const QString &text);

private:
    PollRun &m_run;
    std::unique_ptr<MetricsEndpoint> m_endpoint; // created when first switched on
};
