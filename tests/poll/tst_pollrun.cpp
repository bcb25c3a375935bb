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
