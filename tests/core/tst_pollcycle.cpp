#include "PollCycle.h"

#include <QSignalSpy>
#include <QTest>

class TestPollCycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void countdownRunsDownToOneAndRestartsAtThePoll()
    {
        PollCycle cycle;
        cycle.setPollInterval(3);
        QSignalSpy texts(&cycle, &PollCycle::countdownTextChanged);
        cycle.start();
        cycle.countdownTimerEvent();
        cycle.countdownTimerEvent();
        QVERIFY(!cycle.countdownTimer().isActive());
        cycle.pollTimerEvent();
        QStringList shown;
        for (const auto &args : texts)
            shown << args.first().toString();
        QCOMPARE(shown, (QStringList{"Next poll in 3 seconds", "Next poll in 2 seconds",
                                     "Next poll in 1 seconds", "Next poll in 3 seconds"}));
        QVERIFY(cycle.countdownTimer().isActive());
    }

    void intervalChangeTakesEffectAtTheNextTimerEvent()
    {
        PollCycle cycle;
        cycle.start();
        QCOMPARE(cycle.pollTimer().interval(), 6000);
        cycle.setPollInterval(30);
        QCOMPARE(cycle.pollTimer().interval(), 6000);
        QSignalSpy due(&cycle, &PollCycle::pollDue);
        cycle.pollTimerEvent();
        QCOMPARE(cycle.pollTimer().interval(), 30000);
        QCOMPARE(due.count(), 1);
        cycle.setPollInterval(7); // not one of the six choices
        QCOMPARE(cycle.pollInterval(), 30);
    }

    void startWhilePollingKeepsTheSchedule()
    {
        PollCycle cycle;
        cycle.start();
        QTest::qWait(300);
        const int before = cycle.pollTimer().remainingTime();
        cycle.start();
        QVERIFY(cycle.pollTimer().remainingTime() <= before);
        cycle.stop();
        QVERIFY(!cycle.isPolling());
        QCOMPARE(cycle.countdown(), 0);
        cycle.countdownTimerEvent(); // ignored while the poll timer is off
        QCOMPARE(cycle.countdown(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPollCycle)
#include "tst_pollcycle.moc"
