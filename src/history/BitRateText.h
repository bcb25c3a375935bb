#pragma once

#include <QLocale>
#include <QString>

// Bit rates as the history window writes them: RateFormat's text (three significant digits,
// SI prefixes, the locale's decimal separator), with "unknown" for a sample that holds no
// value (NaN).
namespace BitRateText
{

QString format(double bitsPerSecond, const QLocale &locale = QLocale());

} // namespace BitRateText
