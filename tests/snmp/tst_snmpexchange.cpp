#include "HostileAgent.h"
#include "SnmpExchange.h"
#include "SnmpLibrary.h"

#include <QHostAddress>
#include <QTest>

#include <memory>

// The exchange shared by the get batch and the walker, against a scripted agent on loopback:
// what a reply decodes to, which replies are still wanted, and its notifier's teardown.
class TestSnmpExchange : public QObject
{
    Q_OBJECT

    const SnmpOid m_oid = {1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 1};

    static bool open(SnmpExchange &exchange, const HostileAgent &agent)
    {
        return exchange.openCommunity(SnmpVersion::V2c, "public",
                                      QHostAddress(QHostAddress::LocalHost), agent.port());
    }

    // Reads until a reply is kept or the time is up.
    static bool waitForReply(SnmpExchange &exchange, int ms)
    {
        return QTest::qWaitFor(
            [&] {
                exchange.read();
                return exchange.hasReply();
            },
            ms);
    }

private Q_SLOTS:
    void initTestCase() { initLibrary(); }

    void decodesEachType_data()
    {
        QTest::addColumn<HostileAgent::Reply>("reply");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<int>("type");
        QTest::addColumn<qint64>("integer");
        QTest::addColumn<quint64>("number");
        QTest::addColumn<QByteArray>("bytes");
        using R = HostileAgent::Reply;
        QTest::newRow("Counter32") << R::Correct << qint64(4294967295) << 0x41 << qint64(0)
                                   << quint64(4294967295) << QByteArray();
        QTest::newRow("negative INTEGER")
            << R::Integer << qint64(-2) << 0x02 << qint64(-2) << quint64(0) << QByteArray();
        QTest::newRow("Gauge32") << R::Gauge << qint64(1000000000) << 0x42 << qint64(0)
                                 << quint64(1000000000) << QByteArray();
        QTest::newRow("TimeTicks")
            << R::TimeTicks << qint64(12345) << 0x43 << qint64(0) << quint64(12345) << QByteArray();
        QTest::newRow("Counter64 above 2^32") << R::Counter64 << qint64(0x123456789) << 0x46
                                              << qint64(0) << quint64(0x123456789) << QByteArray();
        QTest::newRow("OCTET STRING") << R::OctetString << qint64(0) << 0x04 << qint64(0)
                                      << quint64(0) << QByteArray("12345");
        QTest::newRow("NULL has no value")
            << R::Null << qint64(0) << 0 << qint64(0) << quint64(0) << QByteArray();
        QTest::newRow("noSuchObject has no value")
            << R::NoSuchObject << qint64(0) << 0 << qint64(0) << quint64(0) << QByteArray();
    }
    void decodesEachType()
    {
        QFETCH(HostileAgent::Reply, reply);
        QFETCH(qint64, value);
        HostileAgent agent;
        QVERIFY(agent.listen());
        agent.setReply(reply);
        agent.setValue(value);
        SnmpExchange exchange;
        QVERIFY(open(exchange, agent));
        QCOMPARE(exchange.send(SnmpExchange::Command::Get, {m_oid}), SnmpExchange::Sent::Ok);
        QVERIFY(waitForReply(exchange, 2000));
        const SnmpReply got = exchange.takeReply();
        QVERIFY(!exchange.hasReply());
        QCOMPARE(got.errorStatus, 0);
        QCOMPARE(got.bindings.size(), std::size_t(1));
        const SnmpBinding &binding = got.bindings.front();
        QCOMPARE(binding.name, m_oid);
        QTEST(int(binding.value.type), "type");
        QTEST(binding.value.integer, "integer");
        QTEST(binding.value.number, "number");
        QTEST(binding.value.bytes, "bytes");
    }

    // A reply to a request the exchange no longer wants (a step that moved on) is dropped; one
    // to a request sent after that is kept.
    void forgottenRequestsGetNoReply()
    {
        HostileAgent agent;
        QVERIFY(agent.listen());
        agent.setValue(7);
        agent.setDelayMs(200);
        SnmpExchange exchange;
        QVERIFY(open(exchange, agent));
        QCOMPARE(exchange.send(SnmpExchange::Command::Get, {m_oid}), SnmpExchange::Sent::Ok);
        exchange.forgetRequests();
        QVERIFY(!waitForReply(exchange, 600));
        QCOMPARE(agent.requestsSeen(), 1);

        agent.setValue(8);
        QCOMPARE(exchange.send(SnmpExchange::Command::Get, {m_oid}), SnmpExchange::Sent::Ok);
        QVERIFY(waitForReply(exchange, 2000));
        QCOMPARE(exchange.takeReply().bindings.front().value.number, quint64(8));
    }

    // The notifier is torn down safely when its handler destroys the exchange, and a session
    // opened after watch() is watched as well.
    void destroyedFromItsOwnHandler()
    {
        HostileAgent agent;
        QVERIFY(agent.listen());
        agent.setValue(9);
        auto exchange = std::make_unique<SnmpExchange>();
        quint64 got = 0;
        exchange->watch(this, [&] {
            exchange->read();
            if (!exchange->hasReply())
                return;
            got = exchange->takeReply().bindings.front().value.number;
            exchange.reset();
        });
        QVERIFY(open(*exchange, agent));
        QCOMPARE(exchange->send(SnmpExchange::Command::Get, {m_oid}), SnmpExchange::Sent::Ok);
        QTRY_VERIFY_WITH_TIMEOUT(!exchange, 2000);
        QCOMPARE(got, quint64(9));
        QTest::qWait(50); // the notifier's deferred deletion runs
    }

    // Nothing listens at the port: the host's refusal to the first request comes back as the
    // refusal of the next one on the connected socket.
    void closedPortIsRefused()
    {
        quint16 port = 0;
        {
            HostileAgent agent;
            QVERIFY(agent.listen());
            port = agent.port();
        }
        SnmpExchange exchange;
        QVERIFY(exchange.openCommunity(SnmpVersion::V2c, "public",
                                       QHostAddress(QHostAddress::LocalHost), port));
        QCOMPARE(exchange.send(SnmpExchange::Command::Get, {m_oid}), SnmpExchange::Sent::Ok);
        QTest::qWait(100);
        QCOMPARE(exchange.send(SnmpExchange::Command::Get, {m_oid}), SnmpExchange::Sent::Refused);
    }
};

QTEST_GUILESS_MAIN(TestSnmpExchange)
#include "tst_snmpexchange.moc"
