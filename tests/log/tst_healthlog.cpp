#include "ErrorReport.h"
#include "HealthLog.h"
#include "PollResult.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace
{

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

InterfaceReading reading(int row, const QString &address, const QString &index)
{
    InterfaceReading r;
    r.row = row;
    r.address = address;
    r.ifIndex = index;
    r.polled = true;
    r.outcome = InterfaceReading::Outcome::Good;
    return r;
}

// Three interfaces whose values all differ: up with traffic problems, down, and one that
// gave no reading at all (and has a host text that needs quoting).
PollResult threeInterfaces(bool withCounts)
{
    PollResult result;
    InterfaceReading up = reading(1, QStringLiteral("10.0.0.1"), QStringLiteral("3"));
    up.adminStatus = 1;
    up.operStatus = 1;
    InterfaceReading down = reading(2, QStringLiteral("router.example:1161"), QStringLiteral("12"));
    down.adminStatus = 1;
    down.operStatus = 7;
    if (withCounts) {
        up.inErrorsDelta = 3;
        up.outErrorsDelta = 0;
        up.inDiscardsDelta = 120;
        up.outDiscardsDelta = 5;
        down.inErrorsDelta = 0;
        down.outErrorsDelta = 1;
        down.inDiscardsDelta = std::nullopt; // not known: the agent lacks the object
        down.outDiscardsDelta = 0;
    }
    InterfaceReading failed = reading(3, QStringLiteral("odd,\"name\""), QStringLiteral("1"));
    failed.outcome = InterfaceReading::Outcome::Failed;
    result.interfaces = {up, down, failed};
    return result;
}

const QDateTime Noon(QDate(2005, 4, 12), QTime(14, 3, 9), Qt::OffsetFromUTC, 2 * 3600);

} // namespace

class TestHealthLog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QDateTime m_now = Noon;
    QStringList m_status;

    LogEnvironment environment()
    {
        return {m_dir.path(),
                [this] { return m_now; },
                [this](const QString &text) { m_status.append(text); },
                {}};
    }
    QString todaysFile() const { return m_dir.filePath("20050412_routers.dev_health.csv"); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files | QDir::System))
            QFile::remove(m_dir.filePath(name));
        m_now = Noon;
        m_status.clear();
    }

    // The first poll creates the file with its header; its counts are not known yet (a first
    // reading). The second appends one line per interface; nothing else changes.
    void twoPollsBytes()
    {
        const auto env = environment();
        QCOMPARE(HealthLog::write(threeInterfaces(false), "/etc/osl/routers.dev", env),
                 DailyLogFile::Outcome::Created);
        const QByteArray first =
            "time,Number,IP,Interface,admin,oper,in errors,out errors,in discards,out discards\n"
            "2005-04-12T14:03:09+02:00,1,10.0.0.1,3,up,up,,,,\n"
            "2005-04-12T14:03:09+02:00,2,router.example:1161,12,up,lowerLayerDown,,,,\n"
            "2005-04-12T14:03:09+02:00,3,\"odd,\"\"name\"\"\",1,,,,,,\n";
        QCOMPARE(readAll(todaysFile()), first);

        m_now = Noon.addSecs(6);
        QCOMPARE(HealthLog::write(threeInterfaces(true), "/etc/osl/routers.dev", env),
                 DailyLogFile::Outcome::Appended);
        QCOMPARE(readAll(todaysFile()),
                 first + "2005-04-12T14:03:15+02:00,1,10.0.0.1,3,up,up,3,0,120,5\n"
                         "2005-04-12T14:03:15+02:00,2,router.example:1161,12,up,lowerLayerDown,"
                         "0,1,,0\n"
                         "2005-04-12T14:03:15+02:00,3,\"odd,\"\"name\"\"\",1,,,,,,\n");
        QVERIFY(m_status.isEmpty());
    }

    // A device-file text a spreadsheet would take for a formula gets a leading quote; the
    // numbers around it stay numbers.
    void formulaTextIsQuotedForSpreadsheets_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("index");
        QTest::addColumn<QByteArray>("fields");
        QTest::newRow("=HYPERLINK")
            << "=HYPERLINK(\"http://x\",\"y\")"
            << "3" << QByteArray("\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",3");
        QTest::newRow("@, -") << "@SUM(1+1)"
                              << "-1" << QByteArray("'@SUM(1+1),'-1");
        QTest::newRow("+, tab") << "+cmd"
                                << "\t2" << QByteArray("'+cmd,'\t2");
        QTest::newRow("carriage return") << "\r=1"
                                         << "3" << QByteArray("\"'\r=1\",3");
        QTest::newRow("plain") << "10.0.0.1"
                               << "3" << QByteArray("10.0.0.1,3");
    }
    void formulaTextIsQuotedForSpreadsheets()
    {
        QFETCH(QString, address);
        QFETCH(QString, index);
        QFETCH(QByteArray, fields);
        PollResult result;
        InterfaceReading r = reading(1, address, index);
        r.inErrorsDelta = 3;
        result.interfaces = {r};
        QCOMPARE(HealthLog::dataBytes(result, Noon),
                 "2005-04-12T14:03:09+02:00,1," + fields + ",,,3,,,\n");
    }

    void timeStampsAndStatusWords_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("UTC") << QDateTime(QDate(2026, 12, 10), QTime(11, 19, 10), Qt::UTC)
                             << "2026-12-10T11:19:10Z";
        QTest::newRow("west of UTC") << QDateTime(QDate(2026, 7, 1), QTime(23, 59, 59),
                                                  Qt::OffsetFromUTC, -(4 * 3600 + 1800))
                                     << "2026-07-01T23:59:59-04:30";
        QTest::newRow("milliseconds dropped")
            << QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 678), Qt::OffsetFromUTC, 3600)
            << "2026-01-02T03:04:05+01:00";
    }
    void timeStampsAndStatusWords()
    {
        QFETCH(QDateTime, time);
        QFETCH(QString, stamp);
        QCOMPARE(HealthLog::isoStamp(time), stamp);
        // The IF-MIB names; a value outside them as its number; not known as nothing.
        QCOMPARE(HealthLog::statusWord(std::nullopt), QString());
        QCOMPARE(HealthLog::statusWord(2), QStringLiteral("down"));
        QCOMPARE(HealthLog::statusWord(5), QStringLiteral("dormant"));
        QCOMPARE(HealthLog::statusWord(6), QStringLiteral("notPresent"));
        QCOMPARE(HealthLog::statusWord(0), QStringLiteral("0"));
        QCOMPARE(HealthLog::statusWord(8), QStringLiteral("8"));
    }

    // The file rules of the other daily logs hold here as well: a new file is private, a
    // read-only one is refused with the status text, a link is never written through.
    void fileRules()
    {
        const auto env = environment();
        const PollResult result = threeInterfaces(true);
        HealthLog::write(result, "routers.dev", env);
        struct stat info {
        };
        QCOMPARE(::stat(QFile::encodeName(todaysFile()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));

        QVERIFY(QFile::setPermissions(todaysFile(), QFile::ReadOwner));
        const QByteArray before = readAll(todaysFile());
        QCOMPARE(HealthLog::write(result, "routers.dev", env), DailyLogFile::Outcome::ReadOnly);
        QCOMPARE(m_status, QStringList{"Log file is read only. Cannot write, aborted!"});
        QCOMPARE(readAll(todaysFile()), before);

        QVERIFY(QFile::remove(todaysFile()));
        const QString target = m_dir.filePath("profile");
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep\n");
        file.close();
        QVERIFY(QFile::link(target, todaysFile()));
        QString message;
        try {
            HealthLog::write(result, "routers.dev", env);
        } catch (const OstralineError &error) {
            message = error.message();
        }
        QCOMPARE(message, "Cannot open log file \"" + todaysFile() +
                              "\". It is a symbolic link; logs are not written through links.");
        QCOMPARE(readAll(target), QByteArray("keep\n"));
    }
};

QTEST_GUILESS_MAIN(TestHealthLog)
#include "tst_healthlog.moc"
