// What the board shows of a poll: the poll run's results reach the window's widgets here.

#include "MainWindow.h"


#include "GraphBoard.h"
#include "Histograph.h"
#include "PollRun.h"
#include "TransLabel.h"

Poller &TForm1::poller()
{
    return m_pollRun->poller();
}

void TForm1::connectPollRun()
{
    PollRun *run = m_pollRun.get();
    connect(run, &PollRun::getFinished, this, [this] { refreshInterfaceListView(); });
    connect(run, &PollRun::lastValuesShown, this, [this](const QStringList &captions) {
        for (int k = 1; k <= GraphSlotControl::SlotCount && k <= captions.size(); ++k)
            m_board->slot(k).LastValuesCaption->setCaption(captions.at(k - 1));
    });
    connect(run, &PollRun::graphValuesShown, this, [this](const QList<PollRun::SlotValue> &values) {
        for (const PollRun::SlotValue &v : values)
            m_board->slot(v.slot).Graph->setValue(v.value);
    });
    connect(run, &PollRun::statusMessage, this,
            [this](const QString &text) { setStatusText(0, text); });
    connect(run, &PollRun::statusWithdrawn, this, [this](const QString &text) {
        if (statusText(0).startsWith(text))
            setStatusText(0, QString());
    });
    // Handlers that waited for the poll run now, in the state the poll left.
    connect(run, &PollRun::pollFinished, this, [this](const PollResult &result) {
        showPollResult(result);
        runDeferredHandlers();
    });
}
