#include "PrivateSessionBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

PrivateSessionBus::PrivateSessionBus()
{
    if (!m_dir.isValid())
        return;
    const QString socket = m_dir.filePath(QStringLiteral("bus"));
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1"),
                           QStringLiteral("--address=unix:path=") + socket});
    m_daemon.start();
    if (!m_daemon.waitForStarted(5000))
        return;
    QByteArray line;
    while (!line.contains('\n') && m_daemon.waitForReadyRead(5000))
        line += m_daemon.readAllStandardOutput();
    m_address = QString::fromUtf8(line.trimmed());
}

PrivateSessionBus::~PrivateSessionBus()
{
    disconnectAll();
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(3000);
        }
    }
}

QDBusConnection PrivateSessionBus::connect(const QString &name)
{
    m_connections.append(name);
    return QDBusConnection::connectToBus(m_address, name);
}

void PrivateSessionBus::disconnectAll()
{
    for (const QString &name : std::as_const(m_connections))
        QDBusConnection::disconnectFromBus(name);
    m_connections.clear();
}

bool RecordingNotifications::publish(QDBusConnection bus)
{
    m_bus = bus;
    return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

void RecordingNotifications::click(uint id, const QString &actionKey)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << id << actionKey;
    m_bus->send(signal);
}

uint RecordingNotifications::Notify(const QString &appName, uint replacesId, const QString &appIcon,
                                    const QString &summary, const QString &body,
                                    const QStringList &actions, const QVariantMap &hints,
                                    int expireTimeout)
{
    const uint id = replacesId != 0 ? replacesId : m_nextId++;
    calls.append({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout, id});
    return id;
}
