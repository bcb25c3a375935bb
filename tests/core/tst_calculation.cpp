#include "Calculation.h"
#include "CounterChoice.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"

#include <QTest>

// A table with n loaded, checked interfaces of the given bandwidth, after start-up.
struct Fixture {
    InterfaceTable table;
    InterfaceList list;

    explicit Fixture(int n = 1, const QString &bandwidth = "2048000")
    {
        table.writeHeaderAndInitialValues();
        for (int r = 1; r <= n; ++r) {
            table.setCell(Col::Number, r, QString::number(r));
            table.setCell(Col::Bandwidth, r, bandwidth);
            list.append(QString::number(r));
        }
    }
    void read(int row, const QString &in, const QString &out)
    {
        table.setCell(Col::OrgIn, row, in);
        table.setCell(Col::OrgOut, row, out);
    }
    QString at(int column, int row = 1) const { return table.cell(column, row); }
};

class TestCalculation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() { QLocale::setDefault(QLocale::c()); }

    void workedExample_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("inutil");
        QTest::newRow("C locale") << QLocale::c() << "39.0625";
        QTest::newRow("comma locale") << QLocale(QLocale::German, QLocale::Germany) << "39,0625";
    }
    void workedExample()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, inutil);
        QLocale::setDefault(locale);
        Fixture f;
        f.read(1, "1000000", "500000");
        QVERIFY(Calculation::calculate(f.table, f.list, 6).isEmpty());
        // First reading: no previous value, so deltas stay 0.
        QCOMPARE(f.at(Col::InDelta), QStringLiteral("0"));
        QCOMPARE(Calculation::lastValuesCaption(f.table, 1),
                 QStringLiteral("Last values IN: 0; OUT: 0; COMB: 0"));

        f.read(1, "1600000", "560000");
        QVERIFY(Calculation::calculate(f.table, f.list, 6).isEmpty());
        QCOMPARE(f.at(Col::InBitOld), QStringLiteral("1000000"));
        QCOMPARE(f.at(Col::InBitNew), QStringLiteral("1600000"));
        QCOMPARE(f.at(Col::InDelta), QStringLiteral("600000"));
        QCOMPARE(f.at(Col::InDeltaPers), QStringLiteral("100000"));
        QCOMPARE(f.at(Col::InUtil), inutil);
        QCOMPARE(f.at(Col::OutBitOld), QStringLiteral("500000"));
        QCOMPARE(f.at(Col::OutDelta), QStringLiteral("60000"));
        QCOMPARE(f.at(Col::OutDeltaPers), QStringLiteral("10000"));
        QCOMPARE(f.at(Col::CombinedPers), QStringLiteral("110000"));
        QCOMPARE(f.at(Col::OutUtil), QString(inutil).replace("39", "3").replace("0625", "90625"));
        QCOMPARE(f.at(Col::CombinedUtil),
                 QString(inutil).replace("39", "42").replace("0625", "96875"));
        QCOMPARE(Calculation::lastValuesCaption(f.table, 1),
                 QStringLiteral("Last values IN: 39; OUT: 4; COMB: 43"));
        QLocale::setDefault(QLocale::c());
    }

    void countersAndWraps_data()
    {
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("inbitnew");
        QTest::addColumn<QString>("indelta");
        QTest::newRow("negative reading normalised") << "100"
                                                     << "-2"
                                                     << "4294967294"
                                                     << "4294967194";
        QTest::newRow("wrap past 2^32") << "4294967000"
                                        << "296"
                                        << "296"
                                        << "592";
        QTest::newRow("at 2^31 read signed") << "2147483000"
                                             << "-2147483648"
                                             << "2147483648"
                                             << "648";
        QTest::newRow("counter restart") << "5000"
                                         << "1000"
                                         << "1000"
                                         << "4294963296";
    }
    void countersAndWraps()
    {
        QFETCH(QString, previous);
        QFETCH(QString, reading);
        QFETCH(QString, inbitnew);
        QFETCH(QString, indelta);
        Fixture f;
        f.table.setCell(Col::InBitNew, 1, previous);
        f.table.setCell(Col::OutBitNew, 1, "1");
        f.read(1, reading, "1");
        QVERIFY(Calculation::calculate(f.table, f.list, 6).isEmpty());
        QCOMPARE(f.at(Col::InBitNew), inbitnew);
        QCOMPARE(f.at(Col::InDelta), indelta);
    }

    // Rows read with 64-bit counters: exact unsigned deltas in both directions, no wrap, a
    // counter that went backwards is a restart (deltas 0, listed), and the poll after it is
    // normal again.
    void counters64_data()
    {
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("bandwidth");
        QTest::addColumn<QString>("delta");
        QTest::addColumn<QString>("util");
        QTest::addColumn<QString>("combined");
        QTest::newRow("10 Gbit/s at 50 % over 12 s") << "1000"
                                                     << "7500001000" << 12 << "10000000000"
                                                     << "7500000000"
                                                     << "50"
                                                     << "100";
        QTest::newRow("across 2^63") << "9223372036854775000"
                                     << "9223372036854777000" << 6 << "1000000"
                                     << "2000"
                                     << "0.266666666666666"
                                     << "0.533333333333333";
        QTest::newRow("up to 2^64 - 1") << "18446744073709550000"
                                        << "18446744073709550615" << 3 << "1000000"
                                        << "615"
                                        << "0.164"
                                        << "0.328";
        QTest::newRow("400 Gbit/s full") << "1"
                                         << "150000000001" << 3 << "400000000000"
                                         << "150000000000"
                                         << "100"
                                         << "200";
        QTest::newRow("restart") << "5000000000000"
                                 << "1000" << 6 << "10000000000"
                                 << "0"
                                 << "0"
                                 << "0";
    }
    void counters64()
    {
        QFETCH(QString, previous);
        QFETCH(QString, reading);
        QFETCH(int, interval);
        QFETCH(QString, bandwidth);
        QFETCH(QString, delta);
        QFETCH(QString, util);
        QFETCH(QString, combined);
        Fixture f(2, bandwidth);
        CounterChoice counters;
        counters.setEnabled(true);
        counters.decide(1, true);
        counters.decide(2, false); // a 32-bit row beside it keeps the wrap rule
        for (int row : {1, 2}) {
            f.table.setCell(Col::InDelta, row, "77");
            f.table.setCell(Col::OutDelta, row, "77");
        }
        f.table.setCell(Col::InBitNew, 1, previous);
        f.table.setCell(Col::OutBitNew, 1, previous);
        f.read(1, reading, reading);
        f.table.setCell(Col::InBitNew, 2, "4294967000");
        f.table.setCell(Col::OutBitNew, 2, "4294967000");
        f.read(2, "296", "296");
        QList<int> restarted;
        QVERIFY(Calculation::calculate(f.table, f.list, interval, &counters, &restarted).isEmpty());
        QCOMPARE(f.at(Col::InBitNew), reading);
        QCOMPARE(f.at(Col::OutBitNew), reading);
        QCOMPARE(f.at(Col::InDelta), delta);
        QCOMPARE(f.at(Col::OutDelta), delta);
        QCOMPARE(f.at(Col::InUtil), util);
        QCOMPARE(f.at(Col::OutUtil), util);
        QCOMPARE(f.at(Col::CombinedUtil), combined);
        QCOMPARE(f.at(Col::InDelta, 2), "592");
        const bool restart = QTest::currentDataTag() == QLatin1String("restart");
        QCOMPARE(restarted, restart ? QList<int>{1} : QList<int>{});
        QCOMPARE(Calculation::restartMessage(restarted).contains("row 1"), restart);

        // The next poll computes against this reading.
        restarted.clear();
        f.read(1, QString::number(reading.toULongLong() + 600),
               QString::number(reading.toULongLong() + 600));
        QVERIFY(Calculation::calculate(f.table, f.list, interval, &counters, &restarted).isEmpty());
        QCOMPARE(f.at(Col::InDelta), "600");
        QVERIFY(restarted.isEmpty());
    }

    void slowIntervalFraction()
    {
        Fixture f(1, "1000000000");
        f.table.setCell(Col::InBitNew, 1, "10");
        f.read(1, "11", "0");
        Calculation::calculate(f.table, f.list, 120);
        QCOMPARE(f.at(Col::InDeltaPers), QStringLiteral("0.00833333333333333"));
        // The utilisation is computed from the rate's 15-digit text, not the exact quotient.
        QCOMPARE(f.at(Col::InUtil), QStringLiteral("6.66666666666666E-9"));
    }

    // Each direction decides on its own whether it has a previous reading.
    void eachDirectionOnItsOwn()
    {
        // Input counter stuck at 0 (a link that only sends): the output is computed.
        Fixture f;
        for (int poll = 0; poll < 3; ++poll) {
            f.read(1, "0", QString::number(1000 * (poll + 1)));
            Calculation::calculate(f.table, f.list, 6);
        }
        QCOMPARE(f.at(Col::InDelta), QStringLiteral("0"));
        QCOMPARE(f.at(Col::OutDelta), QStringLiteral("1000"));

        // Output without a previous reading while input has one: a first reading for the
        // output (no delta of the whole counter), the input computed.
        Fixture g;
        g.table.setCell(Col::InBitNew, 1, "100");
        g.table.setCell(Col::OutBitNew, 1, "0");
        g.table.setCell(Col::OutDelta, 1, "777"); // a stale delta is not shown again
        g.read(1, "160", "5000");
        Calculation::calculate(g.table, g.list, 6);
        QCOMPARE(g.at(Col::InDelta), QStringLiteral("60"));
        QCOMPARE(g.at(Col::OutDelta), QStringLiteral("0"));
    }

    void uncheckedRowsOnlyAgeAndCaption()
    {
        Fixture f(20);
        f.table.setCell(Col::InBitNew, 20, "77");
        f.table.setCell(Col::InUtil, 20, "2.5");
        f.table.setCell(Col::OutUtil, 20, "3.5");
        f.table.setCell(Col::CombinedUtil, 20, "0.5");
        f.list.setChecked(19, false);
        f.read(20, "999", "999");
        Calculation::calculate(f.table, f.list, 6);
        QCOMPARE(f.at(Col::InBitOld, 20), QStringLiteral("77"));
        QCOMPARE(f.at(Col::InBitNew, 20), QStringLiteral("77"));
        QCOMPARE(Calculation::lastValuesCaption(f.table, 20),
                 QStringLiteral("Last values IN: 2; OUT: 4; COMB: 0"));
    }

    void faultyRowIsSkippedOthersComputed_data()
    {
        QTest::addColumn<QString>("bandwidth");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("offending");
        QTest::newRow("zero bandwidth") << "0"
                                        << "100"
                                        << "'0'";
        QTest::newRow("text bandwidth") << "fast"
                                        << "100"
                                        << "'fast'";
        QTest::newRow("empty bandwidth") << ""
                                         << "100"
                                         << "''";
        QTest::newRow("text reading") << "1000"
                                      << "hello"
                                      << "'hello'";
        QTest::newRow("beyond 32 bits") << "1000"
                                        << "99999999999"
                                        << "'99999999999'";
    }
    void faultyRowIsSkippedOthersComputed()
    {
        QFETCH(QString, bandwidth);
        QFETCH(QString, reading);
        QFETCH(QString, offending);
        Fixture f(3);
        f.table.setCell(Col::Bandwidth, 2, bandwidth);
        for (int r = 1; r <= 3; ++r) {
            f.table.setCell(Col::InBitNew, r, "100");
            f.read(r, r == 2 ? reading : "700", "100");
        }
        f.table.setCell(Col::InUtil, 2, "12");
        const auto faults = Calculation::calculate(f.table, f.list, 6);
        QCOMPARE(faults.size(), 1);
        QCOMPARE(faults.first().row, 2);
        QVERIFY2(faults.first().message.contains(offending), qPrintable(faults.first().message));
        QVERIFY(faults.first().message.contains("Row 2"));
        QCOMPARE(f.at(Col::InUtil, 2), QStringLiteral("12"));
        QCOMPARE(f.at(Col::InDelta, 1), QStringLiteral("600"));
        QCOMPARE(f.at(Col::InDelta, 3), QStringLiteral("600"));
    }

    void shownValueRounding_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("value");
        QTest::newRow("0.5") << "0.5" << 0;
        QTest::newRow("1.5") << "1.5" << 2;
        QTest::newRow("2.5") << "2.5" << 2;
        QTest::newRow("3.5") << "3.5" << 4;
        QTest::newRow("12.5") << "12.5" << 12;
        QTest::newRow("13.5") << "13.5" << 14;
        QTest::newRow("0.4") << "0.4" << 0;
        QTest::newRow("scientific") << "6.66666666666667E-9" << 0;
        QTest::newRow("not a number") << "x" << 0;
    }
    void shownValueRounding()
    {
        QFETCH(QString, cell);
        QFETCH(int, value);
        QCOMPARE(Calculation::shownValue(cell), value);
    }
};

QTEST_APPLESS_MAIN(TestCalculation)
#include "tst_calculation.moc"
