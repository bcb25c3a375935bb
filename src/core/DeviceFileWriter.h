#pragma once

#include <QString>
#include <QStringList>

// Writes a device file: the lines in the locale's encoding, each ended by a line feed. The
// file is written beside its final name and renamed into place, so a reader never sees half
// a file and a link at the name is replaced, never written through. A new file is private
// (owner read and write); an existing regular file keeps its permissions. A name that is
// not a regular file (a device, a pipe, a socket, or a link to one) is left as it is and
// nothing is written. Throws OstralineError naming the file and the reason ("No space left
// on device" for a full disk).
namespace DeviceFileWriter
{

void write(const QString &path, const QStringList &lines);

} // namespace DeviceFileWriter
