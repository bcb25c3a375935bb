#include "BitRateText.h"
#include "HistoryFileName.h"
#include "HistoryFixture.h"
#include "HistoryGraph.h"
#include "HistoryLoader.h"
#include "HistoryStatistics.h"
#include "HistoryWindow.h"
#include "HistoryWriter.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <ctime>

using namespace HistoryFixture;
using namespace Qt::StringLiterals;

// The history window offscreen, on files written by the store's writer.
class TestHistoryWindow : public QObject
{
    Q_OBJECT

private:
    // Polls every 60 s from T0 to T0 + 6000 (twenty 5-minute intervals), octets/s by minute.
    static void writeMinutes(const QString &folder, const std::function<double(int)> &rate)
    {
        HistoryWriter writer(folder);
        writer.write(poll(T0, 60, {reading(0, 0, InterfaceReading::Outcome::First)}));
        for (int m = 1; m <= 100; ++m)
            writer.write(poll(T0 + 60 * m, 60, {reading(rate(m), rate(m) / 2)}));
    }
    // Waits until the window has shown every read it asked for (reads run on another thread).
    static bool settled(HistoryWindow &window)
    {
        return QTest::qWaitFor([&] { return !window.isReading(); }, 5000);
    }
    // Columns of the graph's picture that hold a pixel of the input colour.
    static QList<int> inColumns(HistoryGraph &graph)
    {
        const QImage image = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QList<int> columns;
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height(); ++y) {
                const QColor c = image.pixelColor(x, y);
                if (c.green() > 110 && c.red() < 90 && c.blue() < 90) {
                    columns.append(x);
                    break;
                }
            }
        }
        return columns;
    }

private Q_SLOTS:
    void initTestCase();
    void seriesAndGap_data();
    void seriesAndGap();
    void percentile95_data();
    void percentile95();
    void coarseArchivePercentile();
    void zoomAndPanByEvents();
    void followsNewestPoll();
    void csvBytes();
    void listsInterfacesWithHistory();
    void slowDiskNeverHoldsTheWindow();
};

void TestHistoryWindow::initTestCase()
{
    qputenv("TZ", "UTC");
    ::tzset();
}

void TestHistoryWindow::seriesAndGap_data()
{
    QTest::addColumn<int>("polls");    // every 6 s from T0
    QTest::addColumn<int>("gapFirst"); // polls gapFirst..gapLast are missing
    QTest::addColumn<int>("gapLast");
    // fewer samples than pixels: steps; more: a stroke per pixel column
    QTest::newRow("steps") << 100 << 41 << 60;
    QTest::newRow("columns") << 2000 << 1000 << 1100;
}

void TestHistoryWindow::seriesAndGap()
{
    QFETCH(int, polls);
    QFETCH(int, gapFirst);
    QFETCH(int, gapLast);
    QTemporaryDir dir;
    {
        HistoryWriter writer(dir.path());
        writer.write(poll(T0, 6, {reading(0, 0, InterfaceReading::Outcome::First)}));
        for (int k = 1; k <= polls; ++k) {
            if (k >= gapFirst && k <= gapLast)
                continue;
            writer.write(poll(T0 + 6 * k, 6, {reading(1000000, 400000)}));
        }
    }
    HistoryWindow window(dir.path());
    window.resize(900, 500);
    window.show();
    window.showInterface(Address, IfIndex);
    window.setRange(T0, T0 + 6 * polls);
    QVERIFY(settled(window));
    const HistorySeries &s = window.graph()->series();
    QCOMPARE(s.step, 6);
    QCOMPARE(s.inAverage[(T0 + 60 - s.start) / 6 - 1], 8000000.0); // bit/s
    QCOMPARE(s.outAverage[(T0 + 60 - s.start) / 6 - 1], 3200000.0);
    QVERIFY(std::isnan(s.inAverage[(T0 + 6 * (gapFirst + 5) - s.start) / 6 - 1]));

    HistoryGraph &graph = *window.graph();
    const QList<int> columns = inColumns(graph);
    const int gapFrom = qCeil(graph.xOf(T0 + 6 * gapFirst)) + 2;
    const int gapTo = qFloor(graph.xOf(T0 + 6 * gapLast)) - 2;
    QVERIFY(gapTo > gapFrom + 5);
    QVERIFY(columns.contains(qRound(graph.xOf(T0 + 6 * (gapFirst / 2)))));
    QVERIFY(columns.contains(qRound(graph.xOf(T0 + 6 * (gapLast + 20)))));
    for (int x = gapFrom; x <= gapTo; ++x)
        QVERIFY2(!columns.contains(x), qPrintable(QString::number(x)));
    // The read-out names the time and both values at the pointer; nothing known in the gap.
    if (polls == 100)
        QVERIFY(graph.readOut(graph.xOf(T0 + 57))
                    .startsWith(u"08:01:00  in 8 Mbit/s  out 3.2 Mbit/s"_s));
    QVERIFY(graph.readOut(graph.xOf(T0 + 6 * (gapFirst + 5) - 3)).contains(u"in unknown"_s));
}

void TestHistoryWindow::percentile95_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<double>("average"); // bit/s, input
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("percentile");
    // octets/s 1000 -> 8000 bit/s
    QTest::newRow("constant") << "constant" << 8000.0 << 8000.0 << 8000.0;
    // interval j (0..19) at (j + 1) * 1000 octets/s: rank 19 of 20
    QTest::newRow("ramp") << "ramp" << 84000.0 << 160000.0 << 152000.0;
    // one minute at 1000 times the rate: the 95th ignores it, the maximum does not
    QTest::newRow("single spike") << "spike" << (99 * 8000.0 + 8000000.0) / 100 << 8000000.0
                                  << 8000.0;
}

void TestHistoryWindow::percentile95()
{
    QFETCH(QString, shape);
    QFETCH(double, average);
    QFETCH(double, maximum);
    QFETCH(double, percentile);
    QTemporaryDir dir;
    writeMinutes(dir.path(), [&](int m) {
        if (shape == u"ramp")
            return 1000.0 * ((m - 1) / 5 + 1);
        if (shape == u"spike")
            return m == 37 ? 1000000.0 : 1000.0;
        return 1000.0;
    });
    HistoryWindow window(dir.path());
    window.showInterface(Address, IfIndex);
    window.setRange(T0, T0 + 6000);
    QVERIFY(settled(window));
    const HistoryStatistics s =
        HistoryStatisticsCalc::compute(window.graph()->series(), T0, T0 + 6000);
    QCOMPARE(s.in.average, average);
    QCOMPARE(s.in.maximum, maximum);
    QCOMPARE(s.in.percentile95, percentile);
    QCOMPARE(s.out.percentile95, percentile / 2);
    QVERIFY2(
        window.statisticsText().contains(u"95th percentile "_s + BitRateText::format(percentile)),
        qPrintable(window.statisticsText()));
}

void TestHistoryWindow::coarseArchivePercentile()
{
    // Hourly samples (a year's archive): each sample counts as one interval.
    HistorySeries s;
    s.start = T0;
    s.step = 3600;
    for (int i = 0; i < 40; ++i) {
        s.inAverage.append(i < 38 ? 100.0 : 5000.0);
        s.outAverage.append(HistorySeries::Unknown);
    }
    QCOMPARE(HistoryStatisticsCalc::percentile95(s.inAverage, s.start, s.step, T0, T0 + 40 * 3600),
             100.0);
    QVERIFY(std::isnan(
        HistoryStatisticsCalc::percentile95(s.outAverage, s.start, s.step, T0, T0 + 40 * 3600)));
}

void TestHistoryWindow::zoomAndPanByEvents()
{
    QTemporaryDir dir;
    writeMinutes(dir.path(), [](int) { return 1000.0; });
    HistoryWindow window(dir.path());
    window.resize(900, 500);
    window.show();
    window.showInterface(Address, IfIndex);
    window.setRange(T0, T0 + 6000);
    QVERIFY(settled(window));
    HistoryGraph &graph = *window.graph();
    QSignalSpy views(&graph, &HistoryGraph::viewChanged);

    // Wheel up at a quarter of the plot: the time under the pointer stays put, the span shrinks.
    const double x = graph.plotArea().left() + graph.plotArea().width() / 4;
    const double pointerTime = graph.timeAt(x);
    QWheelEvent wheel(QPointF(x, 100), graph.mapToGlobal(QPointF(x, 100)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&graph, &wheel);
    QCOMPARE(graph.viewTo() - graph.viewFrom(), 4800);
    QVERIFY(std::fabs(graph.timeAt(x) - pointerTime) <= 1);
    QCOMPARE(views.size(), 1);

    // A drag to the right by a tenth of the plot shows earlier time by a tenth of the span.
    const std::int64_t from = graph.viewFrom();
    const int y = 100, x0 = 400, dx = qRound(graph.plotArea().width() / 10);
    QTest::mousePress(&graph, Qt::LeftButton, Qt::NoModifier, QPoint(x0, y));
    QTest::mouseMove(&graph, QPoint(x0 + dx, y));
    QTest::mouseRelease(&graph, Qt::LeftButton, Qt::NoModifier, QPoint(x0 + dx, y));
    QVERIFY(std::llabs(graph.viewFrom() - (from - 480)) <= 10);
    QCOMPARE(graph.viewTo() - graph.viewFrom(), 4800);
    // The file is read again for the new view.
    QVERIFY(settled(window));
    QVERIFY(graph.series().start <= graph.viewFrom());

    // Keys: + halves, - doubles, arrows pan by a tenth, Home ends at the newest poll.
    graph.setFocus();
    QTest::keyClick(&graph, Qt::Key_Plus);
    QCOMPARE(graph.viewTo() - graph.viewFrom(), 2400);
    QTest::keyClick(&graph, Qt::Key_Minus);
    QTest::keyClick(&graph, Qt::Key_Minus);
    QCOMPARE(graph.viewTo() - graph.viewFrom(), 9600);
    const std::int64_t before = graph.viewFrom();
    QTest::keyClick(&graph, Qt::Key_Right);
    QCOMPARE(graph.viewFrom(), before + 960);
    QTest::keyClick(&graph, Qt::Key_Home);
    QCOMPARE(graph.viewTo(), T0 + 6000);

    // A wheel far out stops at the longest span; a double-click goes back to the chosen range.
    for (int i = 0; i < 80; ++i) {
        QWheelEvent out(QPointF(x, 100), graph.mapToGlobal(QPointF(x, 100)), QPoint(),
                        QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&graph, &out);
    }
    QCOMPARE(graph.viewTo() - graph.viewFrom(), HistoryGraph::MaximumSpan);
    QTest::mouseDClick(&graph, Qt::LeftButton, Qt::NoModifier, QPoint(x0, y));
    QCOMPARE(graph.viewFrom(), T0);
    QCOMPARE(graph.viewTo(), T0 + 6000);
}

void TestHistoryWindow::followsNewestPoll()
{
    QTemporaryDir dir;
    HistoryWriter writer(dir.path());
    writeRamp(writer, 0, 20);
    HistoryWindow window(dir.path());
    window.showInterface(Address, IfIndex);
    window.setSpan(HistoryWindow::Hour);
    QVERIFY(settled(window));
    QCOMPARE(window.graph()->viewTo(), T0 + 120); // the newest poll of the file
    const PollResult next = poll(T0 + 126, 6, {reading(9999, 1)});
    writer.write(next);
    window.onPollWritten(next);
    QVERIFY(settled(window));
    QCOMPARE(window.graph()->viewTo(), T0 + 126);
    QCOMPARE(window.graph()->viewFrom(), T0 + 126 - 3600);
    const HistorySeries &s = window.graph()->series();
    QCOMPARE(s.inAverage[(T0 + 126 - s.start) / s.step - 1], 9999.0 * 8);

    // "now" inside the view (zoomed about a point short of the edge): it moves along too.
    window.graph()->setView(T0 + 80, T0 + 140);
    const PollResult third = poll(T0 + 132, 6, {reading(7, 7)});
    writer.write(third);
    window.onPollWritten(third);
    QVERIFY(settled(window));
    QCOMPARE(window.graph()->viewFrom(), T0 + 86);
    QCOMPARE(window.graph()->viewTo(), T0 + 146);

    // Looking back, the view stays where it is.
    window.setRange(T0, T0 + 60);
    QVERIFY(settled(window));
    const PollResult later = poll(T0 + 138, 6, {reading(1, 1)});
    writer.write(later);
    window.onPollWritten(later);
    QVERIFY(settled(window));
    QCOMPARE(window.graph()->viewTo(), T0 + 60);
}

void TestHistoryWindow::csvBytes()
{
    QTemporaryDir dir;
    {
        HistoryWriter writer(dir.path());
        writer.write(poll(T0, 6, {reading(0, 0, InterfaceReading::Outcome::First)}));
        writer.write(poll(T0 + 6, 6, {reading(1250, 125.5)}));
        writer.write(poll(T0 + 12, 6, {reading(0, 0, InterfaceReading::Outcome::Failed)}));
        writer.write(poll(T0 + 18, 6, {reading(1, 0)}));
    }
    HistoryWindow window(dir.path());
    window.showInterface(Address, IfIndex);
    window.setRange(T0, T0 + 60);
    QVERIFY(settled(window));
    const QByteArray bytes = window.csvBytes();
    QVERIFY2(bytes.startsWith("time,in bit/s,out bit/s\n"
                              "2027-01-15T08:00:06Z,10000,1004\n"
                              "2027-01-15T08:00:12Z,,\n"
                              "2027-01-15T08:00:18Z,8,0\n"
                              "2027-01-15T08:00:24Z,,\n"),
             bytes.constData());
    QCOMPARE(bytes.count('\n'), 11);
    QVERIFY(!bytes.contains('\r'));
    QTemporaryDir out;
    QString error;
    QVERIFY(window.saveCsv(out.path() + u"/h.csv"_s, &error));
    QFile file(out.path() + u"/h.csv"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    QVERIFY(window.savePng(out.path() + u"/h.png"_s));
    QVERIFY(!QImage(out.path() + u"/h.png"_s).isNull());
    QVERIFY(!window.saveCsv(out.path() + u"/missing/h.csv"_s, &error));
    QVERIFY(!error.isEmpty());
}

void TestHistoryWindow::listsInterfacesWithHistory()
{
    QTemporaryDir dir;
    {
        HistoryWriter writer(dir.path());
        InterfaceReading old = reading(1, 1);
        old.address = u"[::1]:1161"_s;
        old.ifIndex = u"9"_s;
        writer.write(poll(T0, 6, {reading(1, 1), old}));
    }
    HistoryWindow window(dir.path());
    InterfaceReading loaded = reading(1, 1);
    InterfaceReading fresh = reading(1, 1);
    fresh.ifIndex = u"5"_s;
    fresh.description = u"new port"_s;
    window.setLoaded({loaded, fresh});
    QVERIFY(settled(window));
    auto *list = window.findChild<QComboBox *>();
    QVERIFY(list);
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->itemText(i));
    QCOMPARE(items, QStringList({u"uplink (127.0.0.1:1161, ifIndex 2)"_s,
                                 u"new port (127.0.0.1:1161, ifIndex 5)"_s,
                                 u"[::1]:1161, ifIndex 9 (not loaded)"_s}));
    // An interface without a file yet: no history, and no error.
    window.showInterface(Address, u"5"_s);
    QVERIFY(settled(window));
    QStringList texts;
    for (const QLabel *label : window.findChildren<QLabel *>())
        texts.append(label->text());
    QVERIFY2(texts.contains(u"No history for this interface yet."_s), qPrintable(texts.join(u'|')));
}

void TestHistoryWindow::slowDiskNeverHoldsTheWindow()
{
    QTemporaryDir dir;
    writeMinutes(dir.path(), [](int) { return 1000.0; });
    // The reading thread stands still, like a disk that does not answer, until released.
    QSemaphore release;
    QThread disk;
    QObject stuck;
    stuck.moveToThread(&disk);
    disk.start();
    const auto end = qScopeGuard([&] {
        release.release();
        disk.quit();
        disk.wait();
    });
    QMetaObject::invokeMethod(&stuck, [&] { release.acquire(); });
    HistoryLoader loader(dir.path(), &disk);
    QSignalSpy answers(&loader, &HistoryLoader::answered);
    QElapsedTimer clock;
    clock.start();
    {
        HistoryWindow window(loader);
        window.show();
        window.showInterface(Address, IfIndex);
        for (int k = 1; k <= 20; ++k) // polls go on meanwhile
            window.onPollWritten(poll(T0 + 6000 + 6 * k, 6, {reading(1, 1)}));
        window.setRange(T0, T0 + 6000);
        QVERIFY(clock.elapsed() < 500);
        QVERIFY(window.isReading());
        const auto text = [&] {
            for (QLabel *label : window.findChildren<QLabel *>()) {
                if (label->text() == HistoryWindow::ReadingText ||
                    label->text() == HistoryWindow::SilentText)
                    return label->text();
            }
            return QString();
        };
        QCOMPARE(text(), HistoryWindow::ReadingText.toString());
        QTRY_COMPARE_WITH_TIMEOUT(text(), HistoryWindow::SilentText.toString(),
                                  HistoryWindow::SilentAfterMs + 1000);
        QVERIFY(clock.elapsed() >= HistoryWindow::SilentAfterMs);

        // The disk answers: the newest request is read, the ones between were never asked.
        release.release();
        QVERIFY(settled(window));
        QCOMPARE(text(), QString());
        QCOMPARE(window.graph()->viewFrom(), T0);
        QCOMPARE(window.graph()->series().inAverage.value(10), 8000.0);
        QCOMPARE(answers.size(), 2);
    }
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
