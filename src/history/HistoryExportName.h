#pragma once

#include <QString>

#include <cstdint>

// The file name proposed for a picture or CSV of the history window: the device (address),
// the interface (its description, else "ifIndex" and the number) and the local date of the
// range, or its first and last dates when it spans more than one, joined by "_":
// "core-sw1", "Gi1/0/49" and a range on 2026-12-10 give "core-sw1_Gi1-0-49_2026-12-10.png".
// Every character other than a letter, a digit, "." or "-" becomes "-" (runs of them one),
// and a part neither starts nor ends with "-" or ".", so the name is safe on every file
// system, hides nothing (no leading dot) and climbs no folder.
namespace HistoryExportName
{

QString propose(const QString &description, const QString &address, const QString &ifIndex,
                std::int64_t from, std::int64_t to, const QString &extension);

// One part of the name made safe as described above (empty when nothing of it is left).
QString part(const QString &text);

} // namespace HistoryExportName
