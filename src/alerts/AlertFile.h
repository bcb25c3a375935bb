#pragma once

#include "AlertEvent.h"

#include <QList>
#include <QString>

// The alerts file: one line per raised or cleared alert, kept across runs. UTF-8 text, LF line
// ends, "," separated with RFC 4180 quoting, a header line, ISO 8601 times with the UTC offset:
//   time,state,condition,interface,address,ifindex,value
// Private to the user (0600, folders made 0700), never read or written through a link or into
// anything but a regular file of this user. The file grows by appends; once an append takes
// it beyond CutAtLines events (the header not counted) it is cut back to its newest MaxLines
// by an atomic replace, so a full file costs one rewrite per thousand alerts, not one per
// alert. The text fields (interface, address, ifindex, value) follow CsvField's spreadsheet
// rule and are read back without its quote.
//
// Every call does blocking file work: the program appends through AlertFileWriter's thread
// and loads once at start (a bounded read).
class AlertFile
{
public:
    static constexpr int MaxLines = 10000;
    static constexpr int CutAtLines = 11000;
    // Longest field written (longer texts are cut), which bounds a line and so a read.
    static constexpr int MaxFieldChars = 256;

    explicit AlertFile(const QString &path);

    // $XDG_DATA_HOME/Kelvane/OSL/alerts.csv (the per-user data folder).
    static QString defaultPath();
    QString path() const { return m_path; }

    // The newest events, at most maxEvents, oldest first. A missing file is no events; lines
    // that are not events are skipped. False with the reason in *error for a link, a file
    // that is not a regular file of this user, or one that cannot be read.
    bool load(QList<AlertEvent> *events, qsizetype maxEvents, QString *error) const;

    // Appends the events (creating the file with its header), then cuts the file when it
    // holds more than CutAtLines events. False with the reason in *error; nothing is written
    // then.
    bool append(const QList<AlertEvent> &events, QString *error);

    // One event as a line of the file (without line end), and back.
    static QByteArray line(const AlertEvent &event);
    static bool parse(const QByteArray &line, AlertEvent *event);

private:
    bool cut(QString *error);

    QString m_path;
    qsizetype m_lines = -1; // events in the file, -1 until counted
};
