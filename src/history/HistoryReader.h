#pragma once

#include "HistoryFileName.h"
#include "HistorySeries.h"

#include <QList>
#include <QString>

#include <cstdint>

// Reads the history files back (thread-safe librrd calls only, so the window may read while
// the store writes). Blocking: the window reads through HistoryLoader, never on its thread.
// A file reaches librrd only after its header passed RrdHeader's check; a damaged one is
// refused with the reason and left where it is (the writer sets it aside).
namespace HistoryReader
{

// Every history file in the folder whose name reads back as an interface key, sorted by
// address and ifIndex.
struct Entry {
    HistoryFileName::Key key;
    QString path;
};
QList<Entry> list(const QString &folder);

// The series of [from, to] at the finest archive that holds the whole range (librrd's own
// choice), AVERAGE and MAX together. An empty series with the reason in `error` when the file
// cannot be read.
HistorySeries fetch(const QString &path, std::int64_t from, std::int64_t to, QString *error);

// The time of the newest update of the file, from its checked header (0 when it cannot be
// read).
std::int64_t lastUpdate(const QString &path);

} // namespace HistoryReader
