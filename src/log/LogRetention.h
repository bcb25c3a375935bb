#pragma once

#include <QDate>
#include <QString>

#include <optional>

// "Keep daily logs for N days": removes this program's own daily logs older than N days from
// the log folder. Only names of the form the logs are written with count ("yyyymmdd_" +
// device-file part + "_utilisation.csv", "_analysis.csv" or "_health.csv", with a real date),
// and of those only regular files of this user: a link (whatever it points to), a folder or
// another user's file of such a name is left alone, and nothing is ever followed through a
// link. The log of `today` and of the N - 1 days before it are kept.
namespace LogRetention
{

// The days kept for this run (Tools > Options); nothing, the default, keeps every log. The
// daily logs sweep the folder at the first write of a day (when they create the day's file).
void setKeepDays(std::optional<int> days);
std::optional<int> keepDays();

// The date in a log's file name; nothing for any other name.
std::optional<QDate> dateOf(const QString &fileName);

// Removes the logs dated `keepDays` days before today or earlier; returns how many. A file
// that cannot be removed stays and is not reported: the next day's sweep tries again.
int sweep(const QString &folder, const QDate &today, int keepDays);

} // namespace LogRetention
