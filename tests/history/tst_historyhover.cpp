#include "BitRateText.h"
#include "HistoryFixture.h"
#include "HistoryGraph.h"
#include "HistoryWindow.h"
#include "HistoryWriter.h"

#include <QComboBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

using namespace HistoryFixture;
using namespace Qt::StringLiterals;

// The hover read-out of the history window follows what the graph shows: another interface
// chosen under a still pointer gives that interface's values (or none), never the values of
// the one shown before.
class TestHistoryHover : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        ::tzset();
    }

    void readOutFollowsTheChosenInterface_data()
    {
        QTest::addColumn<bool>("secondHasData"); // the other interface has samples there
        QTest::newRow("other interface with samples") << true;
        QTest::newRow("other interface without samples") << false;
    }
    void readOutFollowsTheChosenInterface()
    {
        QFETCH(bool, secondHasData);
        QTemporaryDir dir;
        {
            HistoryWriter writer(dir.path());
            for (int k = 0; k <= 20; ++k) {
                const auto outcome =
                    k == 0 ? InterfaceReading::Outcome::First : InterfaceReading::Outcome::Good;
                InterfaceReading first = reading(1000, 500, outcome);
                InterfaceReading second = reading(7000, 3000, outcome);
                second.ifIndex = u"5"_s;
                second.description = u"other port"_s;
                QList<InterfaceReading> readings{first};
                if (secondHasData || k == 0)
                    readings.append(second);
                writer.write(poll(T0 + 6 * k, 6, readings));
            }
        }
        InterfaceReading other = reading(0, 0);
        other.ifIndex = u"5"_s;
        other.description = u"other port"_s;
        HistoryWindow window(dir.path());
        window.setLoaded({reading(0, 0), other});
        window.showInterface(Address, IfIndex);
        window.setRange(T0, T0 + 120);
        window.resize(700, 420);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        HistoryGraph *graph = window.graph();
        const QPoint at(qRound(graph->xOf(T0 + 60)), graph->height() / 2);
        QTest::mouseMove(graph, at - QPoint(5, 0)); // a move Qt does not drop as no move
        QTest::mouseMove(graph, at);
        QLabel *readOut = nullptr;
        QTRY_VERIFY([&] {
            for (QLabel *label : window.findChildren<QLabel *>()) {
                if (label->text().contains(u"  in "_s))
                    readOut = label;
            }
            return readOut != nullptr;
        }());
        const QString before = readOut->text();
        QVERIFY2(before.contains(BitRateText::format(8000)), qPrintable(before));

        // The pointer stays; the list picks the other interface.
        auto *list = window.findChild<QComboBox *>();
        QVERIFY(list);
        list->setCurrentIndex(1);
        QTRY_VERIFY(!window.isReading()); // the other interface's history arrived
        QTRY_COMPARE(readOut->text(), graph->readOut(at.x()));
        QVERIFY(readOut->text() != before);
        if (secondHasData)
            QVERIFY2(readOut->text().contains(BitRateText::format(56000)),
                     qPrintable(readOut->text()));
        else
            QVERIFY2(!readOut->text().contains(BitRateText::format(8000)),
                     qPrintable(readOut->text()));
    }
};

QTEST_MAIN(TestHistoryHover)
#include "tst_historyhover.moc"
