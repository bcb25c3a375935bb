#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

// One window for every start. The running copy listens on a local socket beside its
// single-instance lock (the same private folder of the user); a later start hands it its
// device file, or nothing, and ends. The running copy then raises its window and loads that
// file. One request is one line: "raise", or "open " and the absolute path, percent-encoded.
namespace WindowHandover
{

// The socket's path: "ostraline-window" in the lock folder; empty when there is no private
// folder (nothing is then offered or asked).
QString socketPath();

// For a later start: asks the running copy to raise its window and, unless deviceFile is
// empty, to open it (a relative name is taken against the current folder). Waits at most
// 2 seconds in all; true when the running copy confirmed.
bool handOver(const QString &deviceFile);

} // namespace WindowHandover

// The running copy's side. A request is read within 2 seconds and 16 KiB, from at most 8
// clients at once; anything else is dropped unanswered.
class WindowHandoverServer : public QObject
{
    Q_OBJECT

public:
    // Called on the GUI thread for each request: the absolute device file, or empty to raise
    // the window only.
    using Handler = std::function<void(const QString &deviceFile)>;

    explicit WindowHandoverServer(Handler handler, QObject *parent = nullptr);
    ~WindowHandoverServer() override;

    // Listens at path (by default socketPath()), replacing a socket left by a copy that
    // died; the caller holds the single-instance lock. False when it cannot listen.
    bool listen(const QString &path = WindowHandover::socketPath());

private:
    void accept();
    void read(QLocalSocket *socket);

    Handler m_handler;
    QLocalServer *m_server;
};
