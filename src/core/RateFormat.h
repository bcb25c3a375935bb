#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

// Rates and speeds as the operator reads them: bit/s with an SI prefix (1 k = 1000), three
// significant digits, trailing zeros dropped, the locale's decimal separator and no group
// separator ("0 bit/s", "999 bit/s", "1 kbit/s", "12.4 Mbit/s", "812 Mbit/s", "400 Gbit/s").
// Every text of this kind is made here, so the caption, the tooltip, the discovery dialog and
// the command line agree.
namespace RateFormat
{

// bitsPerSecond at or above 1000 T stays in Tbit/s ("1500 Tbit/s"); a value that rounds up to
// the next prefix takes it (999.6 bit/s is "1 kbit/s"). Negative values keep their sign; a
// value that is no number is "? bit/s".
QString bitRate(long double bitsPerSecond, const QLocale &locale = QLocale());

// An interface speed in whole bit/s, as bitRate; 0 is "unknown".
QString speed(std::uint64_t bitsPerSecond, const QLocale &locale = QLocale());

// "IN 812 Mbit/s (81 %) · OUT 12.4 Mbit/s (1 %)": octets per second become bit/s, the
// percentages are shown rounded to whole numbers, halves to even (as every caption rounds).
QString ratesCaption(long double inOctetsPerSecond, long double inPercent,
                     long double outOctetsPerSecond, long double outPercent,
                     const QLocale &locale = QLocale());

} // namespace RateFormat
