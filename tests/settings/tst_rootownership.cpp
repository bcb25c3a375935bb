// Run as the superuser in another user's folders (`sudo -E ostraline`): every file the
// program rewrites or makes there stays that user's, with its permissions, so that the user's
// next start can still write its settings and read the rest; the superuser's logs never go
// into a folder that is not its own. Skipped unless the test runs as root (as CI does).

#include "AgentProfile.h"
#include "AgentProfileFile.h"
#include "DailyLogFile.h"
#include "DeviceFileWriter.h"
#include "LogFolder.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

constexpr uid_t User = 65534; // nobody: some user who is not root
constexpr gid_t Group = 65534;

struct stat statOf(const QString &path)
{
    struct stat info {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        info.st_uid = uid_t(-1);
    return info;
}

// A file or folder of the user's, as their own start would have left it.
bool give(const QString &path, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    return ::chown(name.constData(), User, Group) == 0 && ::chmod(name.constData(), mode) == 0;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestRootOwnership : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_user; // the user's folder, as their ~/.config or ~/.local/share

private Q_SLOTS:
    void init()
    {
        if (::geteuid() != 0)
            QSKIP("runs as root only");
        m_user = m_dir.filePath(QStringLiteral("user-%1").arg(QTest::currentDataTag()));
        QDir(m_user).removeRecursively();
        QVERIFY(QDir().mkpath(m_user));
        QVERIFY(give(m_user, 0755));
    }

    // Each file rewritten (or made) in the user's folder: owner, group and permissions kept,
    // or for a new file, given to the folder's owner. The files are the settings, the agent
    // profiles and a device file written by discovery.
    void rewrittenFilesStayTheUsers_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<int>("expectedMode"); // -1: as made
        QTest::newRow("settings, rewritten") << "settings" << true << 0640;
        QTest::newRow("settings, new in a new folder") << "settings" << false << -1;
        QTest::newRow("agent profiles, rewritten") << "profiles" << true << 0600;
        QTest::newRow("agent profiles, new in a new folder") << "profiles" << false << 0600;
        QTest::newRow("device file, rewritten") << "device" << true << 0664;
    }
    void rewrittenFilesStayTheUsers()
    {
        QFETCH(QString, kind);
        QFETCH(bool, existing);
        QFETCH(int, expectedMode);
        const QString folder = existing ? m_user : m_user + QStringLiteral("/Kelvane/OSL");
        const QString path = folder + QStringLiteral("/file");
        if (existing) {
            QVERIFY(writeBytes(path, kind == u"device" ? "127.0.0.1;1;1000;public;x\n"
                                                       : "[General]\nkept=yes\n"));
            QVERIFY(give(path, mode_t(expectedMode)));
        }

        if (kind == u"settings") {
            SettingsStore store(path);
            store.write(QStringLiteral("Units"), QStringLiteral("1"));
        } else if (kind == u"profiles") {
            AgentProfiles profiles;
            AgentProfile p;
            p.address = QStringLiteral("127.0.0.1");
            profiles.set(p);
            QString error;
            QVERIFY2(AgentProfileFile::save(path, profiles, &error), qPrintable(error));
        } else {
            DeviceFileWriter::write(path, {QStringLiteral("127.0.0.1;2;1000;public;y")});
        }

        const struct stat info = statOf(path);
        QCOMPARE(info.st_uid, User);
        QCOMPARE(info.st_gid, Group);
        if (expectedMode >= 0)
            QCOMPARE(int(info.st_mode & 07777), expectedMode);
        if (!existing) { // the folders made on the way are the user's too
            QCOMPARE(statOf(folder).st_uid, User);
            QCOMPARE(statOf(m_user + QStringLiteral("/Kelvane")).st_uid, User);
        }
        if (kind == u"profiles") { // the superuser reads back what it gave the user
            AgentProfiles loaded;
            QString error;
            QVERIFY2(AgentProfileFile::load(path, &loaded, &error), qPrintable(error));
            QCOMPARE(loaded.all().size(), 1);
        }
        if (kind == u"settings") { // and what was there is still there
            SettingsStore again(path);
            QCOMPARE(again.read(QStringLiteral("Units")), QStringLiteral("1"));
            if (existing)
                QCOMPARE(again.read(QStringLiteral("kept")), QStringLiteral("yes"));
        }
    }

    // The superuser's logs: never in a program folder that is not its own (/usr/bin after an
    // install, another user's portable copy); in the user's data folder they are the user's,
    // and the superuser's next line of the day is appended to them.
    void logsOfTheSuperuser()
    {
        QVERIFY(!LogFolder::acceptsNewFiles(m_user));
        QCOMPARE(LogFolder::choose(m_user, m_dir.filePath("data")), m_dir.filePath("data"));
        const QString own = m_dir.filePath(QStringLiteral("own"));
        QVERIFY(QDir().mkpath(own));
        QVERIFY(LogFolder::acceptsNewFiles(own));

        const QString data = m_user + QStringLiteral("/Kelvane/OSL");
        LogFolder::decide(m_user, data);
        QCOMPARE(LogFolder::folderForWriting(), data);
        QCOMPARE(statOf(data).st_uid, User);
        QCOMPARE(int(statOf(data).st_mode & 0777), 0700);

        LogEnvironment environment;
        environment.programFolder = data;
        environment.clock = [] { return QDateTime(QDate(2026, 3, 2), QTime(9, 0)); };
        const auto line = [](const QString &stamp) { return DailyLogFile::encode(stamp); };
        QCOMPARE(
            DailyLogFile::write(environment, QStringLiteral("routers.dev"), "_x.csv", line, line),
            DailyLogFile::Outcome::Created);
        const QString log = DailyLogFile::filePath(data, QDate(2026, 3, 2),
                                                   QStringLiteral("routers.dev"), "_x.csv");
        QCOMPARE(statOf(log).st_uid, User);
        QCOMPARE(int(statOf(log).st_mode & 07777), 0600);
        QCOMPARE(
            DailyLogFile::write(environment, QStringLiteral("routers.dev"), "_x.csv", line, line),
            DailyLogFile::Outcome::Appended);
        QCOMPARE(statOf(log).st_uid, User);
    }
};

QTEST_GUILESS_MAIN(TestRootOwnership)
#include "tst_rootownership.moc"
