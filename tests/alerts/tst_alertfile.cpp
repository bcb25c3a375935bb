// The alerts file: its line format, the private-file rules, the cut to the newest lines and
// the writer thread that keeps the event loop free of it.

#include "AlertFile.h"
#include "AlertFileWriter.h"
#include "AlertFixture.h"
#include "Heartbeat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
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

    // The file grows to CutAtLines events, then one append cuts it back to the newest
    // MaxLines; the appends after that are appends again.
    void cutWithAMarginToTheNewestLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alerts.csv"));
        QList<AlertEvent> many;
        for (int n = 0; n < AlertFile::CutAtLines; ++n)
            many << alertEvent(n);
        QString error;
        {
            AlertFile file(path);
            QVERIFY(file.append(many, &error));
            QCOMPARE(bytesOf(path).count('\n'), AlertFile::CutAtLines + 1); // full, not cut
            QVERIFY(file.append(
                {alertEvent(AlertFile::CutAtLines), alertEvent(AlertFile::CutAtLines + 1)},
                &error));
            QCOMPARE(bytesOf(path).count('\n'), AlertFile::MaxLines + 1);
        }
        // A new run counts the file afresh before its first append, and only appends.
        QVERIFY(AlertFile(path).append({alertEvent(AlertFile::CutAtLines + 2)}, &error));

        const QList<QByteArray> lines = bytesOf(path).split('\n');
        QCOMPARE(lines.size(), AlertFile::MaxLines + 3); // header, events, the empty tail
        QVERIFY(lines[0].startsWith("time,"));
        AlertEvent oldest, newest;
        QVERIFY(AlertFile::parse(lines[1], &oldest));
        QVERIFY(AlertFile::parse(lines[AlertFile::MaxLines + 1], &newest));
        QCOMPARE(oldest.ifIndex, QString::number(AlertFile::CutAtLines + 2 - AlertFile::MaxLines));
        QCOMPARE(newest.ifIndex, QString::number(AlertFile::CutAtLines + 2));
        QCOMPARE(modeOf(path), mode_t(0600));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1); // no temporary left
    }

    // Run as the superuser in another user's folder (`sudo -E ostraline`): the file made there
    // and the file that replaces it at a cut stay the user's, and the superuser goes on
    // appending to them.
    void asRootTheFileStaysTheUsers()
    {
        if (::geteuid() != 0)
            QSKIP("runs as root only");
        constexpr uid_t User = 65534; // nobody: some user who is not root
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("user"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(::chown(QFile::encodeName(folder).constData(), User, User) == 0);
        const QString path = folder + QStringLiteral("/alerts.csv");
        const auto ownerOf = [&path] {
            struct stat info {
            };
            return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_uid
                                                                            : uid_t(-1);
        };

        AlertFile file(path);
        QString error;
        QVERIFY2(file.append({alertEvent(0)}, &error), qPrintable(error));
        QCOMPARE(ownerOf(), User);
        QList<AlertEvent> many;
        for (int n = 1; n <= AlertFile::CutAtLines; ++n)
            many << alertEvent(n);
        QVERIFY2(file.append(many, &error), qPrintable(error)); // past the mark: cut
        QCOMPARE(bytesOf(path).count('\n'), AlertFile::MaxLines + 1);
        QCOMPARE(ownerOf(), User);
        QCOMPARE(modeOf(path), mode_t(0600));
        QVERIFY2(AlertFile(path).append({alertEvent(1)}, &error), qPrintable(error));
    }

    // Text that a spreadsheet would take for a formula gets a leading quote in the file, in
    // every text field, and is read back as it was. Our own fields and plain text are as
    // they were.
    void formulaTextIsQuotedForSpreadsheets_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("=") << "=HYPERLINK(\"http://x\",\"y\")"
                           << QByteArray("\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"");
        QTest::newRow("@") << "@SUM(A1:A9)" << QByteArray("'@SUM(A1:A9)");
        QTest::newRow("+") << "+1+cmd" << QByteArray("'+1+cmd");
        QTest::newRow("-") << "-2" << QByteArray("'-2");
        QTest::newRow("tab") << "\t=1" << QByteArray("'\t=1");
        QTest::newRow("carriage return becomes a blank") << "\r=1" << QByteArray(" =1");
        QTest::newRow("inside is harmless") << "a=b" << QByteArray("a=b");
        QTest::newRow("a quote of its own") << "'x" << QByteArray("'x");
    }
    void formulaTextIsQuotedForSpreadsheets()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, written);
        AlertEvent e = alertEvent(0, text);
        e.address = e.ifIndex = e.value = text;
        const QByteArray line = AlertFile::line(e);
        QVERIFY2(line.contains(",raised,down,"), line.constData());
        QCOMPARE(line.mid(line.indexOf(",raised,down,") + 13),
                 written + ',' + written + ',' + written + ',' + written);
        AlertEvent back;
        QVERIFY(AlertFile::parse(AlertFile::line(e), &back));
        const QString expected = text.startsWith(u'\r') ? QStringLiteral(" =1") : text;
        QCOMPARE(back.interfaceName, expected);
        QCOMPARE(back.address, expected);
        QCOMPARE(back.ifIndex, expected);
        QCOMPARE(back.value, expected);
    }

    // A full file with long names (about 8 MB) and 20 alerts, one by one as polls bring
    // them: the writer's thread appends and cuts, the event loop never waits on it, the file
    // stays bounded with the newest lines in their order.
    void theWriterNeverHoldsUpTheEventLoop()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alerts.csv"));
        const QString longName = QStringLiteral("Core uplink ").repeated(21); // 252 chars
        const int start = AlertFile::CutAtLines - 10;
        {
            QByteArray text = "time,state,condition,interface,address,ifindex,value\n";
            AlertEvent e = alertEvent(0, longName);
            e.address = e.value = longName;
            for (int n = 0; n < start; ++n) {
                e.ifIndex = QString::number(n);
                text += AlertFile::line(e) + '\n';
            }
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
            QVERIFY(file.size() > 8000000);
        }

        AlertFileWriter writer(path);
        QSignalSpy written(&writer, &AlertFileWriter::written);
        Heartbeat beat(2);
        for (int n = 0; n < 20; ++n) {
            AlertEvent e = alertEvent(start + n, longName);
            e.address = e.value = longName;
            writer.append({e});
            QTest::qWait(5);
        }
        QTRY_COMPARE_WITH_TIMEOUT(written.size(), 20, 10000);
        beat.stop();
        QVERIFY2(beat.longestGapMs() <= 50, qPrintable(QString::number(beat.longestGapMs())));
        for (const QList<QVariant> &outcome : written)
            QVERIFY2(outcome[0].toBool(), qPrintable(outcome[1].toString()));

        // Cut at the 11th alert back to MaxLines, then 9 more appended.
        const QList<QByteArray> lines = bytesOf(path).split('\n');
        QCOMPARE(lines.size(), 1 + AlertFile::MaxLines + 9 + 1);
        for (int n = 0; n < 20; ++n) {
            AlertEvent e;
            QVERIFY(AlertFile::parse(lines[lines.size() - 21 + n], &e));
            QCOMPARE(e.ifIndex, QString::number(start + n));
        }
    }
};

QTEST_GUILESS_MAIN(TestAlertFile)
#include "tst_alertfile.moc"
