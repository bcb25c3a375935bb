#include "RememberSettings.h"

#include "SettingValues.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace RememberSettings
{

QStringList recentFiles(const SettingsStore &store)
{
    QStringList paths;
    for (const QString &line : store.read(SettingsKeys::RecentFiles).split(u'\n')) {
        if (!line.trimmed().isEmpty() && !paths.contains(line) &&
            paths.size() < SettingsKeys::RecentFilesKept)
            paths.append(line);
    }
    return paths;
}

void writeRecentFiles(SettingsStore &store, const QStringList &paths)
{
    store.write(SettingsKeys::RecentFiles, paths.join(u'\n'));
}

QStringList withRecent(const QStringList &paths, const QString &path)
{
    QStringList result = paths;
    if (path.isEmpty() || path.contains(u'\n') || path.contains(u'\r'))
        return result;
    result.removeAll(path);
    result.prepend(path);
    while (result.size() > SettingsKeys::RecentFilesKept)
        result.removeLast();
    return result;
}

bool resumePolling(const SettingsStore &store)
{
    return SettingValues::flag(store.read(SettingsKeys::ResumePolling)).value_or(false);
}

void writeResumePolling(SettingsStore &store, bool on)
{
    store.write(SettingsKeys::ResumePolling, SettingValues::flagText(on));
}

std::optional<int> logKeepDays(const QString &text)
{
    bool ok = false;
    const int days = text.trimmed().toInt(&ok);
    if (!ok || days < 1 || days > MaxLogKeepDays)
        return std::nullopt;
    return days;
}

std::optional<int> logKeepDays(const SettingsStore &store)
{
    return logKeepDays(store.read(SettingsKeys::LogKeepDays));
}

void writeLogKeepDays(SettingsStore &store, std::optional<int> days)
{
    store.write(SettingsKeys::LogKeepDays, days ? QString::number(*days) : QString());
}

} // namespace RememberSettings
