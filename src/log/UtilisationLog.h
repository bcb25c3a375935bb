#pragma once

#include "DailyLogFile.h"

#include <QString>

class InterfaceTable;

// The utilisation log: per poll one line with each listed interface's identity, rates and
// utilisation, in the daily file "yyyymmdd_<device file name>_utilisation.csv".
namespace UtilisationLog
{

inline constexpr char Suffix[] = "_utilisation.csv";

// stamp, then ten times "; " and the eleven header texts (row 0) joined by "; "; no
// separator at the end.
QString headerLine(const InterfaceTable &table, const QString &stamp);

// stamp + "; ", then for rows 1.. until the first empty Number the eleven cells, each
// followed by "; ". Cells are written exactly as the table holds them.
QString dataLine(const InterfaceTable &table, const QString &stamp);
// The data line as written: the program's own texts in the locale's 8-bit encoding, each
// row's texts in the encoding its device-file line was read in.
QByteArray dataBytes(const InterfaceTable &table, const QString &stamp);

// Appends one line to the log of the day (creating it with its header). See
// DailyLogFile::write for the outcome, the read-only refusal and the errors thrown.
DailyLogFile::Outcome write(const InterfaceTable &table, const QString &deviceFilePath,
                            const LogEnvironment &environment = {});

} // namespace UtilisationLog
