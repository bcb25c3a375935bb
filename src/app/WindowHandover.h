#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

// One window for every start. The running copy listens on a local socket beside its
// single-instance lock (the same private folder of the user); a later start hands it its
// device file, or nothing, and ends. The running copy then raises its window and loads that
// file. One request is one line: "raise", or "open " and the absolute path, percent-encoded.
// The answer is one line too: "ok" when the window took the request, "busy" when it did not.
namespace WindowHandover
{

// The socket's path: "ostraline-window" in the lock folder; empty when there is no private
// folder (nothing is then offered or asked).
QString socketPath();

// How a hand-over ended.
enum class Result {
    Taken,      // the running copy answered "ok"
    Busy,       // it answered "busy": a newer request or too many at once
    NoAnswer,   // connected, but no answer within 2 seconds
    Unreachable // nothing listened at the socket within 2 seconds (or there is no folder)
};

// For a later start: asks the running copy to raise its window and, unless deviceFile is
// empty, to open it (a relative name is taken against the current folder). Waits at most
// 2 seconds in all.
Result handOver(const QString &deviceFile);

// What a later start says on standard error when the hand-over failed; empty for Taken.
QString failureMessage(Result result, const QString &deviceFile);

} // namespace WindowHandover

// The running copy's side. A request is read within 2 seconds and 16 KiB, from at most 8
// clients at once; a client beyond those is answered "busy", anything malformed is dropped
// unanswered.
//
// At most one request waits to be handed to the window, the newest: a request that comes
// before the waiting one was handed over takes its place, and the client of the one it
// replaces is answered "busy". A flood of requests therefore costs one hand-over, never one
// per request.
class WindowHandoverServer : public QObject
{
    Q_OBJECT

public:
    // Called on the GUI thread with the absolute device file, or empty to raise the window
    // only. Returns false when the window cannot load a file now (a modal window is up): the
    // request stays the waiting one, is answered "ok", and is offered again every half second
    // until it is taken or a newer one replaces it.
    using Handler = std::function<bool(const QString &deviceFile)>;

    explicit WindowHandoverServer(Handler handler, QObject *parent = nullptr);
    ~WindowHandoverServer() override;

    // Listens at path (by default socketPath()), replacing a socket left by a copy that
    // died; the caller holds the single-instance lock. False when it cannot listen.
    bool listen(const QString &path = WindowHandover::socketPath());

    // Whether a request waits to be handed to the window.
    bool hasWaiting() const { return m_waiting.has_value(); }

private:
    struct Waiting {
        QString deviceFile;
        QPointer<QLocalSocket> client; // until it is answered
    };

    void accept();
    void read(QLocalSocket *socket);
    void take(QLocalSocket *socket, const QString &deviceFile);
    void deliver();

    Handler m_handler;
    QLocalServer *m_server;
    std::optional<Waiting> m_waiting;
    bool m_deliveryQueued = false;
    int m_clients = 0; // connected clients whose request is being read
    QTimer m_retry;
};
