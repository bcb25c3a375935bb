#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>

// Where and when the daily logs are written, and where their status text goes. The main
// window keeps one of these for both logs; tests place the folder and the clock.
struct LogEnvironment {
    // Folder that receives the log files; empty means the folder chosen at start-up
    // (LogFolder: the executable's folder, or the per-user folder when that is not writable).
    QString programFolder;
    // The local date and time of a write; empty means the current local time.
    std::function<QDateTime()> clock;
    // Receives the program's own message for the first status-bar panel (the read-only
    // refusal). May be empty: the outcome of the write carries the same information.
    std::function<void(const QString &text)> status;
    // Stands in for the system's write() on the open log (POSIX): returns the bytes written or
    // -1 with errno set. Empty means write() itself; tests use it to run out of disk space.
    std::function<qint64(int fd, const char *data, qint64 size)> writeCall;
};

// The daily CSV file procedure shared by the utilisation and the analysis log: one file per
// day and device file in the log folder, created with a header line, appended to with one
// data line per call. Lines end with CR LF (writeBlocks: the caller's line ends).
namespace DailyLogFile
{

enum class Outcome {
    Created,  // the file was new: header line and data line written
    Appended, // data line appended to the file of the day
    ReadOnly, // the file of the day is read-only: nothing written, status text sent
};

// Builds a line (without its line end), encoded, from the call's one time stamp.
using LineBuilder = std::function<QByteArray(const QString &stamp)>;

// The bytes of the program's own texts (stamps, numbers, header names): the locale's 8-bit
// encoding. Texts from the device file keep the encoding they were read in.
QByteArray encode(const QString &text);

// The status text of the read-only refusal.
QString readOnlyMessage();

// programFolder + "yyyymmdd" + "_" + file-name part of deviceFilePath + suffix.
QString filePath(const QString &programFolder, const QDate &date, const QString &deviceFilePath,
                 const QString &suffix);

// Whether an existing file counts as read-only: the read-only attribute on Windows, no write
// permission for the owner elsewhere. Decided by the attribute or permission bits alone, so
// the answer is the same for every user, the superuser included.
bool isReadOnly(const QString &path);

// One write: reads the clock once, creates the file of the day with header and data line, or
// appends the data line, or refuses a read-only file (status text, nothing written). Any other
// failure to create, open, write or close throws OstralineError naming the file and the
// system's reason; a failed write leaves the file as it was before the call.
//
// Logs are never written through a link: an existing log must be a regular file of this user
// (POSIX: opened with O_NOFOLLOW and checked on the open file), anything else is an error and
// nothing is written. New logs are private to the user (mode 0600). A folder whose owner has no
// write permission counts as unwritable for every user, like a read-only log.
Outcome write(const LogEnvironment &environment, const QString &deviceFilePath,
              const QString &suffix, const LineBuilder &header, const LineBuilder &data);

// Builds whole lines, line ends included, from the call's one instant.
using BlockBuilder = std::function<QByteArray(const QDateTime &now)>;

// The same procedure (file name, creation, read-only refusal, private files, no links, the
// system's reason on failure) for a log with a layout of its own: the builders choose the
// time stamp form and the line ends. header is written only when the file is created; data
// may hold any number of lines, and all of them are appended or none.
Outcome writeBlocks(const LogEnvironment &environment, const QString &deviceFilePath,
                    const QString &suffix, const BlockBuilder &header, const BlockBuilder &data);

} // namespace DailyLogFile
