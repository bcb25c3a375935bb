#pragma once

#include "DailyLogFile.h"

#include <QString>

class InterfaceTable;

// The analysis log: per poll one line dumping every named column of every listed interface,
// in the daily file "yyyymmdd_<device file name>_analysis.csv".
namespace AnalysisLog
{

inline constexpr char Suffix[] = "_analysis.csv";

// stamp + "; ", then ten copies of the block of the twenty header texts (row 0), each text
// followed by "; "; the line ends with a separator.
QString headerLine(const InterfaceTable &table, const QString &stamp);

// stamp + "; ", then for rows 1.. until the first empty Number the twenty named cells in
// table order, each followed by "; ". Cells are written exactly as the table holds them.
QString dataLine(const InterfaceTable &table, const QString &stamp);
// The data line as written: the program's own texts in the locale's 8-bit encoding, each
// row's texts in the encoding its device-file line was read in.
QByteArray dataBytes(const InterfaceTable &table, const QString &stamp);

// Appends one line to the log of the day (creating it with its header). See
// DailyLogFile::write for the outcome, the read-only refusal and the errors thrown.
DailyLogFile::Outcome write(const InterfaceTable &table, const QString &deviceFilePath,
                            const LogEnvironment &environment = {});

} // namespace AnalysisLog
