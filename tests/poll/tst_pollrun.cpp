#include "DailyLogFile.h"
#include "DeviceFile.h"
#include "InterfaceList.h"
#include "InterfaceTable.h"
#include "PollRun.h"
#include "SnmpAgent.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <limits>
#include <memory>

// The poll run without any window: get, calculation and logs in order, one PollResult per
// poll, against a real agent on loopback.
class TestPollRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<SnmpAgent> m_agent;

    static quint16 closedPort()
    {
        QUdpSocket socket;
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        return socket.localPort();
    }

    struct Run {
        InterfaceTable table;
        InterfaceList list;
        LogEnvironment logs;
        QTemporaryDir folder;
        std::unique_ptr<PollRun> run;
        QStringList events; // the order the signals came in

        Run(const QStringList &lines)
        {
            // As at start-up: every computed cell "0", so the first poll is a first reading.
            for (int row = 1; row <= InterfaceTable::InterfaceRows; ++row)
                table.resetComputedColumns(row);
            DeviceFile::store(lines, table, list);
            logs.programFolder = folder.path();
            logs.clock = [] { return QDateTime(QDate(2026, 3, 4), QTime(10, 0)); };
            run = std::make_unique<PollRun>(table, list, logs);
            run->setPollInterval(6);
            run->poller().setTimeoutMs(500);
            QObject::connect(run.get(), &PollRun::getFinished, [this] { events << "get"; });
            QObject::connect(run.get(), &PollRun::lastValuesShown,
                             [this](const QStringList &) { events << "captions"; });
            QObject::connect(run.get(), &PollRun::graphValuesShown,
                             [this](const QList<PollRun::SlotValue> &) { events << "graph"; });
            QObject::connect(run.get(), &PollRun::pollFinished,
                             [this](const PollResult &) { events << "finished"; });
        }
        PollResult poll()
        {
            QSignalSpy done(run.get(), &PollRun::pollFinished);
            if (!run->start() || !done.wait(5000))
                return {};
            return done.first().first().value<PollResult>();
        }
    };

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<PollResult>();
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        m_agent = std::make_unique<SnmpAgent>();
        m_agent->setCounters(1, 1000000, 500000);
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
    }

    // Two polls of a live row and one of a silent host: the steps in their order, the first
    // reading, the rates of the second poll, the failed row, and the log lines written.
    void pollsInOrderAndReportsEachRow()
    {
        const QString silent = QStringLiteral("127.0.0.1:%1").arg(closedPort());
        Run r({m_agent->host() + ";1;2048000;public;live", silent + ";1;2048000;public;silent"});
        r.run->setOnErrorMode(OnErrorMode::Zeroes);
        r.run->setLogs(true, false);

        PollResult first = r.poll();
        QCOMPARE(r.events, QStringList({"get", "captions", "graph", "finished"}));
        QCOMPARE(first.interfaces.size(), 2);
        QCOMPARE(first.pollIntervalSeconds, 6);
        QCOMPARE(first.interfaces[0].outcome, InterfaceReading::Outcome::First);
        QCOMPARE(first.interfaces[0].inOctets, std::optional<std::uint64_t>(1000000));
        QCOMPARE(first.interfaces[0].snmpVersion, QStringLiteral("1"));
        QCOMPARE(first.interfaces[1].outcome, InterfaceReading::Outcome::Failed);
        QVERIFY(first.interfaces[1].polled); // zeroes mode keeps it checked
        QVERIFY(!first.interfaces[1].inOctets);

        m_agent->setCounters(1, 1600000, 560000);
        const PollResult second = r.poll();
        const InterfaceReading &live = second.interfaces[0];
        QCOMPARE(live.outcome, InterfaceReading::Outcome::Good);
        QCOMPARE(live.inOctetsPerSecond, 100000.0);
        QCOMPARE(live.outOctetsPerSecond, 10000.0);
        QCOMPARE(live.inUtilisation, 39.0625);
        QCOMPARE(live.combinedUtilisation, 42.96875);
        QCOMPARE(live.bandwidth, std::uint64_t(2048000));
        QCOMPARE(r.table.cell(Col::InDelta, 1), QStringLiteral("600000"));
        QCOMPARE(second.interfaces[1].outcome, InterfaceReading::Outcome::Failed);

        const QStringList logs = QDir(r.folder.path()).entryList({"*.csv"}, QDir::Files);
        QCOMPARE(logs.size(), 1); // one utilisation log, the analysis log is off
    }

    // Reading times from the injected clock: 6 s apart the rates are computed over the nominal
    // interval; 23 s apart (a stall or a suspend) the poll is a first reading with its message;
    // then the rates are normal again. A gap of exactly 1.5 intervals still computes.
    void gapIsAFirstReading()
    {
        Run r({m_agent->host() + ";1;2048000;public;live"});
        qint64 now = 1000000;
        r.run->setReadingClock([&now] { return now; });
        QSignalSpy status(r.run.get(), &PollRun::statusMessage);
        quint32 in = 1000000;
        const auto pollAfter = [&](qint64 ms, quint32 octets) {
            now += ms;
            in += octets;
            m_agent->setCounters(1, in, 500000);
            return r.poll().interfaces.value(0);
        };
        QCOMPARE(pollAfter(0, 0).outcome, InterfaceReading::Outcome::First);
        QCOMPARE(pollAfter(6000, 600000).inOctetsPerSecond, 100000.0);
        QCOMPARE(pollAfter(9000, 600000).inOctetsPerSecond, 100000.0); // 1.5 x 6 s

        const InterfaceReading stalled = pollAfter(23000, 2300000);
        QCOMPARE(stalled.outcome, InterfaceReading::Outcome::First);
        const QString message =
            QStringLiteral("Row 1: 23 s since its last reading; counted as a first reading");
        QCOMPARE(stalled.reason, message);
        QCOMPARE(status.last().first().toString(), message);
        QCOMPARE(r.table.cell(Col::InDeltaPers, 1), QStringLiteral("0"));
        QCOMPARE(r.table.cell(Col::InUtil, 1), QStringLiteral("0"));

        const InterfaceReading after = pollAfter(6000, 600000);
        QCOMPARE(after.outcome, InterfaceReading::Outcome::Good);
        QCOMPARE(after.inOctetsPerSecond, 100000.0);
    }

    // A 32-bit counter set back (agent restart) looks like a wrap; a rate above twice the
    // bandwidth is taken as a first reading with its message. A real wrap at a rate below the
    // bandwidth is still corrected exactly.
    void counterJumps_data()
    {
        QTest::addColumn<quint32>("before");
        QTest::addColumn<quint32>("after");
        QTest::addColumn<bool>("jump");
        QTest::addColumn<QString>("inDelta");
        QTest::newRow("restart") << 4000000000u << 1000u << true << "0";
        QTest::newRow("wrap") << 4294967000u << 296u << false << "592";
        QTest::newRow("full rate") << 1000u << 1537000u << false << "1536000"; // 100 %
    }
    void counterJumps()
    {
        QFETCH(quint32, before);
        QFETCH(quint32, after);
        QFETCH(bool, jump);
        QFETCH(QString, inDelta);
        Run r({m_agent->host() + ";1;2048000;public;live"});
        m_agent->setCounters(1, before, 500000);
        r.poll();
        m_agent->setCounters(1, after, 500000);
        QSignalSpy status(r.run.get(), &PollRun::statusMessage);
        const InterfaceReading reading = r.poll().interfaces.value(0);
        QCOMPARE(r.table.cell(Col::InDelta, 1), inDelta);
        QCOMPARE(reading.outcome,
                 jump ? InterfaceReading::Outcome::First : InterfaceReading::Outcome::Good);
        QVERIFY(reading.inUtilisation <= 200);
        if (jump) {
            QVERIFY(status.last().first().toString().startsWith(
                "Row 1: rate above twice the bandwidth"));
            // The next poll computes against the restarted counter.
            m_agent->setCounters(1, after + 6000, 500000);
            const InterfaceReading next = r.poll().interfaces.value(0);
            QCOMPARE(next.outcome, InterfaceReading::Outcome::Good);
            QCOMPARE(next.inOctetsPerSecond, 1000.0);
        }
    }

    // An agent whose sysUpTime went back has restarted: its 64-bit row and its 32-bit row (read
    // with SNMP v1, whose requests carry no uptime) both take that poll as a first reading,
    // although their counters went on rising; the poll after computes again.
    void agentRestartIsAFirstReading()
    {
        SnmpAgent agent;
        agent.setCounters(1, 1000, 1000);
        agent.setCounters64(1, 900000000000ULL, 900000000000ULL);
        agent.setCounters(2, 5000, 5000);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        Run r({agent.host() + ";1;2048000;public;hc", agent.host() + ";2;2048000;public;plain"});
        r.run->poller().counters().setEnabled(true);
        QSignalSpy status(r.run.get(), &PollRun::statusMessage);
        quint64 step = 0;
        const auto pollWith = [&](quint64 octets) {
            step += octets;
            agent.setCounters64(1, 900000000000ULL + step, 900000000000ULL + step);
            agent.setCounters(2, quint32(5000 + step), quint32(5000 + step));
            return r.poll();
        };
        pollWith(0);
        QTest::qWait(1500); // an uptime the restarted agent stays below
        PollResult normal = pollWith(6000);
        QCOMPARE(normal.interfaces.value(0).snmpVersion, QStringLiteral("2c"));
        QCOMPARE(normal.interfaces.value(1).snmpVersion, QStringLiteral("1"));
        for (const InterfaceReading &row : normal.interfaces)
            QCOMPARE(row.outcome, InterfaceReading::Outcome::Good);

        QVERIFY2(agent.restart(), qPrintable(agent.errorString()));
        const PollResult restarted = pollWith(6000);
        for (const InterfaceReading &row : restarted.interfaces) {
            QCOMPARE(row.outcome, InterfaceReading::Outcome::First);
            QVERIFY2(
                row.reason.startsWith("Agent " + agent.host() + " restarted (uptime 0 d 00:00:"),
                qPrintable(row.reason));
            QVERIFY(row.reason.endsWith("; rows 1, 2 counted as a first reading"));
        }
        QCOMPARE(r.table.cell(Col::InDelta, 1), QStringLiteral("0"));
        QCOMPARE(r.table.cell(Col::InDelta, 2), QStringLiteral("0"));
        QVERIFY(status.last().first().toString().contains(" restarted (uptime 0 d 00:00:"));

        const PollResult after = pollWith(6000);
        for (const InterfaceReading &row : after.interfaces) {
            QCOMPARE(row.outcome, InterfaceReading::Outcome::Good);
            QCOMPARE(row.inOctetsPerSecond, 1000.0);
        }
    }

    // A 64-bit counter that leaps forward (2, 4, 6, then 2^64-1) would be years of traffic in
    // one poll: a first reading with its message, and no utilisation shown.
    void counter64JumpToMaximum()
    {
        SnmpAgent agent;
        agent.setCounters(1, 1, 1);
        agent.setCounters64(1, 2, 2);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        Run r({agent.host() + ";1;2048000;public;hc"});
        r.run->poller().counters().setEnabled(true);
        QSignalSpy status(r.run.get(), &PollRun::statusMessage);
        r.poll();
        agent.setCounters64(1, 4, 4);
        QCOMPARE(r.poll().interfaces.value(0).outcome, InterfaceReading::Outcome::Good);
        agent.setCounters64(1, 6, 6);
        QCOMPARE(r.poll().interfaces.value(0).outcome, InterfaceReading::Outcome::Good);
        agent.setCounters64(1, std::numeric_limits<quint64>::max(), 8);
        const InterfaceReading jumped = r.poll().interfaces.value(0);
        QCOMPARE(jumped.outcome, InterfaceReading::Outcome::First);
        QCOMPARE(jumped.inUtilisation, 0.0);
        QVERIFY(jumped.reason.startsWith("Row 1: rate above twice the bandwidth"));
        QVERIFY(status.last().first().toString().startsWith("Row 1: rate above twice"));
        for (int column : {Col::InUtil, Col::OutUtil, Col::CombinedUtil})
            QCOMPARE(r.table.cell(column, 1), QStringLiteral("0"));
    }

    // "Poll again" after stop mode took a row out, against an agent that answers again: the
    // row is polled from the next start on, and that poll is a first reading although the
    // output counter moved a lot while the row was stopped; the poll after computes.
    void pollAgainAfterStop()
    {
        SnmpAgent agent;
        agent.setCounters(1, 1000, 500000);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        Run r({agent.host() + ";1;2048000;public;back"});
        r.run->setOnErrorMode(OnErrorMode::Stop);
        r.run->poller().setTimeoutMs(500);
        r.poll();
        agent.removeInterface(1);
        QCOMPARE(r.poll().interfaces.value(0).outcome, InterfaceReading::Outcome::Failed);
        QVERIFY(!r.list.isChecked(0));
        agent.setCounters(1, 2000, 9000000);
        QVERIFY(!r.poll().interfaces.value(0).polled); // still stopped

        r.run->pollAgain(1);
        QVERIFY(!r.list.isChecked(0)); // only from the next start on
        const InterfaceReading again = r.poll().interfaces.value(0);
        QVERIFY(r.list.isChecked(0));
        QCOMPARE(again.outcome, InterfaceReading::Outcome::First);
        QCOMPARE(r.table.cell(Col::OutDelta, 1), QStringLiteral("0"));
        QCOMPARE(r.table.cell(Col::OutUtil, 1), QStringLiteral("0"));
        agent.setCounters(1, 8000, 9006000);
        const InterfaceReading next = r.poll().interfaces.value(0);
        QCOMPARE(next.outcome, InterfaceReading::Outcome::Good);
        QCOMPARE(next.inOctetsPerSecond, 1000.0);
        QCOMPARE(next.outOctetsPerSecond, 1000.0);
    }

    // Stop mode takes the silent row out: the next poll reports it as not polled, and a
    // poll in flight refuses a second start.
    void stopModeAndNoOverlap()
    {
        const QString silent = QStringLiteral("127.0.0.1:%1").arg(closedPort());
        Run r({silent + ";1;2048000;public;silent"});
        r.run->setOnErrorMode(OnErrorMode::Stop);
        QVERIFY(r.run->start());
        QVERIFY(!r.run->start());
        QSignalSpy done(r.run.get(), &PollRun::pollFinished);
        QVERIFY(done.wait(5000));
        const PollResult next = r.poll();
        QCOMPARE(next.interfaces.size(), 1);
        QVERIFY(!next.interfaces[0].polled);
        QCOMPARE(next.interfaces[0].outcome, InterfaceReading::Outcome::Failed);
    }
};

QTEST_GUILESS_MAIN(TestPollRun)
#include "tst_pollrun.moc"
