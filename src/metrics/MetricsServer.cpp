#include "MetricsServer.h"

#include "MetricsConnection.h"
#include "MetricsText.h"
#include "PollResult.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <utility>

MetricsServer::MetricsServer(QObject *parent) : QObject(parent) {}

MetricsServer::~MetricsServer()
{
    close();
}

bool MetricsServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    close();
    auto tcp = std::make_unique<QTcpServer>();
    if (!tcp->listen(address, port)) {
        *error = tcp->errorString();
        return false;
    }
    connect(tcp.get(), &QTcpServer::newConnection, this, &MetricsServer::onNewConnection);
    m_tcp = std::move(tcp);
    return true;
}

void MetricsServer::close()
{
    m_tcp.reset();
    const QList<MetricsConnection *> connections = m_connections;
    m_connections.clear();
    for (MetricsConnection *connection : connections) {
        connection->disconnect(this);
        connection->abort();
    }
}

bool MetricsServer::isListening() const
{
    return m_tcp && m_tcp->isListening();
}

quint16 MetricsServer::port() const
{
    return m_tcp ? m_tcp->serverPort() : 0;
}

void MetricsServer::onPollFinished(const PollResult &result)
{
    m_text = MetricsText::render(&result);
}

void MetricsServer::onNewConnection()
{
    while (QTcpSocket *socket = m_tcp ? m_tcp->nextPendingConnection() : nullptr) {
        if (m_connections.size() >= MaxConnections) {
            // Room is made by closing the connection that has gone longest without an answer
            // delivered: one that drips its request, stays silent or does not read.
            MetricsConnection *oldest = m_connections.first();
            for (MetricsConnection *connection : std::as_const(m_connections)) {
                if (connection->stalledMs() > oldest->stalledMs())
                    oldest = connection;
            }
            oldest->abort(); // leaves m_connections through its finished()
        }
        const MetricsConnection::Limits limits{m_idleMs, m_requestDeadlineMs, MaxRequestBytes,
                                               MaxUnsentBytes};
        auto *connection = new MetricsConnection(
            socket, limits, [this](const HttpRequest &request) { return answer(request); }, this);
        m_connections.append(connection);
        connect(connection, &MetricsConnection::finished, this,
                [this, connection] { m_connections.removeOne(connection); });
    }
}

HttpAnswer MetricsServer::answer(const HttpRequest &request) const
{
    if (request.method == "GET" && request.path == "/metrics")
        return {200, MetricsText::ContentType, m_text};
    return {404, "text/plain; charset=utf-8", "Not found\n"};
}
