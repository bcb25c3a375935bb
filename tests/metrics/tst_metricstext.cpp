#include "MetricsFixture.h"
#include "MetricsText.h"
#include "PrometheusTools.h"

#include <QTest>

#include <limits>

using namespace MetricsFixture;

// The text exposition of a poll: names, labels, what a row shows in each state, and what
// promtool makes of it.
class TestMetricsText : public QObject
{
    Q_OBJECT

private:
    static QByteArrayList samples(const QByteArray &text)
    {
        QByteArrayList lines;
        for (const QByteArray &line : text.split('\n')) {
            if (!line.isEmpty() && !line.startsWith('#'))
                lines.append(line);
        }
        return lines;
    }

private Q_SLOTS:
    void nothingBeforeTheFirstPoll() { QVERIFY(MetricsText::render(nullptr).isEmpty()); }

    // What one row contributes, by its state.
    void rowSamples_data()
    {
        QTest::addColumn<InterfaceReading>("row");
        QTest::addColumn<QByteArrayList>("expected");
        const QByteArray l = R"(agent="10.0.0.1:1161",ifIndex="3",ifDescr="Uplink")";
        const auto line = [&](const char *name, const QByteArray &extra,
                              const char *value) -> QByteArray {
            return QByteArray(name) + '{' + l + extra + "} " + value;
        };
        const QByteArrayList tail = {"ostraline_last_poll_timestamp_seconds 1765370000.25",
                                     "ostraline_poll_duration_seconds 0.0125"};

        InterfaceReading never = reading(1, "10.0.0.1:1161", "3", "Uplink");
        never.reason = QStringLiteral("no answer");
        QTest::newRow("never read: no counter samples")
            << never
            << (QByteArrayList{line("ifHighSpeed", {}, "100"),
                               line("ostraline_reading_up", {}, "0")} +
                tail);

        const InterfaceReading ok32 = good(1, "10.0.0.1:1161", "3", "Uplink", 4294967295u, 7);
        QTest::newRow("32-bit row")
            << ok32
            << (QByteArrayList{
                    line("ifInOctets", {}, "4294967295"), line("ifOutOctets", {}, "7"),
                    line("ifHighSpeed", {}, "100"), line("ostraline_reading_up", {}, "1"),
                    line("ostraline_utilisation_percent", ",direction=\"in\"", "10"),
                    line("ostraline_utilisation_percent", ",direction=\"out\"", "5"),
                    line("ostraline_utilisation_percent", ",direction=\"combined\"", "7.5")} +
                tail);

        InterfaceReading ok64 =
            good(1, "10.0.0.1:1161", "3", "Uplink", std::numeric_limits<std::uint64_t>::max(), 1);
        ok64.counters64 = true;
        ok64.bandwidth = 10000000000ull;
        // A first reading (start, gap, jump, restart) arrived but has no rate: up, and no
        // utilisation sample at all, whatever the row's rate fields hold.
        ok64.outcome = InterfaceReading::Outcome::First;
        ok64.reason = QStringLiteral("agent restarted");
        QTest::newRow("64-bit row, first reading")
            << ok64
            << (QByteArrayList{line("ifHCInOctets", {}, "18446744073709551615"),
                               line("ifHCOutOctets", {}, "1"), line("ifHighSpeed", {}, "10000"),
                               line("ostraline_reading_up", {}, "1")} +
                tail);

        // A failed reading keeps the counters of the last good one, but no utilisation.
        InterfaceReading failed = good(1, "10.0.0.1:1161", "3", "Uplink", 10, 20);
        failed.outcome = InterfaceReading::Outcome::Failed;
        failed.bandwidth = 1500000; // 1.5 Mbit/s rounds to 2
        failed.adminStatus = 1;
        failed.operStatus = 2;
        failed.inErrors = 3;
        failed.outErrors = 0;
        failed.inDiscards = 120;
        failed.outDiscards = 4;
        QTest::newRow("failed reading with link health")
            << failed
            << (QByteArrayList{line("ifInOctets", {}, "10"), line("ifOutOctets", {}, "20"),
                               line("ifInErrors", {}, "3"), line("ifOutErrors", {}, "0"),
                               line("ifInDiscards", {}, "120"), line("ifOutDiscards", {}, "4"),
                               line("ifAdminStatus", {}, "1"), line("ifOperStatus", {}, "2"),
                               line("ifHighSpeed", {}, "2"),
                               line("ostraline_reading_up", {}, "0")} +
                tail);

        // Taken out of the poll (stop on errors): not up, whatever its last outcome.
        InterfaceReading unchecked = good(1, "10.0.0.1:1161", "3", "Uplink", 10, 20);
        unchecked.polled = false;
        unchecked.bandwidth = 0;
        QTest::newRow("no longer polled")
            << unchecked
            << (QByteArrayList{line("ifInOctets", {}, "10"), line("ifOutOctets", {}, "20"),
                               line("ifHighSpeed", {}, "0"),
                               line("ostraline_reading_up", {}, "0")} +
                tail);
    }

    void rowSamples()
    {
        QFETCH(InterfaceReading, row);
        QFETCH(QByteArrayList, expected);
        const PollResult poll = result({row});
        QCOMPARE(samples(MetricsText::render(&poll)), expected);
    }

    // Label values of any text survive; a second row with the same labels would make
    // Prometheus reject the whole scrape, so only the first is written.
    void labelsEscapedAndUnique()
    {
        const PollResult poll = result({
            good(1, "[::1]:161", "2", "say \"hi\"\\ now\nplease \u00e9", 1, 2),
            good(2, "[::1]:161", "2", "say \"hi\"\\ now\nplease \u00e9", 55555, 6),
            good(3, "[::1]:161", "2", "other", 7, 8),
        });
        const QByteArray text = MetricsText::render(&poll);
        QVERIFY(text.contains("ifInOctets{agent=\"[::1]:161\",ifIndex=\"2\",ifDescr=\"say "
                              "\\\"hi\\\"\\\\ now\\nplease "
                              "\xc3\xa9\"} 1\n"));
        QVERIFY(!text.contains("} 55555\n"));
        QVERIFY(text.contains("ifDescr=\"other\"} 7\n"));
        QCOMPARE(text.count("# TYPE ifInOctets counter\n"), 1);
    }

    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("whole") << 70.0 << QByteArray("70");
        QTest::newRow("fraction") << 0.1 << QByteArray("0.1");
        QTest::newRow("large") << 1.5e300 << QByteArray("1.5e+300");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << QByteArray("NaN");
        QTest::newRow("inf") << std::numeric_limits<double>::infinity() << QByteArray("+Inf");
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << QByteArray("-Inf");
    }

    void numbers()
    {
        QFETCH(double, value);
        QFETCH(QByteArray, text);
        QCOMPARE(MetricsText::number(value), text);
    }

    // promtool finds no error; its only findings are the IF-MIB names' own style.
    void promtoolFindsOnlyNamingLints()
    {
        if (PrometheusTools::promtool().isEmpty())
            QSKIP("promtool is not installed");
        InterfaceReading health = good(2, "127.0.0.1", "5", "with \"quotes\"", 10, 20);
        health.counters64 = true;
        health.adminStatus = 1;
        health.operStatus = 1;
        health.inErrors = health.outErrors = health.inDiscards = health.outDiscards = 0;
        const PollResult poll = result({good(1, "127.0.0.1", "4", "eth0", 1, 2), health,
                                        reading(3, "192.0.2.1", "1", "never read")});
        QStringList findings;
        const int status = PrometheusTools::checkMetrics(MetricsText::render(&poll), &findings);
        QCOMPARE(status, findings.isEmpty() ? 0 : 3);
        // Ostraline's own names are snake_case with units and suffixes; they share only the
        // IF-MIB label names (ifIndex, ifDescr) with the rest.
        for (const QString &finding : findings) {
            const bool camel = finding.contains(QLatin1String("camelCase"));
            const bool total = finding.contains(QLatin1String("should have \"_total\" suffix"));
            QVERIFY2(camel || total, qPrintable(finding));
            if (finding.startsWith(QLatin1String("ostraline_")))
                QVERIFY2(finding.contains(QLatin1String("label names")), qPrintable(finding));
        }
        QVERIFY(!findings.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMetricsText)
#include "tst_metricstext.moc"
