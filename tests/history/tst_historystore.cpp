#include "ErrorReport.h"
#include "HistoryFileName.h"
#include "HistoryFixture.h"
#include "HistoryReader.h"
#include "HistoryStatistics.h"
#include "HistoryStore.h"
#include "HistoryWriter.h"
#include "RrdLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <sys/stat.h>

using namespace HistoryFixture;
using namespace Qt::StringLiterals;

class TestHistoryStore : public QObject
{
    Q_OBJECT

private:
    QString path(const QTemporaryDir &dir) const
    {
        return QDir(dir.path()).filePath(HistoryFileName::forInterface(Address, IfIndex));
    }
    // The in-rate (octets/s) of the row ending at `time`, through rrd_fetch.
    static double inAt(const HistorySeries &s, std::int64_t time)
    {
        const qsizetype i = (time - s.start) / s.step - 1;
        return i >= 0 && i < s.size() ? s.inAverage[i] / 8 : -1;
    }

private Q_SLOTS:
    void fileNames_data();
    void fileNames();
    void foreignNames_data();
    void foreignNames();
    void ratesAtPollResolution();
    void firstAndFailedReadingsAreUnknown();
    void stallIsUnknown();
    void restartAppends();
    void intervalChangeTunesHeartbeat();
    void linkHealthValues();
    void privateFilesAndNoLinks();
    void unwritableFolderReportedOnce();
    void hangingDiskDropsPolls();
    void settingText_data();
    void settingText();
    void archivesStayUnderFiveMegabytes();
};

void TestHistoryStore::fileNames_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("ifIndex");
    QTest::addColumn<QString>("name");
    QTest::newRow("v4") << "10.0.0.1"
                        << "3"
                        << "10.0.0.1_3.rrd";
    QTest::newRow("port") << "127.0.0.1:1161"
                          << "2"
                          << "127.0.0.1%3A1161_2.rrd";
    QTest::newRow("v6") << "[::1]:161"
                        << "12"
                        << "%5B%3A%3A1%5D%3A161_12.rrd";
    QTest::newRow("separator and slash") << "a_b/../c"
                                         << "1_2"
                                         << "a%5Fb%2F..%2Fc_1%5F2.rrd";
    QTest::newRow("unicode") << QString::fromUtf8("r\xc3\xa4uter") << "1"
                             << "r%C3%A4uter_1.rrd";
}

void TestHistoryStore::fileNames()
{
    QFETCH(QString, address);
    QFETCH(QString, ifIndex);
    QFETCH(QString, name);
    QCOMPARE(HistoryFileName::forInterface(address, ifIndex), name);
    const auto key = HistoryFileName::parse(name);
    QVERIFY(key.has_value());
    QCOMPARE(key->address, address);
    QCOMPARE(key->ifIndex, ifIndex);
}

void TestHistoryStore::foreignNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("other suffix") << "10.0.0.1_3.RRD";
    QTest::newRow("no separator") << "10.0.0.1.rrd";
    QTest::newRow("lower-case escape") << "127.0.0.1%3a1161_2.rrd";
    QTest::newRow("needless escape") << "10.0.0.%31_3.rrd";
    QTest::newRow("hashed") << HistoryFileName::forInterface(QString(300, u'a'), u"1"_s);
}

void TestHistoryStore::foreignNames()
{
    QFETCH(QString, name);
    QVERIFY(name.size() <= 200);
    QVERIFY(!HistoryFileName::parse(name).has_value());
}

void TestHistoryStore::ratesAtPollResolution()
{
    QTemporaryDir dir;
    HistoryWriter writer(dir.path());
    writeRamp(writer, 0, 20);
    QString error;
    const HistorySeries s = HistoryReader::fetch(path(dir), T0, T0 + 120, &error);
    QVERIFY2(!s.isEmpty(), qPrintable(error));
    QCOMPARE(s.step, 6);
    for (int k = 1; k <= 20; ++k) {
        QCOMPARE(inAt(s, T0 + 6 * k), 1000.0 * k);
        QCOMPARE(s.outAverage[(6 * k - (s.start - T0)) / 6 - 1], 500.0 * k * 8);
    }
    QCOMPARE(s.bandwidth[(T0 + 120 - s.start) / 6 - 1], 100000000.0);

    // The rrdtool command reads the same row.
    QProcess rrdtool;
    const QString t = QString::number(T0 + 60);
    rrdtool.start(u"rrdtool"_s, {u"fetch"_s, path(dir), u"AVERAGE"_s, u"-r"_s, u"6"_s, u"-s"_s,
                                 QString::number(T0 + 54), u"-e"_s, t});
    QVERIFY(rrdtool.waitForFinished(10000));
    const QString out = QString::fromUtf8(rrdtool.readAllStandardOutput());
    QVERIFY2(out.contains(u"inoctets"_s) && out.contains(u"outdiscards"_s), qPrintable(out));
    QRegularExpression row(t + u":\\s+(\\S+)\\s+(\\S+)\\s+(\\S+)"_s);
    const auto match = row.match(out);
    QVERIFY2(match.hasMatch(), qPrintable(out));
    QCOMPARE(match.captured(1).toDouble(), 10000.0);
    QCOMPARE(match.captured(2).toDouble(), 5000.0);
    QCOMPARE(match.captured(3).toDouble(), 100000000.0);

    // rrdtool graph computes the same average and 95th percentile (bit/s) as the window.
    QProcess graph;
    const QString def = u"DEF:in="_s + path(dir) + u":inoctets:AVERAGE"_s;
    graph.start(u"rrdtool"_s,
                {u"graph"_s, u"/dev/null"_s, u"--start"_s, QString::number(T0), u"--end"_s,
                 QString::number(T0 + 120), u"--step"_s, u"6"_s, def, u"CDEF:bits=in,8,*"_s,
                 u"VDEF:avg=bits,AVERAGE"_s, u"PRINT:avg:%.1lf"_s});
    QVERIFY(graph.waitForFinished(10000));
    const QStringList printed =
        QString::fromUtf8(graph.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(printed.size() >= 2, qPrintable(printed.join(u'|')));
    const HistoryStatistics stats = HistoryStatisticsCalc::compute(s, T0, T0 + 120);
    QCOMPARE(printed.at(1).toDouble(), stats.in.average);
    QCOMPARE(stats.in.average, 10500.0 * 8);
}

void TestHistoryStore::firstAndFailedReadingsAreUnknown()
{
    QTemporaryDir dir;
    HistoryWriter writer(dir.path());
    using O = InterfaceReading::Outcome;
    const O outcomes[] = {O::First, O::Good, O::Failed, O::First, O::Good, O::NotMeasurable};
    for (int k = 0; k < 6; ++k) {
        InterfaceReading r = reading(700, 300, outcomes[k]);
        // A row that is not measurable stores no rate, whatever its fields hold.
        if (r.outcome == O::NotMeasurable)
            r.inOctetsPerSecond = r.outOctetsPerSecond = 700;
        QVERIFY(writer.write(poll(T0 + 6 * k, 6, {r})).isEmpty());
    }
    QString error;
    const HistorySeries s = HistoryReader::fetch(path(dir), T0, T0 + 30, &error);
    QCOMPARE(inAt(s, T0 + 6), 700.0);
    QVERIFY(std::isnan(inAt(s, T0 + 12))); // failed
    QVERIFY(std::isnan(inAt(s, T0 + 18))); // first reading after it
    QCOMPARE(inAt(s, T0 + 24), 700.0);
    QVERIFY(std::isnan(inAt(s, T0 + 30))); // not measurable
    // The bandwidth stays known through it.
    QCOMPARE(s.bandwidth[(T0 + 12 - s.start) / 6 - 1], 100000000.0);
}

void TestHistoryStore::stallIsUnknown()
{
    QTemporaryDir dir;
    HistoryWriter writer(dir.path());
    writeRamp(writer, 0, 10);
    // 30 s without a poll (more than twice the interval), then polls again at the ramp's pace.
    for (int k = 15; k <= 20; ++k)
        writer.write(poll(T0 + 6 * k, 6, {reading(1000.0 * k, 500.0 * k)}));
    QString error;
    const HistorySeries s = HistoryReader::fetch(path(dir), T0, T0 + 120, &error);
    QCOMPARE(inAt(s, T0 + 60), 10000.0);
    for (int k = 11; k <= 15; ++k)
        QVERIFY2(std::isnan(inAt(s, T0 + 6 * k)), qPrintable(QString::number(k)));
    QCOMPARE(inAt(s, T0 + 96), 16000.0);
    // A single missed poll is bridged by the heartbeat (twice the interval).
    HistoryWriter other(dir.path() + u"/b"_s);
    other.write(poll(T0, 6, {reading(1, 1, InterfaceReading::Outcome::First)}));
    other.write(poll(T0 + 6, 6, {reading(100, 100)}));
    other.write(poll(T0 + 18, 6, {reading(200, 200)}));
    const HistorySeries b = HistoryReader::fetch(
        dir.path() + u"/b/"_s + HistoryFileName::forInterface(Address, IfIndex), T0, T0 + 18,
        &error);
    QCOMPARE(inAt(b, T0 + 12), 200.0);
    QCOMPARE(inAt(b, T0 + 18), 200.0);
}

void TestHistoryStore::restartAppends()
{
    QTemporaryDir dir;
    {
        HistoryWriter first(dir.path());
        writeRamp(first, 0, 10);
    }
    const QFileInfo before(path(dir));
    {
        HistoryWriter second(dir.path()); // the program started again
        writeRamp(second, 11, 20);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    QCOMPARE(QFileInfo(path(dir)).size(), before.size());
    QString error;
    const HistorySeries s = HistoryReader::fetch(path(dir), T0, T0 + 120, &error);
    QCOMPARE(inAt(s, T0 + 60), 10000.0);
    QCOMPARE(inAt(s, T0 + 66), 11000.0);
    QCOMPARE(inAt(s, T0 + 120), 20000.0);
    QCOMPARE(HistoryReader::lastUpdate(path(dir)), T0 + 120);
}

void TestHistoryStore::intervalChangeTunesHeartbeat()
{
    QTemporaryDir dir;
    HistoryWriter writer(dir.path());
    writeRamp(writer, 0, 5);
    // Now every 30 s: 30 s apart is within the new heartbeat of 60 s, so no gap.
    for (int k = 1; k <= 4; ++k)
        writer.write(poll(T0 + 30 + 30 * k, 30, {reading(4000, 4000)}));
    QString error;
    const HistorySeries s = HistoryReader::fetch(path(dir), T0, T0 + 150, &error);
    QCOMPARE(inAt(s, T0 + 90), 4000.0);
    QCOMPARE(inAt(s, T0 + 150), 4000.0);
    QProcess rrdtool;
    rrdtool.start(u"rrdtool"_s, {u"info"_s, path(dir)});
    QVERIFY(rrdtool.waitForFinished(10000));
    const QByteArray info = rrdtool.readAllStandardOutput();
    QVERIFY(info.contains("ds[inoctets].minimal_heartbeat = 60"));
    QVERIFY(info.contains("ds[outdiscards].minimal_heartbeat = 60"));
    QVERIFY(info.contains("ds[bandwidth].type = \"GAUGE\""));
}

void TestHistoryStore::linkHealthValues()
{
    QTemporaryDir dir;
    HistoryWriter writer(dir.path());
    InterfaceReading r = reading(1000, 1000);
    writer.write(poll(T0, 6, {r}));
    r.adminStatus = 1;
    r.operStatus = 2;
    r.inErrorsDelta = 12;
    r.outDiscardsDelta = 3;
    writer.write(poll(T0 + 6, 6, {r}));
    const QString text = HistoryWriter::updateText(r, 6, T0 + 6);
    QCOMPARE(text, QString::number(T0 + 6) + u":1000:1000:100000000:2:U:U:0.5:1"_s);
    r.adminStatus = 2; // disabled: not "down"
    QVERIFY(HistoryWriter::updateText(r, 6, T0).endsWith(u":U"_s));
    r.adminStatus = 1;
    r.operStatus = 1;
    QVERIFY(HistoryWriter::updateText(r, 6, T0).endsWith(u":0"_s));
    QString error;
    const HistorySeries s = HistoryReader::fetch(path(dir), T0, T0 + 6, &error);
    QCOMPARE(s.linkDown[(T0 + 6 - s.start) / 6 - 1], 1.0);
}

void TestHistoryStore::privateFilesAndNoLinks()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + u"/data/history"_s;
    HistoryWriter writer(folder);
    QVERIFY(writer.write(poll(T0, 6, {reading(1, 1)})).isEmpty());
    const auto mode = [](const QString &p) {
        struct stat info {
        };
        return ::stat(QFile::encodeName(p).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
    };
    QCOMPARE(mode(folder), 0700u);
    QCOMPARE(mode(dir.path() + u"/data"_s), 0700u);
    const QString file = QDir(folder).filePath(HistoryFileName::forInterface(Address, IfIndex));
    QCOMPARE(mode(file), 0600u);

    // A link in place of a file is refused; its target is never written.
    InterfaceReading other = reading(1, 1);
    other.ifIndex = u"7"_s;
    const QString target = dir.path() + u"/target"_s;
    QFile t(target);
    QVERIFY(t.open(QIODevice::WriteOnly));
    t.write("precious");
    t.close();
    QVERIFY(
        QFile::link(target, QDir(folder).filePath(HistoryFileName::forInterface(Address, u"7"_s))));
    const QStringList failures = writer.write(poll(T0 + 6, 6, {reading(2, 2), other}));
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().contains(u"not a regular file"_s), qPrintable(failures.first()));
    QVERIFY(t.open(QIODevice::ReadOnly));
    QCOMPARE(t.readAll(), QByteArray("precious"));
    // The good interface was still written.
    QCOMPARE(HistoryReader::lastUpdate(file), T0 + 6);
}

void TestHistoryStore::unwritableFolderReportedOnce()
{
    QTemporaryDir dir;
    // A file where the folder's parent should be: no user, root included, can create it.
    QFile blocker(dir.path() + u"/data"_s);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QStringList reports;
    const auto previous = ErrorReport::setHandler([&](const QString &m) { reports.append(m); });
    {
        HistoryStore store(dir.path() + u"/data/history"_s);
        QStringList failures;
        connect(&store, &HistoryStore::written, this,
                [&](const PollResult &, const QStringList &f) { failures += f; });
        QElapsedTimer timer;
        timer.start();
        for (int k = 0; k < 5; ++k)
            store.onPollFinished(poll(T0 + 6 * k, 6, {reading(1, 1)}));
        QVERIFY(timer.elapsed() < 100); // handing a poll over never waits for the disk
        store.flush();
        QCOMPARE(failures.size(), 5);
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports.first().contains(u"history folder"_s), qPrintable(reports.first()));

        // Once the folder can be made, polls are written and a later failure is reported again.
        QVERIFY(QFile::remove(dir.path() + u"/data"_s));
        store.onPollFinished(poll(T0 + 60, 6, {reading(1, 1)}));
        store.flush();
        QCOMPARE(reports.size(), 1);
        QVERIFY(!ErrorReport::isFailing(HistoryStore::FailureSource.toString()));
    }
    // Switched off, nothing is written at all.
    HistoryStore off(dir.path() + u"/off"_s);
    off.setEnabled(false);
    off.onPollFinished(poll(T0, 6, {reading(1, 1)}));
    off.flush();
    QVERIFY(!QFileInfo::exists(dir.path() + u"/off"_s));
    ErrorReport::setHandler(previous);
}

void TestHistoryStore::hangingDiskDropsPolls()
{
    // A writer that stands still at its first poll until released, like a hung file system.
    struct HangingWriter : HistoryWriter {
        using HistoryWriter::HistoryWriter;
        QSemaphore release;
        QStringList write(const PollResult &result) override
        {
            release.acquire();
            release.release();
            return HistoryWriter::write(result);
        }
    };
    QTemporaryDir dir;
    auto writer = std::make_unique<HangingWriter>(dir.path());
    HangingWriter *hanging = writer.get();
    QStringList reports;
    const auto previous = ErrorReport::setHandler([&](const QString &m) { reports.append(m); });
    {
        HistoryStore store(std::move(writer));
        int kept = 0, dropped = 0;
        connect(
            &store, &HistoryStore::written, this,
            [&](const PollResult &, const QStringList &f) { ++(f.isEmpty() ? kept : dropped); });
        for (int k = 0; k < HistoryStore::MaxPending + 5; ++k)
            store.onPollFinished(poll(T0 + 6 * k, 6, {reading(1, 1)}));
        QCOMPARE(dropped, 5);
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports.first().contains(u"not kept"_s), qPrintable(reports.first()));
        hanging->release.release();
        store.flush();
        QCOMPARE(kept, HistoryStore::MaxPending);
        // Caught up: polls are taken again.
        store.onPollFinished(poll(T0 + 6000, 6, {reading(1, 1)}));
        store.flush();
        QCOMPARE(kept, HistoryStore::MaxPending + 1);
    }
    ErrorReport::setHandler(previous);
}

void TestHistoryStore::settingText_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("absent") << QString() << true;
    QTest::newRow("yes") << "yes" << true;
    QTest::newRow("no") << "no" << false;
    QTest::newRow("No is not no") << "No" << true;
}

void TestHistoryStore::settingText()
{
    QFETCH(QString, stored);
    QFETCH(bool, enabled);
    QCOMPARE(HistoryStore::enabledBySetting(stored), enabled);
}

void TestHistoryStore::archivesStayUnderFiveMegabytes()
{
    QTemporaryDir dir;
    for (const int interval : {3, 6, 12, 30, 60, 120}) {
        const QString folder = dir.path() + u'/' + QString::number(interval);
        HistoryWriter writer(folder);
        QVERIFY(writer.write(poll(T0, interval, {reading(1, 1)})).isEmpty());
        const qint64 size =
            QFileInfo(QDir(folder).filePath(HistoryFileName::forInterface(Address, IfIndex)))
                .size();
        QVERIFY2(size <= 5 * 1024 * 1024, qPrintable(QString::number(size)));
        // The newest 8 hours (3 days at a minute) keep every step.
        const auto archives = RrdLayout::archivesFor(RrdLayout::stepFor(interval));
        QVERIFY(archives.first().rows * archives.first().secondsPerRow >= 8 * 3600);
        QCOMPARE(archives.last().rows * archives.last().secondsPerRow, 400UL * 86400);
    }
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
