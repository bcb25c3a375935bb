#include "Heartbeat.h"
#include "ScriptedAgent.h"
#include "SnmpAgent.h"
#include "SnmpQuery.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <memory>

namespace
{

const QString InOid = QStringLiteral("1.3.6.1.2.1.2.2.1.10.1");
const QString OutOid = QStringLiteral("1.3.6.1.2.1.2.2.1.16.1");
const QString HcInOid = QStringLiteral("1.3.6.1.2.1.31.1.1.1.6.1");

std::shared_ptr<const SnmpSecurity> security(const QString &user, SnmpSecurity::Level level,
                                             const QString &authPass, const QString &privPass)
{
    auto s = std::make_shared<SnmpSecurity>();
    s->user = user;
    s->level = level;
    s->auth = SnmpSecurity::Auth::SHA1;
    s->priv = SnmpSecurity::Priv::AES128;
    s->authPassphrase = authPass.toUtf8();
    s->privPassphrase = privPass.toUtf8();
    return s;
}

std::shared_ptr<const SnmpSecurity> privSecurity()
{
    return security(SnmpAgent::privUser(), SnmpSecurity::Level::AuthPriv,
                    SnmpAgent::authPassphrase(), SnmpAgent::privPassphrase());
}

SnmpRequest v3Request(const SnmpAgent &agent, const QString &oid,
                      std::shared_ptr<const SnmpSecurity> s, const QStringList &more = {})
{
    // The community is not the agent's: only the v3 security can make it answer.
    return {oid, "not-the-community", agent.host(), {}, SnmpVersion::V3, more, std::move(s)};
}

struct Run {
    QStringList values;
    QList<SnmpFailure> failures;
    qint64 elapsedMs = 0;
};

Run runBatch(const QList<SnmpRequest> &requests, int timeoutMs = 2000)
{
    SnmpBatch batch;
    Run run;
    QObject::connect(&batch, &SnmpBatch::finished, &batch,
                     [&](const QStringList &) { run.failures = batch.failures(); });
    QSignalSpy spy(&batch, &SnmpBatch::finished);
    QElapsedTimer clock;
    clock.start();
    batch.start(requests, timeoutMs);
    if (spy.count() == 1 || spy.wait(timeoutMs + 2000))
        run.values = spy.at(0).at(0).toStringList();
    run.elapsedMs = clock.elapsed();
    return run;
}

} // namespace

class TestSnmpV3 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (!SnmpAgent::isAvailable())
            QSKIP("snmpd is not installed");
        m_agent = std::make_unique<SnmpAgent>();
        m_agent->setCounters(1, 4000000000U, 123456);
        m_agent->setCounters64(1, 9000000000000ULL, 77);
        QVERIFY2(m_agent->start(), qPrintable(m_agent->errorString()));
    }

    // Readings at each security level the agent's users have, and the failures of wrong
    // settings: each gives no reading and says why.
    void readingsAndFailures_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("authPass");
        QTest::addColumn<QString>("privPass");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<int>("failure");
        const QString auth = SnmpAgent::authPassphrase();
        const QString priv = SnmpAgent::privPassphrase();
        const int authPriv = int(SnmpSecurity::Level::AuthPriv);
        const int authNoPriv = int(SnmpSecurity::Level::AuthNoPriv);
        const int noAuth = int(SnmpSecurity::Level::NoAuthNoPriv);
        QTest::newRow("authPriv") << SnmpAgent::privUser() << authPriv << auth << priv
                                  << "4000000000" << int(SnmpFailure::None);
        QTest::newRow("authNoPriv") << SnmpAgent::authUser() << authNoPriv << auth << ""
                                    << "4000000000" << int(SnmpFailure::None);
        QTest::newRow("wrong auth passphrase")
            << SnmpAgent::privUser() << authPriv << "wrong-passphrase" << priv << ""
            << int(SnmpFailure::WrongPassphrase);
        // The agent drops what it cannot decrypt.
        QTest::newRow("wrong priv passphrase")
            << SnmpAgent::privUser() << authPriv << auth << "wrong-passphrase"
            << "" << int(SnmpFailure::NoAnswer);
        QTest::newRow("unknown user")
            << "nobody-here" << authPriv << auth << priv << "" << int(SnmpFailure::UnknownUser);
        QTest::newRow("level above the user's") << SnmpAgent::authUser() << authPriv << auth << priv
                                                << "" << int(SnmpFailure::UnsupportedLevel);
        QTest::newRow("level below the access") << SnmpAgent::privUser() << authNoPriv << auth << ""
                                                << "" << int(SnmpFailure::ErrorStatus);
        QTest::newRow("no authentication") << SnmpAgent::privUser() << noAuth << ""
                                           << ""
                                           << "" << int(SnmpFailure::ErrorStatus);
    }

    void readingsAndFailures()
    {
        QFETCH(QString, user);
        QFETCH(int, level);
        QFETCH(QString, authPass);
        QFETCH(QString, privPass);
        QFETCH(QString, reading);
        QFETCH(int, failure);
        const auto s = security(user, SnmpSecurity::Level(level), authPass, privPass);
        const Run run = runBatch({v3Request(*m_agent, InOid, s)});
        QCOMPARE(run.values, QStringList{reading});
        QCOMPARE(int(run.failures.value(0)), failure);
        // The right passphrase works again after a wrong one (the keys follow the settings).
        const Run again = runBatch({v3Request(*m_agent, InOid, privSecurity())});
        QCOMPARE(again.values, QStringList{"4000000000"});
    }

    // v3 carries Counter64: both counter widths in one request.
    void counter64AndCounter32()
    {
        const Run run = runBatch({v3Request(*m_agent, HcInOid, privSecurity(), {OutOid})});
        QCOMPARE(run.values, (QStringList{"9000000000000", "123456"}));
    }

    // A fresh agent's engine ID is learnt by the request itself: start() returns at once,
    // and an agent that restarts keeps answering.
    void firstRequestAndReboot()
    {
        SnmpAgent agent;
        agent.setCounters(1, 10, 20);
        QVERIFY2(agent.start(), qPrintable(agent.errorString()));
        QList<SnmpRequest> requests;
        for (int i = 0; i < 20; ++i)
            requests << v3Request(agent, InOid, privSecurity());
        SnmpBatch batch;
        QSignalSpy spy(&batch, &SnmpBatch::finished);
        QElapsedTimer clock;
        clock.start();
        batch.start(requests);
        QVERIFY2(clock.elapsed() < 20, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(spy.wait(4000));
        QCOMPARE(spy.at(0).at(0).toStringList(), QStringList(20, "10"));

        agent.setCounters(1, 11, 20);
        QVERIFY2(agent.restart(), qPrintable(agent.errorString()));
        const Run after = runBatch({v3Request(agent, InOid, privSecurity())});
        QCOMPARE(int(after.failures.value(0)), int(SnmpFailure::None));
        QCOMPARE(after.values, QStringList{"11"});

        // A device whose engine ID changed drops requests for the old one: one failed
        // reading, then the new engine ID is learnt.
        agent.setEngineIdText("replaced-device");
        QVERIFY2(agent.restart(), qPrintable(agent.errorString()));
        QCOMPARE(runBatch({v3Request(agent, InOid, privSecurity())}, 500).values,
                 QStringList{QString()});
        QCOMPARE(runBatch({v3Request(agent, InOid, privSecurity())}).values, QStringList{"11"});
    }

    // With the SNMP debug log on, neither a working nor a failing v3 exchange writes a
    // passphrase into it.
    void noPassphraseInDebugOutput()
    {
        static QStringList messages;
        messages.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("ostraline.snmp.debug=true"));
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; });
        SnmpAgent agent;
        agent.setCounters(1, 1, 2);
        const bool started = agent.start();
        const auto wrong = security(SnmpAgent::privUser(), SnmpSecurity::Level::AuthPriv,
                                    "wrong-passphrase-1", "wrong-passphrase-2");
        runBatch({v3Request(agent, InOid, privSecurity()), v3Request(agent, InOid, wrong)});
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        QVERIFY2(started, qPrintable(agent.errorString()));
        const QString all = messages.join('\n');
        for (const QString &secret : {SnmpAgent::authPassphrase(), SnmpAgent::privPassphrase(),
                                      QStringLiteral("wrong-passphrase")})
            QVERIFY(!all.contains(secret));
    }

    // A silent address ends at the deadline like any request.
    void silentAgentEndsAtDeadline()
    {
        QUdpSocket socket; // bound, never read: the request is not answered
        QVERIFY(socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
        const SnmpRequest request{InOid,
                                  "",
                                  "127.0.0.1:" + QString::number(socket.localPort()),
                                  {},
                                  SnmpVersion::V3,
                                  {},
                                  privSecurity()};
        const Run run = runBatch({request}, 300);
        QCOMPARE(run.values, QStringList{QString()});
        QVERIFY(run.elapsedMs < 1500);
    }

    // An agent that answers every v3 message with a report, for ever, next to a healthy one
    // in each poll: the healthy agent's readings arrive at every poll, the event loop is never
    // held up for more than 50 ms (no blocking call of the SNMP library, whatever an agent
    // answers), and the hostile agent is one failed reading with its reason, poll after poll.
    void reportLoopBesideHealthyAgent_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("failure");
        QTest::addColumn<bool>("pending");
        // Today an endless notInTimeWindows loop makes the library run its synchronous
        // engine probe from inside the send, which blocks the thread for good: those rows
        // run only with OSTRALINE_RUN_PENDING_HARDENING=1 until the exchange keeps the
        // probe its own asynchronous step.
        QTest::newRow("notInTimeWindows") << "time" << int(SnmpFailure::NotInTimeWindow) << true;
        QTest::newRow("unknownEngineIDs, a new engine ID each time")
            << "engine" << int(SnmpFailure::UnknownEngine) << false;
        QTest::newRow("decryptionErrors")
            << "decrypt" << int(SnmpFailure::WrongPrivPassphrase) << false;
        QTest::newRow("the three in turn") << "cycle" << -1 << true;
    }
    void reportLoopBesideHealthyAgent()
    {
        QFETCH(QString, mode);
        QFETCH(int, failure);
        QFETCH(bool, pending);
        if (pending && !qEnvironmentVariableIsSet("OSTRALINE_RUN_PENDING_HARDENING"))
            QSKIP("would block the thread: the exchange still lets the library probe the "
                  "engine synchronously");
        if (!ScriptedAgent::isAvailable())
            QSKIP("python3 is not installed");
        ScriptedAgent hostile;
        QVERIFY2(hostile.start(mode), qPrintable(hostile.errorString()));
        const SnmpRequest bad{InOid, "", hostile.host(), {}, SnmpVersion::V3, {}, privSecurity()};
        for (int poll = 1; poll <= 3; ++poll) {
            Heartbeat heartbeat(5);
            const Run run = runBatch({v3Request(*m_agent, InOid, privSecurity()), bad});
            heartbeat.stop();
            QVERIFY2(
                heartbeat.longestGapMs() <= 50,
                qPrintable(
                    QString("poll %1: held up for %2 ms").arg(poll).arg(heartbeat.longestGapMs())));
            QCOMPARE(run.values.size(), 2);
            QCOMPARE(run.values.at(0), QString("4000000000"));
            QCOMPARE(run.values.at(1), QString());
            QVERIFY(run.elapsedMs <= 2500);
            QCOMPARE(run.failures.size(), 2);
            QCOMPARE(run.failures.at(0), SnmpFailure::None);
            if (failure >= 0)
                QCOMPARE(int(run.failures.at(1)), failure);
            else
                QVERIFY(run.failures.at(1) != SnmpFailure::None);
        }
    }

    // A v3 agent 1.5 s away (every request passed on after 1.5 s): its engine ID and time,
    // once learnt, are kept after a poll that timed out, so each poll after the first needs
    // one round trip and gets its reading within the 2000 ms deadline. Pending: today each
    // missed deadline forgets the engine, so every poll needs two round trips and fails.
    void distantAgentPolledAfterFirst()
    {
        if (!qEnvironmentVariableIsSet("OSTRALINE_RUN_PENDING_HARDENING"))
            QSKIP("the exchange still forgets the engine after a silent poll");
        if (!ScriptedAgent::isAvailable())
            QSKIP("python3 is not installed");
        ScriptedAgent distant;
        QVERIFY2(
            distant.start("proxy", {"--to", QString::number(m_agent->port()), "--delay", "1.5"}),
            qPrintable(distant.errorString()));
        const SnmpRequest request{InOid,           "", distant.host(), {},
                                  SnmpVersion::V3, {}, privSecurity()};
        QStringList readings;
        for (int poll = 1; poll <= 4; ++poll) {
            readings.append(runBatch({request}).values.value(0));
            QTest::qWait(1000); // a late reply of this poll arrives between polls
        }
        for (int poll = 2; poll <= 4; ++poll)
            QCOMPARE(readings.at(poll - 1), QString("4000000000"));
    }

    // Only Counter64 makes a 64-bit reading, whatever the version: an agent that answers
    // ifHCInOctets with a Counter32 gives no 64-bit reading (else every 32-bit wrap would
    // count as a restart), while its 32-bit counter is read as always.
    void counter32ForA64BitCounter()
    {
        if (!ScriptedAgent::isAvailable())
            QSKIP("python3 is not installed");
        ScriptedAgent agent;
        QVERIFY2(agent.start("counter32"), qPrintable(agent.errorString()));
        const SnmpRequest request{HcInOid,
                                  "",
                                  agent.host(),
                                  {},
                                  SnmpVersion::V3,
                                  {OutOid},
                                  security("anyone", SnmpSecurity::Level::NoAuthNoPriv, "", "")};
        const Run run = runBatch({request});
        QCOMPARE(run.values.value(1), QString("1000")); // the agent does answer
        if (!qEnvironmentVariableIsSet("OSTRALINE_RUN_PENDING_HARDENING"))
            QEXPECT_FAIL("", "a v3 Counter32 is still read as a 64-bit counter", Continue);
        QCOMPARE(run.values.value(0), QString());
    }

private:
    std::unique_ptr<SnmpAgent> m_agent;
};

QTEST_GUILESS_MAIN(TestSnmpV3)
#include "tst_snmpv3.moc"
