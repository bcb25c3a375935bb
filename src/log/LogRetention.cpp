#include "LogRetention.h"

#include "AnalysisLog.h"
#include "HealthLog.h"
#include "UtilisationLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <iterator>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace LogRetention
{

namespace
{
// 0: keep all. Atomic: logs may be written off the GUI thread while Options changes it.
std::atomic<int> keptDays{0};
} // namespace

void setKeepDays(std::optional<int> days)
{
    keptDays = days && *days > 0 ? *days : 0;
}

std::optional<int> keepDays()
{
    const int days = keptDays;
    return days > 0 ? std::optional<int>(days) : std::nullopt;
}

std::optional<QDate> dateOf(const QString &fileName)
{
    const QLatin1StringView suffixes[] = {QLatin1StringView(UtilisationLog::Suffix),
                                          QLatin1StringView(AnalysisLog::Suffix),
                                          QLatin1StringView(HealthLog::Suffix)};
    if (std::none_of(std::begin(suffixes), std::end(suffixes),
                     [&](QLatin1StringView s) { return fileName.endsWith(s); }))
        return std::nullopt;
    if (fileName.size() < 9 || fileName.at(8) != u'_')
        return std::nullopt;
    for (int i = 0; i < 8; ++i) {
        if (fileName.at(i) < u'0' || fileName.at(i) > u'9')
            return std::nullopt;
    }
    const QDate date = QDate::fromString(fileName.left(8), QStringLiteral("yyyyMMdd"));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

int sweep(const QString &folder, const QDate &today, int keepDays)
{
    if (keepDays < 1 || !today.isValid())
        return 0;
    const QDate keptFrom = today.addDays(1 - keepDays);
    const QStringList names = QDir(folder).entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    int removed = 0;
#ifdef Q_OS_WIN
    for (const QString &name : names) {
        const std::optional<QDate> date = dateOf(name);
        if (!date || *date >= keptFrom)
            continue;
        const QFileInfo info(QDir(folder).filePath(name));
        if (info.isSymLink() || info.isShortcut() || info.isJunction() || !info.isFile())
            continue;
        removed += QFile::remove(info.filePath()) ? 1 : 0;
    }
#else
    // Looked at and removed relative to the open folder, without following links: what is
    // removed is the very entry that was checked, never a link's target.
    const int dir =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return 0;
    for (const QString &name : names) {
        const std::optional<QDate> date = dateOf(name);
        if (!date || *date >= keptFrom)
            continue;
        const QByteArray entry = QFile::encodeName(name);
        struct stat info;
        if (::fstatat(dir, entry.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
            continue;
        removed += ::unlinkat(dir, entry.constData(), 0) == 0 ? 1 : 0;
    }
    ::close(dir);
#endif
    return removed;
}

} // namespace LogRetention
