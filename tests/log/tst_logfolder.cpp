#include "ErrorReport.h"
#include "LogFixture.h"
#include "LogFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace LogFixture;

namespace
{

const QDateTime Noon{QDate(2005, 4, 12), QTime(14, 3, 9)};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

bool runsAsSuperuser()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

#ifdef Q_OS_UNIX
// The probe's answer for the unprivileged user "nobody" (uid and gid 65534): 1 accepted,
// 0 refused, anything else a failure to run it. A child process drops to that user, so the
// superuser's own rights do not count.
int probeAsNobody(const QString &folder)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(LogFolder::acceptsNewFiles(folder) ? 1 : 0);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return 3;
    return WEXITSTATUS(status);
}
#endif

} // namespace

class TestLogFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_status;
    InterfaceTable m_table;
    QByteArray m_dataHome;

    // The logs as the window writes them: no folder of their own, the chosen one applies.
    LogEnvironment windowEnvironment()
    {
        LogEnvironment environment;
        environment.clock = [] { return Noon; };
        environment.status = [this](const QString &text) { m_status.append(text); };
        return environment;
    }

private Q_SLOTS:
    void initTestCase() { m_dataHome = qgetenv("XDG_DATA_HOME"); }
    void cleanupTestCase() { qputenv("XDG_DATA_HOME", m_dataHome); }

    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_status.clear();
        fillThree(m_table);
    }

    void programFolderOrUserFolder_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("keepsProgramFolder");
        QTest::newRow("writable program folder") << "program" << true;
        QTest::newRow("program folder without write permission") << "locked" << false;
        QTest::newRow("program folder missing") << "no/such/folder" << false;
        QTest::newRow("program folder is a regular file") << "plain" << false;
        QTest::newRow("no program folder") << "" << false;
    }
    void programFolderOrUserFolder()
    {
        QFETCH(QString, program);
        QFETCH(bool, keepsProgramFolder);
        const QString programFolder = program.isEmpty() ? QString() : m_dir.filePath(program);
        const QString user = m_dir.filePath("user/Kelvane/OSL");
        if (program == "program" || program == "locked")
            QVERIFY(QDir().mkpath(programFolder));
        if (program == "plain") {
            QFile plain(programFolder);
            QVERIFY(plain.open(QIODevice::WriteOnly));
        }
        if (program == "locked") {
            const auto readAndEnter = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
            QVERIFY(QFile::setPermissions(programFolder, readAndEnter));
#ifdef Q_OS_UNIX
            if (runsAsSuperuser()) {
                // Permission bits do not stop the superuser: the probe runs as an unprivileged
                // user, who is refused here but accepted in a folder open to everyone.
                QVERIFY(QFile::setPermissions(m_dir.path(), readAndEnter | QFile::WriteOwner));
                QCOMPARE(probeAsNobody(programFolder), 0);
                // A folder open to everyone is still not theirs: refused; their own is taken.
                const QString open = m_dir.filePath("open");
                QVERIFY(QDir().mkpath(open));
                QVERIFY(QFile::setPermissions(open, readAndEnter | QFile::WriteOwner |
                                                        QFile::WriteGroup | QFile::WriteOther));
                QCOMPARE(probeAsNobody(open), 0);
                QCOMPARE(::chown(QFile::encodeName(open).constData(), 65534, 65534), 0);
                QCOMPARE(probeAsNobody(open), 1);
                QFile::setPermissions(programFolder, readAndEnter | QFile::WriteOwner);
                return;
            }
#endif
        }

        LogFolder::decide(programFolder, user);
        QCOMPARE(LogFolder::folder(), keepsProgramFolder ? programFolder : user);
        // The probe leaves nothing behind, and nothing is created by the choice alone.
        if (QFileInfo(programFolder).isDir())
            QCOMPARE(QDir(programFolder)
                         .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList());
        QVERIFY(!QFileInfo::exists(user));
        if (program == "locked")
            QFile::setPermissions(programFolder,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // The probe is the only thing that can refuse a folder that exists; the choice follows it.
    void choiceFollowsTheProbe()
    {
        const QString program = m_dir.path();
        const auto refuse = [](const QString &) { return false; };
        const auto accept = [](const QString &) { return true; };
        QCOMPARE(LogFolder::choose(program, "user", refuse), QString("user"));
        QCOMPARE(LogFolder::choose(program, "user", accept), program);
    }

    // The per-user folder is made on the first log write, private to the user; the logs of
    // the window then land there, and the choice stays for the run even if the program
    // folder becomes writable.
    void userFolderIsCreatedOnFirstWrite()
    {
        const QString programFolder = m_dir.filePath("bin");
        const QString user = m_dir.filePath("data/Kelvane/OSL");
        LogFolder::decide(programFolder, user);
        QVERIFY(!QFileInfo::exists(user));

        QCOMPARE(UtilisationLog::write(m_table, "/etc/osl/routers.dev", windowEnvironment()),
                 DailyLogFile::Outcome::Created);
        QCOMPARE(AnalysisLog::write(m_table, "/etc/osl/routers.dev", windowEnvironment()),
                 DailyLogFile::Outcome::Created);
        QCOMPARE(QDir(user).entryList(QDir::Files),
                 QStringList({"20050412_routers.dev_analysis.csv",
                              "20050412_routers.dev_utilisation.csv"}));
#ifdef Q_OS_UNIX
        QCOMPARE(QFileInfo(user).permissions() &
                     (QFile::WriteGroup | QFile::WriteOther | QFile::ReadGroup | QFile::ReadOther),
                 QFile::Permissions());
#endif
        QVERIFY(QDir().mkpath(programFolder));
        QCOMPARE(LogFolder::folder(), user);
        QVERIFY(m_status.isEmpty());
    }

    void readOnlyFileInTheUserFolder()
    {
        const QString user = m_dir.filePath("data/Kelvane/OSL");
        LogFolder::decide(m_dir.filePath("missing"), user);
        QCOMPARE(UtilisationLog::write(m_table, "r.dev", windowEnvironment()),
                 DailyLogFile::Outcome::Created);
        const QString path = QDir(user).filePath("20050412_r.dev_utilisation.csv");
        const QByteArray before = readAll(path);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));

        DailyLogFile::Outcome outcome{};
        QVERIFY(ErrorReport::guarded(
            [&] { outcome = UtilisationLog::write(m_table, "r.dev", windowEnvironment()); }));
        QCOMPARE(outcome, DailyLogFile::Outcome::ReadOnly);
        QCOMPARE(m_status, QStringList{"Log file is read only. Cannot write, aborted!"});
        QCOMPARE(readAll(path), before);
    }

#ifdef Q_OS_LINUX
    void userFolderFollowsTheDataHome()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("share")));
        QCOMPARE(LogFolder::userFolder(), m_dir.filePath("share/Kelvane/OSL"));
        qputenv("XDG_DATA_HOME", m_dataHome);
    }
#endif
};

QTEST_GUILESS_MAIN(TestLogFolder)
#include "tst_logfolder.moc"
