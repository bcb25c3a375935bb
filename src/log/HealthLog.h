#pragma once

#include "DailyLogFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

struct PollResult;

// The health log: per poll one line per loaded interface with its link state and its error
// and discard counts over the poll interval, in the daily file
// "yyyymmdd_<device file name>_health.csv". Made for spreadsheets: a header line, ","
// between fields, LF line ends, an ISO 8601 time stamp with the UTC offset
// (2026-12-10T11:19:10+01:00). Status words as IF-MIB names them (up, down, testing, ...);
// a value that is not known (not answered, a first reading, a counter discontinuity) is an
// empty field. Fields holding a "," or a quote are quoted, quotes doubled. The text fields
// (IP and Interface, as the device file gives them) follow CsvField's spreadsheet rule.
namespace HealthLog
{

inline constexpr char Suffix[] = "_health.csv";

// "time,Number,IP,Interface,admin,oper,in errors,out errors,in discards,out discards" + LF.
QByteArray headerBytes();
// One line per interface of the result, in row order, each ending with LF.
QByteArray dataBytes(const PollResult &result, const QDateTime &stamp);

// The IF-MIB name of an ifAdminStatus/ifOperStatus value ("up", "down", ...), the number
// for any other value, "" when not known.
QString statusWord(std::optional<int> status);
// 2026-12-10T11:19:10+01:00: local time with its offset, seconds precision.
QString isoStamp(const QDateTime &time);

// Appends the result's lines to the log of the day (creating it with its header). See
// DailyLogFile::write for the outcome, the read-only refusal and the errors thrown.
DailyLogFile::Outcome write(const PollResult &result, const QString &deviceFilePath,
                            const LogEnvironment &environment = {});

} // namespace HealthLog
