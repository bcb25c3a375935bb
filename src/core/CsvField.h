#pragma once

#include <QString>

// The one rule for text fields of the CSV files made for spreadsheets (the alerts file and
// the health log; the history export holds only times and numbers): a spreadsheet takes a
// cell that starts with "=", "+", "-" or "@" for a formula, and one that starts with a tab or
// a carriage return may be trimmed into one. Such a field gets a leading "'", which
// spreadsheets read as "text follows" and do not show. Numbers the program writes itself are
// never passed through it: a negative number is no formula.
namespace CsvField
{

// The text as written to the file: with a leading "'" when it starts with one of the
// characters above, else unchanged.
QString spreadsheetText(const QString &text);

// The reverse for a field read back: a leading "'" before one of those characters is dropped.
QString fromSpreadsheetText(const QString &field);

} // namespace CsvField
