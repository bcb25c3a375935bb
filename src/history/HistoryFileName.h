#pragma once

#include <QString>

#include <optional>

// The file name of an interface's history, from the address text and ifIndex of its device
// file line. Every byte outside [A-Za-z0-9.-] of the UTF-8 text is written as %XX, and the
// two parts are joined by "_": "127.0.0.1:1161" and "2" give "127.0.0.1%3A1161_2.rrd". The
// name is safe on any file system, holds no ":" (which rrdtool graph would read as a field
// separator) and can be read back. A name that would be longer than 200 bytes is replaced by
// "h" and the SHA-256 of both parts in hex; such a name cannot be read back.
namespace HistoryFileName
{

struct Key {
    QString address;
    QString ifIndex;
    bool operator==(const Key &) const = default;
};

QString forInterface(const QString &address, const QString &ifIndex);

// The key of a name made by forInterface(); nullopt for any other name, hashed ones included.
std::optional<Key> parse(const QString &fileName);

} // namespace HistoryFileName
