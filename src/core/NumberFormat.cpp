#include "NumberFormat.h"

#include "ErrorReport.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace NumberFormat
{
namespace
{

constexpr int SignificantDigits = 15;

QString notANumber(const QString &text)
{
    return QStringLiteral("'%1' is not a valid number").arg(text);
}

} // namespace

QString formatGeneral(long double value, const QLocale &locale)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");

    // Scientific form with 15 significant digits: "d.ddddddddddddddde[+-]x".
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, SignificantDigits - 1);
    const std::string text(buffer, result.ptr);
    const auto ePos = text.find('e');
    std::string digits = text.substr(0, 1) + text.substr(2, ePos - 2);
    const int exponent = std::stoi(text.substr(ePos + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    const QString separator = locale.decimalPoint();
    QString out = value < 0 ? QStringLiteral("-") : QString();
    const bool plain = exponent < SignificantDigits && exponent >= -4;
    if (plain) {
        if (exponent >= 0) {
            const std::size_t integerDigits = std::size_t(exponent) + 1;
            std::string integerPart = digits.substr(0, std::min(integerDigits, digits.size()));
            integerPart.append(integerDigits - integerPart.size(), '0');
            out += QString::fromLatin1(integerPart);
            if (digits.size() > integerDigits)
                out += separator + QString::fromLatin1(digits.substr(integerDigits));
        } else {
            out += QStringLiteral("0") + separator + QString(-exponent - 1, QLatin1Char('0')) +
                   QString::fromLatin1(digits);
        }
    } else {
        out += QLatin1Char(digits[0]);
        if (digits.size() > 1)
            out += separator + QString::fromLatin1(digits.substr(1));
        out += QLatin1Char('E') + QString::number(exponent);
    }
    return out;
}

bool tryParseFloat(const QString &text, long double *value, const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    const QString separator = locale.decimalPoint();
    std::string ascii;
    ascii.reserve(std::size_t(trimmed.size()));
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        if (trimmed.mid(i, separator.size()) == separator) {
            ascii.push_back('.');
            i += separator.size() - 1;
            continue;
        }
        const QChar c = trimmed.at(i);
        if (c.unicode() > 127 || c == QLatin1Char('.'))
            return false; // only the locale's own separator is a decimal separator
        ascii.push_back(char(c.unicode()));
    }
    const char *begin = ascii.data();
    const char *end = begin + ascii.size();
    // A number: an optional sign, then a digit or the separator ("inf", "nan" and a second
    // sign are no numbers here).
    const bool plus = (*begin == '+');
    if (plus)
        ++begin;
    const char *first = (!plus && begin != end && *begin == '-') ? begin + 1 : begin;
    if (first == end || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.'))
        return false;
    long double parsed = 0;
    const auto result = std::from_chars(begin, end, parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != end)
        return false;
    *value = parsed;
    return true;
}

long double parseFloat(const QString &text, const QLocale &locale)
{
    long double value = 0;
    if (!tryParseFloat(text, &value, locale))
        throw OstralineError(notANumber(text));
    return value;
}

bool tryParseWhole(const QString &text, std::int64_t *value)
{
    const QByteArray ascii = text.toLatin1();
    if (text.isEmpty() || ascii.size() != text.size())
        return false;
    const char *begin = ascii.constData();
    const char *end = begin + ascii.size();
    if (*begin == '+' && end - begin > 1 && begin[1] != '-')
        ++begin;
    std::int64_t parsed = 0;
    const auto result = std::from_chars(begin, end, parsed, 10);
    if (result.ec != std::errc() || result.ptr != end)
        return false;
    *value = parsed;
    return true;
}

bool tryParseUnsigned(const QString &text, std::uint64_t *value)
{
    const QByteArray ascii = text.toLatin1();
    if (text.isEmpty() || ascii.size() != text.size())
        return false;
    for (const char c : ascii) {
        if (c < '0' || c > '9')
            return false;
    }
    std::uint64_t parsed = 0;
    const auto result =
        std::from_chars(ascii.constData(), ascii.constData() + ascii.size(), parsed, 10);
    if (result.ec != std::errc() || result.ptr != ascii.constData() + ascii.size())
        return false;
    *value = parsed;
    return true;
}

std::int64_t parseWhole(const QString &text)
{
    std::int64_t value = 0;
    if (!tryParseWhole(text, &value))
        throw OstralineError(QStringLiteral("'%1' is not a valid whole number").arg(text));
    return value;
}

std::int64_t roundHalfEven(long double value)
{
    if (std::isnan(value))
        return 0;
    // nearbyint rounds in the current mode, which is to-nearest-even unless changed.
    const long double rounded = std::nearbyint(value);
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    if (rounded >= static_cast<long double>(max))
        return max;
    if (rounded <= static_cast<long double>(min))
        return min;
    return static_cast<std::int64_t>(rounded);
}

std::int64_t normaliseCounter(std::int64_t reading)
{
    return reading < 0 ? reading + CounterModulus : reading;
}

std::int64_t wrapCorrectedDelta(std::int64_t current, std::int64_t previous)
{
    std::int64_t delta = 0;
    if (__builtin_sub_overflow(current, previous, &delta))
        throw OstralineError(
            QStringLiteral("Counter difference out of range: %1 - %2").arg(current).arg(previous));
    return delta < 0 ? delta + CounterModulus : delta;
}

QString counted(long long count, const QString &one, const QString &many)
{
    return QString::number(count) + QLatin1Char(' ') + (count == 1 ? one : many);
}

} // namespace NumberFormat
