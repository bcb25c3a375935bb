#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

// The one time-stamp format of the program, used by the error captions and both logs:
// "dd.mmm.yyyy, hh:mm:ss" with the locale's abbreviated month name and time separator,
// for example "07.Apr.2005, 14:03:09" in an English locale.
namespace TimeStamp
{

QString format(const QDateTime &when, const QLocale &locale = QLocale());

// The locale's separator between hours and minutes (":" in the C and English locales).
QString timeSeparator(const QLocale &locale = QLocale());

} // namespace TimeStamp
