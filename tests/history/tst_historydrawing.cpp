#include "HistoryErrorsPanel.h"
#include "HistoryExportName.h"
#include "HistoryFixture.h"
#include "HistoryGraph.h"
#include "HistoryPicture.h"
#include "HistoryWindow.h"
#include "HistoryWriter.h"
#include "ValueAxis.h"

#include <QCheckBox>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <ctime>

using namespace HistoryFixture;
using namespace Qt::StringLiterals;

// What the history window draws beyond the traffic itself: the value axis fitted to the data,
// the errors panel, the saved picture with its title and legend, and the proposed file names.
class TestHistoryDrawing : public QObject
{
    Q_OBJECT

private:
    // An hour of polls every 60 s on a 1 Gbit/s link: 30 Mbit/s in, 10 Mbit/s out, and from
    // minute 30 on 50 input errors and 200 output discards per second.
    static void writeAccessPort(const QString &folder)
    {
        HistoryWriter writer(folder);
        for (int m = 0; m <= 60; ++m) {
            InterfaceReading r = reading(30e6 / 8, 10e6 / 8,
                                         m == 0 ? InterfaceReading::Outcome::First
                                                : InterfaceReading::Outcome::Good);
            r.bandwidth = 1000000000;
            r.description = u"Gi1/0/49"_s;
            if (m >= 30) {
                r.inErrorsDelta = 50 * 60;
                r.outErrorsDelta = 0;
                r.inDiscardsDelta = 0;
                r.outDiscardsDelta = 200 * 60;
            }
            writer.write(poll(T0 + 60 * m, 60, {r}));
        }
    }
    // The window on that port, showing T0 .. T0 + 3600 once its series arrived.
    static void open(HistoryWindow &window)
    {
        window.resize(1000, 620);
        window.show();
        window.showInterface(Address, IfIndex);
        window.setRange(T0, T0 + 3600);
        QTRY_VERIFY(!window.graph()->series().isEmpty());
    }
    static int pixelsOf(const QImage &image, const QRect &within, const QColor &colour)
    {
        int count = 0;
        const QRect r = within.intersected(image.rect());
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x)
                count += image.pixelColor(x, y) == colour;
        }
        return count;
    }

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        ::tzset();
    }

    void valueAxis_data()
    {
        QTest::addColumn<double>("highest");
        QTest::addColumn<double>("top");
        QTest::addColumn<double>("step");
        QTest::newRow("30 Mbit/s") << 30e6 << 35e6 << 5e6;
        QTest::newRow("just under a step") << 9.9e6 << 12e6 << 2e6;
        QTest::newRow("1 Gbit/s") << 1e9 << 1.2e9 << 0.2e9;
        QTest::newRow("coarse step fits best") << 3.9e6 << 5e6 << 1e6;
        QTest::newRow("small") << 0.3 << 0.35 << 0.05;
        QTest::newRow("nothing known") << double(NAN) << 1000.0 << 200.0;
        QTest::newRow("zero") << 0.0 << 1000.0 << 200.0;
    }
    void valueAxis()
    {
        QFETCH(double, highest);
        QFETCH(double, top);
        QFETCH(double, step);
        const ValueAxis axis = ValueAxis::fit(highest);
        QCOMPARE(axis.step, step);
        QCOMPARE(axis.top, top);
    }

    // A 30 Mbit/s port on a 1 Gbit/s link fills the plot; "Scale to bandwidth" brings the
    // bandwidth line back into range.
    void axisScalesToTraffic()
    {
        QTemporaryDir dir;
        writeAccessPort(dir.path());
        HistoryWindow window(dir.path());
        open(window);
        HistoryGraph &graph = *window.graph();
        QVERIFY2(graph.axisTop() >= 30e6 && graph.axisTop() < 50e6,
                 qPrintable(QString::number(graph.axisTop())));
        // The input line lies in the upper part of the plot, not along its floor.
        const QImage image = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRectF area = graph.plotArea();
        QVERIFY(pixelsOf(image, area.adjusted(0, 0, 0, -area.height() / 2).toRect(),
                         HistoryGraph::InColour) > 100);

        auto *toggle = window.findChild<QCheckBox *>(u"scaleToBandwidth"_s);
        QVERIFY(toggle);
        toggle->setChecked(true);
        QVERIFY(graph.axisTop() >= 1e9);
        toggle->setChecked(false);
        QVERIFY(graph.axisTop() < 50e6);
    }

    // Errors and discards come back from the file and are drawn under the traffic, on the
    // same time axis: nothing before minute 30, then the bursts.
    void errorsPanel()
    {
        QTemporaryDir dir;
        writeAccessPort(dir.path());
        HistoryWindow window(dir.path());
        open(window);
        HistoryGraph &graph = *window.graph();
        const HistorySeries &s = graph.series();
        const qsizetype late = (T0 + 45 * 60 - s.start) / s.step - 1;
        const qsizetype early = (T0 + 10 * 60 - s.start) / s.step - 1;
        QCOMPARE(s.inErrors.value(late), 50.0);
        QCOMPARE(s.outDiscards.value(late), 200.0);
        QVERIFY(std::isnan(s.inErrors.value(early)));
        QCOMPARE(HistoryErrorsPanel::highest(s, T0, T0 + 3600), 200.0);

        const QRectF errors = graph.errorsArea();
        QVERIFY(!errors.isEmpty());
        QVERIFY(errors.top() > graph.plotArea().bottom());
        QCOMPARE(errors.left(), graph.plotArea().left());
        QCOMPARE(errors.width(), graph.plotArea().width());
        const QImage image = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto inPanel = [&](double fromTime, double toTime, const QColor &colour) {
            const QRect band(QPoint(qCeil(graph.xOf(fromTime)), qFloor(errors.top()) + 1),
                             QPoint(qFloor(graph.xOf(toTime)), qFloor(errors.bottom()) - 1));
            return pixelsOf(image, band, colour);
        };
        QCOMPARE(inPanel(T0 + 60, T0 + 28 * 60, HistoryGraph::InErrorsColour), 0);
        QVERIFY(inPanel(T0 + 32 * 60, T0 + 58 * 60, HistoryGraph::InErrorsColour) > 20);
        QVERIFY(inPanel(T0 + 32 * 60, T0 + 58 * 60, HistoryGraph::OutDiscardsColour) > 20);

        // A zoom by the keyboard moves the panel with the traffic: the bursts start at the
        // same x in both.
        graph.setFocus();
        QTest::keyClick(&graph, Qt::Key_Plus);
        QTRY_COMPARE(graph.viewTo() - graph.viewFrom(), std::int64_t(1800));
        const QImage zoomed = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
        // The poll at minute 30 stamps the sample that ends there.
        const int burstX = qRound(graph.xOf(T0 + 29 * 60));
        const QRect before(QPoint(qFloor(errors.left()) + 1, qFloor(errors.top()) + 1),
                           QPoint(burstX - 4, qFloor(errors.bottom()) - 1));
        const QRect after(QPoint(burstX + 4, qFloor(errors.top()) + 1),
                          QPoint(qFloor(errors.right()) - 1, qFloor(errors.bottom()) - 1));
        QCOMPARE(pixelsOf(zoomed, before, HistoryGraph::InErrorsColour), 0);
        QVERIFY(pixelsOf(zoomed, after, HistoryGraph::InErrorsColour) > 20);
    }

    // The saved picture carries the title, the range with its dates and the legend; the
    // colour squares of the legend are in the saved file where the widget put them.
    void pictureTitleAndLegend()
    {
        QTemporaryDir dir;
        writeAccessPort(dir.path());
        HistoryWindow window(dir.path());
        InterfaceReading loaded = reading(0, 0);
        loaded.description = u"Gi1/0/49"_s;
        window.setLoaded({loaded});
        open(window);

        HistoryPicture picture(window.subject(), *window.graph());
        QCOMPARE(picture.titleText(), u"Gi1/0/49 (127.0.0.1:1161, ifIndex 2)"_s);
        QCOMPARE(picture.rangeText(), u"2027-01-15 08:00 to 2027-01-15 09:00 (UTC)"_s);
        const QStringList legend = picture.legendTexts();
        QCOMPARE(legend.size(), 3);
        QCOMPARE(legend[0].simplified(),
                 u"In last 30 Mbit/s average 30 Mbit/s maximum 30 Mbit/s 95th 30 Mbit/s"_s);
        QVERIFY(legend[1].startsWith(u"Out last 10 Mbit/s"_s));
        // The readings of both lines stand in the same columns.
        QCOMPARE(legend[0].indexOf(u"average"_s), legend[1].indexOf(u"average"_s));
        QCOMPARE(legend[2], u"Bandwidth 1 Gbit/s"_s);

        const QImage rendered = picture.image();
        QTemporaryDir out;
        const QString path = out.filePath(window.proposedName(u"png"_s));
        QVERIFY(path.endsWith(u"/127.0.0.1-1161_Gi1-0-49_2027-01-15.png"_s));
        QVERIFY(window.savePng(path));
        const QImage saved = QImage(path).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(saved.size(), rendered.size());
        QCOMPARE(saved.width(), HistoryPicture::PictureWidth);
        for (int direction : {0, 1}) {
            const QRect swatch = picture.swatchRect(direction);
            const QColor colour = direction == 0 ? HistoryGraph::InColour : HistoryGraph::OutColour;
            QCOMPARE(pixelsOf(saved, swatch, colour), swatch.width() * swatch.height());
        }
        // Both squares lie below the graph, in the legend.
        QVERIFY(picture.swatchRect(0).top() > HistoryPicture::GraphHeight);
        QCOMPARE(window.proposedName(u"csv"_s), u"127.0.0.1-1161_Gi1-0-49_2027-01-15.csv"_s);
    }

    void proposedNames_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("ifIndex");
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<QString>("name");
        const qint64 day = 1796860800; // 2026-12-10 00:00 UTC
        QTest::newRow("the example") << u"Gi1/0/49"_s << u"core-sw1"_s << u"49"_s << day + 8 * 3600
                                     << day + 9 * 3600 << u"core-sw1_Gi1-0-49_2026-12-10.png"_s;
        QTest::newRow("a day to midnight") << u"Gi1/0/49"_s << u"core-sw1"_s << u"49"_s << day
                                           << day + 86400 << u"core-sw1_Gi1-0-49_2026-12-10.png"_s;
        QTest::newRow("a week") << u"uplink"_s << u"10.0.0.1"_s << u"3"_s << day - 6 * 86400
                                << day + 3600 << u"10.0.0.1_uplink_2026-12-04_2026-12-10.png"_s;
        QTest::newRow("no description") << u""_s << u"[::1]:1161"_s << u"7"_s << day << day + 60
                                        << u"1-1161_ifIndex7_2026-12-10.png"_s;
        QTest::newRow("unsafe characters")
            << u"../..\\x:y*?\"<>| \t\nz"_s << u"/etc/passwd"_s << u"1"_s << day << day + 60
            << u"etc-passwd_x-y-z_2026-12-10.png"_s;
        QTest::newRow("hidden and empty") << u".profile"_s << u"..."_s << u"2"_s << day << day + 60
                                          << u"history_profile_2026-12-10.png"_s;
        QTest::newRow("letters beyond ASCII")
            << u"Übertragung_Süd"_s << u"sw-köln"_s << u"4"_s << day << day + 60
            << u"sw-köln_Übertragung-Süd_2026-12-10.png"_s;
    }
    void proposedNames()
    {
        QFETCH(QString, description);
        QFETCH(QString, address);
        QFETCH(QString, ifIndex);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(QString, name);
        QCOMPARE(HistoryExportName::propose(description, address, ifIndex, from, to, u"png"_s),
                 name);
    }
};

QTEST_MAIN(TestHistoryDrawing)
#include "tst_historydrawing.moc"
