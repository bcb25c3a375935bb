#include "WindowHandover.h"

#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <utility>

namespace
{

constexpr int TimeoutMs = 2000;
constexpr qsizetype MaxRequestBytes = 16 * 1024;
constexpr int MaxClients = 8;

const QByteArray RaiseRequest = QByteArrayLiteral("raise");
const QByteArray OpenRequest = QByteArrayLiteral("open ");
const QByteArray Confirmation = QByteArrayLiteral("ok\n");
const QByteArray BusyAnswer = QByteArrayLiteral("busy\n");
constexpr int RetryMs = 500;

// Answers a client and lets it go; the socket ends itself once it is closed.
void answer(QLocalSocket *socket, const QByteArray &reply)
{
    socket->write(reply);
    socket->disconnectFromServer();
}

} // namespace

namespace WindowHandover
{

QString socketPath()
{
#ifdef Q_OS_WIN
    // A named pipe of this user's session.
    return QStringLiteral("ostraline-window-") + qEnvironmentVariable("USERNAME");
#else
    const QString folder = SingleInstance::lockFolder();
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("ostraline-window"));
#endif
}

Result handOver(const QString &deviceFile)
{
    const QString path = socketPath();
    if (path.isEmpty())
        return Result::Unreachable;
    QByteArray request = RaiseRequest;
    if (!deviceFile.isEmpty())
        request = OpenRequest + QUrl::toPercentEncoding(QFileInfo(deviceFile).absoluteFilePath());
    request += '\n';

    const QDeadlineTimer deadline(TimeoutMs);
    QLocalSocket socket;
    // The running copy holds the lock a little before it listens: a start in between tries
    // again until the deadline.
    for (;;) {
        socket.connectToServer(path);
        if (socket.waitForConnected(int(deadline.remainingTime())))
            break;
        if (deadline.hasExpired())
            return Result::NoAnswer;
        if (socket.error() != QLocalSocket::ServerNotFoundError &&
            socket.error() != QLocalSocket::ConnectionRefusedError)
            return Result::Unreachable;
        QThread::msleep(quint64(std::min<qint64>(50, deadline.remainingTime())));
        if (deadline.hasExpired())
            return Result::Unreachable;
    }
    socket.write(request);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return Result::NoAnswer;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < 16 && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        reply += socket.read(16);
    }
    if (reply.startsWith(Confirmation))
        return Result::Taken;
    return reply.startsWith(BusyAnswer) ? Result::Busy : Result::NoAnswer;
}

QString failureMessage(Result result, const QString &deviceFile)
{
    const QString what =
        deviceFile.isEmpty()
            ? QStringLiteral("It was not brought to the front.")
            : QStringLiteral("%1 was not handed to it.")
                  .arg(QDir::toNativeSeparators(QFileInfo(deviceFile).absoluteFilePath()));
    switch (result) {
    case Result::Taken:
        return {};
    case Result::Busy:
        return QStringLiteral("Ostraline is already running and busy with another start. %1\n")
            .arg(what);
    case Result::NoAnswer:
        return QStringLiteral("Ostraline is already running but did not answer within 2 seconds. "
                              "%1\n")
            .arg(what);
    case Result::Unreachable:
        break;
    }
    return QStringLiteral("Ostraline is already running but cannot be reached at %1. %2\n")
        .arg(QDir::toNativeSeparators(socketPath()), what);
}

} // namespace WindowHandover

WindowHandoverServer::WindowHandoverServer(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(MaxClients);
    connect(m_server, &QLocalServer::newConnection, this, &WindowHandoverServer::accept);
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &WindowHandoverServer::deliver);
}

WindowHandoverServer::~WindowHandoverServer() = default;

bool WindowHandoverServer::listen(const QString &path)
{
    if (path.isEmpty())
        return false;
    // Only the holder of the lock gets here: a socket at the path is a dead copy's.
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) {
        qDebug("Cannot listen for later starts at %s: %s", qPrintable(path),
               qPrintable(m_server->errorString()));
        return false;
    }
    return true;
}

void WindowHandoverServer::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (m_clients >= MaxClients) {
            answer(socket, BusyAnswer);
            continue;
        }
        ++m_clients;
        // Counted until it ends (not through this object: a request read is disconnected
        // from it).
        connect(socket, &QObject::destroyed, m_server, [this] { --m_clients; });
        socket->setReadBufferSize(MaxRequestBytes);
        // A client that says nothing in time is dropped.
        QTimer::singleShot(TimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        read(socket);
    }
}

void WindowHandoverServer::read(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() >= MaxRequestBytes) {
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    const QByteArray line = socket->readLine(MaxRequestBytes).trimmed();
    socket->disconnect(this);
    QString deviceFile;
    bool valid = line == RaiseRequest;
    if (line.startsWith(OpenRequest)) {
        deviceFile =
            QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(OpenRequest.size())));
        valid = QDir::isAbsolutePath(deviceFile);
    }
    if (!valid) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    take(socket, deviceFile);
}

void WindowHandoverServer::take(QLocalSocket *socket, const QString &deviceFile)
{
    if (m_waiting && deviceFile.isEmpty() && !m_waiting->deviceFile.isEmpty()) {
        // "raise" never replaces a file that waits: the delivery raises the window anyway.
        answer(socket, Confirmation);
    } else {
        if (m_waiting && m_waiting->client)
            answer(m_waiting->client, BusyAnswer);
        m_waiting = Waiting{deviceFile, socket};
    }
    // One delivery after this event, however many requests come before it: the handler
    // may open a dialog of its own.
    if (!m_deliveryQueued) {
        m_deliveryQueued = true;
        QTimer::singleShot(0, this, &WindowHandoverServer::deliver);
    }
}

void WindowHandoverServer::deliver()
{
    m_deliveryQueued = false;
    if (!m_waiting)
        return;
    m_retry.stop();
    // Taken out first: the handler may run a dialog's event loop, in which newer requests
    // arrive and wait in their turn.
    const Waiting current = *std::exchange(m_waiting, std::nullopt);
    if (current.client)
        answer(current.client, Confirmation);
    const bool taken = !m_handler || m_handler(current.deviceFile);
    if (!taken && !m_waiting) {
        m_waiting = Waiting{current.deviceFile, nullptr};
        m_retry.start();
    }
}
