#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

// The window's metrics endpoint from a test: a free loopback port to serve it on, and one
// GET /metrics answered by the window's own event loop (never a blocking wait, the server
// runs on this thread).
namespace MetricsScrape
{

inline quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// The whole HTTP reply (header and body); empty when nothing came.
inline QByteArray get(quint16 port)
{
    QTcpSocket socket;
    QByteArray reply;
    QObject::connect(&socket, &QTcpSocket::connected, &socket, [&socket] {
        socket.write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    });
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] { reply += socket.readAll(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    // The reply is complete once the body has the length the header announced.
    (void)QTest::qWaitFor(
        [&] {
            const qsizetype end = reply.indexOf("\r\n\r\n");
            if (end < 0)
                return false;
            const QByteArray head = reply.left(end).toLower();
            const qsizetype at = head.indexOf("content-length:");
            if (at < 0)
                return socket.state() == QAbstractSocket::UnconnectedState;
            const qsizetype eol = head.indexOf("\r\n", at);
            const qint64 length =
                head.mid(at + 15, eol < 0 ? -1 : eol - at - 15).trimmed().toLongLong();
            return reply.size() - end - 4 >= length;
        },
        5000);
    return reply;
}

} // namespace MetricsScrape
