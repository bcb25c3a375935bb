#pragma once

#include "GetStep.h"
#include "MainWindow.h"
#include "PollCycle.h"

#include <QSignalSpy>
#include <QTest>

// Runs one poll of the main window (Start polling for the first, the poll timer's event after)
// and waits for its readings. The calculation, the logs and every listener of the poll's
// result run in the same turn of the event loop as the readings' arrival, so they are done
// when this returns.
inline void poll(TForm1 &w)
{
    QSignalSpy done(&w.poller(), &Poller::getFinished);
    if (w.pollCycle().isPolling())
        w.Timer1Timer();
    else
        w.Button3Click();
    QVERIFY(done.wait(5000));
}
