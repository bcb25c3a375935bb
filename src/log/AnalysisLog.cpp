#include "AnalysisLog.h"

#include "InterfaceTable.h"
#include "LogLines.h"

#include <array>

namespace AnalysisLog
{
namespace
{

constexpr int HeaderBlocks = 10;

// Every column of the table except the last, unnamed one, in table order.
constexpr auto Fields = [] {
    std::array<int, Col::Unnamed> columns{};
    for (int c = 0; c < Col::Unnamed; ++c)
        columns[std::size_t(c)] = c;
    return columns;
}();

} // namespace

QString headerLine(const InterfaceTable &table, const QString &stamp)
{
    QString block;
    for (const int column : Fields)
        block += table.cell(column, 0) + LogLines::Separator;
    QString line = stamp + LogLines::Separator;
    for (int i = 0; i < HeaderBlocks; ++i)
        line += block;
    return line;
}

QString dataLine(const InterfaceTable &table, const QString &stamp)
{
    QString line = stamp + LogLines::Separator;
    LogLines::appendRows(line, table, Fields.data(), int(Fields.size()));
    return line;
}

QByteArray dataBytes(const InterfaceTable &table, const QString &stamp)
{
    QByteArray line = DailyLogFile::encode(stamp + LogLines::Separator);
    LogLines::appendRows(line, table, Fields.data(), int(Fields.size()));
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

} // namespace AnalysisLog
