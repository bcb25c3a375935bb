#include "Calculation.h"
#include "GetStep.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "SnmpAgent.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

// The get and calculate steps against a real loopback agent, with 64-bit counters switched on
// or off: which counters each interface ends up with and what goes on the wire.
class TestCounters64 : public QObject
{
    Q_OBJECT

    struct Board {
        InterfaceTable table;
        InterfaceList list;
        Poller poller{table, list};

        Board(const QString &host, const QList<int> &indexes,
              const QString &bandwidth = QStringLiteral("10000000000"))
        {
            table.writeHeaderAndInitialValues();
            for (int row = 1; row <= indexes.size(); ++row) {
                table.setCell(Col::Number, row, QString::number(row));
                table.setCell(Col::IP, row, host);
                table.setCell(Col::Interface, row, QString::number(indexes[row - 1]));
                table.setCell(Col::Community, row, SnmpAgent::community());
                table.setCell(Col::Bandwidth, row, bandwidth);
                list.append(QString::number(row));
            }
        }
        bool poll(int interval = 12)
        {
            QSignalSpy done(&poller, &Poller::getFinished);
            poller.setPollInterval(interval);
            if (!poller.start() || !done.wait(5000))
                return false;
            return Calculation::calculate(table, list, interval, &poller.counters()).isEmpty();
        }
        QString at(int column, int row) const { return table.cell(column, row); }
    };

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
    }

    // An interface with 64-bit counters at 50 % of 10 Gbit/s in both directions over 12 s
    // (7.5E9 octets, beyond 2^32) next to one without them, which computes as before.
    void choosesPerInterface()
    {
        SnmpAgent agent;
        agent.setLogPackets(true);
        agent.setCounters(1, 1000, 2000);
        agent.setCounters64(1, 5000000000000ULL, 9000000000000ULL);
        agent.setCounters(2, 4294967000U, 100);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        Board board(agent.host(), {1, 2});
        board.poller.counters().setEnabled(true);
        QVERIFY(board.poll());
        QCOMPARE(board.poller.counters().width(1), CounterChoice::Width::Bits64);
        QCOMPARE(board.poller.counters().width(2), CounterChoice::Width::Bits32);
        QCOMPARE(board.at(Col::OrgIn, 1), "5000000000000");
        QCOMPARE(board.at(Col::OrgIn, 2), "4294967000");

        agent.setCounters64(1, 5007500000000ULL, 9007500000000ULL);
        agent.setCounters(2, 296, 700);
        const int before = agent.receivedRequests().size();
        QVERIFY(board.poll());
        QCOMPARE(board.at(Col::InDelta, 1), "7500000000");
        QCOMPARE(board.at(Col::InUtil, 1), "50");
        QCOMPARE(board.at(Col::OutUtil, 1), "50");
        QCOMPARE(board.at(Col::CombinedUtil, 1), "100");
        QCOMPARE(board.at(Col::InDelta, 2), "592"); // the 32-bit wrap rule
        QCOMPARE(board.at(Col::OutDelta, 2), "600");

        // Once chosen, each interface is asked one way only: one v2c request for row 1, two
        // v1 requests for row 2.
        const auto requests = agent.receivedRequests().mid(before);
        QCOMPARE(requests.size(), 3);
        QCOMPARE(requests.count({1, "1.3.6.1.2.1.31.1.1.1.6.1"}), 1);
        QCOMPARE(requests.count({0, "1.3.6.1.2.1.2.2.1.10.2"}), 1);
        QCOMPARE(requests.count({0, "1.3.6.1.2.1.2.2.1.16.2"}), 1);

        // A later failure of the 64-bit interface is a failed reading, not a switch.
        agent.removeCounters64(1);
        QVERIFY(board.poll());
        QCOMPARE(board.at(Col::OrgIn, 1), "0"); // zeroes mode
        QCOMPARE(board.poller.counters().width(1), CounterChoice::Width::Bits64);
    }

    // Switching the setting off while polling: the 64-bit row goes back to 32-bit counters
    // with a first reading (no delta across the two kinds), then computes as before.
    void settingOffStartsAfresh()
    {
        SnmpAgent agent;
        agent.setCounters(1, 1000, 2000);
        agent.setCounters64(1, 5000000000000ULL, 9000000000000ULL);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        Board board(agent.host(), {1}, "1000000000"); // cannot wrap within 12 s
        board.poller.counters().setEnabled(true);
        QVERIFY(board.poll());
        QVERIFY(board.poll());
        QCOMPARE(board.poller.counters().width(1), CounterChoice::Width::Bits64);
        board.poller.counters().setEnabled(false);
        QVERIFY(board.poll());
        QCOMPARE(board.poller.counters().width(1), CounterChoice::Width::Bits32);
        QCOMPARE(board.at(Col::OrgIn, 1), "1000");
        QCOMPARE(board.at(Col::InDelta, 1), "0");
        QCOMPARE(board.at(Col::InUtil, 1), "0");
        agent.setCounters(1, 1600, 2000);
        QVERIFY(board.poll());
        QCOMPARE(board.at(Col::InDelta, 1), "600");
    }

    // Switched off, exactly the v1 requests of before go out for a link that cannot wrap its
    // 32-bit counter within an interval, and nothing else.
    void offSendsOnlyV1()
    {
        SnmpAgent agent;
        agent.setLogPackets(true);
        agent.setCounters(1, 1000, 2000);
        agent.setCounters64(1, 5000000000000ULL, 9000000000000ULL);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const int before = agent.receivedRequests().size(); // the start-up probe
        Board board(agent.host(), {1}, "1000000000");
        QVERIFY(board.poll());
        QVERIFY(board.poll());
        const QList<std::pair<int, QString>> expected = {{0, "1.3.6.1.2.1.2.2.1.10.1"},
                                                         {0, "1.3.6.1.2.1.2.2.1.16.1"}};
        QCOMPARE(agent.receivedRequests().mid(before), expected + expected);
        QCOMPARE(board.at(Col::OrgIn, 1), "1000");
    }

    // An agent that accepts SNMP v1 only never answers the v2c request: 32-bit, decided within
    // the one shared deadline.
    void v1OnlyAgentFallsBack()
    {
        SnmpAgent agent;
        agent.setV1Only(true);
        agent.setCounters(1, 1000, 2000);
        agent.setCounters64(1, 5000000000000ULL, 9000000000000ULL);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        Board board(agent.host(), {1});
        board.poller.counters().setEnabled(true);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(board.poll());
        QVERIFY(clock.elapsed() < 2600);
        QCOMPARE(board.poller.counters().width(1), CounterChoice::Width::Bits32);
        QCOMPARE(board.at(Col::OrgIn, 1), "1000");
        QCOMPARE(board.at(Col::OrgOut, 1), "2000");
    }

    // The line between links that can wrap a 32-bit octet counter within one interval and
    // those that cannot: bandwidth / 8 x interval >= 2^32 octets.
    void wrapRule_data()
    {
        QTest::addColumn<quint64>("bandwidth");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("wraps");
        QTest::newRow("10 Gbit/s at 6 s") << quint64(10000000000) << 6 << true;
        QTest::newRow("10 Gbit/s at 3 s") << quint64(10000000000) << 3 << false;
        QTest::newRow("1 Gbit/s at 30 s") << quint64(1000000000) << 30 << false;
        QTest::newRow("1 Gbit/s at 60 s") << quint64(1000000000) << 60 << true;
        QTest::newRow("exactly 2^32 octets in 120 s") << quint64(286331153) << 120 << false;
        QTest::newRow("one bit/s more") << quint64(286331154) << 120 << true;
        QTest::newRow("100 Mbit/s at 120 s") << quint64(100000000) << 120 << false;
        QTest::newRow("unknown bandwidth") << quint64(0) << 120 << false;
        QTest::newRow("the largest bandwidth") << quint64(9223372036854775807) << 3 << true;
    }
    void wrapRule()
    {
        QFETCH(quint64, bandwidth);
        QFETCH(int, interval);
        QFETCH(bool, wraps);
        QCOMPARE(CounterChoice::wrapsWithin(bandwidth, interval), wraps);
    }

    // A link that can wrap within the interval asks both ways on its first poll whatever the
    // setting says, keeps 64-bit counters where the agent has them, and is not measurable
    // where it has none; a change of interval across the line chooses again.
    void fastLinkChoosesWhateverTheSetting()
    {
        SnmpAgent agent;
        agent.setLogPackets(true);
        agent.setCounters(1, 1000, 2000);
        agent.setCounters64(1, 5000000000000ULL, 9000000000000ULL);
        agent.setCounters(2, 3000, 4000);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        Board board(agent.host(), {1, 2});
        QVERIFY(!board.poller.counters().enabled());
        int before = agent.receivedRequests().size();
        QVERIFY(board.poll(6));
        const CounterChoice &counters = board.poller.counters();
        QCOMPARE(counters.width(1), CounterChoice::Width::Bits64);
        QCOMPARE(counters.width(2), CounterChoice::Width::Bits32);
        QVERIFY(!counters.notMeasurable(1));
        QVERIFY(counters.notMeasurable(2));
        QCOMPARE(agent.receivedRequests().size() - before, 6); // two v1 and one v2c each

        before = agent.receivedRequests().size();
        QVERIFY(board.poll(6));
        const QList<std::pair<int, QString>> expected = {{1, "1.3.6.1.2.1.31.1.1.1.6.1"},
                                                         {0, "1.3.6.1.2.1.2.2.1.10.2"},
                                                         {0, "1.3.6.1.2.1.2.2.1.16.2"}};
        auto requests = agent.receivedRequests().mid(before);
        std::sort(requests.begin(), requests.end());
        auto sortedExpected = expected;
        std::sort(sortedExpected.begin(), sortedExpected.end());
        QCOMPARE(requests, sortedExpected);

        // At 3 s 10 Gbit/s cannot wrap: both rows are chosen afresh, and with the setting off
        // they go back to the 32-bit counters, now measurable.
        QVERIFY(board.poll(3));
        QCOMPARE(counters.width(1), CounterChoice::Width::Bits32);
        QVERIFY(!counters.notMeasurable(2));
        QVERIFY(!counters.wraps32(2));
    }

    // A 64-bit counter that went backwards: the poll is a first reading, the next is normal.
    void restartIsAFirstReading()
    {
        SnmpAgent agent;
        agent.setCounters(1, 1, 1);
        agent.setCounters64(1, 900000000000ULL, 900000000000ULL);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        Board board(agent.host(), {1});
        board.poller.counters().setEnabled(true);
        QVERIFY(board.poll());
        agent.setCounters64(1, 900000600000ULL, 900000600000ULL);
        QVERIFY(board.poll());
        QCOMPARE(board.at(Col::InDelta, 1), "600000");
        agent.setCounters64(1, 5000, 5000);
        QSignalSpy done(&board.poller, &Poller::getFinished);
        QVERIFY(board.poller.start() && done.wait(5000));
        QList<int> restarted;
        QVERIFY(Calculation::calculate(board.table, board.list, 12, &board.poller.counters(),
                                       &restarted)
                    .isEmpty());
        QCOMPARE(restarted, QList<int>{1});
        QCOMPARE(board.at(Col::InDelta, 1), "0");
        QCOMPARE(board.at(Col::InUtil, 1), "0");
        agent.setCounters64(1, 6200, 6200);
        QVERIFY(board.poll());
        QCOMPARE(board.at(Col::InDelta, 1), "1200");
    }
};

QTEST_GUILESS_MAIN(TestCounters64)
#include "tst_counters64.moc"
