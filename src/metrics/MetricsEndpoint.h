#pragma once

#include "MetricsServer.h"

#include <QObject>
#include <QString>

// The setting "metrics address" (see MetricsAddress) and the endpoint it switches. The
// application creates one, applies the setting at start and whenever the Options dialog
// changes it, and hands it every finished poll.
class MetricsEndpoint : public QObject
{
    Q_OBJECT

public:
    explicit MetricsEndpoint(QObject *parent = nullptr);

    // Serves at the setting's address, or stops for an empty text. Returns the reason when
    // it cannot listen (the address is not valid, or taken); "" when done.
    QString apply(const QString &settingText);
    bool isServing() const { return m_server.isListening(); }
    quint16 port() const { return m_server.port(); }

public Q_SLOTS:
    void onPollFinished(const PollResult &result) { m_server.onPollFinished(result); }

private:
    MetricsServer m_server;
    QString m_applied;
};
