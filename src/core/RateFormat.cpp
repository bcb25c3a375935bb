#include "RateFormat.h"

#include "NumberFormat.h"

#include <array>
#include <cmath>

namespace RateFormat
{

namespace
{

constexpr std::array<const char16_t *, 5> Units = {u"bit/s", u"kbit/s", u"Mbit/s", u"Gbit/s",
                                                   u"Tbit/s"};

// value rounded to three significant digits (value > 0), and the decimals that takes.
long double roundThree(long double value, int *decimals)
{
    const int magnitude = int(std::floor(std::log10(value))); // 0 for 1..9.99
    *decimals = std::max(0, 2 - magnitude);
    const long double factor = std::pow(10.0L, 2 - magnitude);
    return std::round(value * factor) / factor;
}

} // namespace

QString bitRate(long double bitsPerSecond, const QLocale &locale)
{
    if (!std::isfinite(bitsPerSecond))
        return QStringLiteral("? bit/s");
    if (bitsPerSecond == 0)
        return QStringLiteral("0 bit/s");
    const bool negative = bitsPerSecond < 0;
    long double value = std::fabs(bitsPerSecond);
    std::size_t unit = 0;
    while (value >= 1000 && unit + 1 < Units.size()) {
        value /= 1000;
        ++unit;
    }
    int decimals = 0;
    long double rounded = roundThree(value, &decimals);
    if (rounded >= 1000 && unit + 1 < Units.size()) {
        ++unit;
        rounded = roundThree(rounded / 1000, &decimals);
    }
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    QString digits = plain.toString(double(rounded), 'f', decimals);
    if (decimals > 0) {
        // Trailing zeros and a bare separator go: "1.00" -> "1", "2.50" -> "2.5".
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        if (digits.endsWith(plain.decimalPoint()))
            digits.chop(plain.decimalPoint().size());
    }
    return (negative ? plain.negativeSign() : QString()) + digits + QLatin1Char(' ') +
           QString::fromUtf16(Units[unit]);
}

QString speed(std::uint64_t bitsPerSecond, const QLocale &locale)
{
    if (bitsPerSecond == 0)
        return QStringLiteral("unknown");
    return bitRate(static_cast<long double>(bitsPerSecond), locale);
}

QString ratesCaption(long double inOctetsPerSecond, long double inPercent,
                     long double outOctetsPerSecond, long double outPercent, const QLocale &locale)
{
    const auto percent = [](long double value) -> QString {
        return QString::number(NumberFormat::roundHalfEven(value)) + QStringLiteral(" %");
    };
    return QStringLiteral("IN ") + bitRate(inOctetsPerSecond * 8, locale) + QStringLiteral(" (") +
           percent(inPercent) + QStringLiteral(") \u00B7 OUT ") +
           bitRate(outOctetsPerSecond * 8, locale) + QStringLiteral(" (") + percent(outPercent) +
           QLatin1Char(')');
}

} // namespace RateFormat
