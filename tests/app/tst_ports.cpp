// View > "Ports": the loaded interfaces of the latest poll as a sortable table in the
// operator's units, made from the typed poll result.

#include "MainWindowFixture.h"
#include "PollRun.h"
#include "PortsFeature.h"
#include "PortsModel.h"

#include <QAction>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace
{

InterfaceReading port(const QString &description, const QString &ifIndex, double inOctets,
                      double outOctets)
{
    InterfaceReading r;
    r.address = u"127.0.0.1:1161"_s;
    r.ifIndex = ifIndex;
    r.description = description;
    r.bandwidth = 100000000;
    r.polled = true;
    r.outcome = InterfaceReading::Outcome::Good;
    r.inOctetsPerSecond = inOctets;
    r.outOctetsPerSecond = outOctets;
    r.inUtilisation = inOctets * 8 / 1e6;
    r.outUtilisation = outOctets * 8 / 1e6;
    r.counters64 = true;
    r.snmpVersion = u"2c"_s;
    return r;
}

PollResult pollAt(const QDateTime &time, QList<InterfaceReading> interfaces)
{
    PollResult result;
    result.time = time;
    result.pollIntervalSeconds = 6;
    result.interfaces = std::move(interfaces);
    return result;
}

QStringList rowTexts(const QAbstractItemModel &model, int row)
{
    QStringList texts;
    for (int c = 0; c < model.columnCount(); ++c)
        texts.append(model.index(row, c).data().toString());
    return texts;
}

} // namespace

class TestPorts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("OSTRALINE_NO_SPLASH", "1"); }

    // Each kind of row in words and units.
    void rowsInTheOperatorsUnits()
    {
        const QDateTime t1 = QDateTime::currentDateTime().addSecs(-6);
        InterfaceReading uplink = port(u"uplink"_s, u"2"_s, 1250000, 125000);
        uplink.adminStatus = 1;
        uplink.operStatus = 1;
        uplink.inErrorsDelta = 3;
        uplink.outErrorsDelta = 0;
        uplink.inDiscardsDelta = 12;
        uplink.outDiscardsDelta = 1;
        InterfaceReading off = port(u"spare"_s, u"7"_s, 0, 0);
        off.polled = false;
        InterfaceReading failed = port(u"far"_s, u"10"_s, 0, 0);
        failed.outcome = InterfaceReading::Outcome::Failed;
        failed.counters64 = false;
        failed.snmpVersion = u"1"_s;

        PortsModel model;
        model.setResult(pollAt(t1, {uplink, off, failed}));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), int(PortsModel::ColumnCount));
        const QString time = t1.toString(u"HH:mm:ss"_s);
        QCOMPARE(rowTexts(model, 0),
                 (QStringList{u"uplink"_s, u"127.0.0.1:1161"_s, u"2"_s, u"up"_s, u"10 Mbit/s"_s,
                              u"1 Mbit/s"_s, u"10.0"_s, u"1.0"_s, u"3 / 0"_s, u"12 / 1"_s,
                              u"64-bit, v2c"_s, time}));
        QCOMPARE(rowTexts(model, 1),
                 (QStringList{u"spare"_s, u"127.0.0.1:1161"_s, u"7"_s, u"not polled"_s, u""_s,
                              u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s}));
        QCOMPARE(rowTexts(model, 2).mid(3),
                 (QStringList{u"no reading"_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s,
                              u"32-bit, v1"_s, u""_s}));

        // A failed poll keeps the time of the last good reading; a new load forgets it.
        InterfaceReading down = uplink;
        down.outcome = InterfaceReading::Outcome::Failed;
        model.setResult(pollAt(t1.addSecs(6), {down}));
        QCOMPARE(model.index(0, PortsModel::LastReading).data().toString(), time);
        QCOMPARE(model.index(0, PortsModel::In).data().toString(), QString());
        model.clear();
        QCOMPARE(model.rowCount(), 0);
        model.setResult(pollAt(t1.addSecs(12), {down}));
        QCOMPARE(model.index(0, PortsModel::LastReading).data().toString(), QString());
    }

    void stateWords_data()
    {
        QTest::addColumn<int>("admin"); // 0: not read
        QTest::addColumn<int>("oper");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("words");
        const int good = int(InterfaceReading::Outcome::Good);
        QTest::newRow("no link health") << 0 << 0 << good << u"read"_s;
        QTest::newRow("first") << 0 << 0 << int(InterfaceReading::Outcome::First)
                               << u"first reading"_s;
        QTest::newRow("down") << 1 << 2 << good << u"down"_s;
        QTest::newRow("disabled") << 2 << 2 << good << u"disabled"_s;
        QTest::newRow("lower layer") << 1 << 7 << good << u"lowerLayerDown"_s;
        QTest::newRow("odd status") << 1 << 42 << good << u"status 42"_s;
    }
    void stateWords()
    {
        QFETCH(int, admin);
        QFETCH(int, oper);
        QFETCH(int, outcome);
        QFETCH(QString, words);
        InterfaceReading r = port(u"x"_s, u"1"_s, 0, 0);
        r.outcome = InterfaceReading::Outcome(outcome);
        if (admin)
            r.adminStatus = admin;
        if (oper)
            r.operStatus = oper;
        QCOMPARE(PortsModel::stateText(r), words);
    }

    // Through the operator's path: View > Ports opens the table, a poll fills it, a heading
    // sorts by value (10 Mbit/s above 900 kbit/s, ifIndex 10 after 9).
    void menuWindowAndSorting()
    {
        MainWindowFixture f;
        TForm1 &w = f.create();
        auto *feature = new PortsFeature(w);
        QAction *item = w.findChild<QAction *>(u"Ports1"_s);
        QVERIFY(item);
        QVERIFY(item->text().contains(u'&'));
        QVERIFY(w.findChild<QAction *>(u"ShowMore1"_s));
        item->trigger();
        QVERIFY(feature->window());
        QVERIFY(feature->window()->isVisible());
        auto *table = feature->window()->findChild<QTableView *>();
        QVERIFY(table);
        QCOMPARE(table->model()->rowCount(), 0);

        Q_EMIT w.pollRun().pollFinished(
            pollAt(QDateTime::currentDateTime(),
                   {port(u"a"_s, u"10"_s, 1250000, 0), port(u"b"_s, u"9"_s, 112500, 0),
                    port(u"c"_s, u"100"_s, 0, 0)}));
        QAbstractItemModel &shown = *table->model();
        QCOMPARE(shown.rowCount(), 3);
        table->sortByColumn(PortsModel::In, Qt::DescendingOrder);
        QCOMPARE(shown.index(0, PortsModel::Description).data().toString(), u"a"_s);
        QCOMPARE(shown.index(1, PortsModel::In).data().toString(), u"900 kbit/s"_s);
        table->sortByColumn(PortsModel::IfIndex, Qt::AscendingOrder);
        QCOMPARE(shown.index(0, PortsModel::IfIndex).data().toString(), u"9"_s);
        QCOMPARE(shown.index(2, PortsModel::IfIndex).data().toString(), u"100"_s);
        // No column names the community.
        for (int c = 0; c < shown.columnCount(); ++c)
            QVERIFY(!shown.headerData(c, Qt::Horizontal).toString().contains(u"ommunity"_s));

        // Loading a device file empties the table until the next poll.
        const QString file = f.writeFile(u"one.dev"_s, "127.0.0.1:9;1;1000000;public;x\r\n");
        w.setDeviceFileChooser([&] { return file; });
        w.Button8Click();
        QCOMPARE(shown.rowCount(), 0);
    }
};

QTEST_MAIN(TestPorts)
#include "tst_ports.moc"
