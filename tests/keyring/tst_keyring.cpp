#include "AgentProfileFile.h"
#include "PassphraseKeyring.h"
#include "PrivateKeyring.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Run as tst_keyring: a gnome-keyring-daemon of the test's own, unlocked, on a private
// session bus, with its own home and runtime folder. Run with OSTRALINE_TEST_NO_KEYRING=1:
// the session bus address names a socket where nothing listens, as on a bare server.
// The machine's own bus and keyring are never used.
class TestKeyring : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    PrivateKeyring m_keyring;
    bool m_none = false;
    bool m_late = false; // the keyring comes up during the test

    QString profilePath() const { return m_dir.filePath("config/OSL-agents.ini"); }

    static AgentProfile v3(const QString &address, const QByteArray &auth, const QByteArray &priv)
    {
        AgentProfile p;
        p.address = address;
        p.version = AgentProfile::Version::V3;
        p.security.user = QStringLiteral("monitor");
        p.security.level = SnmpSecurity::Level::AuthPriv;
        p.security.authPassphrase = auth;
        p.security.privPassphrase = priv;
        return p;
    }

    void writeProfiles(const AgentProfiles &profiles)
    {
        QString error;
        QVERIFY2(AgentProfileFile::save(profilePath(), profiles, &error), qPrintable(error));
    }
    QByteArray fileBytes() const
    {
        QFile file(profilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_none = qEnvironmentVariableIsSet("OSTRALINE_TEST_NO_KEYRING");
        m_late = qEnvironmentVariableIsSet("OSTRALINE_TEST_KEYRING_LATE");
        QVERIFY(QDir().mkpath(m_dir.filePath("config")));
        const QString problem = m_keyring.start(m_none, m_late);
        if (problem.startsWith(QLatin1String("missing")))
            QSKIP(qPrintable(problem));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // The passphrases of the file go into the keyring at the next store and leave the file;
    // the next run reads them back from the keyring.
    void passphrasesMoveIntoTheKeyring()
    {
        if (m_none || m_late)
            QSKIP("needs the keyring");
        AgentProfiles profiles;
        profiles.set(v3("127.0.0.1:16161", "auth-pass-1", "priv-pass-1"));
        profiles.set(v3("[::1]:16162", "auth pass\n2", "priv%pass&2"));
        AgentProfile v2;
        v2.address = QStringLiteral("10.0.0.9");
        v2.version = AgentProfile::Version::V2c;
        profiles.set(v2);
        writeProfiles(profiles);

        PassphraseKeyring keyring(QStringLiteral("Ostraline test"));
        keyring.probe();
        QTRY_COMPARE(keyring.state(), PassphraseKeyring::State::Available);
        QVERIFY(keyring.storeDescription(profilePath()).contains("keyring"));
        QSignalSpy stored(&keyring, &PassphraseKeyring::stored);
        keyring.store(profilePath(), profiles);
        QTRY_COMPARE(stored.size(), 1);
        QCOMPARE(stored.first().first().toBool(), true);

        const QByteArray bytes = fileBytes();
        QVERIFY(!bytes.contains("pass-1"));
        QVERIFY(!bytes.contains("authPassphrase=a") && !bytes.contains("privPassphrase=p"));
        QVERIFY(bytes.contains("monitor")); // everything else stays
        QCOMPARE(QFile::permissions(profilePath()),
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);

        // A later run: the file lacks them, the keyring has them.
        AgentProfiles loaded;
        QString error;
        QVERIFY(AgentProfileFile::load(profilePath(), &loaded, &error));
        PassphraseKeyring later(QStringLiteral("Ostraline test"));
        QStringList missing = later.fillIn(&loaded);
        missing.sort();
        QCOMPARE(missing, (QStringList{"127.0.0.1:16161", "[::1]:16162"}));
        QSignalSpy read(&later, &PassphraseKeyring::passphrasesRead);
        later.read(missing);
        QCOMPARE(later.pending().size(), 2);
        QTRY_COMPARE(read.size(), 2);
        QVERIFY(later.fillIn(&loaded).isEmpty());
        QCOMPARE(loaded, profiles);
    }

    // A removed profile's entry goes; reading it again says the keyring has none.
    void removedProfileLeavesTheKeyring()
    {
        if (m_none || m_late)
            QSKIP("needs the keyring");
        AgentProfiles profiles;
        profiles.set(v3("192.0.2.7", "auth-pass-7", "priv-pass-7"));
        writeProfiles(profiles);
        PassphraseKeyring keyring(QStringLiteral("Ostraline test"));
        QSignalSpy stored(&keyring, &PassphraseKeyring::stored);
        keyring.store(profilePath(), profiles);
        QTRY_COMPARE(stored.size(), 1);
        QVERIFY(stored.first().first().toBool());

        writeProfiles(AgentProfiles());
        keyring.store(profilePath(), AgentProfiles(), {"192.0.2.7"});
        QTRY_COMPARE(stored.size(), 2);
        PassphraseKeyring later(QStringLiteral("Ostraline test"));
        QSignalSpy failed(&later, &PassphraseKeyring::readFailed);
        later.read({"192.0.2.7"});
        QTRY_COMPARE(failed.size(), 1);
        QVERIFY(failed.first().at(1).toString().contains("holds no passphrases"));
    }

    // Run as tst_keyring_late, where the keyring is not up at first, as early in a desktop
    // session: a read that fails is tried again by itself after a wait that doubles (seconds
    // shortened here), and the reason says when; once the keyring is up, the next try gets
    // its answer (here: no entry, which is an answer and not tried again).
    void aFailedReadIsTriedAgain()
    {
        if (!m_late)
            QSKIP("runs as tst_keyring_late");
        PassphraseKeyring keyring(QStringLiteral("Ostraline test"));
        keyring.setRetrySecond(std::chrono::milliseconds(20));
        QSignalSpy failed(&keyring, &PassphraseKeyring::readFailed);
        keyring.read({"192.0.2.8"});
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 2, 10000); // the first try and one more
        QVERIFY2(failed[0].at(1).toString().endsWith(". Trying again in 30 s."),
                 qPrintable(failed[0].at(1).toString()));
        QVERIFY2(failed[1].at(1).toString().endsWith(". Trying again in 1 min."),
                 qPrintable(failed[1].at(1).toString()));
        QCOMPARE(keyring.state(), PassphraseKeyring::State::Unavailable);

        const QString problem = m_keyring.startKeyring();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QTRY_VERIFY_WITH_TIMEOUT(
            failed.last().at(1).toString().contains(QLatin1String("holds no passphrases")), 30000);
        QCOMPARE(keyring.state(), PassphraseKeyring::State::Available);
        const qsizetype answered = failed.size();
        QTest::qWait(30 * 20 * 4);
        QCOMPARE(failed.size(), answered);
    }

    void retryWaitsDouble_data()
    {
        QTest::addColumn<int>("failures");
        QTest::addColumn<int>("seconds");
        QTest::newRow("first") << 1 << 30;
        QTest::newRow("second") << 2 << 60;
        QTest::newRow("fifth") << 5 << 480;
        QTest::newRow("sixth: the longest") << 6 << 600;
        QTest::newRow("a hundredth") << 100 << 600;
    }
    void retryWaitsDouble()
    {
        QFETCH(int, failures);
        QFETCH(int, seconds);
        QCOMPARE(PassphraseKeyring::retrySeconds(failures), seconds);
    }

    // Without any keyring the file stays the store, with its passphrases, and says so.
    void withoutKeyringTheFileKeepsThem()
    {
        if (!m_none)
            QSKIP("runs as tst_keyring_none");
        AgentProfiles profiles;
        profiles.set(v3("127.0.0.1:16161", "auth-pass-1", "priv-pass-1"));
        writeProfiles(profiles);
        PassphraseKeyring keyring(QStringLiteral("Ostraline test"));
        QElapsedTimer clock;
        clock.start();
        keyring.probe();
        QVERIFY(clock.elapsed() < 200); // never waits for an answer
        QTRY_COMPARE(keyring.state(), PassphraseKeyring::State::Unavailable);
        QVERIFY(keyring.storeDescription(profilePath()).contains(profilePath()));
        QSignalSpy stored(&keyring, &PassphraseKeyring::stored);
        keyring.store(profilePath(), profiles);
        QTRY_COMPARE(stored.size(), 1);
        QCOMPARE(stored.first().first().toBool(), false);
        QVERIFY(fileBytes().contains("auth-pass-1"));

        AgentProfiles loaded;
        QString error;
        QVERIFY(AgentProfileFile::load(profilePath(), &loaded, &error));
        QVERIFY(keyring.fillIn(&loaded).isEmpty()); // nothing lacking: the file has them
        QCOMPARE(loaded, profiles);
    }
};

QTEST_GUILESS_MAIN(TestKeyring)
#include "tst_keyring.moc"
