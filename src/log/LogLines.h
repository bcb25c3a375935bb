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
// The same, encoded: every cell in its row's encoding, so that texts read from the device
// file go out in the bytes they came in.
void appendRows(QByteArray &line, const InterfaceTable &table, const int *columns, int count);

} // namespace LogLines
