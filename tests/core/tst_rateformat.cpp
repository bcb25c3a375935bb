#include "Calculation.h"
#include "InterfaceTable.h"
#include "RateFormat.h"

#include <QTest>

// Rates in bit/s as the captions, tooltips and discovery show them.
class TestRateFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Prefix steps of 1000, three significant digits with the carry into the next prefix,
    // trailing zeros dropped, the locale's separator and never a group separator.
    void bitRate_data()
    {
        QTest::addColumn<double>("bits");
        QTest::addColumn<QString>("c");
        QTest::addColumn<QString>("comma");
        QTest::newRow("zero") << 0.0 << "0 bit/s"
                              << "0 bit/s";
        QTest::newRow("fraction") << 2.5 << "2.5 bit/s"
                                  << "2,5 bit/s";
        QTest::newRow("999") << 999.0 << "999 bit/s"
                             << "999 bit/s";
        QTest::newRow("999.6 carries") << 999.6 << "1 kbit/s"
                                       << "1 kbit/s";
        QTest::newRow("1 k") << 1000.0 << "1 kbit/s"
                             << "1 kbit/s";
        QTest::newRow("12.4 M") << 12.44e6 << "12.4 Mbit/s"
                                << "12,4 Mbit/s";
        QTest::newRow("812.4 M") << 812.4e6 << "812 Mbit/s"
                                 << "812 Mbit/s";
        QTest::newRow("999.5 M carries") << 999.5e6 << "1 Gbit/s"
                                         << "1 Gbit/s";
        QTest::newRow("9.99 G") << 9.99e9 << "9.99 Gbit/s"
                                << "9,99 Gbit/s";
        QTest::newRow("400 G") << 400e9 << "400 Gbit/s"
                               << "400 Gbit/s";
        QTest::newRow("beyond T") << 1.5e15 << "1500 Tbit/s"
                                  << "1500 Tbit/s";
        QTest::newRow("negative") << -1500.0 << "-1.5 kbit/s"
                                  << "-1,5 kbit/s";
    }
    void bitRate()
    {
        QFETCH(double, bits);
        QFETCH(QString, c);
        QFETCH(QString, comma);
        QCOMPARE(RateFormat::bitRate(bits, QLocale::c()), c);
        QCOMPARE(RateFormat::bitRate(bits, QLocale(QLocale::German, QLocale::Germany)), comma);
    }

    void notANumber()
    {
        QCOMPARE(RateFormat::bitRate(std::numeric_limits<long double>::quiet_NaN(), QLocale::c()),
                 QStringLiteral("? bit/s"));
        QCOMPARE(RateFormat::bitRate(std::numeric_limits<long double>::infinity(), QLocale::c()),
                 QStringLiteral("? bit/s"));
        QCOMPARE(RateFormat::speed(0, QLocale::c()), QStringLiteral("unknown"));
        QCOMPARE(RateFormat::speed(100000000, QLocale::c()), QStringLiteral("100 Mbit/s"));
        QCOMPARE(RateFormat::speed(1544000, QLocale::c()), QStringLiteral("1.54 Mbit/s"));
    }

    // The caption from the table's octets-per-second and percent cells, as the calculation
    // writes them in the locale in force: the percentages are rounded halves to even.
    void caption_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("cells"); // indeltapers, inutil, outdeltapers, oututil
        QTest::addColumn<QString>("caption");
        const QString dot = QStringLiteral(" \u00B7 ");
        QTest::newRow("C zero") << "C" << QStringList{"0", "0", "0", "0"}
                                << "IN 0 bit/s (0 %)" + dot + "OUT 0 bit/s (0 %)";
        QTest::newRow("C 999 bit/s and 1 kbit/s")
            << "C" << QStringList{"124.875", "0.5", "125", "1.5"}
            << "IN 999 bit/s (0 %)" + dot + "OUT 1 kbit/s (2 %)";
        QTest::newRow("C 812.4 Mbit/s")
            << "C" << QStringList{"101550000", "81.24", "1555000", "1.244"}
            << "IN 812 Mbit/s (81 %)" + dot + "OUT 12.4 Mbit/s (1 %)";
        QTest::newRow("C 9.99 and 400 Gbit/s")
            << "C" << QStringList{"1248750000", "99.9", "50000000000", "40"}
            << "IN 9.99 Gbit/s (100 %)" + dot + "OUT 400 Gbit/s (40 %)";
        QTest::newRow("comma 812.4 Mbit/s")
            << "de_DE" << QStringList{"101550000", "81,24", "1555000", "1,244"}
            << "IN 812 Mbit/s (81 %)" + dot + "OUT 12,4 Mbit/s (1 %)";
        QTest::newRow("comma 9.99 and 400 Gbit/s")
            << "de_DE" << QStringList{"1248750000", "99,9", "50000000000", "40"}
            << "IN 9,99 Gbit/s (100 %)" + dot + "OUT 400 Gbit/s (40 %)";
        QTest::newRow("comma no number") << "de_DE" << QStringList{"x", "", "12,5", "2,5"}
                                         << "IN 0 bit/s (0 %)" + dot + "OUT 100 bit/s (2 %)";
    }
    void caption()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, cells);
        QFETCH(QString, caption);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        InterfaceTable table;
        table.writeHeaderAndInitialValues();
        table.setCell(Col::InDeltaPers, 3, cells[0]);
        table.setCell(Col::InUtil, 3, cells[1]);
        table.setCell(Col::OutDeltaPers, 3, cells[2]);
        table.setCell(Col::OutUtil, 3, cells[3]);
        const QString got = Calculation::ratesCaption(table, 3);
        QLocale::setDefault(before);
        QCOMPARE(got, caption);
    }

    // Every value column's header cell names its unit; column 20 has none.
    void columnUnits()
    {
        QCOMPARE(Col::unitText(Col::Bandwidth), QStringLiteral("bits per second"));
        QVERIFY(Col::unitText(Col::InDeltaPers).startsWith(u"octets per second"));
        QVERIFY(Col::unitText(Col::CombinedPers).startsWith(u"octets per second"));
        QCOMPARE(Col::unitText(Col::OutUtil), QStringLiteral("percent of bandwidth"));
        QVERIFY(Col::unitText(Col::InDelta).startsWith(u"octets"));
        QCOMPARE(Col::unitText(Col::Unnamed), QString());
        QCOMPARE(Col::unitText(-1), QString());
    }
};

QTEST_GUILESS_MAIN(TestRateFormat)
#include "tst_rateformat.moc"
