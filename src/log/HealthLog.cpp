#include "HealthLog.h"

#include "CsvField.h"
#include "IfStatus.h"
#include "PollResult.h"

#include <QStringList>

namespace HealthLog
{
namespace
{

// A text field from the device file: under the spreadsheet rule, quoted where it needs it.
QString field(const QString &raw)
{
    const QString text = CsvField::spreadsheetText(raw);
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString count(const std::optional<std::uint64_t> &value)
{
    return value ? QString::number(*value) : QString();
}

} // namespace

QString statusWord(std::optional<int> status)
{
    if (!status)
        return QString();
    return ifStatusName(*status);
}

QString isoStamp(const QDateTime &time)
{
    // Fixed to the offset in force at that instant, so the text always carries it.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QByteArray headerBytes()
{
    return DailyLogFile::encode(QStringLiteral("time,Number,IP,Interface,admin,oper,in errors,"
                                               "out errors,in discards,out discards\n"));
}

QByteArray dataBytes(const PollResult &result, const QDateTime &stamp)
{
    const QString time = isoStamp(stamp);
    QString lines;
    for (const InterfaceReading &r : result.interfaces) {
        const QStringList fields = {
            time,
            QString::number(r.row),
            field(r.address),
            field(r.ifIndex),
            statusWord(r.adminStatus),
            statusWord(r.operStatus),
            count(r.inErrorsDelta),
            count(r.outErrorsDelta),
            count(r.inDiscardsDelta),
            count(r.outDiscardsDelta),
        };
        lines += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return DailyLogFile::encode(lines);
}

DailyLogFile::Outcome write(const PollResult &result, const QString &deviceFilePath,
                            const LogEnvironment &environment)
{
    return DailyLogFile::writeBlocks(
        environment, deviceFilePath, QLatin1StringView(Suffix),
        [](const QDateTime &) { return headerBytes(); },
        [&](const QDateTime &now) { return dataBytes(result, now); });
}

} // namespace HealthLog
