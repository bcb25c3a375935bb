#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class SettingsStore;

// The values the program remembers between runs beyond the board's own: the recent device
// files, whether a start resumes polling, and how long the daily logs are kept. Reading
// tolerates anything stored by hand: blank lines and duplicates of "recent files" are dropped,
// a "resume polling" other than "yes" is no, a "log keep days" that is no whole number of at
// least 1 keeps every log.
namespace RememberSettings
{

QStringList recentFiles(const SettingsStore &store);
void writeRecentFiles(SettingsStore &store, const QStringList &paths);

// `paths` with `path` moved or added to the front, at most SettingsKeys::RecentFilesKept
// long. A path with a line break cannot be kept in the one-path-a-line value and is left out.
QStringList withRecent(const QStringList &paths, const QString &path);

bool resumePolling(const SettingsStore &store);
void writeResumePolling(SettingsStore &store, bool on);

// Days to keep, nothing for "keep all".
std::optional<int> logKeepDays(const SettingsStore &store);
std::optional<int> logKeepDays(const QString &text);
// "" for nothing, else the number.
void writeLogKeepDays(SettingsStore &store, std::optional<int> days);

// The largest number of days accepted (about 27 years).
inline constexpr int MaxLogKeepDays = 9999;

} // namespace RememberSettings
