// The device poll engine against a real agent (snmpd) whose 60-port ifTable has counters
// that are known functions of time: every port's rates, states and errors, v1, v2c and v3,
// a 10G port, the round trips per poll, a port removed, an agent restart with its ports
// renumbered, and a silent device beside a healthy one.

#include "DevicePoller.h"
#include "PortTableAgent.h"
#include "SnmpAgent.h"

#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <cmath>

namespace
{

constexpr int Ports = 60;
constexpr int IntervalSeconds = 3; // 1 % of it is 30 ms of the agent's timing

// The agent's 60 ports, port 3 a 10G port at 8.8 Gbit/s in (beyond 32-bit counters' reach
// within one interval twice over, and started above 2^32).
QList<PortTableAgent::Port> portList()
{
    QList<PortTableAgent::Port> ports = PortTableAgent::ports(Ports);
    PortTableAgent::Port &tenGig = ports[2];
    tenGig.name = "Te1/1/3";
    tenGig.speed = 10000000000ull;
    tenGig.inRate = 1.1e9;
    tenGig.outRate = 2.5e8;
    tenGig.inStart = 5e12;
    tenGig.outStart = 6e12;
    return ports;
}

// One poll of every device; the reports in the order they came.
QList<DevicePoll> poll(DevicePoller &poller)
{
    QList<DevicePoll> polls;
    const QMetaObject::Connection connection = QObject::connect(
        &poller, &DevicePoller::devicePolled, [&polls](const DevicePoll &p) { polls.append(p); });
    QSignalSpy finished(&poller, &DevicePoller::pollFinished);
    poller.pollNow();
    if (!finished.wait(20000))
        qWarning("the poll did not finish");
    QObject::disconnect(connection);
    return polls;
}

bool within(double measured, double expected, double tolerance)
{
    return std::abs(measured - expected) <= tolerance * std::abs(expected);
}

// Every port of the poll against the agent's list: names, speed, states, rates within 1 %,
// utilisation, errors where the port has them.
void checkRates(const DevicePoll &p, const QList<PortTableAgent::Port> &ports)
{
    QVERIFY2(p.answered, qPrintable(p.problem));
    QCOMPARE(p.ports.size(), ports.size());
    for (qsizetype i = 0; i < ports.size(); ++i) {
        const PortTableAgent::Port &want = ports[i];
        const PortResult &got = p.ports[i];
        const QString where = QStringLiteral("port %1").arg(want.index);
        QCOMPARE(got.ifIndex, want.index);
        QCOMPARE(got.name, QString::fromUtf8(want.name));
        QCOMPARE(got.alias, QString::fromUtf8(want.alias));
        QCOMPARE(got.speed, want.speed);
        QCOMPARE(got.counters.adminStatus, std::optional<int>(want.adminStatus));
        QCOMPARE(got.counters.operStatus, std::optional<int>(want.operStatus));
        QVERIFY2(got.rates.outcome == PortRates::Outcome::Good,
                 qPrintable(where + QStringLiteral(": ") + got.rates.reason));
        const double in = want.inRate * 8, out = want.outRate * 8;
        QVERIFY2(
            within(got.rates.inBitsPerSecond, in, 0.01),
            qPrintable(where +
                       QStringLiteral(": in %1, not %2").arg(got.rates.inBitsPerSecond).arg(in)));
        QVERIFY2(within(got.rates.outBitsPerSecond, out, 0.01),
                 qPrintable(
                     where +
                     QStringLiteral(": out %1, not %2").arg(got.rates.outBitsPerSecond).arg(out)));
        QVERIFY(got.rates.inUtilisation.has_value());
        QVERIFY(within(*got.rates.inUtilisation, in * 100 / double(want.speed), 0.01));
        QCOMPARE(got.rates.inErrorsDelta.value_or(0) > 0, want.errorRate > 0);
        QCOMPARE(got.rates.outDiscardsDelta, std::optional<std::uint64_t>(0));
    }
}

} // namespace

class TestDevicePorts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!PortTableAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
    }

    void everyPortsRates_data()
    {
        QTest::addColumn<SnmpVersion>("version");
        QTest::addColumn<bool>("v1Only");
        QTest::addColumn<int>("counterWidth");
        QTest::addColumn<int>("maxRoundTrips");
        QTest::newRow("v2c, 64-bit") << SnmpVersion::V2c << false << 64 << 1;
        QTest::newRow("v3, 64-bit") << SnmpVersion::V3 << false << 64 << 1;
        // v2c asked first, no answer: v1, one row per GetNext in 15 stripes of 4 rows.
        QTest::newRow("v1-only agent, auto") << SnmpVersion::Auto << true << 32 << 5;
    }

    void everyPortsRates()
    {
        QFETCH(SnmpVersion, version);
        QFETCH(bool, v1Only);
        QFETCH(int, counterWidth);
        QFETCH(int, maxRoundTrips);
        PortTableAgent agent;
        agent.setV1Only(v1Only);
        QVERIFY(agent.setPorts(portList()));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));

        DevicePoller poller;
        poller.setInterval(IntervalSeconds);
        poller.setWalkTimeoutMs(500);
        DeviceAccess access;
        access.address = agent.host();
        access.version = version;
        if (version == SnmpVersion::V3) {
            SnmpSecurity security;
            security.user = SnmpAgent::privUser();
            security.authPassphrase = SnmpAgent::authPassphrase().toUtf8();
            security.privPassphrase = SnmpAgent::privPassphrase().toUtf8();
            access.security = std::make_shared<const SnmpSecurity>(security);
        }
        poller.addDevice(access);

        const QList<DevicePoll> first = poll(poller);
        QCOMPARE(first.size(), 1);
        QVERIFY2(first[0].answered, qPrintable(first[0].problem));
        QCOMPARE(first[0].sysName, QStringLiteral("port-table-test"));
        QCOMPARE(first[0].ports.size(), Ports);
        QVERIFY(first[0].inventoryRequests > 0);
        for (const PortResult &port : first[0].ports) {
            QCOMPARE(port.rates.outcome, PortRates::Outcome::First);
            QCOMPARE(port.counters.width, counterWidth);
        }
        for (int round = 0; round < 2; ++round) {
            QTest::qWait(IntervalSeconds * 1000);
            const QList<DevicePoll> next = poll(poller);
            QCOMPARE(next.size(), 1);
            checkRates(next[0], agent.portList());
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(next[0].inventoryRequests, 0); // names are not read again
            QVERIFY2(next[0].roundTrips <= maxRoundTrips,
                     qPrintable(QString::number(next[0].roundTrips)));
            qInfo("%d round trips, %d requests", next[0].roundTrips, next[0].requests);
            QCOMPARE(next[0].datagrams, 2 * next[0].requests);
        }
    }

    // The requests the agent received per poll are the ones counted. Once the ports are
    // known a poll is one round trip: stripes of the rows one reply holds, sent at once
    // (12 rows of 8 columns at first; fewer where the agent cuts its replies shorter).
    void roundTripsPerPoll_data()
    {
        QTest::addColumn<int>("ports");
        QTest::addColumn<int>("maxBulkResponses");
        QTest::addColumn<int>("requests"); // per poll from the second on
        QTest::newRow("60 ports, 100 values a reply (net-snmp's default)") << 60 << 100 << 6;
        QTest::newRow("48 ports, 100 values a reply") << 48 << 100 << 5;
        QTest::newRow("60 ports, at most 50 values a reply") << 60 << 50 << 12;
    }

    void roundTripsPerPoll()
    {
        QFETCH(int, ports);
        QFETCH(int, maxBulkResponses);
        QFETCH(int, requests);
        PortTableAgent agent;
        agent.setLogPackets(true);
        agent.setMaxBulkResponses(maxBulkResponses);
        QVERIFY(agent.setPorts(PortTableAgent::ports(ports)));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        DevicePoller poller;
        poller.setInterval(IntervalSeconds);
        poller.addDevice({agent.host(), SnmpVersion::V2c, "public", {}});
        QVERIFY(poll(poller).value(0).answered);
        int received = agent.receivedDatagrams();
        for (int round = 0; round < 2; ++round) {
            QTest::qWait(IntervalSeconds * 1000);
            const DevicePoll p = poll(poller).value(0);
            checkRates(p, agent.portList());
            if (QTest::currentTestFailed())
                return;
            const int now = agent.receivedDatagrams();
            QCOMPARE(p.requests, now - received);
            received = now;
            QCOMPARE(p.roundTrips, 1);
            QCOMPARE(p.requests, requests);
            QCOMPARE(p.datagrams, 2 * requests);
            QVERIFY(p.maxRepetitions * 8 <= maxBulkResponses);
        }
    }

    void interfaceRemoved()
    {
        PortTableAgent agent;
        QList<PortTableAgent::Port> ports = PortTableAgent::ports(Ports);
        QVERIFY(agent.setPorts(ports));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        DevicePoller poller;
        poller.setInterval(IntervalSeconds);
        poller.addDevice({agent.host(), SnmpVersion::V2c, "public", {}});
        QVERIFY(poll(poller).value(0).answered);
        QTest::qWait(IntervalSeconds * 1000);
        checkRates(poll(poller).value(0), ports);

        ports.removeAt(4); // ifIndex 5
        QVERIFY(agent.setPorts(ports));
        QTest::qWait(IntervalSeconds * 1000);
        const DevicePoll p = poll(poller).value(0);
        checkRates(p, ports);
        QCOMPARE(p.notes, QStringList{"Interface 5 (Gi1/0/5) is no longer in the agent's table."});
        QCOMPARE(p.inventoryRequests, 0);
    }

    // sysUpTime back and every port under a new ifIndex: a first reading for all, the names
    // read again, the old ports gone with a note; the poll after it has rates again.
    void agentRestartRenumbered()
    {
        PortTableAgent agent;
        QList<PortTableAgent::Port> ports = PortTableAgent::ports(Ports);
        QVERIFY(agent.setPorts(ports));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        DevicePoller poller;
        poller.setInterval(IntervalSeconds);
        poller.addDevice({agent.host(), SnmpVersion::V2c, "public", {}});
        QVERIFY(poll(poller).value(0).answered);
        QTest::qWait(IntervalSeconds * 1000);
        checkRates(poll(poller).value(0), ports);

        for (PortTableAgent::Port &port : ports) {
            port.index += 100;
            port.name = "xe-" + QByteArray::number(port.index);
        }
        QVERIFY(agent.setPorts(ports));
        QVERIFY(agent.restartClock());
        QTest::qWait(IntervalSeconds * 1000);
        const DevicePoll restarted = poll(poller).value(0);
        QVERIFY2(restarted.answered, qPrintable(restarted.problem));
        QVERIFY(restarted.restarted);
        QVERIFY(restarted.inventoryRequests > 0);
        QCOMPARE(restarted.ports.size(), Ports);
        QVERIFY(restarted.notes.first().startsWith("The agent restarted"));
        QCOMPARE(restarted.notes.size(), 1 + Ports); // and every old ifIndex gone
        for (const PortResult &port : restarted.ports) {
            QCOMPARE(port.rates.outcome, PortRates::Outcome::First);
            QCOMPARE(port.name, QStringLiteral("xe-%1").arg(port.ifIndex));
            QVERIFY(port.ifIndex > 100);
        }
        QTest::qWait(IntervalSeconds * 1000);
        checkRates(poll(poller).value(0), ports);
    }

    // A device that never answers is a gap at every poll, "silent since" its first, and stays
    // in the poll; the healthy device beside it has its rates at every poll.
    void silentDeviceBesideHealthyOne()
    {
        PortTableAgent agent;
        QVERIFY(agent.setPorts(PortTableAgent::ports(Ports)));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        QUdpSocket silent; // bound, never answers
        QVERIFY(silent.bind(QHostAddress::LocalHost, 0));

        DevicePoller poller;
        poller.setInterval(IntervalSeconds);
        poller.setDeadlineMs(1000);
        poller.setWalkTimeoutMs(300);
        const int healthy = poller.addDevice({agent.host(), SnmpVersion::V2c, "public", {}});
        const int quiet = poller.addDevice(
            {"127.0.0.1:" + QString::number(silent.localPort()), SnmpVersion::V2c, "public", {}});
        QDateTime silentSince;
        for (int round = 0; round < 4; ++round) {
            if (round > 0)
                QTest::qWait(IntervalSeconds * 1000);
            const QList<DevicePoll> polls = poll(poller);
            QCOMPARE(polls.size(), 2);
            for (const DevicePoll &p : polls) {
                if (p.device == quiet) {
                    QVERIFY(!p.answered);
                    QVERIFY(!p.problem.isEmpty());
                    if (round == 0)
                        silentSince = p.time;
                    QCOMPARE(p.silentSince, silentSince);
                    continue;
                }
                QCOMPARE(p.device, healthy);
                if (round == 0)
                    QVERIFY(p.answered);
                else
                    checkRates(p, agent.portList());
                if (QTest::currentTestFailed())
                    return;
            }
        }
        QCOMPARE(poller.deviceCount(), 2);
    }
};

QTEST_GUILESS_MAIN(TestDevicePorts)
#include "tst_deviceports.moc"
