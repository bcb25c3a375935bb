#include "AutoScale.h"
#include "GraphBoard.h"
#include "Histograph.h"

#include <QAction>
#include <QLabel>
#include <QtTest>

// "Max value auto" of a graph slot: the full scale follows the highest value in view.
class TestAutoScale : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fullScale_data()
    {
        QTest::addColumn<int>("highest");
        QTest::addColumn<int>("scale");
        QTest::newRow("nothing") << 0 << 1;
        QTest::newRow("negative") << -5 << 1;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("3") << 3 << 5;
        QTest::newRow("5") << 5 << 5;
        QTest::newRow("6") << 6 << 10;
        QTest::newRow("11") << 11 << 20;
        QTest::newRow("40") << 40 << 50;
        QTest::newRow("100") << 100 << 100;
        QTest::newRow("over the bandwidth") << 101 << 200;
        QTest::newRow("huge") << 2000000001 << 2147483647;
    }
    void fullScale()
    {
        QFETCH(int, highest);
        QFETCH(int, scale);
        QCOMPARE(AutoScale::fullScale(highest), scale);
    }

    // A slot fed values tick by tick shows the scale of the highest one in view, in its
    // graph and its percent label; a peak that scrolls out of view lets the scale fall.
    void slotFollowsHighest_data()
    {
        QTest::addColumn<QList<int>>("values"); // one tick each
        QTest::addColumn<int>("scale");
        QTest::newRow("3 %") << QList<int>{3} << 5;
        QTest::newRow("3 % then 40 %") << QList<int>{3, 40} << 50;
        QTest::newRow("40 % then 3 %") << QList<int>{40, 3} << 50;
        QTest::newRow("idle") << QList<int>{0, 0} << 1;
        QTest::newRow("over the bandwidth") << QList<int>{130} << 200;
        QList<int> scrolled{90};
        scrolled.append(QList<int>(GraphBoard::GraphWidth / 2, 7));
        QTest::newRow("peak scrolled out") << scrolled << 10;
        QList<int> kept{90};
        kept.append(QList<int>(GraphBoard::GraphWidth / 2 - 1, 7));
        QTest::newRow("peak at the left edge") << kept << 100;
    }
    void slotFollowsHighest()
    {
        QFETCH(QList<int>, values);
        QFETCH(int, scale);
        QWidget main, panel2, panel3;
        GraphBoard board(&main, &panel2, &panel3);
        GraphSlot &slot = board.slot(3);
        slot.MaxValueAuto->trigger();
        QVERIFY(board.slotAutoMaximum(3));
        for (const int v : values) {
            slot.Graph->setValue(v);
            slot.Graph->TimerTick();
        }
        QCOMPARE(slot.Graph->MaxValue(), scale);
        QCOMPARE(slot.PercentLabel->text(), QString::number(scale) + u'%');
        // Other slots keep their fixed scale.
        QCOMPARE(board.slot(4).Graph->MaxValue(), 100);
    }

    // A fixed maximum ends the automatic one; the second series counts while it is on.
    void fixedMaximumEndsAuto()
    {
        QWidget main, panel2, panel3;
        GraphBoard board(&main, &panel2, &panel3);
        GraphSlot &slot = board.slot(1);
        slot.MaxValueAuto->trigger();
        slot.Graph->setSecondSeries(true);
        slot.Graph->setValue(3);
        slot.Graph->setSecondValue(17);
        slot.Graph->TimerTick();
        QCOMPARE(slot.Graph->MaxValue(), 20);
        board.setSlotMaximum(1, 50);
        QVERIFY(!board.slotAutoMaximum(1));
        slot.Graph->setValue(90);
        slot.Graph->TimerTick();
        QCOMPARE(slot.Graph->MaxValue(), 50);
        QCOMPARE(slot.PercentLabel->text(), QStringLiteral("50%"));
    }
};

QTEST_MAIN(TestAutoScale)
#include "tst_autoscale.moc"
