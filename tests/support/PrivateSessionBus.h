#pragma once

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <optional>

// A session bus of the test's own: a dbus-daemon started on a socket in a temporary folder,
// stopped with the object. Never the machine's system or session bus.
class PrivateSessionBus
{
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; } // for DBUS_SESSION_BUS_ADDRESS
    // A new connection to the bus under the given connection name.
    QDBusConnection connect(const QString &name);
    // Ends every connection made with connect(): names they own are given up.
    void disconnectAll();

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

// A desktop notification service that records what it is asked to show. Its ids count from 1;
// a call that replaces an id keeps it.
class RecordingNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString appName;
        uint replacesId = 0;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        uint id = 0; // what the service answered
    };

    // Takes the well-known name on the connection; false when that fails.
    bool publish(QDBusConnection bus);
    // Sends ActionInvoked for a notification, as a click on it does.
    void click(uint id, const QString &actionKey = QStringLiteral("default"));

    QList<Call> calls;

public Q_SLOTS:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int expireTimeout);
    QStringList GetCapabilities() { return {QStringLiteral("body"), QStringLiteral("actions")}; }

private:
    std::optional<QDBusConnection> m_bus;
    uint m_nextId = 1;
};
