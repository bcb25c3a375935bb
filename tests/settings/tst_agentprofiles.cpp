#include "AgentProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace
{

AgentProfile v3Profile(const QString &address)
{
    AgentProfile p;
    p.address = address;
    p.version = AgentProfile::Version::V3;
    p.security.user = QStringLiteral("ops user=é");
    p.security.level = SnmpSecurity::Level::AuthPriv;
    p.security.auth = SnmpSecurity::Auth::SHA256;
    p.security.priv = SnmpSecurity::Priv::AES256;
    p.security.authPassphrase = QByteArray("pass [word]\n=%#\x01", 16);
    p.security.privPassphrase = "second secret";
    p.security.context = QStringLiteral("vrf-red");
    return p;
}

AgentProfiles sample()
{
    AgentProfiles profiles;
    profiles.set(v3Profile(QStringLiteral("10.0.0.1")));
    profiles.set(v3Profile(QStringLiteral("[2001:db8::1]:1161")));
    AgentProfile v2;
    v2.address = QStringLiteral("core-sw1.example.net:161");
    v2.version = AgentProfile::Version::V2c;
    profiles.set(v2);
    return profiles;
}

mode_t modeOf(const QString &path)
{
    struct stat st {
    };
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestAgentProfiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every field survives the file, whatever bytes it holds; a missing file is no profiles.
    void roundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sub/agents.ini");
        AgentProfiles loaded;
        QString error;
        QVERIFY(AgentProfileFile::load(path, &loaded, &error));
        QVERIFY(loaded.isEmpty());

        QVERIFY2(AgentProfileFile::save(path, sample(), &error), qPrintable(error));
        QVERIFY2(AgentProfileFile::load(path, &loaded, &error), qPrintable(error));
        QVERIFY(loaded == sample());
        QVERIFY(loaded.v3Security("10.0.0.1"));
        QCOMPARE(loaded.v3Security("10.0.0.1")->authPassphrase,
                 QByteArray("pass [word]\n=%#\x01", 16));
        QVERIFY(!loaded.v3Security("core-sw1.example.net:161")); // v2c: polled as before
        QVERIFY(!loaded.v3Security("10.0.0.1:161"));             // the address text exactly
    }

    void invalidText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::newRow("key outside a section") << QByteArray("version=3\n") << 1;
        QTest::newRow("unknown version") << QByteArray("[a]\nversion=4\n") << 2;
        QTest::newRow("unknown protocol") << QByteArray("[a]\n\nauth=SHA-3\n") << 3;
        QTest::newRow("no equals sign") << QByteArray("[a]\nuser\n") << 2;
        QTest::newRow("empty address") << QByteArray("[]\n") << 1;
    }

    void invalidText()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        int errorLine = 0;
        QVERIFY(!AgentProfiles::fromText(text, &errorLine));
        QCOMPARE(errorLine, line);
    }

    // The file is private from its first byte on and replaced as a whole: a rewrite puts a
    // new file at the name and leaves no temporary file behind.
    void privateAndAtomic()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("agents.ini");
        QString error;
        QVERIFY(AgentProfileFile::save(path, sample(), &error));
        QCOMPARE(modeOf(path), mode_t(0600));
        // A reader that has the old file open keeps reading it whole.
        QFile reader(path);
        QVERIFY(reader.open(QIODevice::ReadOnly));
        const QByteArray old = sample().toText();

        // A file someone made readable is private again after the next save.
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadOther));
        AgentProfiles changed = sample();
        changed.remove("10.0.0.1");
        QVERIFY(AgentProfileFile::save(path, changed, &error));
        QCOMPARE(modeOf(path), mode_t(0600));
        QCOMPARE(reader.readAll(), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"agents.ini"});
        AgentProfiles loaded;
        QVERIFY(AgentProfileFile::load(path, &loaded, &error));
        QVERIFY(loaded == changed);
    }

    // A link at the file's name is neither written through nor read.
    void refusesLink()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("elsewhere");
        {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("someone else's file\n");
        }
        const QString path = dir.filePath("agents.ini");
        QVERIFY(QFile::link(target, path));
        QString error;
        QVERIFY(!AgentProfileFile::save(path, sample(), &error));
        QVERIFY(error.contains("link"));
        QCOMPARE(contents(target), QByteArray("someone else's file\n"));
        QVERIFY(QFileInfo(path).isSymLink());
        AgentProfiles loaded;
        QVERIFY(!AgentProfileFile::load(path, &loaded, &error));
        QVERIFY(error.contains("link"));
        QVERIFY(!error.contains("second secret"));
    }
};

QTEST_GUILESS_MAIN(TestAgentProfiles)
#include "tst_agentprofiles.moc"
