#include "Heartbeat.h"
#include "HostileAgent.h"
#include "IfMib.h"
#include "SnmpAgent.h"
#include "SnmpFailure.h"
#include "SnmpHost.h"
#include "SnmpQuery.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace
{

const QString InOid = QStringLiteral("1.3.6.1.2.1.2.2.1.10.1");

// A UDP port on 127.0.0.1 where nothing listens.
quint16 closedPort()
{
    QUdpSocket socket;
    socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return socket.localPort();
}

QString closedHost()
{
    return "127.0.0.1:" + QString::number(closedPort());
}

struct BatchRun {
    QStringList values;
    qint64 elapsedMs = -1;
    bool finished = false;
};

// Runs one batch to its end (or a generous guard) and reports its readings and duration.
BatchRun runBatch(const QList<SnmpRequest> &requests, int timeoutMs = 2000)
{
    SnmpBatch batch;
    QSignalSpy spy(&batch, &SnmpBatch::finished);
    QElapsedTimer clock;
    clock.start();
    batch.start(requests, timeoutMs);
    BatchRun run;
    run.finished = spy.count() == 1 || spy.wait(timeoutMs + 2000);
    run.elapsedMs = clock.elapsed();
    if (run.finished)
        run.values = spy.at(0).at(0).toStringList();
    return run;
}

} // namespace

class TestSnmpQuery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void libraryIsQuiet();
    void hostText_data();
    void hostText();
    void groupAddresses_data();
    void groupAddresses();
    void reportTexts();
    void oidText_data();
    void oidText();

    void agentReadingsInRequestOrder();
    void silentAndClosedPortsEndAtTheDeadline();
    void blockingQuery();

    void hostileReplies_data();
    void hostileReplies();
    void hostileRepliesV2c_data();
    void hostileRepliesV2c();
    void agentCounters64();
    void typedBindingsV2c();
    void forgedRepliesIgnored();
    void communitySentUnchanged_data();
    void communitySentUnchanged();
    void ipv6AndHostNames();
    void malformedRequestsSendNothing();
    void slowAgent_data();
    void slowAgent();

    void eventLoopStaysLive();
    void cancelAndDestroy();
    void restartFromFinished();

private:
    std::unique_ptr<SnmpAgent> m_agent;
};

void TestSnmpQuery::initTestCase()
{
    m_agent = std::make_unique<SnmpAgent>();
    m_agent->setCounters(1, 100, 200);
    m_agent->setCounters(2, 3000000000U, 4294967295U);
    m_agent->setCounters(3, 0, 2147483648U);
    if (SnmpAgent::isAvailable())
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
}

// The first use of the SNMP library initialises it; neither that nor a query may write to
// stderr (missing MIB modules, configuration files and so on).
void TestSnmpQuery::libraryIsQuiet()
{
    QTemporaryFile capture;
    QVERIFY(capture.open());
    fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    QVERIFY(saved >= 0);
    dup2(capture.handle(), STDERR_FILENO);
    const QString value = snmpGetBlocking({InOid, "public", closedHost()}, 100);
    runBatch({{InOid, "public", closedHost()}}, 100);
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    QCOMPARE(value, QString());
    capture.seek(0);
    QCOMPARE(capture.readAll(), QByteArray());
}

void TestSnmpQuery::hostText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("target"); // peer text for addresses, the name for names
    const int invalid = int(SnmpHost::Kind::Invalid);
    const int address = int(SnmpHost::Kind::Address);
    const int name = int(SnmpHost::Kind::Name);

    QTest::newRow("ipv4") << "192.0.2.1" << address << "udp:192.0.2.1:161";
    QTest::newRow("ipv4 with port") << "127.0.0.1:1161" << address << "udp:127.0.0.1:1161";
    QTest::newRow("ipv6 bracketed with port") << "[::1]:1161" << address << "udp6:[::1]:1161";
    QTest::newRow("ipv6 bracketed") << "[2001:db8::1]" << address << "udp6:[2001:db8::1]:161";
    QTest::newRow("ipv6 bare") << "2001:db8::1" << address << "udp6:[2001:db8::1]:161";
    QTest::newRow("ipv6 with scope")
        << "[fe80::1%eth0.7]:1161" << address << "udp6:[fe80::1%eth0.7]:1161";
    QTest::newRow("ipv4 mapped loopback")
        << "[::ffff:127.0.0.1]:1161" << address << "udp6:[::ffff:127.0.0.1]:1161";
    QTest::newRow("name") << "core-sw1.example.net" << name << "core-sw1.example.net";
    QTest::newRow("name with port") << "router_7:1161" << name << "router_7";
    QTest::newRow("name with trailing dot") << "router.example." << name << "router.example.";
    QTest::newRow("name of 253") << QString(63, 'a') + "." + QString(63, 'b') + "." +
                                        QString(63, 'c') + "." + QString(61, 'd')
                                 << name
                                 << QString(63, 'a') + "." + QString(63, 'b') + "." +
                                        QString(63, 'c') + "." + QString(61, 'd');

    QTest::newRow("empty") << "" << invalid << "";
    QTest::newRow("port only") << "161" << invalid << "";
    QTest::newRow("colon port") << ":161" << invalid << "";
    QTest::newRow("unspecified ipv4") << "0.0.0.0" << invalid << "";
    QTest::newRow("unspecified ipv6") << "[::]:161" << invalid << "";
    QTest::newRow("unspecified ipv4 mapped") << "[::ffff:0.0.0.0]:161" << invalid << "";
    QTest::newRow("scope with bracket") << "fe80::1%a]:99" << invalid << "";
    QTest::newRow("scope with colon") << "[fe80::1%a:b]:161" << invalid << "";
    QTest::newRow("scope non-ascii") << "fe80::1%\u00e9th0" << invalid << "";
    QTest::newRow("scope empty") << "[fe80::1%]" << invalid << "";
    QTest::newRow("unspecified ipv4 mapped bare") << "::FFFF:0:0" << invalid << "";
    QTest::newRow("octet above 255") << "256.1.1.1" << invalid << "";
    QTest::newRow("three parts") << "10.1.2" << invalid << "";
    QTest::newRow("leading zero") << "010.1.2.3" << invalid << "";
    QTest::newRow("port zero") << "192.0.2.1:0" << invalid << "";
    QTest::newRow("port too big") << "192.0.2.1:65536" << invalid << "";
    QTest::newRow("port empty") << "router:" << invalid << "";
    QTest::newRow("port not a number") << "router:16a" << invalid << "";
    QTest::newRow("ipv4 in brackets") << "[192.0.2.1]:161" << invalid << "";
    QTest::newRow("unclosed bracket") << "[::1:161" << invalid << "";
    QTest::newRow("text after bracket") << "[::1]x" << invalid << "";
    QTest::newRow("embedded blank") << "core router" << invalid << "";
    QTest::newRow("leading blank") << " 192.0.2.1" << invalid << "";
    QTest::newRow("trailing blank") << "192.0.2.1 " << invalid << "";
    QTest::newRow("tab") << "router\t" << invalid << "";
    QTest::newRow("hyphen first") << "-router" << invalid << "";
    QTest::newRow("empty label") << "router..example" << invalid << "";
    QTest::newRow("label of 64") << QString(64, 'a') + ".example" << invalid << "";
    QTest::newRow("name of 254") << QString(63, 'a') + "." + QString(63, 'b') + "." +
                                        QString(63, 'c') + "." + QString(62, 'd')
                                 << invalid << "";
    QTest::newRow("absurdly long") << QString(100000, 'a') << invalid << "";
    QTest::newRow("non-ascii") << "rüter" << invalid << "";
}

void TestSnmpQuery::hostText()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, target);
    const SnmpHost host = SnmpHost::parse(text);
    QCOMPARE(int(host.kind), kind);
    if (host.kind == SnmpHost::Kind::Address)
        QCOMPARE(SnmpHost::peerName(host.address, host.port), target);
    if (host.kind == SnmpHost::Kind::Name)
        QCOMPARE(host.name, target);
}

// Multicast and broadcast addresses are no agents: refused by the parse (so a request never
// reaches a socket) and by the check applied to resolved names, with a sentence naming
// them. These are only parsed here, never sent to.
void TestSnmpQuery::groupAddresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("problem"); // "" for an address that stays allowed
    QTest::newRow("ipv4 multicast, lowest") << "224.0.0.1"
                                            << "224.0.0.1 is a multicast address";
    QTest::newRow("ipv4 multicast, highest, port") << "239.255.255.255:1161"
                                                   << "239.255.255.255:1161 is a multicast address";
    QTest::newRow("limited broadcast") << "255.255.255.255"
                                       << "is the broadcast address";
    QTest::newRow("ipv6 multicast") << "[ff02::1]:161"
                                    << "[ff02::1]:161 is a multicast address";
    QTest::newRow("ipv6 multicast bare") << "ff05::1:3"
                                         << "is a multicast address";
    QTest::newRow("ipv4-mapped multicast") << "[::ffff:224.0.0.251]"
                                           << "is a multicast address";
    QTest::newRow("ipv4-mapped broadcast") << "::ffff:255.255.255.255"
                                           << "is the broadcast address";
    QTest::newRow("just below multicast") << "223.255.255.255"
                                          << "";
    QTest::newRow("just above multicast") << "240.0.0.1"
                                          << "";
    QTest::newRow("a subnet's broadcast") << "192.0.2.255"
                                          << "";
    QTest::newRow("ipv6 link-local") << "[fe80::1%lo]"
                                     << "";
}

void TestSnmpQuery::groupAddresses()
{
    QFETCH(QString, text);
    QFETCH(QString, problem);
    const SnmpHost host = SnmpHost::parse(text);
    QCOMPARE(host.isValid(), problem.isEmpty());
    QCOMPARE(SnmpHost::problem(text).isEmpty(), problem.isEmpty());
    QVERIFY2(SnmpHost::problem(text).contains(problem), qPrintable(SnmpHost::problem(text)));
    QCOMPARE(SnmpHost::groupAddressProblem(text), SnmpHost::problem(text));
    if (!problem.isEmpty()) {
        QVERIFY(SnmpHost::problem(text).endsWith("not an agent's address; nothing is sent to it."));
        // The same address as a name's resolution is refused too.
        QString bare = text;
        bare.remove(QRegularExpression(":\\d+$|^\\[|\\](:\\d+)?$"));
        QVERIFY2(!SnmpHost::isUsableAddress(QHostAddress(bare)), qPrintable(bare));
    } else {
        QVERIFY(SnmpHost::isUsableAddress(host.address));
    }
    QCOMPARE(SnmpHost::problem("10.0.0.256"), QString("\"10.0.0.256\" is not a valid address."));
    QCOMPARE(SnmpHost::groupAddressProblem("10.0.0.256"), QString());
}

// Each kind of report says which report it was: the operator can tell a clock problem from a
// changed engine from an unknown report.
void TestSnmpQuery::reportTexts()
{
    const QString unknownEngine = snmpFailureText(SnmpFailure::UnknownEngine);
    const QString timeWindow = snmpFailureText(SnmpFailure::NotInTimeWindow);
    const QString other = snmpFailureText(SnmpFailure::Report);
    QVERIFY(unknownEngine.contains("reported unknownEngineIDs"));
    QVERIFY(timeWindow.contains("reported notInTimeWindows"));
    QVERIFY(other.contains("report"));
    QCOMPARE(QSet<QString>({unknownEngine, timeWindow, other}).size(), 3);
}

void TestSnmpQuery::oidText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<quint32>>("expected");
    QTest::newRow("input octets") << "1.3.6.1.2.1.2.2.1.10.3"
                                  << QList<quint32>{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 3};
    QTest::newRow("largest part") << "1.3.4294967295" << QList<quint32>{1, 3, 4294967295U};
    QTest::newRow("two parts") << "2.999" << QList<quint32>{2, 999};
    QTest::newRow("empty") << "" << QList<quint32>{};
    QTest::newRow("one part") << "1" << QList<quint32>{};
    QTest::newRow("no index") << "1.3.6.1.2.1.2.2.1.10." << QList<quint32>{};
    QTest::newRow("leading dot") << ".1.3.6.1" << QList<quint32>{};
    QTest::newRow("empty part") << "1.3..6" << QList<quint32>{};
    QTest::newRow("letter") << "1.3.6.1.2.1.2.2.1.10.x" << QList<quint32>{};
    QTest::newRow("blank") << "1.3.6.1.2.1.2.2.1.10. 3" << QList<quint32>{};
    QTest::newRow("sign") << "1.3.6.1.2.1.2.2.1.10.-1" << QList<quint32>{};
    QTest::newRow("leading zero") << "1.3.6.1.2.1.2.2.1.10.03" << QList<quint32>{};
    QTest::newRow("part above 32 bits") << "1.3.4294967296" << QList<quint32>{};
    QTest::newRow("first part above 2") << "3.1" << QList<quint32>{};
    QTest::newRow("second part 40 under 1") << "1.40" << QList<quint32>{};
    QString tooLong = "1.3";
    for (int i = 0; i < 127; ++i)
        tooLong += ".1";
    QTest::newRow("129 parts") << tooLong << QList<quint32>{};
}

void TestSnmpQuery::oidText()
{
    QFETCH(QString, text);
    QFETCH(QList<quint32>, expected);
    QCOMPARE(parseOidText(text), expected);
}

void TestSnmpQuery::agentReadingsInRequestOrder()
{
    if (!m_agent->isRunning())
        QSKIP("snmpd is not installed");
    const QString host = m_agent->host();
    const QString community = SnmpAgent::community();
    const QList<SnmpRequest> requests = {
        {SnmpAgent::inOctetsOid(1), community, host},
        {SnmpAgent::outOctetsOid(1), community, host},
        {SnmpAgent::inOctetsOid(2), community, host},  // above 2^31
        {SnmpAgent::outOctetsOid(2), community, host}, // 2^32 - 1
        {SnmpAgent::inOctetsOid(3), community, host},
        {SnmpAgent::outOctetsOid(3), community, host}, // exactly 2^31
        {SnmpAgent::inOctetsOid(9), community, host},  // unknown index: noSuchName
        {"1.3.6.1.2.1.2.2.1.10.", community, host},    // malformed: nothing sent
        {SnmpAgent::inOctetsOid(1), community, ""},    // no host: nothing sent
    };
    const QStringList expected = {"100", "200", "3000000000", "4294967295", "0", "2147483648", "",
                                  "",    ""};
    BatchRun run = runBatch(requests);
    QVERIFY(run.finished);
    QCOMPARE(run.values, expected);
    QVERIFY2(run.elapsedMs < 1000, qPrintable(QString::number(run.elapsedMs)));

    // Counters change between polls, and an interface can disappear.
    m_agent->setCounters(1, 101, 4294967295U);
    m_agent->removeInterface(3);
    run = runBatch(requests.mid(0, 6));
    QCOMPARE(run.values, QStringList({"101", "4294967295", "3000000000", "4294967295", "", ""}));
    m_agent->setCounters(1, 100, 200);
    m_agent->setCounters(3, 0, 2147483648U);
}

// A wrong community is silently ignored by the agent and a closed port answers nothing: both
// read empty, and the batch still ends at its deadline with the answered reading intact.
void TestSnmpQuery::silentAndClosedPortsEndAtTheDeadline()
{
    if (!m_agent->isRunning())
        QSKIP("snmpd is not installed");
    const BatchRun run =
        runBatch({{SnmpAgent::inOctetsOid(1), "wrong", m_agent->host()},
                  {SnmpAgent::inOctetsOid(1), SnmpAgent::community(), closedHost()},
                  {SnmpAgent::outOctetsOid(1), SnmpAgent::community(), m_agent->host()}});
    QVERIFY(run.finished);
    QCOMPARE(run.values, QStringList({"", "", "200"}));
    QVERIFY2(run.elapsedMs >= 1990 && run.elapsedMs < 2300,
             qPrintable(QString::number(run.elapsedMs)));
}

void TestSnmpQuery::blockingQuery()
{
    if (!m_agent->isRunning())
        QSKIP("snmpd is not installed");
    QCOMPARE(snmpGetBlocking({SnmpAgent::inOctetsOid(2), "public", m_agent->host()}),
             QString("3000000000"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(snmpGetBlocking({SnmpAgent::inOctetsOid(2), "wrong", m_agent->host()}, 300),
             QString());
    QVERIFY(clock.elapsed() >= 290 && clock.elapsed() < 600);
    QCOMPARE(snmpGetBlocking({"1.3.x", "public", m_agent->host()}), QString());
}

void TestSnmpQuery::hostileReplies_data()
{
    using R = HostileAgent::Reply;
    QTest::addColumn<HostileAgent::Reply>("reply");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("counter32 above 2^31") << R::Correct << qint64(3000000000) << "3000000000";
    QTest::newRow("counter32 max") << R::Correct << qint64(4294967295) << "4294967295";
    QTest::newRow("integer negative") << R::Integer << qint64(-5) << "-5";
    QTest::newRow("integer min") << R::Integer << qint64(-2147483648) << "-2147483648";
    QTest::newRow("gauge32") << R::Gauge << qint64(4000000000) << "4000000000";
    QTest::newRow("timeticks") << R::TimeTicks << qint64(456) << "456";
    QTest::newRow("requested binding second") << R::SecondBinding << qint64(42) << "42";
    QTest::newRow("error-status with value") << R::ErrorWithValue << qint64(42) << "42";
    QTest::newRow("other oid") << R::OtherOid << qint64(42) << "";
    QTest::newRow("octet string") << R::OctetString << qint64(42) << "";
    QTest::newRow("object identifier") << R::ObjectId << qint64(42) << "";
    QTest::newRow("counter64") << R::Counter64 << qint64(42) << "";
    QTest::newRow("null") << R::Null << qint64(42) << "";
    QTest::newRow("noSuchName") << R::ErrorStatus << qint64(42) << "";
    QTest::newRow("wrong request-id") << R::WrongRequestId << qint64(42) << "";
    QTest::newRow("truncated") << R::Truncated << qint64(42) << "";
    QTest::newRow("garbage") << R::Garbage << qint64(42) << "";
    QTest::newRow("empty datagram") << R::Empty << qint64(42) << "";
    QTest::newRow("silent") << R::Silent << qint64(42) << "";
}

// Each case is one request and exactly one datagram (no retransmission); the batch ends with
// the reading, or empty at the deadline.
void TestSnmpQuery::hostileReplies()
{
    QFETCH(HostileAgent::Reply, reply);
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    HostileAgent agent;
    QVERIFY(agent.listen());
    agent.setReply(reply);
    agent.setValue(value);
    const BatchRun run = runBatch({{InOid, "public", agent.host()}}, 400);
    QVERIFY(run.finished);
    QCOMPARE(run.values, QStringList{expected});
    QTest::qWait(50); // a retransmission would arrive by now
    QCOMPARE(agent.requestsSeen(), 1);
    QVERIFY(agent.lastRequestId() > 0);
}

// A v2c request for the 64-bit counters: only a Counter64 is a reading, as unsigned 64-bit;
// TimeTicks (read as such for sysUpTime.0 only), exceptions, other types, error-status and
// broken datagrams are none.
void TestSnmpQuery::hostileRepliesV2c_data()
{
    using R = HostileAgent::Reply;
    QTest::addColumn<HostileAgent::Reply>("reply");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("counter64") << R::Counter64 << qint64(7500000000) << "7500000000";
    QTest::newRow("counter64 max") << R::Counter64 << qint64(-1) << "18446744073709551615";
    QTest::newRow("timeticks") << R::TimeTicks << qint64(456) << "";
    QTest::newRow("counter32") << R::Correct << qint64(42) << "";
    QTest::newRow("integer") << R::Integer << qint64(42) << "";
    QTest::newRow("noSuchObject") << R::NoSuchObject << qint64(42) << "";
    QTest::newRow("noSuchInstance") << R::NoSuchInstance << qint64(42) << "";
    QTest::newRow("endOfMibView") << R::EndOfMibView << qint64(42) << "";
    QTest::newRow("error-status with value") << R::ErrorWithValue << qint64(42) << "";
    QTest::newRow("other oid") << R::OtherOid << qint64(42) << "";
    QTest::newRow("truncated") << R::Truncated << qint64(42) << "";
    QTest::newRow("garbage") << R::Garbage << qint64(42) << "";
}

void TestSnmpQuery::hostileRepliesV2c()
{
    QFETCH(HostileAgent::Reply, reply);
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    HostileAgent agent;
    QVERIFY(agent.listen());
    agent.setReply(reply);
    agent.setValue(value);
    const QString hcIn = QStringLiteral("1.3.6.1.2.1.31.1.1.1.6.1");
    const QString hcOut = QStringLiteral("1.3.6.1.2.1.31.1.1.1.10.1");
    // The responder answers the first binding only: the second reading stays empty.
    const BatchRun run = runBatch({{hcIn, "public", agent.host(), {}, SnmpVersion::V2c, {hcOut}},
                                   {InOid, "public", agent.host()}},
                                  400);
    QVERIFY(run.finished);
    QCOMPARE(run.values.size(), 3);
    QCOMPARE(run.values.at(0), expected);
    QCOMPARE(run.values.at(1), QString());
}

// Both 64-bit counters of a real agent in one v2c request; an index without them and a
// v1 request beside it.
void TestSnmpQuery::agentCounters64()
{
    m_agent->setCounters(7, 10, 20);
    m_agent->setCounters64(7, 9223372036854775809ULL, 7500000000ULL);
    m_agent->setCounters(8, 30, 40);
    const QString hc = QStringLiteral("1.3.6.1.2.1.31.1.1.1.");
    const BatchRun run =
        runBatch({{hc + "6.7", "public", m_agent->host(), {}, SnmpVersion::V2c, {hc + "10.7"}},
                  {hc + "6.8", "public", m_agent->host(), {}, SnmpVersion::V2c, {hc + "10.8"}},
                  {SnmpAgent::inOctetsOid(7), "public", m_agent->host()}},
                 1500);
    QCOMPARE(run.values, QStringList({"9223372036854775809", "7500000000", "", "", "10"}));
}

// Typed bindings of a v2c request read INTEGER and Counter32; an object the agent lacks is
// empty for that binding only; the untyped ones keep the Counter64-only rule.
void TestSnmpQuery::typedBindingsV2c()
{
    m_agent->setCounters(9, 50, 60);
    m_agent->setCounters64(9, 5000000000ULL, 6000000000ULL);
    SnmpAgent::LinkHealth health;
    health.oper = 2;
    health.inDiscards.reset();
    health.inErrors = 3;
    health.outErrors = 4294967295U;
    m_agent->setLinkHealth(9, health);
    const QString hc = QStringLiteral("1.3.6.1.2.1.31.1.1.1.");
    SnmpRequest request{hc + "6.9",
                        "public",
                        m_agent->host(),
                        {},
                        SnmpVersion::V2c,
                        QStringList{hc + "10.9", SnmpAgent::inOctetsOid(9)} +
                            IfMib::linkHealth(QStringLiteral("9"))};
    request.typedMoreOids = 6;
    const BatchRun run = runBatch({request}, 1500);
    QCOMPARE(run.values,
             QStringList({"5000000000", "6000000000", "", "1", "2", "", "3", "0", "4294967295"}));
}

// Forged replies (same request-id, another value) from another port of 127.0.0.1 and from
// 127.0.0.2 arrive before the agent's own; only the agent's counts. The request-ids of
// successive requests differ.
void TestSnmpQuery::forgedRepliesIgnored()
{
    HostileAgent agent;
    QVERIFY(agent.listen());
    agent.setValue(1234);
    agent.setDelayMs(150);
    QVERIFY(agent.addForger(QHostAddress(QHostAddress::LocalHost), 3999999999));
    if (!agent.addForger(QHostAddress(QStringLiteral("127.0.0.2")), 3999999998))
        QFAIL("cannot bind 127.0.0.2");
    const BatchRun run = runBatch({{InOid, "public", agent.host()}}, 1500);
    QCOMPARE(run.values, QStringList{"1234"});
    const qint64 firstId = agent.lastRequestId();
    QCOMPARE(runBatch({{InOid, "public", agent.host()}}, 1500).values, QStringList{"1234"});
    QVERIFY(agent.lastRequestId() != firstId);
}

void TestSnmpQuery::communitySentUnchanged_data()
{
    QTest::addColumn<QString>("community");
    QTest::newRow("public") << "public";
    QTest::newRow("empty") << "";
    QTest::newRow("punctuation") << "s3cr3t;#!";
    QTest::newRow("non-ascii as utf-8") << "grün";
}

void TestSnmpQuery::communitySentUnchanged()
{
    QFETCH(QString, community);
    HostileAgent agent;
    QVERIFY(agent.listen());
    agent.setValue(7);
    QCOMPARE(runBatch({{InOid, community, agent.host()}}, 1000).values, QStringList{"7"});
    QCOMPARE(agent.lastCommunity(), community.toUtf8());
}

void TestSnmpQuery::ipv6AndHostNames()
{
    HostileAgent v4;
    QVERIFY(v4.listen());
    v4.setValue(11);
    HostileAgent v6;
    const bool haveV6 = v6.listen(QHostAddress(QHostAddress::LocalHostIPv6));
    v6.setValue(12);
    QList<SnmpRequest> requests = {{InOid, "public", "localhost:" + QString::number(v4.port())}};
    QStringList expected = {"11"};
    if (haveV6) {
        requests.append({InOid, "public", v6.host()});
        expected.append("12");
    }
    QCOMPARE(runBatch(requests, 1500).values, expected);
    if (!haveV6)
        QSKIP("no IPv6 loopback here");
}

// Malformed requests are empty readings without a datagram; finished() still comes from the
// event loop, also for an empty list.
void TestSnmpQuery::malformedRequestsSendNothing()
{
    HostileAgent agent;
    QVERIFY(agent.listen());
    const QString port = QString::number(agent.port());
    const QList<SnmpRequest> requests = {
        {"1.3.6.1.2.1.2.2.1.10.x", "public", agent.host()},
        {InOid, "public", ":" + port},
        {InOid, "public", "127.0.0.1:" + port + " "},
        {InOid, "public", "0.0.0.0:" + port},
    };
    for (const QList<SnmpRequest> &list : {requests, QList<SnmpRequest>{}}) {
        SnmpBatch batch;
        QSignalSpy spy(&batch, &SnmpBatch::finished);
        batch.start(list);
        QCOMPARE(spy.count(), 0);
        QVERIFY(batch.isRunning());
        QVERIFY(spy.wait(500));
        QCOMPARE(spy.at(0).at(0).toStringList(), QStringList(list.size(), QString()));
        QVERIFY(!batch.isRunning());
    }
    QTest::qWait(50);
    QCOMPARE(agent.requestsSeen(), 0);
}

void TestSnmpQuery::slowAgent_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QString>("expected");
    QTest::newRow("just under the wait") << 1900 << "5";
    QTest::newRow("just over the wait") << 2100 << "";
}

void TestSnmpQuery::slowAgent()
{
    QFETCH(int, delayMs);
    QFETCH(QString, expected);
    HostileAgent agent;
    QVERIFY(agent.listen());
    agent.setValue(5);
    agent.setDelayMs(delayMs);
    const BatchRun run = runBatch({{InOid, "public", agent.host()}});
    QCOMPARE(run.values, QStringList{expected});
    QVERIFY(run.elapsedMs < 2300);
}

// Twenty silent requests run side by side: a 10 ms timer keeps firing throughout and the
// batch ends once, at the shared deadline.
void TestSnmpQuery::eventLoopStaysLive()
{
    HostileAgent agent;
    QVERIFY(agent.listen());
    agent.setReply(HostileAgent::Reply::Silent);
    QList<SnmpRequest> requests;
    for (int i = 1; i <= 20; ++i)
        requests.append({"1.3.6.1.2.1.2.2.1.10." + QString::number(i), "public", agent.host()});

    Heartbeat heartbeat(10);
    const BatchRun run = runBatch(requests);
    heartbeat.stop();

    QVERIFY(run.finished);
    QCOMPARE(run.values, QStringList(20, QString()));
    QCOMPARE(agent.requestsSeen(), 20);
    QVERIFY2(run.elapsedMs >= 1990 && run.elapsedMs < 2300,
             qPrintable(QString::number(run.elapsedMs)));
    QVERIFY2(heartbeat.longestGapMs() < 50, qPrintable(QString::number(heartbeat.longestGapMs())));
}

void TestSnmpQuery::cancelAndDestroy()
{
    HostileAgent agent;
    QVERIFY(agent.listen());
    agent.setValue(9);
    agent.setDelayMs(100);
    const QList<SnmpRequest> requests = {{InOid, "public", agent.host()},
                                         {InOid, "public", "localhost:1"}};

    SnmpBatch batch;
    QSignalSpy spy(&batch, &SnmpBatch::finished);
    batch.start(requests, 300);
    QTest::qWait(20);
    batch.cancel();
    QVERIFY(!batch.isRunning());
    QTest::qWait(400); // the reply and the deadline both pass
    QCOMPARE(spy.count(), 0);

    // The same object runs a fresh batch afterwards.
    batch.start(requests, 300);
    QVERIFY(spy.wait(1000));
    QCOMPARE(spy.at(0).at(0).toStringList(), QStringList({"9", ""}));

    // Destroyed while the requests are in flight and a name lookup is pending.
    auto doomed = std::make_unique<SnmpBatch>();
    QSignalSpy doomedSpy(doomed.get(), &SnmpBatch::finished);
    doomed->start(requests, 300);
    QTest::qWait(20);
    doomed.reset();
    QTest::qWait(400);
}

// The poll starts the next batch from the finished() of the previous one.
void TestSnmpQuery::restartFromFinished()
{
    HostileAgent agent;
    QVERIFY(agent.listen());
    agent.setValue(3);
    SnmpBatch batch;
    QList<QStringList> results;
    connect(&batch, &SnmpBatch::finished, [&](const QStringList &values) {
        results.append(values);
        if (results.size() < 3)
            batch.start({{InOid, "public", agent.host()}}, 500);
    });
    batch.start({{InOid, "public", agent.host()}}, 500);
    QTRY_COMPARE_WITH_TIMEOUT(results.size(), 3, 3000);
    QCOMPARE(results, QList<QStringList>(3, QStringList{"3"}));
    QTest::qWait(50);
    QCOMPARE(results.size(), 3);
}

QTEST_GUILESS_MAIN(TestSnmpQuery)
#include "tst_snmpquery.moc"
