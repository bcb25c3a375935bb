#pragma once

#include "PollResult.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <memory>

class HistoryLoader;
class HistoryWriter;

// Keeps every finished poll in the history files. Listens to the poll run (onPollFinished)
// and writes on one worker thread of its own, so that a slow or failing disk never holds up
// the GUI thread or the graphs: the first poll of an interface creates a 4 MB file, and a
// home folder may sit on a network file system.
//
// A failure is reported once through the error report (source HistoryStore::FailureSource)
// and again only after a poll was written completely since. A disk that hangs cannot make
// polls pile up in memory: beyond MaxPending polls waiting, new ones are dropped (reported
// once, like a failure) until the worker catches up. A damaged file that the writer set aside
// is reported by name each time it happens.
class HistoryStore : public QObject
{
    Q_OBJECT

public:
    // The setting that switches the store: "yes" (the default, also for any text other
    // than "no") or "no" (nothing is written).
    static constexpr QStringView SettingName = u"history";
    static constexpr QStringView FailureSource = u"history";
    static bool enabledBySetting(const QString &storedText) { return storedText != u"no"; }
    static constexpr int MaxPending = 100;
    // How long the destructor waits for the polls still queued (at the program's exit).
    static constexpr int ExitWaitMs = 10000;

    // folder: where the files go (HistoryFolder::defaultPath() in the program).
    explicit HistoryStore(const QString &folder, QObject *parent = nullptr);
    // With a writer of the caller's (tests: one that stands still like a hanging disk).
    HistoryStore(std::unique_ptr<HistoryWriter> writer, QObject *parent = nullptr);
    ~HistoryStore() override;

    QString folder() const { return m_folder; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    // Reads the files for the history window on the store's worker thread, after the polls
    // handed over before each read: the window never waits for the writer.
    HistoryLoader &loader() { return *m_loader; }

    // Blocks until every poll handed over so far is on disk. For tests only: the GUI thread
    // never waits for the disk.
    void flush();

public Q_SLOTS:
    void onPollFinished(const PollResult &result);

Q_SIGNALS:
    // A poll was written (failed is empty) or not completely (the reasons in words); emitted
    // on the store's thread after the work is done.
    void written(const PollResult &result, const QStringList &failures);

private:
    void finished(const PollResult &result, const QStringList &failures);

    QString m_folder;
    bool m_enabled = true;
    QThread *m_thread = nullptr; // deleted with the store, left running only after a hang
    QObject *m_worker = nullptr; // lives on m_thread
    std::unique_ptr<HistoryWriter> m_writer; // used only on m_thread
    HistoryLoader *m_loader = nullptr;       // reads on m_thread
    int m_pending = 0;                       // polls handed over and not yet reported back
};
