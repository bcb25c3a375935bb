#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

// The number rules of the interface table: every value is text, whole numbers as plain
// decimal, fractions in the general format with at most 15 significant digits and the
// locale's decimal separator. Each rule lives here once.
namespace NumberFormat
{

// 2^32: added to a negative 32-bit counter reading and to a negative counter delta.
inline constexpr std::int64_t CounterModulus = 4294967296LL;

// General format: at most 15 significant digits, trailing zeros dropped; plain notation
// when the rounded value has at most 15 integer digits and a magnitude of at least 0.0001,
// otherwise mantissa, "E", exponent ("5E-5", "6.66666666666667E-9"). Zero is "0".
QString formatGeneral(long double value, const QLocale &locale = QLocale());

// Reads text written by formatGeneral (or any decimal number with the locale's separator
// and an optional exponent). Throws OstralineError naming the text when it is no number.
long double parseFloat(const QString &text, const QLocale &locale = QLocale());

// Reads a signed 64-bit whole number in plain decimal (optional sign, digits only).
// Throws OstralineError naming the text when it is no whole number or out of range.
std::int64_t parseWhole(const QString &text);

// Non-throwing forms of the two parses.
bool tryParseFloat(const QString &text, long double *value, const QLocale &locale = QLocale());
bool tryParseWhole(const QString &text, std::int64_t *value);
// An unsigned 64-bit whole number in plain decimal, digits only (a 64-bit counter reading).
bool tryParseUnsigned(const QString &text, std::uint64_t *value);

// Round to the nearest whole number, halves to the even neighbour (0.5 -> 0, 1.5 -> 2,
// 2.5 -> 2, -0.5 -> 0). Values beyond the 64-bit range saturate.
std::int64_t roundHalfEven(long double value);

// A count with its noun in the right number: "1 interface", "0 interfaces", "2 interfaces".
QString counted(long long count, const QString &one, const QString &many);

// A 32-bit counter read as a signed number comes back unsigned: negative readings get 2^32.
std::int64_t normaliseCounter(std::int64_t reading);

// Difference of two counter values with one wrap past 2^32 corrected.
std::int64_t wrapCorrectedDelta(std::int64_t current, std::int64_t previous);

} // namespace NumberFormat
