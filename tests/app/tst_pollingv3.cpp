#include "GetStep.h"
#include "MainWindowFixture.h"

#include "AgentProfileFile.h"
#include "CoreDumps.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "InterfaceTable.h"
#include "SnmpAgent.h"
#include "WindowPolling.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

#include <sys/resource.h>

// What the window shows of polls of agents with SNMP v3 profiles, against real agents on
// loopback. What those polls read, compute and log is tested without a window (poll/).
class TestPollingV3 : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_plain;  // polled with v1 / v2c as before
    std::unique_ptr<SnmpAgent> m_secure; // polled with v3

    static void load(MainWindowFixture &f, const QStringList &deviceLines)
    {
        const QString path = f.writeFile("v3.dev", deviceLines.join("\n").toUtf8());
        f.form->setDeviceFileChooser([path] { return path; });
        f.form->Button8Click();
    }
    // Saves a v3 profile for the secure agent before the window reads the profiles.
    void saveProfile(const QByteArray &authPassphrase = {})
    {
        AgentProfile profile;
        profile.address = m_secure->host();
        profile.version = AgentProfile::Version::V3;
        profile.security.user = SnmpAgent::privUser();
        profile.security.level = SnmpSecurity::Level::AuthPriv;
        profile.security.authPassphrase =
            authPassphrase.isNull() ? SnmpAgent::authPassphrase().toUtf8() : authPassphrase;
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
        m_plain = std::make_unique<SnmpAgent>();
        m_secure = std::make_unique<SnmpAgent>();
        QVERIFY2(m_plain->start(), qPrintable(m_plain->errorString()));
        QVERIFY2(m_secure->start(), qPrintable(m_secure->errorString()));
    }

    // One board: a v1 interface, a v2c one with 64-bit counters, and two of a v3 agent (one
    // with 64-bit counters, one without), from the profiles the window read (which turn core
    // files off): each entry's tooltip and a v3 slot's graph. The v3 rows' community is wrong
    // on purpose: it is not sent.
    void mixedBoard()
    {
        MainWindowFixture f;
        f.store("64-bit counters", "yes");
        saveProfile();
        // With the soft limit raised, core files are possible until the secrets come in.
        rlimit limit{};
        QCOMPARE(getrlimit(RLIMIT_CORE, &limit), 0);
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_CORE, &limit);
        const bool couldDump = CoreDumps::enabled();
        TForm1 &w = f.create();
        QVERIFY(w.agentProfiles().v3Security(m_secure->host()));
        QVERIFY(!CoreDumps::enabled());
        if (!couldDump)
            qInfo("core files were off before the profiles were read");
        w.N12seconds1Click();
        m_plain->setCounters(1, 1000, 2000);
        m_plain->setCounters(2, 5, 5);
        m_plain->setCounters64(2, 10000000000000ULL, 20000000000000ULL);
        m_secure->setCounters(3, 7, 7);
        m_secure->setCounters64(3, 30000000000000ULL, 40000000000000ULL);
        m_secure->setCounters(4, 3000, 4000);
        load(f, {m_plain->deviceLine(1, "2048000", SnmpAgent::community()),
                 m_plain->deviceLine(2, "10000000000", SnmpAgent::community()),
                 m_secure->deviceLine(3, "10000000000", "not-sent"),
                 m_secure->deviceLine(4, "2048000", "not-sent")});
        for (int n = 1; n <= 3; ++n) {
            poll(w);
            m_plain->setCounters(1, 1000 + n * 600000, 2000 + n * 60000);
            m_plain->setCounters64(2, 10000000000000ULL + n * 7500000000ULL,
                                   20000000000000ULL + n * 3750000000ULL);
            m_secure->setCounters64(3, 30000000000000ULL + n * 3750000000ULL,
                                    40000000000000ULL + n * 7500000000ULL);
            m_secure->setCounters(4, 3000 + n * 600000, 4000 + n * 60000);
        }
        const auto *list = w.findChild<QListWidget *>(QStringLiteral("CheckListBox1"));
        QVERIFY(list);
        QCOMPARE(list->item(0)->toolTip(), QStringLiteral("32-bit counters (SNMP v1)"));
        QCOMPARE(list->item(1)->toolTip(), QStringLiteral("64-bit counters (SNMP v2c)"));
        QCOMPARE(list->item(2)->toolTip(), QStringLiteral("64-bit counters (SNMP v3)"));
        QCOMPARE(list->item(3)->toolTip(), QStringLiteral("32-bit counters (SNMP v3)"));
        for (int p = 0; p < 4; ++p)
            QCOMPARE(list->item(p)->checkState(), Qt::Checked);
        QCOMPARE(w.board().slot(3).Graph->Value(), 75);
        QVERIFY(f.errors.isEmpty());
        w.Button4Click();
    }

    // A wrong passphrase is a failed reading like any other: in stop mode its slot turns red.
    void wrongPassphraseFailsTheRow()
    {
        MainWindowFixture f;
        f.store("onerrors", "stop");
        saveProfile("not-the-passphrase");
        TForm1 &w = f.create();
        m_secure->setCounters(5, 10, 20);
        load(f, {m_secure->deviceLine(5, "2048000", SnmpAgent::community())});
        poll(w);
        QCOMPARE(w.board().slot(1).Graph->BackgroundColor(), QColor(255, 0, 0));
        w.Button4Click();
    }
};

QTEST_MAIN(TestPollingV3)
#include "tst_pollingv3.moc"
