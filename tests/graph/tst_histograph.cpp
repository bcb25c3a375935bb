#include "Histograph.h"

#include <QTest>

#include <climits>

namespace
{

const QRgb Black = qRgb(0, 0, 0);
const QRgb Silver = qRgb(192, 192, 192);
const QRgb Red = qRgb(255, 0, 0);
const QRgb Lime = qRgb(0, 255, 0);
const QRgb Yellow = qRgb(255, 255, 0);
const QRgb Fuchsia = qRgb(255, 0, 255);

QRgb at(const QImage &image, int x, int y)
{
    return image.pixel(x, y) | 0xFF000000u;
}

// Pixels of `colour` in column x counted upwards from the bottom row until another colour.
int litFromBottom(const QImage &image, int x, QRgb colour)
{
    int n = 0;
    for (int y = image.height() - 1; y >= 0 && at(image, x, y) == colour; --y)
        ++n;
    return n;
}

QList<int> gridRows(const QImage &image, int x)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        if (at(image, x, y) == Silver)
            rows << y;
    }
    return rows;
}

QList<int> gridColumns(const QImage &image, int y)
{
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        if (at(image, x, y) == Silver)
            columns << x;
    }
    return columns;
}

// A stopped 250 x 80 graph without grid lines near the right edge, as the board uses them.
struct BoardGraph {
    THistograph graph;
    BoardGraph()
    {
        graph.setActive(false);
        graph.resize(250, 80);
        graph.setInterval(6);
        graph.setHorizLinesInterval(0);
    }
    void tick(int value)
    {
        graph.setValue(value);
        graph.TimerTick();
    }
    void tick(int value, int second)
    {
        graph.setSecondValue(second);
        tick(value);
    }
};

// Rows of column x in `colour`.
QList<int> rowsOf(const QImage &image, int x, QRgb colour)
{
    QList<int> rows;
    for (int y = 0; y < image.height(); ++y) {
        if (at(image, x, y) == colour)
            rows << y;
    }
    return rows;
}

} // namespace

class TestHistograph : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newControlShowsBackgroundAndGridOnly()
    {
        THistograph graph;
        QCOMPARE(graph.size(), QSize(200, 100));
        QCOMPARE(graph.Value(), 50);
        QCOMPARE(graph.Interval(), 2);
        QVERIFY(graph.SampleTimer().isActive());
        QCOMPARE(graph.SampleTimer().interval(), 2000);
        QVERIFY(graph.testAttribute(Qt::WA_OpaquePaintEvent));
        for (int p = 1; p <= THistograph::HistorySize; ++p)
            QCOMPARE(graph.History(p), 0);

        const QImage frame = graph.renderFrame();
        QCOMPARE(frame.size(), QSize(200, 100));
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                const QRgb p = at(frame, x, y);
                QVERIFY2(p == Black || p == Silver, qPrintable(QString::number(x)));
            }
        }
        // The widget paints exactly the composed frame.
        QCOMPARE(graph.grab().toImage().convertToFormat(QImage::Format_RGB32),
                 frame.convertToFormat(QImage::Format_RGB32));
    }

    void horizontalGridRows_data()
    {
        QTest::addColumn<int>("minValue");
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("0..100 every 10")
            << 0 << 100 << 10 << QList<int>{0, 8, 16, 24, 32, 40, 48, 56, 64, 72};
        QTest::newRow("0..50 every 10") << 0 << 50 << 10 << QList<int>{0, 16, 32, 48, 64};
        QTest::newRow("0..10 every 2") << 0 << 10 << 2 << QList<int>{0, 16, 32, 48, 64};
        QTest::newRow("-50..50 every 25") << -50 << 50 << 25 << QList<int>{0, 20, 40, 60};
        QTest::newRow("range not a multiple") << 0 << 100 << 30 << QList<int>{8, 32, 56};
        QTest::newRow("interval 0 draws none") << 0 << 100 << 0 << QList<int>{};
        QTest::newRow("negative interval draws none") << 0 << 100 << -10 << QList<int>{};
        QTest::newRow("empty range draws none") << 40 << 40 << 10 << QList<int>{};
        QList<int> all;
        for (int y = 0; y < 80; ++y)
            all << y;
        QTest::newRow("full int range lights every row") << INT_MIN << INT_MAX << 1 << all;
    }
    void horizontalGridRows()
    {
        QFETCH(int, minValue);
        QFETCH(int, maxValue);
        QFETCH(int, interval);
        QFETCH(QList<int>, rows);
        THistograph graph;
        graph.setActive(false);
        graph.resize(250, 80);
        graph.setMaxValue(maxValue);
        graph.setMinValue(minValue);
        graph.setMaxValue(maxValue);
        graph.setHorizLinesInterval(interval);
        QCOMPARE(graph.MinValue(), minValue);
        QCOMPARE(graph.MaxValue(), maxValue);
        // Column 0 carries no vertical line (those stand at 190, 130, 70, 10) and no bar (bars
        // of the history, which keeps 0 when MinValue changes, stand in odd columns).
        QCOMPARE(gridRows(graph.renderFrame(), 0), rows);
    }

    void verticalGridColumns_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("vertInterval");
        QTest::addColumn<QList<int>>("columns");
        QList<int> everyTwenty;
        for (int x = 230; x >= 0; x -= 20)
            everyTwenty.prepend(x);
        QTest::newRow("interval 6, every 60 s") << 6 << 60 << everyTwenty;
        QTest::newRow("default interval 2, every 60 s") << 2 << 60 << QList<int>{10, 70, 130, 190};
        // Interval raised above VertLinesInterval: step 0, no vertical lines and no hang.
        QTest::newRow("interval above vertical interval") << 61 << 60 << QList<int>{};
    }
    void verticalGridColumns()
    {
        QFETCH(int, interval);
        QFETCH(int, vertInterval);
        QFETCH(QList<int>, columns);
        THistograph graph;
        graph.setActive(false);
        graph.resize(250, 80);
        graph.setHorizLinesInterval(0);
        graph.setVertLinesInterval(vertInterval);
        graph.setInterval(interval);
        const QImage frame = graph.renderFrame();
        QCOMPARE(gridColumns(frame, 0), columns);
        QCOMPARE(gridColumns(frame, 79), columns);
    }

    void barHeights_data()
    {
        QTest::addColumn<int>("maxValue");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("lit");
        QTest::newRow("50 of 100 is 40 px") << 100 << 50 << 40;
        QTest::newRow("100 of 100 fills the height") << 100 << 100 << 80;
        QTest::newRow("25 of 10 is clipped at the top") << 10 << 25 << 80;
        QTest::newRow("0 draws nothing") << 100 << 0 << 0;
        QTest::newRow("negative lights the bottom pixel") << 100 << -5 << 1;
        QTest::newRow("0.8 px rounds to 1") << 100 << 1 << 1;
        QTest::newRow("half rounds to even: 0.5 -> 0") << 160 << 1 << 0;
        QTest::newRow("half rounds to even: 1.5 -> 2") << 160 << 3 << 2;
        QTest::newRow("half rounds to even: 2.5 -> 2") << 160 << 5 << 2;
        QTest::newRow("empty range draws nothing") << 0 << 50 << 0;
    }
    void barHeights()
    {
        QFETCH(int, maxValue);
        QFETCH(int, value);
        QFETCH(int, lit);
        BoardGraph g;
        g.graph.setMaxValue(maxValue);
        g.graph.setLowValue(INT_MIN);
        g.graph.setHighValue(INT_MAX); // every bar in the normal colour
        g.tick(value);
        const QImage frame = g.graph.renderFrame();
        QCOMPARE(litFromBottom(frame, 249, Lime), lit);
        QCOMPARE(litFromBottom(frame, 248, Lime), 0); // one-pixel bars leave a gap
        if (lit < 80)
            QCOMPARE(at(frame, 249, 79 - lit), Black);
    }

    void barColours_data()
    {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("value");
        QTest::addColumn<QRgb>("colour");
        QTest::newRow("30 at low threshold") << 30 << 70 << 30 << Yellow;
        QTest::newRow("31 normal") << 30 << 70 << 31 << Lime;
        QTest::newRow("69 normal") << 30 << 70 << 69 << Lime;
        QTest::newRow("70 at high threshold") << 30 << 70 << 70 << Red;
        QTest::newRow("high below low: low wins") << 50 << 20 << 40 << Yellow;
        QTest::newRow("high below low: above both") << 50 << 20 << 60 << Red;
    }
    void barColours()
    {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, value);
        QFETCH(QRgb, colour);
        BoardGraph g;
        g.graph.setLowValue(low);
        g.graph.setHighValue(high);
        g.tick(value);
        QCOMPARE(at(g.graph.renderFrame(), 249, 79), colour);
        QCOMPARE(g.graph.GetBarColor(value).rgb(), colour);
    }

    void tickShiftsByTwoPixels()
    {
        BoardGraph g;
        g.tick(50);
        g.graph.setValue(20);
        const QImage before = g.graph.renderFrame();
        g.graph.setValue(90); // only the last value before a tick counts
        QCOMPARE(g.graph.renderFrame(), before);
        g.tick(25);
        QCOMPARE(g.graph.History(1), 25);
        QCOMPARE(g.graph.History(2), 50);
        QCOMPARE(g.graph.History(3), 0);
        const QImage after = g.graph.renderFrame();
        QCOMPARE(litFromBottom(after, 249, Lime), 20);
        QCOMPARE(litFromBottom(after, 247, Lime), 40);
        for (int x = 0; x + 2 < 250; ++x) {
            if (x % 20 == 10 || x % 20 == 8) // vertical grid lines do not move
                continue;
            for (int y = 0; y < 80; ++y)
                QCOMPARE(at(after, x, y), at(before, x + 2, y));
        }
    }

    // The per-tick scroll must give the same picture as drawing all bars from the history.
    void scrolledPictureMatchesFullRedraw_data()
    {
        QTest::addColumn<bool>("transparent");
        QTest::newRow("one-pixel bars") << true;
        QTest::newRow("solid bars") << false;
    }
    void scrolledPictureMatchesFullRedraw()
    {
        QFETCH(bool, transparent);
        BoardGraph g;
        g.graph.setTransparent(transparent);
        g.graph.setHighValue(70);
        g.graph.setLowValue(30);
        for (int i = 0; i < 140; ++i)
            g.tick((i * 37) % 130 - 10);
        const QImage scrolled = g.graph.renderFrame();
        g.graph.setGraphHighColor(Qt::blue);
        g.graph.setGraphHighColor(Qt::red); // redraws every bar from the history
        QCOMPARE(g.graph.renderFrame(), scrolled);
    }

    void solidBarsFillBothColumns()
    {
        BoardGraph g;
        g.graph.setTransparent(false);
        for (int i = 0; i < 10; ++i)
            g.tick(50);
        const QImage frame = g.graph.renderFrame();
        for (int x = 230; x < 250; ++x)
            QCOMPARE(litFromBottom(frame, x, Lime), 40);
        QCOMPARE(litFromBottom(frame, 229, Lime), 0);
    }

    // Bars lie over the grid with the background as colour key: grid rows show in the gaps.
    void gridShowsBetweenBars()
    {
        BoardGraph g;
        g.graph.setHorizLinesInterval(10);
        g.tick(100);
        g.tick(100);
        const QImage frame = g.graph.renderFrame();
        QCOMPARE(at(frame, 249, 72), Red);
        QCOMPARE(at(frame, 248, 72), Silver);
        QCOMPARE(at(frame, 248, 71), Black);
        // A bar in the background colour is invisible.
        g.graph.setGraphHighColor(Qt::black);
        QCOMPARE(at(g.graph.renderFrame(), 249, 72), Silver);
        QCOMPARE(at(g.graph.renderFrame(), 249, 71), Black);
    }

    void setterGuards()
    {
        THistograph graph;
        graph.setActive(false);
        graph.setInterval(6);
        QCOMPARE(graph.SampleTimer().interval(), 6000);
        graph.setVertLinesInterval(65);
        QCOMPARE(graph.VertLinesInterval(), 60);
        graph.setVertLinesInterval(5);
        QCOMPARE(graph.VertLinesInterval(), 60);
        graph.setVertLinesInterval(6);
        QCOMPARE(graph.VertLinesInterval(), 6);

        graph.setInterval(0);
        graph.setInterval(-3);
        QCOMPARE(graph.Interval(), 6);
        QCOMPARE(graph.SampleTimer().interval(), 6000);
        graph.setInterval(INT_MAX);
        QCOMPARE(graph.SampleTimer().interval(), INT_MAX);

        graph.setMinValue(10);
        graph.setMaxValue(9);
        QCOMPARE(graph.MaxValue(), 100);
        graph.setMinValue(101);
        QCOMPARE(graph.MinValue(), 10);
        graph.setMaxValue(10); // an empty range is allowed
        QCOMPARE(graph.MaxValue(), 10);
        const QImage frame = graph.renderFrame(); // and draws without dividing by zero
        QCOMPARE(frame.size(), QSize(200, 100));
    }

    void resizeRebuildsFromHistory()
    {
        BoardGraph g;
        for (int v : {10, 20, 50})
            g.tick(v);
        g.graph.resize(120, 40);
        QImage frame = g.graph.renderFrame();
        QCOMPARE(frame.size(), QSize(120, 40));
        QCOMPARE(litFromBottom(frame, 119, Lime), 20);
        QCOMPARE(litFromBottom(frame, 117, Yellow), 8);
        QCOMPARE(litFromBottom(frame, 115, Yellow), 4);
        g.tick(100); // a tick before the next paint scrolls the new layers
        g.graph.resize(250, 80);
        frame = g.graph.renderFrame();
        QCOMPARE(litFromBottom(frame, 249, Red), 80);
        QCOMPARE(litFromBottom(frame, 247, Lime), 40);
        QCOMPARE(litFromBottom(frame, 245, Yellow), 16);
        QCOMPARE(litFromBottom(frame, 243, Yellow), 8);
    }

    void clearEmptiesHistory()
    {
        BoardGraph g;
        g.graph.setMinValue(-20);
        g.tick(60);
        g.graph.Clear();
        QCOMPARE(g.graph.History(1), -20);
        QCOMPARE(litFromBottom(g.graph.renderFrame(), 249, Lime), 0);
    }

    void activeRunsTheTimer()
    {
        THistograph graph;
        graph.setActive(false);
        QVERIFY(!graph.SampleTimer().isActive());
        graph.setInterval(1);
        QVERIFY(!graph.SampleTimer().isActive());
        graph.setValue(77);
        graph.setActive(true);
        QVERIFY(graph.SampleTimer().isActive());
        QCOMPARE(graph.SampleTimer().interval(), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(graph.History(1), 77, 3000);
        graph.setActive(false);
        QVERIFY(!graph.SampleTimer().isActive());
        QCOMPARE(graph.History(2), 0); // history kept while stopped
    }

    // The second series is a line over the bars on the bars' scale: its point is the top
    // pixel a bar of the same value lights, and the column between two samples joins them.
    void secondSeriesLineOverBars()
    {
        BoardGraph g;
        g.graph.setSecondSeries(true);
        QCOMPARE(g.graph.SecondColor().rgb(), Fuchsia);
        const QImage empty = g.graph.renderFrame();
        QCOMPARE(rowsOf(empty, 249, Fuchsia), QList<int>()); // an empty history: no line

        g.tick(50, 20); // bar of 40 pixels (rows 40..79), point at 16 pixels (row 64)
        QImage frame = g.graph.renderFrame();
        QCOMPARE(rowsOf(frame, 249, Fuchsia), QList<int>{64});
        QCOMPARE(litFromBottom(frame, 249, Lime), 15); // the bar under the line
        QCOMPARE(at(frame, 249, 63), Lime);            // and above it
        // The join to the older, empty sample runs down to the bottom row.
        QCOMPARE(rowsOf(frame, 248, Fuchsia).size(), 80 - 64);
        QCOMPARE(rowsOf(frame, 248, Fuchsia).first(), 64);

        g.tick(10, 100); // line at the top row, over a low bar
        g.tick(0, 150);  // above the maximum: clipped to the top row
        frame = g.graph.renderFrame();
        QCOMPARE(rowsOf(frame, 249, Fuchsia), QList<int>{0});
        QCOMPARE(rowsOf(frame, 248, Fuchsia), QList<int>{0});
        QCOMPARE(rowsOf(frame, 247, Fuchsia), QList<int>{0});
        QCOMPARE(litFromBottom(frame, 247, Yellow), 8);
        QCOMPARE(rowsOf(frame, 246, Fuchsia).size(), 65); // rows 0..64
        QCOMPARE(rowsOf(frame, 245, Fuchsia), QList<int>{64});

        // A colour of its own; the line stays on top of the bars.
        g.graph.setSecondColor(Qt::white);
        frame = g.graph.renderFrame();
        QCOMPARE(at(frame, 245, 64), qRgb(255, 255, 255));
        QCOMPARE(rowsOf(frame, 245, Fuchsia), QList<int>());
    }

    // Both histories scroll at the same ticks; Clear and switching the series on or off
    // empty the second one.
    void secondSeriesScrollAndReset()
    {
        BoardGraph g;
        g.graph.setSecondSeries(true);
        for (int v : {30, 40, 60})
            g.tick(v, v / 2);
        QCOMPARE(g.graph.SecondHistory(1), 30);
        QCOMPARE(g.graph.SecondHistory(2), 20);
        QCOMPARE(g.graph.SecondHistory(3), 15);
        QCOMPARE(g.graph.History(1), 60);
        const QImage before = g.graph.renderFrame();
        g.graph.setSecondValue(90); // recorded by the next tick only
        QCOMPARE(g.graph.renderFrame(), before);
        g.tick(60, 90);
        const QImage after = g.graph.renderFrame();
        for (int x = 240; x + 2 < 249; ++x) // the older line moved two pixels left
            QCOMPARE(rowsOf(after, x, Fuchsia), rowsOf(before, x + 2, Fuchsia));
        QCOMPARE(rowsOf(after, 249, Fuchsia), QList<int>{80 - 72});

        g.graph.Clear();
        QCOMPARE(g.graph.SecondHistory(1), 0);
        QCOMPARE(rowsOf(g.graph.renderFrame(), 249, Fuchsia), QList<int>());

        g.tick(50, 50);
        g.graph.setSecondSeries(false);
        g.graph.setSecondSeries(true);
        QCOMPARE(g.graph.SecondHistory(1), 0);
        QCOMPARE(g.graph.History(1), 50); // the bars keep theirs
    }

    // With the series off, ticks and second values leave exactly the single-series picture,
    // and a line drawn before is gone.
    void secondSeriesOffDrawsAsBefore()
    {
        BoardGraph plain;
        BoardGraph two;
        two.graph.setSecondSeries(true);
        for (int i = 0; i < 40; ++i) {
            plain.tick((i * 29) % 110);
            two.tick((i * 29) % 110, (i * 17) % 100);
        }
        QVERIFY(two.graph.renderFrame() != plain.graph.renderFrame());
        two.graph.setSecondSeries(false);
        QCOMPARE(two.graph.renderFrame(), plain.graph.renderFrame());
        two.tick(40, 70);
        plain.tick(40);
        QCOMPARE(two.graph.renderFrame(), plain.graph.renderFrame());
        // The line follows a rescale like the bars.
        two.graph.setSecondSeries(true);
        two.tick(40, 5);
        two.graph.setMaxValue(10);
        QCOMPARE(rowsOf(two.graph.renderFrame(), 249, Fuchsia), QList<int>{40});
    }
};

QTEST_MAIN(TestHistograph)
#include "tst_histograph.moc"
