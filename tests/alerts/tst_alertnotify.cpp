// Desktop notifications on a private session bus with a recording service of the test's own:
// what a notification carries, one notification per interface and condition updated in
// place, a click, and no service or no bus at all.

#include "AlertCentre.h"
#include "AlertFixture.h"
#include "DesktopNotifier.h"
#include "Heartbeat.h"
#include "PrivateSessionBus.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace AlertFixture;

namespace
{

AlertEvent alert(AlertCondition condition, AlertState state, const QString &value)
{
    AlertEvent e;
    e.time = QDateTime(QDate(2026, 3, 2), QTime(9, 15, 30));
    e.condition = condition;
    e.state = state;
    e.interfaceName = QStringLiteral("Core uplink");
    e.address = QStringLiteral("10.0.0.1");
    e.ifIndex = QStringLiteral("3");
    e.value = value;
    return e;
}

// Counts the debug lines that mention the notification service.
QAtomicInt serviceLines;
QtMessageHandler previousHandler = nullptr;
void countServiceLines(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.startsWith(u"Alerts: no"))
        serviceLines.ref();
    previousHandler(type, context, text);
}

} // namespace

class TestAlertNotify : public QObject
{
    Q_OBJECT

    std::unique_ptr<PrivateSessionBus> m_bus;

private Q_SLOTS:
    void initTestCase()
    {
        m_bus = std::make_unique<PrivateSessionBus>();
        QVERIFY2(m_bus->isRunning(), "dbus-daemon --session did not start");
        previousHandler = qInstallMessageHandler(countServiceLines);
    }

    void cleanup() { m_bus->disconnectAll(); }

    void cleanupTestCase()
    {
        qInstallMessageHandler(previousHandler);
        m_bus.reset();
    }

    void whatANotificationCarries_data()
    {
        QTest::addColumn<int>("condition");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("urgency");
        QTest::newRow("busy: normal") << int(AlertCondition::Busy) << "Core uplink is busy" << 1;
        QTest::newRow("down: critical") << int(AlertCondition::Down) << "Core uplink is down" << 2;
        QTest::newRow("silent: critical")
            << int(AlertCondition::Silent) << "Core uplink is silent" << 2;
        QTest::newRow("flapping: normal")
            << int(AlertCondition::Flapping) << "Core uplink is flapping" << 1;
    }

    void whatANotificationCarries()
    {
        QFETCH(int, condition);
        QFETCH(QString, summary);
        QFETCH(int, urgency);
        RecordingNotifications service;
        QVERIFY(service.publish(m_bus->connect(QStringLiteral("service"))));
        DesktopNotifier notifier(m_bus->connect(QStringLiteral("client")));
        QSignalSpy delivered(&notifier, &DesktopNotifier::delivered);

        notifier.notify(
            alert(AlertCondition(condition), AlertState::Raised, QStringLiteral("96 %")));
        QVERIFY(delivered.wait(5000));
        QCOMPARE(service.calls.size(), 1);
        const RecordingNotifications::Call &call = service.calls[0];
        QCOMPARE(call.appName, QStringLiteral("Ostraline"));
        QCOMPARE(call.icon, QStringLiteral("ostraline"));
        QCOMPARE(call.summary, summary);
        QCOMPARE(call.replacesId, 0u);
        QCOMPARE(call.body, QStringLiteral("10.0.0.1, ifIndex 3\n96 % at 2026-03-02 09:15:30"));
        QVERIFY(call.actions.contains(QStringLiteral("default")));
        QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral("ostraline"));
        const QVariant level = call.hints.value(QStringLiteral("urgency"));
        QCOMPARE(level.metaType(), QMetaType::fromType<uchar>()); // a byte, as the service expects
        QCOMPARE(level.toInt(), urgency);
        QCOMPARE(notifier.serviceAnswered(), std::optional<bool>(true));
    }

    void oneNotificationPerInterfaceAndCondition()
    {
        RecordingNotifications service;
        QVERIFY(service.publish(m_bus->connect(QStringLiteral("service"))));
        DesktopNotifier notifier(m_bus->connect(QStringLiteral("client")));
        QSignalSpy delivered(&notifier, &DesktopNotifier::delivered);

        const auto down =
            alert(AlertCondition::Down, AlertState::Raised, QStringLiteral("oper down"));
        const auto up = alert(AlertCondition::Down, AlertState::Cleared, QStringLiteral("oper up"));
        const auto busy = alert(AlertCondition::Busy, AlertState::Raised, QStringLiteral("91 %"));
        notifier.notify(down);
        QVERIFY(delivered.wait(5000));
        notifier.notify(busy); // another condition: a notification of its own
        QVERIFY(delivered.wait(5000));
        // Up and down again in quick succession, before the service has answered the first.
        notifier.notify(up);
        notifier.notify(down);
        QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 4, 5000);
        QTRY_COMPARE(delivered.size(), 4);

        const uint downId = service.calls[0].id;
        QCOMPARE(service.calls[1].replacesId, 0u);
        QVERIFY(service.calls[1].id != downId);
        QCOMPARE(service.calls[2].replacesId, downId);
        QCOMPARE(service.calls[2].summary, QStringLiteral("Core uplink is back to normal"));
        QCOMPARE(service.calls[2].hints.value(QStringLiteral("urgency")).toInt(), 1);
        QCOMPARE(service.calls[3].replacesId, downId);
        QCOMPARE(service.calls[3].summary, QStringLiteral("Core uplink is down"));
    }

    void aClickOnOurNotificationActivates()
    {
        RecordingNotifications service;
        QVERIFY(service.publish(m_bus->connect(QStringLiteral("service"))));
        DesktopNotifier notifier(m_bus->connect(QStringLiteral("client")));
        QSignalSpy delivered(&notifier, &DesktopNotifier::delivered);
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);
        notifier.notify(
            alert(AlertCondition::Silent, AlertState::Raised, QStringLiteral("no reply")));
        QVERIFY(delivered.wait(5000));

        service.click(service.calls[0].id + 100); // somebody else's notification
        service.click(service.calls[0].id, QStringLiteral("other-action"));
        QTest::qWait(100);
        QCOMPARE(activated.size(), 0);
        service.click(service.calls[0].id);
        QVERIFY(activated.wait(5000));
    }

    // A flood of clicks (ActionInvoked) from the service: our notification is acted on once,
    // ids we were not given and ids already acted on are ignored, and the flood holds up
    // nothing. A notification shown again under its id may be acted on again.
    void aFloodOfClicksActsOncePerNotification()
    {
        RecordingNotifications service;
        QVERIFY(service.publish(m_bus->connect(QStringLiteral("service"))));
        DesktopNotifier notifier(m_bus->connect(QStringLiteral("client")));
        QSignalSpy delivered(&notifier, &DesktopNotifier::delivered);
        QSignalSpy activated(&notifier, &DesktopNotifier::activated);
        const auto down = alert(AlertCondition::Down, AlertState::Raised, QStringLiteral("down"));
        notifier.notify(down);
        QVERIFY(delivered.wait(5000));
        const uint id = service.calls[0].id;

        Heartbeat beat(5);
        std::unique_ptr<QThread> flood(QThread::create([&service, id] {
            for (int i = 0; i < 20000; ++i)
                service.click(id);
            for (uint other = 1; other <= 2000; ++other)
                service.click(id + other); // not ours
        }));
        flood->start();
        QVERIFY(QTest::qWaitFor([&] { return flood->isFinished(); }, 60000));
        // The answer to this call comes after every signal sent before it.
        notifier.notify(alert(AlertCondition::Busy, AlertState::Raised, QStringLiteral("91 %")));
        QVERIFY(delivered.wait(20000));
        beat.stop();
        QCOMPARE(activated.size(), 1);
        qDebug("longest gap while 22,000 clicks arrived: %lld ms", beat.longestGapMs());
        // What is left is the bus library's own delivery of 22,000 messages (tens of ms).
        QVERIFY2(beat.longestGapMs() < 300, qPrintable(QString::number(beat.longestGapMs())));

        service.click(service.calls[1].id); // the other notification: once
        service.click(service.calls[1].id);
        QTRY_COMPARE(activated.size(), 2);
        // "Back to normal" replaces the first one in place: it may be clicked again.
        notifier.notify(alert(AlertCondition::Down, AlertState::Cleared, QStringLiteral("up")));
        QVERIFY(delivered.wait(5000));
        QCOMPARE(service.calls[2].replacesId, id);
        service.click(id);
        QTRY_COMPARE(activated.size(), 3);
        QTest::qWait(100);
        QCOMPARE(activated.size(), 3);
    }

    void noServiceBlocksNothingAndSaysSoOnce()
    {
        serviceLines = 0;
        DesktopNotifier notifier(m_bus->connect(QStringLiteral("client")));
        QSignalSpy undelivered(&notifier, &DesktopNotifier::undelivered);
        Heartbeat beat(2);
        for (const auto condition :
             {AlertCondition::Busy, AlertCondition::Down, AlertCondition::Silent})
            notifier.notify(alert(condition, AlertState::Raised, QStringLiteral("x")));
        QTRY_COMPARE_WITH_TIMEOUT(undelivered.size(), 3, 5000);
        beat.stop();
        QVERIFY2(beat.longestGapMs() <= 20, qPrintable(QString::number(beat.longestGapMs())));
        QCOMPARE(serviceLines.loadRelaxed(), 1);
        QCOMPARE(notifier.serviceAnswered(), std::optional<bool>(false));
    }

    void noBusAtAll_data()
    {
        QTest::addColumn<bool>("sessionBus");
        QTest::newRow("a bus that cannot be reached") << false;
        QTest::newRow("no session bus announced") << true;
    }

    void noBusAtAll()
    {
        QFETCH(bool, sessionBus);
        serviceLines = 0;
        QTemporaryDir dir;
        std::unique_ptr<DesktopNotifier> notifier;
        const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (sessionBus) {
            // Nothing announced: the notifier must not look for (or start) a bus of its own.
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
            qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
            notifier = std::make_unique<DesktopNotifier>();
        } else {
            const QDBusConnection none = QDBusConnection::connectToBus(
                QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("nothing")),
                QStringLiteral("none"));
            QVERIFY(!none.isConnected());
            notifier = std::make_unique<DesktopNotifier>(none);
        }
        Heartbeat beat(2);
        notifier->notify(alert(AlertCondition::Down, AlertState::Raised, QStringLiteral("x")));
        notifier->notify(alert(AlertCondition::Down, AlertState::Cleared, QStringLiteral("x")));
        QTest::qWait(30);
        beat.stop();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        qputenv("XDG_RUNTIME_DIR", runtime);
        QVERIFY(beat.longestGapMs() <= 20);
        QCOMPARE(serviceLines.loadRelaxed(), 1);
        QCOMPARE(notifier->serviceAnswered(), std::optional<bool>(false));
        QDBusConnection::disconnectFromBus(QStringLiteral("none"));
    }

    void withoutServiceTheListAndStatusBarCarryEverything()
    {
        QTemporaryDir dir;
        AlertCentre centre(dir.filePath(QStringLiteral("alerts.csv")),
                           m_bus->connect(QStringLiteral("client")));
        AlertSettings::Values values;
        values.on = true;
        AlertRules rules;
        rules.polls = 2;
        centre.apply(values, rules);
        QSignalSpy status(&centre, &AlertCentre::statusMessage);
        QSignalSpy undelivered(&centre.notifier(), &DesktopNotifier::undelivered);

        Heartbeat beat(2);
        centre.onPollFinished(poll(0, good(95)));
        QCOMPARE(status.size(), 0); // one busy poll is no alert
        centre.onPollFinished(poll(1, good(95)));
        QCOMPARE(status.size(), 1);
        QCOMPARE(status[0][0].toString(), QStringLiteral("Alert: Core uplink is busy (95 %)"));
        QCOMPARE(centre.history().rows().size(), 1);
        QVERIFY(!centre.history().rows()[0].clearedAt.isValid());
        centre.onPollFinished(poll(2, good(10)));
        centre.onPollFinished(poll(3, good(10)));
        QCOMPARE(centre.history().rows().size(), 1);
        QCOMPARE(centre.history().rows()[0].clearedAt, poll(3, good(10)).time);
        QTRY_COMPARE_WITH_TIMEOUT(undelivered.size(), 2, 5000);
        beat.stop();
        QVERIFY(beat.longestGapMs() <= 20);

        // The next run finds the list in the file (written on its own thread).
        const auto fileLines = [&] {
            QFile file(dir.filePath(QStringLiteral("alerts.csv")));
            return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
        };
        QTRY_COMPARE_WITH_TIMEOUT(fileLines(), 3, 5000);
        AlertCentre again(dir.filePath(QStringLiteral("alerts.csv")),
                          m_bus->connect(QStringLiteral("client2")));
        QCOMPARE(again.history().rows().size(), 1);
        QCOMPARE(again.history().rows()[0].event.summary(), QStringLiteral("Core uplink is busy"));
        QCOMPARE(again.history().rows()[0].clearedAt, poll(3, good(10)).time);
    }

    void alertsOffChangesNothing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alerts.csv"));
        AlertCentre centre(path, m_bus->connect(QStringLiteral("client")));
        AlertRules rules;
        rules.polls = 1;
        centre.apply(AlertSettings::Values{}, rules); // "alerts" is "no" by default
        QSignalSpy status(&centre, &AlertCentre::statusMessage);
        for (int i = 0; i < 5; ++i)
            centre.onPollFinished(
                poll(i, i % 2 ? good(99) : reading(InterfaceReading::Outcome::Failed)));
        QCOMPARE(status.size(), 0);
        QVERIFY(centre.history().rows().isEmpty());
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_GUILESS_MAIN(TestAlertNotify)
#include "tst_alertnotify.moc"
