#include "MetricsServer.h"

#include "MetricsText.h"
#include "PollResult.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// What one connection may cost: it is closed after a silence of the idle time, and when more
// than MaxRequestBytes arrive before an answer. (A QObject of its own, so that findChild can
// find it again by its type.)
class ConnectionGuard : public QObject
{
    Q_OBJECT

public:
    ConnectionGuard(QTcpSocket *socket, int idleMs) : QObject(socket), m_idleMs(idleMs)
    {
        m_idle.setSingleShot(true);
        connect(&m_idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        m_idle.start(m_idleMs);
    }

    // False once the request grew past its bound.
    bool received(qint64 bytes)
    {
        m_idle.start(m_idleMs);
        m_unanswered += bytes;
        return m_unanswered <= MetricsServer::MaxRequestBytes;
    }

    static void answered(QTcpSocket *socket)
    {
        if (auto *guard =
                socket->findChild<ConnectionGuard *>(QString(), Qt::FindDirectChildrenOnly))
            guard->m_unanswered = 0;
    }

private:
    QTimer m_idle;
    int m_idleMs;
    qint64 m_unanswered = 0;
};

// Accepts connections up to the limit and guards each one; the HTTP server takes them from
// here as from any QTcpServer.
class MetricsConnections : public QTcpServer
{
public:
    explicit MetricsConnections(const int *idleMs) : m_idleMs(idleMs) {}
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

        auto *guard = new ConnectionGuard(socket, *m_idleMs);
        // Connected before the HTTP server's own handler, so this runs first and sees what
        // arrived; the close is queued so that the server's handler never meets a socket
        // closed under it.
        connect(socket, &QTcpSocket::readyRead, guard, [socket, guard] {
            if (!guard->received(socket->bytesAvailable()) ||
                socket->bytesToWrite() > MetricsServer::MaxUnsentBytes)
                QMetaObject::invokeMethod(socket, &QTcpSocket::abort, Qt::QueuedConnection);
        });
        addPendingConnection(socket);
    }

private:
    const int *m_idleMs;
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
        ConnectionGuard::answered(socket);
        makeResponder(request, socket).write(*m_text, {{"Content-Type", MetricsText::ContentType}});
        return true;
    }

    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override
    {
        ConnectionGuard::answered(socket);
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
    auto *connections = new MetricsConnections(&m_idleMs);
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

#include "MetricsServer.moc"
