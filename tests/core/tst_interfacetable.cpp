#include "InterfaceList.h"
#include "InterfaceTable.h"

#include <QSignalSpy>
#include <QTest>

class TestInterfaceTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialState()
    {
        InterfaceTable table;
        table.writeHeaderAndInitialValues();
        const QStringList headers = {"Number",    "IP",           "Interface",    "community",
                                     "bandwidth", "orgin",        "inbitnew",     "inbitold",
                                     "indelta",   "indeltapers",  "inutil",       "orgout",
                                     "outbitnew", "outbitold",    "outdelta",     "outdeltapers",
                                     "oututil",   "combinedpers", "combinedutil", "description"};
        for (int c = 0; c < 20; ++c)
            QCOMPARE(table.cell(c, 0), headers.at(c));
        QVERIFY(table.cell(Col::Unnamed, 0).isEmpty());
        for (int r = 1; r <= 20; ++r) {
            for (int c = Col::Number; c <= Col::Bandwidth; ++c)
                QVERIFY(table.cell(c, r).isEmpty());
            for (int c = Col::FirstValue; c <= Col::LastValue; ++c)
                QCOMPARE(table.cell(c, r), QStringLiteral("0"));
            QVERIFY(table.cell(Col::Description, r).isEmpty());
            QVERIFY(table.cell(Col::Unnamed, r).isEmpty());
        }
        QCOMPARE(table.rowCount(), 21);
        QCOMPARE(table.columnCount(), 21);
    }

    void columnTwentyStaysEmptyAndOutOfRangeIsHarmless()
    {
        InterfaceTable table;
        table.setCell(Col::Unnamed, 3, QStringLiteral("x"));
        table.setCell(-1, 3, QStringLiteral("x"));
        table.setCell(3, 21, QStringLiteral("x"));
        QVERIFY(table.cell(Col::Unnamed, 3).isEmpty());
        QVERIFY(table.cell(99, 99).isEmpty());
    }

    void viewSeesChanges()
    {
        InterfaceTable table;
        QSignalSpy spy(&table, &QAbstractItemModel::dataChanged);
        table.setCell(Col::IP, 2, QStringLiteral("10.0.0.1"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(table.data(table.index(2, Col::IP), Qt::DisplayRole).toString(),
                 QStringLiteral("10.0.0.1"));
        table.setCell(Col::IP, 2, QStringLiteral("10.0.0.1"));
        QCOMPARE(spy.count(), 1); // unchanged text: no notification
        QVERIFY(!(table.flags(table.index(2, Col::IP)) & Qt::ItemIsEditable));
    }

    void resetsKeepRawReadingsWhereAsked()
    {
        InterfaceTable table;
        for (int c = Col::FirstValue; c <= Col::LastValue; ++c)
            table.setCell(c, 4, QStringLiteral("7"));
        table.resetComputedColumns(4);
        QCOMPARE(table.cell(Col::OrgIn, 4), QStringLiteral("7"));
        QCOMPARE(table.cell(Col::OrgOut, 4), QStringLiteral("7"));
        QCOMPARE(table.cell(Col::InBitNew, 4), QStringLiteral("0"));
        QCOMPARE(table.cell(Col::CombinedUtil, 4), QStringLiteral("0"));
        table.resetValueColumns(4);
        QCOMPARE(table.cell(Col::OrgIn, 4), QStringLiteral("0"));
    }

    void listHoldsAtMostTwenty()
    {
        InterfaceList list;
        for (int i = 0; i < 25; ++i)
            list.append(QString::number(i));
        QCOMPARE(list.count(), 20);
        QVERIFY(list.isChecked(19));
        list.setChecked(19, false);
        QVERIFY(!list.isChecked(19));
        QVERIFY(!list.isChecked(20));
    }
};

QTEST_APPLESS_MAIN(TestInterfaceTable)
#include "tst_interfacetable.moc"
