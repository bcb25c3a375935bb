#include "ErrorReport.h"
#include "HistoryFileName.h"
#include "HistoryFixture.h"
#include "HistoryReader.h"
#include "HistoryStore.h"
#include "HistoryWriter.h"
#include "RrdHeader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace HistoryFixture;
using namespace Qt::StringLiterals;

// The header check that stands before every librrd call on a history file, and what the store
// and the reader do with a file that fails it.
class TestRrdHeader : public QObject
{
    Q_OBJECT

private:
    // A real file of the store (6 s polls, a few written), its bytes.
    static QByteArray storeFile(const QString &folder)
    {
        HistoryWriter writer(folder);
        writeRamp(writer, 0, 5);
        QFile file(QDir(folder).filePath(HistoryFileName::forInterface(Address, IfIndex)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QString path(const QString &folder)
    {
        return QDir(folder).filePath(HistoryFileName::forInterface(Address, IfIndex));
    }
    static void writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

private Q_SLOTS:
    void storeFileAccepted();
    void damageRefused_data();
    void damageRefused();
    void committedSeeds();
    void damagedFileSetAside();
    void setAsideNeverReplaces();
};

void TestRrdHeader::storeFileAccepted()
{
    QTemporaryDir dir;
    const QByteArray bytes = storeFile(dir.path());
    QCOMPARE(bytes.size(), RrdHeader::fileSizeFor(6));
    RrdHeader::Summary summary;
    QString reason;
    QCOMPARE(RrdHeader::checkFile(path(dir.path()), &reason, &summary), RrdHeader::Verdict::Good);
    QVERIFY2(reason.isEmpty(), qPrintable(reason));
    QCOMPARE(summary.step, 6UL);
    QCOMPARE(summary.heartbeat, 12UL);
    QCOMPARE(summary.lastUpdate, T0 + 30);
    // The header alone with the file's size is enough.
    QVERIFY(RrdHeader::check(bytes.first(RrdHeader::MaxHeadBytes), bytes.size()).isEmpty());
}

void TestRrdHeader::damageRefused_data()
{
    // Offsets in a 6 s file: 8 data sources of 120 bytes from 128, then 8 archives of 120.
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes"); // written at offset; empty: the file is cut there
    QTest::addColumn<QString>("reason");
    const auto u64 = [](quint64 v) { return QByteArray(reinterpret_cast<const char *>(&v), 8); };
    constexpr int Rra0 = 128 + 8 * 120;
    QTest::newRow("step 0") << 40 << u64(0) << "step of 0 s";
    QTest::newRow("data sources huge") << 24 << u64(~0ULL) << "data sources";
    QTest::newRow("archives 0") << 32 << u64(0) << "archive count 0";
    QTest::newRow("rows 0") << Rra0 + 24 << u64(0) << "archive 1 has 0 rows";
    QTest::newRow("one more row") << Rra0 + 24 << u64(4801) << "bytes long";
    QTest::newRow("pdp count 0") << Rra0 + 120 + 32 << u64(0) << "archive 2 has a resolution";
    QTest::newRow("seasonal function")
        << Rra0 << QByteArray("HWPREDICT", 10) << "no plain consolidation";
    QTest::newRow("other source") << 128 << QByteArray("x") << "is not \"inoctets\"";
    QTest::newRow("counter") << 128 + 120 + 20 << QByteArray("COUNTER", 8) << "not a GAUGE";
    QTest::newRow("float cookie") << 16 << u64(0) << "another kind of machine";
    QTest::newRow("cookie") << 0 << QByteArray("GIF8") << "not an RRD file";
    QTest::newRow("cut in the header") << 2000 << QByteArray() << "ends inside its header";
    QTest::newRow("cut in the data") << 100000 << QByteArray() << "bytes long";
    QTest::newRow("empty") << 0 << QByteArray() << "ends inside its header";
}

void TestRrdHeader::damageRefused()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QByteArray file = storeFile(dir.path());
    if (bytes.isEmpty())
        file.truncate(offset);
    else
        file.replace(offset, bytes.size(), bytes);
    writeFile(path(dir.path()), file);

    QString why;
    QCOMPARE(RrdHeader::checkFile(path(dir.path()), &why), RrdHeader::Verdict::Damaged);
    QVERIFY2(why.contains(reason), qPrintable(why));
    // The reader refuses it with the reason, before librrd sees it.
    QString error;
    QVERIFY(HistoryReader::fetch(path(dir.path()), T0, T0 + 60, &error).isEmpty());
    QVERIFY2(error.contains(u"is damaged"_s) && error.contains(reason), qPrintable(error));
    QCOMPARE(HistoryReader::lastUpdate(path(dir.path())), 0);
}

void TestRrdHeader::committedSeeds()
{
    // Every committed fuzz seed but the sound ones is a damage the check must refuse.
    const QDir seeds(QStringLiteral(OSTRALINE_RRDHEADER_SEEDS));
    const QStringList names = seeds.entryList(QDir::Files);
    QVERIFY(names.size() >= 150);
    for (const QString &name : names) {
        QFile file(seeds.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray seed = file.readAll();
        QVERIFY(seed.size() >= 8);
        qint64 size = 0;
        std::memcpy(&size, seed.constData(), 8);
        const QString reason = RrdHeader::check(seed.sliced(8), size);
        if (name.startsWith(u"valid-"_s))
            QVERIFY2(reason.isEmpty(), qPrintable(name + u": "_s + reason));
        else
            QVERIFY2(!reason.isEmpty(), qPrintable(name));
    }
}

void TestRrdHeader::damagedFileSetAside()
{
    // A file with a step of 0, which librrd divides by at the first update: set aside under
    // a new name, reported once by name, and a new file started.
    QTemporaryDir dir;
    QByteArray file = storeFile(dir.path());
    const quint64 zero = 0;
    file.replace(40, 8, QByteArray(reinterpret_cast<const char *>(&zero), 8));
    const QString damaged = path(dir.path());
    writeFile(damaged, file);

    QStringList reports;
    const auto previous = ErrorReport::setHandler([&](const QString &m) { reports.append(m); });
    {
        HistoryStore store(dir.path());
        QStringList failures;
        connect(&store, &HistoryStore::written, this,
                [&](const PollResult &, const QStringList &f) { failures += f; });
        store.onPollFinished(poll(T0 + 600, 6, {reading(0, 0, InterfaceReading::Outcome::First)}));
        store.onPollFinished(poll(T0 + 606, 6, {reading(1000, 500)}));
        store.flush();
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }
    ErrorReport::setHandler(previous);
    QCOMPARE(reports.size(), 1);
    QVERIFY2(reports.first().contains(damaged) && reports.first().contains(u"step of 0 s"_s) &&
                 reports.first().contains(damaged + u".damaged"_s),
             qPrintable(reports.first()));
    QFile aside(damaged + u".damaged"_s);
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), file); // kept as it was
    QString error;
    const HistorySeries s = HistoryReader::fetch(damaged, T0 + 600, T0 + 606, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(s.inAverage.value((T0 + 606 - s.start) / s.step - 1), 8000.0);
    // The window lists the interface once: the damaged file is not a history file.
    QCOMPARE(HistoryReader::list(dir.path()).size(), 1);
}

void TestRrdHeader::setAsideNeverReplaces()
{
    QTemporaryDir dir;
    const QString damaged = path(dir.path());
    writeFile(damaged + u".damaged"_s, "first");
    writeFile(damaged + u".2.damaged"_s, "second");
    writeFile(damaged, "third");
    HistoryWriter writer(dir.path());
    QVERIFY(writer.write(poll(T0, 6, {reading(1, 1)})).isEmpty());
    const QStringList notices = writer.takeNotices();
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices.first().contains(damaged + u".3.damaged"_s), qPrintable(notices.first()));
    QVERIFY(writer.takeNotices().isEmpty());
    for (const auto &[name, text] : {std::pair(u".damaged"_s, QByteArray("first")),
                                     std::pair(u".2.damaged"_s, QByteArray("second")),
                                     std::pair(u".3.damaged"_s, QByteArray("third"))}) {
        QFile f(damaged + name);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), text);
    }
    QString reason;
    QCOMPARE(RrdHeader::checkFile(damaged, &reason), RrdHeader::Verdict::Good);
}

QTEST_GUILESS_MAIN(TestRrdHeader)
#include "tst_rrdheader.moc"
