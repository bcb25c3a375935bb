#include "CounterChoice.h"
#include "GetStep.h"
#include "GraphSlotControl.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"

#include <QTest>

namespace
{

struct FakeSlots : GraphSlotControl {
    QMap<int, bool> running;
    QMap<int, QString> captions;
    void setSlotRunning(int slot, bool on) override { running[slot] = on; }
    QString errorCaption(int slot) const override { return captions.value(slot); }
    void setErrorCaption(int slot, const QString &text) override { captions[slot] = text; }
};

struct Rows {
    InterfaceTable table;
    InterfaceList list;
    explicit Rows(int n)
    {
        table.writeHeaderAndInitialValues();
        for (int r = 1; r <= n; ++r) {
            table.setCell(Col::Number, r, QString::number(r));
            table.setCell(Col::IP, r, QStringLiteral("h%1").arg(r));
            table.setCell(Col::Interface, r, QString::number(r));
            table.setCell(Col::Community, r, "c");
            list.append(QString::number(r));
            for (int c : {Col::InBitNew, Col::InBitOld, Col::OutBitNew, Col::OutBitOld})
                table.setCell(c, r, "7");
        }
    }
};

} // namespace

class TestGetStep : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void requestsInListOrderInputFirst()
    {
        Rows rows(3);
        rows.list.setChecked(1, false);
        CounterChoice counters; // 64-bit counters off: the two 32-bit requests of each row
        QList<GetStep::PlannedRequest> plan;
        const auto requests = GetStep::planRequests(rows.table, rows.list, counters, &plan);
        QCOMPARE(requests.size(), 4);
        QCOMPARE(requests.at(0).oid, QStringLiteral("1.3.6.1.2.1.2.2.1.10.1"));
        QCOMPARE(requests.at(1).oid, QStringLiteral("1.3.6.1.2.1.2.2.1.16.1"));
        QCOMPARE(requests.at(2).host, QStringLiteral("h3"));
        QList<int> owners;
        for (const auto &request : plan)
            owners << request.row;
        QCOMPARE(owners, (QList<int>{1, 1, 3, 3}));
        GetStep::storePlannedReadings(rows.table, counters, plan, {"-1", "5", "", "Failure"});
        QCOMPARE(rows.table.cell(Col::OrgIn, 1), QStringLiteral("-1")); // stored unchanged
        QCOMPARE(rows.table.cell(Col::OrgOut, 3), QStringLiteral("Failure"));
    }

    void failurePass_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QStringList>(
            "cells"); // orgin inbitnew inbitold orgout outbitnew outbitold
        QTest::newRow("both answer") << false << "5"
                                     << "6" << true << QStringList{"5", "7", "7", "6", "7", "7"};
        QTest::newRow("zeroes, input silent")
            << false << ""
            << "6" << true << QStringList{"0", "0", "0", "6", "7", "7"};
        // The input, read fine, keeps its cells and is computed as usual.
        QTest::newRow("zeroes, only output fails")
            << false << "5"
            << "" << true << QStringList{"5", "7", "7", "0", "0", "0"};
        QTest::newRow("zeroes, Failure text")
            << false << "Failure"
            << "Failure" << true << QStringList{"0", "0", "0", "0", "0", "0"};
        QTest::newRow("failure is case-sensitive")
            << false << "failure"
            << "6" << true << QStringList{"failure", "7", "7", "6", "7", "7"};
        QTest::newRow("stop, input silent")
            << true << ""
            << "6" << false << QStringList{"", "0", "0", "6", "7", "7"};
        QTest::newRow("stop, output fails")
            << true << "5"
            << "" << false << QStringList{"5", "0", "0", "", "7", "7"};
    }
    void failurePass()
    {
        QFETCH(bool, stop);
        QFETCH(QString, in);
        QFETCH(QString, out);
        QFETCH(bool, checked);
        QFETCH(QStringList, cells);
        Rows rows(1);
        rows.table.setCell(Col::OrgIn, 1, in);
        rows.table.setCell(Col::OrgOut, 1, out);
        GetStep::failurePass(rows.table, rows.list, stop ? OnErrorMode::Stop : OnErrorMode::Zeroes);
        QCOMPARE(rows.list.isChecked(0), checked);
        QStringList got;
        for (int c : {Col::OrgIn, Col::InBitNew, Col::InBitOld, Col::OrgOut, Col::OutBitNew,
                      Col::OutBitOld})
            got << rows.table.cell(c, 1);
        QCOMPARE(got, cells);
    }

    void slotPassWritesTheFirstFailureOnly()
    {
        Rows rows(3);
        FakeSlots slots;
        slots.captions[1] = "old";
        slots.captions[3] = "ERROR OCCURED: earlier";
        rows.list.setChecked(1, false);
        rows.list.setChecked(2, false);
        const QDateTime stamp(QDate(2005, 4, 7), QTime(14, 3, 9));
        GetStep::slotPass(rows.list, slots, stamp);
        QCOMPARE(slots.running.value(1), true);
        QCOMPARE(slots.captions.value(1), QString());
        QCOMPARE(slots.running.value(2), false);
        QCOMPARE(slots.captions.value(2), QStringLiteral("Error occured: 07.Apr.2005, 14:03:09"));
        QCOMPARE(slots.captions.value(3), QStringLiteral("ERROR OCCURED: earlier"));
        QVERIFY(!slots.running.contains(4)); // slots without an entry are not touched
    }

    void emptyListSendsNothingAndTouchesNoSlot()
    {
        Rows rows(0);
        FakeSlots slots;
        CounterChoice counters;
        QList<GetStep::PlannedRequest> plan;
        QVERIFY(GetStep::planRequests(rows.table, rows.list, counters, &plan).isEmpty());
        GetStep::slotPass(rows.list, slots, QDateTime::currentDateTime());
        QVERIFY(slots.running.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestGetStep)
#include "tst_getstep.moc"
