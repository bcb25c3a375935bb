#include "SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// Starts the real program twice, without a display, in a private settings and runtime folder.
class TestSingleInstance : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        return env;
    }
    void start(QProcess &process) const
    {
        process.setProcessEnvironment(environment());
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(OSTRALINE_EXECUTABLE), {});
    }
    // The first copy is up once it holds the mark in the runtime folder.
    void waitUntilRunning(QProcess &first)
    {
        QVERIFY(first.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath("irgendwaseinmaliges")), 5000);
        QTest::qWait(300);
        QCOMPARE(first.state(), QProcess::Running);
    }

private Q_SLOTS:
    void secondCopyEndsAtOnce()
    {
        QProcess first;
        start(first);
        waitUntilRunning(first);

        QProcess second;
        QElapsedTimer clock;
        clock.start();
        start(second);
        QVERIFY(second.waitForFinished(5000));
        QVERIFY2(clock.elapsed() < 3000, "the second copy must end at once");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        // A copy that died without cleaning up does not block the next start.
        first.kill();
        QVERIFY(first.waitForFinished(5000));
        QProcess third;
        start(third);
        QVERIFY(third.waitForStarted(5000));
        QVERIFY(!third.waitForFinished(1500)); // keeps running: it holds the mark now
        third.kill();
        third.waitForFinished(5000);
    }

#ifndef Q_OS_WIN
    // `sudo -E ostraline`: the program run by the superuser with a user's settings folder.
    // What its start writes there (the folder, OSL.ini with every default) stays the user's,
    // so that the user's next start can write its settings.
    void asRootTheUsersSettingsStayTheirs()
    {
        if (::geteuid() != 0)
            QSKIP("runs as root only");
        QTemporaryDir user;
        QVERIFY(QFile::setPermissions(user.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                       QFile::ExeOwner | QFile::ReadOther |
                                                       QFile::ExeOther));
        const QString config = user.filePath("config");
        QVERIFY(QDir().mkpath(config));
        QCOMPARE(::chown(QFile::encodeName(config).constData(), 65534, 65534), 0);
        QProcess program;
        QProcessEnvironment env = environment();
        env.insert("XDG_CONFIG_HOME", config);
        env.insert("OSTRALINE_NO_SPLASH", "1");
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(m_dir.path());
        program.start(QStringLiteral(OSTRALINE_EXECUTABLE), {});
        waitUntilRunning(program);
        // Each value is written by a new file that replaces the old one, then given to the
        // user: the start has written them all once the last default is there and the file
        // is the user's.
        const QString ini = config + "/Kelvane/OSL.ini";
        const auto owner = [](const QString &path) {
            struct stat info;
            return ::lstat(QFile::encodeName(path).constData(), &info) == 0
                       ? QPair<uid_t, gid_t>(info.st_uid, info.st_gid)
                       : QPair<uid_t, gid_t>(0, 0);
        };
        const QPair<uid_t, gid_t> user65534(65534, 65534);
        QTRY_VERIFY_WITH_TIMEOUT(
            QSettings(ini, QSettings::IniFormat).contains("first start file active") &&
                owner(ini) == user65534,
            10000);
        QTest::qWait(300);
        program.kill();
        program.waitForFinished(5000);
        QCOMPARE(owner(config + "/Kelvane"), user65534);
        QCOMPARE(owner(ini), user65534);
    }

    // Without a runtime folder the lock falls back to $TMPDIR/ostraline-<uid>, but only to a
    // real folder of this user that no one else can enter; otherwise to the user's own cache.
    void fallbackFolderMustBePrivate_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("used");
        QTest::newRow("missing: created private") << "missing" << true;
        QTest::newRow("another user's folder") << "foreign" << false;
        QTest::newRow("open to everyone") << "open" << false;
        QTest::newRow("a link to a private folder") << "link" << false;
        QTest::newRow("a regular file") << "file" << false;
    }
    void fallbackFolderMustBePrivate()
    {
        QFETCH(QString, state);
        QFETCH(bool, used);
        QTemporaryDir dir;
        const QString tmp = dir.filePath("tmp");
        const QString cache = dir.filePath("cache");
        QVERIFY(QDir().mkpath(tmp));
        const QString fallback = tmp + "/ostraline-" + QString::number(::geteuid());
        const QByteArray native = QFile::encodeName(fallback);
        if (state == "foreign") {
            if (::geteuid() != 0)
                QSKIP("giving a folder to another user needs the superuser");
            QCOMPARE(::mkdir(native.constData(), 0700), 0);
            QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
        } else if (state == "open") {
            QCOMPARE(::mkdir(native.constData(), 0700), 0);
            QCOMPARE(::chmod(native.constData(), 0777), 0);
        } else if (state == "link") {
            QCOMPARE(::mkdir(QFile::encodeName(dir.filePath("elsewhere")).constData(), 0700), 0);
            QVERIFY(QFile::link(dir.filePath("elsewhere"), fallback));
        } else if (state == "file") {
            QFile file(fallback);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(tmp));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));

        const QString folder = used ? fallback : cache + "/ostraline";
        QCOMPARE(SingleInstance::lockFolder(), folder);
        struct stat info;
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0700));
        {
            const SingleInstance first("lock");
            QVERIFY(!first.anotherIsRunning());
            QVERIFY(QFile::exists(folder + "/lock"));
            const SingleInstance second("lock");
            QVERIFY(second.anotherIsRunning());
        }
        if (!used)
            QVERIFY(!QFile::exists(fallback + "/lock"));
        qunsetenv("TMPDIR");
        qunsetenv("XDG_CACHE_HOME");
    }

    // A link planted at the lock file's name is not followed: its target is neither created
    // nor touched, and the program starts without the lock.
    void linkInPlaceOfLockIsNotFollowed_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("link to a file") << false;
        QTest::newRow("dangling link") << true;
    }
    void linkInPlaceOfLockIsNotFollowed()
    {
        QFETCH(bool, dangling);
        QTemporaryDir runtime;
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath("victim");
        if (!dangling) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep");
        }
        QVERIFY(QFile::link(target, runtime.filePath("lock")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        {
            const SingleInstance guard("lock");
            QVERIFY(!guard.anotherIsRunning());
            QCOMPARE(QFile::exists(target), !dangling);
            if (!dangling) {
                QFile file(target);
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(file.readAll(), QByteArray("keep"));
                QVERIFY(!::flock(file.handle(), LOCK_EX | LOCK_NB)); // no lock was taken on it
            }
        }
        qunsetenv("XDG_RUNTIME_DIR");
    }
#endif
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
