// The alerts file: its line format, the private-file rules and the cut to the newest lines.

#include "AlertFile.h"
#include "AlertFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

AlertEvent alertEvent(int n, const QString &name = QStringLiteral("Core uplink"))
{
    AlertEvent e;
    e.time = AlertFixture::Start.addSecs(n);
    e.state = n % 2 ? AlertState::Cleared : AlertState::Raised;
    e.condition = AlertCondition::Down;
    e.interfaceName = name;
    e.address = QStringLiteral("10.0.0.1");
    e.ifIndex = QString::number(n);
    e.value = QStringLiteral("admin up, oper down");
    return e;
}

mode_t modeOf(const QString &path)
{
    struct stat info {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

class TestAlertFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linesAreSpreadsheetCsvAndReadBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alerts.csv"));
        AlertFile file(path);
        AlertEvent tricky = alertEvent(0, QStringLiteral("Uplink, \"A\" side\nrack 4"));
        tricky.time = QDateTime(QDate(2026, 3, 2), QTime(9, 0, 5), QTimeZone(3600));
        QString error;
        QVERIFY2(file.append({tricky, alertEvent(1)}, &error), qPrintable(error));

        const QByteArray bytes = bytesOf(path);
        QCOMPARE(bytes.split('\n').value(0),
                 QByteArray("time,state,condition,interface,address,ifindex,value"));
        QCOMPARE(bytes.split('\n').value(1),
                 QByteArray("2026-03-02T09:00:05+01:00,raised,down,\"Uplink, \"\"A\"\" side rack "
                            "4\",10.0.0.1,0,\"admin up, oper down\""));
        QCOMPARE(bytes.count('\n'), 3);

        QList<AlertEvent> back;
        QVERIFY(AlertFile(path).load(&back, 10, &error));
        QCOMPARE(back.size(), 2);
        QCOMPARE(back[0].interfaceName, QStringLiteral("Uplink, \"A\" side rack 4"));
        QCOMPARE(back[0].time, tricky.time);
        QCOMPARE(back[0].value, tricky.value);
        QCOMPARE(back[1].state, AlertState::Cleared);
        QCOMPARE(back[1].ifIndex, QStringLiteral("1"));
    }

    void brokenLinesAreSkippedAndLoadIsBounded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alerts.csv"));
        AlertFile file(path);
        QString error;
        QVERIFY(file.append({alertEvent(0), alertEvent(1), alertEvent(2)}, &error));
        QFile raw(path);
        QVERIFY(raw.open(QIODevice::Append));
        raw.write("not,an,event\n2026-03-02T09:00:00Z,raised,molten,a,b,c,d\n");
        raw.close();
        QVERIFY(file.append({alertEvent(3)}, &error));

        QList<AlertEvent> back;
        QVERIFY(file.load(&back, 100, &error));
        QCOMPARE(back.size(), 4);
        QVERIFY(file.load(&back, 2, &error)); // the newest two
        QCOMPARE(back.size(), 2);
        QCOMPARE(back[1].ifIndex, QStringLiteral("3"));
    }

    void privateFileInPrivateFolders()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Kelvane/OSL/alerts.csv"));
        const mode_t oldMask = ::umask(0);
        QString error;
        const bool written = AlertFile(path).append({alertEvent(0)}, &error);
        ::umask(oldMask);
        QVERIFY2(written, qPrintable(error));
        QCOMPARE(modeOf(path), mode_t(0600));
        QCOMPARE(modeOf(dir.filePath(QStringLiteral("Kelvane/OSL"))), mode_t(0700));
        QCOMPARE(modeOf(dir.filePath(QStringLiteral("Kelvane"))), mode_t(0700));
    }

    void neverThroughALinkOrIntoANonRegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to a file") << "link";
        QTest::newRow("dangling link") << "dangling";
        QTest::newRow("named pipe") << "fifo";
    }

    void neverThroughALinkOrIntoANonRegularFile()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alerts.csv"));
        const QString victim = dir.filePath(QStringLiteral("victim"));
        if (kind == u"link") {
            QFile v(victim);
            QVERIFY(v.open(QIODevice::WriteOnly));
            v.write("precious\n");
            v.close();
            QVERIFY(QFile::link(victim, path));
        } else if (kind == u"dangling") {
            QVERIFY(QFile::link(victim, path));
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }

        AlertFile file(path);
        QString error;
        QVERIFY(!file.append({alertEvent(0)}, &error)); // returns at once, also for the pipe
        QVERIFY(error.contains(path));
        QList<AlertEvent> back;
        QVERIFY(!file.load(&back, 10, &error));
        if (kind == u"link")
            QCOMPARE(bytesOf(victim), QByteArray("precious\n"));
        else
            QVERIFY(!QFileInfo::exists(victim));
    }

    void cutToTheNewestLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alerts.csv"));
        QList<AlertEvent> many;
        for (int n = 0; n < AlertFile::MaxLines; ++n)
            many << alertEvent(n);
        QString error;
        {
            AlertFile file(path);
            QVERIFY(file.append(many, &error));
            QCOMPARE(bytesOf(path).count('\n'), AlertFile::MaxLines + 1); // exactly full
            QVERIFY(file.append(
                {alertEvent(AlertFile::MaxLines), alertEvent(AlertFile::MaxLines + 1)}, &error));
        }
        // A new run counts the file afresh before its first append.
        QVERIFY(AlertFile(path).append({alertEvent(AlertFile::MaxLines + 2)}, &error));

        const QList<QByteArray> lines = bytesOf(path).split('\n');
        QCOMPARE(lines.size(), AlertFile::MaxLines + 2); // header, events, the empty tail
        QVERIFY(lines[0].startsWith("time,"));
        AlertEvent oldest, newest;
        QVERIFY(AlertFile::parse(lines[1], &oldest));
        QVERIFY(AlertFile::parse(lines[AlertFile::MaxLines], &newest));
        QCOMPARE(oldest.ifIndex, QString::number(3));
        QCOMPARE(newest.ifIndex, QString::number(AlertFile::MaxLines + 2));
        QCOMPARE(modeOf(path), mode_t(0600));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary left
    }
};

QTEST_GUILESS_MAIN(TestAlertFile)
#include "tst_alertfile.moc"
