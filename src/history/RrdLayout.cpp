#include "RrdLayout.h"

namespace RrdLayout
{

unsigned long stepFor(int pollIntervalSeconds)
{
    if (pollIntervalSeconds >= 1 && pollIntervalSeconds <= 60 && 60 % pollIntervalSeconds == 0)
        return static_cast<unsigned long>(pollIntervalSeconds);
    return 60;
}

unsigned long heartbeatFor(int pollIntervalSeconds)
{
    return 2UL * static_cast<unsigned long>(pollIntervalSeconds < 1 ? 1 : pollIntervalSeconds);
}

QList<Archive> archivesFor(unsigned long step)
{
    constexpr unsigned long Hour = 3600;
    constexpr unsigned long Day = 24 * Hour;
    QList<Archive> archives;
    archives.append({step, (step >= 60 ? 3 * Day : 8 * Hour) / step});
    const Archive coarser[] = {{60, 3 * Day / 60}, {300, 35 * Day / 300}, {Hour, 400 * Day / Hour}};
    for (const Archive &archive : coarser) {
        if (archive.secondsPerRow > step && archive.secondsPerRow % step == 0)
            archives.append(archive);
    }
    return archives;
}

QStringList createArguments(int pollIntervalSeconds)
{
    const unsigned long step = stepFor(pollIntervalSeconds);
    const QString heartbeat = QString::number(heartbeatFor(pollIntervalSeconds));
    QStringList arguments;
    for (std::size_t i = 0; i < DataSources.size(); ++i) {
        const QString max = i == LinkDown ? QStringLiteral("1") : QStringLiteral("U");
        arguments.append(QStringLiteral("DS:") + QLatin1StringView(DataSources[i]) +
                         QStringLiteral(":GAUGE:") + heartbeat + QStringLiteral(":0:") + max);
    }
    for (const char *function : {"AVERAGE", "MAX"}) {
        for (const Archive &archive : archivesFor(step)) {
            arguments.append(QStringLiteral("RRA:") + QLatin1StringView(function) +
                             QStringLiteral(":0.5:") +
                             QString::number(archive.secondsPerRow / step) + u':' +
                             QString::number(archive.rows));
        }
    }
    return arguments;
}

} // namespace RrdLayout
