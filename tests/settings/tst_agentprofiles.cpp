#include "AgentProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

    // The file's name must hold a regular file of this user that no one else may write, of
    // at most 1 MB: anything else is refused at once (a pipe is not waited on), by name and
    // with the mode where that is the reason, and left as it is. Read by group or others
    // alone is no reason.
    void refusesUnsafeFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("pipe") << "fifo"
                              << "is not a regular file";
        QTest::newRow("character device") << "chr"
                                          << "is not a regular file";
        QTest::newRow("group writable") << "0620"
                                        << "may be written by other users (mode 0620)";
        QTest::newRow("others writable") << "0602"
                                         << "may be written by other users (mode 0602)";
        QTest::newRow("another user's") << "owner"
                                        << "belongs to another user (mode 0600)";
        QTest::newRow("larger than 1 MB") << "huge"
                                          << "is larger than 1048576 bytes";
        QTest::newRow("readable by others") << "0644"
                                            << "";
    }
    void refusesUnsafeFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath("OSL-agents.ini");
        const QByteArray name = QFile::encodeName(path);
        QString error;
        if (kind == "fifo") {
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        } else if (kind == "chr") {
            if (::geteuid() != 0)
                QSKIP("making a device node needs root");
            QCOMPARE(::mknod(name.constData(), S_IFCHR | 0600, ::makedev(1, 5)), 0); // zeroes
        } else {
            QVERIFY(AgentProfileFile::save(path, sample(), &error));
            if (kind == "owner") {
                if (::geteuid() != 0)
                    QSKIP("giving a file to another user needs root");
                QCOMPARE(::chown(name.constData(), 65534, 65534), 0);
            } else if (kind == "huge") {
                QFile file(path);
                QVERIFY(file.open(QIODevice::Append));
                file.write(QByteArray(AgentProfileFile::MaxBytes, '\n'));
            } else {
                QCOMPARE(::chmod(name.constData(), mode_t(kind.toUInt(nullptr, 8))), 0);
            }
        }
        struct stat before {
        };
        QCOMPARE(::lstat(name.constData(), &before), 0);

        AgentProfiles loaded;
        const bool ok = AgentProfileFile::load(path, &loaded, &error);
        if (reason.isEmpty()) {
            QVERIFY2(ok, qPrintable(error));
            QVERIFY(loaded == sample());
            return;
        }
        QVERIFY(!ok);
        QVERIFY2(error.contains(path) && error.contains(reason), qPrintable(error));
        QVERIFY(!error.contains("second secret"));
        struct stat after {
        };
        QCOMPARE(::lstat(name.constData(), &after), 0);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_size, before.st_size);
        if (kind == "fifo" || kind == "chr") {
            // Not replaced by a save either.
            QVERIFY(!AgentProfileFile::save(path, sample(), &error));
            QVERIFY2(error.contains("is not a regular file"), qPrintable(error));
            QCOMPARE(::lstat(name.constData(), &after), 0);
            QCOMPARE(after.st_mode, before.st_mode);
            QCOMPARE(after.st_ino, before.st_ino);
        }
    }
};

QTEST_GUILESS_MAIN(TestAgentProfiles)
#include "tst_agentprofiles.moc"
