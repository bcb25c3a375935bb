#include "MetricsServer.h"

#include "MetricsText.h"
#include "PollResult.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// Accepts connections up to the limit and guards each one; the HTTP server takes them from
// here as from any QTcpServer.
class MetricsConnections : public QTcpServer
{
public:
    using QTcpServer::QTcpServer;
    int count() const { return m_count; }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        if (m_count >= MetricsServer::MaxConnections) {
            socket->abort();
            delete socket;
            return;
        }
        ++m_count;
        connect(socket, &QObject::destroyed, this, [this] { --m_count; });

        auto *idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        idle->start(MetricsServer::IdleMs);
        // Connected before the HTTP server's own handler, so this runs first; the close is
        // queued so that the server's handler never meets a socket closed under it.
        connect(socket, &QTcpSocket::readyRead, socket, [socket, idle] {
            idle->start(MetricsServer::IdleMs);
            if (socket->bytesAvailable() > MetricsServer::MaxRequestBytes ||
                socket->bytesToWrite() > MetricsServer::MaxUnsentBytes)
                QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
        });
        addPendingConnection(socket);
    }

private:
    int m_count = 0;
};

namespace
{

class MetricsHttp : public QAbstractHttpServer
{
public:
    explicit MetricsHttp(const QByteArray *text) : m_text(text) {}

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        if (request.method() != QHttpServerRequest::Method::Get ||
            request.url().path() != QLatin1String("/metrics"))
            return false;
        makeResponder(request, socket)
            .write(*m_text, {{"Content-Type", MetricsText::ContentType}});
        return true;
    }

    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        makeResponder(request, socket)
            .write("Not found\n", {{"Content-Type", "text/plain; charset=utf-8"}},
                   QHttpServerResponder::StatusCode::NotFound);
    }

private:
    const QByteArray *m_text;
};

} // namespace

MetricsServer::MetricsServer(QObject *parent) : QObject(parent) {}

MetricsServer::~MetricsServer() = default;

bool MetricsServer::listen(const QHostAddress &address, quint16 port, QString *error)
{
    close();
    auto http = std::make_unique<MetricsHttp>(&m_text);
    auto *connections = new MetricsConnections;
    if (!connections->listen(address, port)) {
        *error = connections->errorString();
        delete connections;
        return false;
    }
    http->bind(connections); // takes ownership
    m_connections = connections;
    m_http = std::move(http);
    return true;
}

void MetricsServer::close()
{
    m_connections = nullptr;
    m_http.reset();
}

bool MetricsServer::isListening() const
{
    return m_connections && m_connections->isListening();
}

quint16 MetricsServer::port() const
{
    return m_connections ? m_connections->serverPort() : 0;
}

int MetricsServer::connectionCount() const
{
    return m_connections ? m_connections->count() : 0;
}

void MetricsServer::onPollFinished(const PollResult &result)
{
    m_text = MetricsText::render(&result);
}
