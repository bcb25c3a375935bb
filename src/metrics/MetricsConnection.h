#pragma once

#include "HttpRequest.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QTcpSocket;

// What the endpoint answers to one request.
struct HttpAnswer {
    int status = 200; // 200, 400 or 404
    QByteArray contentType;
    QByteArray body;
};

// One client connection of the metrics endpoint: reads request heads, answers each at once
// and enforces what a connection may cost. It is closed
// - after a silence of the idle time (each arriving byte restarts it),
// - when a request's head is not complete within the request deadline of its first byte
//   (a client that drips bytes cannot keep its place for ever),
// - when a head grows past maxHeadBytes, or the answers left unread pass maxUnsentBytes,
// - after the answer to an HTTP/1.0 request that did not ask for keep-alive, to one that
//   asked to close, to one that carries a body (its framing is not followed) and to a
//   malformed one.
class MetricsConnection : public QObject
{
    Q_OBJECT

public:
    struct Limits {
        int idleMs;
        int requestDeadlineMs;
        qint64 maxHeadBytes;
        qint64 maxUnsentBytes;
    };
    using Responder = std::function<HttpAnswer(const HttpRequest &)>;

    // Takes the socket over.
    MetricsConnection(QTcpSocket *socket, const Limits &limits, Responder responder,
                      QObject *parent = nullptr);

    // How long since the connection last got somewhere: it was accepted, or an answer went
    // out in full. A client that drips a request, stays silent or never reads its answers
    // grows old; one that takes its answers stays young.
    qint64 stalledMs() const { return m_progress.elapsed(); }

    void abort();

Q_SIGNALS:
    // The connection is over; it deletes itself later.
    void finished();

private:
    void onReadyRead();
    void answer(const HttpRequest *request);

    QTcpSocket *m_socket;
    Limits m_limits;
    Responder m_responder;
    QByteArray m_buffer; // what arrived of the next request head
    QTimer m_idle;
    QTimer m_deadline;
    QElapsedTimer m_progress;
    bool m_closing = false;
    bool m_finished = false;
};
