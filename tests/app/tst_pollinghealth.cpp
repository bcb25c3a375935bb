#include "MainWindowFixture.h"

#include "AgentProfileFile.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "IfMib.h"
#include "InterfaceTable.h"
#include "PollRun.h"
#include "SnmpAgent.h"
#include "TransLabel.h"
#include "WindowPolling.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>

#include <QSignalSpy>
#include <QTest>

// Link health against a real net-snmp agent on loopback, polled from the main window.
class TestPollingHealth : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_agent;

    void load(MainWindowFixture &f, const QStringList &deviceLines)
    {
        const QString path = f.writeFile("health.dev", deviceLines.join("\n").toUtf8());
        f.form->setDeviceFileChooser([path] { return path; });
        f.form->Button8Click();
    }

    // A v3 profile (authPriv) for the agent, saved before the window reads the profiles.
    void saveV3Profile()
    {
        AgentProfile profile;
        profile.address = m_agent->host();
        profile.version = AgentProfile::Version::V3;
        profile.security.user = SnmpAgent::privUser();
        profile.security.level = SnmpSecurity::Level::AuthPriv;
        profile.security.authPassphrase = SnmpAgent::authPassphrase().toUtf8();
        profile.security.privPassphrase = SnmpAgent::privPassphrase().toUtf8();
        AgentProfiles profiles;
        profiles.set(profile);
        QString error;
        QVERIFY2(AgentProfileFile::save(AgentProfileFile::defaultPath(), profiles, &error),
                 qPrintable(error));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed (the README set-up installs it)");
        m_agent = std::make_unique<SnmpAgent>();
        m_agent->setLogPackets(true);
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
    }

    // The six objects, written out: a wrong column would read another object's value.
    void objectIdentifiers()
    {
        QCOMPARE(IfMib::linkHealth(QStringLiteral("12")),
                 QStringList({"1.3.6.1.2.1.2.2.1.7.12", "1.3.6.1.2.1.2.2.1.8.12",
                              "1.3.6.1.2.1.2.2.1.13.12", "1.3.6.1.2.1.2.2.1.14.12",
                              "1.3.6.1.2.1.2.2.1.19.12", "1.3.6.1.2.1.2.2.1.20.12"}));
    }

    // With "link health" off, each poll sends exactly the two v1 GetRequests per interface,
    // each with its one counter binding, even from an agent that has every health object.
    void settingOffSendsOnlyTheCounterRequests()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        QVERIFY(!w.linkHealth());
        w.CheckBoxUtilLog->setChecked(true);
        for (int index : {1, 2}) {
            m_agent->setCounters(index, 1000, 2000);
            SnmpAgent::LinkHealth health;
            health.oper = 2;
            health.inErrors = 3;
            m_agent->setLinkHealth(index, health);
        }
        load(f, {m_agent->deviceLine(1, "100000000"), m_agent->deviceLine(2, "100000000")});
        const qsizetype before = m_agent->receivedBindings().size();
        poll(w);
        poll(w);
        w.Button4Click();

        const auto requests = m_agent->receivedBindings().mid(before);
        QList<std::pair<int, QStringList>> expected;
        for (int n = 0; n < 2; ++n) {
            for (int index : {1, 2}) {
                expected.append({0, {SnmpAgent::inOctetsOid(index)}});
                expected.append({0, {SnmpAgent::outOctetsOid(index)}});
            }
        }
        // The batch sends side by side: compare without regard to the order of arrival.
        auto sorted = [](QList<std::pair<int, QStringList>> list) {
            std::sort(list.begin(), list.end());
            return list;
        };
        QCOMPARE(sorted(requests), sorted(expected));
        QCOMPARE(w.board().slot(1).Graph->BackgroundColor(), GraphBoard::RunningColor);
        QVERIFY(w.board().slot(1).HealthCaption->isHidden());
        QCOMPARE(QDir(f.folder()).entryList({"*.csv"}).size(), 1); // the utilisation log only
        QVERIFY(f.errors.isEmpty());
    }

    // SNMP v1 rows: a link that goes down, errors that climb, and an agent without
    // ifInDiscards, each visible on its graph within one poll; the counters are read at
    // every poll all the same.
    void v1LinkGoesDownAndErrorsClimb()
    {
        MainWindowFixture f;
        f.store("link health", "yes");
        TForm1 &w = f.create();
        SnmpAgent::LinkHealth health;
        health.inErrors = 100;
        for (int index : {11, 12, 13}) {
            m_agent->setCounters(index, 1000, 2000);
            m_agent->setLinkHealth(index, health);
        }
        SnmpAgent::LinkHealth noDiscards = health;
        noDiscards.inDiscards.reset();
        m_agent->setLinkHealth(13, noDiscards);
        load(f, {m_agent->deviceLine(11, "100000000"), m_agent->deviceLine(12, "100000000"),
                 m_agent->deviceLine(13, "100000000")});
        const GraphSlot &down = w.board().slot(1);
        const GraphSlot &errors = w.board().slot(2);
        poll(w);
        poll(w);
        QCOMPARE(down.Graph->BackgroundColor(), GraphBoard::RunningColor);
        QVERIFY(errors.HealthCaption->isHidden()); // errors 0: no caption line

        SnmpAgent::LinkHealth isDown = health;
        isDown.oper = 2;
        m_agent->setLinkHealth(11, isDown);
        SnmpAgent::LinkHealth threeMore = health;
        threeMore.inErrors = 103;
        m_agent->setLinkHealth(12, threeMore);
        m_agent->setCounters(13, 5000, 6000);
        poll(w);
        QCOMPARE(down.Graph->BackgroundColor(), GraphBoard::LinkDownColor);
        QVERIFY(down.HealthCaption->Caption().startsWith("Link down since "));
        QVERIFY(!down.HealthCaption->isHidden());
        QCOMPARE(w.statusText(0), QStringLiteral("Link state: row 1 (if11) down"));
        QCOMPARE(errors.HealthCaption->Caption(),
                 QStringLiteral("Errors 3 \u00B7 Discards 0 (last poll)"));
        // No ifInDiscards: the v1 health request fails as a whole, the counters do not.
        QCOMPARE(w.interfaceTable().cell(Col::OrgIn, 3), QStringLiteral("5000"));
        QCOMPARE(w.interfaceTable().cell(Col::InDelta, 3), QStringLiteral("4000"));
        QVERIFY(w.board().slot(3).Overlay->toolTip().contains("in discards not known"));

        m_agent->setLinkHealth(11, health);
        poll(w);
        QCOMPARE(down.Graph->BackgroundColor(), GraphBoard::RunningColor);
        QVERIFY(down.HealthCaption->isHidden());
        QCOMPARE(w.statusText(0), QStringLiteral("Link state: row 1 (if11) up"));
        QVERIFY(errors.HealthCaption->isHidden());
        w.Button4Click();
        QVERIFY(f.errors.isEmpty());
    }

    // When the link went down is known only when polling saw it go: a port already down at
    // Start polling says so instead of passing the start for the time it went down.
    void linkDownSinceWhen_data()
    {
        QTest::addColumn<bool>("downAtStart");
        QTest::newRow("down before Start polling") << true;
        QTest::newRow("goes down while polled") << false;
    }
    void linkDownSinceWhen()
    {
        QFETCH(bool, downAtStart);
        MainWindowFixture f;
        f.store("link health", "yes");
        TForm1 &w = f.create();
        SnmpAgent::LinkHealth health;
        health.oper = downAtStart ? 2 : 1;
        m_agent->setCounters(21, 1000, 2000);
        m_agent->setLinkHealth(21, health);
        load(f, {m_agent->deviceLine(21, "100000000")});
        const GraphSlot &slot = w.board().slot(1);
        poll(w);
        if (!downAtStart) {
            QVERIFY(slot.HealthCaption->isHidden());
            health.oper = 2;
            m_agent->setLinkHealth(21, health);
            poll(w);
        }
        QCOMPARE(slot.Graph->BackgroundColor(), GraphBoard::LinkDownColor);
        const QString caption = slot.HealthCaption->Caption();
        const QString tip = slot.Overlay->toolTip();
        if (downAtStart) {
            QCOMPARE(caption, QStringLiteral("Link down (at start of polling)"));
            QVERIFY2(tip.startsWith("Link down at start of polling, "), qPrintable(tip));
        } else {
            QVERIFY2(caption.startsWith("Link down since "), qPrintable(caption));
            QVERIFY2(tip.startsWith("Link down since "), qPrintable(tip));
        }
        // Start polling again: the state is seen afresh, so its start is not known again.
        w.Button4Click();
        poll(w);
        QCOMPARE(slot.HealthCaption->Caption(), QStringLiteral("Link down (at start of polling)"));
        w.Button4Click();
        QVERIFY(f.errors.isEmpty());
    }

    // v2c rows (64-bit counters) and v3 rows read the six objects in their counter request:
    // a link that goes down and errors that climb show within one poll, and an agent
    // without ifInDiscards leaves only that value not known.
    void v2cAndV3ReadHealthInTheCounterRequest_data()
    {
        QTest::addColumn<bool>("v3");
        QTest::newRow("v2c, 64-bit counters") << false;
        QTest::newRow("v3 profile") << true;
    }
    void v2cAndV3ReadHealthInTheCounterRequest()
    {
        QFETCH(bool, v3);
        MainWindowFixture f;
        f.store("link health", "yes");
        if (v3)
            saveV3Profile();
        else
            f.store("64-bit counters", "yes");
        TForm1 &w = f.create();
        SnmpAgent::LinkHealth health;
        health.inErrors = 100;
        for (int index : {31, 32, 33}) {
            m_agent->setCounters(index, 1000, 2000);
            m_agent->setCounters64(index, 10000000000ULL, 20000000000ULL);
            m_agent->setLinkHealth(index, health);
        }
        SnmpAgent::LinkHealth noDiscards = health;
        noDiscards.inDiscards.reset();
        m_agent->setLinkHealth(33, noDiscards);
        load(f, {m_agent->deviceLine(31, "100000000"), m_agent->deviceLine(32, "100000000"),
                 m_agent->deviceLine(33, "100000000")});
        const GraphSlot &down = w.board().slot(1);
        const GraphSlot &errors = w.board().slot(2);
        poll(w);
        poll(w);
        QCOMPARE(down.Graph->BackgroundColor(), GraphBoard::RunningColor);
        QVERIFY(errors.HealthCaption->isHidden());

        SnmpAgent::LinkHealth isDown = health;
        isDown.oper = 2;
        m_agent->setLinkHealth(31, isDown);
        SnmpAgent::LinkHealth threeMore = health;
        threeMore.inErrors = 103;
        m_agent->setLinkHealth(32, threeMore);
        m_agent->setLinkHealth(33, noDiscards);
        SnmpAgent::LinkHealth noDiscardsMore = noDiscards;
        noDiscardsMore.inErrors = 101;
        m_agent->setLinkHealth(33, noDiscardsMore);
        m_agent->setCounters(33, 5000, 6000);
        m_agent->setCounters64(33, 10000004000ULL, 20000004000ULL);
        const qsizetype before = m_agent->receivedBindings().size();
        poll(w);
        QCOMPARE(down.Graph->BackgroundColor(), GraphBoard::LinkDownColor);
        QVERIFY(down.HealthCaption->Caption().startsWith("Link down since "));
        QCOMPARE(w.statusText(0), QStringLiteral("Link state: row 1 (if31) down"));
        QCOMPARE(errors.HealthCaption->Caption(),
                 QStringLiteral("Errors 3 \u00B7 Discards 0 (last poll)"));
        // No ifInDiscards: that value alone is not known; the errors and counters are read.
        QCOMPARE(w.interfaceTable().cell(Col::InDelta, 3), QStringLiteral("4000"));
        const QString tip = w.board().slot(3).Overlay->toolTip();
        QVERIFY2(tip.contains("in discards not known"), qPrintable(tip));
        QCOMPARE(w.board().slot(3).HealthCaption->Caption(),
                 QStringLiteral("Errors 1 \u00B7 Discards 0 (last poll)"));
        if (!v3) {
            // One v2c request per interface, counters then health: no extra round trip.
            QList<std::pair<int, QStringList>> expected;
            for (int index : {31, 32, 33}) {
                const QString n = QString::number(index);
                // The counters, the agent's uptime, then the six link-health objects.
                expected.append({1, QStringList{IfMib::ifHCInOctets(n), IfMib::ifHCOutOctets(n),
                                                IfMib::sysUpTime0Text()} +
                                        IfMib::linkHealth(n)});
            }
            auto requests = m_agent->receivedBindings().mid(before);
            std::sort(requests.begin(), requests.end());
            QCOMPARE(requests, expected);
        }

        m_agent->setLinkHealth(31, health);
        poll(w);
        QCOMPARE(down.Graph->BackgroundColor(), GraphBoard::RunningColor);
        QVERIFY(down.HealthCaption->isHidden());
        QVERIFY(errors.HealthCaption->isHidden());
        w.Button4Click();
        QVERIFY(f.errors.isEmpty());
    }

    // With "link health" off, a 64-bit row's requests are exactly those of before: the v1
    // and v2c requests of the deciding poll, then the v2c one with its two counters.
    void settingOffLeavesTheV2cRequestAlone()
    {
        MainWindowFixture f;
        f.store("64-bit counters", "yes");
        TForm1 &w = f.create();
        QVERIFY(!w.linkHealth());
        m_agent->setCounters(41, 1000, 2000);
        m_agent->setCounters64(41, 10000000000ULL, 20000000000ULL);
        m_agent->setLinkHealth(41, SnmpAgent::LinkHealth{});
        load(f, {m_agent->deviceLine(41, "100000000")});
        const qsizetype before = m_agent->receivedBindings().size();
        poll(w);
        poll(w);
        w.Button4Click();
        const QString n = QStringLiteral("41");
        QList<std::pair<int, QStringList>> expected{
            {0, {SnmpAgent::inOctetsOid(41)}},
            {0, {SnmpAgent::outOctetsOid(41)}},
            {1, {IfMib::ifHCInOctets(n), IfMib::ifHCOutOctets(n), IfMib::sysUpTime0Text()}},
            {1, {IfMib::ifHCInOctets(n), IfMib::ifHCOutOctets(n), IfMib::sysUpTime0Text()}}};
        auto requests = m_agent->receivedBindings().mid(before);
        std::sort(requests.begin(), requests.end());
        QCOMPARE(requests, expected);
        QVERIFY(f.errors.isEmpty());
    }

    // Error and discard counters cleared on a 10 Gbit/s row (the agent's uptime rising): the
    // step back is no wrap of four billion errors but no count, on the graph and in the
    // health log alike.
    void clearedErrorCountersAreNoCount()
    {
        MainWindowFixture f;
        f.store("link health", "yes");
        TForm1 &w = f.create();
        w.CheckBoxUtilLog->setChecked(true);
        SnmpAgent::LinkHealth health;
        health.inErrors = 1005;
        health.inDiscards = 1005;
        m_agent->setCounters(41, 1000, 2000);
        m_agent->setLinkHealth(41, health);
        load(f, {QStringLiteral("%1;41;10000000000;%2;ten")
                     .arg(m_agent->host(), SnmpAgent::community())});
        const GraphSlot &slot = w.board().slot(1);
        poll(w);
        health.inErrors = 1008;
        m_agent->setLinkHealth(41, health);
        poll(w);
        QCOMPARE(slot.HealthCaption->Caption(),
                 QStringLiteral("Errors 3 \u00B7 Discards 0 (last poll)"));

        health.inErrors = 0;
        health.inDiscards = 0;
        m_agent->setLinkHealth(41, health);
        poll(w);
        QVERIFY2(slot.HealthCaption->isHidden(), qPrintable(slot.HealthCaption->Caption()));
        health.inErrors = 2;
        m_agent->setLinkHealth(41, health);
        poll(w); // counted again from the cleared value
        QCOMPARE(slot.HealthCaption->Caption(),
                 QStringLiteral("Errors 2 \u00B7 Discards 0 (last poll)"));
        w.Button4Click();

        const QStringList files = QDir(f.folder()).entryList({"*_health.csv"});
        QCOMPARE(files.size(), 1);
        QFile file(QDir(f.folder()).filePath(files.first()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 1 + 4 + 1);
        const auto counts = [&](int poll) { return lines[poll].split(',').mid(6).join(','); };
        QCOMPARE(counts(2), QByteArray("3,0,0,0"));
        QCOMPARE(counts(3), QByteArray(",0,,0")); // cleared: no count, not 4294966291
        QCOMPARE(counts(4), QByteArray("2,0,0,0"));
        QVERIFY(f.errors.isEmpty());
    }

    // With "link health" on and the utilisation log on, the poll run writes the health log
    // of the day: its header, then one line per interface and poll.
    void settingOnWritesTheHealthLog()
    {
        MainWindowFixture f;
        f.store("link health", "yes");
        TForm1 &w = f.create();
        QVERIFY(w.linkHealth());
        w.CheckBoxUtilLog->setChecked(true);
        m_agent->setCounters(1, 1000, 2000);
        m_agent->setCounters(2, 3000, 4000);
        load(f, {m_agent->deviceLine(1, "100000000"), m_agent->deviceLine(2, "100000000")});
        const qsizetype before = m_agent->receivedBindings().size();
        poll(w);
        poll(w);
        w.Button4Click();
        // On the wire per interface and poll: the two counter requests as before, and one
        // v1 request with the six link-health objects.
        QList<std::pair<int, QStringList>> expected;
        for (int n = 0; n < 2; ++n) {
            for (int index : {1, 2}) {
                expected.append({0, {SnmpAgent::inOctetsOid(index)}});
                expected.append({0, {SnmpAgent::outOctetsOid(index)}});
                expected.append({0, IfMib::linkHealth(QString::number(index))});
            }
        }
        auto requests = m_agent->receivedBindings().mid(before);
        std::sort(requests.begin(), requests.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(requests, expected);
        const QStringList files = QDir(f.folder()).entryList({"*_health.dev_health.csv"});
        QCOMPARE(files.size(), 1);
        QFile file(QDir(f.folder()).filePath(files.first()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 1 + 4 + 1); // header, 2 polls of 2 interfaces, after the last LF
        QCOMPARE(lines.first(), QByteArray("time,Number,IP,Interface,admin,oper,in errors,out "
                                           "errors,in discards,out discards"));
        QVERIFY(lines[1].contains(QByteArray(",1," + m_agent->host().toUtf8() + ",1,")));
        QVERIFY(lines[4].contains(QByteArray(",2," + m_agent->host().toUtf8() + ",2,")));
        QVERIFY(f.errors.isEmpty());
    }
};

QTEST_MAIN(TestPollingHealth)
#include "tst_pollinghealth.moc"
