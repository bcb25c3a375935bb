// Alerts from real polls: a loopback snmpd whose counters the test raises, the main window's
// poll run, and a recording notification service on a private session bus.

#include "AlertsFeature.h"
#include "MainWindowFixture.h"
#include "OptionsDialog.h"
#include "PollRun.h"
#include "PrivateSessionBus.h"
#include "SnmpAgent.h"
#include "WindowPolling.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QSignalSpy>
#include <QTest>

class TestAlertsPolling : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_agent;
    std::unique_ptr<PrivateSessionBus> m_bus;

    // Waits until every message the alerts sent on the client connection so far has been
    // handled by the service: messages of one connection arrive in order, so a call sent now
    // is answered after them. What the service has not recorded by then was never sent.
    static bool deliveredSoFar(const QDBusConnection &client)
    {
        const QDBusPendingCall call = client.asyncCall(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("GetCapabilities")));
        return QTest::qWaitFor([&] { return call.isFinished(); }, 5000) && !call.isError();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed (the README set-up installs it)");
        m_agent = std::make_unique<SnmpAgent>();
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
        m_bus = std::make_unique<PrivateSessionBus>();
        QVERIFY(m_bus->isRunning());
    }
    void cleanupTestCase()
    {
        m_bus.reset();
        m_agent.reset();
    }

    void busyAfterNPollsClearedWithHysteresisThenSilent()
    {
        RecordingNotifications service;
        QVERIFY(service.publish(m_bus->connect(QStringLiteral("service"))));
        MainWindowFixture f;
        TForm1 &w = f.create();
        f.store(QStringLiteral("alerts"), QStringLiteral("yes"));
        f.store(QStringLiteral("alert polls"), QStringLiteral("2"));
        QTemporaryDir data;
        TForm3 options(w, &w);
        const QDBusConnection client = m_bus->connect(QStringLiteral("client"));
        AlertsFeature alerts(w, options, data.filePath(QStringLiteral("alerts.csv")), client);
        QVERIFY(alerts.centre().enabled());

        // 2,048,000 bit/s at the 6 s interval: 1,536,000 octets in a poll are 100 %.
        quint32 in = 1000;
        m_agent->setCounters(1, in, 0);
        const QString path =
            f.writeFile("alerts.dev", QStringLiteral("%1;1;2048000;%2;Core uplink")
                                          .arg(m_agent->host(), SnmpAgent::community())
                                          .toUtf8());
        w.setDeviceFileChooser([path] { return path; });
        w.Button8Click();

        const auto pollAt = [&](int percent) {
            in += quint32(1536000LL * percent / 100);
            m_agent->setCounters(1, in, 0);
            poll(w);
        };
        poll(w); // first reading
        pollAt(90);
        QVERIFY(deliveredSoFar(client));
        QCOMPARE(service.calls.size(), 0); // one busy poll is no alert
        pollAt(90);
        QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 1, 5000);
        QCOMPARE(service.calls[0].summary, QStringLiteral("Core uplink is busy"));
        QVERIFY2(service.calls[0].body.contains(QStringLiteral("ifIndex 1\n90 % at ")),
                 qPrintable(service.calls[0].body));
        QVERIFY(w.statusText(0).startsWith(QStringLiteral("Alert: Core uplink is busy")));

        pollAt(67); // below the threshold, not 5 points below: still busy
        pollAt(10);
        QVERIFY(deliveredSoFar(client));
        QCOMPARE(service.calls.size(), 1);
        pollAt(10);
        QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 2, 5000);
        QCOMPARE(service.calls[1].summary, QStringLiteral("Core uplink is back to normal"));
        QCOMPARE(service.calls[1].replacesId, service.calls[0].id);

        // The agent falls silent; stop mode takes the interface out at the first failure.
        m_agent->stop();
        poll(w);
        QTRY_COMPARE_WITH_TIMEOUT(service.calls.size(), 3, 5000);
        QCOMPARE(service.calls[2].summary, QStringLiteral("Core uplink is silent"));
        QCOMPARE(service.calls[2].hints.value(QStringLiteral("urgency")).toInt(), 2);
        QVERIFY(m_agent->start());
        w.Button4Click();
    }
};

QTEST_MAIN(TestAlertsPolling)
#include "tst_alertspolling.moc"
