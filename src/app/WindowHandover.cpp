#include "WindowHandover.h"

#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QUrl>

namespace
{

constexpr int TimeoutMs = 2000;
constexpr qsizetype MaxRequestBytes = 16 * 1024;
constexpr int MaxClients = 8;

const QByteArray RaiseRequest = QByteArrayLiteral("raise");
const QByteArray OpenRequest = QByteArrayLiteral("open ");
const QByteArray Confirmation = QByteArrayLiteral("ok\n");

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

bool handOver(const QString &deviceFile)
{
    const QString path = socketPath();
    if (path.isEmpty())
        return false;
    QByteArray request = RaiseRequest;
    if (!deviceFile.isEmpty())
        request = OpenRequest + QUrl::toPercentEncoding(QFileInfo(deviceFile).absoluteFilePath());
    request += '\n';

    const QDeadlineTimer deadline(TimeoutMs);
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    socket.write(request);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < 16 && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
        reply += socket.read(16);
    }
    return reply.startsWith(Confirmation);
}

} // namespace WindowHandover

WindowHandoverServer::WindowHandoverServer(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler)), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(MaxClients);
    connect(m_server, &QLocalServer::newConnection, this, &WindowHandoverServer::accept);
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
        if (findChildren<QLocalSocket *>().size() > MaxClients) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setParent(this);
        socket->setReadBufferSize(MaxRequestBytes);
        // A client that says nothing in time is dropped.
        QTimer::singleShot(TimeoutMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
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
    socket->write(Confirmation);
    socket->disconnectFromServer();
    // After this event: the handler may open a dialog of its own.
    QTimer::singleShot(0, this, [this, deviceFile] {
        if (m_handler)
            m_handler(deviceFile);
    });
}
