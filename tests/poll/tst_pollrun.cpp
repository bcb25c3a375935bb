#include "PollRunFixture.h"

#include "Calculation.h"
#include "Heartbeat.h"
#include "HistoryFileName.h"
#include "HistoryReader.h"
#include "HistoryWriter.h"
#include "HostileAgent.h"
#include "SnmpAgent.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <cmath>
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
    // The log files of a folder whose names match the pattern, in name order.
    static QStringList logFiles(const QString &folder, const QString &pattern)
    {
        return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
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
        PollRunFixture r(
            {m_agent->host() + ";1;2048000;public;live", silent + ";1;2048000;public;silent"});
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
        PollRunFixture r({m_agent->host() + ";1;2048000;public;live"});
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

    // The time between two readings on both clocks a poll carries: the reading clock and the
    // wall-clock time stamp that the history, the alerts and the logs take it at. More than
    // 1.5 intervals on either is a first reading, so the history, which keeps unknown where
    // its own stamps are more than two intervals apart, never holds a gap where the rates,
    // graphs and logs computed one, nor a value where they showed a first reading.
    void gapOnEitherClock_data()
    {
        QTest::addColumn<qint64>("readingMs");
        QTest::addColumn<qint64>("wallMs");
        QTest::addColumn<bool>("first");
        QTest::newRow("both 6 s") << qint64(6000) << qint64(6000) << false;
        QTest::newRow("both 9 s (1.5 intervals)") << qint64(9000) << qint64(9000) << false;
        QTest::newRow("wall clock 18 s, reading clock 6 s")
            << qint64(6000) << qint64(18000) << true;
        QTest::newRow("reading clock 18 s, wall clock 6 s")
            << qint64(18000) << qint64(6000) << true;
        QTest::newRow("wall clock set back 2 s") << qint64(6000) << qint64(-2000) << false;
    }
    void gapOnEitherClock()
    {
        QFETCH(qint64, readingMs);
        QFETCH(qint64, wallMs);
        QFETCH(bool, first);
        constexpr std::int64_t T0 = 1800000000; // a multiple of 300 s: polls on file steps
        PollRunFixture r({m_agent->host() + ";1;2048000;public;live"});
        qint64 now = 1000000;
        QDateTime wall = QDateTime::fromSecsSinceEpoch(T0);
        r.run->setReadingClock([&now] { return now; });
        r.run->poller().setClock([&wall] { return wall; });
        HistoryWriter history(r.folder.filePath("history"));
        quint32 in = 1000000;
        const auto pollAfter = [&](qint64 readingStep, qint64 wallStep) {
            now += readingStep;
            wall = wall.addMSecs(wallStep);
            in += 600000;
            m_agent->setCounters(1, in, 500000);
            const PollResult result = r.poll();
            history.write(result);
            return result.interfaces.value(0);
        };
        pollAfter(0, 0);
        QVERIFY(pollAfter(6000, 6000).hasRate());
        QSignalSpy status(r.run.get(), &PollRun::statusMessage);
        const InterfaceReading reading = pollAfter(readingMs, wallMs);
        QCOMPARE(reading.hasRate(), !first);
        if (first) {
            QCOMPARE(reading.outcome, InterfaceReading::Outcome::First);
            QCOMPARE(reading.reason, QStringLiteral("Row 1: 18 s since its last reading; "
                                                    "counted as a first reading"));
            QCOMPARE(status.last().first().toString(), reading.reason);
            QCOMPARE(r.table.cell(Col::InDeltaPers, 1), QStringLiteral("0"));
        } else {
            QCOMPARE(reading.inOctetsPerSecond, 100000.0);
        }
        QVERIFY(pollAfter(6000, 6000).hasRate());

        // The history holds what the poll decided for the step after the second poll.
        if (wallMs < 0)
            return; // a time stamp before the last one is not stored
        QString error;
        const HistorySeries s =
            HistoryReader::fetch(QDir(r.folder.filePath("history"))
                                     .filePath(HistoryFileName::forInterface(m_agent->host(), "1")),
                                 T0, T0 + 60, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const qsizetype i = (T0 + 12 - s.start) / s.step - 1;
        QVERIFY(i >= 0 && i < s.size());
        if (first)
            QVERIFY2(std::isnan(s.inAverage[i]), qPrintable(QString::number(s.inAverage[i])));
        else
            QCOMPARE(s.inAverage[i] / 8, 100000.0);
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
        PollRunFixture r({m_agent->host() + ";1;2048000;public;live"});
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
        PollRunFixture r(
            {agent.host() + ";1;2048000;public;hc", agent.host() + ";2;2048000;public;plain"});
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
        // The restarted agent must answer the next poll with an uptime below this agent's:
        // wait, on the agent's own clock, until it has been up longer than a restart and a
        // poll take.
        QTRY_VERIFY_WITH_TIMEOUT(agent.uptimeTicks().value_or(0) >= 150, 5000);
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
        PollRunFixture r({agent.host() + ";1;2048000;public;hc"});
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

    // "Poll again" after stop mode took a row out (the second, beside a row that goes on),
    // against an agent that answers again: the row is polled from the next start on, and that
    // poll is a first reading of its new counters although the output counter moved a lot
    // while the row was stopped; the poll after computes.
    void pollAgainAfterStop()
    {
        SnmpAgent agent;
        agent.setCounters(1, 1000, 500000);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        m_agent->setCounters(1, 100, 200);
        PollRunFixture r({m_agent->deviceLine(1), agent.host() + ";1;2048000;public;back"});
        r.run->setOnErrorMode(OnErrorMode::Stop);
        r.run->poller().setTimeoutMs(500);
        r.poll();
        agent.removeInterface(1);
        QCOMPARE(r.poll().interfaces.value(1).outcome, InterfaceReading::Outcome::Failed);
        QVERIFY(!r.list.isChecked(1));
        agent.setCounters(1, 2000, 9000000);
        QVERIFY(!r.poll().interfaces.value(1).polled); // still stopped

        r.run->pollAgain(2);
        QVERIFY(!r.list.isChecked(1)); // only from the next start on
        const InterfaceReading again = r.poll().interfaces.value(1);
        QVERIFY(r.list.isChecked(1));
        QCOMPARE(again.outcome, InterfaceReading::Outcome::First);
        QCOMPARE(r.table.cell(Col::OrgIn, 2), QStringLiteral("2000"));
        QCOMPARE(r.table.cell(Col::InDelta, 2), QStringLiteral("0"));
        QCOMPARE(r.table.cell(Col::OutDelta, 2), QStringLiteral("0"));
        QCOMPARE(r.table.cell(Col::OutUtil, 2), QStringLiteral("0"));
        agent.setCounters(1, 8000, 9006000);
        const PollResult next = r.poll();
        QCOMPARE(next.interfaces.value(1).outcome, InterfaceReading::Outcome::Good);
        QCOMPARE(next.interfaces.value(1).inOctetsPerSecond, 1000.0);
        QCOMPARE(next.interfaces.value(1).outOctetsPerSecond, 1000.0);
        QVERIFY(r.list.isChecked(0));
        QCOMPARE(next.interfaces.value(0).outcome, InterfaceReading::Outcome::Good);
        QVERIFY(r.errors.isEmpty());
    }

    // Stop mode takes the silent row out: the next poll reports it as not polled, and a
    // poll in flight refuses a second start.
    void stopModeAndNoOverlap()
    {
        const QString silent = QStringLiteral("127.0.0.1:%1").arg(closedPort());
        PollRunFixture r({silent + ";1;2048000;public;silent"});
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

    // Two polls of two rows: the raw counters (one at or above 2^31), the first reading, the
    // deltas and utilisations, and a 32-bit counter that wrapped past 2^32.
    void workedExample()
    {
        m_agent->setCounters(1, 1000000, 500000);
        m_agent->setCounters(2, 0xFFFFFF00u, 10);
        PollRunFixture r({m_agent->deviceLine(1), m_agent->deviceLine(2, "100000000")});
        QCOMPARE(r.poll().interfaces.size(), 2);
        QCOMPARE(r.table.cell(Col::OrgIn, 1), QStringLiteral("1000000"));
        QCOMPARE(r.table.cell(Col::OrgIn, 2), QStringLiteral("4294967040"));
        QCOMPARE(r.table.cell(Col::CombinedUtil, 1), QStringLiteral("0"));

        m_agent->setCounters(1, 1600000, 560000);
        m_agent->setCounters(2, 0x100, 10);
        QCOMPARE(r.poll().interfaces.size(), 2);
        QCOMPARE(r.table.cell(Col::InDelta, 1), QStringLiteral("600000"));
        QCOMPARE(r.table.cell(Col::InUtil, 1), QStringLiteral("39.0625"));
        QCOMPARE(r.table.cell(Col::OutUtil, 1), QStringLiteral("3.90625"));
        QCOMPARE(r.table.cell(Col::CombinedUtil, 1), QStringLiteral("42.96875"));
        QCOMPARE(r.table.cell(Col::InDelta, 2), QStringLiteral("512"));
        QVERIFY(r.errors.isEmpty());
    }

    // A failed row (unknown index, wrong community, nothing listening) over three polls: stop
    // mode takes it out, zeroes mode keeps it checked with its cells "0"; the good row beside
    // it polls on and nothing is reported as an error.
    void failuresInStopAndZeroesModes_data()
    {
        QTest::addColumn<bool>("stopMode");
        QTest::addColumn<QString>("why");
        QTest::newRow("stop, unknown index") << true << "index";
        QTest::newRow("stop, wrong community") << true << "community";
        QTest::newRow("stop, nothing listening") << true << "port";
        QTest::newRow("zeroes, unknown index") << false << "index";
        QTest::newRow("zeroes, wrong community") << false << "community";
    }
    void failuresInStopAndZeroesModes()
    {
        QFETCH(bool, stopMode);
        QFETCH(QString, why);
        m_agent->setCounters(1, 100, 200);
        m_agent->removeInterface(9);
        QString bad = m_agent->deviceLine(9);
        if (why == "community") {
            bad = m_agent->deviceLine(1, "2048000", "wrong");
        } else if (why == "port") {
            bad = QStringLiteral("127.0.0.1:%1;1;2048000;public;down")
                      .arg(m_agent->port() == 9 ? 10 : 9);
        }
        PollRunFixture r({m_agent->deviceLine(1), bad});
        r.run->setOnErrorMode(stopMode ? OnErrorMode::Stop : OnErrorMode::Zeroes);
        r.run->poller().setTimeoutMs(500); // the silent cases end at the deadline

        for (int round = 0; round < 3; ++round) {
            const PollResult result = r.poll();
            QCOMPARE(result.interfaces.size(), 2);
            QCOMPARE(result.interfaces[1].outcome, InterfaceReading::Outcome::Failed);
            QCOMPARE(r.table.cell(Col::OrgIn, 1), QStringLiteral("100")); // the good row polls on
            QCOMPARE(r.table.cell(Col::InBitNew, 2), QStringLiteral("0"));
            QCOMPARE(r.table.cell(Col::InBitOld, 2), QStringLiteral("0"));
            if (stopMode) {
                QVERIFY(!r.list.isChecked(1));
            } else {
                QVERIFY(r.list.isChecked(1));
                for (int column : {Col::OrgIn, Col::OrgOut, Col::OutBitNew, Col::OutBitOld})
                    QCOMPARE(r.table.cell(column, 2), QStringLiteral("0"));
            }
        }
        QVERIFY(r.list.isChecked(0));
        QVERIFY(r.errors.isEmpty());
    }

    // Both logs on: each gets a file named after the device file, with its header and one line
    // per poll.
    void logsAreWrittenEachPoll()
    {
        m_agent->setCounters(1, 5, 6);
        PollRunFixture r({m_agent->deviceLine(1)});
        r.run->setLogs(true, true);
        r.run->setDeviceFilePath(r.folder.filePath("poll.dev"));
        QCOMPARE(r.poll().interfaces.size(), 1);
        QCOMPARE(r.poll().interfaces.size(), 1);
        const QStringList logs = logFiles(r.folder.path(), "*_poll.dev_*.csv");
        QCOMPARE(logs.size(), 2);
        for (const QString &name : logs) {
            QFile file(r.folder.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll().count("\r\n"), 3); // header and two data lines
        }
        QVERIFY(r.errors.isEmpty());
    }

    // A log that fails at every poll (its folder read-only, by the owner's write bit, so the
    // superuser is refused too) at the fastest interval: one report, the failure named for
    // status panel 0 at every poll, the graphs get every poll's value. Once the folder is
    // writable the next poll writes the log and withdraws the message; a new failure is
    // reported again.
    void failingLogIsReportedOnceAndTheGraphsGoOn()
    {
        m_agent->setCounters(1, 0, 0);
        PollRunFixture r(
            {m_agent->deviceLine(1, "800")}); // 6 octets more per 3 s are 2 % of 800 bit/s
        r.run->setPollInterval(3);
        r.run->setLogs(true, false);
        const QString logs = r.folder.path() + "/logs";
        QVERIFY(QDir().mkpath(logs));
        QVERIFY(QFile::setPermissions(logs, QFile::ReadOwner | QFile::ExeOwner));
        r.logs.programFolder = logs;
        QSignalSpy status(r.run.get(), &PollRun::statusMessage);
        QSignalSpy withdrawn(r.run.get(), &PollRun::statusWithdrawn);

        quint32 in = 0;
        int previous = -1;
        for (int round = 1; round <= 20; ++round) {
            in += quint32(6 * round);
            m_agent->setCounters(1, in, 0);
            status.clear();
            QCOMPARE(r.poll().interfaces.size(), 1);
            QCOMPARE(r.errors.size(), 1);
            QVERIFY(!status.isEmpty());
            const QString message = status.last().first().toString();
            QVERIFY2(message.startsWith("Utilisation log: Cannot create log file \"" + logs + "/"),
                     qPrintable(message));
            QVERIFY(message.endsWith(". Permission denied"));
            QCOMPARE(r.errors.first(), message);
            QCOMPARE(withdrawn.count(), 0);
            const int value = r.graphValue(1);
            if (round > 1) {
                QVERIFY2(value > previous, qPrintable(QString::number(value)));
                QCOMPARE(value, Calculation::shownValue(r.table.cell(Col::CombinedUtil, 1)));
            }
            previous = value;
        }
        QVERIFY(QDir(logs).isEmpty());

        QVERIFY(
            QFile::setPermissions(logs, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        status.clear();
        QCOMPARE(r.poll().interfaces.size(), 1);
        QCOMPARE(QDir(logs).entryList(QDir::Files).size(), 1);
        QCOMPARE(status.count(), 0);
        QCOMPARE(withdrawn.count(), 1);
        QCOMPARE(withdrawn.first().first().toString(), QStringLiteral("Utilisation log: "));
        QVERIFY(!ErrorReport::isFailing("Utilisation log"));
        QCOMPARE(r.errors.size(), 1);

        // Worked once in between: the next failure is reported again.
        r.logs.programFolder = logs + "/gone";
        QCOMPARE(r.poll().interfaces.size(), 1);
        QCOMPARE(r.errors.size(), 2);
        QVERIFY(r.errors.last().startsWith("Utilisation log: "));
    }

    // 64-bit counters on, three polls 12 s apart: the 64-bit interface (10 Gbit/s at 50 % in,
    // 25 % out) and the 32-bit one beside it are right in the table, the results and both logs.
    void counters64InTheTableAndTheLogs()
    {
        m_agent->setCounters(21, 7, 7);
        m_agent->setCounters64(21, 10000000000000ULL, 20000000000000ULL);
        m_agent->setCounters(22, 1000, 2000);
        PollRunFixture r(
            {m_agent->deviceLine(21, "10000000000"), m_agent->deviceLine(22, "2048000")});
        r.run->poller().counters().setEnabled(true);
        r.run->setPollInterval(12);
        r.run->setLogs(true, true);
        r.run->setDeviceFilePath(r.folder.filePath("poll.dev"));
        PollResult last;
        for (int n = 1; n <= 3; ++n) {
            last = r.poll();
            QCOMPARE(last.interfaces.size(), 2);
            m_agent->setCounters64(21, 10000000000000ULL + n * 7500000000ULL,
                                   20000000000000ULL + n * 3750000000ULL);
            m_agent->setCounters(22, 1000 + n * 600000, 2000 + n * 60000);
        }
        QVERIFY(last.interfaces[0].counters64);
        QCOMPARE(last.interfaces[0].snmpVersion, QStringLiteral("2c"));
        QVERIFY(!last.interfaces[1].counters64);
        QCOMPARE(last.interfaces[1].snmpVersion, QStringLiteral("1"));
        QCOMPARE(r.table.cell(Col::OrgIn, 1), QStringLiteral("10015000000000"));
        QCOMPARE(r.table.cell(Col::InDelta, 1), QStringLiteral("7500000000"));
        QCOMPARE(r.table.cell(Col::InUtil, 1), QStringLiteral("50"));
        QCOMPARE(r.table.cell(Col::OutUtil, 1), QStringLiteral("25"));
        QCOMPARE(r.table.cell(Col::CombinedUtil, 1), QStringLiteral("75"));
        QCOMPARE(r.table.cell(Col::InDelta, 2), QStringLiteral("600000"));
        QCOMPARE(r.table.cell(Col::InUtil, 2), QStringLiteral("19.53125"));

        const QStringList logs = logFiles(r.folder.path(), "*_poll.dev_*.csv");
        QCOMPARE(logs.size(), 2);
        // Analysis log first (name order): raw, new, old, delta, rate, utilisation per side.
        const QList<QByteArrayList> expected = {
            {"; 10015000000000; 10015000000000; 10007500000000; 7500000000; 625000000; 50; "
             "20007500000000; 20007500000000; 20003750000000; 3750000000; 312500000; 25; "
             "937500000; 75; if21; ",
             "; 1201000; 1201000; 601000; 600000; 50000; 19.53125; "},
            {"; 21; 10000000000; 625000000; 50; 312500000; 25; 937500000; 75; ",
             "; 22; 2048000; 50000; 19.53125; 5000; 1.953125; 55000; 21.484375; "}};
        for (qsizetype i = 0; i < logs.size(); ++i) {
            QFile file(r.folder.filePath(logs[i]));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QList<QByteArray> rows = file.readAll().split('\n');
            QCOMPARE(rows.size(), 5); // header, three data lines, the end
            for (const QByteArray &part : expected[i])
                QVERIFY2(rows.at(3).contains(part), rows.at(3).constData());
        }
        QVERIFY(r.errors.isEmpty());
    }

    // Twenty interfaces that never answer share one deadline: the poll ends in about one
    // time-out, the event loop beats on meanwhile, and stop mode takes every row out.
    void twentySilentInterfacesCostOneWait()
    {
        QStringList silent;
        for (int i = 1; i <= 20; ++i) // the agent ignores a wrong community
            silent << m_agent->deviceLine(i, "2048000", "wrong");
        PollRunFixture r(silent);
        r.run->setOnErrorMode(OnErrorMode::Stop);
        r.run->poller().setTimeoutMs(SnmpBatch::DefaultTimeoutMs);

        QElapsedTimer clock;
        clock.start();
        Heartbeat heartbeat(10);
        const PollResult result = r.poll();
        heartbeat.stop();
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(heartbeat.longestGapMs() < 200,
                 qPrintable(QString::number(heartbeat.longestGapMs())));
        QCOMPARE(result.interfaces.size(), 20);
        for (int p = 0; p < 20; ++p) {
            QVERIFY(!r.list.isChecked(p));
            QCOMPARE(result.interfaces[p].outcome, InterfaceReading::Outcome::Failed);
        }
        QVERIFY(r.errors.isEmpty());
    }

    // A device file in a Western 8-bit code page beside a UTF-8 line: each community goes out
    // in the bytes of its line, and the descriptions are logged in their line's bytes.
    void westernDeviceFileKeepsItsBytes()
    {
        HostileAgent western, utf8;
        QVERIFY(western.listen());
        QVERIFY(utf8.listen());
        western.setValue(1000);
        utf8.setValue(1000);
        QTemporaryDir dir;
        const QString path = dir.filePath("west.dev");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(western.host().toLatin1() + ";1;2048000;caf\xe9;Z\xfcrich \x80\r\n" +
                       utf8.host().toLatin1() + ";2;2048000;caf\xc3\xa9;Gen\xc3\xa8ve\r\n");
        }
        // Read as a load reads it: each line with its own encoding.
        QList<LineEncoding> encodings;
        const QStringList lines =
            DeviceFile::readLines(path, DeviceFile::MaxInterfaces + 1, &encodings);
        PollRunFixture r(lines, encodings);
        r.run->setLogs(true, false);
        r.run->setDeviceFilePath(path);
        QCOMPARE(r.poll().interfaces.size(), 2);
        QCOMPARE(western.lastCommunity(), QByteArray("caf\xe9"));
        QCOMPARE(utf8.lastCommunity(), QByteArray("caf\xc3\xa9"));
        QCOMPARE(r.table.cell(Col::OrgIn, 1), QStringLiteral("1000"));

        const QStringList logs = logFiles(r.folder.path(), "*_west.dev_utilisation.csv");
        QCOMPARE(logs.size(), 1);
        QFile log(r.folder.filePath(logs.first()));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray bytes = log.readAll();
        QVERIFY(bytes.contains("; Z\xfcrich \x80; "));
        QVERIFY(bytes.contains("; Gen\xc3\xa8ve; "));
        QVERIFY(r.errors.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPollRun)
#include "tst_pollrun.moc"
