#pragma once

#include "AlertEvent.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

class QDBusPendingCallWatcher;

// Shows alerts through the desktop's notification service (org.freedesktop.Notifications on
// the session bus). Every call is asynchronous: a missing or slow service never holds up the
// caller. One interface's condition is always one notification: its raise and its clear carry
// the same replaces_id, so the clear ("back to normal") replaces the raise in place. Down and
// Silent are critical, Busy and Flapping normal. The default action (a click) emits
// activated(), once per notification shown: an action for an id we were not given, or for
// one already acted on, is ignored, however often it is sent. When no service answers, one
// debug line says so, once.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    static constexpr QStringView Service = u"org.freedesktop.Notifications";
    static constexpr QStringView Path = u"/org/freedesktop/Notifications";

    // The session bus unless a connection is given (tests use a private bus). The session
    // bus is only looked for at the first notification, and only where one is announced
    // (DBUS_SESSION_BUS_ADDRESS, or the socket $XDG_RUNTIME_DIR/bus): a desktop without one
    // never gets a bus started for it.
    explicit DesktopNotifier(QObject *parent = nullptr);
    explicit DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    void notify(const AlertEvent &event);

    // The body text: address, ifIndex, value and time.
    static QString body(const AlertEvent &event);
    // 0 low, 1 normal, 2 critical.
    static int urgency(const AlertEvent &event);

    // Whether the last call found a service (unset before any answer).
    std::optional<bool> serviceAnswered() const { return m_answered; }

Q_SIGNALS:
    // The operator clicked one of our notifications.
    void activated();
    // A Notify call was answered (an id) or failed; for tests and diagnostics.
    void delivered(uint id);
    void undelivered(const QString &error);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &actionKey);

private:
    bool connectBus();
    void send(const QString &key, const AlertEvent &event);
    void answered(QDBusPendingCallWatcher *watcher, const QString &key);

    std::optional<QDBusConnection> m_bus; // unset until the first notification
    bool m_signalsConnected = false;
    QHash<QString, uint> m_ids;           // key -> the id the service gave its notification
    QSet<uint> m_armed;                   // ids shown and not acted on yet
    QHash<QString, AlertEvent> m_waiting; // key -> the latest event while a call is out
    QHash<QString, bool> m_inFlight;
    std::optional<bool> m_answered;
    bool m_missingReported = false;
};
