// Number texts of the interface table: the float and whole-number parses, the general format
// and the half-to-even rounding.
//
// Properties checked:
// - a value written by formatGeneral parses back (in the same locale) to a value within the
//   15 significant digits the format keeps; infinities and NaN are written as words that do not
//   parse back (values in the subnormal range may fail to parse, see checkRoundTrip);
// - the written text has at most 15 significant digits and no trailing fractional zeros;
// - any text that parses as a float keeps that property after formatting, and a text that
//   parses as a whole number comes back from QString::number;
// - roundHalfEven gives the nearest whole number with halves to even, and saturates.

#include "FuzzCheck.h"
#include "NumberFormat.h"

#include <QLocale>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace
{

const QLocale &pickLocale(unsigned char selector)
{
    static const QLocale locales[] = {
        QLocale::c(), QLocale(QLocale::German, QLocale::Germany), // "," separator, "." grouping
        QLocale(QLocale::Arabic, QLocale::Egypt),                 // a separator outside ASCII
        QLocale(QLocale::English, QLocale::UnitedStates),         // the common "." form
    };
    return locales[selector % 4];
}

void checkText(const QString &text, const QLocale &locale)
{
    const QString separator = locale.decimalPoint();
    QString digits = text;
    if (digits.startsWith(QLatin1Char('-')))
        digits.remove(0, 1);
    if (digits == QLatin1String("INF") || digits == QLatin1String("NAN"))
        return;
    const qsizetype e = digits.indexOf(QLatin1Char('E'));
    QString mantissa = e < 0 ? digits : digits.left(e);
    if (mantissa.contains(separator))
        FUZZ_CHECK_TEXT(!mantissa.endsWith(QLatin1Char('0')) && !mantissa.endsWith(separator),
                        text);
    mantissa.remove(separator);
    while (mantissa.startsWith(QLatin1Char('0')))
        mantissa.remove(0, 1);
    FUZZ_CHECK_TEXT(mantissa.size() <= 15, text);
    for (const QChar c : std::as_const(mantissa))
        FUZZ_CHECK_TEXT(c.isDigit() && c.unicode() < 128, text);
}

void checkRoundTrip(long double value, const QLocale &locale)
{
    const QString text = NumberFormat::formatGeneral(value, locale);
    checkText(text, locale);
    long double back = 0;
    const bool parsed = NumberFormat::tryParseFloat(text, &back, locale);
    // The standard library's long double parse refuses results in and next to the subnormal
    // range (below about 3.4E-4932). The table's smallest non-zero fraction is near 1E-21, so
    // there a failed parse is allowed; a successful one must still be right.
    if (!parsed && value != 0 && std::fabs(value) < 1e-4900L)
        return;
    // Infinities and NaN are written as words, which are no numbers to read back.
    if (!std::isfinite(value)) {
        FUZZ_CHECK_TEXT(!parsed, text);
        return;
    }
    FUZZ_CHECK_TEXT(parsed, text);
    // Half a unit in the 15th digit, plus the parse's own rounding (one step of the smallest
    // subnormal at the bottom of the range).
    const long double allowed = 5.0000001e-15L * std::fabs(value) + LDBL_TRUE_MIN;
    FUZZ_CHECK_TEXT(std::fabs(back - value) <= allowed, text);
    FUZZ_CHECK_TEXT(NumberFormat::formatGeneral(back, locale) == text, text);
}

void checkRounding(long double value)
{
    const std::int64_t r = NumberFormat::roundHalfEven(value);
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    if (std::isnan(value)) {
        FUZZ_CHECK(r == 0);
        return;
    }
    if (value >= static_cast<long double>(max)) {
        FUZZ_CHECK(r == max);
        return;
    }
    if (value <= static_cast<long double>(min)) {
        FUZZ_CHECK(r == min);
        return;
    }
    const long double diff = std::fabs(value - static_cast<long double>(r));
    FUZZ_CHECK(diff <= 0.5L);
    if (diff == 0.5L)
        FUZZ_CHECK(r % 2 == 0);
}

// A long double from raw bits: sign, a 64-bit significand and an exponent over the whole
// range, normal and subnormal alike (raw x87 bit patterns would include invalid encodings).
long double valueFrom(const unsigned char *data)
{
    std::uint64_t significand = 0;
    std::memcpy(&significand, data, sizeof significand);
    std::uint16_t raw = 0;
    std::memcpy(&raw, data + 8, sizeof raw);
    const int exponent =
        int(raw % (LDBL_MAX_EXP - LDBL_MIN_EXP + 64 + 64)) + LDBL_MIN_EXP - 64 - 64;
    long double value = std::ldexp(static_cast<long double>(significand), exponent);
    if (std::isinf(value))
        value = LDBL_MAX;
    return (data[10] & 1) ? -value : value;
}

} // namespace

// Input: a mode byte, then either text (UTF-8) or raw bits of a value.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const unsigned char mode = data[0];
    const QLocale &locale = pickLocale(mode >> 2);
    ++data;
    --size;

    switch (mode & 3) {
    case 0: { // text as input to both parses
        const QString text = QString::fromUtf8(fuzzBytes(data, size));
        long double value = 0;
        if (NumberFormat::tryParseFloat(text, &value, locale)) {
            checkRoundTrip(value, locale);
            checkRounding(value);
        }
        std::int64_t whole = 0;
        if (NumberFormat::tryParseWhole(text, &whole)) {
            std::int64_t back = 0;
            FUZZ_CHECK_TEXT(NumberFormat::tryParseWhole(QString::number(whole), &back), text);
            FUZZ_CHECK_TEXT(back == whole, text);
            FUZZ_CHECK_TEXT(NumberFormat::roundHalfEven(static_cast<long double>(whole)) == whole,
                            text);
        }
        break;
    }
    case 1: { // any long double
        if (size < 11)
            return 0;
        const long double value = valueFrom(data);
        checkRoundTrip(value, locale);
        checkRounding(value);
        break;
    }
    case 2: { // any double, NaN and infinities included
        if (size < sizeof(double))
            return 0;
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        checkRoundTrip(value, locale);
        checkRounding(value);
        break;
    }
    default: { // values near halves and the whole-number range, where rounding is subtle
        if (size < 9)
            return 0;
        std::int64_t base = 0;
        std::memcpy(&base, data, sizeof base);
        const long double offsets[] = {
            0.5L, -0.5L, 0.49999999999999999L, 0.5000000000000001L, 0.25L, 0, 1e-10L, -1e-10L};
        const long double value = static_cast<long double>(base) + offsets[data[8] % 8];
        checkRounding(value);
        checkRoundTrip(value, locale);
        break;
    }
    }
    return 0;
}
