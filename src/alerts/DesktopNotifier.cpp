#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QVariantMap>

namespace
{

constexpr QStringView Interface = u"org.freedesktop.Notifications";

} // namespace

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent) {}

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{
    connectBus();
}

bool DesktopNotifier::connectBus()
{
    if (!m_bus) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const bool announced =
            !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
            (!runtime.isEmpty() &&
             QFileInfo(QFile::decodeName(runtime) + QStringLiteral("/bus")).exists());
        m_bus = announced ? QDBusConnection::sessionBus()
                          : QDBusConnection(QStringLiteral("no session bus"));
    }
    if (!m_bus->isConnected())
        return false;
    if (!m_signalsConnected) {
        m_signalsConnected = true;
        m_bus->connect(Service.toString(), Path.toString(), Interface.toString(),
                       QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    }
    return true;
}

QString DesktopNotifier::body(const AlertEvent &event)
{
    const QString time = QLocale::c().toString(event.time, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QString text = QStringLiteral("%1, ifIndex %2\n").arg(event.address, event.ifIndex);
    if (event.state == AlertState::Cleared)
        text += AlertText::condition(event.condition) + QStringLiteral(" cleared: ");
    return text + event.value + QStringLiteral(" at ") + time;
}

int DesktopNotifier::urgency(const AlertEvent &event)
{
    const bool critical =
        event.condition == AlertCondition::Down || event.condition == AlertCondition::Silent;
    return event.state == AlertState::Raised && critical ? 2 : 1;
}

void DesktopNotifier::notify(const AlertEvent &event)
{
    const QString key = event.key();
    if (m_inFlight.value(key)) {
        // The id of this notification is not known yet: the newest event waits for it.
        m_waiting.insert(key, event);
        return;
    }
    send(key, event);
}

void DesktopNotifier::send(const QString &key, const AlertEvent &event)
{
    if (!connectBus()) {
        if (!m_missingReported) {
            m_missingReported = true;
            qDebug("Alerts: no session bus, desktop notifications are off");
        }
        m_answered = false;
        return;
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(urgency(event))));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("ostraline"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        Service.toString(), Path.toString(), Interface.toString(), QStringLiteral("Notify"));
    call << QStringLiteral("Ostraline") << m_ids.value(key, 0u) << QStringLiteral("ostraline")
         << event.summary() << body(event)
         << QStringList{QStringLiteral("default"), QStringLiteral("Show Ostraline")} << hints
         << qint32(-1);
    // Never started on demand: a bus without a service answers at once.
    call.setAutoStartService(false);
    m_inFlight.insert(key, true);
    auto *watcher = new QDBusPendingCallWatcher(m_bus->asyncCall(call, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key](QDBusPendingCallWatcher *w) { answered(w, key); });
}

void DesktopNotifier::answered(QDBusPendingCallWatcher *watcher, const QString &key)
{
    watcher->deleteLater();
    m_inFlight.remove(key);
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        m_answered = false;
        if (!m_missingReported) {
            m_missingReported = true;
            qDebug("Alerts: no desktop notification service (%s); the status bar and the alert "
                   "list carry the alerts",
                   qPrintable(reply.error().message()));
        }
        Q_EMIT undelivered(reply.error().message());
    } else {
        m_answered = true;
        m_missingReported = false;
        // The notification shown now may be acted on once; an id it replaced is gone.
        if (const auto previous = m_ids.constFind(key);
            previous != m_ids.cend() && previous.value() != reply.value())
            m_armed.remove(previous.value());
        m_ids.insert(key, reply.value());
        m_armed.insert(reply.value());
        Q_EMIT delivered(reply.value());
    }
    if (m_waiting.contains(key))
        send(key, m_waiting.take(key));
}

void DesktopNotifier::onActionInvoked(uint id, const QString &actionKey)
{
    // Once per notification shown, and only for ours: a flood of signals for one id costs
    // a set lookup each.
    if (actionKey == u"default" && m_armed.remove(id))
        Q_EMIT activated();
}
