#pragma once

#include <QString>

// Bit rates as the history window writes them: SI prefixes in steps of 1000 (k, M, G, T, P),
// three significant digits, "bit/s": 950 -> "950 bit/s", 12345678 -> "12.3 Mbit/s". NaN gives
// "unknown".
namespace BitRateText
{

QString format(double bitsPerSecond, int significantDigits = 3);

} // namespace BitRateText
