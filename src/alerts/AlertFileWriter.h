#pragma once

#include "AlertEvent.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

class AlertFile;

// Writes the alerts file on a thread of its own, so that neither an append nor the cut of a
// full file (a read and rewrite of megabytes with an fsync) holds up the thread that asks.
// The writes happen one after another in the order they were asked for; the outcome of each
// comes back as written() in the asking thread.
class AlertFileWriter : public QObject
{
    Q_OBJECT

public:
    explicit AlertFileWriter(const QString &path, QObject *parent = nullptr);
    // Finishes the writes already asked for, then ends the thread.
    ~AlertFileWriter() override;

    QString path() const { return m_path; }

    // Asks for the events to be appended (see AlertFile::append); returns at once.
    void append(const QList<AlertEvent> &events);

Q_SIGNALS:
    // One append has been done: ok, or not with the reason.
    void written(bool ok, const QString &error);

private:
    QString m_path;
    QThread m_thread;
    QObject *m_context = nullptr; // lives in m_thread; the file's writes run in its name
    AlertFile *m_file = nullptr;  // used in m_thread only
};
