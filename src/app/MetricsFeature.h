#pragma once

#include "PollResult.h"

#include <QMetaObject>
#include <QString>

#include <memory>
#include <optional>

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

    // A device file was loaded: until the next poll, what is served keeps only the interfaces
    // loaded now (same agent, ifIndex and description), with their last values.
    void interfacesLoaded(const QList<InterfaceReading> &loaded);

private:
    // The last finished poll, without the interfaces unloaded since.
    const PollResult &lastPoll() const;

    PollRun &m_run;
    std::unique_ptr<MetricsEndpoint> m_endpoint; // created when first switched on
    std::optional<PollResult> m_sinceLoad;       // set by a load, until the next poll
    QMetaObject::Connection m_pollFinished;
};
