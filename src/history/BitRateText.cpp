#include "BitRateText.h"

#include <cmath>

namespace BitRateText
{

QString format(double bitsPerSecond, int significantDigits)
{
    if (std::isnan(bitsPerSecond))
        return QStringLiteral("unknown");
    static const char *const Prefixes[] = {"", "k", "M", "G", "T", "P"};
    double value = bitsPerSecond;
    int prefix = 0;
    while (std::fabs(value) >= 999.5 && prefix < 5) {
        value /= 1000;
        ++prefix;
    }
    return QString::number(value, 'g', significantDigits) + QLatin1Char(' ') +
           QLatin1StringView(Prefixes[prefix]) + QStringLiteral("bit/s");
}

} // namespace BitRateText
