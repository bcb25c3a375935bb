// The first-reading rules applied per port, one reading after another.

#include "PortTracker.h"

#include <QTest>

namespace
{

PortCounters counters(int width, std::uint64_t in, std::uint64_t out, std::uint64_t errors = 0)
{
    PortCounters c;
    c.width = width;
    c.inOctets = in;
    c.outOctets = out;
    c.inErrors = errors;
    c.outErrors = 0;
    return c;
}

} // namespace

class TestPortTracker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A first reading at 0 s (in 1,000,000, out 2,000,000 octets), then the second reading.
    void secondReading_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<qint64>("atMs");
        QTest::addColumn<quint64>("in");
        QTest::addColumn<quint64>("out");
        QTest::addColumn<QString>("restart");
        QTest::addColumn<quint64>("speed");
        QTest::addColumn<double>("inBits"); // -1: a first reading
        QTest::addColumn<QString>("reason");
        const quint64 gig = 1000000000;
        QTest::newRow("64-bit") << 64 << qint64(10000) << quint64(11000000) << quint64(2500000)
                                << QString() << gig << 8e6 << QString();
        QTest::newRow("32-bit wraps once")
            << 32 << qint64(10000) << quint64(500000) << quint64(2000000) << QString() << 10 * gig
            << (4294967296.0 - 1000000 + 500000) * 8 / 10 << QString();
        QTest::newRow("gap above 1.5 intervals")
            << 64 << qint64(15100) << quint64(11000000) << quint64(2500000) << QString() << gig
            << -1.0 << "a gap of 15.1 s since the last reading";
        QTest::newRow("1.5 intervals is no gap")
            << 64 << qint64(15000) << quint64(16000000) << quint64(2000000) << QString() << gig
            << 8e6 << QString();
        QTest::newRow("64-bit going backwards")
            << 64 << qint64(10000) << quint64(999999) << quint64(2500000) << QString() << gig
            << -1.0 << "64-bit counters went backwards (agent restart or counters cleared)";
        QTest::newRow("agent restarted")
            << 64 << qint64(10000) << quint64(11000000) << quint64(2500000)
            << "agent restarted (uptime 0 d 00:00:05)" << gig << -1.0
            << "agent restarted (uptime 0 d 00:00:05)";
        QTest::newRow("above twice the speed")
            << 64 << qint64(10000) << quint64(1000000 + 2500001) << quint64(2000000) << QString()
            << quint64(1000000) << -1.0
            << "rate above twice the port speed (a counter jump or restart)";
        QTest::newRow("twice the speed is traffic")
            << 64 << qint64(10000) << quint64(1000000 + 2500000) << quint64(2000000) << QString()
            << quint64(1000000) << 2e6 << QString();
    }

    void secondReading()
    {
        QFETCH(int, width);
        QFETCH(qint64, atMs);
        QFETCH(quint64, in);
        QFETCH(quint64, out);
        QFETCH(QString, restart);
        QFETCH(quint64, speed);
        QFETCH(double, inBits);
        QFETCH(QString, reason);
        PortTracker tracker;
        const PortRates first =
            tracker.take(counters(width, 1000000, 2000000, 7), {0, 10, speed, {}});
        QCOMPARE(first.outcome, PortRates::Outcome::First);
        QCOMPARE(first.reason, QStringLiteral("first reading"));
        QVERIFY(!first.inErrorsDelta);

        const PortRates rates =
            tracker.take(counters(width, in, out, 12), {atMs, 10, speed, restart});
        if (inBits < 0) {
            QCOMPARE(rates.outcome, PortRates::Outcome::First);
            QCOMPARE(rates.reason, reason);
            QCOMPARE(rates.inBitsPerSecond, 0.0);
            QVERIFY(!rates.inUtilisation && !rates.inErrorsDelta);
        } else {
            QCOMPARE(rates.outcome, PortRates::Outcome::Good);
            QCOMPARE(rates.inBitsPerSecond, inBits);
            QCOMPARE(*rates.inUtilisation, inBits * 100 / double(speed));
            QCOMPARE(rates.inErrorsDelta, std::optional<std::uint64_t>(5));
            QCOMPARE(rates.outErrorsDelta, std::optional<std::uint64_t>(0));
            QVERIFY(!rates.inDiscardsDelta); // not read
        }
        // Every reading is the next one's base: the same counters 10 s later are 0 bit/s.
        const PortRates third =
            tracker.take(counters(width, in, out, 12), {atMs + 10000, 10, speed, {}});
        QCOMPARE(third.outcome, PortRates::Outcome::Good);
        QCOMPARE(third.inBitsPerSecond, 0.0);
    }

    void missingCountersAndWidthChange()
    {
        PortTracker tracker;
        PortCounters none;
        QCOMPARE(tracker.take(none, {0, 10, 0, {}}).outcome, PortRates::Outcome::Failed);
        tracker.take(counters(32, 100, 100), {0, 10, 0, {}});
        const PortRates changed = tracker.take(counters(64, 200, 200), {10000, 10, 0, {}});
        QCOMPARE(changed.outcome, PortRates::Outcome::First);
        QCOMPARE(changed.reason, QStringLiteral("first reading (the counters changed width)"));
        const PortRates good = tracker.take(counters(64, 300, 200), {20000, 10, 0, {}});
        QCOMPARE(good.outcome, PortRates::Outcome::Good);
        QCOMPARE(good.inBitsPerSecond, 80.0);
        QVERIFY(!good.inUtilisation); // speed unknown
    }
};

QTEST_GUILESS_MAIN(TestPortTracker)
#include "tst_porttracker.moc"
