#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// How a line of text came into the program: as the system's text (UTF-8, or the system code
// page where that is not UTF-8), or as a Western 8-bit code page, read as Windows-1252.
enum class LineEncoding : quint8 { System, Windows1252 };

// Decoding of device-file lines and the bytes their texts go out as again (on the wire and
// in the logs), so that a file written in a Western 8-bit code page keeps its bytes.
namespace TextEncoding
{

// Decodes one line. Valid UTF-8 is read as the system's text; any other line as
// Windows-1252, whose 256 bytes all map to a character (the five unassigned ones to the
// control characters of the same number), so that encoding gives the same bytes back.
// cut: the line was cut at a length limit, so an unfinished character at its end is no
// reason to take it for another encoding.
QString decodeLine(const QByteArray &bytes, LineEncoding *encoding, bool cut = false);

QString fromWindows1252(const QByteArray &bytes);
// Empty when a character has no byte in Windows-1252.
std::optional<QByteArray> toWindows1252(const QString &text);

// The bytes of a text in the encoding it was read in: Windows-1252 when every character has
// a byte there, else (a text typed in later, say) the system's encoding.
QByteArray encode(const QString &text, LineEncoding encoding);

} // namespace TextEncoding
