#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>

struct PollResult;
class QAbstractHttpServer;
class MetricsConnections;

// Serves the last finished poll for Prometheus: GET /metrics answers the text format 0.0.4
// (MetricsText) whatever the Accept header asks for; every other request gets 404. The text
// is made once per poll, so a request costs a copy and never waits for the network.
//
// Bounds (Qt's HTTP server has none of its own): at most MaxConnections connections at once
// (one more is closed at once); a connection that sends nothing for IdleMs, holds more than
// MaxRequestBytes of an unfinished request or leaves more than MaxUnsentBytes of answers
// unread is closed. A client that never reads therefore costs at most one buffer.
class MetricsServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxConnections = 16;
    static constexpr int IdleMs = 30000;
    static constexpr qint64 MaxRequestBytes = 16 * 1024;
    static constexpr qint64 MaxUnsentBytes = 4 * 1024 * 1024;

    explicit MetricsServer(QObject *parent = nullptr);
    ~MetricsServer() override;

    // Starts listening (port 0: any free one); false with the system's reason in *error.
    // A server already listening is closed first.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    void close();
    bool isListening() const;
    quint16 port() const;
    int connectionCount() const;

    QByteArray text() const { return m_text; }
    // How long a silent connection is kept (IdleMs unless changed); for new connections.
    void setIdleTimeoutMs(int ms) { m_idleMs = ms; }

public Q_SLOTS:
    void onPollFinished(const PollResult &result);

private:
    QByteArray m_text;
    int m_idleMs = IdleMs;
    std::unique_ptr<QAbstractHttpServer> m_http;
    MetricsConnections *m_connections = nullptr; // owned by m_http
};
