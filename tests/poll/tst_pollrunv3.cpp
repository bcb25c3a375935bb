#include "PollRunFixture.h"

#include "AgentProfile.h"
#include "Heartbeat.h"
#include "SnmpAgent.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <memory>

// The poll run without any window for agents with SNMP v3 profiles, against real agents on
// loopback: v3 rows beside v1 and v2c ones, a wrong passphrase, and the first poll of an agent
// whose engine ID is still to learn.
class TestPollRunV3 : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_plain;  // polled with v1 / v2c
    std::unique_ptr<SnmpAgent> m_secure; // polled with v3

    // An authPriv profile of the test agents' user; authPassphrase replaces the right one.
    static AgentProfiles v3Profiles(const QString &address, const QByteArray &authPassphrase = {})
    {
        AgentProfile profile;
        profile.address = address;
        profile.version = AgentProfile::Version::V3;
        profile.security.user = SnmpAgent::privUser();
        profile.security.level = SnmpSecurity::Level::AuthPriv;
        profile.security.authPassphrase =
            authPassphrase.isNull() ? SnmpAgent::authPassphrase().toUtf8() : authPassphrase;
        profile.security.privPassphrase = SnmpAgent::privPassphrase().toUtf8();
        AgentProfiles profiles;
        profiles.set(profile);
        return profiles;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        qRegisterMetaType<PollResult>();
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        m_plain = std::make_unique<SnmpAgent>();
        m_secure = std::make_unique<SnmpAgent>();
        QVERIFY2(m_plain->start(), qPrintable(m_plain->errorString()));
        QVERIFY2(m_secure->start(), qPrintable(m_secure->errorString()));
    }

    // A v1 interface, a v2c one with 64-bit counters, and two of a v3 agent (one with 64-bit
    // counters, one without), three polls 12 s apart: the table, the results and both logs,
    // which hold no passphrase. The v3 rows' community is wrong on purpose: it is not sent.
    void mixedVersions()
    {
        const AgentProfiles profiles = v3Profiles(m_secure->host());
        m_plain->setCounters(1, 1000, 2000);
        m_plain->setCounters(2, 5, 5);
        m_plain->setCounters64(2, 10000000000000ULL, 20000000000000ULL);
        m_secure->setCounters(3, 7, 7);
        m_secure->setCounters64(3, 30000000000000ULL, 40000000000000ULL);
        m_secure->setCounters(4, 3000, 4000);
        PollRunFixture r({m_plain->deviceLine(1, "2048000", SnmpAgent::community()),
                          m_plain->deviceLine(2, "10000000000", SnmpAgent::community()),
                          m_secure->deviceLine(3, "10000000000", "not-sent"),
                          m_secure->deviceLine(4, "2048000", "not-sent")});
        r.run->poller().setProfiles(&profiles);
        r.run->poller().setTimeoutMs(SnmpBatch::DefaultTimeoutMs);
        r.run->poller().counters().setEnabled(true);
        r.run->setPollInterval(12);
        r.run->setLogs(true, true);
        r.run->setDeviceFilePath(r.folder.filePath("v3.dev"));
        PollResult last;
        for (int n = 1; n <= 3; ++n) {
            last = r.poll();
            QCOMPARE(last.interfaces.size(), 4);
            m_plain->setCounters(1, 1000 + n * 600000, 2000 + n * 60000);
            m_plain->setCounters64(2, 10000000000000ULL + n * 7500000000ULL,
                                   20000000000000ULL + n * 3750000000ULL);
            m_secure->setCounters64(3, 30000000000000ULL + n * 3750000000ULL,
                                    40000000000000ULL + n * 7500000000ULL);
            m_secure->setCounters(4, 3000 + n * 600000, 4000 + n * 60000);
        }
        const QStringList versions = {"1", "2c", "3", "3"};
        const QList<bool> wide = {false, true, true, false};
        for (int p = 0; p < 4; ++p) {
            QCOMPARE(last.interfaces[p].snmpVersion, versions[p]);
            QCOMPARE(last.interfaces[p].counters64, wide[p]);
            QCOMPARE(last.interfaces[p].outcome, InterfaceReading::Outcome::Good);
            QVERIFY(r.list.isChecked(p));
        }
        QCOMPARE(r.table.cell(Col::InUtil, 1), QStringLiteral("19.53125"));
        QCOMPARE(r.table.cell(Col::CombinedUtil, 2), QStringLiteral("75"));
        QCOMPARE(r.table.cell(Col::OrgIn, 3), QStringLiteral("30007500000000"));
        QCOMPARE(r.table.cell(Col::InUtil, 3), QStringLiteral("25"));
        QCOMPARE(r.table.cell(Col::OutUtil, 3), QStringLiteral("50"));
        QCOMPARE(r.table.cell(Col::InUtil, 4), QStringLiteral("19.53125"));

        // No passphrase appears in any file the polls wrote.
        const QStringList logs = QDir(r.folder.path()).entryList({"*.csv"}, QDir::Files);
        QCOMPARE(logs.size(), 2);
        for (const QString &name : logs) {
            QFile log(r.folder.filePath(name));
            QVERIFY(log.open(QIODevice::ReadOnly));
            const QByteArray text = log.readAll();
            QVERIFY(text.contains("; if3; "));
            QVERIFY(!text.contains(SnmpAgent::authPassphrase().toUtf8()));
            QVERIFY(!text.contains(SnmpAgent::privPassphrase().toUtf8()));
        }
        QVERIFY(r.errors.isEmpty());
    }

    // A wrong passphrase is a failed reading like any other: in stop mode the row is taken out.
    void wrongPassphraseFailsTheRow()
    {
        const AgentProfiles profiles = v3Profiles(m_secure->host(), "not-the-passphrase");
        m_secure->setCounters(5, 10, 20);
        PollRunFixture r({m_secure->deviceLine(5, "2048000", SnmpAgent::community())});
        r.run->poller().setProfiles(&profiles);
        r.run->poller().setTimeoutMs(SnmpBatch::DefaultTimeoutMs);
        r.run->setOnErrorMode(OnErrorMode::Stop);
        const PollResult result = r.poll();
        QCOMPARE(result.interfaces.size(), 1);
        QCOMPARE(result.interfaces[0].snmpVersion, QStringLiteral("3"));
        QCOMPARE(result.interfaces[0].outcome, InterfaceReading::Outcome::Failed);
        QVERIFY(!r.list.isChecked(0));
    }

    // The first poll of twenty interfaces of a v3 agent not met before (its engine ID still
    // to learn) keeps the event loop beating.
    void firstPollOfTwentyKeepsTheLoopLive()
    {
        SnmpAgent fresh;
        for (int i = 1; i <= 20; ++i)
            fresh.setCounters(i, 100 * i, 200 * i);
        QVERIFY2(fresh.start(), qPrintable(fresh.errorString()));
        AgentProfile profile;
        profile.address = fresh.host();
        profile.security.user = SnmpAgent::privUser();
        profile.security.authPassphrase = SnmpAgent::authPassphrase().toUtf8();
        profile.security.privPassphrase = SnmpAgent::privPassphrase().toUtf8();
        AgentProfiles profiles;
        profiles.set(profile);
        QStringList lines;
        for (int i = 1; i <= 20; ++i)
            lines << fresh.deviceLine(i, "2048000", "x");
        PollRunFixture r(lines);
        r.run->poller().setProfiles(&profiles);
        r.run->poller().setTimeoutMs(SnmpBatch::DefaultTimeoutMs);

        QElapsedTimer clock;
        clock.start();
        Heartbeat heartbeat(5);
        // Until the get step ends (the calculation follows it in the same call).
        QSignalSpy done(r.run.get(), &PollRun::getFinished);
        QVERIFY(r.run->start());
        QVERIFY(done.wait(5000));
        heartbeat.stop();
        // A beat every 5 ms: a gap of 25 ms or more means a stall of over 20 ms.
        QVERIFY2(heartbeat.longestGapMs() < 25,
                 qPrintable(QString::number(heartbeat.longestGapMs())));
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
        for (int row = 1; row <= 20; ++row)
            QCOMPARE(r.table.cell(Col::OrgIn, row), QString::number(100 * row));
        QCOMPARE(r.run->lastResult().interfaces.size(), 20);
        QCOMPARE(r.run->lastResult().interfaces[0].snmpVersion, QStringLiteral("3"));
    }
};

QTEST_GUILESS_MAIN(TestPollRunV3)
#include "tst_pollrunv3.moc"
