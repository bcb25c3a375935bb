#include "LogLines.h"

#include "InterfaceTable.h"

namespace LogLines
{

namespace
{

template <typename Append>
void forEachCell(const InterfaceTable &table, const int *columns, int count, Append append)
{
    for (int row = 1; row <= InterfaceTable::InterfaceRows; ++row) {
        if (table.cell(Col::Number, row).isEmpty())
            break;
        for (int i = 0; i < count; ++i)
            append(columns[i], row);
    }
}

} // namespace

void appendRows(QString &line, const InterfaceTable &table, const int *columns, int count)
{
    forEachCell(table, columns, count, [&](int column, int row) {
        line += table.cell(column, row);
        line += Separator;
    });
}

void appendRows(QByteArray &line, const InterfaceTable &table, const int *columns, int count)
{
    const QByteArray separator(Separator.data(), Separator.size());
    forEachCell(table, columns, count, [&](int column, int row) {
        line += table.cellBytes(column, row);
        line += separator;
    });
}

} // namespace LogLines
