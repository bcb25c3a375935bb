// What the window shows of a poll besides the board's values (PollValuesDisplay): the list of
// interfaces, the status bar, the link health and the handlers that waited for the poll.

#include "MainWindow.h"

#include "PollRun.h"

Poller &TForm1::poller()
{
    return m_pollRun->poller();
}

void TForm1::connectPollRun()
{
    PollRun *run = m_pollRun.get();
    connect(run, &PollRun::getFinished, this, [this] { refreshInterfaceListView(); });
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
