#pragma once

#include <QString>

// The one rule for files this program reads or replaces by name: only a regular file will
// do. A device such as /dev/zero or /dev/null, a pipe, a socket or a folder would never end,
// never start, or be destroyed by a replacement.
namespace RegularFile
{

// What openForReading found; fd is -1 unless ok().
struct Opened {
    int fd = -1;
    int error = 0;           // errno of a failed open or fstat (ENOENT: there is none)
    bool notRegular = false; // it exists but is not a regular file
    unsigned ownerId = 0;    // the file's owner (uid)
    unsigned mode = 0;       // its permission bits (07777)
    long long size = 0;      // its size in bytes
    bool ok() const { return fd >= 0; }
};

// Opens path for reading without waiting for a writer (a pipe is refused, not waited on)
// and checks the descriptor itself, so the file checked is the file read. With
// followLinks false a link at path is not opened (error ELOOP). The descriptor is
// returned in blocking mode with close-on-exec; the caller closes it. On Windows only the
// check is made (notRegular, else error ENOSYS): the caller opens the file itself there.
Opened openForReading(const QString &path, bool followLinks);

// What a new file renamed onto path would replace. A link counts as what it leads to: a
// link to a regular file (or a dangling one) is replaced, never written through; a link to
// a device or a pipe shows that the name was meant for one, and is left alone like it.
enum class Target { Absent, Regular, Folder, Other };
Target replaceTarget(const QString &path);

} // namespace RegularFile
