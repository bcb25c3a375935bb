#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>

// The check of a history file made before librrd is handed it. librrd trusts the numbers in a
// file's header: a step of 0, an archive of 0 rows or a file shorter than its header says ends
// the program (division by zero, a read past the mapped file) in every call that opens it.
// So the header is read and checked here first, against librrd's on-disk layout (x86_64, the
// structures of rrd_format.h) and against what this program writes (RrdLayout): the cookies
// and version, our data sources in our order, plain consolidation functions, counts and
// positions within their ranges, and a file size that is exactly what the header describes.
namespace RrdHeader
{

// What the checked header says that the writer needs.
struct Summary {
    unsigned long step = 0;      // seconds per primary data point
    unsigned long heartbeat = 0; // of the first data source, seconds
    std::int64_t lastUpdate = 0; // seconds since the epoch
};

// The most leading bytes the check reads (a header with the most archives it accepts).
inline constexpr qsizetype MaxHeadBytes = 64 * 1024;

// Checks the leading bytes `head` of a file of `fileSize` bytes (head may be all of the file
// or only its first MaxHeadBytes). Returns an empty text when librrd may be given the file,
// else what is wrong in words. Fills `summary` on success when given.
QString check(QByteArrayView head, std::int64_t fileSize, Summary *summary = nullptr);

// The size of the file this program creates for a poll interval (RrdLayout's archives).
std::int64_t fileSizeFor(int pollIntervalSeconds);

enum class Verdict {
    Good,      // librrd may open it
    Damaged,   // read, and not a history file librrd can safely open
    Unreadable // could not be read at all (the reason is the system's)
};
// Reads the head of the file at `path` (never through a link) and checks it.
Verdict checkFile(const QString &path, QString *reason, Summary *summary = nullptr);

} // namespace RrdHeader
