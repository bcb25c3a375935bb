#pragma once

#include "PollResult.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <ctime>

// Writes finished polls into the history files of one folder, one RRD file per interface
// (see HistoryFileName), creating a file at an interface's first poll and tuning its heartbeat
// when the poll interval changes. Blocking file work with librrd's thread-safe calls: use one
// writer from one thread at a time (HistoryStore runs it on its worker thread). An existing
// file reaches librrd only after its header passed RrdHeader's check; a damaged file is set
// aside (HistoryFolder::setAside) and started anew.
//
// What a poll stores per polled interface: the rates of a reading that has a rate; unknown
// ("U") rates for a first, failed or not measurable reading, never 0; the bandwidth of the device
// file always; errors and discards per second where the poll counted them, else unknown; the link
// state where link health read both statuses. Interfaces that were not polled get no update, so
// their gap becomes unknown through the heartbeat.
class HistoryWriter
{
public:
    explicit HistoryWriter(QString folder);
    virtual ~HistoryWriter() = default;

    const QString &folder() const { return m_folder; }

    // Writes one poll. Returns the failures in words (empty when everything was written);
    // a failure of one file does not keep the others from being written. A disk without room
    // for new files is one failure for all the files it refused in the poll.
    virtual QStringList write(const PollResult &result);

    // What the writes since the last call did besides writing, in words: each damaged file set
    // aside (renamed "*.damaged") and started anew. Each is said once.
    QStringList takeNotices();

    // The update text ("time:v:v:...") that write() hands librrd for one interface.
    static QString updateText(const InterfaceReading &reading, int pollIntervalSeconds,
                              std::time_t when);

private:
    struct FileState {
        std::time_t lastUpdate = 0;
        unsigned long heartbeat = 0;
    };
    // Makes sure the file exists, is sound and fits the interval; false with the reason on
    // failure (empty when the disk had no room for it: see m_noRoom).
    bool open(const QString &path, int pollIntervalSeconds, std::time_t when, FileState &state,
              QString *reason);
    bool create(const QString &path, int pollIntervalSeconds, std::time_t when, FileState &state,
                QString *reason);

    QString m_folder;
    bool m_folderReady = false;
    QStringList m_notices;
    // Within one write(): the system's reason why the disk took no new file, and the files it
    // refused (no further file is tried once the disk said so).
    QString m_noRoom;
    QStringList m_refusedForRoom;
    QHash<QString, FileState> m_files; // by path, for the files touched in this run
};
