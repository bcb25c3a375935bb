#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The YAML that the Prometheus export writes, as the readers of Prometheus and its SNMP
// exporter take it: a file may hold only printable characters (YAML 1.1's set: tab, line
// feed, carriage return, U+0020-U+007E, U+0085, U+00A0-U+D7FF, U+E000-U+FFFD and above
// U+FFFF) in UTF-8, or the whole file is refused; a double-quoted scalar carries any other
// character as an escape, and an escape "\xNN" stands for the character U+00NN (its UTF-8
// bytes), never for a raw byte. Bytes that are not UTF-8 text therefore cannot be carried.
namespace YamlText
{

// Whether a character may stand in the file as itself. Line breaks other than line feed,
// the byte order mark and tab count as not printable here: they are written escaped.
bool isPrintable(char32_t c);

// A double-quoted scalar holding text exactly; characters that are not printable are
// escaped ("\xNN", "\uNNNN").
QByteArray quoted(const QString &text);

// The bytes a double-quoted scalar stands for, as the readers decode it (UTF-8); empty when
// it is not a well-formed double-quoted scalar of one line.
std::optional<QByteArray> unquote(QByteArrayView scalar);

// Comment text: what is not printable, a line break included, is written as an escape.
QByteArray commentText(const QString &text);

// Checks a file as the export writes it: UTF-8 of printable characters only, each line a
// comment, "key:", "key: value" or "- value" after an indentation of spaces, and every
// double-quoted value well-formed and closed. "" when it holds; else the first fault with its
// line number.
QString check(const QByteArray &file);

} // namespace YamlText
