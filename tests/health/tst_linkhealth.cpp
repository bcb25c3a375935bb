#include "LinkHealthCounters.h"
#include "LinkHealthWatch.h"
#include "PollResult.h"

#include <QTest>

namespace
{

using Count = std::optional<std::uint64_t>;

InterfaceReading row1(std::uint64_t bandwidth = 100000000)
{
    InterfaceReading r;
    r.row = 1;
    r.address = QStringLiteral("10.0.0.1");
    r.ifIndex = QStringLiteral("3");
    r.description = QStringLiteral("uplink");
    r.bandwidth = bandwidth;
    r.polled = true;
    r.outcome = InterfaceReading::Outcome::Good;
    return r;
}

LinkHealthSample sample(int admin, int oper, std::uint32_t inErrors, std::uint32_t inDiscards)
{
    LinkHealthSample s;
    s.adminStatus = admin;
    s.operStatus = oper;
    s.inErrors = inErrors;
    s.outErrors = 0;
    s.inDiscards = inDiscards;
    s.outDiscards = 0;
    return s;
}

const QDateTime T0(QDate(2026, 12, 10), QTime(14, 3, 9));

} // namespace

class TestLinkHealth : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Reading texts as the exchange gives them: each value on its own, anything that is not
    // a plain whole number in range is not known.
    void samplesFromTexts_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("sample"); // admin oper inDisc inErr outDisc outErr, - unset
        QTest::newRow("all answered")
            << QStringList{"1", "2", "120", "3", "0", "4294967295"} << "1 2 120 3 0 4294967295";
        QTest::newRow("no discards (noSuchObject)")
            << QStringList{"1", "1", "", "3", "", "0"} << "1 1 - 3 - 0";
        QTest::newRow("out of range and odd texts")
            << QStringList{"0", "2147483648", "4294967296", "-1", "+5", "12abc"} << "- - - - - -";
        QTest::newRow("wrong count of texts") << QStringList{"1", "1"} << "- - - - - -";
    }
    void samplesFromTexts()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, sample);
        const LinkHealthSample s = LinkHealthSample::fromTexts(texts);
        const auto text = [](const auto &value) {
            return value ? QString::number(*value) : QStringLiteral("-");
        };
        QCOMPARE(QStringList({text(s.adminStatus), text(s.operStatus), text(s.inDiscards),
                              text(s.inErrors), text(s.outDiscards), text(s.outErrors)})
                     .join(' '),
                 sample);
    }

    // The count between two readings of a 32-bit counter: the octets' wrap rule, and a count
    // the line could not carry is a discontinuity (no count), not traffic.
    void counts_data()
    {
        QTest::addColumn<quint32>("previous");
        QTest::addColumn<quint32>("current");
        QTest::addColumn<quint64>("maxCount");
        QTest::addColumn<Count>("count");
        QTest::newRow("unchanged") << 7u << 7u << quint64(1000) << Count(0);
        QTest::newRow("three errors") << 7u << 10u << quint64(1000) << Count(3);
        QTest::newRow("wrap past 2^32-1") << 4294967290u << 5u << quint64(1000) << Count(11);
        QTest::newRow("at the bound") << 0u << 1000u << quint64(1000) << Count(1000);
        QTest::newRow("above the bound") << 0u << 1001u << quint64(1000) << Count();
        QTest::newRow("restart looks like a huge wrap")
            << 4000000000u << 10u << quint64(75000000) << Count();
        QTest::newRow("no bandwidth, no bound")
            << 4000000000u << 10u << quint64(0) << Count(294967306);
        QTest::newRow("cleared, no bound") << 1005u << 0u << quint64(0) << Count();
        QTest::newRow("step back just short of 2^31 on: a wrap")
            << 2147483658u << 9u << quint64(0) << Count(2147483647);
        QTest::newRow("step back 2^31 on: a reset") << 2147483648u << 0u << quint64(0) << Count();
    }
    void counts()
    {
        QFETCH(quint32, previous);
        QFETCH(quint32, current);
        QFETCH(quint64, maxCount);
        QFETCH(Count, count);
        QCOMPARE(LinkHealthCounters::count(previous, current, maxCount), count);
    }

    // A cleared counter steps back: no count at any speed and interval, also where the line
    // could carry 2^32 packets in a poll (10 Gbit/s from 6 s on, 1 Gbit/s from 60 s on); a
    // short wrap through 2^32 still counts. The graph's caption says what the counts say.
    void clearedCountersAreNoWrap_data()
    {
        QTest::addColumn<quint64>("bandwidth");
        QTest::addColumn<int>("interval");
        QTest::addColumn<quint32>("before");
        QTest::addColumn<quint32>("after");
        QTest::addColumn<Count>("count");
        for (const quint64 bandwidth : {1000000000ULL, 10000000000ULL}) {
            for (const int interval : {3, 6, 12, 30, 60, 120}) {
                const QByteArray name = QByteArray::number(bandwidth / 1000000000) + "G " +
                                        QByteArray::number(interval) + " s ";
                QTest::newRow(QByteArray(name + "cleared").constData())
                    << bandwidth << interval << 1005u << 0u << Count();
                QTest::newRow(QByteArray(name + "short wrap").constData())
                    << bandwidth << interval << 4294967290u << 9u << Count(15);
            }
        }
    }
    void clearedCountersAreNoWrap()
    {
        QFETCH(quint64, bandwidth);
        QFETCH(int, interval);
        QFETCH(quint32, before);
        QFETCH(quint32, after);
        QFETCH(Count, count);
        LinkHealthCounters counters;
        LinkHealthWatch watch;
        InterfaceReading r = row1(bandwidth);
        counters.apply(r, sample(1, 1, before, before), false, interval);
        counters.apply(r, sample(1, 1, after, after), false, interval);
        QCOMPARE(r.inErrorsDelta, count);
        QCOMPARE(r.inDiscardsDelta, count);
        QCOMPARE(r.outErrorsDelta, Count(0));
        PollResult result;
        result.pollIntervalSeconds = interval;
        result.interfaces = {r};
        watch.take(result);
        QCOMPARE(watch.view(1).caption,
                 count ? QStringLiteral("Errors 15 \u00B7 Discards 15 (last poll)") : QString());
    }

    // Poll by poll: the first poll, a first reading of the octets (gap, restart, jump) and a
    // counter not known give no count; the poll after a counter came back is a first reading
    // for it. The bound follows the row's bandwidth and the interval.
    void countsPollByPoll()
    {
        LinkHealthCounters counters;
        InterfaceReading r = row1(8000); // 1000 octets/s: at most 6000 per 6 s
        counters.apply(r, sample(1, 1, 100, 5), false, 6);
        QCOMPARE(r.adminStatus, std::optional<int>(1));
        QCOMPARE(r.inErrors, Count(100));
        QCOMPARE(r.inErrorsDelta, Count());
        QCOMPARE(r.outDiscardsDelta, Count());

        counters.apply(r, sample(1, 1, 103, 125), false, 6);
        QCOMPARE(r.inErrorsDelta, Count(3));
        QCOMPARE(r.inDiscardsDelta, Count(120));
        QCOMPARE(r.outErrorsDelta, Count(0));

        counters.apply(r, sample(1, 1, 104, 125), true, 6); // a gap: first reading
        QCOMPARE(r.inErrorsDelta, Count());
        QCOMPARE(r.inDiscardsDelta, Count());

        LinkHealthSample noDiscards = sample(1, 1, 110, 0);
        noDiscards.inDiscards.reset();
        counters.apply(r, noDiscards, false, 6);
        QCOMPARE(r.inErrorsDelta, Count(6));
        QCOMPARE(r.inDiscards, Count());
        QCOMPARE(r.inDiscardsDelta, Count());
        counters.apply(r, sample(1, 1, 110, 200), false, 6);
        QCOMPARE(r.inDiscardsDelta, Count()); // back: a first reading for that counter
        QCOMPARE(r.inErrorsDelta, Count(0));

        counters.apply(r, sample(1, 1, 110 + 6001, 200), false, 6);
        QCOMPARE(r.inErrorsDelta, Count()); // more than one per octet in 6 s
        counters.apply(r, sample(1, 1, 110 + 6001 + 2, 200), false, 6);
        QCOMPARE(r.inErrorsDelta, Count(2)); // the jump became the new base

        counters.reset();
        counters.apply(r, sample(1, 1, 200, 300), false, 6);
        QCOMPARE(r.inErrorsDelta, Count());
    }

    // A whole poll: rows by their outcome and texts; a failed reading forgets the counters,
    // so the poll after it is a first reading for them.
    void fillAPoll()
    {
        LinkHealthCounters counters;
        const auto poll = [&](InterfaceReading::Outcome second, const QStringList &texts) {
            PollResult result;
            result.pollIntervalSeconds = 6;
            InterfaceReading a = row1();
            InterfaceReading b = row1();
            b.row = 2;
            b.outcome = second;
            result.interfaces = {a, b};
            counters.fill(result, {{1, {"1", "1", "10", "20", "30", "40"}}, {2, texts}});
            return result;
        };
        const QStringList up = {"1", "1", "0", "5", "0", "0"};
        poll(InterfaceReading::Outcome::First, up);
        PollResult r = poll(InterfaceReading::Outcome::Good, {"1", "2", "0", "8", "0", "0"});
        QCOMPARE(r.interfaces[1].operStatus, std::optional<int>(2));
        QCOMPARE(r.interfaces[1].inErrorsDelta, Count(3));
        QCOMPARE(r.interfaces[0].inErrorsDelta, Count(0));
        r = poll(InterfaceReading::Outcome::Failed, {"1", "1", "0", "9", "0", "0"});
        QCOMPARE(r.interfaces[1].operStatus, std::optional<int>());
        QCOMPARE(r.interfaces[1].inErrors, Count());
        r = poll(InterfaceReading::Outcome::Good, {"1", "1", "0", "12", "0", "0"});
        QCOMPARE(r.interfaces[1].inErrors, Count(12));
        QCOMPARE(r.interfaces[1].inErrorsDelta, Count());
        r = poll(InterfaceReading::Outcome::First, {"1", "1", "0", "13", "0", "0"});
        QCOMPARE(r.interfaces[1].inErrorsDelta, Count()); // a gap, restart or jump
        QCOMPARE(r.interfaces[0].outErrorsDelta, Count(0));
    }

    // The state per row through a sequence of polls: what the graph shows, what the status
    // bar names, and what the tooltip sums up.
    void watchPollByPoll()
    {
        struct Poll {
            int admin, oper;
            bool failed;
            Count inErrors, inDiscards;
            QString changes;
            LinkLook look;
            QString caption;
        };
        const QString down = QStringLiteral("Link state: row 1 (uplink) down");
        const QList<Poll> polls = {
            {1, 1, false, Count(), Count(), "", LinkLook::Normal, ""}, // up: not named
            {1, 1, false, Count(0), Count(0), "", LinkLook::Normal, ""},
            {1, 1, false, Count(3), Count(0), "", LinkLook::Normal,
             QStringLiteral("Errors 3 \u00B7 Discards 0 (last poll)")},
            {1, 2, false, Count(0), Count(120), down, LinkLook::Down, "Link down since 14:03:27"},
            {1, 2, false, Count(0), Count(0), "", LinkLook::Down, "Link down since 14:03:27"},
            {1, 2, true, Count(), Count(), "", LinkLook::Normal, ""}, // failed: red, no state
            {1, 1, false, Count(), Count(), "Link state: row 1 (uplink) up", LinkLook::Normal, ""},
            {2, 2, false, Count(0), Count(0), "Link state: row 1 (uplink) disabled",
             LinkLook::Disabled, "Disabled"},
            {1, 7, false, Count(0), Count(0), down, LinkLook::Down, "Link down since 14:03:57"},
        };
        LinkHealthWatch watch;
        for (int i = 0; i < polls.size(); ++i) {
            const Poll &p = polls[i];
            PollResult result;
            result.time = T0.addSecs(6 * i);
            InterfaceReading r = row1();
            r.adminStatus = p.admin;
            r.operStatus = p.oper;
            r.inErrorsDelta = p.inErrors;
            r.inDiscardsDelta = p.inDiscards;
            if (p.failed) {
                r = row1();
                r.outcome = InterfaceReading::Outcome::Failed;
            }
            result.interfaces = {r};
            const QString changes = watch.take(result);
            const LinkHealthView view = watch.view(1);
            QVERIFY2(changes == p.changes, qPrintable(QString::number(i) + ": " + changes));
            QVERIFY2(view.look == p.look, qPrintable(QString::number(i)));
            QVERIFY2(view.caption == p.caption,
                     qPrintable(QString::number(i) + ": " + view.caption));
        }
        const QString tip = watch.view(1).toolTip;
        QVERIFY2(tip.startsWith("Link down since 14:03:57 (admin up, oper lower layer down)\n"
                                "Last poll: in errors 0, out errors not known, in discards 0, "
                                "out discards not known\n"),
                 qPrintable(tip));
        QVERIFY2(tip.endsWith("Since Start polling: in errors 3, out errors not known, in "
                              "discards 120, out discards not known"),
                 qPrintable(tip));

        // A link already down at the first poll is named then; reset forgets the totals.
        watch.reset();
        PollResult first;
        first.time = T0;
        InterfaceReading r = row1();
        r.description.clear();
        r.adminStatus = 1;
        r.operStatus = 2;
        first.interfaces = {r};
        QCOMPARE(watch.take(first),
                 QStringLiteral("Link state: row 1 (10.0.0.1 interface 3) down"));
        QCOMPARE(watch.view(1).caption, QStringLiteral("Link down (at start of polling)"));
        QVERIFY2(watch.view(1).toolTip.startsWith(
                     "Link down at start of polling, 14:03:09 (admin up, oper down)\n"),
                 qPrintable(watch.view(1).toolTip));
        QVERIFY(watch.view(1).toolTip.endsWith("in errors not known, out errors not known, in "
                                               "discards not known, out discards not known"));
        QCOMPARE(watch.view(2).toolTip, QString()); // a row no poll reported
    }
};

QTEST_GUILESS_MAIN(TestLinkHealth)
#include "tst_linkhealth.moc"
