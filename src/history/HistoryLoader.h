#pragma once

#include "HistoryReader.h"
#include "HistorySeries.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>

class QThread;

// What the history window asks to be read.
struct HistoryQuery {
    bool listFiles = false;        // list the folder's history files too
    QString path;                  // the history file to read; empty: none
    std::int64_t from = 0, to = 0; // the range to read, seconds since the epoch
    // When > 0: read the `span` seconds that end at the file's newest update (at the current
    // time when it has none) in place of [from, to].
    std::int64_t span = 0;
};

// What was read for a query.
struct HistoryAnswer {
    quint64 id = 0; // as ask() returned it
    HistoryQuery query;
    QList<HistoryReader::Entry> files; // when listFiles was asked for
    std::int64_t from = 0, to = 0;     // the range read
    std::int64_t newest = 0;           // the file's newest update (0: none, or no file)
    HistorySeries series;
    QString error; // why the file could not be read
};
Q_DECLARE_METATYPE(HistoryAnswer)

// Reads the history files for the window, never on the caller's thread: the disk may be slow
// or hang, and librrd is not to be called on the GUI thread. In the program the reads run on
// the history store's worker thread, so a read comes after every poll the store was handed
// before it and the window never has to wait for the writer. The answers arrive as signals on
// the loader's thread.
class HistoryLoader : public QObject
{
    Q_OBJECT

public:
    // Reads on a thread of its own (a window without a store: tests, demos).
    explicit HistoryLoader(QString folder, QObject *parent = nullptr);
    // Reads on `thread`, which stays the owner's (the history store's worker thread).
    HistoryLoader(QString folder, QThread *thread, QObject *parent = nullptr);
    ~HistoryLoader() override;

    const QString &folder() const { return m_folder; }

    // Hands the query to the reading thread and returns at once; answered() brings the answer
    // with the id returned here.
    quint64 ask(const HistoryQuery &query);

    // The reading itself, blocking: what ask() runs on the reading thread.
    static HistoryAnswer read(const QString &folder, const HistoryQuery &query);

Q_SIGNALS:
    void answered(const HistoryAnswer &answer);

private:
    void attach(QThread *thread);

    QString m_folder;
    QThread *m_ownThread = nullptr;
    QPointer<QObject> m_reader; // lives on the reading thread
    quint64 m_lastId = 0;
};
