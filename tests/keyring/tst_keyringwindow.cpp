#include "AgentProfileFile.h"
#include "AgentsDialog.h"
#include "GetStep.h"
#include "InterfaceTable.h"
#include "MainWindowFixture.h"
#include "PassphraseKeyring.h"
#include "PrivateKeyring.h"
#include "SnmpAgent.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

// The window with passphrases kept in a keyring of the test's own, polling a real v3 agent on
// loopback: until the keyring has answered, that agent's readings fail and the status bar
// says why; then the polls go through. The Agents dialog says where passphrases are kept.
class TestKeyringWindow : public QObject
{
    Q_OBJECT

    PrivateKeyring m_keyring;
    bool m_late = false; // run as tst_keyringwindow_late: the keyring comes up during the test
    std::unique_ptr<SnmpAgent> m_agent;

    AgentProfile profile() const
    {
        AgentProfile p;
        p.address = m_agent->host();
        p.version = AgentProfile::Version::V3;
        p.security.user = SnmpAgent::privUser();
        p.security.level = SnmpSecurity::Level::AuthPriv;
        p.security.authPassphrase = SnmpAgent::authPassphrase().toUtf8();
        p.security.privPassphrase = SnmpAgent::privPassphrase().toUtf8();
        return p;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        qputenv("OSTRALINE_NO_SPLASH", "1");
        m_late = qEnvironmentVariableIsSet("OSTRALINE_TEST_KEYRING_LATE");
        const QString problem = m_keyring.start(false, m_late);
        if (problem.startsWith(QLatin1String("missing")))
            QSKIP(qPrintable(problem));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        m_agent = std::make_unique<SnmpAgent>();
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
    }

    void pollWaitsForThePassphrasesOfTheKeyring()
    {
        if (m_late)
            QSKIP("runs as tst_keyringwindow");
        MainWindowFixture f;
        f.store("onerrors", "zeroes"); // a failed reading keeps the row in the poll
        // An earlier run moved the passphrases into the keyring (the same service the window
        // uses, in the test's own keyring).
        AgentProfiles profiles;
        profiles.set(profile());
        QString error;
        QVERIFY(AgentProfileFile::save(AgentProfileFile::defaultPath(), profiles, &error));
        PassphraseKeyring earlier(QStringLiteral("Ostraline SNMP v3 passphrases"));
        QSignalSpy stored(&earlier, &PassphraseKeyring::stored);
        earlier.store(AgentProfileFile::defaultPath(), profiles);
        QTRY_COMPARE(stored.size(), 1);
        QVERIFY(stored.first().first().toBool());

        TForm1 &w = f.create();
        // Not read yet: the profile lacks them, and the status bar says why polls fail.
        QVERIFY(w.agentProfiles().v3Security(m_agent->host())->authPassphrase.isEmpty());
        QVERIFY2(w.statusText(0).contains(QLatin1String("from the keyring")),
                 qPrintable(w.statusText(0)));
        m_agent->setCounters(2, 700, 900);
        const QString path = f.writeFile(
            "v3.dev", (m_agent->host() + QStringLiteral(";2;2048000;x;if2\n")).toUtf8());
        w.setDeviceFileChooser([path] { return path; });
        w.Button8Click();
        {
            // A poll sent before the keyring answered: a failed reading.
            QSignalSpy done(&w.poller(), &Poller::getFinished);
            w.Button3Click();
            QVERIFY(done.wait(5000));
            QVERIFY(w.interfaceList().isChecked(0));
            QCOMPARE(w.interfaceTable().cell(Col::OrgIn, 1), QStringLiteral("0"));
        }
        QTRY_COMPARE(w.agentProfiles().v3Security(m_agent->host())->authPassphrase,
                     SnmpAgent::authPassphrase().toUtf8());
        {
            QSignalSpy done(&w.poller(), &Poller::getFinished);
            w.Timer1Timer();
            QVERIFY(done.wait(5000));
            QCOMPARE(w.interfaceTable().cell(Col::OrgIn, 1), QStringLiteral("700"));
        }
        w.Button4Click();

        // The Agents dialog: where the passphrases are, and Test with those of the keyring.
        AgentsDialog dialog({}, AgentProfileFile::defaultPath());
        QTRY_VERIFY(dialog.storeLabel->text().contains(QLatin1String("desktop's keyring")));
        QVERIFY(dialog.profiles().v3Security(m_agent->host()));
        QCOMPARE(dialog.profiles().v3Security(m_agent->host())->privPassphrase,
                 SnmpAgent::privPassphrase().toUtf8());
        QVERIFY(f.errors.isEmpty());
    }

    // A keyring that is not up at start, as early in a desktop session: the status bar says
    // that the read failed and when it is tried again; the next try, after the keyring came
    // up, reads the passphrases, the message goes and the polls go through.
    void aKeyringThatComesLateIsAskedAgain()
    {
        if (!m_late)
            QSKIP("runs as tst_keyringwindow_late");
        MainWindowFixture f;
        AgentProfile lacking = profile();
        lacking.security.authPassphrase.clear();
        lacking.security.privPassphrase.clear();
        AgentProfiles profiles;
        profiles.set(lacking);
        QString error;
        QVERIFY(AgentProfileFile::save(AgentProfileFile::defaultPath(), profiles, &error));
        // A second of waiting lasts 200 ms here: the first new try comes after 6 s.
        PassphraseKeyring::shared().setRetrySecond(std::chrono::milliseconds(200));

        TForm1 &w = f.create();
        QTRY_VERIFY2(w.statusText(0).endsWith(QLatin1String(". Trying again in 30 s.")),
                     qPrintable(w.statusText(0)));
        QVERIFY(w.statusText(0).startsWith(
            QStringLiteral("The passphrases for %1 could not be read").arg(m_agent->host())));

        // The keyring comes up, holding them.
        const QString problem = m_keyring.startKeyring();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        AgentProfiles full;
        full.set(profile());
        PassphraseKeyring writer(QStringLiteral("Ostraline SNMP v3 passphrases"));
        QSignalSpy stored(&writer, &PassphraseKeyring::stored);
        writer.store(QDir(f.folder()).filePath("scratch.ini"), full);
        QTRY_COMPARE(stored.size(), 1);

        QTRY_COMPARE_WITH_TIMEOUT(w.agentProfiles().v3Security(m_agent->host())->authPassphrase,
                                  SnmpAgent::authPassphrase().toUtf8(), 20000);
        QCOMPARE(w.statusText(0), QString());
        QVERIFY(f.errors.isEmpty());
    }
};

QTEST_MAIN(TestKeyringWindow)
#include "tst_keyringwindow.moc"
