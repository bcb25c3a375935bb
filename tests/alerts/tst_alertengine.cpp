// The alert conditions judged from constructed poll results: runs of N polls, the Busy
// hysteresis, Down only for ports that were up, Silent in both on-error modes, first readings
// and flapping.

#include "AlertEngine.h"
#include "AlertFixture.h"

#include <QTest>

using namespace AlertFixture;
using Outcome = InterfaceReading::Outcome;

Q_DECLARE_METATYPE(QList<InterfaceReading>)

class TestAlertEngine : public QObject
{
    Q_OBJECT

private:
    // Feeds the readings as successive polls; returns what each poll reported, "" for none.
    static QStringList run(AlertEngine &engine, const QList<InterfaceReading> &readings)
    {
        QStringList perPoll;
        for (int i = 0; i < readings.size(); ++i)
            perPoll << describe(engine.evaluate(poll(i, readings[i]))).join(u'+');
        return perPoll;
    }

private Q_SLOTS:
    void conditions_data()
    {
        QTest::addColumn<int>("polls");
        QTest::addColumn<bool>("stopOnErrors");
        QTest::addColumn<QList<InterfaceReading>>("readings");
        QTest::addColumn<QStringList>("expected");

        const auto busy = good(90, 10);
        const auto outBusy = good(10, 75); // the higher direction decides
        const auto calm = good(50);
        const auto nearHigh = good(66); // below high, but not 5 points below
        const auto first = reading(Outcome::First);
        const auto failed = reading(Outcome::Failed);

        QTest::newRow("busy after 3 polls, not before")
            << 3 << true << QList{busy, busy, outBusy, busy}
            << QStringList{"", "", "busy raised", ""};
        QTest::newRow("busy at the threshold itself")
            << 1 << true << QList{good(70)} << QStringList{"busy raised"};
        QTest::newRow("one busy poll among calm ones")
            << 3 << true << QList{busy, calm, busy, busy, calm} << QStringList{"", "", "", "", ""};
        QTest::newRow("a first reading breaks the run")
            << 3 << true << QList{busy, busy, first, busy, busy} << QStringList{"", "", "", "", ""};
        QTest::newRow("hysteresis: near the threshold does not clear")
            << 2 << true
            << QList{busy, busy, nearHigh, nearHigh, nearHigh, calm, nearHigh, calm, calm}
            << QStringList{"", "busy raised", "", "", "", "", "", "", "busy cleared"};
        // Even with a rate in it by mistake: only a reading that has a rate counts.
        QTest::newRow("a row that is not measurable is never busy")
            << 1 << true << QList{reading(Outcome::NotMeasurable, 99, 99), busy}
            << QStringList{"", "busy raised"};
        QTest::newRow("a row that is not measurable answers: silent clears")
            << 1 << true << QList{failed, reading(Outcome::NotMeasurable)}
            << QStringList{"silent raised", "silent cleared"};
        QTest::newRow("first and failed readings neither clear busy")
            << 1 << false << QList{busy, first, failed, busy}
            << QStringList{"busy raised", "", "silent raised", "silent cleared"};

        QTest::newRow("down for a port that was up")
            << 3 << true
            << QList{withStatus(calm, 1, 1), withStatus(calm, 1, 2), withStatus(calm, 1, 2),
                     withStatus(calm, 1, 1)}
            << QStringList{"", "down raised", "", "down cleared"};
        QTest::newRow("never down for a port down from the start")
            << 3 << true
            << QList{withStatus(first, 1, 2), withStatus(calm, 1, 2), withStatus(calm, 1, 7)}
            << QStringList{"", "", ""};
        QTest::newRow("up at a first reading counts as up before")
            << 3 << true << QList{withStatus(first, 1, 1), withStatus(calm, 1, 7)}
            << QStringList{"", "down raised"};
        QTest::newRow("a first reading does not raise down")
            << 3 << true
            << QList{withStatus(calm, 1, 1), withStatus(first, 1, 2), withStatus(calm, 1, 2)}
            << QStringList{"", "", "down raised"};
        QTest::newRow("admin down is no alert, and ends one")
            << 3 << true
            << QList{withStatus(calm, 1, 1), withStatus(calm, 2, 2), withStatus(calm, 1, 2),
                     withStatus(calm, 2, 2)}
            << QStringList{"", "", "down raised", "down cleared"};
        QTest::newRow("testing and dormant are not down")
            << 3 << true
            << QList{withStatus(calm, 1, 1), withStatus(calm, 1, 3), withStatus(calm, 1, 5)}
            << QStringList{"", "", ""};
        QTest::newRow("no status (link health off): no down")
            << 3 << true << QList{calm, calm} << QStringList{"", ""};

        QTest::newRow("silent after N failed polls in zeroes mode")
            << 3 << false << QList{calm, failed, failed, failed, failed, calm}
            << QStringList{"", "", "", "silent raised", "", "silent cleared"};
        QTest::newRow("silent at the poll that takes it out in stop mode")
            << 3 << true << QList{calm, failed, calm}
            << QStringList{"", "silent raised", "silent cleared"};
        QTest::newRow("a first reading neither clears silent nor keeps counting")
            << 2 << false << QList{failed, failed, first, failed, calm, failed}
            << QStringList{"", "silent raised", "", "", "silent cleared", ""};
    }

    void conditions()
    {
        QFETCH(int, polls);
        QFETCH(bool, stopOnErrors);
        QFETCH(QList<InterfaceReading>, readings);
        QFETCH(QStringList, expected);
        AlertEngine engine;
        AlertRules rules;
        rules.polls = polls;
        rules.stopOnErrors = stopOnErrors;
        engine.setRules(rules);
        QCOMPARE(run(engine, readings), expected);
    }

    void eventCarriesIdentityValueAndTime()
    {
        AlertEngine engine;
        AlertRules rules;
        rules.polls = 1;
        rules.highThreshold = 80;
        engine.setRules(rules);
        const QList<AlertEvent> events = engine.evaluate(poll(4, good(12.4, 92.5)));
        QCOMPARE(events.size(), 1);
        QCOMPARE(events[0].summary(), QStringLiteral("Core uplink is busy"));
        QCOMPARE(events[0].address, QStringLiteral("10.0.0.1"));
        QCOMPARE(events[0].ifIndex, QStringLiteral("3"));
        QCOMPARE(events[0].value, QStringLiteral("92 %")); // halves to even
        QCOMPARE(events[0].time, Start.addSecs(24));

        InterfaceReading unnamed = good(0);
        unnamed.description = QStringLiteral("  ");
        unnamed.adminStatus = 1;
        unnamed.operStatus = 1;
        engine.evaluate(poll(5, unnamed));
        unnamed.operStatus = 2;
        const QList<AlertEvent> down = engine.evaluate(poll(6, unnamed));
        QCOMPARE(describe(down), QStringList{"down raised"});
        QCOMPARE(down[0].summary(), QStringLiteral("10.0.0.1 #3 is down"));
        QCOMPARE(down[0].value, QStringLiteral("admin up, oper down"));
    }

    void switchedOffConditionsAndUnpolledRows()
    {
        AlertEngine engine;
        AlertRules rules;
        rules.polls = 1;
        rules.busy = false;
        rules.stopOnErrors = false;
        engine.setRules(rules);
        QCOMPARE(run(engine, {good(99), good(99)}), (QStringList{"", ""}));

        InterfaceReading out = reading(Outcome::Failed);
        out.polled = false; // taken out of the poll: not judged at all
        QCOMPARE(run(engine, {out, out}), (QStringList{"", ""}));
    }

    void pollingStartedForgetsWhichPortsWereUp()
    {
        AlertEngine engine;
        const auto calm = good(10);
        QCOMPARE(run(engine, {withStatus(calm, 1, 1)}), QStringList{""});
        engine.pollingStarted();
        QCOMPARE(run(engine, {withStatus(calm, 1, 2)}), QStringList{""});
    }

    void oneInterfaceListedTwiceIsJudgedOnce()
    {
        AlertEngine engine;
        AlertRules rules;
        rules.polls = 2;
        engine.setRules(rules);
        PollResult result = poll(0, good(95));
        result.interfaces.append(result.interfaces.first());
        QVERIFY(engine.evaluate(result).isEmpty()); // two readings, still one poll
        result.time = result.time.addSecs(6);
        QCOMPARE(describe(engine.evaluate(result)), QStringList{"busy raised"});
    }

    // A load without the interface: its run towards Busy starts afresh when it is back,
    // while an alert it raised stays raised and still clears.
    void aLoadForgetsTheRunsOfUnloadedInterfaces()
    {
        AlertEngine engine;
        AlertRules rules;
        rules.polls = 3;
        engine.setRules(rules);
        InterfaceReading other = good(10);
        other.ifIndex = QStringLiteral("4");
        QCOMPARE(run(engine, {good(95), good(95)}), (QStringList{"", ""}));
        engine.interfacesLoaded({other});
        engine.interfacesLoaded({good(0)}); // back again, its two busy polls forgotten
        QCOMPARE(run(engine, {good(95), good(95), good(95)}), (QStringList{"", "", "busy raised"}));

        engine.interfacesLoaded({other});
        engine.interfacesLoaded({other, good(0)});
        QCOMPARE(run(engine, {good(10), good(10), good(10)}),
                 (QStringList{"", "", "busy cleared"}));
    }

    void manyDeviceFilesLaterARaisedAlertStillClears()
    {
        AlertEngine engine;
        AlertRules rules;
        rules.polls = 1;
        engine.setRules(rules);
        QCOMPARE(describe(engine.evaluate(poll(0, good(95)))), QStringList{"busy raised"});
        for (int i = 1; i <= 300; ++i) { // other interfaces, one reload after another
            InterfaceReading other = good(10);
            other.address = QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250);
            QVERIFY(engine.evaluate(poll(i, other)).isEmpty());
        }
        QCOMPARE(describe(engine.evaluate(poll(301, good(10)))), QStringList{"busy cleared"});
    }

    void flappingIsReportedOnceUntilStable()
    {
        AlertEngine engine;
        AlertRules rules;
        rules.polls = 1;
        engine.setRules(rules);
        const auto up = withStatus(good(10), 1, 1);
        const auto down = withStatus(good(10), 1, 2);
        // Polls every 30 s: up, then down and up again and again.
        QList<InterfaceReading> readings{up};
        for (int i = 0; i < 6; ++i)
            readings << down << up;
        QStringList perPoll;
        for (int i = 0; i < readings.size(); ++i)
            perPoll << describe(engine.evaluate(poll(i, readings[i], 30))).join(u'+');
        QCOMPARE(perPoll,
                 (QStringList{"", "down raised", "down cleared", "down raised", "down cleared",
                              "flapping raised", "", "", "", "", "", "", ""}));

        // Goes down once more (a change, held back), then stays down: reported as it stands
        // once 10 minutes have passed without a change.
        const int lastChange = 13;
        QVERIFY(engine.evaluate(poll(lastChange, down, 30)).isEmpty());
        QVERIFY(engine.evaluate(poll(lastChange + 19, down, 30)).isEmpty());
        QCOMPARE(describe(engine.evaluate(poll(lastChange + 20, down, 30))),
                 (QStringList{"flapping cleared", "down raised"}));
        // Back to single reports.
        QCOMPARE(describe(engine.evaluate(poll(lastChange + 21, up, 30))),
                 QStringList{"down cleared"});
    }

    void changesSpreadOverMoreThanTenMinutesDoNotFlap()
    {
        AlertEngine engine;
        AlertRules rules;
        rules.polls = 1;
        engine.setRules(rules);
        const auto up = withStatus(good(10), 1, 1);
        const auto down = withStatus(good(10), 1, 2);
        QStringList all;
        engine.evaluate(poll(0, up, 180));
        for (int i = 1; i <= 8; ++i) // a change every 3 minutes: at most 4 in any 10 minutes
            all << describe(engine.evaluate(poll(i, i % 2 ? down : up, 180)));
        QVERIFY2(!all.join(u' ').contains(u"flapping"), qPrintable(all.join(u' ')));
        QCOMPARE(all.size(), 8);
    }
};

QTEST_GUILESS_MAIN(TestAlertEngine)
#include "tst_alertengine.moc"
