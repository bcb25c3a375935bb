#include "ErrorReport.h"
#include "NumberFormat.h"
#include "TimeStamp.h"

#include <QTest>

using namespace NumberFormat;

class TestNumberFormat : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void formatGeneral_data()
    {
        QTest::addColumn<long double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("1000/6") << 1000.0L / 6 << "166.666666666667";
        QTest::newRow("1/120") << 1.0L / 120 << "0.00833333333333333";
        QTest::newRow("1e-4 stays plain") << 0.0001L << "0.0001";
        QTest::newRow("5e-5 scientific") << 0.00005L << "5E-5";
        QTest::newRow("tiny utilisation") << (800.0L / 120 / 1e9L) << "6.66666666666667E-9";
        QTest::newRow("zero") << 0.0L << "0";
        QTest::newRow("whole") << 100000.0L << "100000";
        QTest::newRow("worked in") << 39.0625L << "39.0625";
        QTest::newRow("worked out") << 3.90625L << "3.90625";
        QTest::newRow("worked comb") << 42.96875L << "42.96875";
        QTest::newRow("negative") << -2.5L << "-2.5";
        QTest::newRow("15 integer digits") << 123456789012345.0L << "123456789012345";
        QTest::newRow("16 integer digits") << 1234567890123456.0L << "1.23456789012346E15";
        QTest::newRow("large round") << 1e20L << "1E20";
        QTest::newRow("rounds up into plain") << 0.0000999999999999999999L << "0.0001";
    }
    void formatGeneral()
    {
        QFETCH(long double, value);
        QFETCH(QString, text);
        QCOMPARE(NumberFormat::formatGeneral(value), text);
    }

    void commaLocaleRoundTrip()
    {
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(NumberFormat::formatGeneral(1000.0L / 6, german),
                 QStringLiteral("166,666666666667"));
        QCOMPARE(NumberFormat::formatGeneral(6.66666666666667e-9L, german),
                 QStringLiteral("6,66666666666667E-9"));
        QCOMPARE(double(parseFloat(QStringLiteral("39,0625"), german)), 39.0625);
        long double v = 0;
        QVERIFY(!tryParseFloat(QStringLiteral("39.0625"), &v, german));
        QVERIFY(tryParseFloat(QStringLiteral("5E-5"), &v, german));
        QCOMPARE(double(v), 5e-5);
    }

    void parseFloatRejects_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("word") << "abc";
        QTest::newRow("trailing junk") << "12x";
        QTest::newRow("two points") << "1.2.3";
        QTest::newRow("two signs") << "+-5";
        QTest::newRow("infinity") << "inf";
        QTest::newRow("not a number") << "nan";
        QTest::newRow("exponent only") << "E5";
    }
    void parseFloatRejects()
    {
        QFETCH(QString, text);
        long double v = 0;
        QVERIFY(!tryParseFloat(text, &v));
        QVERIFY_THROWS_EXCEPTION(OstralineError, parseFloat(text));
    }

    void parseWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<qint64>("value");
        QTest::newRow("plain") << "2048000" << true << qint64(2048000);
        QTest::newRow("negative") << "-2" << true << qint64(-2);
        QTest::newRow("plus") << "+7" << true << qint64(7);
        QTest::newRow("max") << "9223372036854775807" << true << qint64(9223372036854775807LL);
        QTest::newRow("overflow") << "9223372036854775808" << false << qint64(0);
        QTest::newRow("fraction") << "1.5" << false << qint64(0);
        QTest::newRow("empty") << "" << false << qint64(0);
        QTest::newRow("blank") << " 5" << false << qint64(0);
        QTest::newRow("sign only") << "-" << false << qint64(0);
        QTest::newRow("plus minus") << "+-3" << false << qint64(0);
    }
    void parseWhole()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(qint64, value);
        std::int64_t got = 0;
        QCOMPARE(tryParseWhole(text, &got), ok);
        if (ok)
            QCOMPARE(qint64(got), value);
        else
            QVERIFY_THROWS_EXCEPTION(OstralineError, NumberFormat::parseWhole(text));
    }

    // A count with its noun: singular for exactly one, plural otherwise (zero included).
    void counted_data()
    {
        QTest::addColumn<long long>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0LL << "0 interfaces";
        QTest::newRow("one") << 1LL << "1 interface";
        QTest::newRow("two") << 2LL << "2 interfaces";
        QTest::newRow("eleven") << 11LL << "11 interfaces";
        QTest::newRow("twenty-one") << 21LL << "21 interfaces";
    }
    void counted()
    {
        QFETCH(long long, count);
        QFETCH(QString, text);
        QCOMPARE(
            NumberFormat::counted(count, QStringLiteral("interface"), QStringLiteral("interfaces")),
            text);
    }

    void roundHalfEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("rounded");
        QTest::newRow("0.5") << 0.5 << qint64(0);
        QTest::newRow("1.5") << 1.5 << qint64(2);
        QTest::newRow("2.5") << 2.5 << qint64(2);
        QTest::newRow("3.5") << 3.5 << qint64(4);
        QTest::newRow("12.5") << 12.5 << qint64(12);
        QTest::newRow("13.5") << 13.5 << qint64(14);
        QTest::newRow("0.4") << 0.4 << qint64(0);
        QTest::newRow("-0.5") << -0.5 << qint64(0);
        QTest::newRow("-1.5") << -1.5 << qint64(-2);
        QTest::newRow("39.0625") << 39.0625 << qint64(39);
        QTest::newRow("huge saturates") << 1e300 << qint64(std::numeric_limits<qint64>::max());
    }
    void roundHalfEven()
    {
        QFETCH(double, value);
        QFETCH(qint64, rounded);
        QCOMPARE(qint64(NumberFormat::roundHalfEven(value)), rounded);
    }

    void counters()
    {
        QCOMPARE(normaliseCounter(-2), std::int64_t(4294967294LL));
        QCOMPARE(normaliseCounter(-1), std::int64_t(4294967295LL));
        QCOMPARE(normaliseCounter(1600000), std::int64_t(1600000));
        QCOMPARE(wrapCorrectedDelta(296, 4294967000LL), std::int64_t(592));
        QCOMPARE(wrapCorrectedDelta(1600000, 1000000), std::int64_t(600000));
    }

    void timeStamp()
    {
        const QDateTime when(QDate(2005, 4, 7), QTime(14, 3, 9));
        QCOMPARE(TimeStamp::format(when, QLocale::c()), QStringLiteral("07.Apr.2005, 14:03:09"));
        QCOMPARE(TimeStamp::format(when, QLocale(QLocale::English, QLocale::UnitedKingdom)),
                 QStringLiteral("07.Apr.2005, 14:03:09"));
        const QString german = TimeStamp::format(QDateTime(QDate(2005, 3, 1), QTime(0, 0, 0)),
                                                 QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(german, QStringLiteral("01.M\u00e4r.2005, 00:00:00"));
    }
};

QTEST_APPLESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"
