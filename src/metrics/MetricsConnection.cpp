#include "MetricsConnection.h"

#include <QTcpSocket>

namespace
{

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    default:
        return "Not Found";
    }
}

// Where the head at the start of buffer ends: the index after its empty line, and the head's
// length without that line; -1 while it has not arrived.
qsizetype headEnd(const QByteArray &buffer, qsizetype *headLength)
{
    for (qsizetype i = buffer.indexOf('\n'); i >= 0; i = buffer.indexOf('\n', i + 1)) {
        qsizetype next = i + 1;
        if (next < buffer.size() && buffer[next] == '\r')
            ++next;
        if (next < buffer.size() && buffer[next] == '\n') {
            *headLength = i + 1;
            return next + 1;
        }
    }
    return -1;
}

} // namespace

MetricsConnection::MetricsConnection(QTcpSocket *socket, const Limits &limits, Responder responder,
                                     QObject *parent)
    : QObject(parent), m_socket(socket), m_limits(limits), m_responder(std::move(responder))
{
    socket->setParent(this);
    // What one read may bring in: a little more than a head may hold.
    socket->setReadBufferSize(limits.maxHeadBytes + 4096);
    m_idle.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, &MetricsConnection::abort);
    connect(&m_deadline, &QTimer::timeout, this, &MetricsConnection::abort);
    connect(socket, &QTcpSocket::readyRead, this, &MetricsConnection::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &MetricsConnection::abort);
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_socket->bytesToWrite() == 0)
            m_progress.restart();
    });
    m_idle.start(limits.idleMs);
    m_progress.start();
    if (socket->state() != QAbstractSocket::ConnectedState)
        QMetaObject::invokeMethod(this, &MetricsConnection::abort, Qt::QueuedConnection);
}

void MetricsConnection::abort()
{
    if (m_finished)
        return;
    m_finished = true;
    m_idle.stop();
    m_deadline.stop();
    m_socket->disconnect(this);
    m_socket->abort();
    Q_EMIT finished();
    deleteLater();
}

void MetricsConnection::onReadyRead()
{
    if (m_finished)
        return;
    const QByteArray data = m_socket->readAll();
    if (m_closing)
        return; // the last answer is on its way; nothing more is read
    m_idle.start(m_limits.idleMs);
    if (m_buffer.isEmpty() && !data.isEmpty())
        m_deadline.start(m_limits.requestDeadlineMs); // the first byte of a request
    m_buffer += data;

    while (!m_closing) {
        // Empty lines before a request line are passed over.
        qsizetype blank = 0;
        while (blank < m_buffer.size() && (m_buffer[blank] == '\r' || m_buffer[blank] == '\n'))
            ++blank;
        m_buffer.remove(0, blank);
        if (m_buffer.isEmpty()) {
            m_deadline.stop();
            return;
        }
        qsizetype headLength = 0;
        const qsizetype end = headEnd(m_buffer, &headLength);
        if (end < 0 ? m_buffer.size() > m_limits.maxHeadBytes
                    : headLength > m_limits.maxHeadBytes) {
            abort();
            return;
        }
        if (end < 0)
            return; // the rest of the head is still to come, within the deadline
        const std::optional<HttpRequest> request =
            HttpRequest::parse(QByteArrayView(m_buffer).first(headLength));
        m_buffer.remove(0, end);
        answer(request ? &*request : nullptr);
        if (m_finished)
            return;
        // A further request already begun: its own deadline from now.
        if (!m_buffer.isEmpty())
            m_deadline.start(m_limits.requestDeadlineMs);
    }
}

void MetricsConnection::answer(const HttpRequest *request)
{
    const HttpAnswer answer = request
                                  ? m_responder(*request)
                                  : HttpAnswer{400, "text/plain; charset=utf-8", "Bad request\n"};
    const bool keep = request && request->keepAlive && !request->hasBody;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                      reasonPhrase(answer.status) + "\r\nContent-Type: " + answer.contentType +
                      "\r\nContent-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    if (!keep)
        head += "Connection: close\r\n";
    else if (request->minorVersion == 0)
        head += "Connection: keep-alive\r\n";
    head += "\r\n";
    m_socket->write(head);
    if (!request || request->method != "HEAD")
        m_socket->write(answer.body);

    if (!keep) {
        // Closed once the answer is out; a client that does not read it is cut off at the idle
        // time, which no longer restarts.
        m_closing = true;
        m_buffer.clear();
        m_deadline.stop();
        m_idle.start(m_limits.idleMs);
        m_socket->disconnectFromHost();
        return;
    }
    if (m_socket->bytesToWrite() > m_limits.maxUnsentBytes)
        abort();
}
