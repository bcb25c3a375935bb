#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

struct PollResult;
struct HttpAnswer;
struct HttpRequest;
class MetricsConnection;
class QTcpServer;

// Serves the last finished poll for Prometheus: GET /metrics answers the text format 0.0.4
// (MetricsText) whatever the Accept header asks for; every other request gets 404. The text
// is made once per poll, so a request costs a copy and never waits for the network.
//
// Bounds: at most MaxConnections connections at once. When all are taken, a new connection
// closes the one that has gone longest without an answer delivered in full (silent, dripping
// a request byte by byte, or not reading its answers), so a scrape always finds a place. A
// connection that sends nothing for IdleMs, whose request head is not complete
// RequestDeadlineMs after its first byte, that holds more than MaxRequestBytes of an
// unfinished head or leaves more than MaxUnsentBytes of answers unread is closed (see
// MetricsConnection). A client that never reads therefore costs at most one buffer.
class MetricsServer : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxConnections = 16;
    static constexpr int IdleMs = 30000;
    static constexpr int RequestDeadlineMs = 10000;
    static constexpr qint64 MaxRequestBytes = 16 * 1024;
    static constexpr qint64 MaxUnsentBytes = 4 * 1024 * 1024;

    explicit MetricsServer(QObject *parent = nullptr);
    ~MetricsServer() override;

    // Starts listening (port 0: any free one); false with the system's reason in *error.
    // A server already listening is closed first, with its connections.
    bool listen(const QHostAddress &address, quint16 port, QString *error);
    void close();
    bool isListening() const;
    quint16 port() const;
    int connectionCount() const { return int(m_connections.size()); }

    QByteArray text() const { return m_text; }
    // How long a silent connection is kept (IdleMs unless changed) and how long a request head
    // may take to arrive (RequestDeadlineMs unless changed); for new connections.
    void setIdleTimeoutMs(int ms) { m_idleMs = ms; }
    void setRequestDeadlineMs(int ms) { m_requestDeadlineMs = ms; }

public Q_SLOTS:
    void onPollFinished(const PollResult &result);

private:
    void onNewConnection();
    HttpAnswer answer(const HttpRequest &request) const;

    QByteArray m_text;
    int m_idleMs = IdleMs;
    int m_requestDeadlineMs = RequestDeadlineMs;
    std::unique_ptr<QTcpServer> m_tcp;
    QList<MetricsConnection *> m_connections;
};
