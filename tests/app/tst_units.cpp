#include "GetStep.h"
#include "MainWindowFixture.h"

#include "FixedCellsModel.h"
#include "GraphBoard.h"
#include "Histograph.h"
#include "InterfaceTable.h"
#include "SettingsKeys.h"
#include "SnmpAgent.h"
#include "TransLabel.h"
#include "WindowPolling.h"

#include <QAction>
#include <QCheckBox>
#include <QFontMetrics>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

// The operator's units in the window: "In and out", "Rates in bit/s", the output line's
// colour and the graph tooltips, through the stored settings and against a loopback agent.
class TestUnits : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_agent;

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // The defaults stay the specified ones: combined, percent captions, no output line.
    void defaultsUnchanged()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        QCOMPARE(f.stored("values"), QStringLiteral("comb"));
        QCOMPARE(f.stored("rates in bits"), QStringLiteral("no"));
        QCOMPARE(f.stored("outlinecolor"), QStringLiteral("clFuchsia"));
        QVERIFY(w.RadioButton11->isChecked());
        QVERIFY(!w.action("InOut1")->isChecked());
        QVERIFY(!w.action("Ratesinbits1")->isChecked());
        for (int k = 1; k <= 20; ++k)
            QVERIFY(!w.board().slot(k).Graph->SecondSeries());
        QCOMPARE(w.board().slot(1).Graph->SecondColor(), QColor(255, 0, 255));
    }

    // Stored texts apply exactly; anything else leaves the specified default.
    void storedTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("applied");
        QTest::newRow("INOUT") << "values"
                               << "INOUT" << true;
        QTest::newRow("inout is no choice") << "values"
                                            << "inout" << false;
        QTest::newRow("IN OUT is no choice") << "values"
                                             << "IN OUT" << false;
        QTest::newRow("rates yes") << "rates in bits"
                                   << "yes" << true;
        QTest::newRow("rates Yes is not yes") << "rates in bits"
                                              << "Yes" << false;
        QTest::newRow("line colour") << "outlinecolor"
                                     << "clAqua" << true;
    }
    void storedTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, applied);
        MainWindowFixture f;
        f.store(name, text);
        TForm1 &w = f.create();
        QCOMPARE(f.stored(name), text); // never rewritten by start-up
        THistograph *graph = w.board().slot(7).Graph;
        if (name == "values") {
            QCOMPARE(w.RadioButtonInOut->isChecked(), applied);
            QCOMPARE(w.RadioButton11->isChecked(), !applied);
            QCOMPARE(w.action("InOut1")->isChecked(), applied);
            QCOMPARE(w.action("Combined1")->isChecked(), !applied);
            QCOMPARE(graph->SecondSeries(), applied);
        } else if (name == "rates in bits") {
            QCOMPARE(w.CheckBoxRatesInBits->isChecked(), applied);
            QCOMPARE(w.action("Ratesinbits1")->isChecked(), applied);
        } else {
            QCOMPARE(graph->SecondColor(), QColor(0, 255, 255));
        }
        QVERIFY(f.errors.isEmpty());
    }

    // The menu items store their choice; the next start shows it again.
    void menuChoicesRoundTrip()
    {
        MainWindowFixture f;
        {
            TForm1 &w = f.create();
            w.action("InOut1")->trigger();
            QCOMPARE(f.stored("values"), QStringLiteral("INOUT"));
            QVERIFY(w.action("InOut1")->isChecked());
            QVERIFY(!w.action("Combined1")->isChecked());
            QVERIFY(w.board().slot(20).Graph->SecondSeries());
            w.action("Ratesinbits1")->trigger();
            QCOMPARE(f.stored("rates in bits"), QStringLiteral("yes"));
            QCOMPARE(w.board().slot(1).LastValuesCaption->Caption(),
                     QStringLiteral("IN 0 bit/s (0 %) \u00B7 OUT 0 bit/s (0 %)"));
        }
        TForm1 &w = f.create();
        // The longest caption in bit/s fits its strip; without the setting the font is the
        // specified bold one again.
        const auto width = [&] {
            return QFontMetrics(w.board().slot(1).LastValuesCaption->font())
                .horizontalAdvance(
                    QStringLiteral("IN 9.99 Gbit/s (100 %) \u00B7 OUT 9.99 Gbit/s (100 %)"));
        };
        QVERIFY2(width() <= GraphBoard::GraphWidth, qPrintable(QString::number(width())));
        QVERIFY(w.RadioButtonInOut->isChecked());
        QVERIFY(w.board().slot(3).Graph->SecondSeries());
        QVERIFY(w.CheckBoxRatesInBits->isChecked());
        w.action("Ratesinbits1")->trigger();
        QCOMPARE(w.board().slot(1).LastValuesCaption->Caption(),
                 QStringLiteral("Last values IN: 0; OUT: 0; COMB: 0"));
        QVERIFY(w.board().slot(1).LastValuesCaption->font().bold());
        QCOMPARE(w.board().slot(1).LastValuesCaption->font().stretch(), int(QFont::Unstretched));
        // Back to a specified choice: the line goes, the stored text is the specified one.
        w.action("Out1")->trigger();
        QCOMPARE(f.stored("values"), QStringLiteral("OUT"));
        QVERIFY(!w.board().slot(3).Graph->SecondSeries());
        QVERIFY(!w.action("InOut1")->isChecked());
        QCOMPARE(f.stored("rates in bits"), QStringLiteral("no"));
    }

    // The table's header cells carry the unit of their column; the texts stay.
    void headerTooltips()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        const auto *grid = w.findChild<QTableView *>("StringGrid1");
        const QAbstractItemModel *model = grid->model();
        QCOMPARE(model->index(0, Col::InDeltaPers).data().toString(),
                 QStringLiteral("indeltapers"));
        QVERIFY(model->index(0, Col::InDeltaPers)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .startsWith(u"octets per second"));
        QCOMPARE(model->index(0, Col::CombinedUtil).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("percent of bandwidth"));
        QVERIFY(!model->index(1, Col::InUtil).data(Qt::ToolTipRole).isValid());
    }

    // Two polls against a loopback agent: input bars and the output line, the captions in
    // bit/s, and the tooltip with rates, peaks, counters and the reading's time.
    void pollsInAndOutInBits()
    {
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed (the README set-up installs it)");
        m_agent = std::make_unique<SnmpAgent>();
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
        MainWindowFixture f;
        f.store("values", "INOUT");
        f.store("rates in bits", "yes");
        f.store("intervall", "3");
        TForm1 &w = f.create();
        const QString path =
            f.writeFile("units.dev", QStringLiteral("%1;1;1000000;%2;uplink\n")
                                         .arg(m_agent->host(), SnmpAgent::community())
                                         .toUtf8());
        w.setDeviceFileChooser([path] { return path; });
        w.Button8Click();
        m_agent->setCounters(1, 1000000, 2000000);
        poll(w);
        // 3 s at 1 Mbit/s: 300000 octets in (80 %), 37500 out (10 %).
        m_agent->setCounters(1, 1000000 + 300000, 2000000 + 37500);
        poll(w);
        GraphSlot &slot = w.board().slot(1);
        QCOMPARE(slot.LastValuesCaption->Caption(),
                 QStringLiteral("IN 800 kbit/s (80 %) \u00B7 OUT 100 kbit/s (10 %)"));
        QCOMPARE(slot.Graph->Value(), 80);
        QCOMPARE(slot.Graph->SecondValue(), 10);
        const QString tip = slot.Overlay->toolTip();
        QVERIFY2(tip.contains(u"uplink"), qPrintable(tip));
        QVERIFY2(tip.contains(m_agent->host() + u", ifIndex 1"), qPrintable(tip));
        QVERIFY2(tip.contains(u"Bandwidth: 1 Mbit/s"), qPrintable(tip));
        QVERIFY2(tip.contains(u"Last poll: IN 800 kbit/s (80 %), OUT 100 kbit/s (10 %)"),
                 qPrintable(tip));
        QVERIFY2(tip.contains(u"Peak IN: 800 kbit/s (80 %) at "), qPrintable(tip));
        QVERIFY2(tip.contains(u"Counters: 32-bit"), qPrintable(tip));
        QVERIFY2(tip.contains(u"Last reading: "), qPrintable(tip));

        // A quieter poll keeps the peak; Start polling forgets it.
        m_agent->setCounters(1, 1300000 + 3000, 2037500 + 3000);
        poll(w);
        QVERIFY2(slot.Overlay->toolTip().contains(u"Last poll: IN 8 kbit/s (1 %)"),
                 qPrintable(slot.Overlay->toolTip()));
        QVERIFY(slot.Overlay->toolTip().contains(u"Peak IN: 800 kbit/s (80 %)"));
        w.Button4Click();
        poll(w);
        QVERIFY(!slot.Overlay->toolTip().contains(u"Peak IN: 800 kbit/s"));
        QCOMPARE(w.board().slot(2).Overlay->toolTip(),
                 QStringLiteral("No interface loaded for this graph."));
        m_agent.reset();
    }
};

QTEST_MAIN(TestUnits)
#include "tst_units.moc"
