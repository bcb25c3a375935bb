#include "UtilisationLog.h"

#include "InterfaceTable.h"
#include "LogLines.h"

#include <iterator>

namespace UtilisationLog
{
namespace
{
// Both log headers name the fields of ten interfaces, however many are loaded.
constexpr int HeaderBlocks = 10;

// The eleven logged columns in field order (description right after Number).
constexpr int Fields[] = {
    Col::Number,    Col::Description,  Col::IP,           Col::Interface,
    Col::Bandwidth, Col::InDeltaPers,  Col::InUtil,       Col::OutDeltaPers,
    Col::OutUtil,   Col::CombinedPers, Col::CombinedUtil,
};
} // namespace

QString headerLine(const InterfaceTable &table, const QString &stamp)
{
    QString block;
    for (const int column : Fields) {
        if (!block.isEmpty())
            block += LogLines::Separator;
        block += table.cell(column, 0);
    }
    QString line = stamp;
    for (int i = 0; i < HeaderBlocks; ++i)
        line += LogLines::Separator + block;
    return line;
}

QString dataLine(const InterfaceTable &table, const QString &stamp)
{
    QString line = stamp + LogLines::Separator;
    LogLines::appendRows(line, table, Fields, int(std::size(Fields)));
    return line;
}

QByteArray dataBytes(const InterfaceTable &table, const QString &stamp)
{
    QByteArray line = DailyLogFile::encode(stamp + LogLines::Separator);
    LogLines::appendRows(line, table, Fields, int(std::size(Fields)));
    return line;
}

DailyLogFile::Outcome write(const InterfaceTable &table, const QString &deviceFilePath,
                            const LogEnvironment &environment)
{
    return DailyLogFile::write(
        environment, deviceFilePath, QLatin1StringView(Suffix),
        [&](const QString &stamp) { return DailyLogFile::encode(headerLine(table, stamp)); },
        [&](const QString &stamp) { return dataBytes(table, stamp); });
}

} // namespace UtilisationLog
