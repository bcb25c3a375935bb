#pragma once

#include "MaxInterfaces.h"
#include "TextEncoding.h"

#include <QList>
#include <QString>
#include <QStringList>

class InterfaceTable;
class InterfaceList;

// The device file: plain text, UTF-8 or a Western 8-bit code page, one interface per line,
// five fields separated by semicolons (address; index; bandwidth; community; description).
namespace DeviceFile
{

inline constexpr int MaxInterfaces = ::MaxInterfaces;
// A line longer than this is cut: only the first bytes of a runaway line are kept, so a
// binary or huge file cannot stall the window.
inline constexpr qsizetype MaxLineBytes = 64 * 1024;

// Reads up to maxLines lines (CR LF, CR or LF; a break after the last line adds no line).
// Reads no more of the file than those lines need. Throws OstralineError naming the file
// and the system's reason when it cannot be opened or read. Each line is decoded on its
// own (see TextEncoding::decodeLine); encodings, when given, receives how.
QStringList readLines(const QString &path, int maxLines = MaxInterfaces + 1,
                      QList<LineEncoding> *encodings = nullptr);

// Splits lines the same way from bytes already in memory.
QStringList splitLines(const QByteArray &bytes, int maxLines = MaxInterfaces + 1,
                       QList<LineEncoding> *encodings = nullptr);

// One line's fields after the split rule: four fields taken at the first semicolon each,
// the rest of the line whole as the description.
struct Fields {
    QString ip, interfaceIndex, bandwidth, community, description;
};
Fields splitFields(const QString &line);

// The interface list text of a line: IP + "; " + Interface + "; " + description.
QString listText(const Fields &fields);

// Stores lines into table rows 1.. and checked list entries, in file order, with each row's
// encoding (System where encodings has no entry; rows beyond the lines get System). Returns
// false when a 21st line was reached (the first 20 are stored).
bool store(const QStringList &lines, InterfaceTable &table, InterfaceList &list,
           const QList<LineEncoding> &encodings = {});

// The file-name part of a path: everything after the last '/', '\' or drive colon.
QString fileNamePart(const QString &path);

} // namespace DeviceFile
