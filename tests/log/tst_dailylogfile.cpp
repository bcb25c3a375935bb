#include "ErrorReport.h"
#include "LogFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace LogFixture;

namespace
{

enum Log { Utilisation, Analysis };

const QDateTime Noon{QDate(2005, 4, 12), QTime(14, 3, 9)};

QByteArray crlf(const QString &line)
{
    return line.toUtf8() + "\r\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

DailyLogFile::Outcome writeLog(int log, const InterfaceTable &table, const QString &device,
                               const LogEnvironment &environment)
{
    return log == Utilisation ? UtilisationLog::write(table, device, environment)
                              : AnalysisLog::write(table, device, environment);
}

QString suffix(int log)
{
    return log == Utilisation ? QStringLiteral("_utilisation.csv")
                              : QStringLiteral("_analysis.csv");
}

QString headerOf(int log, const QString &stamp)
{
    return log == Utilisation ? utilisationHeader(stamp) : analysisHeader(stamp);
}

QString dataOf(int log, const QString &stamp)
{
    return log == Utilisation ? utilisationThree(stamp) : analysisThree(stamp);
}

void addLogColumn()
{
    QTest::addColumn<int>("log");
}

} // namespace

class TestDailyLogFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QDateTime m_now = Noon;
    QStringList m_status;
    InterfaceTable m_table;

    LogEnvironment environment(const QString &folder)
    {
        return {folder,
                [this] { return m_now; },
                [this](const QString &text) { m_status.append(text); },
                {}};
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_now = Noon;
        m_status.clear();
        fillThree(m_table);
    }

    void fileName_data()
    {
        addLogColumn();
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("name");
        QTest::newRow("windows path") << int(Utilisation) << "D:\\cfg\\routers.dev"
                                      << "20050412_routers.dev_utilisation.csv";
        QTest::newRow("unix path") << int(Analysis) << "/etc/osl/routers.dev"
                                   << "20050412_routers.dev_analysis.csv";
        QTest::newRow("drive colon only") << int(Utilisation) << "D:routers.dev"
                                          << "20050412_routers.dev_utilisation.csv";
        QTest::newRow("bare file name") << int(Analysis) << "core switches.txt"
                                        << "20050412_core switches.txt_analysis.csv";
        QTest::newRow("empty device path, utilisation") << int(Utilisation) << ""
                                                        << "20050412__utilisation.csv";
        QTest::newRow("empty device path, analysis") << int(Analysis) << ""
                                                     << "20050412__analysis.csv";
    }
    void fileName()
    {
        QFETCH(int, log);
        QFETCH(QString, device);
        QFETCH(QString, name);
        // A trailing separator on the folder must not double up.
        QCOMPARE(writeLog(log, m_table, device, environment(m_dir.path() + "/")),
                 DailyLogFile::Outcome::Created);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), QStringList{name});
    }

    void createAppendAndNextDay_data()
    {
        addLogColumn();
        QTest::newRow("utilisation") << int(Utilisation);
        QTest::newRow("analysis") << int(Analysis);
    }
    void createAppendAndNextDay()
    {
        QFETCH(int, log);
        const auto env = environment(m_dir.path());
        const QString first = m_dir.filePath("20050412_routers.dev" + suffix(log));

        QCOMPARE(writeLog(log, m_table, "routers.dev", env), DailyLogFile::Outcome::Created);
        const QByteArray created = crlf(headerOf(log, Stamp)) + crlf(dataOf(log, Stamp));
        QCOMPARE(readAll(first), created);

        // Same day: one more data line, no second header.
        m_now = Noon.addSecs(6);
        QCOMPARE(writeLog(log, m_table, "routers.dev", env), DailyLogFile::Outcome::Appended);
        QCOMPARE(readAll(first), created + crlf(dataOf(log, "12.Apr.2005, 14:03:15")));

        // First poll after midnight: a new file with its own header; yesterday's is untouched.
        const QByteArray yesterday = readAll(first);
        m_now = QDateTime(QDate(2005, 4, 13), QTime(0, 0, 2));
        QCOMPARE(writeLog(log, m_table, "routers.dev", env), DailyLogFile::Outcome::Created);
        const QString stamp = QStringLiteral("13.Apr.2005, 00:00:02");
        QCOMPARE(readAll(m_dir.filePath("20050413_routers.dev" + suffix(log))),
                 crlf(headerOf(log, stamp)) + crlf(dataOf(log, stamp)));
        QCOMPARE(readAll(first), yesterday);
        QVERIFY(m_status.isEmpty());
    }

    void readOnlyFileIsRefused_data() { createAppendAndNextDay_data(); }
    void readOnlyFileIsRefused()
    {
        QFETCH(int, log);
        const auto env = environment(m_dir.path());
        const QString path = m_dir.filePath("20050412_r.dev" + suffix(log));
        writeLog(log, m_table, "r.dev", env);
        const QByteArray before = readAll(path);
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(DailyLogFile::isReadOnly(path));

        DailyLogFile::Outcome outcome{};
        QVERIFY(ErrorReport::guarded([&] { outcome = writeLog(log, m_table, "r.dev", env); }));
        QCOMPARE(outcome, DailyLogFile::Outcome::ReadOnly);
        QCOMPARE(m_status, QStringList{"Log file is read only. Cannot write, aborted!"});
        QCOMPARE(readAll(path), before);

        // Without a status sink the refusal still only shows in the outcome.
        QCOMPARE(writeLog(log, m_table, "r.dev", {m_dir.path(), [] { return Noon; }, {}, {}}),
                 DailyLogFile::Outcome::ReadOnly);

        // Once writable again, the next call appends.
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(writeLog(log, m_table, "r.dev", env), DailyLogFile::Outcome::Appended);
        QCOMPARE(readAll(path), before + crlf(dataOf(log, Stamp)));
    }

    // Targets that no user can write to, the superuser included.
    void unwritableTarget_data()
    {
        addLogColumn();
        QTest::addColumn<QString>("folder");
        QTest::newRow("utilisation, folder is a regular file") << int(Utilisation) << "plain";
        QTest::newRow("analysis, folder is a regular file") << int(Analysis) << "plain";
        QTest::newRow("utilisation, folder missing") << int(Utilisation) << "no/such/dir";
        QTest::newRow("analysis, folder missing") << int(Analysis) << "no/such/dir";
        // The owner's write bit decides, so the superuser is refused too.
        QTest::newRow("utilisation, folder read-only") << int(Utilisation) << "readonly";
        QTest::newRow("analysis, folder read-only") << int(Analysis) << "readonly";
    }
    void unwritableTarget()
    {
        QFETCH(int, log);
        QFETCH(QString, folder);
        const QString dir = m_dir.filePath(folder);
        if (folder == "plain") {
            QFile plain(dir);
            QVERIFY(plain.open(QIODevice::WriteOnly));
        } else if (folder == "readonly") {
            QVERIFY(QDir().mkpath(dir));
            QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
        }
        const auto env = environment(dir);
        const QString path = QDir(dir).filePath("20050412_r.dev" + suffix(log));

        QStringList reported;
        const auto previous =
            ErrorReport::setHandler([&](const QString &message) { reported.append(message); });
        const bool ok = ErrorReport::guarded([&] { writeLog(log, m_table, "r.dev", env); });
        ErrorReport::setHandler(previous);
        QVERIFY(!ok);
        QCOMPARE(reported.size(), 1);
        const QString prefix = "Cannot create log file \"" + path + "\". ";
        QVERIFY2(reported.first().startsWith(prefix), qPrintable(reported.first()));
        QVERIFY(reported.first().size() > prefix.size()); // the system's reason follows
        QVERIFY(m_status.isEmpty());

        if (folder == "readonly")
            QVERIFY2(reported.first().endsWith(". Permission denied"),
                     qPrintable(reported.first()));

        // Once the folder exists and is writable, the next call writes the file whole.
        QFile::remove(dir);
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(writeLog(log, m_table, "r.dev", env), DailyLogFile::Outcome::Created);
        QCOMPARE(readAll(path), crlf(headerOf(log, Stamp)) + crlf(dataOf(log, Stamp)));
    }

#ifdef Q_OS_LINUX
    // A write cut short (disk full, size limit) leaves no partial line behind: an existing
    // file keeps exactly its earlier lines, a new file is not left without its header.
    void shortWriteLeavesFileAsItWas_data()
    {
        addLogColumn();
        QTest::addColumn<bool>("existing");
        QTest::newRow("utilisation, append") << int(Utilisation) << true;
        QTest::newRow("analysis, append") << int(Analysis) << true;
        QTest::newRow("utilisation, create") << int(Utilisation) << false;
        QTest::newRow("analysis, create") << int(Analysis) << false;
    }
    void shortWriteLeavesFileAsItWas()
    {
        QFETCH(int, log);
        QFETCH(bool, existing);
        const auto env = environment(m_dir.path());
        const QString path = m_dir.filePath("20050412_r.dev" + suffix(log));
        if (existing)
            writeLog(log, m_table, "r.dev", env);
        const QByteArray before = readAll(path);

        // The file-size limit lets the write through only partly: 10 bytes past the end.
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit tight = saved;
        tight.rlim_cur = rlim_t(existing ? before.size() + 10 : 10);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        QString message;
        try {
            writeLog(log, m_table, "r.dev", env);
        } catch (const OstralineError &error) {
            message = error.message();
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY2(message.startsWith("Cannot write log file \"" + path + "\". "),
                 qPrintable(message));
        QVERIFY2(!message.contains("Unknown error"), qPrintable(message));
        QCOMPARE(readAll(path), before);

        // The next call writes normally.
        writeLog(log, m_table, "r.dev", env);
        const QByteArray line = crlf(dataOf(log, Stamp));
        QCOMPARE(readAll(path), existing ? before + line : crlf(headerOf(log, Stamp)) + line);
    }
#endif

#ifdef Q_OS_LINUX
    // Whatever stands at the log's name, unless it is a regular file of this user, is refused
    // by name and nothing is written anywhere: a link is never followed, to an existing file
    // (a shell start-up file, say) or dangling (which would create its target).
    void onlyOwnRegularFiles_data()
    {
        addLogColumn();
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("reason");
        const QString link = "It is a symbolic link; logs are not written through links.";
        for (const int log : {int(Utilisation), int(Analysis)}) {
            const QString name = log == Utilisation ? "utilisation, " : "analysis, ";
            QTest::newRow(qPrintable(name + "link to a file")) << log << "link" << link;
            QTest::newRow(qPrintable(name + "dangling link")) << log << "dangling" << link;
            QTest::newRow(qPrintable(name + "pipe")) << log << "fifo"
                                                     << "It is not a regular file.";
            QTest::newRow(qPrintable(name + "folder")) << log << "folder"
                                                       << "It is not a regular file.";
            QTest::newRow(qPrintable(name + "another user's file"))
                << log << "foreign"
                << "It belongs to another user.";
        }
    }
    void onlyOwnRegularFiles()
    {
        QFETCH(int, log);
        QFETCH(QString, entry);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath("20050412_r.dev" + suffix(log));
        const QString target = m_dir.filePath("profile");
        const QByteArray content = "export PATH=/usr/bin\n";
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        if (entry == "link") {
            QVERIFY(QFile::link(target, path));
        } else if (entry == "dangling") {
            QVERIFY(QFile::remove(target));
            QVERIFY(QFile::link(target, path));
        } else if (entry == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (entry == "folder") {
            QVERIFY(QDir().mkdir(path));
        } else if (entry == "foreign") {
            if (::geteuid() != 0)
                QSKIP("giving a file to another user needs the superuser");
            QVERIFY(QFile::copy(target, path));
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
        }

        QString message;
        try {
            writeLog(log, m_table, "r.dev", environment(m_dir.path()));
        } catch (const OstralineError &error) {
            message = error.message();
        }
        QCOMPARE(message, "Cannot open log file \"" + path + "\". " + reason);
        QVERIFY(m_status.isEmpty());
        if (entry == "dangling")
            QVERIFY(!QFile::exists(target));
        else
            QCOMPARE(readAll(target), content);
        if (entry == "foreign")
            QCOMPARE(readAll(path), content);
    }

    // New logs are readable by their user only (the analysis log holds the community), and
    // the read-only refusal still works on them.
    void newLogIsPrivate_data()
    {
        createAppendAndNextDay_data();
    }
    void newLogIsPrivate()
    {
        QFETCH(int, log);
        const mode_t saved = ::umask(0);
        const auto outcome = writeLog(log, m_table, "r.dev", environment(m_dir.path()));
        ::umask(saved);
        QCOMPARE(outcome, DailyLogFile::Outcome::Created);
        const QString path = m_dir.filePath("20050412_r.dev" + suffix(log));
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0600));
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        QCOMPARE(writeLog(log, m_table, "r.dev", environment(m_dir.path())),
                 DailyLogFile::Outcome::ReadOnly);
    }

    // A full disk is reported with the system's reason, and the file is left as it was.
    void diskFullGivesTheSystemReason_data()
    {
        shortWriteLeavesFileAsItWas_data();
    }
    void diskFullGivesTheSystemReason()
    {
        QFETCH(int, log);
        QFETCH(bool, existing);
        LogEnvironment env = environment(m_dir.path());
        const QString path = m_dir.filePath("20050412_r.dev" + suffix(log));
        if (existing)
            writeLog(log, m_table, "r.dev", env);
        const QByteArray before = readAll(path);

        // The device takes the first 10 bytes, then has no room left.
        int calls = 0;
        env.writeCall = [&calls](int fd, const char *data, qint64 size) -> qint64 {
            if (calls++ == 0)
                return qint64(::write(fd, data, size_t(std::min<qint64>(size, 10))));
            errno = ENOSPC;
            return -1;
        };
        QString message;
        try {
            writeLog(log, m_table, "r.dev", env);
        } catch (const OstralineError &error) {
            message = error.message();
        }
        QCOMPARE(message, "Cannot write log file \"" + path + "\". No space left on device");
        QCOMPARE(calls, 2);
        QCOMPARE(readAll(path), before);
    }
#endif

    // Texts go out in the locale's 8-bit encoding (UTF-8 here) and cells unchanged, even
    // where the locale writes numbers with a decimal comma.
    void textAndLocale_data()
    {
        addLogColumn();
        QTest::newRow("utilisation") << int(Utilisation);
        QTest::newRow("analysis") << int(Analysis);
    }
    void textAndLocale()
    {
        QFETCH(int, log);
        m_table.setCell(Col::Description, 1, QStringLiteral("K\u00fcche \u20ac"));
        m_table.setCell(Col::InUtil, 1, QStringLiteral("0.5"));
        m_table.setCell(Col::OutUtil, 1, QStringLiteral("12,5"));
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto outcome = writeLog(log, m_table, "r.dev", environment(m_dir.path()));
        QLocale::setDefault(saved);
        QCOMPARE(outcome, DailyLogFile::Outcome::Created);
        const QByteArray bytes = readAll(m_dir.filePath("20050412_r.dev" + suffix(log)));
        QVERIFY(bytes.contains("K\xc3\xbc"
                               "che \xe2\x82\xac; "));
        QVERIFY(bytes.contains("; 0.5; "));
        QVERIFY(bytes.contains("; 12,5; "));
        QVERIFY(bytes.startsWith("12.Apr.2005, 14:03:09; "));
    }
};

QTEST_GUILESS_MAIN(TestDailyLogFile)
#include "tst_dailylogfile.moc"
