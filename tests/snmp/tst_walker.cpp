#include "DeviceFile.h"
#include "IfMibAgent.h"
#include "InterfaceDiscovery.h"
#include "SnmpAgent.h"
#include "SnmpWalker.h"
#include "WalkResponder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

Q_DECLARE_METATYPE(SnmpVersion)
Q_DECLARE_METATYPE(WalkResponder::Fault)

namespace
{

struct Run {
    DiscoveryResult result;
    bool finished = false;
    qint64 elapsedMs = 0;
};

Run discover(const QString &host, const QString &community, SnmpVersion version,
             int timeoutMs = SnmpWalker::TimeoutMs,
             std::shared_ptr<const SnmpSecurity> security = {})
{
    InterfaceDiscovery discovery;
    discovery.walker().setTimeoutMs(timeoutMs);
    QSignalSpy spy(&discovery, &InterfaceDiscovery::finished);
    QElapsedTimer clock;
    clock.start();
    discovery.start(host, community, version, security);
    Run run;
    run.finished = spy.wait(4 * timeoutMs + 60000);
    run.elapsedMs = clock.elapsed();
    if (run.finished)
        run.result = spy.at(0).at(0).value<DiscoveryResult>();
    return run;
}

QStringList names(const QList<DiscoveredInterface> &interfaces)
{
    QStringList list;
    for (const DiscoveredInterface &entry : interfaces)
        list.append(entry.name);
    list.sort();
    return list;
}

QList<quint32> ifEntry(quint32 column, quint32 index)
{
    return {1, 3, 6, 1, 2, 1, 2, 2, 1, column, index};
}

QList<quint32> ifXEntry(quint32 column, quint32 index)
{
    return {1, 3, 6, 1, 2, 1, 31, 1, 1, 1, column, index};
}

// Five interfaces in the hostile responder's table.
void fillResponder(WalkResponder &agent, bool speedAsText = false)
{
    agent.setString({1, 3, 6, 1, 2, 1, 1, 5, 0}, "hostile");
    for (quint32 i = 1; i <= 5; ++i) {
        agent.setString(ifEntry(2, i), "eth" + QByteArray::number(i));
        agent.setInteger(ifEntry(3, i), 6);
        if (speedAsText)
            agent.setString(ifEntry(5, i), "fast");
        else
            agent.setGauge(ifEntry(5, i), 100000000);
        agent.setInteger(ifEntry(7, i), 1);
        agent.setInteger(ifEntry(8, i), 1);
        agent.setString(ifXEntry(1, i), "port" + QByteArray::number(i));
        agent.setCounter64(ifXEntry(6, i), 1);
        agent.setGauge(ifXEntry(15, i), 100);
        agent.setString(ifXEntry(18, i), "");
    }
}

std::shared_ptr<const SnmpSecurity>
v3User(const QString &user, SnmpSecurity::Level level,
       const QString &authPassphrase = SnmpAgent::authPassphrase(),
       const QString &privPassphrase = SnmpAgent::privPassphrase())
{
    auto security = std::make_shared<SnmpSecurity>();
    security->user = user;
    security->level = level;
    security->authPassphrase = authPassphrase.toUtf8();
    security->privPassphrase = privPassphrase.toUtf8();
    if (user == IfMibAgent::strongUser()) {
        security->auth = SnmpSecurity::Auth::SHA256;
        security->priv = SnmpSecurity::Priv::AES256;
    }
    return security;
}

} // namespace

class TestWalker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<DiscoveryResult>();
        if (!IfMibAgent::isAvailable())
            QSKIP("snmpd or perl is not installed");
    }

    void thisMachinesInterfaces_data()
    {
        QTest::addColumn<SnmpVersion>("version");
        QTest::addColumn<SnmpVersion>("spoken");
        QTest::newRow("auto") << SnmpVersion::Auto << SnmpVersion::V2c;
        QTest::newRow("2c") << SnmpVersion::V2c << SnmpVersion::V2c;
        QTest::newRow("1") << SnmpVersion::V1 << SnmpVersion::V1;
    }

    // The agent serves the machine's own interfaces: the names are those the kernel lists,
    // and 64-bit counters can only be seen over v2c.
    void thisMachinesInterfaces()
    {
        QFETCH(SnmpVersion, version);
        QFETCH(SnmpVersion, spoken);
        IfMibAgent agent;
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Run run = discover(agent.host(), "public", version);
        QVERIFY(run.finished);
        QVERIFY2(run.result.message.isEmpty(), qPrintable(run.result.message));
        QCOMPARE(run.result.version, spoken);
        QCOMPARE(run.result.sysName, QString("discovery-test"));
        QStringList kernel =
            QDir("/sys/class/net").entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
        kernel.sort();
        QCOMPARE(names(run.result.interfaces), kernel);
        for (const DiscoveredInterface &entry : run.result.interfaces) {
            QCOMPARE(entry.counters64, spoken == SnmpVersion::V2c);
            QVERIFY(entry.operStatus >= 1 && entry.operStatus <= 7);
            if (entry.name == "lo") {
                QCOMPARE(entry.type, 24);
                QVERIFY(!Discovery::isPreChecked(entry));
            }
        }
    }

    void v1OnlyAgentFoundByAuto()
    {
        IfMibAgent agent;
        agent.setV1Only(true);
        agent.setInterfaces(IfMibAgent::synthetic(3));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Run automatic = discover(agent.host(), "public", SnmpVersion::Auto, 500);
        QVERIFY(automatic.finished);
        QVERIFY2(automatic.result.message.isEmpty(), qPrintable(automatic.result.message));
        QCOMPARE(automatic.result.version, SnmpVersion::V1);
        QCOMPARE(automatic.result.interfaces.size(), 3);
        QCOMPARE(automatic.result.interfaces[0].name, QString("ge-0/0/1"));

        const Run v2c = discover(agent.host(), "public", SnmpVersion::V2c, 500);
        QVERIFY(v2c.finished);
        QVERIFY(!v2c.result.answered);
        QVERIFY(v2c.result.interfaces.isEmpty());
    }

    void wrongCommunity_data()
    {
        QTest::addColumn<SnmpVersion>("version");
        QTest::addColumn<int>("requests");
        QTest::newRow("2c") << SnmpVersion::V2c << 2;
        QTest::newRow("auto") << SnmpVersion::Auto << 4; // v2c, retry, then v1, retry
    }

    // A wrong community is silently dropped: one retry per version, then a clear message.
    void wrongCommunity()
    {
        QFETCH(SnmpVersion, version);
        QFETCH(int, requests);
        IfMibAgent agent;
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Run run = discover(agent.host(), "not-the-community", version, 300);
        QVERIFY(run.finished);
        QVERIFY(!run.result.answered);
        QCOMPARE(run.result.requests, requests);
        QVERIFY(run.result.message.startsWith("No answer from " + agent.host()));
        QVERIFY(run.result.message.contains("community"));
        QVERIFY(run.elapsedMs >= requests * 300 - 50);
    }

    // Names and aliases with semicolons, blanks and non-ASCII text come through intact and
    // survive a round trip through a device-file line.
    void oddNames()
    {
        QList<IfMibAgent::Interface> list = IfMibAgent::synthetic(3);
        list[0].name = "Gi0/1; core";
        list[0].alias = "  Straße — Zürich ; 東京  ";
        list[1].name = "";
        list[1].descr = "Ethernet adapter #2";
        list[1].alias = "";
        list[2].name = "wan0";
        list[2].alias = "a;b;c";
        IfMibAgent agent;
        agent.setInterfaces(list);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Run run = discover(agent.host(), "public", SnmpVersion::V2c);
        QVERIFY(run.finished);
        const QList<DiscoveredInterface> &found = run.result.interfaces;
        QCOMPARE(found.size(), 3);
        QCOMPARE(found[0].alias, QString::fromUtf8("  Straße — Zürich ; 東京"));
        QCOMPARE(found[1].name, QString("Ethernet adapter #2"));
        const QStringList expected = {QString::fromUtf8("Gi0/1; core -   Straße — Zürich ; 東京"),
                                      QString("Ethernet adapter #2"), QString("wan0 - a;b;c")};
        for (int i = 0; i < 3; ++i) {
            const QString line = Discovery::deviceLine(agent.host(), found[i], "public");
            const DeviceFile::Fields fields = DeviceFile::splitFields(line);
            QCOMPARE(fields.ip, agent.host());
            QCOMPARE(fields.interfaceIndex, QString::number(i + 1));
            QCOMPARE(fields.bandwidth, QString::number(found[i].bandwidth));
            QCOMPARE(fields.community, QString("public"));
            QCOMPARE(fields.description, expected[i]);
        }
    }

    void thousandInterfaces_data()
    {
        QTest::addColumn<SnmpVersion>("version");
        QTest::newRow("2c GetBulk") << SnmpVersion::V2c;
        QTest::newRow("1 GetNext") << SnmpVersion::V1;
    }

    void thousandInterfaces()
    {
        QFETCH(SnmpVersion, version);
        IfMibAgent agent;
        agent.setInterfaces(IfMibAgent::synthetic(1000));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Run run = discover(agent.host(), "public", version);
        QVERIFY(run.finished);
        QVERIFY2(run.result.message.isEmpty(), qPrintable(run.result.message));
        const QList<DiscoveredInterface> &found = run.result.interfaces;
        QCOMPARE(found.size(), 1000);
        QCOMPARE(found[999].name, QString("ge-0/0/1000"));
        QCOMPARE(found[997].alias, QString("uplink; rack 998"));
        QCOMPARE(found[998].alias, QString());
        QCOMPARE(found[0].bandwidth, quint64(1000000000));  // ifSpeed
        QCOMPARE(found[1].bandwidth, quint64(40000000000)); // ifHighSpeed past the ceiling
        // v1: nine columns of 1,000 GetNexts; v2c: GetBulk asks for many rows at once.
        const int perColumn = version == SnmpVersion::V1 ? 1000 : 1000 / SnmpWalker::MaxRepetitions;
        QVERIFY2(run.result.requests > 7 * perColumn && run.result.requests < 10 * (perColumn + 2),
                 qPrintable(QString::number(run.result.requests)));
    }

    void hostileAgent_data()
    {
        QTest::addColumn<WalkResponder::Fault>("fault");
        QTest::addColumn<int>("after");
        QTest::addColumn<SnmpVersion>("version");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("found");
        // Answers 1 (sysName) and 2 to 6 (ifDescr 1 to 5) are correct.
        QTest::newRow("same OID again, v1")
            << WalkResponder::Fault::SameOid << 4 << SnmpVersion::V1 << "do not advance" << 3;
        QTest::newRow("same OID again, v2c")
            << WalkResponder::Fault::SameOid << 2 << SnmpVersion::V2c << "do not advance" << 5;
        QTest::newRow("decreasing OID")
            << WalkResponder::Fault::DecreasingOid << 3 << SnmpVersion::V1 << "do not advance" << 2;
        QTest::newRow("garbage") << WalkResponder::Fault::Garbage << 3 << SnmpVersion::V1
                                 << "stopped answering after 2 values" << 2;
        QTest::newRow("silent") << WalkResponder::Fault::Silent << 0 << SnmpVersion::Auto
                                << "No answer from" << 0;
        // Replies carrying the right request-id, but not from the address and port asked.
        QTest::newRow("from another port")
            << WalkResponder::Fault::OtherPort << 0 << SnmpVersion::Auto << "No answer from" << 0;
        QTest::newRow("from 127.0.0.2")
            << WalkResponder::Fault::OtherAddress << 0 << SnmpVersion::V2c << "No answer from" << 0;
    }

    // A misbehaving agent ends the walk at once (or after the time-outs) with what was read.
    void hostileAgent()
    {
        QFETCH(WalkResponder::Fault, fault);
        QFETCH(int, after);
        QFETCH(SnmpVersion, version);
        QFETCH(QString, message);
        QFETCH(int, found);
        WalkResponder agent;
        QVERIFY(agent.listen());
        fillResponder(agent);
        agent.setFault(fault, after);
        const Run run = discover(agent.host(), "public", version, 200);
        QVERIFY(run.finished);
        QVERIFY2(run.result.message.contains(message), qPrintable(run.result.message));
        QCOMPARE(run.result.interfaces.size(), found);
        QVERIFY(run.elapsedMs < 3000);
        QVERIFY(agent.requestsSeen() < 20);
    }

    // ifSpeed as text ends that column only: the other columns are still read.
    void wrongTypeForSpeed()
    {
        WalkResponder agent;
        QVERIFY(agent.listen());
        fillResponder(agent, true);
        const Run run = discover(agent.host(), "public", SnmpVersion::V2c, 200);
        QVERIFY(run.finished);
        QVERIFY(run.result.message.isEmpty());
        QCOMPARE(run.result.warnings.size(), 1);
        QVERIFY(run.result.warnings[0].startsWith("ifSpeed:"));
        QVERIFY(run.result.warnings[0].contains("OCTET STRING instead of Gauge32"));
        QCOMPARE(run.result.interfaces.size(), 5);
        QCOMPARE(run.result.interfaces[4].name, QString("port5"));
        QCOMPARE(run.result.interfaces[4].bandwidth, quint64(100000000)); // from ifHighSpeed
        QCOMPARE(run.result.sysName, QString("hostile"));
    }

    // An agent with endless rows is cut off after 10,000, keeping them.
    void tooManyRows()
    {
        WalkResponder agent;
        QVERIFY(agent.listen());
        for (quint32 i = 1; i <= SnmpWalker::MaxRows + 1; ++i)
            agent.setString(ifEntry(2, i), "if" + QByteArray::number(i));
        const Run run = discover(agent.host(), "public", SnmpVersion::V2c);
        QVERIFY(run.finished);
        QVERIFY2(run.result.message.contains("more than 10000 entries in ifDescr"),
                 qPrintable(run.result.message));
        QCOMPARE(run.result.interfaces.size(), SnmpWalker::MaxRows);
    }

    // Cancelled at any moment: no result, nothing left running, and the walker can start
    // again.
    void cancelAndRestart()
    {
        WalkResponder agent;
        QVERIFY(agent.listen());
        fillResponder(agent);
        agent.setFault(WalkResponder::Fault::Silent);
        InterfaceDiscovery discovery;
        QSignalSpy spy(&discovery, &InterfaceDiscovery::finished);
        discovery.start(agent.host(), "public", SnmpVersion::Auto);
        QTRY_COMPARE(agent.requestsSeen(), 1);
        discovery.cancel();
        QVERIFY(!discovery.isRunning());
        QTest::qWait(100);
        QCOMPARE(spy.count(), 0);

        agent.setFault(WalkResponder::Fault::None);
        discovery.start(agent.host(), "public", SnmpVersion::V2c);
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.at(0).at(0).value<DiscoveryResult>().interfaces.size(), 5);
    }

    void v3Walk_data()
    {
        QTest::addColumn<QString>("user");
        QTest::newRow("SHA, AES") << SnmpAgent::privUser();
        QTest::newRow("SHA-256, AES-256") << IfMibAgent::strongUser();
    }

    // An authPriv walk reads every interface with its 64-bit counters. The engine ID is
    // learnt by the first walk's own exchange and kept for the next.
    void v3Walk()
    {
        QFETCH(QString, user);
        IfMibAgent agent;
        agent.setInterfaces(IfMibAgent::synthetic(5));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const auto security = v3User(user, SnmpSecurity::Level::AuthPriv);
        const Run first = discover(agent.host(), "", SnmpVersion::V3, 1000, security);
        QVERIFY(first.finished);
        QVERIFY2(first.result.message.isEmpty(), qPrintable(first.result.message));
        QCOMPARE(first.result.version, SnmpVersion::V3);
        QCOMPARE(first.result.sysName, QString("discovery-test"));
        QCOMPARE(first.result.interfaces.size(), 5);
        QCOMPARE(first.result.interfaces[1].name, QString("ge-0/0/2"));
        QVERIFY(first.result.interfaces[1].counters64);
        QCOMPARE(first.result.interfaces[1].bandwidth, quint64(40000000000));

        const Run again = discover(agent.host(), "", SnmpVersion::V3, 1000, security);
        QVERIFY(again.finished);
        QCOMPARE(again.result.interfaces.size(), 5);
        QCOMPARE(again.result.requests, first.result.requests - 1);
    }

    void v3Refused_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("authPassphrase");
        QTest::addColumn<QString>("privPassphrase");
        QTest::addColumn<int>("failure");
        QTest::addColumn<QString>("words");
        const QString auth = SnmpAgent::authPassphrase();
        const QString priv = SnmpAgent::privPassphrase();
        const int authPriv = int(SnmpSecurity::Level::AuthPriv);
        QTest::newRow("unknown user") << "nobody-here" << authPriv << auth << priv
                                      << int(SnmpFailure::UnknownUser) << "Wrong user";
        QTest::newRow("wrong passphrase")
            << SnmpAgent::privUser() << authPriv << "not-the-passphrase" << priv
            << int(SnmpFailure::WrongPassphrase) << "Wrong passphrase";
        QTest::newRow("level too low")
            << SnmpAgent::privUser() << int(SnmpSecurity::Level::AuthNoPriv) << auth << priv
            << int(SnmpFailure::ErrorStatus) << "no access at this security level";
        QTest::newRow("wrong privacy passphrase")
            << SnmpAgent::privUser() << authPriv << auth << "not-the-privacy-one"
            << int(SnmpFailure::NoAnswer) << "privacy passphrase";
    }

    // Each refusal ends the walk without interfaces and says what is wrong.
    void v3Refused()
    {
        QFETCH(QString, user);
        QFETCH(int, level);
        QFETCH(QString, authPassphrase);
        QFETCH(QString, privPassphrase);
        QFETCH(int, failure);
        QFETCH(QString, words);
        IfMibAgent agent;
        agent.setInterfaces(IfMibAgent::synthetic(2));
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        const Run run =
            discover(agent.host(), "", SnmpVersion::V3, 300,
                     v3User(user, SnmpSecurity::Level(level), authPassphrase, privPassphrase));
        QVERIFY(run.finished);
        QVERIFY(!run.result.answered);
        QVERIFY(run.result.interfaces.isEmpty());
        QCOMPARE(int(run.result.failure), failure);
        QVERIFY2(run.result.message.contains(words), qPrintable(run.result.message));
    }

    void closedPort_data()
    {
        QTest::addColumn<SnmpVersion>("version");
        QTest::newRow("2c") << SnmpVersion::V2c;
        QTest::newRow("3") << SnmpVersion::V3;
    }

    // Nothing listens at the port: the host's refusal is a missing answer, not a send
    // failure.
    void closedPort()
    {
        QFETCH(SnmpVersion, version);
        quint16 port = 0;
        {
            QUdpSocket socket;
            QVERIFY(socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
            port = socket.localPort();
        }
        const QString host = "127.0.0.1:" + QString::number(port);
        const Run run = discover(host, "public", version, 300,
                                 v3User(SnmpAgent::privUser(), SnmpSecurity::Level::AuthPriv));
        QVERIFY(run.finished);
        QVERIFY(!run.result.answered);
        QVERIFY2(run.result.message.startsWith("No answer from " + host),
                 qPrintable(run.result.message));
    }

    void badAddress()
    {
        const Run run = discover("no host here", "public", SnmpVersion::Auto);
        QVERIFY(run.finished);
        QVERIFY(run.result.message.contains("not a valid address"));
        QVERIFY(run.elapsedMs < 1000);
    }
};

QTEST_GUILESS_MAIN(TestWalker)
#include "tst_walker.moc"
