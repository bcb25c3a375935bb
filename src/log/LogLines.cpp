#include "LogLines.h"

#include "InterfaceTable.h"

namespace LogLines
{

void appendRows(QString &line, const InterfaceTable &table, const int *columns, int count)
{
    for (int row = 1; row <= InterfaceTable::InterfaceRows; ++row) {
        if (table.cell(Col::Number, row).isEmpty())
            break;
        for (int i = 0; i < count; ++i) {
            line += table.cell(columns[i], row);
            line += Separator;
        }
    }
}

} // namespace LogLines
