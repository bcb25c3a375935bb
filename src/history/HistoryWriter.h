#pragma once

#include "PollResult.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <ctime>

// Writes finished polls into the history files of one folder, one RRD file per interface
// (see HistoryFileName), creating a file at an interface's first poll and tuning its heartbeat
// when the poll interval changes. Blocking file work with librrd's thread-safe calls: use one
// writer from one thread at a time (HistoryStore runs it on its worker thread).
//
// What a poll stores per polled interface: the rates of a reading that has a rate; unknown
// ("U") rates for a first, failed or not measurable reading, never 0; the bandwidth of the device file always; errors and
// discards per second where the poll counted them, else unknown; the link state where link
// health read both statuses. Interfaces that were not polled get no update, so their gap
// becomes unknown through the heartbeat.
class HistoryWriter
{
public:
    explicit HistoryWriter(QString folder);
    virtual ~HistoryWriter() = default;

    const QString &folder() const { return m_folder; }

    // Writes one poll. Returns the failures in words (empty when everything was written);
    // a failure of one file does not keep the others from being written.
    virtual QStringList write(const PollResult &result);

    // The update text ("time:v:v:...") that write() hands librrd for one interface.
    static QString updateText(const InterfaceReading &reading, int pollIntervalSeconds,
                              std::time_t when);

private:
    struct FileState {
        std::time_t lastUpdate = 0;
        unsigned long heartbeat = 0;
    };
    // Makes sure the file exists and fits the interval; false with the reason on failure.
    bool open(const QString &path, int pollIntervalSeconds, std::time_t when, FileState &state,
              QString *reason);

    QString m_folder;
    bool m_folderReady = false;
    QHash<QString, FileState> m_files; // by path, for the files touched in this run
};
