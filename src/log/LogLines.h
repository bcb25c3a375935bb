#pragma once

#include <QString>

class InterfaceTable;

// Pieces shared by the line layouts of both logs.
namespace LogLines
{

inline constexpr QLatin1StringView Separator{"; "};

// Appends, for rows 1.. up to the first row with an empty Number cell, the given columns of
// each row, every cell followed by the separator.
void appendRows(QString &line, const InterfaceTable &table, const int *columns, int count);

} // namespace LogLines
