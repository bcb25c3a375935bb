#include "HistoryExportName.h"

#include <QDateTime>
#include <QStringList>

namespace HistoryExportName
{

namespace
{
// Long descriptions are cut, so that the whole name stays well under file-system limits.
constexpr qsizetype PartLength = 60;
} // namespace

QString part(const QString &text)
{
    QString out;
    bool dash = false;
    for (const QChar c : text) {
        if (c.isLetterOrNumber() || c == u'.' || c == u'-') {
            if (c == u'-') {
                if (!dash && !out.isEmpty())
                    out += c;
                dash = true;
                continue;
            }
            out += c;
            dash = false;
        } else if (!dash) {
            if (!out.isEmpty())
                out += u'-';
            dash = true;
        }
    }
    out.truncate(PartLength);
    while (!out.isEmpty() && (out.front() == u'-' || out.front() == u'.'))
        out.remove(0, 1);
    while (!out.isEmpty() && (out.back() == u'-' || out.back() == u'.'))
        out.chop(1);
    return out;
}

QString propose(const QString &description, const QString &address, const QString &ifIndex,
                std::int64_t from, std::int64_t to, const QString &extension)
{
    QStringList parts;
    const QString device = part(address);
    parts.append(device.isEmpty() ? QStringLiteral("history") : device);
    QString port = part(description);
    if (port.isEmpty())
        port = part(QStringLiteral("ifIndex") + ifIndex);
    if (!port.isEmpty())
        parts.append(port);
    const QString day = QStringLiteral("yyyy-MM-dd");
    const QString first = QDateTime::fromSecsSinceEpoch(from).toString(day);
    // The range ends at `to`; a range that ends at midnight does not reach the new day.
    const QString last = QDateTime::fromSecsSinceEpoch(to > from ? to - 1 : to).toString(day);
    parts.append(first);
    if (last != first)
        parts.append(last);
    return parts.join(u'_') + u'.' + extension;
}

} // namespace HistoryExportName
